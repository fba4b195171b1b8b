#include "map/nearestimages.h"

#include "data/cadata.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Up to this many neighbours the nearest images are kept in a small sorted
// array while scanning; beyond it one sort of all distances is cheaper than
// the insertions could become.
constexpr int kBoundedNeighbours = 512;

// A unit-length component u is stored as round(u * kScale) in a byte.
constexpr int kScale = 127;

// Bounds of the copy: beyond them the exact scan alone is used (the copy
// would take more than 64 MB, or the estimate's error bound would let
// nearly every image through; the sums also stay exact in 16 bits only up to
// some 11,000 axes).
constexpr qint64 kMaxValues = qint64(1) << 26;
constexpr int kMaxAxes = 1024;

// A row whose squared length lies outside these bounds is measured exactly
// whatever its estimate: there the exact distance's own products overflow or
// underflow and stop being the cosine the estimate approximates.
constexpr double kTinySquare = 1e-100;
constexpr double kHugeSquare = 1e100;

} // namespace

void NearestImages::reset()
{
    builtFor = nullptr;
    rows.clear();
    irregular.clear();
}

void NearestImages::build(const CAData &data)
{
    builtFor = &data;
    images = data.nbImages;
    axes = data.nbAxis;
    rows.clear();
    irregular.clear();
    if (images <= 0 || axes <= 0 || axes > kMaxAxes || qint64(images) * axes > kMaxValues)
        return;
    const std::size_t groups = std::size_t(images + kLanes - 1) / kLanes;
    const std::size_t stride = std::size_t(axes) * kLanes;
    rows.assign(groups * stride, 0);
    irregular.assign(groups, 0);
    for (int i = 0; i < images; ++i) {
        const double *z = data.Z.get() + qint64(i) * data.zCols;
        const std::size_t group = std::size_t(i) / kLanes;
        const int lane = i % kLanes;
        double square = 0;
        bool finite = true;
        for (int k = 0; k < axes; ++k) {
            square += z[k] * z[k];
            finite = finite && std::isfinite(z[k]);
        }
        if (!finite || !(square >= kTinySquare && square <= kHugeSquare)) {
            irregular[group] |= quint16(1u << lane);
            continue; // its stored row stays zero
        }
        const double factor = kScale / std::sqrt(square);
        qint8 *out = rows.data() + group * stride + std::size_t(lane);
        for (int k = 0; k < axes; ++k) {
            // Any rounding to nearest keeps the error within half a step.
            const double q = std::nearbyint(z[k] * factor);
            out[std::size_t(k) * kLanes] = qint8(std::clamp(q, -double(kScale), double(kScale)));
        }
    }
}

void NearestImages::find(const CAData &data, int focus, int count, std::vector<int> &out)
{
    out.clear();
    best.clear();
    usedEstimates = false;
    if (count <= 0 || focus < 0 || focus >= data.nbImages)
        return;
    if (count < kBoundedNeighbours)
        findBounded(data, focus, count);
    else
        findSorted(data, focus, count);
    out.reserve(best.size());
    for (const Entry &e : best)
        out.push_back(e.second);
}

bool NearestImages::offer(double d, int i, int count)
{
    // Sorted by distance, distinct distances, at most `count` entries.
    // Images come in ascending order, so an equal distance already kept
    // belongs to a lower index and the newcomer is dropped. Once the list is
    // full its largest distance only decreases, so a distance that was
    // pushed out can never come back in through a later equal one.
    if (std::isnan(d))
        return false;
    const std::size_t size = best.size();
    if (size == std::size_t(count) && !(d < best.back().first))
        return false;
    const auto pos = std::lower_bound(best.begin(), best.end(), d,
                                      [](const Entry &e, double v) { return e.first < v; });
    if (pos != best.end() && pos->first == d)
        return false;
    const std::ptrdiff_t at = pos - best.begin();
    if (size == std::size_t(count))
        best.pop_back();
    best.insert(best.begin() + at, Entry(d, i));
    return true;
}

