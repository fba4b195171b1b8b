#ifndef MEASURETOOL_H
#define MEASURETOOL_H

#include "map/tools/maptool.h"

#include <QPointF>
#include <QVector>

// Measures the distance between two points clicked on the map, in map units
// of the two axes shown (the units of the factorial coordinates, the same on
// both axes). The first left click sets the start, the second the end; a
// third starts again. Until the end is set a line follows the cursor. The
// right button or Esc clears the measurement.
//
// The points are kept in map units, so the measurement stays on the points
// it joins when the map is zoomed or panned.
class MeasureTool : public MapTool
{
    Q_OBJECT

public:
    using MapTool::MapTool;

    bool tracksMouse() const override { return true; }
    QCursor cursor() const override { return QCursor(Qt::CrossCursor); }

    void press(QMouseEvent *event) override;
    void move(QMouseEvent *event) override;
    bool keyPress(QKeyEvent *event) override;
    void reset() override;
    void paint(QPainter &painter) const override;

    // The points set so far (none, the start, or both), in map units.
    const QVector<QPointF> &points() const { return m_points; }
    // The distance between the two points in map units; -1 until both are set.
    double distance() const;
    // What the map shows of a distance: "0.7342 map units on axes 1 and 2".
    static QString distanceText(double distance, int axis1, int axis2);

signals:
    // Both points are set.
    void measured(double distance, const QString &text);

private:
    QVector<QPointF> m_points;
    QPointF m_cursor; // map units, for the line to the cursor
};

#endif // MEASURETOOL_H
