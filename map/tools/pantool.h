#ifndef PANTOOL_H
#define PANTOOL_H

#include "map/tools/maptool.h"

// Hand mode: dragging moves the map; the canvas is re-rendered around the
// window when the drag has uncovered one of its edges.
class PanTool : public MapTool
{
public:
    using MapTool::MapTool;

    int modeBit() const override;

    void press(QMouseEvent *event) override;
    void move(QMouseEvent *event) override;
    void release(QMouseEvent *event) override;

private:
    void panTo(int ex, int ey);
};

#endif // PANTOOL_H
