// Build and hover cost of RTree on map-like data, each timed beside the
// reference it is judged against: std::nth_element once per tree level (about
// the least a median-split build can do) and a brute-force scan (what hover
// would cost without an index). The ratios are the counters; see
// rtree_ratios.py.
//
// Points are whole canvas pixels in the 2000 x 1500 map, as the map feeds
// them: "uniform" spreads them evenly, "clustered" piles them into Gaussian
// blobs around the origin the way CA maps look (many exact duplicates), and
// "row" puts them all on one pixel row, the input a y-first median split
// cannot divide.
#include "index/rtree.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

enum Kind { Uniform, Clustered, Row };

const char* kindName(Kind kind)
{
    switch (kind) {
    case Uniform: return "uniform";
    case Clustered: return "clustered";
    case Row: return "row";
    }
    return "?";
}

struct DataSet
{
    std::vector<Point> points;
    std::vector<std::pair<double, double>> queries; // whole-pixel cursor positions
    double duplicateShare = 0.0;                     // points on an already used pixel
};

std::vector<Point> makePoints(Kind kind, int n)
{
    std::mt19937_64 rng(20240607u + static_cast<unsigned>(kind) * 7919u + static_cast<unsigned>(n));
    std::uniform_real_distribution<double> ux(0.0, 2000.0), uy(0.0, 1500.0);
    std::vector<Point> pts;
    pts.reserve(n);

    if (kind == Clustered) {
        // One dense blob at the origin holding 40 %, fifteen smaller ones
        // sharing the rest.
        struct Blob { double cx, cy, sigma; };
        std::vector<Blob> blobs = {{1000.0, 750.0, 40.0}};
        std::uniform_real_distribution<double> bx(200.0, 1800.0), by(150.0, 1350.0), bs(5.0, 60.0);
        for (int b = 0; b < 15; ++b)
            blobs.push_back({bx(rng), by(rng), bs(rng)});
        std::normal_distribution<double> gauss(0.0, 1.0);
        std::uniform_real_distribution<double> pick(0.0, 1.0);
        for (int i = 0; i < n; ++i) {
            const double u = pick(rng);
            const Blob& b = u < 0.4 ? blobs[0] : blobs[1 + static_cast<int>((u - 0.4) / 0.6 * 15) % 15];
            pts.emplace_back(std::trunc(b.cx + b.sigma * gauss(rng)),
                             std::trunc(b.cy + b.sigma * gauss(rng)), i);
        }
    } else {
        for (int i = 0; i < n; ++i)
            pts.emplace_back(std::floor(ux(rng)), kind == Row ? 750.0 : std::floor(uy(rng)), i);
    }
    return pts;
}

const DataSet& dataSet(Kind kind, int n)
{
    static std::map<std::pair<int, int>, DataSet> cache;
    DataSet& d = cache[{kind, n}];
    if (!d.points.empty())
        return d;

    d.points = makePoints(kind, n);

    std::vector<long long> keys;
    keys.reserve(n);
    for (const Point& p : d.points)
        keys.push_back(static_cast<long long>(p.x) * 100000 + static_cast<long long>(p.y));
    std::sort(keys.begin(), keys.end());
    const auto distinct = std::unique(keys.begin(), keys.end()) - keys.begin();
    d.duplicateShare = 1.0 - static_cast<double>(distinct) / n;

    // The cursor hovers over the data: near a random point, whole pixels.
    std::mt19937 rng(77);
    std::uniform_int_distribution<int> jitter(-10, 10);
    for (int q = 0; q < 4096; ++q) {
        const Point& p = d.points[rng() % d.points.size()];
        d.queries.emplace_back(p.x + jitter(rng), p.y + jitter(rng));
    }
    return d;
}

struct Shape
{
    int height = 0;
    int nodes = 0;
    int leaves = 0;
    size_t maxLeaf = 0;
    size_t leafIds = 0;
};

void measure(const RTree::Node* node, int depth, Shape& s)
{
    if (!node)
        return;
    ++s.nodes;
    s.height = std::max(s.height, depth);
    if (!node->left) {
        ++s.leaves;
        s.maxLeaf = std::max(s.maxLeaf, node->ids.size());
        s.leafIds += node->ids.size();
        return;
    }
    measure(node->left, depth + 1, s);
    measure(node->right, depth + 1, s);
}

Shape shapeOf(Kind kind, int n)
{
    static std::map<std::pair<int, int>, Shape> cache;
    auto it = cache.find({kind, n});
    if (it != cache.end())
        return it->second;
    RTree tree;
    tree.beginSetData();
    for (const Point& p : dataSet(kind, n).points)
        tree.addPoint(p);
    tree.endSetData();
    Shape s;
    measure(tree.root, 0, s);
    cache[{kind, n}] = s;
    return s;
}

// CPU time of this thread: the machine is shared, and wall time would count
// whatever else runs.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec * 1e-6;
}

