#include "index/rtree.h"

#include <cmath>

void RTree::find(std::vector<int>& out, double x, double y, double r) const
{
    // Nothing lies within a negative (or NaN) distance; without this the
    // squared radius of the leaf test would turn -r into +r.
    if (!(r >= 0.0))
        return;
    find(root, out, x, y, r);
}

void RTree::find(const Node* node, std::vector<int>& out, double x, double y, double r) const
{
    if (!node)
        return;

    if (!node->left) {
        // The leaf's points in ids order, copied side by side at build time.
        const Point* p = leafPoints.data() + node->first;
        const Point* end = p + node->ids.size();
        const double r2 = r * r;
        for (; p != end; ++p) {
            const double dx = p->x - x;
            const double dy = p->y - y;
            if (dx * dx + dy * dy <= r2)
                out.push_back(p->id);
        }
        return;
    }

    const Node* left = node->left;
    const Node* right = node->right;
    if (Check_Intersect(left->lo.x, left->lo.y, left->hi.x, left->hi.y, x, y, r))
        find(left, out, x, y, r);
    if (Check_Intersect(right->lo.x, right->lo.y, right->hi.x, right->hi.y, x, y, r))
        find(right, out, x, y, r);
}

bool Check_Intersect(double xmin, double ymin, double xmax, double ymax,
                     double cx, double cy, double r)
{
    const double dxR = xmax - cx;
    const double dxL = xmin - cx;
    const double dyT = ymax - cy;
    const double dyB = ymin - cy;
    const double r2 = r * r;

    if (dxR < 0.0) { // centre right of the rectangle
        if (dyT < 0.0)
            return r2 > dxR * dxR + dyT * dyT;
        if (dyB > 0.0)
            return r2 > dxR * dxR + dyB * dyB;
        return r > std::fabs(dxR);
    }
    if (dxL > 0.0) { // centre left of it
        if (dyT < 0.0)
            return r2 > dxL * dxL + dyT * dyT;
        if (dyB > 0.0)
            return r2 > dxL * dxL + dyB * dyB;
        return r > dxL;
    }
    // xmin <= cx <= xmax
    if (dyT < 0.0)
        return r > std::fabs(dyT);
    if (dyB > 0.0)
        return r > dyB;
    return true;
}
