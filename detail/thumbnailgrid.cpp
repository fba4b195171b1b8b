#include "detail/thumbnailgrid.h"

#include "detail/imageview.h"

#include <QPainter>
#include <QPixmap>
#include <QtMath>
#include <QPoint>
#include <QRect>
#include <QSize>

QRect ThumbnailGrid::square(int k) const
{
    const int pitch = edge + spacing;
    return QRect((k % columns) * pitch, (k / columns) * pitch, edge, edge);
}

int ThumbnailGrid::squareAt(const QPoint &pos) const
{
    const int pitch = edge + spacing;
    if (pos.x() < 0 || pos.y() < 0)
        return -1;
    const int column = pos.x() / pitch;
    if (column >= columns)
        return -1;
    return column + (pos.y() / pitch) * columns;
}

int ThumbnailGrid::squareAt(const QPointF &pos) const
{
    return squareAt(QPoint(qFloor(pos.x()), qFloor(pos.y())));
}

void ThumbnailGrid::drawOutline(QPainter &painter, int k) const
{
    painter.setPen(QPen(Qt::red, 3, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(square(k));
}

void ThumbnailGrid::drawKeypoints(QPainter &painter, int k, const QSize &image,
                                  const QList<Sift> &sifts) const
{
    const QRect box = square(k);
    double ox, oy, s;
    ImageView::map2view(edge, edge, image.width(), image.height(), ox, oy, s);
    painter.save();
    painter.setClipRect(box, Qt::ReplaceClip);
    for (const Sift &sift : sifts)
        sift.draw(painter, box.x() + ox, box.y() + oy, s, s, ImageView::keypointColour(sift.word));
    painter.restore();
}
