#include "data/statistics/wardclustering.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

using Points = QVector<double>;
// One merge as the sets of points it joins and its gain.
struct Step {
    std::set<int> a, b;
    double gain;
    int size = 0; // as the tree says, 0 for the reference
};
Q_DECLARE_METATYPE(Points)

// Ward's hierarchy against cases worked by hand and against the definition
// itself: at each step, of all pairs of clusters, the one whose union raises
// the within-cluster inertia (summed over the points) the least.
class TestWardClustering : public QObject
{
    Q_OBJECT

    // Within-cluster inertia of `members` about their weighted mean.
    static double within(const Points &x, const Points &w, int dims, const std::set<int> &members)
    {
        double mass = 0;
        std::vector<double> g(std::size_t(dims), 0.0);
        for (const int i : members) {
            mass += w[i];
            for (int t = 0; t < dims; ++t)
                g[std::size_t(t)] += w[i] * x[i * dims + t];
        }
        double s = 0;
        for (const int i : members)
            for (int t = 0; t < dims; ++t) {
                const double v = x[i * dims + t] - g[std::size_t(t)] / mass;
                s += w[i] * v * v;
            }
        return s;
    }

    // The hierarchy by trying every pair at every step: O(n^3) unions.
    static std::vector<Step> bruteForce(const Points &x, const Points &w, int dims)
    {
        std::vector<std::set<int>> clusters;
        for (int i = 0; i < w.size(); ++i)
            clusters.push_back({i});
        std::vector<Step> steps;
        while (clusters.size() > 1) {
            std::size_t ba = 0, bb = 1;
            double best = std::numeric_limits<double>::infinity();
            for (std::size_t a = 0; a < clusters.size(); ++a)
                for (std::size_t b = a + 1; b < clusters.size(); ++b) {
                    std::set<int> u = clusters[a];
                    u.insert(clusters[b].begin(), clusters[b].end());
                    const double rise = within(x, w, dims, u) - within(x, w, dims, clusters[a])
                                        - within(x, w, dims, clusters[b]);
                    if (rise < best) {
                        best = rise;
                        ba = a;
                        bb = b;
                    }
                }
            steps.push_back({clusters[ba], clusters[bb], best});
            clusters[ba].insert(clusters[bb].begin(), clusters[bb].end());
            clusters.erase(clusters.begin() + std::ptrdiff_t(bb));
        }
        return steps;
    }

    // The merges of `ward` as sets of points.
    static std::vector<Step> steps(const WardClustering &ward)
    {
        const int n = ward.points();
        std::vector<std::set<int>> node;
        for (int i = 0; i < n; ++i)
            node.push_back({i});
        std::vector<Step> out;
        for (const WardClustering::Merge &m : ward.merges()) {
            out.push_back({node[std::size_t(m.a)], node[std::size_t(m.b)], m.gain, m.size});
            std::set<int> u = node[std::size_t(m.a)];
            u.insert(node[std::size_t(m.b)].begin(), node[std::size_t(m.b)].end());
            node.push_back(u);
        }
        return out;
    }

    static void compareSteps(const std::vector<Step> &got, const std::vector<Step> &want)
    {
        QCOMPARE(got.size(), want.size());
        for (std::size_t s = 0; s < want.size(); ++s) {
            const bool same = (got[s].a == want[s].a && got[s].b == want[s].b)
                              || (got[s].a == want[s].b && got[s].b == want[s].a);
            QVERIFY2(same, qPrintable(QStringLiteral("merge %1 joins other clusters").arg(s)));
            QCOMPARE(got[s].size, int(want[s].a.size() + want[s].b.size()));
            QVERIFY2(std::fabs(got[s].gain - want[s].gain) <= 1e-10 * std::max(1.0, want[s].gain),
                     qPrintable(QStringLiteral("merge %1: gain %2, expected %3")
                                    .arg(s)
                                    .arg(got[s].gain, 0, 'g', 17)
                                    .arg(want[s].gain, 0, 'g', 17)));
        }
    }

    static void cloud(int n, int dims, unsigned seed, Points &x, Points &w)
    {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> coord(-1, 1);
        std::uniform_real_distribution<double> mass(0.2, 3);
        x.clear();
        w.clear();
        double total = 0;
        for (int i = 0; i < n; ++i) {
            for (int t = 0; t < dims; ++t)
                x << coord(rng);
            w << mass(rng);
            total += w.last();
        }
        for (double &v : w)
            v /= total;
    }

private slots:
    void handWorked_data()
    {
        QTest::addColumn<Points>("x");
        QTest::addColumn<Points>("w");
        QTest::addColumn<int>("dims");
        QTest::addColumn<Points>("merges"); // a, b, gain per merge
        QTest::addColumn<int>("two");       // the point alone when cut in two
        // 0, 1, 4, 10 a quarter each: {0,1} for 1/8 of 1^2; then 4 joins at
        // (1/2 1/4 / 3/4) 3.5^2 = 12.25/6; then 10 at 3/16 (10 - 5/3)^2.
        QTest::newRow("line") << Points{0, 1, 4, 10} << Points{0.25, 0.25, 0.25, 0.25} << 1
                              << Points{0, 1, 0.125, 2, 4, 12.25 / 6, 3, 5, 0.1875 * (25.0 / 3) * (25.0 / 3)} << 3;
        // The weights turn the order: 0 and 1 are nearest, but with masses
        // .8 .1 .1 joining 1 and 2.2 costs .05 * 1.44 = .072 < .08/.9.
        // Then .8 .2 / 1 * 1.6^2.
        QTest::newRow("weights") << Points{0, 1, 2.2} << Points{0.8, 0.1, 0.1} << 1
                                 << Points{1, 2, 0.072, 0, 3, 0.16 * 2.56} << 0;
        // The corners of a 1 x 3 rectangle and a far point, a fifth each:
        // the short sides first at .2 .2 / .4 * 1 (equal gains: the lower
        // points first), then the two sides at .4 .4 / .8 * 3^2, then the
        // far point at .8 .2 / 1 * (19.5^2 + 1.5^2).
        QTest::newRow("rectangle") << Points{0, 0, 1, 0, 0, 3, 1, 3, 20, 0} << Points{0.2, 0.2, 0.2, 0.2, 0.2} << 2
                                   << Points{0, 1, 0.1, 2, 3, 0.1, 5, 6, 0.2 * 9, 4, 7,
                                             0.16 * (19.5 * 19.5 + 1.5 * 1.5)}
                                << 4;
    }

