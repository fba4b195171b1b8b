// Map point layer: the canvas, the contribution threshold, the R-tree
// refill, the half-axis word sets and the shared keypoint palette.

#include "tst_caview_fixture.h"

#include "data/model/console.h"

#include <QSignalSpy>
#include <QtTest>

#include <limits>

using fixture::makeData;

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();

// Four images and four words, every mass 0.5, both eigenvalues 1: with the
// default threshold factor 2 the threshold is 0.5, reached by a coordinate
// of magnitude 1 (contribution 0.5 x 1 / 1).
std::unique_ptr<CAData> thresholdData()
{
    auto d = makeData(
        {
            {1.0, 0.25}, // contribution exactly the threshold on axis 1
            {0.5, 0.5},  // below on both axes
            {0.0, -1.5}, // only axis 2 reaches it
            {NaN, 0.1},  // NaN counts as reaching it
        },
        {
            {1.0, -0.25}, // exactly the threshold on axis 1: drawn, no set
            {-1.5, 1.5},  // axis 1 negative, axis 2 positive
            {0.2, 0.2},   // below on both
            {2.0, -1.25}, // axis 1 positive, axis 2 negative
        },
        {1, 1});
    for (int i = 0; i < 4; ++i) {
        d->P[i] = 0.5;
        d->Q[i] = 0.5;
        d->wordLabels[i] = 100 + i;
    }
    d->wordSet = {100, 101, 102, 103};
    return d;
}

std::vector<int> ids(const std::vector<Point> &points)
{
    std::vector<int> out;
    for (const Point &p : points)
        out.push_back(p.id);
    return out;
}

} // namespace

class TestCAViewPoints : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void canvasAxesAndMarks();
    void imageThresholdEdges();
    void treesHoldCanvasPixelsInIndexOrder();
    void wordSetsUseLabelsAndStrictThreshold();
    void thresholdZeroDrawsEverything();
    void zeroCoordinateGoesToNegativeSet();
    void projectionDoesNotChangeWhatIsDrawn_data();
    void projectionDoesNotChangeWhatIsDrawn();
    void hiddenFamiliesLeaveTreesEmpty();
    void rebuildClearsNeighbourhoodSilently();
    void changeThresholdSetsBoth();
    void paletteDefaultsWithoutData();
    void secondWindowKeepsItsPalette_data();
    void secondWindowKeepsItsPalette();
    void paletteRampForManyWords();
    void paletteUnchangedForFewWords_data();
    void paletteUnchangedForFewWords();
};

void TestCAViewPoints::initTestCase()
{
    qRegisterMetaType<CAData *>();
    qRegisterMetaType<CAView *>();
    qRegisterMetaType<QVector<int> *>();
    qRegisterMetaType<QSet<int> *>();
}

void TestCAViewPoints::canvasAxesAndMarks()
{
    auto d = thresholdData();
    CAView view(0, 1, 2);
    view.setData(d.get());
    const QImage canvas = view.background->toImage();
    QCOMPARE(canvas.size(), QSize(2000, 1500));
    QCOMPARE(fixture::at(canvas, 5, 5), QColor(Qt::white));
    QCOMPARE(fixture::at(canvas, 0, 750), QColor(Qt::gray));
    QCOMPARE(fixture::at(canvas, 1999, 750), QColor(Qt::gray));
    QCOMPARE(fixture::at(canvas, 1000, 0), QColor(Qt::gray));
    QCOMPARE(fixture::at(canvas, 1000, 1499), QColor(Qt::gray));
    QCOMPARE(fixture::at(canvas, 1001, 751), QColor(Qt::white));

    // Image 0 at canvas (1200, 700): a 5-pixel red cross, not a square.
    for (const QPoint &p : {QPoint(1198, 700), QPoint(1202, 700), QPoint(1200, 698),
                            QPoint(1200, 702), QPoint(1200, 700)})
        QCOMPARE(fixture::at(canvas, p.x(), p.y()), QColor(Qt::red));
    QCOMPARE(fixture::at(canvas, 1201, 701), QColor(Qt::white));
    QCOMPARE(fixture::at(canvas, 1203, 700), QColor(Qt::white));
    // Image 1 (below the threshold) at (1100, 650) is not drawn.
    QCOMPARE(fixture::count(canvas, QRect(1097, 647, 7, 7), Qt::red), 0);

    // Word 0 at canvas (1200, 800): a blue ring in the 4 x 4 box, not filled.
    QVERIFY(fixture::count(canvas, QRect(1198, 798, 5, 5), Qt::blue) >= 4);
    QCOMPARE(fixture::at(canvas, 1200, 800), QColor(Qt::white));
    QCOMPARE(fixture::count(canvas, QRect(1194, 794, 13, 13), Qt::red), 0);
    // Word 2 (below the threshold) at (1040, 710) is not drawn.
    QCOMPARE(fixture::count(canvas, QRect(1037, 707, 7, 7), Qt::blue), 0);
}

