// The nearest-images search against the plain rule it must keep: a map keyed
// by distance, filled in image order, where an equal key never replaces the
// first one, NaN distances left out, the first `count` entries.

#include "data/model/cadata.h"
#include "map/nearestimages.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <vector>

namespace {

// An analysis holding only image rows: `axes` values per image, `stride`
// doubles apart (the files may carry more columns than axes in use).
std::unique_ptr<CAData> rowsData(const std::vector<std::vector<double>> &z, int axes, int stride)
{
    auto d = std::make_unique<CAData>(true);
    d->nbImages = int(z.size());
    d->nbAxis = axes;
    d->zCols = stride;
    d->Z.reset(new double[z.size() * std::size_t(stride) + 1]);
    for (std::size_t i = 0; i < z.size(); ++i)
        for (int c = 0; c < stride; ++c)
            d->Z[i * std::size_t(stride) + std::size_t(c)] = c < axes ? z[i][std::size_t(c)] : 1e300;
    return d;
}

std::vector<int> reference(const CAData &d, int focus, int count)
{
    std::map<double, int> ordered;
    for (int i = 0; i < d.nbImages; ++i) {
        const double dist = d.distance(focus, i);
        if (!std::isnan(dist))
            ordered.emplace(dist, i);
    }
    std::vector<int> out;
    for (const auto &entry : ordered) {
        if (int(out.size()) == count)
            break;
        out.push_back(entry.second);
    }
    return out;
}

double normal(QRandomGenerator &random)
{
    // Box-Muller: enough for test clouds.
    const double u = 1.0 - random.generateDouble(), v = random.generateDouble();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * M_PI * v);
}

std::vector<double> randomRow(QRandomGenerator &random, int axes)
{
    std::vector<double> row(std::size_t(axes), 0.0);
    for (double &v : row)
        v = normal(random);
    return row;
}

enum Cloud { Spread, Cone, Grid, Irregular, Copies, Lengths };

// `count` images; rows whose cosines to row 0 crowd near 1 in the cone, so
// that hundreds of images lie within the estimate's error of the list.
std::vector<std::vector<double>> makeCloud(Cloud kind, int images, int axes, quint32 seed)
{
    QRandomGenerator random(seed);
    std::vector<std::vector<double>> z;
    const std::vector<double> apex = randomRow(random, axes);
    for (int i = 0; i < images; ++i) {
        std::vector<double> row(std::size_t(axes), 0.0);
        switch (kind) {
        case Spread:
            row = randomRow(random, axes);
            break;
        case Cone: {
            const double spread = 0.002 + 0.2 * random.generateDouble();
            const double length = std::exp(4 * random.generateDouble() - 2);
            for (int a = 0; a < axes; ++a)
                row[std::size_t(a)] = length * (apex[std::size_t(a)] + spread * normal(random));
            break;
        }
        case Grid:
            // Few directions, many repeats and exact opposites: equal
            // distances everywhere.
            for (double &v : row)
                v = double(random.bounded(5)) - 2.0;
            break;
        case Irregular:
            row = randomRow(random, axes);
            break;
        case Copies:
        case Lengths:
            // Copies of earlier rows scattered through the list (the same
            // direction at another index), at the same length or another.
            if (i >= 50 && random.bounded(3) == 0) {
                row = z[std::size_t(random.bounded(i))];
                if (kind == Lengths)
                    for (double &v : row)
                        v *= 0.25 + 4 * random.generateDouble();
            } else {
                row = randomRow(random, axes);
            }
            break;
        }
        z.push_back(row);
    }
    if (kind == Irregular) {
        const double inf = std::numeric_limits<double>::infinity();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        // Rows whose exact distances overflow or underflow (the estimate of
        // a scaled row would disagree with them), infinite, NaN and zero
        // rows, spread over the lanes of a few groups.
        for (int i = 0; i < images; i += 37) {
            std::vector<double> &row = z[std::size_t(i)];
            switch ((i / 37) % 6) {
            case 0:
                for (double &v : row)
                    v *= 1e-160;
                break;
            case 1:
                for (double &v : row)
                    v *= 1e160;
                break;
            case 2:
                row[0] = inf;
                break;
            case 3:
                row[std::size_t(axes - 1)] = nan;
                break;
            case 4:
                for (double &v : row)
                    v = 0;
                break;
            case 5:
                for (double &v : row)
                    v *= 1e-40; // small but regular
                break;
            }
        }
    }
    return z;
}

} // namespace

class TestNearestImages : public QObject
{
    Q_OBJECT

private slots:
    void equalsTheOrderedMap_data();
    void equalsTheOrderedMap();
    void largeCloudsEqualTheExactScan_data();
    void largeCloudsEqualTheExactScan();
    void newAnalysisAtTheSameAddress();
    void groupsBuiltInTheBackground_data();
    void groupsBuiltInTheBackground();
    void emptyAndOutOfRange();
};

