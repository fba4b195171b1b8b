#ifndef MAPSTATE_H
#define MAPSTATE_H

#include "map/mapgeometry.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSet>

class CAView;

// What a user set up on one map and expects to find again: axes, projection,
// scale and canvas position, thresholds, radius, cell size and the switches.
// Taken from a view, kept as JSON in a session file, and put back on a view.
// Of the geometry, the axes, projection, scale, pan and canvas offset are
// kept; the canvas size and its origin in the window belong to the window.
struct MapState : MapGeometry
{
    int imageThreshold = 2;
    int wordThreshold = 2;
    int radius = 20;
    int cellSize = 1;
    bool circleNeighbour = true;
    bool showLens = false;
    bool showImage = false;
    bool showInfo = false;
    bool showImagePoint = true;
    bool showWordPoint = true;
    bool showSupImagePoint = true;
    bool categoryColours = false;
    bool axisTitles = false;
    QSet<int> hiddenCategories; // category numbers not drawn
    // Named groups; rows beyond the analysis are dropped when applied.
    QJsonArray groups;

    static MapState of(const CAView &view);
    // Puts the state on a view that shows data; values the analysis cannot
    // take (an axis it does not have, a cell size below 1) are kept in range.
    // The point layer is rebuilt once.
    void applyTo(CAView &view) const;

    QJsonObject toJson() const;
    // Missing members keep their defaults.
    static MapState fromJson(const QJsonObject &json);

    bool operator==(const MapState &o) const;
    bool operator!=(const MapState &o) const { return !(*this == o); }
};

#endif // MAPSTATE_H
