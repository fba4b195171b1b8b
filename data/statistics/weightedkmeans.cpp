#include "data/statistics/weightedkmeans.h"

#include <Eigen/Core>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <thread>

namespace {

// A double in [0, 1) from the generator's bits: the same on every library,
// which std::uniform_real_distribution does not promise.
double unit(std::mt19937_64 &rng)
{
    return double(rng() >> 11) * 0x1.0p-53;
}

// The comparison with every centre is done in single precision, twice as fast
// as double: it only shortlists the two nearest, whose distances are then
// worked out again in double.
using RowMatrix = Eigen::Matrix<float, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

// Points compared with every centre at once, in blocks this long: the block
// of squared distances stays a few megabytes.
constexpr std::size_t BlockRows = 1024;

} // namespace

WeightedKMeans::WeightedKMeans(const double *points, const double *weights, std::size_t n, int dims)
    : m_points(points)
    , m_weights(weights)
    , m_n(n)
    , m_dims(dims)
{
}

double WeightedKMeans::squared(const double *x, const double *c) const
{
    double s = 0;
    for (int t = 0; t < m_dims; ++t) {
        const double v = x[t] - c[t];
        s += v * v;
    }
    return s;
}

std::vector<std::size_t> WeightedKMeans::sample(std::size_t n, std::size_t m, std::uint64_t seed)
{
    std::vector<std::size_t> drawn(n);
    std::iota(drawn.begin(), drawn.end(), std::size_t(0));
    if (m >= n)
        return drawn;
    // The first draws of a shuffle.
    std::mt19937_64 rng(seed);
    for (std::size_t i = 0; i < m; ++i)
        std::swap(drawn[i], drawn[i + std::size_t(rng() % (n - i))]);
    drawn.resize(m);
    return drawn;
}

std::vector<double> WeightedKMeans::seedCentres(int k, std::uint64_t seed, std::size_t sampleSize) const
{
    std::vector<double> centres;
    if (k <= 0 || m_n == 0)
        return centres;
    std::mt19937_64 rng(seed);
    const std::vector<std::size_t> sample =
        WeightedKMeans::sample(m_n, std::max<std::size_t>(sampleSize, std::size_t(k)), rng());
    const std::size_t m = sample.size();

    const std::size_t d = std::size_t(m_dims);
    auto point = [&](std::size_t i) { return m_points + sample[i] * d; };
    auto draw = [&](const std::vector<double> &mass) {
        double total = 0;
        for (const double v : mass)
            total += v;
        if (!(total > 0))
            return m;
        const double r = unit(rng) * total;
        double run = 0;
        std::size_t last = m;
        for (std::size_t i = 0; i < m; ++i) {
            if (!(mass[i] > 0))
                continue;
            last = i;
            run += mass[i];
            if (run > r)
                return i;
        }
        return last;
    };
    // First centre by weight, each next by weight times squared distance.
    std::vector<double> mass(m);
    for (std::size_t i = 0; i < m; ++i)
        mass[i] = m_weights[sample[i]];
    std::vector<double> nearest(m, std::numeric_limits<double>::infinity());
    for (int c = 0; c < k; ++c) {
        const std::size_t pick = draw(mass);
        if (pick == m)
            break; // every sampled point is on a chosen centre
        centres.insert(centres.end(), point(pick), point(pick) + d);
        for (std::size_t i = 0; i < m; ++i) {
            nearest[i] = std::min(nearest[i], squared(point(i), point(pick)));
            mass[i] = m_weights[sample[i]] * nearest[i];
        }
    }
    return centres;
}

std::size_t WeightedKMeans::assign(const std::vector<std::size_t> *which, const std::atomic<bool> *cancel,
                                   std::vector<double> &upper, std::vector<double> &lower)
{
    const std::size_t d = std::size_t(m_dims);
    const std::size_t count = which ? which->size() : m_n;
    const RowMatrix C =
        Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>(m_centres.data(), m_k,
                                                                                                 m_dims)
            .cast<float>();
    const Eigen::VectorXf cNorm = C.rowwise().squaredNorm();
    // Each point's centre depends on nothing else: the blocks are shared
    // between two threads, and the result is the same as with one.
    std::atomic<std::size_t> nextBlock(0);
    std::atomic<std::size_t> changedAll(0);
    std::atomic<bool> stopped(false);
    auto work = [&]() {
        RowMatrix X;
        RowMatrix G;
        std::size_t changed = 0;
        for (;;) {
            const std::size_t start = BlockRows * nextBlock.fetch_add(1);
            if (start >= count)
                break;
            if (cancel && cancel->load(std::memory_order_relaxed)) {
                stopped = true;
                break;
            }
            const std::size_t rows = std::min(BlockRows, count - start);
            auto point = [&](std::size_t r) { return which ? (*which)[start + r] : start + r; };
            X.resize(Eigen::Index(rows), m_dims);
            for (std::size_t r = 0; r < rows; ++r)
                for (std::size_t t = 0; t < d; ++t)
                    X(Eigen::Index(r), Eigen::Index(t)) = float(m_points[point(r) * d + t]);
            G.noalias() = X * C.transpose();
            for (std::size_t r = 0; r < rows; ++r) {
                // |x - c|^2 up to the constant |x|^2: picks the two nearest.
                int best = -1;
                int second = -1;
                float bestV = std::numeric_limits<float>::infinity();
                float secondV = bestV;
                const float *g = G.row(Eigen::Index(r)).data();
                for (int j = 0; j < m_k; ++j) {
                    const float v = cNorm[j] - 2 * g[j];
                    if (v < bestV) {
                        second = best;
                        secondV = bestV;
                        best = j;
                        bestV = v;
                    } else if (v < secondV) {
                        second = j;
                        secondV = v;
                    }
                }
                best = std::max(best, 0);
                const std::size_t i = point(r);
                const double *x = m_points + i * d;
                // The distances themselves, not from the expansion, which loses
                // digits far from the origin; they also settle which is nearer.
                double to = squared(x, &m_centres[std::size_t(best) * d]);
                double next = second >= 0 ? squared(x, &m_centres[std::size_t(second) * d])
                                          : std::numeric_limits<double>::infinity();
                if (next < to || (next == to && second < best)) {
                    std::swap(best, second);
                    std::swap(to, next);
                }
                if (m_labels[i] != best)
                    ++changed;
                m_labels[i] = best;
                upper[i] = std::sqrt(to);
                lower[i] = std::sqrt(next);
            }
        }
        changedAll += changed;
    };
    if (count > 4 * BlockRows) {
        std::thread helper(work);
        work();
        helper.join();
    } else {
        work();
    }
    return stopped ? NoCount : changedAll.load();
}

