#ifndef MAPTRANSFORM_H
#define MAPTRANSFORM_H

#include "map/mapgeometry.h"

#include <QPoint>
#include <QPointF>
#include <QRect>

class CAData;

// Where the map lies: the chain map units -> canvas pixels -> widget pixels
// as one value, built from the view's geometry whenever it is needed
// (CAView::mapTransform) and never kept, so it cannot drift from it. The
// formulas are those of MapGeometry.
//
// Map units have the vertical axis pointing up; canvas and widget pixels
// point down. Painting, hit tests, index queries, the selection and the
// exporters all go through this one rule.
struct MapTransform : MapGeometry
{
    MapTransform() = default;
    explicit MapTransform(const MapGeometry &g) : MapGeometry(g) {}

    // Truncation toward zero that cannot overflow: values beyond the pixel
    // range saturate and NaN lands far off the canvas.
    static int truncate(double v);

    // Map units -> canvas pixel (the drawn position, truncated).
    QPoint canvasPixel(double x, double y) const
    {
        return QPoint(mapWidth / 2 + truncate(scale * x) - shiftX,
                      mapHeight / 2 - truncate(scale * y) - shiftY);
    }
    // Map units -> widget pixel.
    QPoint widgetPixel(double x, double y) const { return canvasPixel(x, y) + canvasTopLeft(); }

    // Widget position of the canvas's top-left corner.
    QPoint canvasTopLeft() const { return QPoint(originX + panX, originY + panY); }
    QPointF canvasFromWidget(const QPointF &w) const { return w - QPointF(canvasTopLeft()); }
    QPointF widgetFromCanvas(const QPointF &c) const { return c + QPointF(canvasTopLeft()); }

    // Canvas position -> map units, continuous (the inverse up to the
    // truncation of canvasPixel).
    QPointF mapFromCanvas(const QPointF &c) const
    {
        return QPointF((c.x() - mapWidth / 2 + shiftX) / scale,
                       -(c.y() - mapHeight / 2 + shiftY) / scale);
    }
    QPointF mapFromWidget(const QPointF &w) const { return mapFromCanvas(canvasFromWidget(w)); }

    // The axes' crossing (map origin) in canvas and widget pixels.
    QPoint canvasOrigin() const { return QPoint(mapWidth / 2 - shiftX, mapHeight / 2 - shiftY); }
    QPoint widgetOrigin() const { return canvasOrigin() + canvasTopLeft(); }

    // The canvas in widget pixels.
    QRect canvasRect() const { return QRect(canvasTopLeft(), QSize(mapWidth, mapHeight)); }

    // Map point at the canvas centre, pan folded in.
    QPointF canvasCentre() const { return QPointF((shiftX - panX) / scale, -(shiftY - panY) / scale); }

    // Factor the projection mode applies on `axis` to a family of points
    // that is rescaled in `rescaledInMode` (images in mode 2, words in 1).
    double projectionFactor(const CAData &data, int axis, int rescaledInMode) const;
};

#endif // MAPTRANSFORM_H
