#ifndef EXTENTOVERLAY_H
#define EXTENTOVERLAY_H

#include "map/mapextent.h"

#include <QRect>
#include <QString>

#include <vector>

class CAView;
class QFontMetrics;
class QPainter;

// What the marks themselves cannot say about the extent of the cloud: the
// drawn points lying off the window, as one marker per direction at its
// edge with their count, and the number of points stacked on one pixel
// (identical rows). The screen and the exported figures both paint them
// with this code, from the view's layers and transform.
class ExtentOverlay
{
public:
    // Markers for the drawn points whose pixel is off `window`.
    static std::vector<MapExtent::Marker> markers(const CAView &view, const QRect &window);
    // Stacks of drawn points of every layer, in map units of the view.
    static std::vector<MapExtent::Stack> stacks(const CAView &view);

    // Paints the stack counts inside `window` and the markers; returns
    // the markers painted.
    static std::vector<MapExtent::Marker> paint(QPainter &painter, const CAView &view, const QRect &window);
    // The same from stacks and markers worked out before: both read every
    // drawn point, so the screen keeps them between the repaints of a
    // hover, which move no point.
    static void paint(QPainter &painter, const CAView &view, const QRect &window,
                      const std::vector<MapExtent::Stack> &stacks,
                      const std::vector<MapExtent::Marker> &markers);

    // The text of a marker ("124") and of a stack ("×121").
    static QString markerText(const MapExtent::Marker &m);
    static QString stackText(int count);
    // The box a marker occupies (and takes clicks in), widget pixels.
    static QRect markerBox(const MapExtent::Marker &m, const QFontMetrics &metrics);
    static constexpr int kInset = 14;
    // The smallest stack whose count is written beside it.
    static constexpr int kStackLabelled = 3;
};

#endif // EXTENTOVERLAY_H
