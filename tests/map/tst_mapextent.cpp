// The bulk of a cloud, the stacks and the markers for what lies off the
// window; and the map's fit on a cloud with a far stack.

#include "map/caview.h"
#include "map/extentoverlay.h"
#include "map/mapextent.h"
#include "tst_caview_fixture.h"

#include <QtTest>

#include <cmath>

namespace {

// A 15 x 15 grid over [-1, 1]^2, mass 1 each, then `stack` points at
// (50, 40) of mass `stackMass` each.
void gridWithStack(int stack, double stackMass, std::vector<QPointF> &pos, std::vector<double> &mass)
{
    for (int i = 0; i < 15; ++i)
        for (int j = 0; j < 15; ++j) {
            pos.emplace_back(-1 + 2.0 * i / 14, -1 + 2.0 * j / 14);
            mass.push_back(1);
        }
    for (int k = 0; k < stack; ++k) {
        pos.emplace_back(50, 40);
        mass.push_back(stackMass);
    }
}

// Image rows: the 15 x 15 grid over [-1, 1]^2, then `stack` copies at
// (30, -20).
std::vector<std::vector<double>> gridRowsWithStack(int stack)
{
    std::vector<std::vector<double>> z;
    for (int i = 0; i < 15; ++i)
        for (int j = 0; j < 15; ++j)
            z.push_back({-1 + 2.0 * i / 14, -1 + 2.0 * j / 14});
    for (int k = 0; k < stack; ++k)
        z.push_back({30, -20});
    return z;
}

} // namespace

class TestMapExtent : public QObject
{
    Q_OBJECT

private slots:
    void bulkLeavesALightFarStackOut_data();
    void bulkLeavesALightFarStackOut();
    void stacksCountIdenticalPositions_data();
    void stacksCountIdenticalPositions();
    void markersCountByDirection();
    void fitShowsTheBulkAndCountsTheRest_data();
    void fitShowsTheBulkAndCountsTheRest();
    void markersFollowTheMapBetweenPaints_data();
    void markersFollowTheMapBetweenPaints();
};

void TestMapExtent::bulkLeavesALightFarStackOut_data()
{
    QTest::addColumn<int>("stack");
    QTest::addColumn<double>("stackMass");
    QTest::addColumn<QRectF>("expected");
    const QRectF grid(QPointF(-1, -1), QPointF(1, 1));
    const QRectF both(QPointF(-1, -1), QPointF(50, 40));
    // 3 of 228 mass units: 1.3 %, under the 2 % left out.
    QTest::newRow("3 heavy copies") << 3 << 1.0 << grid;
    // 121 copies of a nearly blank picture: 0.5 % of the mass.
    QTest::newRow("121 light copies") << 121 << 0.01 << grid;
    // 10 of 235: 4.3 % of the mass is part of the bulk.
    QTest::newRow("10 heavy copies") << 10 << 1.0 << both;
    QTest::newRow("no stack") << 0 << 1.0 << grid;
}

void TestMapExtent::bulkLeavesALightFarStackOut()
{
    QFETCH(int, stack);
    QFETCH(double, stackMass);
    QFETCH(QRectF, expected);
    std::vector<QPointF> pos;
    std::vector<double> mass;
    gridWithStack(stack, stackMass, pos, mass);
    const QRectF box = MapExtent::bulk(pos, mass, 0.98);
    QVERIFY2(std::abs(box.left() - expected.left()) < 1e-12 && std::abs(box.right() - expected.right()) < 1e-12
                 && std::abs(box.top() - expected.top()) < 1e-12
                 && std::abs(box.bottom() - expected.bottom()) < 1e-12,
             qPrintable(QStringLiteral("%1,%2 - %3,%4").arg(box.left()).arg(box.top()).arg(box.right()).arg(box.bottom())));
    // Every point, the far ones included, for "Fit all points".
    const QRectF all = MapExtent::bounds(pos);
    QCOMPARE(all.right(), stack > 0 ? 50.0 : 1.0);
}

