#ifndef MAPTOOL_H
#define MAPTOOL_H

class CAView;
class QMouseEvent;

// What the mouse does on the map in one interaction mode. The view keeps one
// tool per mode and hands the mouse events of a map showing data to the tool
// of its mode word; a new way of using the mouse is a new tool.
class MapTool
{
public:
    explicit MapTool(CAView &view) : m_view(view) {}
    virtual ~MapTool() = default;
    MapTool(const MapTool &) = delete;
    MapTool &operator=(const MapTool &) = delete;

    virtual void press(QMouseEvent *event) = 0;
    virtual void move(QMouseEvent *event) = 0;
    virtual void release(QMouseEvent *) {}
    // The cursor left the map.
    virtual void leave() {}
    // The mode word changed (a command or a lock): forget what is under way.
    virtual void reset() {}

protected:
    CAView &m_view;
};

#endif // MAPTOOL_H
