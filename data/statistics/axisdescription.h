#ifndef AXISDESCRIPTION_H
#define AXISDESCRIPTION_H

#include <QString>

#include <vector>

class CAData;
class CountTable;

// What an axis of an analysis is made of: for each family of points (images,
// words) and each pole of the axis, the points that contribute most to it,
// with their coordinate, contribution (share of the axis's inertia) and
// quality (cos2). The measures are those of the map's threshold and card
// (Contributions). cos2 is of the point's full squared chi-square distance
// to the centroid when the analysed table is at hand, otherwise of its
// distance within the computed axes only; cos2Basis() says which.
class AxisDescription
{
public:
    enum Family { Images = 0, Words = 1 };

    struct Point {
        int family = Images;
        int index = 0;        // row in the result files, from 0
        double coordinate = 0; // stored coordinate on the axis
        double contribution = 0;
        double cos2 = 0;
    };

    // `table`, when given, must be the analysed table of `data` (rows the
    // images, columns the words); one of another shape is ignored.
    explicit AxisDescription(const CAData &data, const CountTable *table = nullptr);

    // Whether cos2 is of the full chi-square distance (from the table).
    bool hasTableDistances() const { return m_table != nullptr; }
    // What cos2 is a share of, for headers: "the point's squared chi-square
    // distance to the centroid" or "its squared distance in the N computed
    // axes".
    QString cos2Basis() const;

    int axisCount() const;
    int count(int family) const;
    // The mean contribution of a point of `family`: 1 / count.
    double meanContribution(int family) const;

    double coordinate(int family, int index, int axis) const;
    double contribution(int family, int index, int axis) const;
    double cos2(int family, int index, int axis) const;

    // The at most `n` points of `family` on the negative (pole < 0) or
    // positive side of `axis`, by decreasing contribution (ties by index).
    // A point at 0 or with an unknown coordinate belongs to neither pole.
    std::vector<Point> top(int family, int axis, int pole, int n) const;

private:
    const CAData &m_data;
    const CountTable *m_table = nullptr;
};

#endif // AXISDESCRIPTION_H
