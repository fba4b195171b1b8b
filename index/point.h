#ifndef ORTELIS_POINT_H
#define ORTELIS_POINT_H

// One indexed point: a position and the caller's identifier for it (an image
// or word index in the map). Copied by value.
struct Point
{
    double x = 0.0;
    double y = 0.0;
    int id = 0;

    Point() = default;
    Point(double px, double py, int pid) : x(px), y(py), id(pid) {}
};

#endif
