#include "map/directiontree.h"

#include "data/model/cadata.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// Bounds of the copy: beyond them the search measures every image exactly
// (the copy would take more than 64 MB, or the estimate's error bound would
// let nearly every image through; the sums also stay exact in 16 bits only
// up to some 11,000 axes).
constexpr qint64 kMaxValues = qint64(1) << 26;
constexpr int kMaxAxes = 1024;

// Beyond this many axes boxes no longer keep images apart (every box reaches
// nearly every direction): the tree is one leaf, scanned whole.
constexpr int kTreeAxes = 32;
// A leaf is split while it holds more images than this. Scanning a group
// costs less than bounding a node and fetching it, so leaves are large: at a
// million images, leaves of 256 scan twice the images of leaves of 64 and
// take half the time.
constexpr int kLeafImages = 256;
// Bits of the ordering key: a million images need about twenty to reach
// leaves; beyond these, images differing only further down share a leaf.
constexpr int kKeyBits = 48;

// A row whose squared length lies outside these bounds cannot be scaled:
// there the exact distance's own products overflow or underflow and stop
// being the cosine the estimates approximate.
constexpr double kTinySquare = 1e-100;
constexpr double kHugeSquare = 1e100;

// Sorts by key, equal keys in their order (the images', ascending): a
// radix sort, some ten times quicker than comparisons at a million keys.
void sortByKey(std::vector<std::pair<quint64, int>> &v, int keyBits)
{
    constexpr int kDigit = 11;
    constexpr quint64 kMask = (quint64(1) << kDigit) - 1;
    std::vector<std::pair<quint64, int>> spare(v.size());
    std::vector<std::size_t> start(std::size_t(kMask) + 1);
    for (int shift = 0; shift < keyBits && !v.empty(); shift += kDigit) {
        std::fill(start.begin(), start.end(), 0);
        for (const auto &e : v)
            ++start[std::size_t((e.first >> shift) & kMask)];
        // A digit every key shares moves nothing.
        if (start[std::size_t((v.front().first >> shift) & kMask)] == v.size())
            continue;
        std::size_t sum = 0;
        for (std::size_t &s : start) {
            const std::size_t c = s;
            s = sum;
            sum += c;
        }
        for (const auto &e : v)
            spare[start[std::size_t((e.first >> shift) & kMask)]++] = e;
        v.swap(spare);
    }
}

} // namespace

double DirectionTree::inverseLength(const double *z, int axes)
{
    double square = 0;
    bool finite = true;
    for (int k = 0; k < axes; ++k) {
        square += z[k] * z[k];
        finite = finite && std::isfinite(z[k]);
    }
    if (!finite || !(square >= kTinySquare && square <= kHugeSquare))
        return 0;
    return 1.0 / std::sqrt(square);
}

bool DirectionTree::unitRow(const double *z, int axes, double *unit)
{
    const double inverse = inverseLength(z, axes);
    if (inverse == 0)
        return false;
    for (int k = 0; k < axes; ++k)
        unit[k] = z[k] * inverse;
    return true;
}

void DirectionTree::quantise(const double *unit, int axes, qint8 *out, std::size_t step)
{
    for (int k = 0; k < axes; ++k) {
        // Any rounding to nearest keeps the error within half a step; this
        // one (halves away from zero) needs no call into the maths library.
        const double x = std::clamp(unit[k] * kScale, -double(kScale), double(kScale));
        out[std::size_t(k) * step] = qint8(x >= 0 ? int(x + 0.5) : -int(0.5 - x));
    }
}

void DirectionTree::clear()
{
    m_builtFor = nullptr;
    m_imagesCount = 0;
    m_axes = 0;
    m_nodes.clear();
    m_boxes.clear();
    m_rows.clear();
    m_images.clear();
    m_irregular.clear();
}

bool DirectionTree::isBuiltFor(const CAData &data) const
{
    return m_builtFor == &data && m_imagesCount == data.nbImages && m_axes == data.nbAxis;
}

