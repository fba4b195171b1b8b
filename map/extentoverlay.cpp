#include "map/extentoverlay.h"

#include "data/model/cadata.h"
#include "map/caview.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

std::vector<MapExtent::Marker> ExtentOverlay::markers(const CAView &view, const QRect &window)
{
    if (!view.data)
        return {};
    const MapTransform t = view.mapTransform();
    std::vector<MapExtent::Off> off;
    for (int id = 0; id < view.layerCount(); ++id) {
        const PointLayer &l = view.layer(id);
        if (!l.style().visible)
            continue;
        const int n = l.count(*view.data);
        for (int i = 0; i < n; ++i) {
            if (!l.drawn(i))
                continue;
            const QPointF m = l.position(*view.data, t, i);
            const QPoint w = t.widgetPixel(m.x(), m.y());
            if (!window.contains(w))
                off.push_back({QPointF(w), m, id == CAView::WordLayer ? 1 : 0});
        }
    }
    return MapExtent::markers(off, window, kInset);
}

std::vector<MapExtent::Stack> ExtentOverlay::stacks(const CAView &view)
{
    std::vector<MapExtent::Stack> out;
    if (!view.data)
        return out;
    const MapTransform t = view.mapTransform();
    for (int id = 0; id < view.layerCount(); ++id) {
        const PointLayer &l = view.layer(id);
        if (!l.style().visible)
            continue;
        std::vector<QPointF> positions;
        const int n = l.count(*view.data);
        for (int i = 0; i < n; ++i)
            if (l.drawn(i))
                positions.push_back(l.position(*view.data, t, i));
        const std::vector<MapExtent::Stack> s = MapExtent::stacks(positions);
        out.insert(out.end(), s.begin(), s.end());
    }
    return out;
}

QString ExtentOverlay::markerText(const MapExtent::Marker &m)
{
    return QString::number(m.total());
}

QString ExtentOverlay::stackText(int count)
{
    return QStringLiteral("\u00D7%1").arg(count);
}

QRect ExtentOverlay::markerBox(const MapExtent::Marker &m, const QFontMetrics &metrics)
{
    // The arrow at the anchor, the count just inside it.
    const int w = metrics.horizontalAdvance(markerText(m)) + 8;
    const int h = metrics.height() + 2;
    const QPointF c = m.anchor - m.pointing * (w / 2.0 + 10);
    QRect box(int(std::lround(c.x() - w / 2.0)), int(std::lround(c.y() - h / 2.0)), w, h);
    return box.united(QRect(int(m.anchor.x()) - 8, int(m.anchor.y()) - 8, 16, 16));
}

std::vector<MapExtent::Marker> ExtentOverlay::paint(QPainter &painter, const CAView &view, const QRect &window)
{
    if (!view.data)
        return {};
    std::vector<MapExtent::Marker> ms = markers(view, window);
    paint(painter, view, window, stacks(view), ms);
    return ms;
}

void ExtentOverlay::paint(QPainter &painter, const CAView &view, const QRect &window,
                          const std::vector<MapExtent::Stack> &stacks,
                          const std::vector<MapExtent::Marker> &ms)
{
    if (!view.data)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    const QFontMetrics fm(font);
    const MapTransform t = view.mapTransform();

    // Pairs of copies are common in collections; from three on a stack is
    // worth a number on the map.
    for (const MapExtent::Stack &s : stacks) {
        if (s.count < kStackLabelled)
            continue;
        const QPoint p = t.widgetPixel(s.position.x(), s.position.y());
        if (!window.contains(p))
            continue;
        const QString text = stackText(s.count);
        const QRect box(p.x() + 5, p.y() - fm.height() - 1, fm.horizontalAdvance(text) + 4, fm.height());
        painter.fillRect(box, QColor(255, 255, 255, 200));
        painter.setPen(QColor(40, 40, 40));
        painter.drawText(box, Qt::AlignCenter, text);
    }

    for (const MapExtent::Marker &m : ms) {
        // A filled arrow head pointing off the map, toward the points.
        const QPointF u = m.pointing;
        const QPointF n(-u.y(), u.x());
        const QPointF tip = m.anchor + u * 9;
        QPainterPath arrow;
        arrow.moveTo(tip);
        arrow.lineTo(m.anchor - u * 5 + n * 4.5);
        arrow.lineTo(m.anchor - u * 5 - n * 4.5);
        arrow.closeSubpath();
        painter.setPen(QPen(Qt::white, 1));
        painter.setBrush(QColor(60, 60, 60));
        painter.drawPath(arrow);
        const QString text = markerText(m);
        const int w = fm.horizontalAdvance(text) + 8;
        const int h = fm.height() + 2;
        const QPointF c = m.anchor - u * (w / 2.0 + 10);
        const QRectF box(c.x() - w / 2.0, c.y() - h / 2.0, w, h);
        painter.setPen(QPen(QColor(60, 60, 60), 1));
        painter.setBrush(QColor(255, 255, 255, 230));
        painter.drawRoundedRect(box, 3, 3);
        painter.setPen(QColor(30, 30, 30));
        painter.drawText(box, Qt::AlignCenter, text);
    }
    painter.restore();
}
