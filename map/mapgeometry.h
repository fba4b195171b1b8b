#ifndef MAPGEOMETRY_H
#define MAPGEOMETRY_H

// Where the map lies, declared once: the view holds these values as its own
// state, the transform (MapTransform) is built from them, and a session
// (MapState) keeps the ones a user expects to find again.
//
//   canvas px = mapWidth/2 + trunc(scale * x) - shiftX
//   canvas py = mapHeight/2 - trunc(scale * y) - shiftY
//   widget    = canvas + (originX + panX, originY + panY)
struct MapGeometry
{
    double scale = 200;       // pixels per map unit
    int mapWidth = 2000;      // canvas size in pixels
    int mapHeight = 1500;
    int originX = 0;          // widget position of the canvas before panning
    int originY = 0;
    int panX = 0;             // accumulated pan in widget pixels
    int panY = 0;
    // Canvas offset in pixels: zero keeps the axes' origin at the canvas
    // centre; moving it re-renders the canvas around the region looked at.
    int shiftX = 0;
    int shiftY = 0;
    int projectionMode = 0;   // 0 normal, 1 columns, 2 rows as barycentres
    int axis1 = 0;            // horizontal and vertical axis (0-based)
    int axis2 = 1;

    bool operator==(const MapGeometry &o) const
    {
        return scale == o.scale && mapWidth == o.mapWidth && mapHeight == o.mapHeight &&
               originX == o.originX && originY == o.originY && panX == o.panX && panY == o.panY &&
               shiftX == o.shiftX && shiftY == o.shiftY && projectionMode == o.projectionMode &&
               axis1 == o.axis1 && axis2 == o.axis2;
    }
    bool operator!=(const MapGeometry &o) const { return !(*this == o); }
};

#endif // MAPGEOMETRY_H