void TestMapExtent::stacksCountIdenticalPositions_data()
{
    QTest::addColumn<QVector<QPointF>>("positions");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<QVector<QPointF>>("places");
    QTest::addColumn<QVector<int>>("counts");
    QTest::newRow("pairs and a triple")
        << QVector<QPointF>{{1, 2}, {3, 4}, {1, 2}, {0, 0}, {3, 4}, {3, 4}, {1, 2.0000001}}
        << 2 << QVector<QPointF>{{1, 2}, {3, 4}} << QVector<int>{2, 3};
    QTest::newRow("triples only")
        << QVector<QPointF>{{1, 2}, {3, 4}, {1, 2}, {3, 4}, {3, 4}} << 3 << QVector<QPointF>{{3, 4}}
        << QVector<int>{3};
    QTest::newRow("no stack") << QVector<QPointF>{{1, 2}, {2, 1}} << 2 << QVector<QPointF>{} << QVector<int>{};
}

void TestMapExtent::stacksCountIdenticalPositions()
{
    QFETCH(QVector<QPointF>, positions);
    QFETCH(int, minimum);
    QFETCH(QVector<QPointF>, places);
    QFETCH(QVector<int>, counts);
    const auto stacks = MapExtent::stacks(std::vector<QPointF>(positions.cbegin(), positions.cend()), minimum);
    QVector<QPointF> gotPlaces;
    QVector<int> gotCounts;
    for (const MapExtent::Stack &s : stacks) {
        gotPlaces << s.position;
        gotCounts << s.count;
    }
    QCOMPARE(gotPlaces, places);
    QCOMPARE(gotCounts, counts);
}

void TestMapExtent::markersCountByDirection()
{
    const QRect window(0, 0, 100, 100);
    std::vector<MapExtent::Off> off;
    for (int k = 0; k < 3; ++k)
        off.push_back({QPointF(200 + k, 50), QPointF(9 + k, 0), 0}); // east, images
    for (int k = 0; k < 2; ++k)
        off.push_back({QPointF(50, -100 - k), QPointF(0, 7), 1}); // north, words
    off.push_back({QPointF(-50, 150), QPointF(-3, -3), 0}); // south-west
    const auto markers = MapExtent::markers(off, window, 10);
    QCOMPARE(int(markers.size()), 3);
    QCOMPARE(markers[0].direction, 0);
    QCOMPARE(markers[0].counts[0], 3);
    QCOMPARE(markers[0].counts[1], 0);
    QCOMPARE(markers[0].anchor, QPointF(90, 50));
    QCOMPARE(markers[0].mapBox, QRectF(QPointF(9, 0), QPointF(11, 0)));
    QCOMPARE(markers[1].direction, 2);
    QCOMPARE(markers[1].counts[1], 2);
    QCOMPARE(markers[1].anchor, QPointF(50, 10));
    QCOMPARE(markers[2].direction, 5);
    QCOMPARE(markers[2].total(), 1);
    // On the inner edge, toward the point.
    QVERIFY(std::abs(markers[2].anchor.x() - 10) < 1e-9 || std::abs(markers[2].anchor.y() - 90) < 1e-9);
    QVERIFY(markers[2].pointing.x() < 0 && markers[2].pointing.y() > 0);
}

void TestMapExtent::fitShowsTheBulkAndCountsTheRest_data()
{
    QTest::addColumn<int>("stack");
    QTest::newRow("a stack of 121 blank copies") << 121;
    QTest::newRow("a stack of 4") << 4;
}

void TestMapExtent::fitShowsTheBulkAndCountsTheRest()
{
    QFETCH(int, stack);
    auto d = fixture::makeData(gridRowsWithStack(stack), {{0.5, 0.5}, {-0.5, 0.2}}, {1, 1});
    // Nearly blank pictures: a tiny share of the mass each.
    for (int k = 0; k < stack; ++k)
        d->P[225 + k] = 0.001;
    CAView view(0, 1, 2);
    fixture::resizeNow(view, 600, 400);
    view.imageThreshold = 0;
    view.wordThreshold = 0;
    view.setData(d.get());
    view.fitAll();
    QVERIFY(view.isFitted());

    // The grid fills the height (the narrower side) within the fit margin.
    const QPoint low = view.imagePosition(0);        // (-1, -1)
    const QPoint high = view.imagePosition(224);     // (1, 1)
    QVERIFY2(low.y() - high.y() >= 400 - 2 * 24 - 2, qPrintable(QString::number(low.y() - high.y())));
    QVERIFY(view.rect().contains(low) && view.rect().contains(high));
    // The stack is off the window, counted by one marker toward it.
    QVERIFY(!view.rect().contains(view.imagePosition(225)));
    const auto markers = ExtentOverlay::markers(view, view.rect());
    QCOMPARE(int(markers.size()), 1);
    QCOMPARE(markers[0].counts[0], stack);
    QCOMPARE(markers[0].direction, 7); // south-east
    QCOMPARE(markers[0].mapBox.topLeft(), QPointF(30, -20));

    // A click on it brings the stack in, the grid staying in view.
    fixture::shot(view); // paints, leaving the markers to click
    const QPoint at = markers[0].anchor.toPoint();
    QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &press);
    QVERIFY(view.rect().contains(view.imagePosition(225)));
    QVERIFY(view.rect().contains(view.imagePosition(0)));
    QVERIFY(ExtentOverlay::markers(view, view.rect()).empty());

    // Fit all points: every point in, no marker.
    view.fitAll();
    QVERIFY(!view.rect().contains(view.imagePosition(225)));
    view.fitAllPoints();
    QVERIFY(view.rect().contains(view.imagePosition(225)));
    QVERIFY(ExtentOverlay::markers(view, view.rect()).empty());
    // The stack is drawn with its count.
    const auto stacks = ExtentOverlay::stacks(view);
    QCOMPARE(int(stacks.size()), 1);
    QCOMPARE(stacks[0].count, stack);
}

