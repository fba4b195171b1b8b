#ifndef CONTRIBUTIONS_H
#define CONTRIBUTIONS_H

// The two per-axis measures of a point of a correspondence analysis, with
// one rule for the cases the formulas leave open, used by the map's
// threshold, its card, the point table and any description of the axes:
//
//   contribution of a point of mass m and coordinate c to an axis of
//   eigenvalue l:   m * c^2 / l
//   quality (cos2) of a point on axis a:   c_a^2 / sum over the axes b of c_b^2
//
// An axis without inertia (l = 0, negative or not a number) cannot be
// contributed to: 0. A coordinate that is not a number gives a contribution
// that is not a number either, so that a threshold written as "below t on
// both axes" keeps such a point (nothing says it is small); charts and
// tables show it as 0 (shown()).
class Contributions
{
public:
    static double contribution(double mass, double coord, double lambda)
    {
        return lambda > 0 ? mass * coord * coord / lambda : 0.0;
    }

    // The quality of `coords[axis]` among the first `axes` coordinates. NaN
    // coordinates carry no information and count as 0; a point at the
    // origin (or with an infinite coordinate) has no direction: 0.
    static double quality(const double *coords, int axes, int axis);
    // The quality of a coordinate against a point's squared distance to the
    // centroid given from elsewhere (the table's chi-square distance, which
    // counts the axes not computed too). The same rules: 0 when the distance
    // is 0, infinite or not a number, or the coordinate is not a number.
    static double quality(double coord, double squaredDistance);
    // The sum of the squared coordinates the qualities share, NaN left out.
    static double squaredDistance(const double *coords, int axes);

    // Whether a point is drawn under threshold t: unless its contribution is
    // below t on both shown axes (NaN counts as reaching t).
    static bool reaches(double t, double contribution1, double contribution2)
    {
        return !(t > contribution1 && t > contribution2);
    }

    // A value as charts and tables show it: NaN as 0.
    static double shown(double v) { return v != v ? 0.0 : v; }
};

#endif // CONTRIBUTIONS_H
