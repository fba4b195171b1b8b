#include "map/categoryagreement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace {

// The value below which a share `q` of the finite values lie.
double quantile(std::vector<double> v, double q)
{
    const size_t at = std::min(v.size() - 1, size_t(q * double(v.size() - 1)));
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(at), v.end());
    return v[at];
}

} // namespace

CategoryAgreement::CategoryAgreement(const std::vector<double> &x, const std::vector<double> &y,
                                     const std::vector<int> &category)
    : m_category(category)
{
    const int n = int(std::min({x.size(), y.size(), category.size()}));
    m_category.resize(size_t(n));
    std::vector<double> px, py;
    std::vector<int> placed;
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(x[size_t(i)]) || !std::isfinite(y[size_t(i)]))
            continue;
        placed.push_back(i);
        px.push_back(x[size_t(i)]);
        py.push_back(y[size_t(i)]);
        if (m_category[size_t(i)] >= 0) {
            if (size_t(m_category[size_t(i)]) >= m_count.size())
                m_count.resize(size_t(m_category[size_t(i)]) + 1, 0);
            ++m_count[size_t(m_category[size_t(i)])];
        }
    }
    m_placed = int(placed.size());
    if (m_placed == 0)
        return;
    // The grid covers where nearly all images lie, so that a few far
    // outliers do not leave the cloud in a handful of crowded cells; images
    // beyond it go to its edge cells, which keeps every distance bound of
    // the search true. About two images a cell.
    m_x0 = quantile(px, 0.005);
    m_y0 = quantile(py, 0.005);
    const double w = quantile(px, 0.995) - m_x0, h = quantile(py, 0.995) - m_y0;
    const double area = w * h;
    m_cell = area > 0 ? std::sqrt(2.0 * area / m_placed) : std::max(w, h) / std::max(1.0, m_placed / 2.0);
    if (!(m_cell > 0) || !std::isfinite(m_cell))
        m_cell = 1;
    auto fit = [&] {
        m_columns = int(std::min(w / m_cell + 1, double(1 << 15)));
        m_rows = int(std::min(h / m_cell + 1, double(1 << 15)));
    };
    fit();
    while (double(m_columns) * m_rows > 4.0 * m_placed + 16) { // a thin strip: wider cells
        m_cell *= 2;
        fit();
    }
    // Images cell after cell (counted into place, in number order); then
    // within each cell by position, so that images on one point make one
    // run, still in number order.
    std::vector<int> cellOfPlaced(static_cast<size_t>(m_placed));
    m_start.assign(size_t(m_columns) * size_t(m_rows) + 1, 0);
    for (int p = 0; p < m_placed; ++p) {
        const int c = cellOf(py[size_t(p)], m_y0, m_rows) * m_columns + cellOf(px[size_t(p)], m_x0, m_columns);
        cellOfPlaced[size_t(p)] = c;
        ++m_start[size_t(c) + 1];
    }
    for (size_t c = 1; c < m_start.size(); ++c)
        m_start[c] += m_start[c - 1];
    std::vector<int> order(static_cast<size_t>(m_placed));
    {
        std::vector<int> fill(m_start.begin(), m_start.end() - 1);
        for (int p = 0; p < m_placed; ++p)
            order[size_t(fill[size_t(cellOfPlaced[size_t(p)])]++)] = p;
    }
    for (size_t c = 0; c + 1 < m_start.size(); ++c)
        if (m_start[c + 1] - m_start[c] > 1)
            std::sort(order.begin() + m_start[c], order.begin() + m_start[c + 1], [&](int a, int b) {
                if (px[size_t(a)] != px[size_t(b)])
                    return px[size_t(a)] < px[size_t(b)];
                if (py[size_t(a)] != py[size_t(b)])
                    return py[size_t(a)] < py[size_t(b)];
                return a < b; // placed in number order, so number order
            });
    m_x.resize(size_t(m_placed));
    m_y.resize(size_t(m_placed));
    m_image.resize(size_t(m_placed));
    m_runEnd.resize(size_t(m_placed));
    for (int m = 0; m < m_placed; ++m) {
        const int p = order[size_t(m)];
        m_x[size_t(m)] = px[size_t(p)];
        m_y[size_t(m)] = py[size_t(p)];
        m_image[size_t(m)] = placed[size_t(p)];
    }
    for (int m = m_placed - 1; m >= 0; --m) {
        const bool sameAsNext = m + 1 < m_placed && m_x[size_t(m + 1)] == m_x[size_t(m)]
                                && m_y[size_t(m + 1)] == m_y[size_t(m)];
        m_runEnd[size_t(m)] = sameAsNext ? m_runEnd[size_t(m + 1)] : m + 1;
    }
    m_slot.assign(size_t(n), -1);
    for (int m = 0; m < m_placed; ++m)
        m_slot[size_t(m_image[size_t(m)])] = m;
}

