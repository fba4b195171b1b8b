#ifndef MAPTRANSFORM_H
#define MAPTRANSFORM_H

#include <QPoint>
#include <QPointF>
#include <QRect>

class CAData;

// Where the map lies: the chain map units -> canvas pixels -> widget pixels
// as one value, taken from the view's own fields whenever it is needed
// (CAView::mapTransform) and never kept, so it cannot drift from them.
//
//   canvas px = mapWidth/2 + trunc(scale * x) - shiftX
//   canvas py = mapHeight/2 - trunc(scale * y) - shiftY
//   widget    = canvas + (originX + panX, originY + panY)
//
// Map units have the vertical axis pointing up; canvas and widget pixels
// point down. Painting, hit tests, index queries, the selection and the
// exporters all go through this one rule.
struct MapTransform
{
    double scale = 200;
    int mapWidth = 2000;
    int mapHeight = 1500;
    int originX = 0;
    int originY = 0;
    int panX = 0;
    int panY = 0;
    int shiftX = 0;
    int shiftY = 0;
    int projectionMode = 0;
    int axis1 = 0;
    int axis2 = 1;

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

    bool operator==(const MapTransform &o) const
    {
        return scale == o.scale && mapWidth == o.mapWidth && mapHeight == o.mapHeight &&
               originX == o.originX && originY == o.originY && panX == o.panX && panY == o.panY &&
               shiftX == o.shiftX && shiftY == o.shiftY && projectionMode == o.projectionMode &&
               axis1 == o.axis1 && axis2 == o.axis2;
    }
    bool operator!=(const MapTransform &o) const { return !(*this == o); }

    // Factor the projection mode applies on `axis` to a family of points
    // that is rescaled in `rescaledInMode` (images in mode 2, words in 1).
    double projectionFactor(const CAData &data, int axis, int rescaledInMode) const;
};

#endif // MAPTRANSFORM_H
