// Supplementary images on the map: a third family of points, placed on the
// axes without taking part in them. They are drawn whatever the threshold,
// selected apart from the images, found by the hover after the images, and
// listed in the point table as "supplementary".

#include "data/model/cadata.h"
#include "map/caview.h"
#include "map/pointexporter.h"
#include "tst_caview_fixture.h"

#include <QMouseEvent>
#include <QPolygonF>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

// The view is as large as the canvas, so a widget pixel is the canvas pixel:
// (1000 + trunc(200 x), 750 - trunc(200 y)) at the default scale.
constexpr int W = 2000;
constexpr int H = 1500;

QPoint pixel(double x, double y)
{
    return QPoint(1000 + int(std::trunc(200 * x)), 750 - int(std::trunc(200 * y)));
}

// Four images with masses 0.25 and eigenvalues 0.5, 0.25: image i's
// contribution to axis a is 0.25 z^2 / lambda_a. Image 0 contributes
// 0.25*0.64/0.5 = 0.32 to axis 1; images 1-3 sit near the origin (at most
// 0.25*0.01/0.25 = 0.01). Supplementary images sit near the origin too, one
// far out; their contributions would be as small, but they have none.
const std::vector<std::vector<double>> kImages = {{0.8, 0.0}, {0.1, 0.05}, {-0.1, 0.1}, {0.0, -0.1}};
const std::vector<std::vector<double>> kWords = {{0.5, 0.5}, {-0.5, 0.5}, {0.5, -0.5}};
const std::vector<std::vector<double>> kSup = {{0.02, 0.02}, {-0.05, 0.0}, {1.5, -1.5}};

std::unique_ptr<CAData> makeData(bool withUnusable = false)
{
    auto d = fixture::makeData(kImages, kWords, {0.5, 0.25});
    for (int i = 0; i < d->nbImages; ++i)
        d->P[i] = 0.25;
    for (int j = 0; j < d->nbWords; ++j)
        d->Q[j] = 1.0 / 3;
    d->nbSupImages = int(kSup.size()) + (withUnusable ? 1 : 0);
    d->supCols = 2;
    d->ZSup.reset(new double[std::size_t(d->nbSupImages) * 2]);
    for (std::size_t s = 0; s < kSup.size(); ++s) {
        d->ZSup[s * 2] = kSup[s][0];
        d->ZSup[s * 2 + 1] = kSup[s][1];
    }
    if (withUnusable) {
        d->ZSup[kSup.size() * 2] = NAN;
        d->ZSup[kSup.size() * 2 + 1] = 0.0;
    }
    return d;
}

void attach(CAView &view, CAData *data, int threshold)
{
    fixture::resizeNow(view, W, H);
    view.imageThreshold = threshold;
    view.wordThreshold = threshold;
    view.setData(data);
}

void move(CAView &view, const QPoint &at)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(at), QPointF(at), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &event);
}

} // namespace

class TestSupplementary : public QObject
{
    Q_OBJECT

private slots:
    void thresholdLeavesThemDrawn_data();
    void thresholdLeavesThemDrawn();
    void switchHidesThem();
    void unusableValuesAreNotDrawn();
    void selectionCountsThemApart_data();
    void selectionCountsThemApart();
    void hoverFindsThemAfterTheImages_data();
    void hoverFindsThemAfterTheImages();
    void pointTableListsThemAsSupplementary();
    void drawnAsHollowDiamonds();
};

void TestSupplementary::thresholdLeavesThemDrawn_data()
{
    QTest::addColumn<int>("threshold");
    QTest::addColumn<int>("images");
    // Mean contribution 1/4: factor 0 draws all four images; factor 1
    // (0.25) only image 0 (0.32); factor 2 (0.5) none.
    QTest::newRow("factor 0") << 0 << 4;
    QTest::newRow("factor 1") << 1 << 1;
    QTest::newRow("factor 2") << 2 << 0;
    QTest::newRow("factor 6") << 6 << 0;
}

void TestSupplementary::thresholdLeavesThemDrawn()
{
    QFETCH(int, threshold);
    QFETCH(int, images);
    auto data = makeData();
    CAView view(0, 1, 1);
    attach(view, data.get(), threshold);
    QCOMPARE(view.shownImages(), images);
    QCOMPARE(view.supImageCount(), 3);
    QCOMPARE(view.shownSupImages(), 3);
}

void TestSupplementary::switchHidesThem()
{
    auto data = makeData();
    CAView view(0, 1, 1);
    attach(view, data.get(), 0);
    view.showHideSupImagePoint(false);
    QCOMPARE(view.shownSupImages(), 0);
    QCOMPARE(view.shownImages(), 4);
    std::vector<int> found;
    const QPoint p = pixel(kSup[2][0], kSup[2][1]);
    view.findSupImages(found, p.x(), p.y(), 3);
    QVERIFY(found.empty());
    view.showHideSupImagePoint(true);
    QCOMPARE(view.shownSupImages(), 3);
    view.findSupImages(found, p.x(), p.y(), 3);
    QCOMPARE(found, std::vector<int>{2});
}

void TestSupplementary::unusableValuesAreNotDrawn()
{
    auto data = makeData(true);
    CAView view(0, 1, 1);
    attach(view, data.get(), 0);
    QCOMPARE(view.supImageCount(), 4);
    QCOMPARE(view.shownSupImages(), 3);
}

