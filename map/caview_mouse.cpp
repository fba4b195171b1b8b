#include "map/caview.h"

#include "data/model/cadata.h"
#include "map/extentoverlay.h"
#include "map/tools/hovertool.h"
#include "map/tools/pantool.h"
#include "map/tools/selectiontool.h"
#include "map/tools/maptool.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPixmap>

namespace {

// The interaction bits of the mode word; the rest are the locks.
constexpr int kToolBits = CAView::ModeNormal | CAView::ModeHand | CAView::ModeSelection;

} // namespace

void CAView::setMode(int m)
{
    const bool changed = mode != m;
    MapTool *before = mapTool();
    if (before && before != toolOfMode(m))
        before->reset();
    mode = m;
    m_tool = toolOfMode(m);
    disconnect(m_toolGone);
    setMouseTracking((mode & ModeNormal) != 0);
    setCursor();
    hoverTool->reset();
    if (changed)
        emit modeChanged(mode);
    if (mapTool() != before)
        emit mapToolChanged(mapTool());
}

void CAView::setMapTool(MapTool *tool)
{
    if (!tool)
        tool = hoverTool;
    // A tool of another map would work that map's state.
    if (tool->parent() != this)
        return;
    MapTool *before = mapTool();
    if (before && before != tool)
        before->reset();
    const int m = (mode & ~kToolBits) | tool->modeBit();
    const bool changed = mode != m;
    mode = m;
    m_tool = tool;
    // A tool deleted while set hands the mouse back to the hover.
    disconnect(m_toolGone);
    if (tool != hoverTool)
        m_toolGone = connect(tool, &QObject::destroyed, this, [this] { setMapTool(nullptr); });
    setMouseTracking(tool->tracksMouse());
    setCursor();
    hoverTool->reset();
    if (changed)
        emit modeChanged(mode);
    if (tool != before)
        emit mapToolChanged(tool);
    update();
}

MapTool *CAView::toolOfMode(int m) const
{
    // The drag modes first, as the cursor shows them.
    if (m & ModeSelection)
        return selectionTool;
    if (m & ModeHand)
        return panTool;
    if (m & ModeNormal)
        return hoverTool;
    return nullptr;
}

MapTool *CAView::mapTool() const
{
    // The mode word is a public field: when it was written directly and
    // names another tool than the one set, it decides.
    MapTool *tool = m_tool.data();
    if (tool && tool->modeBit() == (mode & kToolBits))
        return tool;
    return toolOfMode(mode);
}

void CAView::setCursor()
{
    // A tool the mode word has no bit for shows its own cursor.
    MapTool *tool = mapTool();
    if (tool && tool->modeBit() == 0) {
        QWidget::setCursor(tool->cursor());
        return;
    }
    // First matching row wins: the drag modes, then the arrow of any mode
    // without hover, then the two locks.
    if (mode & ModeSelection)
        QWidget::setCursor(QCursor(QPixmap(QStringLiteral(":/images/select.png")), 0, 1));
    else if (mode & ModeHand)
        QWidget::setCursor(QCursor(QPixmap(QStringLiteral(":/images/hand.png")), 15, 9));
    else if (!(mode & ModeNormal))
        QWidget::setCursor(QCursor(Qt::ArrowCursor));
    else if (mode & ModeLocked)
        QWidget::setCursor(QCursor(QPixmap(QStringLiteral(":/images/locked.png")), 15, 16));
    else if (mode & ModeImageLocked)
        QWidget::setCursor(QCursor(QPixmap(QStringLiteral(":/images/image_locked.png")), 0, 1));
    else
        QWidget::setCursor(QCursor(Qt::ArrowCursor));
}

void CAView::panBy(int dx, int dy, bool settled)
{
    panX += dx;
    panY += dy;
    fitted = false;
    recentreIfUncovered(settled);
    update();
}

int CAView::markerAt(const QPoint &pos) const
{
    QFont font = this->font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    for (std::size_t k = 0; k < markers.size(); ++k)
        if (ExtentOverlay::markerBox(markers[k], metrics).contains(pos))
            return int(k);
    return -1;
}

void CAView::mousePressEvent(QMouseEvent *event)
{
    if (!data)
        return;
    // While hovering, an edge marker takes the click before the tool: it
    // brings the points it counts into view. The drag modes keep every press.
    if (event->button() == Qt::LeftButton && activeTool() == hoverTool) {
        const int k = markerAt(event->position().toPoint());
        if (k >= 0) {
            bringIntoView(markers[std::size_t(k)].mapBox);
            event->accept();
            return;
        }
    }
    // Shift with the right button on a word: its commands, in every mode.
    if (event->button() == Qt::RightButton && (event->modifiers() & Qt::ShiftModifier)) {
        const int word = showWordPoint ? wordAt(event->position().toPoint()) : -1;
        if (word >= 0) {
            emit wordMenuRequested(word, event->globalPosition().toPoint());
            event->accept();
            return;
        }
    }
    if (MapTool *tool = activeTool())
        tool->press(event);
}

// The second press of a double click arrives here instead of in
// mousePressEvent; ignoring it makes a double click toggle a lock once.
void CAView::mouseDoubleClickEvent(QMouseEvent *) {}

void CAView::mouseMoveEvent(QMouseEvent *event)
{
    if (!data)
        return;
    if (MapTool *tool = activeTool())
        tool->move(event);
}

void CAView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!data)
        return;
    if (MapTool *tool = activeTool())
        tool->release(event);
}

void CAView::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    // Only hovering leaves something to undo.
    if (data && (mode & ModeNormal))
        hoverTool->leave();
    else
        hoverTool->reset();
    // Another tool may draw something that follows the cursor.
    MapTool *tool = activeTool();
    if (data && tool && tool != hoverTool)
        tool->leave();
}

void CAView::changeFocus(int focus)
{
    focusOnImage = true;
    focusImage = focus;
    repaint();
}