// A full refill as the map does it (the old tree freed, the points added,
// the tree built), and right after it the reference on the same data: one
// full-size nth_element per level of the tree, on the axis that level splits.
// Timing both in the same iteration keeps their ratio honest on a busy
// machine.
void BM_Build(benchmark::State& state)
{
    const Kind kind = static_cast<Kind>(state.range(0));
    const int n = static_cast<int>(state.range(1));
    const DataSet& d = dataSet(kind, n);
    const int levels = std::max(1, shapeOf(kind, n).height);
    std::vector<double> xs(n), ys(n), work(n);
    for (int i = 0; i < n; ++i) {
        xs[i] = d.points[i].x;
        ys[i] = d.points[i].y;
    }

    RTree tree;
    double buildMs = 0;
    double referenceMs = 0;
    for (auto _ : state) {
        const double t0 = cpuMs();
        tree.beginSetData();
        for (const Point& p : d.points)
            tree.addPoint(p);
        tree.endSetData();
        benchmark::DoNotOptimize(tree.root);
        const double t1 = cpuMs();
        for (int level = 0; level < levels; ++level) {
            const std::vector<double>& src = (level % 2 == 0) ? ys : xs;
            std::memcpy(work.data(), src.data(), n * sizeof(double));
            std::nth_element(work.begin(), work.begin() + (n - 1) / 2, work.end());
            benchmark::DoNotOptimize(work[(n - 1) / 2]);
        }
        const double t2 = cpuMs();
        buildMs += t1 - t0;
        referenceMs += t2 - t1;
    }
    const double iterations = static_cast<double>(state.iterations());
    const Shape s = shapeOf(kind, n);
    state.counters["build_ms"] = buildMs / iterations;
    state.counters["nth_ms"] = referenceMs / iterations;
    state.counters["build/nth"] = buildMs / referenceMs;
    state.counters["height"] = s.height;
    state.counters["nodes"] = s.nodes;
    state.counters["maxLeaf"] = static_cast<double>(s.maxLeaf);
    state.counters["meanLeaf"] = static_cast<double>(s.leafIds) / s.leaves;
    state.counters["dupShare"] = d.duplicateShare;
    state.SetLabel(kindName(kind));
}

// One hover step as the map does it: the neighbourhood (radius 20) and the
// point under the cursor (radius 2), into reused output vectors; beside it
// the same step without an index, one pass over all points serving both
// radii. Each iteration times a batch of tree steps and one scan step.
void BM_Hover(benchmark::State& state)
{
    const Kind kind = static_cast<Kind>(state.range(0));
    const int n = static_cast<int>(state.range(1));
    const DataSet& d = dataSet(kind, n);
    RTree tree;
    tree.beginSetData();
    for (const Point& p : d.points)
        tree.addPoint(p);
    tree.endSetData();

    constexpr int kBatch = 256;
    std::vector<int> around, under;
    size_t q = 0;
    double reported = 0;
    double treeMs = 0;
    double scanMs = 0;
    for (auto _ : state) {
        const double t0 = cpuMs();
        for (int b = 0; b < kBatch; ++b) {
            const auto& c = d.queries[q++ & 4095];
            around.clear();
            under.clear();
            tree.find(around, c.first, c.second, 20.0);
            tree.find(under, c.first, c.second, 2.0);
            benchmark::DoNotOptimize(around.data());
            benchmark::DoNotOptimize(under.data());
            reported += static_cast<double>(around.size() + under.size());
        }
        const double t1 = cpuMs();
        const auto& c = d.queries[q & 4095];
        around.clear();
        under.clear();
        for (const Point& p : d.points) {
            const double dx = p.x - c.first;
            const double dy = p.y - c.second;
            const double d2 = dx * dx + dy * dy;
            if (d2 <= 400.0) {
                around.push_back(p.id);
                if (d2 <= 4.0)
                    under.push_back(p.id);
            }
        }
        benchmark::DoNotOptimize(around.data());
        benchmark::DoNotOptimize(under.data());
        const double t2 = cpuMs();
        treeMs += t1 - t0;
        scanMs += t2 - t1;
    }
    const double steps = static_cast<double>(state.iterations()) * kBatch;
    state.counters["tree_us"] = 1e3 * treeMs / steps;
    state.counters["scan_us"] = 1e3 * scanMs / static_cast<double>(state.iterations());
    state.counters["scan/tree"] = (scanMs / static_cast<double>(state.iterations())) / (treeMs / steps);
    state.counters["reported"] = reported / steps;
    state.SetLabel(kindName(kind));
}

// The two queries of a hover step on their own, to tell the walk down the
// tree (radius 2: next to nothing found) from the cost of the points found.
void BM_QueryTree(benchmark::State& state)
{
    const Kind kind = static_cast<Kind>(state.range(0));
    const int n = static_cast<int>(state.range(1));
    const double radius = static_cast<double>(state.range(2));
    const DataSet& d = dataSet(kind, n);
    RTree tree;
    tree.beginSetData();
    for (const Point& p : d.points)
        tree.addPoint(p);
    tree.endSetData();

    std::vector<int> out;
    size_t q = 0;
    double reported = 0;
    for (auto _ : state) {
        const auto& c = d.queries[q++ & 4095];
        out.clear();
        tree.find(out, c.first, c.second, radius);
        benchmark::DoNotOptimize(out.data());
        reported += static_cast<double>(out.size());
    }
    state.counters["reported"] = reported / static_cast<double>(state.iterations());
    state.SetLabel(kindName(kind));
}

void sizes(benchmark::internal::Benchmark* b)
{
    for (int kind : {Uniform, Clustered, Row})
        for (int n : {10000, 100000, 1000000})
            b->Args({kind, n});
    b->ArgNames({"kind", "n"});
}

void sizesAndRadii(benchmark::internal::Benchmark* b)
{
    for (int kind : {Uniform, Clustered})
        for (int n : {10000, 1000000})
            for (int radius : {2, 20})
                b->Args({kind, n, radius});
    b->ArgNames({"kind", "n", "r"});
}

} // namespace

BENCHMARK(BM_QueryTree)->Apply(sizesAndRadii)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Build)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Hover)->Apply(sizes)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
