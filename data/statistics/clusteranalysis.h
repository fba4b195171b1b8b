#ifndef CLUSTERANALYSIS_H
#define CLUSTERANALYSIS_H

#include "data/statistics/wardclustering.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// Clusters of the rows of a correspondence analysis: Ward's hierarchy on the
// principal coordinates of the first axes, each row weighted by its mass, cut
// where the between-cluster inertia gains the most relative to what is left
// (the rule of FactoMineR's HCPC) or into the number of clusters asked.
//
// Up to `exactLimit` usable rows the hierarchy is of the rows themselves;
// above, the rows are first gathered by weighted k-means into `centres`
// centres (seeded, deterministic) and the hierarchy is of those, each weighted
// by its rows' masses. Rows with a coordinate that is not a number, or with no
// positive mass, are left out and counted.
class ClusterAnalysis
{
public:
    struct Input {
        const double *coordinates = nullptr; // rows x stride, principal coordinates
        int rows = 0;
        int stride = 0;                      // values per row
        int axes = 0;                        // axes computed (at most stride)
        const double *masses = nullptr;      // per row
        const double *inertias = nullptr;    // per axis, largest first
        int inertiaCount = 0;
        double totalInertia = 0;             // of the table; NaN when unknown
    };
    struct Options {
        int dims = 0;            // axes used; 0 for the default
        int count = 0;           // clusters; 0 for the suggested cut
        bool consolidate = false;
        int exactLimit = 10000;
        int centres = 1000;
        std::uint64_t seed = 35;
        int paragons = 5;        // paragons and specific rows kept per cluster
        int minCount = 3;        // the range the suggestion is sought in
        int maxCount = 10;
    };
    struct Cluster {
        std::vector<int> rows;       // increasing
        double mass = 0;
        double within = 0;           // inertia of its rows about its centre
        std::vector<double> centre;  // weighted, on the axes used
        std::vector<int> paragons;   // rows nearest its centre, nearest first
        std::vector<int> specific;   // rows farthest from the other centres
    };
    enum Status { Done, Cancelled, Failed };
    // A stage's name and the share of it done.
    using Progress = std::function<void(const QString &, double)>;

    // The axes used when none are asked: the first ones, up to those that
    // hold together at least 80 % of the inertia (of the table when known,
    // otherwise of the axes computed), at most 10.
    static int defaultDims(const Input &input);

    Status run(const Input &input, const Options &options, const std::atomic<bool> *cancel = nullptr,
               const Progress &progress = Progress());
    // Why the last run failed, as a sentence.
    QString error() const { return m_error; }

    int dims() const { return m_dims; }
    int suggested() const { return m_suggested; }
    // The gains of between-cluster inertia of the hierarchy, from the top:
    // gains()[k - 1] is what going from k to k + 1 clusters adds.
    const std::vector<double> &gains() const { return m_gains; }
    // Inertia of the usable rows on the axes used, and its between-cluster
    // part for the partition made.
    double inertia() const { return m_inertia; }
    double between() const { return m_between; }
    // The inertia of the rows gathered in each k-means centre, which no cut
    // of the hierarchy of centres separates (0 when exact).
    double residual() const { return m_residual; }
    bool exact() const { return m_exact; }
    int leaves() const { return m_leaves; }
    int leftOut() const { return m_leftOut; }
    int distinctPoints() const { return m_distinct; }
    // Numbered by decreasing size (ties: the one with the lower first row).
    const std::vector<Cluster> &clusters() const { return m_clusters; }
    // Per row, its cluster's index in clusters(); -1 when left out.
    const std::vector<int> &partition() const { return m_partition; }

private:
    Status fail(const QString &why);
    // Paragons and specific rows; `local` is the cluster of each usable row.
    void describe(const std::vector<double> &points, const std::vector<int> &local, const std::vector<int> &used,
                  int paragons);

    QString m_error;
    int m_dims = 0;
    int m_suggested = 0;
    std::vector<double> m_gains;
    double m_inertia = 0;
    double m_between = 0;
    double m_residual = 0;
    bool m_exact = true;
    int m_leaves = 0;
    int m_leftOut = 0;
    int m_distinct = 0;
    std::vector<Cluster> m_clusters;
    std::vector<int> m_partition;
};

#endif // CLUSTERANALYSIS_H
