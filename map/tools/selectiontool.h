#ifndef SELECTIONTOOL_H
#define SELECTIONTOOL_H

#include "map/tools/maptool.h"

// Selection mode: a free-hand outline drawn while a button is held; on
// release the points inside it are selected.
class SelectionTool : public MapTool
{
public:
    using MapTool::MapTool;

    int modeBit() const override;

    void press(QMouseEvent *event) override;
    void move(QMouseEvent *event) override;
    void release(QMouseEvent *event) override;
    // The outline and the points it selected.
    void paint(QPainter &painter) const override;
};

#endif // SELECTIONTOOL_H
