#include "data/statistics/clusteranalysis.h"
#include "data/statistics/weightedkmeans.h"

#include <QtTest>

#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <random>

// The clustering of an analysis's rows: the suggested cut, the paragons, the
// path through k-means for many rows, cancellation and refused input, on
// clouds the test makes.
class TestClusterAnalysis : public QObject
{
    Q_OBJECT

    // An analysis of `n` rows around `blobs` centres far apart on 3 axes,
    // with random masses; `spread` the blobs' size.
    struct Cloud {
        std::vector<double> z, masses, lambda{0.4, 0.3, 0.3};
        std::vector<int> blob;
        ClusterAnalysis::Input input()
        {
            ClusterAnalysis::Input in;
            in.coordinates = z.data();
            in.rows = int(masses.size());
            in.stride = 3;
            in.axes = 3;
            in.masses = masses.data();
            in.inertias = lambda.data();
            in.inertiaCount = 3;
            in.totalInertia = 1;
            return in;
        }
    };
    static Cloud cloud(int n, int blobs, unsigned seed, double spread = 0.3)
    {
        std::mt19937 rng(seed);
        std::normal_distribution<double> noise(0, spread);
        std::uniform_real_distribution<double> mass(0.5, 2);
        Cloud c;
        double total = 0;
        for (int i = 0; i < n; ++i) {
            const int b = i % blobs;
            c.blob.push_back(b);
            for (int t = 0; t < 3; ++t)
                c.z.push_back(10.0 * ((b >> t) & 1) + noise(rng));
            c.masses.push_back(mass(rng));
            total += c.masses.back();
        }
        for (double &m : c.masses)
            m /= total;
        return c;
    }

    // Whether two labellings are the same partition up to renumbering.
    static bool samePartition(const std::vector<int> &a, const std::vector<int> &b)
    {
        if (a.size() != b.size())
            return false;
        std::map<int, int> ab, ba;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (ab.emplace(a[i], b[i]).first->second != b[i])
                return false;
            if (ba.emplace(b[i], a[i]).first->second != a[i])
                return false;
        }
        return true;
    }

    // Plain Lloyd's iterations, every point against every centre each time.
    static std::vector<int> lloyd(const std::vector<double> &x, const std::vector<double> &w, int dims,
                                  std::vector<double> centres, int iterations)
    {
        const std::size_t n = w.size();
        const int k = int(centres.size()) / dims;
        std::vector<int> label(n, 0);
        for (int it = 0; it <= iterations; ++it) {
            bool changed = false;
            for (std::size_t i = 0; i < n; ++i) {
                double best = std::numeric_limits<double>::infinity();
                int at = 0;
                for (int c = 0; c < k; ++c) {
                    double s = 0;
                    for (int t = 0; t < dims; ++t)
                        s += std::pow(x[i * std::size_t(dims) + std::size_t(t)] - centres[std::size_t(c * dims + t)], 2);
                    if (s < best) {
                        best = s;
                        at = c;
                    }
                }
                changed = changed || (it > 0 && at != label[i]);
                label[i] = at;
            }
            if (it > 0 && !changed)
                break;
            std::vector<double> sum(centres.size(), 0.0), mass(std::size_t(k), 0.0);
            for (std::size_t i = 0; i < n; ++i) {
                mass[std::size_t(label[i])] += w[i];
                for (int t = 0; t < dims; ++t)
                    sum[std::size_t(label[i] * dims + t)] += w[i] * x[i * std::size_t(dims) + std::size_t(t)];
            }
            for (int c = 0; c < k; ++c)
                if (mass[std::size_t(c)] > 0)
                    for (int t = 0; t < dims; ++t)
                        centres[std::size_t(c * dims + t)] = sum[std::size_t(c * dims + t)] / mass[std::size_t(c)];
        }
        return label;
    }

