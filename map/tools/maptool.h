#ifndef MAPTOOL_H
#define MAPTOOL_H

#include "map/tools/maptoolhost.h"

#include <QCursor>
#include <QObject>

class CAView;
class QKeyEvent;
class QMouseEvent;
class QPainter;

// What the mouse does on one map. A tool is handed the mouse and key events
// of a map showing data while it is the map's active tool
// (CAView::setMapTool), paints its own overlay over the map, and reaches the
// map only through a MapToolHost: the transform, the hit tests, the focus,
// the neighbourhood and the selection. A new way of using the mouse is a new
// tool; the view needs no change for it.
//
// A tool is a child of its map and dies with it.
class MapTool : public QObject
{
    Q_OBJECT

public:
    explicit MapTool(CAView *view);
    ~MapTool() override;

    // The interaction bit of the mode word this tool stands for (ModeNormal,
    // ModeHand or ModeSelection), or 0 for a tool the mode word has no bit
    // for. The map's mode word is this bit with the lock bits kept.
    virtual int modeBit() const { return 0; }
    // Whether movements without a button held reach the tool.
    virtual bool tracksMouse() const { return false; }
    // The cursor over the map while the tool is active (the tools of the
    // mode word take theirs from it instead).
    virtual QCursor cursor() const { return QCursor(Qt::ArrowCursor); }

    virtual void press(QMouseEvent *) {}
    virtual void move(QMouseEvent *) {}
    virtual void release(QMouseEvent *) {}
    // A key pressed on the map: true when the tool used it; the map handles
    // the keys it leaves (zoom, arrows, Esc...).
    virtual bool keyPress(QKeyEvent *) { return false; }
    // The cursor left the map.
    virtual void leave() {}
    // The tool was switched off or the mode word changed: forget what is
    // under way.
    virtual void reset() {}
    // Its overlay, painted over the points and labels, below the thumbnails
    // and the card.
    virtual void paint(QPainter &) const {}

protected:
    MapToolHost &host() { return m_host; }
    const MapToolHost &host() const { return m_host; }

private:
    MapToolHost m_host;
};

#endif // MAPTOOL_H
