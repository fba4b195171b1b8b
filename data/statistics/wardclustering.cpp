#include "data/statistics/wardclustering.h"

#include <algorithm>
#include <cstddef>
#include <numeric>

namespace {

// Disjoint sets over the points, each set knowing the tree node it is.
struct Sets {
    std::vector<int> parent;
    std::vector<int> node;
    explicit Sets(int n)
        : parent(static_cast<std::size_t>(n))
        , node(static_cast<std::size_t>(n))
    {
        std::iota(parent.begin(), parent.end(), 0);
        std::iota(node.begin(), node.end(), 0);
    }
    int find(int x)
    {
        while (parent[std::size_t(x)] != x) {
            parent[std::size_t(x)] = parent[std::size_t(parent[std::size_t(x)])];
            x = parent[std::size_t(x)];
        }
        return x;
    }
};

} // namespace

bool WardClustering::run(const double *points, const double *weights, int n, int dims,
                         const std::atomic<bool> *cancel, const Progress &progress)
{
    m_points = 0;
    m_merges.clear();
    if (n <= 0)
        return true;
    const std::size_t d = std::size_t(dims);
    // Slot s always holds the cluster that contains point s (while active):
    // its weighted centre, weight and size.
    std::vector<double> centre(points, points + std::size_t(n) * d);
    std::vector<double> weight(weights, weights + n);
    std::vector<int> size(std::size_t(n), 1);
    // The active slots, packed, and where each sits in that list.
    std::vector<int> active(static_cast<std::size_t>(n));
    std::iota(active.begin(), active.end(), 0);
    std::vector<int> place(active);

    auto cost = [&](int a, int b) {
        const double *ca = &centre[std::size_t(a) * d];
        const double *cb = &centre[std::size_t(b) * d];
        double sq = 0;
        for (std::size_t k = 0; k < d; ++k) {
            const double t = ca[k] - cb[k];
            sq += t * t;
        }
        const double wa = weight[std::size_t(a)];
        const double wb = weight[std::size_t(b)];
        return wa * wb / (wa + wb) * sq;
    };

    struct Joined {
        int a, b;
        double gain;
    };
    std::vector<Joined> joined;
    joined.reserve(std::size_t(n - 1));
    std::vector<int> chain;
    chain.reserve(std::size_t(n));
    while (active.size() > 1) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return false;
        if (chain.empty())
            chain.push_back(active.front());
        for (;;) {
            const int a = chain.back();
            // The previous link is kept on a tie, so the chain always ends.
            int best = -1;
            double bestCost = 0;
            if (chain.size() >= 2) {
                best = chain[chain.size() - 2];
                bestCost = cost(a, best);
            }
            for (const int c : active) {
                if (c == a)
                    continue;
                const double v = cost(a, c);
                if (best < 0 || v < bestCost) {
                    best = c;
                    bestCost = v;
                }
            }
            if (chain.size() >= 2 && best == chain[chain.size() - 2]) {
                chain.pop_back();
                chain.pop_back();
                // Reciprocal nearest neighbours: join them, in the lower slot.
                const int keep = std::min(a, best);
                const int gone = std::max(a, best);
                joined.push_back({keep, gone, bestCost});
                const double wk = weight[std::size_t(keep)];
                const double wg = weight[std::size_t(gone)];
                double *ck = &centre[std::size_t(keep) * d];
                const double *cg = &centre[std::size_t(gone) * d];
                for (std::size_t k = 0; k < d; ++k)
                    ck[k] = (wk * ck[k] + wg * cg[k]) / (wk + wg);
                weight[std::size_t(keep)] = wk + wg;
                size[std::size_t(keep)] += size[std::size_t(gone)];
                const int at = place[std::size_t(gone)];
                active[std::size_t(at)] = active.back();
                place[std::size_t(active[std::size_t(at)])] = at;
                active.pop_back();
                break;
            }
            chain.push_back(best);
            if (cancel && cancel->load(std::memory_order_relaxed))
                return false;
        }
        if (progress && joined.size() % 64 == 0) {
            // The work of a merge shrinks with the clusters left.
            const double left = double(active.size()) / n;
            progress(1 - left * left);
        }
    }

    // In order of gain; a merge never costs less than those it builds on,
    // and the chain records those first, so a stable sort keeps them first.
    std::stable_sort(joined.begin(), joined.end(), [](const Joined &x, const Joined &y) { return x.gain < y.gain; });
    Sets sets(n);
    m_merges.reserve(joined.size());
    std::vector<int> members(std::size_t(n), 1);
    for (const Joined &j : joined) {
        const int ra = sets.find(j.a);
        const int rb = sets.find(j.b);
        Merge m;
        m.a = std::min(sets.node[std::size_t(ra)], sets.node[std::size_t(rb)]);
        m.b = std::max(sets.node[std::size_t(ra)], sets.node[std::size_t(rb)]);
        m.gain = j.gain;
        m.size = members[std::size_t(ra)] + members[std::size_t(rb)];
        sets.parent[std::size_t(rb)] = ra;
        members[std::size_t(ra)] = m.size;
        sets.node[std::size_t(ra)] = n + int(m_merges.size());
        m_merges.push_back(m);
    }
    m_points = n;
    if (progress)
        progress(1);
    return true;
}

std::vector<double> WardClustering::gains() const
{
    std::vector<double> g;
    g.reserve(m_merges.size());
    for (auto it = m_merges.rbegin(); it != m_merges.rend(); ++it)
        g.push_back(it->gain);
    return g;
}

std::vector<int> WardClustering::cut(int k) const
{
    const int n = m_points;
    std::vector<int> cluster(std::size_t(n), -1);
    if (n == 0)
        return cluster;
    k = std::clamp(k, 1, n);
    // Which point stands for each tree node, to follow the merges as unions.
    std::vector<int> first(std::size_t(n) + m_merges.size());
    std::iota(first.begin(), first.begin() + n, 0);
    Sets sets(n);
    for (std::size_t i = 0; i < m_merges.size(); ++i) {
        const Merge &m = m_merges[i];
        first[std::size_t(n) + i] = std::min(first[std::size_t(m.a)], first[std::size_t(m.b)]);
        if (int(i) < n - k) {
            const int ra = sets.find(first[std::size_t(m.a)]);
            const int rb = sets.find(first[std::size_t(m.b)]);
            sets.parent[std::size_t(std::max(ra, rb))] = std::min(ra, rb);
        }
    }
    std::vector<int> number(std::size_t(n), -1);
    int next = 0;
    for (int p = 0; p < n; ++p) {
        const int r = sets.find(p);
        if (number[std::size_t(r)] < 0)
            number[std::size_t(r)] = next++;
        cluster[std::size_t(p)] = number[std::size_t(r)];
    }
    return cluster;
}
