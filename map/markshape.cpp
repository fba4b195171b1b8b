#include "map/markshape.h"

#include <QColor>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

MarkShape::MarkShape(Kind kind) : m_kind(kind)
{
    // The stamp is taken from QPainter itself once, so that stamping gives
    // the same picture as painting every mark.
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        paint(painter, 8, 8);
    }
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            if (image.pixel(x, y) != QColor(Qt::white).rgb()) {
                m_offsets.emplace_back(x - 8, y - 8);
                m_reach = std::max({m_reach, std::abs(x - 8), std::abs(y - 8)});
            }
}

void MarkShape::paint(QPainter &painter, int x, int y) const
{
    switch (m_kind) {
    case Cross:
        painter.drawLine(x - 2, y, x + 2, y);
        painter.drawLine(x, y - 2, x, y + 2);
        break;
    case Circle:
        painter.drawEllipse(x - 2, y - 2, 4, 4);
        break;
    case Diamond: {
        const QPoint corners[4] = {QPoint(x, y - 3), QPoint(x + 3, y), QPoint(x, y + 3),
                                   QPoint(x - 3, y)};
        painter.drawPolygon(corners, 4);
        break;
    }
    }
}

QPainterPath MarkShape::path(double x, double y) const
{
    QPainterPath p;
    switch (m_kind) {
    case Cross:
        p.moveTo(x - 2, y);
        p.lineTo(x + 2, y);
        p.moveTo(x, y - 2);
        p.lineTo(x, y + 2);
        break;
    case Circle:
        p.addEllipse(QRectF(x - 2, y - 2, 4, 4));
        break;
    case Diamond:
        p.moveTo(x, y - 3);
        p.lineTo(x + 3, y);
        p.lineTo(x, y + 3);
        p.lineTo(x - 3, y);
        p.closeSubpath();
        break;
    }
    return p;
}

void MarkShape::stamp(QImage &canvas, int x, int y, QRgb colour) const
{
    QRgb *bits = reinterpret_cast<QRgb *>(canvas.bits());
    const qptrdiff stride = canvas.bytesPerLine() / qptrdiff(sizeof(QRgb));
    const int width = canvas.width();
    const int height = canvas.height();
    const int r = m_reach;
    if (x >= r && y >= r && x < width - r && y < height - r) {
        QRgb *centre = bits + y * stride + x;
        for (const QPoint &o : m_offsets)
            centre[o.y() * stride + o.x()] = colour;
        return;
    }
    if (x < -r || y < -r || x >= width + r || y >= height + r)
        return;
    for (const QPoint &o : m_offsets) {
        const int px = x + o.x(), py = y + o.y();
        if (px >= 0 && py >= 0 && px < width && py < height)
            bits[py * stride + px] = colour;
    }
}
