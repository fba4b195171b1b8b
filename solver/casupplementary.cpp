#include "solver/casupplementary.h"

#include "solver/casolution.h"
#include "solver/contingencytable.h"

#include <algorithm>
#include <cmath>

bool CASupplementary::read(const std::string &path, int cols)
{
    ContingencyTable t;
    if (!t.read(path)) {
        m_error = t.error();
        return false;
    }
    return setRows(t.takeCounts(), cols);
}

bool CASupplementary::setRows(SparseRows rows, int cols)
{
    m_error.clear();
    if (rows.cols() != cols) {
        m_error = "the supplementary rows have " + std::to_string(rows.cols()) + " columns where the table has "
                  + std::to_string(cols);
        return false;
    }
    const int *outer = rows.outer();
    for (int r = 0; r < rows.rows(); ++r)
        if (outer[r + 1] == outer[r]) {
            m_error = "supplementary row " + std::to_string(r + 1)
                      + " has no non-zero cell, so it has no profile to place";
            return false;
        }
    m_rows = std::move(rows);
    return true;
}

void CASupplementary::place(CASolution &s) const
{
    const int n = m_rows.rows(), axes = s.axes;
    s.supRows = n;
    s.ZSup.assign(std::size_t(n) * std::size_t(axes), 0.0);
    std::vector<double> scale(static_cast<std::size_t>(axes));
    for (int a = 0; a < axes; ++a)
        scale[a] = 1.0 / std::sqrt(s.lambda[a]);
    const int *outer = m_rows.outer();
    const int *inner = m_rows.inner();
    for (int r = 0; r < n; ++r) {
        // The profile of counts taken relative to the row's largest, so
        // that no sum of huge counts overflows.
        double largest = 0, total = 0;
        for (int p = outer[r]; p < outer[r + 1]; ++p)
            largest = std::max(largest, m_rows.value(std::size_t(p)));
        for (int p = outer[r]; p < outer[r + 1]; ++p)
            total += m_rows.value(std::size_t(p)) / largest;
        double *out = s.ZSup.data() + std::size_t(r) * axes;
        for (int p = outer[r]; p < outer[r + 1]; ++p) {
            const double profile = m_rows.value(std::size_t(p)) / largest / total;
            const double *g = s.W.data() + std::size_t(inner[p]) * axes;
            for (int a = 0; a < axes; ++a)
                out[a] += profile * g[a];
        }
        for (int a = 0; a < axes; ++a)
            out[a] *= scale[a];
    }
}
