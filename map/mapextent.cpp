#include "map/mapextent.h"

#include <QLineF>

#include <algorithm>
#include <array>
#include <cstring>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

namespace {

bool finite(const QPointF &p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// The value below which a mass of `target` lies: in the order of the values
// (ties by mass), the first whose running sum of masses reaches `target`, or
// the largest value when rounding keeps the sum below it. Found by
// selection rather than a sort: the part of the order that holds the answer
// is halved at each step, so a million points cost a few passes.
double weightedQuantile(std::vector<std::pair<double, double>> &v, double target)
{
    if (v.empty())
        return 0;
    // Masses are above 0: the first value's own mass reaches a target of 0.
    if (!(target > 0))
        return std::min_element(v.begin(), v.end())->first;
    auto lo = v.begin(), hi = v.end();
    double before = 0; // the mass of the values ordered before lo
    while (lo < hi) {
        const auto mid = lo + (hi - lo) / 2;
        std::nth_element(lo, mid, hi);
        double left = 0;
        for (auto it = lo; it < mid; ++it)
            left += it->second;
        if (before + left >= target) {
            hi = mid;
        } else if (before + left + mid->second >= target) {
            return mid->first;
        } else {
            before += left + mid->second;
            lo = mid + 1;
        }
    }
    return std::max_element(v.begin(), v.end())->first;
}

QRectF boxOf(const std::vector<QPointF> &points)
{
    if (points.empty())
        return QRectF();
    double x0 = points.front().x(), x1 = x0, y0 = points.front().y(), y1 = y0;
    for (const QPointF &p : points) {
        x0 = std::min(x0, p.x());
        x1 = std::max(x1, p.x());
        y0 = std::min(y0, p.y());
        y1 = std::max(y1, p.y());
    }
    // A box of zero width is still a place (QRectF would call it null).
    return QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

} // namespace

QRectF MapExtent::bounds(const std::vector<QPointF> &positions)
{
    std::vector<QPointF> kept;
    kept.reserve(positions.size());
    for (const QPointF &p : positions)
        if (finite(p))
            kept.push_back(p);
    return boxOf(kept);
}

QRectF MapExtent::bulk(const std::vector<QPointF> &positions, const std::vector<double> &masses,
                       double share)
{
    std::vector<std::size_t> kept;
    double total = 0;
    for (std::size_t i = 0; i < positions.size() && i < masses.size(); ++i) {
        if (finite(positions[i]) && masses[i] > 0 && std::isfinite(masses[i])) {
            kept.push_back(i);
            total += masses[i];
        }
    }
    if (kept.empty())
        return QRectF();

    // Centre and spread per axis from the mass itself, so the far points
    // being placed anywhere moves neither.
    std::vector<std::pair<double, double>> xs, ys;
    xs.reserve(kept.size());
    ys.reserve(kept.size());
    for (std::size_t i : kept) {
        xs.emplace_back(positions[i].x(), masses[i]);
        ys.emplace_back(positions[i].y(), masses[i]);
    }
    const double cx = weightedQuantile(xs, 0.5 * total);
    const double cy = weightedQuantile(ys, 0.5 * total);
    auto spread = [total](std::vector<std::pair<double, double>> &v) {
        const double s = weightedQuantile(v, 0.75 * total) - weightedQuantile(v, 0.25 * total);
        if (s > 0)
            return s;
        const auto [low, high] = std::minmax_element(v.begin(), v.end());
        const double range = high->first - low->first;
        return range > 0 ? range : 1.0;
    };
    const double sx = spread(xs);
    const double sy = spread(ys);

    // Nearest first around the centre until the share of the mass is
    // reached: the distance where that happens is the cut, and every point
    // within it is in the bulk.
    std::vector<std::pair<double, double>> order;
    order.reserve(kept.size());
    for (std::size_t i : kept)
        order.emplace_back(std::hypot((positions[i].x() - cx) / sx, (positions[i].y() - cy) / sy),
                           masses[i]);
    const double wanted = std::clamp(share, 0.0, 1.0) * total;
    const double cut = weightedQuantile(order, wanted * (1 - 1e-12));
    std::vector<QPointF> inside;
    for (std::size_t i : kept)
        if (std::hypot((positions[i].x() - cx) / sx, (positions[i].y() - cy) / sy) <= cut)
            inside.push_back(positions[i]);
    return boxOf(inside);
}

std::vector<MapExtent::Stack> MapExtent::stacks(const std::vector<QPointF> &positions, int minimum)
{
    // Identical positions counted in a hash table (open addressing, each
    // slot the first point seen at its position): one pass over the points
    // instead of sorting them all, since the map asks again after each
    // rebuild of its points.
    auto bits = [](double v) {
        v += 0.0; // -0 and +0 are one position
        quint64 b;
        std::memcpy(&b, &v, sizeof b);
        return b;
    };
    auto mix = [](quint64 z) {
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    };
    std::size_t capacity = 16;
    while (capacity < 2 * positions.size())
        capacity *= 2;
    std::vector<int> table(capacity, -1);
    std::vector<int> count(positions.size(), 0);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const QPointF &p = positions[i];
        if (!finite(p))
            continue;
        std::size_t h = std::size_t(mix(bits(p.x()) ^ mix(bits(p.y()) + 0x9e3779b97f4a7c15ULL)));
        for (;; ++h) {
            int &slot = table[h & (capacity - 1)];
            if (slot < 0) {
                slot = int(i);
                count[i] = 1;
                break;
            }
            const QPointF &q = positions[std::size_t(slot)];
            if (q.x() == p.x() && q.y() == p.y()) {
                ++count[std::size_t(slot)];
                break;
            }
        }
    }
    std::vector<Stack> out;
    for (std::size_t i = 0; i < positions.size(); ++i)
        if (count[i] >= std::max(2, minimum))
            out.push_back({positions[i], count[i]});
    std::sort(out.begin(), out.end(), [](const Stack &a, const Stack &b) {
        return a.position.x() < b.position.x() ||
               (a.position.x() == b.position.x() && a.position.y() < b.position.y());
    });
    return out;
}

std::vector<MapExtent::Marker> MapExtent::markers(const std::vector<Off> &off, const QRect &window, int inset)
{
    std::array<Marker, 8> groups;
    std::array<QPointF, 8> sum{};
    std::array<std::vector<QPointF>, 8> maps;
    const QPointF centre = QRectF(window).center();
    for (const Off &o : off) {
        const QPointF d = o.widget - centre;
        if (!finite(d) || (d.x() == 0 && d.y() == 0))
            continue;
        // Screen y points down: north is a negative y.
        double angle = std::atan2(-d.y(), d.x());
        if (angle < 0)
            angle += 2 * M_PI;
        const int k = int(std::lround(angle / (M_PI / 4))) % 8;
        const double len = std::hypot(d.x(), d.y());
        sum[std::size_t(k)] += d / len;
        groups[std::size_t(k)].counts[std::clamp(o.family, 0, 1)]++;
        maps[std::size_t(k)].push_back(o.map);
    }
    std::vector<Marker> out;
    const QRectF inner = QRectF(window).adjusted(inset, inset, -inset, -inset);
    for (int k = 0; k < 8; ++k) {
        Marker m = groups[std::size_t(k)];
        if (m.total() == 0)
            continue;
        m.direction = k;
        QPointF u = sum[std::size_t(k)];
        const double len = std::hypot(u.x(), u.y());
        u = len > 0 ? u / len : QPointF(std::cos(k * M_PI / 4), -std::sin(k * M_PI / 4));
        m.pointing = u;
        // Where the ray from the centre along u leaves the inner rectangle.
        double t = std::numeric_limits<double>::infinity();
        if (u.x() > 1e-12)
            t = std::min(t, (inner.right() - centre.x()) / u.x());
        if (u.x() < -1e-12)
            t = std::min(t, (inner.left() - centre.x()) / u.x());
        if (u.y() > 1e-12)
            t = std::min(t, (inner.bottom() - centre.y()) / u.y());
        if (u.y() < -1e-12)
            t = std::min(t, (inner.top() - centre.y()) / u.y());
        if (!std::isfinite(t) || t < 0)
            t = 0;
        m.anchor = centre + u * t;
        m.mapBox = boxOf(maps[std::size_t(k)]);
        out.push_back(m);
    }
    return out;
}
