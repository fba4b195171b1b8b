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

namespace {

const QRect *hit(const QRect &box, const std::vector<QRect> &avoid)
{
    for (const QRect &r : avoid)
        if (box.intersects(r))
            return &r;
    return nullptr;
}

// Moves `box` by `step` (which says how to clear an obstacle) until it
// clears every box of `avoid` or leaves `window`; false when it left.
template <typename Step>
bool clear(QRect &box, const std::vector<QRect> &avoid, const QRect &window, Step step)
{
    for (std::size_t k = 0; k <= avoid.size(); ++k) {
        const QRect *r = hit(box, avoid);
        if (!r)
            return window.contains(box);
        step(box, *r);
    }
    return !hit(box, avoid) && window.contains(box);
}

} // namespace

AxisTitles::Boxes AxisTitles::place(const MapTransform &t, const QSize &size, const QFontMetrics &metrics,
                                    const QString &horizontal, const QString &vertical,
                                    const std::vector<QRect> &avoid)
{
    const Boxes first = place(t, size, metrics, horizontal, vertical);
    if (avoid.empty())
        return first;
    const QRect window(QPoint(0, 0), size);
    const int gap = 4;
    Boxes b = first;
    // Along the horizontal axis, leftwards; else under the axis.
    if (!clear(b.horizontal, avoid, window, [gap](QRect &box, const QRect &r) { box.moveRight(r.left() - gap); })) {
        b.horizontal = first.horizontal;
        b.horizontal.moveTop(first.horizontal.bottom() + 2 * gap);
        if (!clear(b.horizontal, avoid, window,
                   [gap](QRect &box, const QRect &r) { box.moveRight(r.left() - gap); }))
            b.horizontal = first.horizontal;
    }
    // Along the vertical axis, rightwards; else lower down.
    if (!clear(b.vertical, avoid, window, [gap](QRect &box, const QRect &r) { box.moveLeft(r.right() + gap); })) {
        b.vertical = first.vertical;
        if (!clear(b.vertical, avoid, window, [gap](QRect &box, const QRect &r) { box.moveTop(r.bottom() + gap); }))
            b.vertical = first.vertical;
    }
    return b;
}

AxisTitles::Boxes AxisTitles::paint(QPainter &painter, const MapTransform &t, const QSize &size,
                                    const QString &horizontal, const QString &vertical,
                                    const std::vector<QRect> &avoid)
{
    painter.save();
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    const Boxes b = place(t, size, QFontMetrics(font), horizontal, vertical, avoid);
    for (const auto &[box, text] : {std::pair<QRect, QString>(b.horizontal, horizontal),
                                    std::pair<QRect, QString>(b.vertical, vertical)}) {
        painter.fillRect(box, QColor(255, 255, 255, 215));
        painter.setPen(QColor(60, 60, 60));
        painter.drawText(box, Qt::AlignCenter, text);
    }
    painter.restore();
    return b;
}