void NearestImages::findBounded(const CAData &data, int focus, int count)
{
    if (builtFor != &data || images != data.nbImages || axes != data.nbAxis)
        build(data);
    best.reserve(std::size_t(count) + 1);
    const int n = data.nbImages;
    const bool focusScaled =
        !rows.empty() && ((irregular[std::size_t(focus) / kLanes] >> (focus % kLanes)) & 1u) == 0;
    if (!focusScaled) {
        for (int i = 0; i < n; ++i)
            offer(data.distance(focus, i), i, count);
        return;
    }
    usedEstimates = true;

    const std::size_t stride = std::size_t(axes) * kLanes;
    focusRow.resize(std::size_t(axes));
    const qint8 *focusStored =
        rows.data() + std::size_t(focus) / kLanes * stride + std::size_t(focus % kLanes);
    for (int k = 0; k < axes; ++k)
        focusRow[std::size_t(k)] = focusStored[std::size_t(k) * kLanes];

    // With q = kScale u + e, |e| <= 1/2 per component (plus far less from
    // the scaling in doubles), and unit rows, whose 1-norm is at most
    // sqrt(axes):
    //   |qf.qi / kScale^2 - uf.ui| <= sqrt(axes) / kScale + axes / (4 kScale^2).
    // The exact distance is -uf.ui to within a few ulps for rows of regular
    // length (or 2 where the dot product is 0, above any estimate). So an
    // image whose estimate exceeds the list's largest distance by more than
    // `slack` cannot enter it.
    // qf.qi is bounded by |qf||qi| <= (kScale + sqrt(axes) / 2)^2 < 2^15:
    // summed in 16 bits, where wrapping partial sums still end exact, it is
    // exact, and sixteen images fit one vector register.
    const double square = double(kScale) * kScale;
    const double slack =
        1.0001 * std::sqrt(double(axes)) / kScale + 0.2501 * axes / square + 1e-9;
    // Images whose scaled dot product reaches `threshold` are measured; the
    // clamp only ever lets more through.
    qint16 threshold = std::numeric_limits<qint16>::min();
    auto tighten = [&] {
        const double t = std::floor(-(best.back().first + slack) * square);
        threshold = qint16(std::clamp(t, double(std::numeric_limits<qint16>::min()),
                                      double(std::numeric_limits<qint16>::max())));
    };

    const int groups = (n + kLanes - 1) / kLanes;
    const qint16 *w = focusRow.data();
    for (int g = 0; g < groups; ++g) {
        // Sixteen images side by side: each axis adds one product to each
        // lane, a loop the compiler turns into vector instructions.
        const qint8 *block = rows.data() + std::size_t(g) * stride;
        qint16 dot[kLanes] = {};
        for (int a = 0; a < axes; ++a) {
            const qint16 wa = w[a];
            const qint8 *column = block + std::size_t(a) * kLanes;
            for (int j = 0; j < kLanes; ++j)
                dot[j] = qint16(dot[j] + wa * column[j]);
        }
        const unsigned exact = irregular[std::size_t(g)];
        int any = 0;
        for (int j = 0; j < kLanes; ++j)
            any |= int(dot[j] >= threshold);
        if (!any && !exact)
            continue;
        const int end = std::min(kLanes, n - g * kLanes);
        for (int j = 0; j < end; ++j) {
            if (dot[j] < threshold && !((exact >> j) & 1u))
                continue;
            const int i = g * kLanes + j;
            if (offer(data.distance(focus, i), i, count) && best.size() == std::size_t(count))
                tighten();
        }
    }
}

void NearestImages::findSorted(const CAData &data, int focus, int count)
{
    const int n = data.nbImages;
    best.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i) {
        const double d = data.distance(focus, i);
        if (!std::isnan(d))
            best.emplace_back(d, i);
    }
    // Pairs order by distance, then index: the first of a run of equal
    // distances is the lowest index, the one to keep.
    std::sort(best.begin(), best.end());
    std::size_t kept = 0;
    for (std::size_t r = 0; r < best.size() && kept < std::size_t(count); ++r) {
        if (kept > 0 && best[r].first == best[kept - 1].first)
            continue;
        best[kept++] = best[r];
    }
    best.resize(kept);
}
