#ifndef WEIGHTEDKMEANS_H
#define WEIGHTEDKMEANS_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// k-means of weighted points (Lloyd's iterations, each centre the weighted
// mean of its points), used to shrink a large cloud to a few centres before
// Ward's hierarchy and to consolidate a cut. Deterministic: the same points,
// seed and options give the same centres on every machine (the generator and
// its conversions are fixed, and the sums are made in one thread in one
// order; only the search for each point's nearest centre is shared between
// two threads, whose result does not depend on who does which point).
//
// Each point keeps a bound on the distance to its own centre and one on the
// distance to every other (Hamerly's), so that after the first iterations
// only the points near a border are compared with every centre again.
class WeightedKMeans
{
public:
    using Progress = std::function<void(double)>;

    WeightedKMeans(const double *points, const double *weights, std::size_t n, int dims);

    // Initial centres by k-means++ (each next centre drawn with probability
    // proportional to weight times squared distance to the nearest chosen)
    // among a sample of at most `sampleSize` points drawn with `seed`. Fewer
    // than k when the sample has fewer distinct points.
    std::vector<double> seedCentres(int k, std::uint64_t seed, std::size_t sampleSize) const;

    // `m` of the numbers 0..n-1 (all when m >= n) drawn without replacement
    // with `seed`, in the order drawn.
    static std::vector<std::size_t> sample(std::size_t n, std::size_t m, std::uint64_t seed);

    // Iterates from `centres` (k rows of dims values) until no point changes
    // centre or after `maxIterations`. Returns false when cancelled.
    bool run(std::vector<double> centres, int maxIterations, const std::atomic<bool> *cancel = nullptr,
             const Progress &progress = Progress());

    // The results of run(): per point its centre; per centre its position,
    // total weight and number of points (a centre that lost all its points
    // stays where it was, with weight 0).
    const std::vector<int> &labels() const { return m_labels; }
    const std::vector<double> &centres() const { return m_centres; }
    const std::vector<double> &centreWeights() const { return m_centreWeights; }
    const std::vector<std::size_t> &centreSizes() const { return m_sizes; }
    // Sum over the points of weight times squared distance to their centre.
    double within() const { return m_within; }
    int iterations() const { return m_iterations; }
    bool converged() const { return m_converged; }

private:
    double squared(const double *x, const double *c) const;
    // Nearest and second-nearest centre of the points listed in `which` (of
    // every point when null), by comparing with all the centres; returns how
    // many changed centre, NoCount when cancelled.
    std::size_t assign(const std::vector<std::size_t> *which, const std::atomic<bool> *cancel,
                       std::vector<double> &upper, std::vector<double> &lower);
    static constexpr std::size_t NoCount = std::size_t(-1);
    void update();

    const double *m_points;
    const double *m_weights;
    std::size_t m_n;
    int m_dims;
    int m_k = 0;
    std::vector<int> m_labels;
    std::vector<double> m_centres;
    std::vector<double> m_centreWeights;
    std::vector<std::size_t> m_sizes;
    double m_within = 0;
    int m_iterations = 0;
    bool m_converged = false;
};

#endif // WEIGHTEDKMEANS_H
