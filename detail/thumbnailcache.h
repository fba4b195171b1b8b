#ifndef THUMBNAILCACHE_H
#define THUMBNAILCACHE_H

#include <QCache>
#include <QDateTime>
#include <QPixmap>
#include <QSize>
#include <QString>

class CAData;

// The squares a detail pane draws for its images: a gray box x box square
// with the image fitted and centred in it. The panes redraw on every hover
// movement of the map, and decoding the image files is most of that cost, so
// finished squares are kept, keyed by file and box size. Each lookup checks
// the file's size, modification and status-change times first: a file that
// changed on disk is decoded again, so the panes show what is on disk now.
class ThumbnailCache
{
public:
    // maxBytes bounds the pixel memory kept; 0 keeps nothing (every lookup
    // decodes the file).
    explicit ThumbnailCache(qsizetype maxBytes = qsizetype(48) << 20);

    // The square of `image` of `data`, and in imageSize the size of the
    // picture it was made from (empty when the file cannot be read, which
    // leaves the square plain gray).
    QPixmap square(const CAData &data, int image, int box, QSize *imageSize = nullptr);

    void setMaxBytes(qsizetype maxBytes);
    void clear();
    // Number of pictures decoded so far.
    int decodes() const { return m_decodes; }

    // The square for an already loaded picture.
    static QPixmap render(const QPixmap &picture, int box);

private:
    struct Entry
    {
        QPixmap square;
        QSize imageSize;
        qint64 fileSize = -1;
        QDateTime modified;
        QDateTime changed;
    };

    QCache<QString, Entry> m_cache;
    int m_decodes = 0;
};

#endif // THUMBNAILCACHE_H