void TestNearestImages::equalsTheOrderedMap_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("images");
    QTest::addColumn<int>("axes");
    QTest::addColumn<int>("stride");
    QTest::addColumn<int>("count");

    QTest::newRow("spread, 8 axes, 20") << int(Spread) << 5003 << 8 << 8 << 20;
    QTest::newRow("spread, 3 axes, 1") << int(Spread) << 999 << 3 << 3 << 1;
    QTest::newRow("cone, 8 axes, 20") << int(Cone) << 6000 << 8 << 8 << 20;
    QTest::newRow("cone, 8 axes, 300") << int(Cone) << 6000 << 8 << 8 << 300;
    QTest::newRow("cone, 10 axes, 511") << int(Cone) << 4001 << 10 << 10 << 511;
    QTest::newRow("cone, 10 axes, 512 (one sort)") << int(Cone) << 4001 << 10 << 10 << 512;
    QTest::newRow("cone, 37 axes of 40 columns") << int(Cone) << 3000 << 37 << 40 << 25;
    QTest::newRow("grid, 4 axes, 20") << int(Grid) << 3000 << 4 << 4 << 20;
    QTest::newRow("grid, 4 axes, more than there are") << int(Grid) << 300 << 4 << 4 << 400;
    QTest::newRow("irregular rows, 8 axes") << int(Irregular) << 2000 << 8 << 8 << 30;
    QTest::newRow("irregular rows, 5 axes of 6 columns") << int(Irregular) << 2000 << 5 << 6 << 7;
    QTest::newRow("fewer images than a group") << int(Spread) << 11 << 8 << 8 << 5;
}

void TestNearestImages::equalsTheOrderedMap()
{
    QFETCH(int, kind);
    QFETCH(int, images);
    QFETCH(int, axes);
    QFETCH(int, stride);
    QFETCH(int, count);
    const auto z = makeCloud(Cloud(kind), images, axes, quint32(images + axes + count));
    const auto d = rowsData(z, axes, stride);

    NearestImages search;
    std::vector<int> found;
    // Row 0 is the cone's first image; the irregular rows sit at multiples
    // of 37 (0: tiny, 37: huge, 74: infinite, 111: NaN, 148: zero, 185: small
    // but regular).
    for (const int focus : {0, 1, 7, 16, 37, 74, 111, 148, 185, images / 2, images - 1}) {
        if (focus >= images)
            continue;
        search.find(*d, focus, count, found);
        QCOMPARE(found, reference(*d, focus, count));
        // The regular rows are searched through the estimates, not by the
        // exact scan alone.
        const bool regular = kind != Irregular || focus % 37 != 0 || (focus / 37) % 6 == 5;
        if (count < 512)
            QCOMPARE(search.lastUsedEstimates(), regular);
    }
}

void TestNearestImages::largeCloudsEqualTheExactScan_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("images");
    QTest::addColumn<int>("axes");
    QTest::addColumn<int>("count");
    // Clouds large enough that the images are split into many groups by
    // direction, and visited out of their order.
    QTest::newRow("spread, 8 axes, 20") << int(Spread) << 40000 << 8 << 20;
    QTest::newRow("spread, 10 axes, 1") << int(Spread) << 30000 << 10 << 1;
    QTest::newRow("spread, 2 axes, 100") << int(Spread) << 30000 << 2 << 100;
    QTest::newRow("cone, 8 axes, 50") << int(Cone) << 30000 << 8 << 50;
    // Equal distances in many directions: the lowest image must win each
    // tie wherever the search meets it first.
    QTest::newRow("grid ties, 6 axes, 40") << int(Grid) << 30000 << 6 << 40;
    QTest::newRow("grid ties, 3 axes, 511") << int(Grid) << 20000 << 3 << 511;
    QTest::newRow("copies, 8 axes, 30") << int(Copies) << 30000 << 8 << 30;
    QTest::newRow("copies at other lengths, 5 axes, 25") << int(Lengths) << 30000 << 5 << 25;
    QTest::newRow("irregular rows, 8 axes, 20") << int(Irregular) << 30000 << 8 << 20;
    // More axes than boxes can keep apart: one group, scanned whole.
    QTest::newRow("spread, 40 axes, 20") << int(Spread) << 8000 << 40 << 20;
}