int CategoryAgreement::cellOf(double v, double low, int cells) const
{
    const double c = std::floor((v - low) / m_cell);
    return c <= 0 ? 0 : c >= cells - 1 ? cells - 1 : int(c);
}

std::vector<int> CategoryAgreement::spreadOrder(int n)
{
    // Bit-reversed counting over the next power of two, leaving out what
    // falls beyond n: every number below n once, gaps halving each pass.
    int bits = 0;
    while ((1 << bits) < n)
        ++bits;
    std::vector<int> order;
    order.reserve(size_t(n));
    for (int v = 0; v < (1 << bits); ++v) {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            if (v & (1 << b))
                r |= 1 << (bits - 1 - b);
        if (r < n)
            order.push_back(r);
    }
    return order;
}

long long CategoryAgreement::nearest(int i, int k, std::vector<int> &out) const
{
    out.clear();
    long long looked = 0;
    const int self = m_slot[size_t(i)];
    const double px = m_x[size_t(self)], py = m_y[size_t(self)];
    const int cx = cellOf(px, m_x0, m_columns), cy = cellOf(py, m_y0, m_rows);
    // Best k so far as (squared distance, image), kept sorted.
    std::vector<std::pair<double, int>> best;
    best.reserve(size_t(k) + 1);
    auto full = [&] { return int(best.size()) == k; };
    // One run of images on one point: a single distance; its members come
    // in number order, so the first that cannot enter ends the run.
    auto run = [&](int m, int end) {
        const double dx = m_x[size_t(m)] - px, dy = m_y[size_t(m)] - py;
        const double d = dx * dx + dy * dy;
        ++looked;
        if (full() && d > best.back().first)
            return;
        for (; m < end; ++m) {
            const int j = m_image[size_t(m)];
            if (j == i)
                continue;
            const std::pair<double, int> e(d, j);
            if (full() && !(e < best.back()))
                return;
            best.insert(std::upper_bound(best.begin(), best.end(), e), e);
            if (int(best.size()) > k)
                best.pop_back();
        }
    };
    const int reach = std::max(m_columns, m_rows);
    for (int ring = 0; ring <= reach; ++ring) {
        // Every image of a cell `ring` cells away is more than (ring - 1)
        // cells' width from the point.
        if (full() && ring > 1) {
            const double gap = (ring - 1) * m_cell;
            if (gap * gap > best.back().first)
                break;
        }
        if (full() && best.back().first == 0)
            break; // k images on the point itself: none can come before them
        for (int gy = cy - ring; gy <= cy + ring; ++gy) {
            if (gy < 0 || gy >= m_rows)
                continue;
            const bool edgeRow = gy == cy - ring || gy == cy + ring;
            for (int gx = cx - ring; gx <= cx + ring; gx += edgeRow ? 1 : 2 * std::max(ring, 1)) {
                if (gx < 0 || gx >= m_columns)
                    continue;
                const int c = gy * m_columns + gx;
                for (int m = m_start[size_t(c)]; m < m_start[size_t(c) + 1];) {
                    const int end = m_runEnd[size_t(m)];
                    run(m, end);
                    m = end;
                }
            }
        }
    }
    for (const auto &b : best)
        out.push_back(b.second);
    return looked;
}

CategoryAgreement::Share CategoryAgreement::of(int category, int k, int maxMeasured) const
{
    Share s;
    if (category < 0 || size_t(category) >= m_count.size() || k < 1 || m_placed < 2)
        return s;
    s.images = m_count[size_t(category)];
    s.chance = double(s.images - 1) / double(m_placed - 1);
    std::vector<int> members;
    members.reserve(size_t(s.images));
    for (int i = 0; i < int(m_category.size()); ++i)
        if (m_category[size_t(i)] == category && m_slot[size_t(i)] >= 0)
            members.push_back(i);
    const int measured = std::min<int>(int(members.size()), std::max(1, maxMeasured));
    std::vector<int> near;
    double total = 0;
    long long looked = 0;
    // The images measured are spread through the category's list, in an
    // order that halves the gaps each pass (0, n/2, n/4, 3n/4, ...), so that
    // where the work budget stops the measure, those measured still spread
    // over the whole category.
    for (int q : spreadOrder(measured)) {
        if (looked >= kWorkBudget)
            break;
        const int i = members[size_t(int64_t(q) * int64_t(members.size()) / measured)];
        looked += nearest(i, k, near);
        if (near.empty())
            continue;
        int alike = 0;
        for (int j : near)
            alike += m_category[size_t(j)] == category;
        total += double(alike) / double(near.size());
        ++s.measured;
    }
    s.alike = s.measured > 0 ? total / s.measured : 0;
    return s;
}
