#ifndef MAPEXTENT_H
#define MAPEXTENT_H

#include <QPointF>
#include <QRect>
#include <QRectF>

#include <vector>

// Where a cloud of map points lies, for the fit and the marks around it.
//
// A collection often holds a few far points (a stack of blank pictures, one
// odd word) that would set the whole extent of a fit and squeeze the real
// cloud into a corner. The bulk is the part of the cloud that holds most of
// its mass, taken nearest first around the mass-weighted median, each axis
// measured by its own spread so that a long thin cloud is not cut across.
class MapExtent
{
public:
    // The box (map units) of the points holding `share` of the total mass,
    // ties at the cut included. Points with a non-finite position or a mass
    // not above 0 take no part. A null box when none is left.
    static QRectF bulk(const std::vector<QPointF> &positions, const std::vector<double> &masses,
                       double share);
    // The box of every point with a finite position.
    static QRectF bounds(const std::vector<QPointF> &positions);

    // Points at one exact position (identical rows land there on every
    // axis): their position and how many, for groups of at least `minimum`.
    struct Stack
    {
        QPointF position;
        int count = 0;
    };
    static std::vector<Stack> stacks(const std::vector<QPointF> &positions, int minimum = 2);

    // Points off the window, gathered into eight directions seen from its
    // centre (east, north-east, north, ...: 45 degrees each, east first,
    // counter-clockwise on screen).
    struct Off
    {
        QPointF widget; // where it would be drawn, widget pixels
        QPointF map;    // its map position
        int family = 0; // 0 images, 1 words
    };
    struct Marker
    {
        int direction = 0;   // 0 east, 1 north-east, ... 7 south-east
        QPointF anchor;      // on the window's edge, inset, widget pixels
        QPointF pointing;    // unit vector from the centre toward the points
        int counts[2] = {0, 0}; // images, words
        QRectF mapBox;       // the box of the points it stands for, map units
        int total() const { return counts[0] + counts[1]; }
    };
    static std::vector<Marker> markers(const std::vector<Off> &off, const QRect &window, int inset);
};

#endif // MAPEXTENT_H