void TestCAViewPoints::imageThresholdEdges()
{
    auto d = thresholdData();
    CAView view(0, 1, 2);
    view.setData(d.get());
    QCOMPARE(ids(fixture::drawnImages(view)), (std::vector<int>{0, 2, 3}));
    view.changeThreshold(1);
    QCOMPARE(ids(fixture::drawnImages(view)), (std::vector<int>{0, 2, 3}));
    view.changeThreshold(3); // threshold 0.75: image 0 drops out
    QCOMPARE(ids(fixture::drawnImages(view)), (std::vector<int>{2, 3}));
}

void TestCAViewPoints::treesHoldCanvasPixelsInIndexOrder()
{
    auto d = thresholdData();
    CAView view(0, 1, 2);
    view.setData(d.get());
    QCOMPARE(fixture::drawnImages(view).size(), size_t(3));
    QCOMPARE(fixture::drawnImages(view)[0].x, 1200.0);
    QCOMPARE(fixture::drawnImages(view)[0].y, 700.0);
    QCOMPARE(fixture::drawnImages(view)[1].x, 1000.0);
    QCOMPARE(fixture::drawnImages(view)[1].y, 1050.0);
    QCOMPARE(fixture::drawnImages(view)[2].y, 730.0);
    QCOMPARE(ids(fixture::drawnWords(view)), (std::vector<int>{0, 1, 3}));
    QCOMPARE(fixture::drawnWords(view)[1].x, 700.0);
    QCOMPARE(fixture::drawnWords(view)[1].y, 450.0);
    // The index answers queries around the canvas pixel.
    std::vector<int> found;
    view.findWords(found, 1400, 1000, 2);
    QCOMPARE(found, std::vector<int>{3});
    found.clear();
    view.findWords(found, 1040, 710, 3); // word 2 was not drawn
    QVERIFY(found.empty());
}

void TestCAViewPoints::wordSetsUseLabelsAndStrictThreshold()
{
    auto d = thresholdData();
    CAView view(0, 1, 2);
    view.setData(d.get());
    QCOMPARE(view.axis1PosLabels, QSet<int>{103});
    QCOMPARE(view.axis1NegLabels, QSet<int>{101});
    QCOMPARE(view.axis2PosLabels, QSet<int>{101});
    QCOMPARE(view.axis2NegLabels, QSet<int>{103});
}

void TestCAViewPoints::thresholdZeroDrawsEverything()
{
    auto d = thresholdData();
    d->W[2 * 2 + 1] = 0.0; // word 2 now (0.2, 0): no contribution to axis 2
    CAView view(0, 1, 2);
    view.setData(d.get());
    view.changeThreshold(0);
    QCOMPARE(ids(fixture::drawnImages(view)), (std::vector<int>{0, 1, 2, 3}));
    QCOMPARE(ids(fixture::drawnWords(view)), (std::vector<int>{0, 1, 2, 3}));
    QCOMPARE(view.axis1PosLabels, (QSet<int>{100, 102, 103}));
    QCOMPARE(view.axis1NegLabels, QSet<int>{101});
    QCOMPARE(view.axis2PosLabels, QSet<int>{101});
    QCOMPARE(view.axis2NegLabels, (QSet<int>{100, 103}));
}