void WeightedKMeans::update()
{
    const std::size_t d = std::size_t(m_dims);
    std::vector<double> sum(m_centres.size(), 0.0);
    std::fill(m_centreWeights.begin(), m_centreWeights.end(), 0.0);
    std::fill(m_sizes.begin(), m_sizes.end(), std::size_t(0));
    for (std::size_t i = 0; i < m_n; ++i) {
        const std::size_t c = std::size_t(m_labels[i]);
        const double w = m_weights[i];
        const double *x = m_points + i * d;
        for (std::size_t t = 0; t < d; ++t)
            sum[c * d + t] += w * x[t];
        m_centreWeights[c] += w;
        ++m_sizes[c];
    }
    for (int c = 0; c < m_k; ++c) {
        const double w = m_centreWeights[std::size_t(c)];
        if (w > 0)
            for (std::size_t t = 0; t < d; ++t)
                m_centres[std::size_t(c) * d + t] = sum[std::size_t(c) * d + t] / w;
    }
}

bool WeightedKMeans::run(std::vector<double> centres, int maxIterations, const std::atomic<bool> *cancel,
                         const Progress &progress)
{
    const std::size_t d = std::size_t(m_dims);
    m_k = d ? int(centres.size() / d) : 0;
    m_centres = std::move(centres);
    m_centreWeights.assign(std::size_t(m_k), 0.0);
    m_sizes.assign(std::size_t(m_k), 0);
    m_labels.assign(m_n, 0);
    m_iterations = 0;
    m_converged = false;
    m_within = 0;
    if (m_k == 0 || m_n == 0)
        return true;
    std::vector<double> upper(m_n);
    std::vector<double> lower(m_n);
    if (assign(nullptr, cancel, upper, lower) == NoCount)
        return false;
    std::vector<std::size_t> recheck;
    std::vector<double> previous;
    std::vector<double> moved(static_cast<std::size_t>(m_k));
    std::vector<double> half(static_cast<std::size_t>(m_k));
    while (m_iterations < maxIterations) {
        ++m_iterations;
        if (progress)
            progress(double(m_iterations) / maxIterations);
        previous = m_centres;
        update();
        // How far each centre moved; the two largest bound every other.
        int far = 0;
        double most = 0;
        double next = 0;
        for (int c = 0; c < m_k; ++c) {
            const double v = std::sqrt(squared(&previous[std::size_t(c) * d], &m_centres[std::size_t(c) * d]));
            moved[std::size_t(c)] = v;
            if (v > most) {
                next = most;
                most = v;
                far = c;
            } else if (v > next) {
                next = v;
            }
        }
        // Half the distance to the nearest other centre: a point closer than
        // that to its own centre cannot be nearer another.
        for (int c = 0; c < m_k; ++c) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return false;
            double best = std::numeric_limits<double>::infinity();
            for (int o = 0; o < m_k; ++o)
                if (o != c)
                    best = std::min(best, squared(&m_centres[std::size_t(c) * d], &m_centres[std::size_t(o) * d]));
            half[std::size_t(c)] = std::sqrt(best) / 2;
        }
        // The points whose bounds no longer settle their centre are compared
        // with every centre again, together.
        recheck.clear();
        for (std::size_t i = 0; i < m_n; ++i) {
            const int a = m_labels[i];
            upper[i] += moved[std::size_t(a)];
            lower[i] -= a == far ? next : most;
            const double limit = std::max(lower[i], half[std::size_t(a)]);
            if (upper[i] <= limit)
                continue;
            upper[i] = std::sqrt(squared(m_points + i * d, &m_centres[std::size_t(a) * d]));
            if (upper[i] > limit)
                recheck.push_back(i);
        }
        const std::size_t changed = assign(&recheck, cancel, upper, lower);
        if (changed == NoCount)
            return false;
        if (changed == 0) {
            m_converged = true;
            break;
        }
    }
    // The centres as the means of the points they end with.
    update();
    for (std::size_t i = 0; i < m_n; ++i)
        m_within += m_weights[i] * squared(m_points + i * d, &m_centres[std::size_t(m_labels[i]) * d]);
    return true;
}
