#include "map/pnpoly.h"

int pnpoly(QPolygonF polygon, float x, float y)
{
    const double px = x;
    const double py = y;
    const QPointF *v = polygon.constData();
    const qsizetype n = polygon.size();
    int inside = 0;
    for (qsizetype i = 0, j = n - 1; i < n; j = i++) {
        const double xi = v[i].x();
        const double yi = v[i].y();
        const double xj = v[j].x();
        const double yj = v[j].y();
        // Half-open in y: an edge owns its lower end only, so a horizontal
        // line through a vertex meets the outline once, and horizontal edges
        // never count. The division is safe: crossing edges have yi != yj.
        if (((yi <= py && py < yj) || (yj <= py && py < yi))
            && px < (xj - xi) * (py - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    return inside;
}
