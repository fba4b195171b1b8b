#include "detail/thumbnailgrid.h"

#include "data/model/imagefit.h"
#include "data/model/keypointpalette.h"

#include <QHash>
#include <QLineF>
#include <QPainter>
#include <QVector>

#include <array>
#include <cmath>
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
    const QList<QColor> colours = palette ? *palette : KeypointPalette::defaults();
    double ox, oy, s;
    ImageFit::fit(edge, edge, image.width(), image.height(), ox, oy, s);
    const double tx = box.x() + ox;
    const double ty = box.y() + oy;

    // The panes draw hundreds of keypoints on every hover step: each region
    // outline becomes a polygon of short segments in pane pixels, and all the
    // segments of one colour go in a single call (a thumbnail is too small
    // for the difference from a true ellipse to show).
    constexpr int kSegments = 16;
    static const auto unit = [] {
        std::array<QPointF, kSegments + 1> points;
        for (int i = 0; i <= kSegments; ++i) {
            const double a = 2 * M_PI * i / kSegments;
            points[std::size_t(i)] = QPointF(std::cos(a), std::sin(a));
        }
        return points;
    }();
    QVector<QLineF> crosses;
    crosses.reserve(2 * sifts.size());
    QHash<QRgb, QVector<QLineF>> outlines;
    for (const Sift &sift : sifts) {
        const double cx = tx + sift.x * s;
        const double cy = ty + sift.y * s;
        crosses.append(QLineF(cx - s, cy, cx + s, cy));
        crosses.append(QLineF(cx, cy - s, cx, cy + s));
        QVector<QLineF> &lines = outlines[KeypointPalette::colour(colours, sift.word).rgba()];
        QPointF previous;
        for (int i = 0; i <= kSegments; ++i) {
            const QPointF &u = unit[std::size_t(i)];
            const QPointF p(tx + (sift.a11 * u.x() + sift.a21 * u.y() + sift.x) * s,
                            ty + (sift.a12 * u.x() + sift.a22 * u.y() + sift.y) * s);
            if (i > 0)
                lines.append(QLineF(previous, p));
            previous = p;
        }
    }
    painter.save();
    painter.setClipRect(box, Qt::ReplaceClip);
    painter.setBrush(Qt::NoBrush);
    // Crosses first, outlines over them, as each keypoint is drawn alone.
    painter.setPen(QPen(Qt::red, 0));
    painter.drawLines(crosses);
    for (auto it = outlines.cbegin(); it != outlines.cend(); ++it) {
        painter.setPen(QPen(QColor::fromRgba(it.key()), 0));
        painter.drawLines(it.value());
    }
    painter.restore();
}
