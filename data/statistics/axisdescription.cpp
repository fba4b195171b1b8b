#include "data/statistics/axisdescription.h"

#include "data/model/cadata.h"
#include "data/statistics/contributions.h"
#include "data/formats/counttable.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

AxisDescription::AxisDescription(const CAData &data, const CountTable *table) : m_data(data)
{
    if (table && table->rows() == data.nbImages && table->cols() == data.nbWords)
        m_table = table;
}

QString AxisDescription::cos2Basis() const
{
    if (m_table)
        return QCoreApplication::translate("AxisDescription",
                                           "cos\u00B2: share of the point's squared chi-square distance to the centroid");
    return QCoreApplication::translate("AxisDescription",
                                       "cos\u00B2: share of the point's squared distance within the %1 computed axes "
                                       "(the table is not at hand)")
        .arg(m_data.zCols);
}

int AxisDescription::axisCount() const
{
    return m_data.nbAxis;
}

int AxisDescription::count(int family) const
{
    return family == Images ? m_data.nbImages : m_data.nbWords;
}

double AxisDescription::meanContribution(int family) const
{
    const int n = count(family);
    return n > 0 ? 1.0 / n : 0.0;
}

double AxisDescription::coordinate(int family, int index, int axis) const
{
    return family == Images ? m_data.Z[std::size_t(index) * std::size_t(m_data.zCols) + std::size_t(axis)]
                            : m_data.W[std::size_t(index) * std::size_t(m_data.wCols) + std::size_t(axis)];
}

double AxisDescription::contribution(int family, int index, int axis) const
{
    const double mass = family == Images ? m_data.P[std::size_t(index)] : m_data.Q[std::size_t(index)];
    return Contributions::contribution(mass, coordinate(family, index, axis), m_data.lambda[std::size_t(axis)]);
}

double AxisDescription::cos2(int family, int index, int axis) const
{
    if (m_table)
        return Contributions::quality(coordinate(family, index, axis),
                                      family == Images ? m_table->rowDistance2(index) : m_table->colDistance2(index));
    const double *row = family == Images ? &m_data.Z[std::size_t(index) * std::size_t(m_data.zCols)]
                                         : &m_data.W[std::size_t(index) * std::size_t(m_data.wCols)];
    return Contributions::quality(row, family == Images ? m_data.zCols : m_data.wCols, axis);
}

std::vector<AxisDescription::Point> AxisDescription::top(int family, int axis, int pole, int n) const
{
    std::vector<Point> all;
    const int points = count(family);
    for (int i = 0; i < points; ++i) {
        const double c = coordinate(family, i, axis);
        if (!(pole < 0 ? c < 0 : c > 0))
            continue;
        Point p;
        p.family = family;
        p.index = i;
        p.coordinate = c;
        p.contribution = Contributions::shown(contribution(family, i, axis));
        all.push_back(p);
    }
    const std::size_t keep = std::min(all.size(), std::size_t(std::max(0, n)));
    std::partial_sort(all.begin(), all.begin() + std::ptrdiff_t(keep), all.end(), [](const Point &a, const Point &b) {
        return a.contribution != b.contribution ? a.contribution > b.contribution : a.index < b.index;
    });
    all.resize(keep);
    for (Point &p : all)
        p.cos2 = cos2(family, p.index, axis);
    return all;
}