void TestNearestImages::largeCloudsEqualTheExactScan()
{
    QFETCH(int, kind);
    QFETCH(int, images);
    QFETCH(int, axes);
    QFETCH(int, count);
    const auto z = makeCloud(Cloud(kind), images, axes, quint32(7 * images + axes + count));
    const auto d = rowsData(z, axes, axes);

    NearestImages search;
    std::vector<int> found;
    QRandomGenerator random{quint32(count)};
    for (int k = 0; k < 12; ++k) {
        const int focus = k == 0 ? 0 : k == 1 ? images - 1 : int(random.bounded(images));
        search.find(*d, focus, count, found);
        QCOMPARE(found, reference(*d, focus, count));
    }
    // Where directions spread, most images are never looked at: the search
    // is not a scan of every image.
    if (kind == Spread && axes <= 10 && count <= 20) {
        search.find(*d, 5, count, found);
        QVERIFY2(search.lastScanned() < images / 2, qPrintable(QString::number(search.lastScanned())));
    }
}

void TestNearestImages::groupsBuiltInTheBackground_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("axes");
    QTest::addColumn<int>("count");
    QTest::newRow("spread, 8 axes, 20") << int(Spread) << 8 << 20;
    QTest::newRow("grid ties, 4 axes, 30") << int(Grid) << 4 << 30;
    QTest::newRow("irregular rows, 6 axes, 10") << int(Irregular) << 6 << 10;
}

// A large analysis: the first searches measure every image while the groups
// are built on a worker thread, then the groups take over; the answers are
// the exact ones throughout, and a reset or a new analysis while a build
// runs is answered for the data then searched.
void TestNearestImages::groupsBuiltInTheBackground()
{
    QFETCH(int, kind);
    QFETCH(int, axes);
    QFETCH(int, count);
    const int images = 20000;
    const auto d = rowsData(makeCloud(Cloud(kind), images, axes, quint32(kind + 11)), axes, axes);
    const auto other = rowsData(makeCloud(Spread, images / 2, axes, 5), axes, axes);

    NearestImages search;
    search.setBackgroundFrom(1000);
    std::vector<int> found;
    search.find(*d, 7, count, found);
    QCOMPARE(found, reference(*d, 7, count));
    QVERIFY(!search.lastUsedEstimates()); // the groups were only started
    QCOMPARE(search.lastScanned(), images);
    search.waitForGroups(*d);
    search.find(*d, 11, count, found);
    QCOMPARE(found, reference(*d, 11, count));
    QVERIFY(search.lastUsedEstimates()); // image 11 is a regular row in every cloud

    // Another analysis while nothing is built for it: started again for it.
    search.find(*other, 3, count, found);
    QCOMPARE(found, reference(*other, 3, count));
    search.find(*d, 4, count, found);
    QCOMPARE(found, reference(*d, 4, count));
    // Reset while a build may still run: nothing of it is used afterwards.
    search.reset();
    search.find(*other, 9, count, found);
    QCOMPARE(found, reference(*other, 9, count));
    search.waitForGroups(*other);
    search.find(*other, 9, count, found);
    QCOMPARE(found, reference(*other, 9, count));
    QVERIFY(search.lastUsedEstimates());
}

void TestNearestImages::newAnalysisAtTheSameAddress()
{
    auto z = makeCloud(Spread, 1000, 6, 3);
    auto d = rowsData(z, 6, 6);
    NearestImages search;
    std::vector<int> found;
    search.find(*d, 5, 10, found);
    QCOMPARE(found, reference(*d, 5, 10));

    // New coordinates in the same object: after reset() the search sees them.
    QRandomGenerator random(9);
    for (int i = 0; i < 1000 * 6; ++i)
        d->Z[i] = normal(random);
    search.reset();
    search.find(*d, 5, 10, found);
    QCOMPARE(found, reference(*d, 5, 10));

    // More images under the same address: rebuilt without reset().
    z.resize(1500, std::vector<double>(6, 0.5));
    for (std::size_t i = 1000; i < z.size(); ++i)
        z[i] = randomRow(random, 6);
    auto grown = rowsData(z, 6, 6);
    d->nbImages = grown->nbImages;
    d->Z = std::move(grown->Z);
    search.find(*d, 1400, 10, found);
    QCOMPARE(found, reference(*d, 1400, 10));
}

void TestNearestImages::emptyAndOutOfRange()
{
    const auto d = rowsData(makeCloud(Spread, 50, 4, 1), 4, 4);
    NearestImages search;
    std::vector<int> found{1, 2, 3};
    search.find(*d, 3, 0, found);
    QVERIFY(found.empty());
    found = {1};
    search.find(*d, -1, 5, found);
    QVERIFY(found.empty());
    search.find(*d, 50, 5, found);
    QVERIFY(found.empty());
    search.find(*d, 49, 5, found);
    QCOMPARE(found, reference(*d, 49, 5));
}

QTEST_GUILESS_MAIN(TestNearestImages)
#include "tst_nearestimages.moc"