void DirectionTree::build(const CAData &data)
{
    clear();
    m_builtFor = &data;
    m_imagesCount = data.nbImages;
    m_axes = data.nbAxis;
    const int n = data.nbImages;
    const int axes = data.nbAxis;
    if (n <= 0 || axes <= 0 || axes > kMaxAxes || qint64(n) * axes > kMaxValues)
        return;
    auto rowOf = [&data](int i) { return data.Z.get() + qint64(i) * data.zCols; };

    // Every pass reads the rows in image order (a million rows do not fit
    // in any cache): first each row's inverse length, 0 for a row that
    // cannot be scaled, and the range of each unit component.
    std::vector<double> inverse(std::size_t(n), 0.0);
    std::vector<double> low(std::size_t(axes), std::numeric_limits<double>::infinity());
    std::vector<double> high(std::size_t(axes), -std::numeric_limits<double>::infinity());
    std::size_t regular = 0;
    for (int i = 0; i < n; ++i) {
        const double *z = rowOf(i);
        const double v = inverseLength(z, axes);
        inverse[std::size_t(i)] = v;
        if (v == 0) {
            m_irregular.push_back(i);
            continue;
        }
        ++regular;
        for (int k = 0; k < axes; ++k) {
            low[std::size_t(k)] = std::min(low[std::size_t(k)], z[k] * v);
            high[std::size_t(k)] = std::max(high[std::size_t(k)], z[k] * v);
        }
    }

    // Which axis each key bit halves, most significant first: always the
    // axis whose cells are widest, so that cells stay roughly square.
    std::vector<int> bits(std::size_t(axes), 0);
    std::vector<std::pair<int, int>> take; // per key bit: axis, bit of its cell number
    if (axes <= kTreeAxes && regular > 0) {
        std::vector<int> schedule;
        for (int b = 0; b < kKeyBits; ++b) {
            int widest = -1;
            double width = 0;
            for (int k = 0; k < axes; ++k) {
                const double w = std::ldexp(high[std::size_t(k)] - low[std::size_t(k)], -bits[std::size_t(k)]);
                if (w > width) {
                    width = w;
                    widest = k;
                }
            }
            if (widest < 0)
                break;
            schedule.push_back(widest);
            ++bits[std::size_t(widest)];
        }
        std::vector<int> used(std::size_t(axes), 0);
        for (const int k : schedule)
            take.emplace_back(k, bits[std::size_t(k)] - 1 - used[std::size_t(k)]++);
    }
    const int keyBits = int(take.size());
    std::vector<double> cellsPerUnit(std::size_t(axes), 0.0);
    std::vector<double> lastCell(std::size_t(axes), 0.0);
    for (int k = 0; k < axes; ++k) {
        if (bits[std::size_t(k)] == 0)
            continue;
        const double cells = std::ldexp(1.0, bits[std::size_t(k)]);
        cellsPerUnit[std::size_t(k)] = cells / (high[std::size_t(k)] - low[std::size_t(k)]);
        lastCell[std::size_t(k)] = cells - 1;
    }

    // The ordering key of each regular image: its cell number on each axis,
    // the bits interleaved in the order above.
    std::vector<std::pair<quint64, int>> keyed;
    keyed.reserve(regular);
    std::vector<quint64> cell(std::size_t(axes), 0);
    for (int i = 0; i < n; ++i) {
        const double v = inverse[std::size_t(i)];
        if (v == 0)
            continue;
        quint64 key = 0;
        if (keyBits > 0) {
            const double *z = rowOf(i);
            for (int k = 0; k < axes; ++k) {
                const int b = bits[std::size_t(k)];
                if (b == 0)
                    continue;
                // Truncation is the floor here: the clamp leaves no negative.
                const double c = (z[k] * v - low[std::size_t(k)]) * cellsPerUnit[std::size_t(k)];
                cell[std::size_t(k)] = quint64(std::clamp(c, 0.0, lastCell[std::size_t(k)]));
            }
            for (const auto &[k, b] : take)
                key = (key << 1) | ((cell[std::size_t(k)] >> b) & 1u);
        }
        keyed.emplace_back(key, i);
    }
    if (keyBits > 0)
        sortByKey(keyed, keyBits);

    std::vector<quint64> keys(keyed.size());
    m_order.resize(keyed.size());
    for (std::size_t k = 0; k < keyed.size(); ++k) {
        keys[k] = keyed[k].first;
        m_order[k] = keyed[k].second;
    }
    keyed.clear();
    keyed.shrink_to_fit();

    m_groupsSoFar = 0;
    if (!m_order.empty())
        addNode(keys, 0, int(m_order.size()), keyBits - 1);
    keys.clear();
    keys.shrink_to_fit();

    // Where each image goes: the leaves lie in key order, each image in the
    // next lane of its leaf's groups (the lanes after a leaf's last image
    // stay empty).
    const std::size_t groups = std::size_t(m_groupsSoFar);
    std::vector<int> slotOf(std::size_t(n), -1);
    std::vector<int> leafOf(groups, -1);
    for (std::size_t id = 0; id < m_nodes.size(); ++id) {
        const Node &node = m_nodes[id];
        if (node.left >= 0)
            continue;
        const auto [begin, end] = m_ranges[id];
        for (int k = begin; k < end; ++k)
            slotOf[std::size_t(m_order[std::size_t(k)])] = node.firstGroup * kLanes + (k - begin);
        std::fill(leafOf.begin() + node.firstGroup, leafOf.begin() + node.endGroup, int(id));
    }
    m_order.clear();
    m_order.shrink_to_fit();

    // The copies and the leaves' boxes, again in image order.
    m_rows.assign(groups * std::size_t(axes) * kLanes, 0);
    m_images.assign(groups * kLanes, -1);
    m_boxes.assign(m_nodes.size() * 2 * std::size_t(axes), 0.0);
    for (std::size_t id = 0; id < m_nodes.size(); ++id) {
        double *lo = m_boxes.data() + id * 2 * std::size_t(axes);
        std::fill(lo, lo + axes, std::numeric_limits<double>::infinity());
        std::fill(lo + axes, lo + 2 * axes, -std::numeric_limits<double>::infinity());
    }
    std::vector<double> unit(std::size_t(axes), 0.0);
    for (int i = 0; i < n; ++i) {
        const int slot = slotOf[std::size_t(i)];
        if (slot < 0)
            continue;
        const double *z = rowOf(i);
        const double v = inverse[std::size_t(i)];
        for (int k = 0; k < axes; ++k)
            unit[std::size_t(k)] = z[k] * v;
        const std::size_t g = std::size_t(slot) / kLanes;
        quantise(unit.data(), axes, m_rows.data() + g * std::size_t(axes) * kLanes + std::size_t(slot) % kLanes,
                 kLanes);
        m_images[std::size_t(slot)] = i;
        double *lo = m_boxes.data() + std::size_t(leafOf[g]) * 2 * std::size_t(axes);
        double *hi = lo + axes;
        for (int k = 0; k < axes; ++k) {
            lo[k] = std::min(lo[k], unit[std::size_t(k)]);
            hi[k] = std::max(hi[k], unit[std::size_t(k)]);
        }
    }
    // Parents come before their children: the boxes gather bottom-up.
    for (std::size_t id = m_nodes.size(); id-- > 0;) {
        const Node &node = m_nodes[id];
        if (node.left < 0)
            continue;
        double *lo = m_boxes.data() + id * 2 * std::size_t(axes);
        double *hi = lo + axes;
        const double *a = m_boxes.data() + std::size_t(node.left) * 2 * std::size_t(axes);
        const double *b = m_boxes.data() + std::size_t(node.right) * 2 * std::size_t(axes);
        for (int k = 0; k < axes; ++k) {
            lo[k] = std::min(a[k], b[k]);
            hi[k] = std::max(a[axes + k], b[axes + k]);
        }
    }
    m_order.clear();
    m_order.shrink_to_fit();
    m_ranges.clear();
    m_ranges.shrink_to_fit();
}

