#ifndef MAPLABELS_H
#define MAPLABELS_H

#include <QPoint>
#include <QRect>
#include <QString>
#include <QVector>

class CAView;
class QFont;
class QFontMetrics;
class QPainter;

// Names written beside points on the map (the focused image, found points),
// placed so that none covers another: each label takes the first free spot
// of four around its point (right, left, above, below) and is left out when
// all four collide with a label placed before it. The view and the exported
// figures both place and paint them here, so a figure shows what the screen
// shows.
class MapLabels
{
public:
    struct Label
    {
        QPoint anchor; // the point's widget pixel
        QString text;
    };
    struct Placed
    {
        QPoint anchor;
        QRect box; // where the text goes, widget pixels
        QString text;
    };

    // Labels in priority order (the first is never left out unless it does
    // not fit in `bounds`).
    static QVector<Placed> place(const QVector<Label> &labels, const QFontMetrics &metrics,
                                 const QRect &bounds);
    static void paint(QPainter &painter, const QVector<Placed> &placed);
    // The font labels are written and measured in, on screen and in figures.
    static QFont font();
    // Places `view`'s labels within its rectangle and paints them.
    static void paintView(QPainter &painter, const CAView &view);
    // The labels `view` shows: the found points, then the focused image.
    static QVector<Label> of(const CAView &view);
    // What a label says of an image: its file name without the folders, or
    // its number in the collection without an image list.
    static QString imageText(const CAView &view, int image);
};

#endif // MAPLABELS_H
