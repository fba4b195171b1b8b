#include "data/statistics/clusteranalysis.h"

#include "data/statistics/weightedkmeans.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ClusterAnalysis", text);
}

double squared(const double *x, const double *y, int dims)
{
    double s = 0;
    for (int t = 0; t < dims; ++t) {
        const double v = x[t] - y[t];
        s += v * v;
    }
    return s;
}

// How many different points there are among `n` rows of `dims` values.
int distinct(const std::vector<double> &points, int n, int dims)
{
    std::vector<int> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    const double *p = points.data();
    const std::size_t d = std::size_t(dims);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return std::lexicographical_compare(p + std::size_t(a) * d, p + std::size_t(a + 1) * d, p + std::size_t(b) * d,
                                            p + std::size_t(b + 1) * d);
    });
    int count = n > 0 ? 1 : 0;
    for (std::size_t i = 1; i < order.size(); ++i)
        if (!std::equal(p + std::size_t(order[i]) * d, p + std::size_t(order[i] + 1) * d,
                        p + std::size_t(order[i - 1]) * d))
            ++count;
    return count;
}

// Iterations of the k-means that gathers many rows into centres, and of the
// one that consolidates a cut: both start near where they end.
constexpr int GatherIterations = 25;
constexpr int ConsolidateIterations = 10;
// k-means++ draws the centres from this many rows per centre.
constexpr std::size_t SeedSamplePerCentre = 20;
// With more rows than this per centre, the gathering iterates on a sample of
// that many first, then only FinalIterations times over every row.
constexpr std::size_t IterateSamplePerCentre = 100;
constexpr int FinalIterations = 5;

} // namespace

int ClusterAnalysis::defaultDims(const Input &input)
{
    const int axes = std::min({input.axes, input.inertiaCount, 10});
    if (axes <= 0)
        return std::max(0, std::min(input.axes, 10));
    double total = input.totalInertia;
    if (!(total > 0) || !std::isfinite(total)) {
        total = 0;
        for (int a = 0; a < std::min(input.axes, input.inertiaCount); ++a)
            total += input.inertias[a];
    }
    double held = 0;
    for (int a = 0; a < axes; ++a) {
        held += input.inertias[a];
        if (held >= 0.8 * total)
            return a + 1;
    }
    return axes;
}

ClusterAnalysis::Status ClusterAnalysis::fail(const QString &why)
{
    m_error = why;
    return Failed;
}

