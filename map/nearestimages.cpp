#include "map/nearestimages.h"

#include "data/model/cadata.h"

#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Up to this many neighbours the nearest images are kept in a small sorted
// array while scanning; beyond it one sort of all distances is cheaper than
// the insertions could become.
constexpr int kBoundedNeighbours = 512;

// Room left between a group's cosine bound and the list: the exact distance
// is the negated cosine to within a few ulps, the bound to within as many.
constexpr double kBoundMargin = 1e-9;

} // namespace

NearestImages::~NearestImages()
{
    // The worker reads the data, which may go once this returns.
    m_building.waitForFinished();
}

void NearestImages::reset()
{
    m_building.waitForFinished();
    m_next.reset();
    m_nextFor = nullptr;
    tree.clear();
}

void NearestImages::waitForGroups(const CAData &data)
{
    m_building.waitForFinished();
    adoptBuilt(data);
}

bool NearestImages::adoptBuilt(const CAData &data)
{
    if (!m_next || !m_building.isFinished())
        return false;
    m_building.waitForFinished(); // what the worker wrote is now seen here
    const bool same = m_next->isBuiltFor(data);
    if (same)
        tree = std::move(*m_next);
    m_next.reset();
    m_nextFor = nullptr;
    return same;
}

bool NearestImages::groupsReady(const CAData &data)
{
    if (tree.isBuiltFor(data) || adoptBuilt(data))
        return true;
    if (data.nbImages < m_backgroundFrom) {
        reset();
        tree.build(data);
        return true;
    }
    if (!m_building.isFinished()) {
        if (m_nextFor == &data)
            return false;
        // Started for other data, which the caller keeps alive only until
        // it resets: finish it before starting again.
        m_building.waitForFinished();
    }
    m_next = std::make_unique<DirectionTree>();
    m_nextFor = &data;
    DirectionTree *next = m_next.get();
    const CAData *source = &data;
    m_building = QtConcurrent::run([next, source] { next->build(*source); });
    return false;
}

void NearestImages::find(const CAData &data, int focus, int count, std::vector<int> &out)
{
    out.clear();
    best.clear();
    usedEstimates = false;
    scanned = 0;
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
    // Sorted by distance, distinct distances, at most `count` entries, each
    // distance held by the lowest image that has it. Images come in any
    // order: an equal distance already kept goes to the lower of the two.
    // Once the list is full its largest distance only decreases, so a
    // distance that was pushed out can never come back in through a later
    // equal one.
    if (std::isnan(d))
        return false;
    const std::size_t size = best.size();
    if (size == std::size_t(count) && !(d <= best.back().first))
        return false;
    const auto pos = std::lower_bound(best.begin(), best.end(), d,
                                      [](const Entry &e, double v) { return e.first < v; });
    if (pos != best.end() && pos->first == d) {
        if (i < pos->second)
            pos->second = i;
        return false;
    }
    const std::ptrdiff_t at = pos - best.begin();
    if (size == std::size_t(count))
        best.pop_back();
    best.insert(best.begin() + at, Entry(d, i));
    return true;
}

void NearestImages::tighten()
{
    // Images whose scaled dot product reaches `threshold` are measured; the
    // clamp only ever lets more through.
    const double square = double(DirectionTree::kScale) * DirectionTree::kScale;
    const double t = std::floor(-(best.back().first + slack) * square);
    threshold = qint16(std::clamp(t, double(std::numeric_limits<qint16>::min()),
                                  double(std::numeric_limits<qint16>::max())));
}

void NearestImages::findBounded(const CAData &data, int focus, int count)
{
    const bool ready = groupsReady(data);
    best.reserve(std::size_t(count) + 1);
    const int n = data.nbImages;
    const int axes = data.nbAxis;
    focusUnit.resize(std::size_t(std::max(0, axes)));
    const bool focusScaled =
        ready && !tree.empty() &&
        DirectionTree::unitRow(data.Z.get() + qint64(focus) * data.zCols, axes, focusUnit.data());
    if (!focusScaled) {
        scanned = n;
        for (int i = 0; i < n; ++i)
            offer(data.distance(focus, i), i, count);
        return;
    }
    usedEstimates = true;

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
    const double scale = DirectionTree::kScale;
    slack = 1.0001 * std::sqrt(double(axes)) / scale + 0.2501 * axes / (scale * scale) + 1e-9;
    threshold = std::numeric_limits<qint16>::min();
    std::vector<qint8> stored(static_cast<std::size_t>(axes), 0);
    DirectionTree::quantise(focusUnit.data(), axes, stored.data(), 1);
    focusRow.assign(stored.begin(), stored.end());

    // The rows the copy cannot hold, measured exactly.
    for (const int i : tree.irregular())
        if (offer(data.distance(focus, i), i, count) && best.size() == std::size_t(count))
            tighten();
    scanned = int(tree.irregular().size());

    // Groups by their bound, best first; the first that cannot reach the
    // list ends the search, since no later one can either.
    auto full = [&] { return best.size() == std::size_t(count); };
    auto hopeless = [&](double bound) { return full() && bound < -best.back().first - kBoundMargin; };
    const std::vector<DirectionTree::Node> &nodes = tree.nodes();
    pending.clear();
    pending.emplace_back(tree.cosineBound(0, focusUnit.data()), 0);
    while (!pending.empty()) {
        std::pop_heap(pending.begin(), pending.end());
        const auto [bound, id] = pending.back();
        pending.pop_back();
        if (hopeless(bound))
            break;
        const DirectionTree::Node &node = nodes[std::size_t(id)];
        if (node.left < 0) {
            scanGroups(data, focus, count, node.firstGroup, node.endGroup);
            continue;
        }
        for (const int child : {node.left, node.right}) {
            const double b = tree.cosineBound(child, focusUnit.data());
            if (hopeless(b))
                continue;
            pending.emplace_back(b, child);
            std::push_heap(pending.begin(), pending.end());
        }
    }
}

void NearestImages::scanGroups(const CAData &data, int focus, int count, int first, int end)
{
    const int axes = tree.axes();
    const qint16 *w = focusRow.data();
    for (int g = first; g < end; ++g) {
        // Sixteen images side by side: each axis adds one product to each
        // lane, a loop the compiler turns into vector instructions.
        const qint8 *block = tree.group(g);
        qint16 dot[kLanes] = {};
        for (int a = 0; a < axes; ++a) {
            const qint16 wa = w[a];
            const qint8 *column = block + std::size_t(a) * kLanes;
            for (int j = 0; j < kLanes; ++j)
                dot[j] = qint16(dot[j] + wa * column[j]);
        }
        scanned += kLanes;
        int any = 0;
        for (int j = 0; j < kLanes; ++j)
            any |= int(dot[j] >= threshold);
        if (!any)
            continue;
        for (int j = 0; j < kLanes; ++j) {
            const int i = tree.image(g, j);
            if (i < 0 || dot[j] < threshold)
                continue;
            if (offer(data.distance(focus, i), i, count) && best.size() == std::size_t(count))
                tighten();
        }
    }
}

void NearestImages::findSorted(const CAData &data, int focus, int count)
{
    const int n = data.nbImages;
    scanned = n;
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
