// How well a category keeps together on the map: the grid search must give
// the share a plain search over every pair gives, on clouds that stress it
// (knots, stacks, lines, far outliers, points off the map), and a measure
// on a sample of a large category must say on how many images it rests.
#include "map/categoryagreement.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

struct Cloud
{
    std::vector<double> x, y;
    std::vector<int> category;
};

// The plain definition: for each finite image of the category, every other
// finite image ordered by squared distance and then by number; the share of
// the first k in the category, averaged.
double reference(const Cloud &c, int category, int k)
{
    const int n = int(c.x.size());
    auto placed = [&](int i) { return std::isfinite(c.x[size_t(i)]) && std::isfinite(c.y[size_t(i)]); };
    double total = 0;
    int measured = 0;
    for (int i = 0; i < n; ++i) {
        if (c.category[size_t(i)] != category || !placed(i))
            continue;
        std::vector<std::pair<double, int>> d;
        for (int j = 0; j < n; ++j)
            if (j != i && placed(j))
                d.push_back({std::pow(c.x[size_t(j)] - c.x[size_t(i)], 2) + std::pow(c.y[size_t(j)] - c.y[size_t(i)], 2), j});
        std::sort(d.begin(), d.end());
        const int m = std::min<int>(k, int(d.size()));
        int alike = 0;
        for (int t = 0; t < m; ++t)
            alike += c.category[size_t(d[size_t(t)].second)] == category;
        total += m > 0 ? double(alike) / m : 0;
        measured += m > 0;
    }
    return measured > 0 ? total / measured : 0;
}

Cloud random(int n, int categories, unsigned seed, double spreadY = 1)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0, 1);
    Cloud c;
    for (int i = 0; i < n; ++i) {
        const int k = int(rng() % unsigned(categories));
        c.category.push_back(k);
        c.x.push_back(g(rng) + 0.8 * k);
        c.y.push_back(spreadY * (g(rng) - 0.5 * k));
    }
    return c;
}

} // namespace

Q_DECLARE_METATYPE(Cloud)

class TestCategoryAgreement : public QObject
{
    Q_OBJECT
private slots:
    void matchesPlainSearch_data();
    void matchesPlainSearch();
    void largeCategoryMeasuredOnASample();
};

void TestCategoryAgreement::matchesPlainSearch_data()
{
    QTest::addColumn<Cloud>("cloud");
    QTest::newRow("overlapping clouds") << random(1500, 4, 1);
    QTest::newRow("a line (no height)") << random(800, 3, 2, 0.0);
    Cloud knot = random(600, 3, 3, 0.001);
    for (int i = 0; i < 5; ++i) { // far outliers stretch the extent
        knot.x.push_back(1e4 * (i + 1));
        knot.y.push_back(-1e4 * i);
        knot.category.push_back(i % 3);
    }
    QTest::newRow("dense knot and far outliers") << knot;
    Cloud stack = random(300, 3, 4);
    for (int i = 0; i < 200; ++i) { // identical images of mixed categories
        stack.x.push_back(0.5);
        stack.y.push_back(0.5);
        stack.category.push_back((i * 7) % 3);
    }
    QTest::newRow("stacked images") << stack;
    Cloud off = random(400, 2, 5);
    off.x[3] = std::nan("");
    off.y[10] = INFINITY;
    off.category[20] = -1; // a neighbour of no category
    QTest::newRow("points off the map") << off;
    Cloud lattice; // many images at equal distances: the lower number first
    for (int i = 0; i < 400; ++i) {
        lattice.x.push_back(i % 20);
        lattice.y.push_back(i / 20);
        lattice.category.push_back((i * 13) % 3);
    }
    QTest::newRow("a lattice (equal distances)") << lattice;
}

void TestCategoryAgreement::matchesPlainSearch()
{
    QFETCH(Cloud, cloud);
    const CategoryAgreement agreement(cloud.x, cloud.y, cloud.category);
    const int categories = *std::max_element(cloud.category.begin(), cloud.category.end()) + 1;
    for (int k : {1, 10}) {
        for (int category = 0; category < categories; ++category) {
            const CategoryAgreement::Share s = agreement.of(category, k, 100000);
            QVERIFY2(std::abs(s.alike - reference(cloud, category, k)) < 1e-12,
                     qPrintable(QStringLiteral("category %1, k %2: %3 against %4")
                                    .arg(category).arg(k).arg(s.alike).arg(reference(cloud, category, k))));
            QCOMPARE(s.measured, s.images);
        }
    }
}

void TestCategoryAgreement::largeCategoryMeasuredOnASample()
{
    const Cloud c = random(3000, 2, 6);
    const CategoryAgreement agreement(c.x, c.y, c.category);
    const CategoryAgreement::Share all = agreement.of(0, 10, 100000);
    const CategoryAgreement::Share some = agreement.of(0, 10, 300);
    QCOMPARE(some.measured, 300);
    QCOMPARE(some.images, all.images);
    const int others = int(c.x.size()) - all.images;
    QCOMPARE(some.chance, double(all.images - 1) / double(all.images + others - 1));
    // A sample spread over the category: near the whole measure.
    QVERIFY2(std::abs(some.alike - all.alike) < 0.05, qPrintable(QString::number(some.alike - all.alike)));
}

QTEST_GUILESS_MAIN(TestCategoryAgreement)
#include "tst_categoryagreement.moc"
