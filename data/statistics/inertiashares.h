#ifndef INERTIASHARES_H
#define INERTIASHARES_H

#include <QString>

class CAData;

// What an axis's eigenvalue is a share of. With the total inertia of the
// table known (from the result set, or worked out from the table), a share is
// of that total; otherwise only of the axes the solver computed, and every
// text that shows one says so, since those shares add up to 100 % whatever
// part of the inertia the axes hold.
class InertiaShares
{
public:
    // True when the shares are of the table's total inertia.
    static bool ofTotal(const CAData &data);
    // The eigenvalue of `axis` over the total inertia (or over the sum of the
    // computed eigenvalues); 0 for an axis without one.
    static double share(const CAData &data, int axis);
    // "" when the shares are of the total, otherwise
    // "of the N axes computed", to follow a percentage.
    static QString basis(const CAData &data);
    // "Axis 1 · 6.6 %", or "Axis 1 · 22.3 % of the 10 axes computed".
    static QString axisTitle(const CAData &data, int axis);
    // "6.6 %" (one decimal).
    static QString percent(double share);
};

#endif // INERTIASHARES_H