ClusterAnalysis::Status ClusterAnalysis::run(const Input &input, const Options &options,
                                             const std::atomic<bool> *cancel, const Progress &progress)
{
    *this = ClusterAnalysis();
    auto report = [&](const QString &stage, double done) {
        if (progress)
            progress(stage, done);
    };
    if (input.rows <= 0 || !input.coordinates || !input.masses)
        return fail(tr("the analysis has no image to cluster"));
    if (input.axes <= 0)
        return fail(tr("the analysis has no axis to cluster on"));
    if (options.dims < 0 || options.dims > input.axes)
        return fail(tr("%1 axes asked, but the analysis has %2 axes computed").arg(options.dims).arg(input.axes));
    if (options.count < 0)
        return fail(tr("the number of clusters must be at least 1"));
    if (cancel && cancel->load())
        return Cancelled;
    m_dims = options.dims > 0 ? options.dims : defaultDims(input);
    const int dims = m_dims;
    const std::size_t d = std::size_t(dims);

    // The usable rows, their coordinates on the axes used and their masses.
    std::vector<int> used;
    std::vector<double> points;
    std::vector<double> weights;
    used.reserve(std::size_t(input.rows));
    for (int i = 0; i < input.rows; ++i) {
        const double *row = input.coordinates + std::size_t(i) * std::size_t(input.stride);
        const double mass = input.masses[i];
        bool ok = std::isfinite(mass) && mass > 0;
        for (int t = 0; ok && t < dims; ++t)
            ok = std::isfinite(row[t]);
        if (!ok)
            continue;
        used.push_back(i);
        points.insert(points.end(), row, row + dims);
        weights.push_back(mass);
    }
    const int n = int(used.size());
    m_leftOut = input.rows - n;
    const QString leftOut =
        m_leftOut > 0
            ? tr(" (images left out for coordinates that are not numbers or no mass: %1)").arg(m_leftOut)
            : QString();
    if (n == 0)
        return fail(tr("no image has usable coordinates on the first %1 axes").arg(dims) + leftOut);
    if (n == 1)
        return fail(tr("the analysis has one image: there is nothing to cluster") + leftOut);
    m_distinct = distinct(points, n, dims);
    if (m_distinct == 1)
        return fail(tr("all %1 images lie at one point on the first %2 axes: there is nothing to cluster")
                        .arg(n)
                        .arg(dims)
                    + leftOut);
    if (options.count > m_distinct)
        return fail(tr("%1 clusters asked, but the images lie at only %2 distinct points on the first %3 axes")
                        .arg(options.count)
                        .arg(m_distinct)
                        .arg(dims));

    // The centre of the cloud and its inertia.
    double mass = 0;
    std::vector<double> g(d, 0.0);
    for (int i = 0; i < n; ++i) {
        mass += weights[std::size_t(i)];
        for (std::size_t t = 0; t < d; ++t)
            g[t] += weights[std::size_t(i)] * points[std::size_t(i) * d + t];
    }
    for (double &v : g)
        v /= mass;
    for (int i = 0; i < n; ++i)
        m_inertia += weights[std::size_t(i)] * squared(&points[std::size_t(i) * d], g.data(), dims);

    // The leaves of the hierarchy: the rows, or the centres gathering them.
    WardClustering ward;
    std::vector<int> leafOf(static_cast<std::size_t>(n));
    m_exact = n <= options.exactLimit;
    if (m_exact) {
        std::iota(leafOf.begin(), leafOf.end(), 0);
        const QString stage = tr("Building the hierarchy");
        if (!ward.run(points.data(), weights.data(), n, dims, cancel, [&](double f) { report(stage, f); }))
            return Cancelled;
    } else {
        const QString stage = tr("Gathering the images into centres");
        report(stage, 0);
        WeightedKMeans gather(points.data(), weights.data(), std::size_t(n), dims);
        std::vector<double> start = gather.seedCentres(options.centres, options.seed,
                                                       SeedSamplePerCentre * std::size_t(options.centres));
        if (cancel && cancel->load())
            return Cancelled;
        // Many rows: the centres settle on a sample first, so that only a few
        // iterations go over every row.
        int iterations = GatherIterations;
        const std::size_t sampleSize = IterateSamplePerCentre * std::size_t(options.centres);
        if (std::size_t(n) > sampleSize) {
            const std::vector<std::size_t> rows = WeightedKMeans::sample(std::size_t(n), sampleSize, options.seed + 1);
            std::vector<double> samplePoints;
            std::vector<double> sampleWeights;
            samplePoints.reserve(rows.size() * d);
            for (const std::size_t i : rows) {
                samplePoints.insert(samplePoints.end(), points.begin() + std::ptrdiff_t(i * d),
                                    points.begin() + std::ptrdiff_t((i + 1) * d));
                sampleWeights.push_back(weights[i]);
            }
            WeightedKMeans onSample(samplePoints.data(), sampleWeights.data(), rows.size(), dims);
            if (!onSample.run(std::move(start), GatherIterations, cancel, [&](double f) { report(stage, f / 2); }))
                return Cancelled;
            start = onSample.centres();
            iterations = FinalIterations;
        }
        if (!gather.run(std::move(start), iterations, cancel, [&](double f) { report(stage, 0.5 + f / 2); }))
            return Cancelled;
        // Centres left with no row are no leaves.
        std::vector<int> leaf(gather.centreWeights().size(), -1);
        std::vector<double> centres;
        std::vector<double> centreWeights;
        for (std::size_t c = 0; c < leaf.size(); ++c) {
            if (!(gather.centreWeights()[c] > 0))
                continue;
            leaf[c] = int(centreWeights.size());
            centreWeights.push_back(gather.centreWeights()[c]);
            centres.insert(centres.end(), gather.centres().begin() + std::ptrdiff_t(c * d),
                           gather.centres().begin() + std::ptrdiff_t((c + 1) * d));
        }
        for (int i = 0; i < n; ++i)
            leafOf[std::size_t(i)] = leaf[std::size_t(gather.labels()[std::size_t(i)])];
        m_residual = gather.within();
        const int leaves = int(centreWeights.size());
        if (options.count > leaves)
            return fail(tr("%1 clusters asked, but the images were gathered into %2 centres").arg(options.count).arg(leaves));
        const QString wardStage = tr("Building the hierarchy");
        if (!ward.run(centres.data(), centreWeights.data(), leaves, dims, cancel,
                      [&](double f) { report(wardStage, f); }))
            return Cancelled;
    }
    m_leaves = ward.points();
    m_gains = ward.gains();

    // The suggested cut: the number of clusters k in the range whose
    // within-cluster inertia is the smallest share of that with k - 1.
    std::vector<double> within(std::size_t(m_leaves) + 1, 0.0);
    within[std::size_t(m_leaves)] = m_residual;
    for (int k = m_leaves - 1; k >= 1; --k)
        within[std::size_t(k)] = within[std::size_t(k + 1)] + m_gains[std::size_t(k - 1)];
    int kMax = std::min(options.maxCount, int(std::nearbyint(m_leaves / 2.0)));
    kMax = std::min({kMax, m_leaves - 1, m_distinct});
    int kMin = std::max(2, std::min(options.minCount, kMax));
    m_suggested = std::min(2, m_leaves);
    double bestRatio = 0;
    for (int k = kMin; k <= kMax; ++k) {
        if (!(within[std::size_t(k - 1)] > 0))
            continue;
        const double ratio = within[std::size_t(k)] / within[std::size_t(k - 1)];
        if (k == kMin || ratio < bestRatio) {
            bestRatio = ratio;
            m_suggested = k;
        }
    }
    const int count = options.count > 0 ? options.count : m_suggested;

    const std::vector<int> leafCluster = ward.cut(count);
    std::vector<int> label(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        label[std::size_t(i)] = leafCluster[std::size_t(leafOf[std::size_t(i)])];

    if (options.consolidate) {
        const QString stage = tr("Consolidating the clusters");
        std::vector<double> start(std::size_t(count) * d, 0.0);
        std::vector<double> w(std::size_t(count), 0.0);
        for (int i = 0; i < n; ++i) {
            const std::size_t c = std::size_t(label[std::size_t(i)]);
            w[c] += weights[std::size_t(i)];
            for (std::size_t t = 0; t < d; ++t)
                start[c * d + t] += weights[std::size_t(i)] * points[std::size_t(i) * d + t];
        }
        for (std::size_t c = 0; c < std::size_t(count); ++c)
            for (std::size_t t = 0; t < d; ++t)
                start[c * d + t] /= w[c];
        WeightedKMeans consolidate(points.data(), weights.data(), std::size_t(n), dims);
        if (!consolidate.run(std::move(start), ConsolidateIterations, cancel, [&](double f) { report(stage, f); }))
            return Cancelled;
        label = consolidate.labels();
    }
    if (cancel && cancel->load())
        return Cancelled;

    // Clusters by decreasing size; a cluster the consolidation emptied goes.
    std::vector<std::vector<int>> members(static_cast<std::size_t>(count));
    for (int i = 0; i < n; ++i)
        members[std::size_t(label[std::size_t(i)])].push_back(i);
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const auto &ma = members[std::size_t(a)];
        const auto &mb = members[std::size_t(b)];
        if (ma.size() != mb.size())
            return ma.size() > mb.size();
        return !ma.empty() && (mb.empty() || ma.front() < mb.front());
    });
    m_partition.assign(std::size_t(input.rows), -1);
    std::vector<int> local(std::size_t(n), -1); // cluster of each usable row
    for (const int c : order) {
        const auto &rows = members[std::size_t(c)];
        if (rows.empty())
            continue;
        const int index = int(m_clusters.size());
        Cluster cluster;
        cluster.centre.assign(d, 0.0);
        for (const int i : rows) {
            local[std::size_t(i)] = index;
            cluster.rows.push_back(used[std::size_t(i)]);
            m_partition[std::size_t(used[std::size_t(i)])] = index;
            cluster.mass += weights[std::size_t(i)];
            for (std::size_t t = 0; t < d; ++t)
                cluster.centre[t] += weights[std::size_t(i)] * points[std::size_t(i) * d + t];
        }
        for (double &v : cluster.centre)
            v /= cluster.mass;
        for (const int i : rows)
            cluster.within += weights[std::size_t(i)] * squared(&points[std::size_t(i) * d], cluster.centre.data(), dims);
        m_between += cluster.mass * squared(cluster.centre.data(), g.data(), dims);
        m_clusters.push_back(std::move(cluster));
    }
    describe(points, local, used, options.paragons);
    report(tr("Describing the clusters"), 1);
    return Done;
}

