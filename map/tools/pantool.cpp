#include "map/tools/pantool.h"

#include "map/caview.h"

#include <QMouseEvent>

void PanTool::press(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    m_view.dragX = p.x();
    m_view.dragY = p.y();
}

void PanTool::panTo(int ex, int ey)
{
    m_view.panX += ex - m_view.dragX;
    m_view.panY += ey - m_view.dragY;
    m_view.fitted = false;
}

void PanTool::move(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    panTo(p.x(), p.y());
    m_view.recentreIfUncovered(false);
    m_view.repaint();
    m_view.dragX = p.x();
    m_view.dragY = p.y();
}

void PanTool::release(QMouseEvent *event)
{
    // Each movement already moved the map up to dragX, dragY; only the rest
    // since the last movement is added here.
    const QPoint p = event->position().toPoint();
    panTo(p.x(), p.y());
    m_view.recentreIfUncovered(true);
    m_view.repaint();
}
