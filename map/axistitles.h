#ifndef AXISTITLES_H
#define AXISTITLES_H

#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

class QFontMetrics;
class QPainter;
struct MapTransform;

// The titles of the two shown axes, at the positive ends of the axes as they
// cross the window, kept inside it when an axis itself has left the view.
// The screen and the exported figures place them with this one code, so an
// exported map shows its titles where the screen does: on their axes.
class AxisTitles
{
public:
    struct Boxes
    {
        QRect horizontal;
        QRect vertical;
    };
    // Where the two titles go in a window of `size` widget pixels.
    static Boxes place(const MapTransform &t, const QSize &size, const QFontMetrics &metrics,
                       const QString &horizontal, const QString &vertical);
    // The same, moved off the boxes in `avoid` (the edge markers): the
    // horizontal title leftwards along its axis, the vertical one rightwards,
    // and to the other side of the axis when that leaves the window.
    static Boxes place(const MapTransform &t, const QSize &size, const QFontMetrics &metrics,
                       const QString &horizontal, const QString &vertical, const std::vector<QRect> &avoid);
    // Paints them in bold on a light box, leaving the painter as it was.
    static Boxes paint(QPainter &painter, const MapTransform &t, const QSize &size,
                       const QString &horizontal, const QString &vertical,
                       const std::vector<QRect> &avoid = {});
};

#endif // AXISTITLES_H
