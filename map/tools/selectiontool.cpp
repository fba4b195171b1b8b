#include "map/tools/selectiontool.h"

#include "data/console.h"
#include "map/caview.h"

#include <QMouseEvent>

void SelectionTool::press(QMouseEvent *event)
{
    m_view.polygon.clear();
    m_view.polygon.append(QPointF(event->position().toPoint()));
    Console::out(QStringLiteral("Selection mode begin"));
    m_view.selectedImages.clear();
    m_view.selectedWords.clear();
}

void SelectionTool::move(QMouseEvent *event)
{
    m_view.polygon.append(QPointF(event->position().toPoint()));
    m_view.repaint();
}

void SelectionTool::release(QMouseEvent *)
{
    // The release position is not a vertex.
    m_view.finishSelection();
    m_view.repaint();
}