private slots:
    void suggestedCut_data()
    {
        QTest::addColumn<int>("blobs");
        QTest::newRow("3 groups") << 3;
        QTest::newRow("5 groups") << 5;
        QTest::newRow("8 groups") << 8;
    }

    // Groups well apart: the suggested cut finds them, the partition is
    // theirs, and the between-cluster inertia is the cloud's inertia less
    // each group's about its own weighted centre.
    void suggestedCut()
    {
        QFETCH(int, blobs);
        Cloud c = cloud(400, blobs, 11);
        ClusterAnalysis analysis;
        QCOMPARE(analysis.run(c.input(), ClusterAnalysis::Options()), ClusterAnalysis::Done);
        QCOMPARE(analysis.dims(), 3);
        QCOMPARE(analysis.suggested(), blobs);
        QCOMPARE(int(analysis.clusters().size()), blobs);
        QVERIFY(samePartition(analysis.partition(), c.blob));
        double within = 0;
        for (int b = 0; b < blobs; ++b) {
            double m = 0, g[3] = {0, 0, 0};
            for (std::size_t i = 0; i < c.masses.size(); ++i)
                if (c.blob[i] == b) {
                    m += c.masses[i];
                    for (int t = 0; t < 3; ++t)
                        g[t] += c.masses[i] * c.z[3 * i + std::size_t(t)];
                }
            for (std::size_t i = 0; i < c.masses.size(); ++i)
                if (c.blob[i] == b)
                    for (int t = 0; t < 3; ++t)
                        within += c.masses[i] * std::pow(c.z[3 * i + std::size_t(t)] - g[t] / m, 2);
        }
        QVERIFY(std::fabs(analysis.inertia() - analysis.between() - within) < 1e-9 * analysis.inertia());
        // Numbered by decreasing size.
        for (std::size_t k = 1; k < analysis.clusters().size(); ++k)
            QVERIFY(analysis.clusters()[k - 1].rows.size() >= analysis.clusters()[k].rows.size());
    }

    void paragons_data()
    {
        QTest::addColumn<bool>("consolidate");
        QTest::newRow("the cut") << false;
        QTest::newRow("consolidated") << true;
    }

    // Paragons: the rows nearest their cluster's weighted centre; specific
    // rows: those whose nearest other centre is farthest.
    void paragons()
    {
        QFETCH(bool, consolidate);
        Cloud c = cloud(150, 4, 5, 1.5);
        ClusterAnalysis::Options options;
        options.count = 4;
        options.consolidate = consolidate;
        options.paragons = 3;
        ClusterAnalysis analysis;
        QCOMPARE(analysis.run(c.input(), options), ClusterAnalysis::Done);
        const auto &clusters = analysis.clusters();
        std::vector<std::array<double, 3>> centre;
        for (const auto &cl : clusters) {
            std::array<double, 3> g{0, 0, 0};
            double m = 0;
            for (const int i : cl.rows) {
                m += c.masses[std::size_t(i)];
                for (int t = 0; t < 3; ++t)
                    g[std::size_t(t)] += c.masses[std::size_t(i)] * c.z[3 * std::size_t(i) + std::size_t(t)];
            }
            for (double &v : g)
                v /= m;
            centre.push_back(g);
        }
        auto dist = [&](int i, std::size_t k) {
            double s = 0;
            for (int t = 0; t < 3; ++t)
                s += std::pow(c.z[3 * std::size_t(i) + std::size_t(t)] - centre[k][std::size_t(t)], 2);
            return s;
        };
        for (std::size_t k = 0; k < clusters.size(); ++k) {
            std::vector<std::pair<double, int>> near, apart;
            for (const int i : clusters[k].rows) {
                near.push_back({dist(i, k), i});
                double other = std::numeric_limits<double>::infinity();
                for (std::size_t o = 0; o < clusters.size(); ++o)
                    if (o != k)
                        other = std::min(other, dist(i, o));
                apart.push_back({other, i});
            }
            std::sort(near.begin(), near.end());
            std::sort(apart.begin(), apart.end(), [](auto a, auto b) { return a.first > b.first; });
            QCOMPARE(int(clusters[k].paragons.size()), 3);
            for (int p = 0; p < 3; ++p) {
                QCOMPARE(clusters[k].paragons[std::size_t(p)], near[std::size_t(p)].second);
                QCOMPARE(clusters[k].specific[std::size_t(p)], apart[std::size_t(p)].second);
            }
        }
    }

    void hamerly_data()
    {
        QTest::addColumn<int>("k");
        QTest::addColumn<unsigned>("seed");
        QTest::newRow("5 centres") << 5 << 1u;
        QTest::newRow("40 centres") << 40 << 2u;
    }

    // The bounds only skip work: the labels are those of plain Lloyd's
    // iterations from the same start.
    void hamerly()
    {
        QFETCH(int, k);
        QFETCH(unsigned, seed);
        Cloud c = cloud(2000, 6, seed, 3);
        WeightedKMeans km(c.z.data(), c.masses.data(), c.masses.size(), 3);
        const std::vector<double> start = km.seedCentres(k, seed, 500);
        QCOMPARE(int(start.size()), 3 * k);
        QVERIFY(km.run(start, 100));
        QVERIFY(km.converged());
        QCOMPARE(km.labels(), lloyd(c.z, c.masses, 3, start, 100));
    }

    void manyRows_data()
    {
        QTest::addColumn<bool>("consolidate");
        QTest::newRow("gathered") << false;
        QTest::newRow("gathered and consolidated") << true;
    }

    // Above the exact limit the rows are gathered into centres first: the
    // same seed gives the same partition, and groups well apart are found.
    void manyRows()
    {
        QFETCH(bool, consolidate);
        Cloud c = cloud(6000, 5, 3);
        ClusterAnalysis::Options options;
        options.exactLimit = 1000;
        options.centres = 60;
        options.consolidate = consolidate;
        ClusterAnalysis first, second;
        QCOMPARE(first.run(c.input(), options), ClusterAnalysis::Done);
        QCOMPARE(second.run(c.input(), options), ClusterAnalysis::Done);
        QVERIFY(!first.exact());
        QCOMPARE(first.leaves(), 60);
        QCOMPARE(first.partition(), second.partition());
        QCOMPARE(first.suggested(), 5);
        QVERIFY(samePartition(first.partition(), c.blob));
        // What the hierarchy explains plus what stays inside the centres is
        // the cloud's inertia.
        double gains = 0;
        for (const double g : first.gains())
            gains += g;
        QVERIFY(std::fabs(gains + first.residual() - first.inertia()) < 1e-9 * first.inertia());
    }

    void cancel_data()
    {
        QTest::addColumn<int>("exactLimit");
        QTest::addColumn<int>("calls");
        QTest::newRow("exact, before") << 10000 << 0;
        QTest::newRow("exact, while running") << 10000 << 2;
        QTest::newRow("gathered, before") << 1000 << 0;
        QTest::newRow("gathered, while running") << 1000 << 2;
    }

    void cancel()
    {
        QFETCH(int, exactLimit);
        QFETCH(int, calls);
        Cloud c = cloud(4000, 4, 8);
        ClusterAnalysis::Options options;
        options.exactLimit = exactLimit;
        options.centres = 200;
        std::atomic<bool> stop(calls == 0);
        int seen = 0;
        ClusterAnalysis analysis;
        const auto status = analysis.run(c.input(), options, &stop, [&](const QString &, double) {
            if (++seen == calls)
                stop = true;
        });
        QCOMPARE(status, ClusterAnalysis::Cancelled);
        QVERIFY(analysis.clusters().empty());
        QCOMPARE(seen, calls);
    }

    void badInput_data()
    {
        QTest::addColumn<QVector<double>>("z"); // 2 axes per row
        QTest::addColumn<int>("dims");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("message"); // empty: clustered
        QTest::addColumn<int>("leftOut");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("one image") << QVector<double>{1, 2} << 0 << 0 << "one image" << 0;
        QTest::newRow("all on one point") << QVector<double>{1, 2, 1, 2, 1, 2} << 0 << 0 << "lie at one point" << 0;
        QTest::newRow("cut above distinct points")
            << QVector<double>{0, 0, 1, 1, 1, 1, 0, 0} << 0 << 3 << "only 2 distinct points" << 0;
        QTest::newRow("more axes than computed") << QVector<double>{0, 0, 1, 1, 2, 2} << 3 << 0 << "2 axes computed"
                                                 << 0;
        QTest::newRow("every coordinate unusable")
            << QVector<double>{nan, 0, 1, nan} << 0 << 0 << "no image has usable coordinates" << 2;
        QTest::newRow("one usable image left") << QVector<double>{nan, 0, 1, 1} << 0 << 0 << "left out" << 1;
        QTest::newRow("unusable coordinates left out")
            << QVector<double>{0, 0, nan, 1, 5, 5, 0.1, 0, 5, 5.1, std::numeric_limits<double>::infinity(), 0} << 0
            << 2 << QString() << 2;
    }

    // Refused with a sentence that says why, or clustered without the rows
    // that cannot be placed, counted.
    void badInput()
    {
        QFETCH(QVector<double>, z);
        QFETCH(int, dims);
        QFETCH(int, count);
        QFETCH(QString, message);
        QFETCH(int, leftOut);
        const int rows = int(z.size()) / 2;
        std::vector<double> masses(std::size_t(rows), 1.0 / rows);
        const double lambda[2] = {0.6, 0.4};
        ClusterAnalysis::Input in;
        in.coordinates = z.constData();
        in.rows = rows;
        in.stride = 2;
        in.axes = 2;
        in.masses = masses.data();
        in.inertias = lambda;
        in.inertiaCount = 2;
        in.totalInertia = 1;
        ClusterAnalysis::Options options;
        options.dims = dims;
        options.count = count;
        ClusterAnalysis analysis;
        const auto status = analysis.run(in, options);
        if (message.isEmpty()) {
            QCOMPARE(status, ClusterAnalysis::Done);
            QCOMPARE(analysis.leftOut(), leftOut);
            QCOMPARE(int(analysis.clusters().size()), count);
            for (int i = 0; i < rows; ++i)
                QCOMPARE(analysis.partition()[std::size_t(i)] < 0,
                         !std::isfinite(z[2 * i]) || !std::isfinite(z[2 * i + 1]));
        } else {
            QCOMPARE(status, ClusterAnalysis::Failed);
            QVERIFY2(analysis.error().contains(message), qPrintable(analysis.error()));
        }
    }

    void defaultDims_data()
    {
        QTest::addColumn<QVector<double>>("lambda");
        QTest::addColumn<double>("total");
        QTest::addColumn<int>("dims");
        QTest::newRow("80 % on three axes") << QVector<double>{0.5, 0.2, 0.15, 0.1, 0.05} << 1.0 << 3;
        QTest::newRow("of the table, not of the axes computed") << QVector<double>{0.3, 0.2, 0.1} << 1.0 << 3;
        QTest::newRow("total unknown: of the axes computed")
            << QVector<double>{0.3, 0.2, 0.1} << std::numeric_limits<double>::quiet_NaN() << 2;
        QTest::newRow("at most 10") << QVector<double>(20, 0.05) << 1.0 << 10;
    }

    void defaultDims()
    {
        QFETCH(QVector<double>, lambda);
        QFETCH(double, total);
        QFETCH(int, dims);
        ClusterAnalysis::Input in;
        in.axes = int(lambda.size());
        in.stride = in.axes;
        in.inertias = lambda.constData();
        in.inertiaCount = in.axes;
        in.totalInertia = total;
        QCOMPARE(ClusterAnalysis::defaultDims(in), dims);
    }
};

QTEST_GUILESS_MAIN(TestClusterAnalysis)
#include "tst_clusteranalysis.moc"