void TestSupplementary::selectionCountsThemApart_data()
{
    QTest::addColumn<int>("threshold");
    QTest::addColumn<QVector<int>>("images");
    QTest::addColumn<QVector<int>>("sups");
    // The outline is the square of half-side 0.12 around the origin: it holds
    // images 1, 2, 3 and supplementary images 0 and 1. At factor 2 no image
    // passes the threshold, but the supplementary images are selected still.
    QTest::newRow("factor 0") << 0 << QVector<int>{1, 2, 3} << QVector<int>{0, 1};
    QTest::newRow("factor 2") << 2 << QVector<int>{} << QVector<int>{0, 1};
}

void TestSupplementary::selectionCountsThemApart()
{
    QFETCH(int, threshold);
    QFETCH(QVector<int>, images);
    QFETCH(QVector<int>, sups);
    auto data = makeData();
    CAView view(0, 1, 1);
    attach(view, data.get(), threshold);
    const QPoint a = pixel(-0.12, 0.12), b = pixel(0.12, -0.12);
    view.polygon = {QPointF(a), QPointF(b.x(), a.y()), QPointF(b), QPointF(a.x(), b.y())};
    view.finishSelection();
    QCOMPARE(view.selectedImages, images);
    QCOMPARE(view.selectedSupImages(), sups);
    // The selection's table lists them with their kind, apart from the images.
    const QByteArray csv = PointExporter::csv(view, &view.selectedImages, &view.selectedWords,
                                              &view.selectedSupImages());
    QCOMPARE(int(csv.count("\nsupplementary,")), int(sups.size()));
    QCOMPARE(int(csv.count("\nimage,")), int(images.size()));
}

void TestSupplementary::hoverFindsThemAfterTheImages_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<int>("focus");
    QTest::addColumn<QVector<int>>("neighbourhood");
    // Radius 20 canvas pixels is 0.1 map units. Over supplementary image 2,
    // alone far out: it is the focus, numbered after the four images.
    QTest::newRow("far supplementary") << 1.5 << -1.5 << 4 + 2 << QVector<int>{4 + 2};
    // Over image 0, alone at (0.8, 0).
    QTest::newRow("image") << 0.8 << 0.0 << 0 << QVector<int>{0};
    // Over supplementary image 0 at (0.02, 0.02): images 1 (0.1, 0.05) and 2
    // (-0.1, 0.1) are 0.085 and 0.145 away; image 3 0.12; supplementary 1
    // (-0.05, 0) 0.073. The images come first, then the supplementary ones.
    QTest::newRow("crowded") << 0.02 << 0.02 << 4 + 0 << QVector<int>{1, 4 + 0, 4 + 1};
}

void TestSupplementary::hoverFindsThemAfterTheImages()
{
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(int, focus);
    QFETCH(QVector<int>, neighbourhood);
    auto data = makeData();
    CAView view(0, 1, 1);
    attach(view, data.get(), 0);
    view.radius = 20;
    move(view, pixel(x, y));
    QVERIFY(view.focusOnImage);
    QCOMPARE(view.focusImage, focus);
    // The images come before the supplementary images; within each part
    // the index decides the order, so each part is compared as a set.
    QVector<int> got = view.imageList;
    const auto firstSup = std::partition_point(got.begin(), got.end(), [](int i) { return i < 4; });
    QVERIFY(std::all_of(firstSup, got.end(), [](int i) { return i >= 4; }));
    std::sort(got.begin(), firstSup);
    std::sort(firstSup, got.end());
    QCOMPARE(got, neighbourhood);
}

void TestSupplementary::pointTableListsThemAsSupplementary()
{
    auto data = makeData();
    CAView view(0, 1, 1);
    attach(view, data.get(), 2);
    const QList<QByteArray> lines = PointExporter::csv(view, nullptr, nullptr).split('\n');
    int sups = 0;
    for (const QByteArray &line : lines) {
        if (!line.startsWith("supplementary,"))
            continue;
        const QList<QByteArray> cells = line.split(',');
        // kind, index, file, path, category, name, word, axis 1, axis 2,
        // mass, quality x2, contribution x2, drawn, group.
        QCOMPARE(cells.size(), 16);
        QCOMPARE(cells.at(1).toInt(), sups);
        QCOMPARE(cells.at(7).toDouble(), kSup[std::size_t(sups)][0]);
        QVERIFY(cells.at(9).isEmpty());  // no mass in the analysed table
        QVERIFY(cells.at(12).isEmpty()); // and no contribution
        QVERIFY(cells.at(13).isEmpty());
        QCOMPARE(cells.at(14).trimmed(), QByteArray("yes"));
        ++sups;
    }
    QCOMPARE(sups, 3);
}

void TestSupplementary::drawnAsHollowDiamonds()
{
    auto data = makeData();
    CAView view(0, 1, 1);
    attach(view, data.get(), 0);
    const QImage shot = fixture::shot(view);
    const QColor colour = PointFamily::supplementaryImages().colour;
    const QPoint p = pixel(kSup[2][0], kSup[2][1]);
    // Corners three pixels from the centre in the family's colour; the
    // centre itself left white (hollow).
    QVERIFY(fixture::near(shot, p.x() + 3, p.y(), colour, 0));
    QVERIFY(fixture::near(shot, p.x(), p.y() - 3, colour, 0));
    QCOMPARE(fixture::at(shot, p.x(), p.y()), QColor(Qt::white));
    view.showHideSupImagePoint(false);
    QCOMPARE(fixture::count(fixture::shot(view), QRect(p - QPoint(4, 4), QSize(9, 9)), colour), 0);
}

QTEST_MAIN(TestSupplementary)
#include "tst_supplementary.moc"
