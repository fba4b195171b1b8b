#include "map/axistitles.h"

#include "map/maptransform.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <utility>

AxisTitles::Boxes AxisTitles::place(const MapTransform &t, const QSize &size,
                                    const QFontMetrics &metrics, const QString &horizontal,
                                    const QString &vertical)
{
    const QPoint axes = t.widgetOrigin();
    const int pad = 4;
    const int hw = metrics.horizontalAdvance(horizontal);
    const int vw = metrics.horizontalAdvance(vertical);
    const int th = metrics.height();
    const int W = size.width();
    const int H = size.height();

    Boxes b;
    b.horizontal = QRect(W - hw - 2 * pad - 6, axes.y() - th - pad, hw + 2 * pad, th);
    b.horizontal.moveTop(std::clamp(b.horizontal.top(), 0, std::max(0, H - th)));
    b.vertical = QRect(axes.x() + 6, 6, vw + 2 * pad, th);
    b.vertical.moveLeft(std::clamp(b.vertical.left(), 0, std::max(0, W - b.vertical.width())));
    return b;
}

AxisTitles::Boxes AxisTitles::paint(QPainter &painter, const MapTransform &t, const QSize &size,
                                    const QString &horizontal, const QString &vertical)
{
    painter.save();
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    const Boxes b = place(t, size, QFontMetrics(font), horizontal, vertical);
    for (const auto &[box, text] : {std::pair<QRect, QString>(b.horizontal, horizontal),
                                    std::pair<QRect, QString>(b.vertical, vertical)}) {
        painter.fillRect(box, QColor(255, 255, 255, 215));
        painter.setPen(QColor(60, 60, 60));
        painter.drawText(box, Qt::AlignCenter, text);
    }
    painter.restore();
    return b;
}