void TestCAViewPoints::zeroCoordinateGoesToNegativeSet()
{
    // Only a negative factor lets a zero contribution pass strictly.
    auto d = makeData({}, {{0.0, 1.0}}, {1, 1});
    CAView view(0, 1, 2);
    view.setData(d.get());
    view.changeThreshold(-1);
    QCOMPARE(view.axis1NegLabels, QSet<int>{0});
    QVERIFY(view.axis1PosLabels.isEmpty());
    QCOMPARE(view.axis2PosLabels, QSet<int>{0});
}

void TestCAViewPoints::projectionDoesNotChangeWhatIsDrawn_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("columns as barycenters") << 1;
    QTest::newRow("rows as barycenters") << 2;
}

void TestCAViewPoints::projectionDoesNotChangeWhatIsDrawn()
{
    QFETCH(int, mode);
    auto d = thresholdData();
    d->lambda[0] = 0.25;
    d->lambda[1] = 0.25;
    CAView view(0, 1, 2);
    view.setData(d.get());
    const std::vector<int> images = ids(fixture::drawnImages(view));
    const std::vector<int> words = ids(fixture::drawnWords(view));
    const QSet<int> sets[4] = {view.axis1PosLabels, view.axis1NegLabels, view.axis2PosLabels,
                               view.axis2NegLabels};
    const double wordX = fixture::drawnWords(view)[0].x;
    const double imageX = fixture::drawnImages(view)[0].x;
    view.setProjectionMode(mode);
    QCOMPARE(ids(fixture::drawnImages(view)), images);
    QCOMPARE(ids(fixture::drawnWords(view)), words);
    QCOMPARE(view.axis1PosLabels, sets[0]);
    QCOMPARE(view.axis1NegLabels, sets[1]);
    QCOMPARE(view.axis2PosLabels, sets[2]);
    QCOMPARE(view.axis2NegLabels, sets[3]);
    QCOMPARE(fixture::drawnWords(view)[0].x != wordX, mode == 1);
    QCOMPARE(fixture::drawnImages(view)[0].x != imageX, mode == 2);
}

void TestCAViewPoints::hiddenFamiliesLeaveTreesEmpty()
{
    auto d = thresholdData();
    CAView view(0, 1, 2);
    view.setData(d.get());
    view.showHideImagePoint(false);
    QVERIFY(!view.showImagePoint);
    std::vector<int> found;
    view.findImages(found, 1200, 700, 5);
    QVERIFY(found.empty());
    QCOMPARE(fixture::count(view.background->toImage(), QRect(1197, 697, 7, 7), Qt::red), 0);
    QCOMPARE(ids(fixture::drawnWords(view)), (std::vector<int>{0, 1, 3}));

    view.showHideWordPoint(false);
    view.findWords(found, 1200, 800, 5);
    QVERIFY(found.empty());
    QVERIFY(view.axis1PosLabels.isEmpty());
    QCOMPARE(fixture::count(view.background->toImage(), QRect(1197, 797, 7, 7), Qt::blue), 0);

    view.showHideImagePoint(true);
    view.findImages(found, 1200, 700, 1);
    QCOMPARE(found, std::vector<int>{0});
}

void TestCAViewPoints::rebuildClearsNeighbourhoodSilently()
{
    auto d = thresholdData();
    CAView view(0, 1, 2);
    view.setData(d.get());
    view.hoverWords = {0, 1};
    view.wordList = {100, 101};
    view.imageList = {0, 2};
    QSignalSpy images(&view, &CAView::imagesChanged);
    QSignalSpy words(&view, &CAView::wordsChanged);
    QVERIFY(images.isValid());
    QVERIFY(words.isValid());
    view.zoomIn();
    QVERIFY(view.hoverWords.isEmpty());
    QVERIFY(view.wordList.isEmpty());
    QVERIFY(view.imageList.isEmpty());
    QCOMPARE(images.count(), 0);
    QCOMPARE(words.count(), 0);
}

void TestCAViewPoints::changeThresholdSetsBoth()
{
    auto d = thresholdData();
    CAView view(0, 1, 2);
    view.setData(d.get());
    Console::Capture capture;
    view.changeThreshold(3);
    QCOMPARE(capture.out(), QStringList{"Threshold changed to 3"});
    QCOMPARE(view.imageThreshold, 3);
    QCOMPARE(view.wordThreshold, 3);
    // Threshold 0.75: only words 1 and 3 remain.
    QCOMPARE(ids(fixture::drawnWords(view)), (std::vector<int>{1, 3}));
}