void TestMapExtent::markersFollowTheMapBetweenPaints_data()
{
    QTest::addColumn<QString>("change");
    // Each changes what lies off the window without a new analysis; the
    // markers the map keeps (and takes clicks on) must be those of the
    // points as they now lie, not of the paint before.
    QTest::newRow("pan") << "pan";
    QTest::newRow("zoom out") << "zoom";
    QTest::newRow("threshold hides the stack") << "threshold";
    QTest::newRow("image points hidden") << "images";
    QTest::newRow("axes swapped") << "axes";
    QTest::newRow("window resized") << "resize";
    QTest::newRow("hover only") << "hover";
}

void TestMapExtent::markersFollowTheMapBetweenPaints()
{
    QFETCH(QString, change);
    auto d = fixture::makeData(gridRowsWithStack(6), {{0.5, 0.5}, {-0.5, 0.2}, {40, 40}}, {1, 1});
    // Nearly blank pictures: their contribution is below any threshold.
    for (int k = 0; k < 6; ++k)
        d->P[225 + k] = 1e-6;
    CAView view(0, 1, 2);
    fixture::resizeNow(view, 600, 400);
    view.imageThreshold = 0;
    view.wordThreshold = 0;
    view.setData(d.get());
    view.fitAll();
    fixture::shot(view);
    // Before the change: the far stack and the far word, south-east and
    // north-east.
    const auto before = view.edgeMarkers();
    QCOMPARE(int(before.size()), 2);

    if (change == "pan") {
        view.panX -= 700;
        view.panY -= 500;
    } else if (change == "zoom") {
        view.setScale(view.scale / 40);
    } else if (change == "threshold") {
        // The grid points weigh far more than the stack: a threshold leaves
        // the stack out.
        view.changeThreshold(1);
    } else if (change == "images") {
        view.showHideImagePoint(false);
    } else if (change == "axes") {
        view.changeAxis(1, 0, 2);
    } else if (change == "resize") {
        fixture::resizeNow(view, 3000, 2000);
    } else {
        QMouseEvent move(QEvent::MouseMove, QPointF(300, 200), QPointF(300, 200), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &move);
    }
    fixture::shot(view);

    const auto fresh = ExtentOverlay::markers(view, view.rect());
    const auto &kept = view.edgeMarkers();
    QCOMPARE(kept.size(), fresh.size());
    for (std::size_t k = 0; k < kept.size(); ++k) {
        QCOMPARE(kept[k].direction, fresh[k].direction);
        QCOMPARE(kept[k].counts[0], fresh[k].counts[0]);
        QCOMPARE(kept[k].counts[1], fresh[k].counts[1]);
        QCOMPARE(kept[k].anchor, fresh[k].anchor);
        QCOMPARE(kept[k].mapBox, fresh[k].mapBox);
    }
    // Every change but the hover moves what the markers say.
    bool same = kept.size() == before.size();
    for (std::size_t k = 0; same && k < kept.size(); ++k)
        same = kept[k].direction == before[k].direction && kept[k].total() == before[k].total() &&
               kept[k].anchor == before[k].anchor;
    QCOMPARE(same, change == "hover");
}

QTEST_MAIN(TestMapExtent)
#include "tst_mapextent.moc"
