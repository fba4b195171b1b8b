#include "map/tools/selectiontool.h"

#include "map/caview.h"

#include <QMouseEvent>
#include <QPainter>

#include <utility>

int SelectionTool::modeBit() const
{
    return CAView::ModeSelection;
}

void SelectionTool::press(QMouseEvent *event)
{
    host().startOutline(QPointF(event->position().toPoint()));
}

void SelectionTool::move(QMouseEvent *event)
{
    host().extendOutline(QPointF(event->position().toPoint()));
    host().repaintNow();
}

void SelectionTool::release(QMouseEvent *)
{
    // The release position is not a vertex.
    host().finishOutline();
    host().repaintNow();
}

namespace {

// The 2-pixel pens of the outline and the marks.
QPen widePen(Qt::GlobalColor colour)
{
    return QPen(QBrush(colour), 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

} // namespace

void SelectionTool::paint(QPainter &painter) const
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(widePen(Qt::black));
    const QVector<QPointF> &outline = host().outline();
    if (!outline.isEmpty())
        painter.drawPolyline(outline.constData(), int(outline.size()));
    painter.setPen(widePen(Qt::blue));
    for (int i : host().selectedImages()) {
        const QPoint p = host().imagePosition(i);
        painter.drawRect(p.x(), p.y(), 4, 4);
    }
    painter.setPen(widePen(Qt::green));
    for (int j : host().selectedWords()) {
        const QPoint p = host().wordPosition(j);
        painter.drawRect(p.x(), p.y(), 4, 4);
    }
    painter.restore();
}