void ClusterAnalysis::describe(const std::vector<double> &points, const std::vector<int> &local,
                               const std::vector<int> &used, int paragons)
{
    const int dims = m_dims;
    const std::size_t d = std::size_t(dims);
    const int k = int(m_clusters.size());
    // Per usable row: distance to its centre, and to the nearest other one.
    std::vector<std::vector<std::pair<double, int>>> near(static_cast<std::size_t>(k));
    std::vector<std::vector<std::pair<double, int>>> apart(static_cast<std::size_t>(k));
    for (std::size_t i = 0; i < local.size(); ++i) {
        const int c = local[i];
        if (c < 0)
            continue;
        const double *x = &points[i * d];
        near[std::size_t(c)].push_back({squared(x, m_clusters[std::size_t(c)].centre.data(), dims), used[i]});
        if (k < 2)
            continue;
        double other = std::numeric_limits<double>::infinity();
        for (int o = 0; o < k; ++o)
            if (o != c)
                other = std::min(other, squared(x, m_clusters[std::size_t(o)].centre.data(), dims));
        // Farthest first: the distance negated, so that one order serves.
        apart[std::size_t(c)].push_back({-other, used[i]});
    }
    auto firsts = [paragons](std::vector<std::pair<double, int>> &v) {
        const std::size_t m = std::min(v.size(), std::size_t(std::max(0, paragons)));
        std::partial_sort(v.begin(), v.begin() + std::ptrdiff_t(m), v.end());
        std::vector<int> rows;
        for (std::size_t i = 0; i < m; ++i)
            rows.push_back(v[i].second);
        return rows;
    };
    for (int c = 0; c < k; ++c) {
        m_clusters[std::size_t(c)].paragons = firsts(near[std::size_t(c)]);
        m_clusters[std::size_t(c)].specific = firsts(apart[std::size_t(c)]);
    }
}
