#include "map/pnpoly.h"

int pnpoly(QPolygonF, float, float) { return 0; }
