#include "map/tools/pantool.h"

#include "map/caview.h"

#include <QMouseEvent>

int PanTool::modeBit() const
{
    return CAView::ModeHand;
}

void PanTool::press(QMouseEvent *event)
{
    host().setDragPosition(event->position().toPoint());
}

void PanTool::move(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    const QPoint d = p - host().dragPosition();
    host().panBy(d.x(), d.y(), false);
    host().repaintNow();
    host().setDragPosition(p);
}

void PanTool::release(QMouseEvent *event)
{
    // Each movement already moved the map up to the drag position; only the
    // rest since the last movement is added here.
    const QPoint d = event->position().toPoint() - host().dragPosition();
    host().panBy(d.x(), d.y(), true);
    host().repaintNow();
}
