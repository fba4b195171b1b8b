#include "data/model/sift.h"

#include <QColor>
#include <QLineF>
#include <QPainter>
#include <QRectF>
#include <QTransform>
#include <QtEndian>

#include <cmath>
#include <cstring>

void Sift::draw(QPainter &painter, double tx, double ty, double sx, double sy,
                const QColor &colour) const
{
    // A keypoint file is data from outside: a record whose centre is not a
    // number has nothing to show, and a region far larger than any screen
    // (a11 = 1e8) would keep the rasteriser busy for seconds per record.
    if (!std::isfinite(x) || !std::isfinite(y))
        return;
    const QTransform shape(a11, a12, a21, a22, x, y);
    const QTransform onDevice = shape * QTransform(sx, 0, 0, sy, tx, ty) * painter.combinedTransform();
    const QRectF region = onDevice.mapRect(QRectF(-1, -1, 2, 2));
    constexpr double kLargestRegion = 1 << 16; // device pixels
    const bool drawRegion = std::isfinite(region.width()) && std::isfinite(region.height())
        && region.width() <= kLargestRegion && region.height() <= kLargestRegion;

    painter.save();
    painter.translate(tx, ty);
    painter.scale(sx, sy);

    // A plain colour pen is cosmetic: one device pixel wide at any scale.
    painter.setPen(QPen(Qt::red, 0));
    painter.drawLine(QLineF(x - 1, y, x + 1, y));
    painter.drawLine(QLineF(x, y - 1, x, y + 1));

    if (drawRegion) {
        painter.setTransform(shape, true);
        painter.setPen(QPen(colour, 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(-1, -1, 2, 2));
    }

    painter.restore();
}

Sift Sift::fromLittleEndian(const uchar *b)
{
    Sift s;
    s.id = qFromLittleEndian<qint32>(b);
    s.word = qFromLittleEndian<qint32>(b + 4);
    float *f = &s.x;
    for (int i = 0; i < 6; ++i) {
        const quint32 bits = qFromLittleEndian<quint32>(b + 8 + 4 * i);
        std::memcpy(f + i, &bits, 4);
    }
    return s;
}

void Sift::toLittleEndian(uchar *b) const
{
    qToLittleEndian<qint32>(id, b);
    qToLittleEndian<qint32>(word, b + 4);
    const float *f = &x;
    for (int i = 0; i < 6; ++i) {
        quint32 bits;
        std::memcpy(&bits, f + i, 4);
        qToLittleEndian<quint32>(bits, b + 8 + 4 * i);
    }
}