    // Merge order, tree numbering and gains of small cases worked by hand.
    void handWorked()
    {
        QFETCH(Points, x);
        QFETCH(Points, w);
        QFETCH(int, dims);
        QFETCH(Points, merges);
        QFETCH(int, two);
        WardClustering ward;
        QVERIFY(ward.run(x.constData(), w.constData(), int(w.size()), dims));
        QCOMPARE(int(ward.merges().size()), int(w.size()) - 1);
        for (std::size_t m = 0; m < ward.merges().size(); ++m) {
            QCOMPARE(ward.merges()[m].a, int(merges[int(3 * m)]));
            QCOMPARE(ward.merges()[m].b, int(merges[int(3 * m + 1)]));
            QVERIFY2(std::fabs(ward.merges()[m].gain - merges[int(3 * m + 2)]) < 1e-12,
                     qPrintable(QString::number(ward.merges()[m].gain, 'g', 17)));
        }
        // The gains add up to the inertia of the cloud.
        std::set<int> all;
        for (int i = 0; i < w.size(); ++i)
            all.insert(i);
        const std::vector<double> g = ward.gains();
        QVERIFY(std::fabs(std::accumulate(g.begin(), g.end(), 0.0) - within(x, w, dims, all)) < 1e-12);
        const std::vector<int> cut = ward.cut(2);
        for (int i = 0; i < w.size(); ++i)
            QCOMPARE(cut[std::size_t(i)] != cut[std::size_t(two)], i != two);
    }

    void bruteForce_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("dims");
        QTest::addColumn<unsigned>("seed");
        QTest::newRow("12 points on a line") << 12 << 1 << 1u;
        QTest::newRow("30 points in 3D") << 30 << 3 << 2u;
        QTest::newRow("45 points in 5D") << 45 << 5 << 3u;
        QTest::newRow("60 points in 2D") << 60 << 2 << 4u;
    }

    // Every merge and gain the same as the exhaustive search gives, and
    // every cut the partition that search has at that step.
    void bruteForce()
    {
        QFETCH(int, n);
        QFETCH(int, dims);
        QFETCH(unsigned, seed);
        Points x, w;
        cloud(n, dims, seed, x, w);
        WardClustering ward;
        QVERIFY(ward.run(x.constData(), w.constData(), n, dims));
        const std::vector<Step> want = bruteForce(x, w, dims);
        compareSteps(steps(ward), want);
        // Cut into k: points share a cluster exactly when the first n - k
        // steps joined them.
        for (const int k : {2, 3, n / 2}) {
            std::vector<int> owner(static_cast<std::size_t>(n));
            std::iota(owner.begin(), owner.end(), 0);
            for (int s = 0; s < n - k; ++s) {
                const int to = owner[std::size_t(*want[std::size_t(s)].a.begin())];
                const int from = owner[std::size_t(*want[std::size_t(s)].b.begin())];
                for (int &o : owner)
                    if (o == from)
                        o = to;
            }
            const std::vector<int> cut = ward.cut(k);
            QCOMPARE(*std::max_element(cut.begin(), cut.end()), k - 1);
            for (int i = 0; i < n; ++i)
                for (int j = i + 1; j < n; ++j)
                    QCOMPARE(cut[std::size_t(i)] == cut[std::size_t(j)],
                             owner[std::size_t(i)] == owner[std::size_t(j)]);
        }
    }

    void cancel_data()
    {
        QTest::addColumn<bool>("before");
        QTest::newRow("raised before") << true;
        QTest::newRow("raised while running") << false;
    }

    // A raised flag stops the work and leaves no tree.
    void cancel()
    {
        QFETCH(bool, before);
        Points x, w;
        cloud(3000, 4, 9, x, w);
        std::atomic<bool> stop(before);
        int calls = 0;
        WardClustering ward;
        const bool done = ward.run(x.constData(), w.constData(), 3000, 4, &stop, [&](double) {
            if (++calls == 2)
                stop = true;
        });
        QVERIFY(!done);
        QVERIFY(ward.merges().empty());
        QVERIFY(before ? calls == 0 : calls == 2);
    }
};

QTEST_GUILESS_MAIN(TestWardClustering)
#include "tst_wardclustering.moc"
