#ifndef PNPOLY_H
#define PNPOLY_H

#include <QPolygonF>

// Even-odd point-in-polygon test: 1 inside, 0 outside. Edges are half-open
// in y and the crossing test is strict in x.
int pnpoly(QPolygonF polygon, float x, float y);

#endif // PNPOLY_H
