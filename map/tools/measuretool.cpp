#include "map/tools/measuretool.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

void MeasureTool::press(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        reset();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF at = host().transform().mapFromWidget(event->position());
    if (m_points.size() != 1)
        m_points.clear();
    m_points.append(at);
    m_cursor = at;
    host().update();
    if (m_points.size() == 2)
        emit measured(distance(), distanceText(distance(), host().shownAxis(0), host().shownAxis(1)));
}

void MeasureTool::move(QMouseEvent *event)
{
    if (m_points.size() != 1)
        return;
    m_cursor = host().transform().mapFromWidget(event->position());
    host().update();
}

bool MeasureTool::keyPress(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Escape || m_points.isEmpty())
        return false;
    reset();
    return true;
}

void MeasureTool::reset()
{
    if (m_points.isEmpty())
        return;
    m_points.clear();
    host().update();
}

double MeasureTool::distance() const
{
    if (m_points.size() != 2)
        return -1;
    const QPointF d = m_points[1] - m_points[0];
    return std::hypot(d.x(), d.y());
}

QString MeasureTool::distanceText(double distance, int axis1, int axis2)
{
    return QObject::tr("%1 map units on axes %2 and %3")
        .arg(QString::number(distance, 'g', 4))
        .arg(axis1)
        .arg(axis2);
}

void MeasureTool::paint(QPainter &painter) const
{
    if (m_points.isEmpty())
        return;
    const MapTransform t = host().transform();
    auto widget = [&t](const QPointF &m) {
        // Continuous, not truncated to the drawn pixel: the line joins the
        // clicked places exactly.
        return QPointF(t.mapWidth / 2 + t.scale * m.x() - t.shiftX,
                       t.mapHeight / 2 - t.scale * m.y() - t.shiftY)
            + QPointF(t.canvasTopLeft());
    };
    const QPointF from = widget(m_points[0]);
    const QPointF to = widget(m_points.size() == 2 ? m_points[1] : m_cursor);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.5, Qt::DashLine));
    painter.drawLine(from, to);
    painter.setPen(QPen(Qt::black, 1.5));
    for (const QPointF &p : {from, to}) {
        painter.drawLine(p + QPointF(-5, 0), p + QPointF(5, 0));
        painter.drawLine(p + QPointF(0, -5), p + QPointF(0, 5));
    }
    const QPointF d = (m_points.size() == 2 ? m_points[1] : m_cursor) - m_points[0];
    const QString text = distanceText(std::hypot(d.x(), d.y()), host().shownAxis(0), host().shownAxis(1));
    const QFontMetrics metrics(painter.font());
    QRectF box = metrics.boundingRect(text);
    box.adjust(-4, -2, 4, 2);
    box.moveCenter((from + to) / 2 + QPointF(0, -box.height()));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 240, 230));
    painter.drawRect(box);
    painter.setPen(Qt::black);
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
}