void TestCAViewPoints::secondWindowKeepsItsPalette_data()
{
    QTest::addColumn<int>("firstWords");
    QTest::addColumn<int>("secondWords");
    QTest::newRow("ramp, then a larger ramp") << 7 << 1000;
    QTest::newRow("ramp, then a few words") << 12 << 3;
    QTest::newRow("few words, then a ramp") << 4 << 50;
}

void TestCAViewPoints::secondWindowKeepsItsPalette()
{
    QFETCH(int, firstWords);
    QFETCH(int, secondWords);
    auto first = makeData({}, std::vector<std::vector<double>>(firstWords, {0.1, 0.1}), {1, 1});
    CAView firstView(0, 1, 2);
    firstView.setData(first.get());
    const QList<QColor> before = firstView.colors;
    // The first window's palette: its own words' ramp, or the six defaults.
    QCOMPARE(before.size(), firstWords > 6 ? firstWords : 6);

    // A second project opened in a second window.
    auto second = makeData({}, std::vector<std::vector<double>>(secondWords, {0.1, 0.1}), {1, 1});
    CAView secondView(0, 1, 2);
    secondView.setData(second.get());
    QCOMPARE(secondView.colors.size(), secondWords > 6 ? secondWords : 6);
    QCOMPARE(firstView.colors, before);
}

void TestCAViewPoints::paletteDefaultsWithoutData()
{
    CAView other(0, 1, 2);
    other.colors = {Qt::black};
    CAView view(0, 1, 2);
    const QList<QColor> six = {Qt::red, Qt::yellow, Qt::green, Qt::cyan, Qt::blue, Qt::magenta};
    QCOMPARE(view.colors, six);
    // Building a view leaves the other views' palettes alone.
    QCOMPARE(other.colors, QList<QColor>{Qt::black});
}

void TestCAViewPoints::paletteRampForManyWords()
{
    std::vector<std::vector<double>> words(7, std::vector<double>{0.1, 0.1});
    auto d = makeData({}, words, {1, 1});
    CAView view(0, 1, 2);
    view.setData(d.get());
    QCOMPARE(view.colors.size(), 7);
    QCOMPARE(view.colors.first(), QColor(255, 0, 0));
    QCOMPARE(view.colors.last(), QColor(255, 0, 255));
    QCOMPARE(view.colors.at(3).red(), 0); // t = 0.5: between green and cyan
    QCOMPARE(view.colors.at(3).green(), 255);
    // Hues climb from red to magenta, every colour opaque.
    for (int i = 1; i < 7; ++i) {
        QVERIFY2(view.colors.at(i).hue() > view.colors.at(i - 1).hue(),
                 qPrintable(QString::number(i)));
        QCOMPARE(view.colors.at(i).alpha(), 255);
    }

    std::vector<std::vector<double>> many(1000, std::vector<double>{0.1, 0.1});
    auto big = makeData({}, many, {1, 1});
    view.setData(big.get());
    QCOMPARE(view.colors.size(), 1000);
    QCOMPARE(view.colors.last(), QColor(255, 0, 255));
}

void TestCAViewPoints::paletteUnchangedForFewWords_data()
{
    QTest::addColumn<int>("words");
    QTest::newRow("1") << 1;
    QTest::newRow("5") << 5;
    QTest::newRow("6") << 6;
}

void TestCAViewPoints::paletteUnchangedForFewWords()
{
    QFETCH(int, words);
    CAView view(0, 1, 2);
    const QList<QColor> custom = {Qt::black, Qt::darkRed};
    view.colors = custom;
    std::vector<std::vector<double>> w(words, std::vector<double>{0.1, 0.1});
    auto d = makeData({}, w, {1, 1});
    view.setData(d.get());
    QCOMPARE(view.colors, custom);
}

QTEST_MAIN(TestCAViewPoints)
#include "tst_caview_points.moc"
