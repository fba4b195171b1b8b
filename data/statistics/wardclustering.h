#ifndef WARDCLUSTERING_H
#define WARDCLUSTERING_H

#include <atomic>
#include <functional>
#include <vector>

// Ward's agglomerative hierarchy of weighted points: at each step the two
// clusters whose union loses the least between-cluster inertia are joined.
// The loss of joining a and b is wa wb / (wa + wb) |ca - cb|^2 (ca, cb their
// weighted centres), so with weights that sum to one the losses of all the
// merges add up to the inertia of the cloud.
//
// Built by the nearest-neighbour chain, which gives Ward's hierarchy exactly
// (the criterion is reducible), with the losses computed from the clusters'
// centres rather than from a stored dissimilarity matrix: memory grows with
// the number of points, not with its square, and the time with its square.
class WardClustering
{
public:
    struct Merge {
        // The clusters joined: 0..n-1 a single point, n + i the cluster
        // made by merge i (the convention of R's and SciPy's trees, 0-based).
        int a = 0;
        int b = 0;
        double gain = 0; // the between-cluster inertia the merge loses
        int size = 0;    // points in the cluster made
    };
    // Called now and then with the share of the work done (0..1).
    using Progress = std::function<void(double)>;

    // `points`: n rows of `dims` coordinates one after the other; `weights`
    // positive. Returns false, with no tree, when `cancel` was raised.
    bool run(const double *points, const double *weights, int n, int dims, const std::atomic<bool> *cancel = nullptr,
             const Progress &progress = Progress());

    int points() const { return m_points; }
    // The n - 1 merges in the order they happen, by increasing gain.
    const std::vector<Merge> &merges() const { return m_merges; }
    // The gains from the last merge back to the first: gains()[k - 1] is what
    // cutting into k + 1 clusters instead of k adds to the between-cluster
    // inertia.
    std::vector<double> gains() const;
    // Per point, its cluster (0..k-1, numbered by their first point) when the
    // tree is cut into k clusters (1 <= k <= n).
    std::vector<int> cut(int k) const;

private:
    int m_points = 0;
    std::vector<Merge> m_merges;
};

#endif // WARDCLUSTERING_H
