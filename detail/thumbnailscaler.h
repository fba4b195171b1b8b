#ifndef THUMBNAILSCALER_H
#define THUMBNAILSCALER_H

#include <QImage>
#include <QSize>

// Pictures made small for lists and panes. A plain smooth scaling samples
// the picture between its pixels, so a line one pixel wide drawn faintly
// (clip-art often is) falls between the samples and the thumbnail comes out
// white. Here every pixel of a reduction is the average of the area of the
// picture it covers, with transparent parts over white, and line art that
// is still faint afterwards has its ink darkened until it shows.
class ThumbnailScaler
{
public:
    // Line art: at least this share of the thumbnail is near white ...
    static constexpr double kLineArtWhiteShare = 0.5;
    static constexpr int kNearWhite = 245;
    // ... and its ink (the pixels that are not near white) is faint: a
    // tenth of it at most is darker than this grey level (0-255). Its
    // distance from white is then scaled, at most kMaxGain times, until that
    // tenth reaches kInk.
    static constexpr int kFaintInk = 160;
    static constexpr int kInk = 64;
    static constexpr double kMaxGain = 4;

    // `picture` over white at `size` (aspect ratio as given), then made
    // legible: the thumbnail every small view shows. Format_RGB32.
    static QImage thumbnail(const QImage &picture, const QSize &size);

    // `picture` over white at `size`; a reduction averages areas, an
    // enlargement interpolates. Format_RGB32.
    static QImage scaled(const QImage &picture, const QSize &size);

    // `image` with faint line art darkened as above; any other picture as
    // it is.
    static QImage legible(const QImage &image);
};

#endif // THUMBNAILSCALER_H