int DirectionTree::addNode(const std::vector<quint64> &keys, int begin, int end, int bit)
{
    // The keys of [begin, end) share every bit above `bit`; the first bit
    // on which they differ is where the cell is halved.
    int split = begin;
    while (bit >= 0 && end - begin > kLeafImages) {
        const quint64 mask = quint64(1) << bit;
        split = int(std::partition_point(keys.begin() + begin, keys.begin() + end,
                                         [mask](quint64 k) { return (k & mask) == 0; }) -
                    keys.begin());
        if (split != begin && split != end)
            break;
        --bit;
    }
    const int id = int(m_nodes.size());
    m_nodes.emplace_back();
    m_ranges.emplace_back(begin, end);
    if (bit < 0 || end - begin <= kLeafImages) {
        m_nodes[std::size_t(id)].firstGroup = m_groupsSoFar;
        m_groupsSoFar += (end - begin + kLanes - 1) / kLanes;
        m_nodes[std::size_t(id)].endGroup = m_groupsSoFar;
        return id;
    }
    const int left = addNode(keys, begin, split, bit - 1);
    const int right = addNode(keys, split, end, bit - 1);
    Node &node = m_nodes[std::size_t(id)];
    node.left = left;
    node.right = right;
    node.firstGroup = m_nodes[std::size_t(left)].firstGroup;
    node.endGroup = m_nodes[std::size_t(right)].endGroup;
    return id;
}

double DirectionTree::cosineBound(int node, const double *f) const
{
    const double *lo = m_boxes.data() + std::size_t(node) * 2 * std::size_t(m_axes);
    const double *hi = lo + m_axes;
    // Two bounds of f.u over the unit rows u in the box: the linear one,
    // and 1 - d^2 / 2 with d the distance from f to the box (for unit rows
    // f.u = 1 - |f - u|^2 / 2). The second is the tighter far from f.
    double gaps = 0, linear = 0;
    for (int k = 0; k < m_axes; ++k) {
        const double x = f[k];
        const double gap = x < lo[k] ? lo[k] - x : (x > hi[k] ? x - hi[k] : 0.0);
        gaps += gap * gap;
        linear += std::max(x * lo[k], x * hi[k]);
    }
    return std::min(1.0 - gaps / 2, linear);
}
