#ifndef THUMBNAILGRID_H
#define THUMBNAILGRID_H

#include "data/model/sift.h"

#include <QList>

class QPainter;
class QPixmap;
class QPoint;
class QPointF;
class QRect;
class QSize;

// Geometry and drawing shared by the two detail panes: square k of a grid of
// `columns` squares of edge `edge`, `spacing` pixels apart, row by row.
struct ThumbnailGrid
{
    int edge;
    int spacing;
    int columns;
    // The keypoint colours of the window's map; the defaults when null.
    const QList<QColor> *palette = nullptr;

    QRect square(int k) const;
    // The square under a position; the gap after a square belongs to it.
    // Positions left of, above or right of the grid are no square (-1).
    int squareAt(const QPoint &pos) const;
    // The square under a mouse position, rounded down to whole pixels.
    int squareAt(const QPointF &pos) const;
    // The red 3-pixel outline of the highlighted square.
    void drawOutline(QPainter &painter, int k) const;
    // Keypoints of an image of `image` pixels fitted into square k, clipped
    // to the square, in their words' palette colours.
    void drawKeypoints(QPainter &painter, int k, const QSize &image,
                       const QList<Sift> &sifts) const;
};

#endif // THUMBNAILGRID_H
