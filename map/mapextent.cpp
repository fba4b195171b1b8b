#include "map/mapextent.h"

#include <QLineF>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

namespace {

bool finite(const QPointF &p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// The value below which `q` of the mass lies (values sorted with their mass).
double weightedQuantile(std::vector<std::pair<double, double>> &v, double total, double q)
{
    std::sort(v.begin(), v.end());
    double acc = 0;
    for (const auto &[value, mass] : v) {
        acc += mass;
        if (acc >= q * total)
            return value;
    }
    return v.empty() ? 0 : v.back().first;
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
    const double cx = weightedQuantile(xs, total, 0.5);
    const double cy = weightedQuantile(ys, total, 0.5);
    auto spread = [total](std::vector<std::pair<double, double>> &v) {
        const double s = weightedQuantile(v, total, 0.75) - weightedQuantile(v, total, 0.25);
        if (s > 0)
            return s;
        const double range = v.back().first - v.front().first;
        return range > 0 ? range : 1.0;
    };
    const double sx = spread(xs);
    const double sy = spread(ys);

    std::vector<std::pair<double, std::size_t>> order;
    order.reserve(kept.size());
    for (std::size_t i : kept)
        order.emplace_back(std::hypot((positions[i].x() - cx) / sx, (positions[i].y() - cy) / sy), i);
    std::sort(order.begin(), order.end());
    const double wanted = std::clamp(share, 0.0, 1.0) * total;
    double acc = 0;
    double cut = order.back().first;
    for (const auto &[d, i] : order) {
        acc += masses[i];
        if (acc >= wanted * (1 - 1e-12)) {
            cut = d;
            break;
        }
    }
    std::vector<QPointF> inside;
    for (const auto &[d, i] : order) {
        if (d > cut)
            break;
        inside.push_back(positions[i]);
    }
    return boxOf(inside);
}

std::vector<MapExtent::Stack> MapExtent::stacks(const std::vector<QPointF> &positions, int minimum)
{
    std::vector<QPointF> sorted;
    sorted.reserve(positions.size());
    for (const QPointF &p : positions)
        if (finite(p))
            sorted.push_back(p);
    std::sort(sorted.begin(), sorted.end(), [](const QPointF &a, const QPointF &b) {
        return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
    });
    std::vector<Stack> out;
    for (std::size_t i = 0; i < sorted.size();) {
        std::size_t j = i + 1;
        while (j < sorted.size() && sorted[j].x() == sorted[i].x() && sorted[j].y() == sorted[i].y())
            ++j;
        if (int(j - i) >= std::max(2, minimum))
            out.push_back({sorted[i], int(j - i)});
        i = j;
    }
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
