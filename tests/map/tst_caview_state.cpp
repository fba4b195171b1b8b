// Map view state: construction, data attachment, projection, zoom, canvas
// placement and the cell grid.

#include "tst_caview_fixture.h"

#include "data/model/console.h"

#include <QtTest>

#include <cmath>
#include <limits>

using fixture::makeData;

class TestCAViewState : public QObject
{
    Q_OBJECT

private slots:
    void constructorState();
    void setDataResetsFocusAndPan();
    void setDataNull();
    void destructorLine();
    void originTruncatesTowardZero_data();
    void originTruncatesTowardZero();
    void resizeKeepsPan();
    void zoomOut_data();
    void zoomOut();
    void zoomNeedsData();
    void projectionModesMoveOneFamily_data();
    void projectionModesMoveOneFamily();
    void sameProjectionModeDoesNotRebuild();
    void changeAxisUsesTheAxisNumber();
    void cellOfNegativePixel();
    void cellFollowsImageProjection();
    void cellSizeAndRadiusDoNotRebuild();
    void neighbourStructureNeedsData();
    void hugeAndNaNCoordinatesSaturate();
};

void TestCAViewState::constructorState()
{
    CAView view(0, 1, 2);
    QCOMPARE(view.axis1, 0);
    QCOMPARE(view.axis2, 1);
    QCOMPARE(view.axis3, 2);
    QCOMPARE(view.radius, 20);
    QCOMPARE(view.scale, 200);
    QCOMPARE(view.mode, int(CAView::ModeNormal));
    QCOMPARE(view.projectionMode, 0);
    QVERIFY(view.hasMouseTracking());
    QCOMPARE(view.originX, (view.width() - 2000) / 2);
    QCOMPARE(view.originY, (view.height() - 1500) / 2);
    const QList<QColor> six = {Qt::red, Qt::yellow, Qt::green, Qt::cyan, Qt::blue, Qt::magenta};
    QCOMPARE(view.colors, six);
}

void TestCAViewState::setDataResetsFocusAndPan()
{
    auto d = makeData({{0.1, 0.2}}, {{0.3, 0.4}}, {1, 1});
    CAView view(0, 1, 2);
    view.focusImage = 0;
    view.focusWord = 0;
    view.panX = 7;
    view.panY = -3;
    view.scale = 100;
    view.imageThreshold = 0;
    Console::Capture capture;
    view.setData(d.get());
    QCOMPARE(capture.out(), QStringList{"setdata"});
    QCOMPARE(view.focusImage, -1);
    QCOMPARE(view.focusWord, -1);
    QCOMPARE(view.panX, 0);
    QCOMPARE(view.panY, 0);
    QCOMPARE(view.scale, 100); // zoom survives a new analysis
    QVERIFY(view.background);
    QCOMPARE(view.background->size(), QSize(2000, 1500));
    QCOMPARE(fixture::drawnImages(view).size(), size_t(1));
}

void TestCAViewState::setDataNull()
{
    CAView view(0, 1, 2);
    Console::Capture capture;
    view.setData(nullptr);
    QCOMPARE(capture.err(), QStringList{"Data NULL"});
    QVERIFY(capture.out().isEmpty());
    QVERIFY(!view.background);
    // Slots that need data do nothing.
    view.zoomIn();
    view.changeThreshold(4);
    view.changeCellSize(3);
    QCOMPARE(view.scale, 200);
    QCOMPARE(view.imageThreshold, 2);
    QCOMPARE(view.cellSize, 1);
    QVERIFY(capture.out().isEmpty());
}

void TestCAViewState::destructorLine()
{
    Console::Capture capture;
    {
        CAView view(0, 1, 2);
    }
    QCOMPARE(capture.out(), QStringList{"CAView destructor"});
}

void TestCAViewState::originTruncatesTowardZero_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("originX");
    QTest::addColumn<int>("originY");
    QTest::newRow("1999 x 1499") << 1999 << 1499 << 0 << 0;
    QTest::newRow("1998 x 1498") << 1998 << 1498 << -1 << -1;
    QTest::newRow("2001 x 1501") << 2001 << 1501 << 0 << 0;
    QTest::newRow("2003 x 1505") << 2003 << 1505 << 1 << 2;
    QTest::newRow("400 x 300") << 400 << 300 << -800 << -600;
}

void TestCAViewState::originTruncatesTowardZero()
{
    QFETCH(int, width);
    QFETCH(int, height);
    CAView view(0, 1, 2);
    fixture::resizeNow(view, width, height);
    QFETCH(int, originX);
    QFETCH(int, originY);
    QCOMPARE(view.originX, originX);
    QCOMPARE(view.originY, originY);
}

void TestCAViewState::resizeKeepsPan()
{
    auto d = makeData({{0.1, 0.2}}, {}, {1, 1});
    CAView view(0, 1, 2);
    view.setData(d.get());
    view.panX = 12;
    view.panY = 5;
    QPixmap *canvas = view.background;
    fixture::resizeNow(view, 600, 500);
    QCOMPARE(view.panX, 12);
    QCOMPARE(view.panY, 5);
    QCOMPARE(view.originX, -700);
    QCOMPARE(view.originY, -500);
    QCOMPARE(view.background, canvas);
}

void TestCAViewState::zoomOut_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("200") << 200 << 195;
    QTest::newRow("15") << 15 << 10;
    QTest::newRow("14") << 14 << 10;
    QTest::newRow("10") << 10 << 10;
    QTest::newRow("11") << 11 << 10;
}

void TestCAViewState::zoomOut()
{
    QFETCH(int, before);
    QFETCH(int, after);
    auto d = makeData({{0.5, 0.5}}, {}, {1, 1});
    CAView view(0, 1, 2);
    view.imageThreshold = 0;
    view.setData(d.get());
    view.scale = before;
    view.zoomOut();
    QCOMPARE(view.scale, after);
    // The point layer follows the new scale.
    QCOMPARE(fixture::drawnImages(view).at(0).x, 1000.0 + std::trunc(after * 0.5));
}

void TestCAViewState::zoomNeedsData()
{
    CAView view(0, 1, 2);
    view.zoomOut();
    view.zoomIn();
    QCOMPARE(view.scale, 200);
    auto d = makeData({{0.5, 0.5}}, {}, {1, 1});
    view.setData(d.get());
    for (int i = 0; i < 100; ++i)
        view.zoomIn();
    QCOMPARE(view.scale, 700);
}

void TestCAViewState::projectionModesMoveOneFamily_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QPointF>("image");
    QTest::addColumn<QPointF>("word");
    // Image (0.5, 0.5) and word (0.5, -0.5); eigenvalues 0.25 and 0.64, so
    // the barycentric rescaling multiplies by 0.5 and 0.8.
    QTest::newRow("normal") << 0 << QPointF(1100, 650) << QPointF(1100, 850);
    QTest::newRow("columns as barycenters") << 1 << QPointF(1100, 650) << QPointF(1050, 830);
    QTest::newRow("rows as barycenters") << 2 << QPointF(1050, 670) << QPointF(1100, 850);
}

void TestCAViewState::projectionModesMoveOneFamily()
{
    QFETCH(int, mode);
    QFETCH(QPointF, image);
    QFETCH(QPointF, word);
    auto d = makeData({{0.5, 0.5}}, {{0.5, -0.5}}, {0.25, 0.64});
    CAView view(0, 1, 2);
    view.setData(d.get());
    view.changeThreshold(0);
    view.setProjectionMode(mode);
    QCOMPARE(fixture::drawnImages(view).size(), size_t(1));
    QCOMPARE(fixture::drawnWords(view).size(), size_t(1));
    QCOMPARE(QPointF(fixture::drawnImages(view)[0].x, fixture::drawnImages(view)[0].y), image);
    QCOMPARE(QPointF(fixture::drawnWords(view)[0].x, fixture::drawnWords(view)[0].y), word);
    int cx, cy;
    view.id2cell(0, cx, cy);
    QCOMPARE(QPoint(cx, cy), image.toPoint());
}

void TestCAViewState::sameProjectionModeDoesNotRebuild()
{
    auto d = makeData({{0.5, 0.5}}, {{0.5, -0.5}}, {0.25, 0.64});
    CAView view(0, 1, 2);
    view.setData(d.get());
    view.hoverWords.insert(0); // a rebuild would empty it
    Console::Capture capture;
    view.setProjectionMode(0);
    QCOMPARE(capture.out(), QStringList{"set mode, mode = 0"});
    QCOMPARE(view.hoverWords.size(), 1);
    view.setProjectionMode(1);
    QCOMPARE(view.projectionMode, 1);
    QVERIFY(view.hoverWords.isEmpty());
}

void TestCAViewState::changeAxisUsesTheAxisNumber()
{
    // The rescaling takes the eigenvalue of the axis number, not of the
    // position among the shown axes.
    auto d = makeData({{0.1, 0.2, 0.5}}, {}, {1, 1, 0.25});
    CAView view(0, 1, 2);
    view.imageThreshold = 0;
    view.setData(d.get());
    view.changeAxis(2, 0, 1);
    QCOMPARE(view.axis1, 2);
    QCOMPARE(view.axis2, 0);
    QCOMPARE(view.axis3, 1);
    QCOMPARE(fixture::drawnImages(view).at(0).x, 1100.0);
    QCOMPARE(fixture::drawnImages(view).at(0).y, 730.0);
    view.setProjectionMode(2);
    QCOMPARE(fixture::drawnImages(view).at(0).x, 1050.0);
}

void TestCAViewState::cellOfNegativePixel()
{
    // With scale 1 the canvas pixel is 1000 + trunc(x), 750 - trunc(y).
    auto d = makeData({{-1003.5, 747.5}, {-997, 747}, {-1005, 747}}, {}, {1, 1});
    CAView view(0, 1, 2);
    view.setData(d.get());
    view.scale = 1;
    view.changeCellSize(5);
    int cx, cy;
    view.id2cell(0, cx, cy); // pixel (-3, 3)
    QCOMPARE(QPoint(cx, cy), QPoint(0, 0));
    view.id2cell(1, cx, cy); // pixel (3, 3)
    QCOMPARE(QPoint(cx, cy), QPoint(0, 0));
    view.id2cell(2, cx, cy); // pixel (-5, 3)
    QCOMPARE(QPoint(cx, cy), QPoint(-1, 0));
}

void TestCAViewState::cellFollowsImageProjection()
{
    auto d = makeData({{0.5, 0.5}}, {}, {0.25, 0.25});
    CAView view(0, 1, 2);
    view.setData(d.get());
    view.changeCellSize(10);
    int cx, cy;
    view.id2cell(0, cx, cy);
    QCOMPARE(QPoint(cx, cy), QPoint(110, 65));
    view.setProjectionMode(1); // words only
    view.id2cell(0, cx, cy);
    QCOMPARE(QPoint(cx, cy), QPoint(110, 65));
    view.setProjectionMode(2);
    view.id2cell(0, cx, cy);
    QCOMPARE(QPoint(cx, cy), QPoint(105, 70));
    // A zero cell size is treated as one pixel instead of dividing by zero.
    view.cellSize = 0;
    view.id2cell(0, cx, cy);
    QCOMPARE(QPoint(cx, cy), QPoint(1050, 700));
}

void TestCAViewState::cellSizeAndRadiusDoNotRebuild()
{
    auto d = makeData({{0.5, 0.5}}, {}, {1, 1});
    CAView view(0, 1, 2);
    view.setData(d.get());
    view.imageList.append(0); // a rebuild would empty it
    Console::Capture capture;
    view.changeCellSize(7);
    view.changeRadius(33);
    QCOMPARE(capture.out(), QStringList{"Cell size changed to 7"});
    QCOMPARE(view.cellSize, 7);
    QCOMPARE(view.radius, 33);
    QCOMPARE(view.imageList.size(), 1);
}

void TestCAViewState::neighbourStructureNeedsData()
{
    CAView view(0, 1, 2);
    view.changeNeigbbourStructure(false);
    QVERIFY(view.circleNeighbour);
    view.changeRadius(5); // needs no data
    QCOMPARE(view.radius, 5);
    auto d = makeData({{0.5, 0.5}}, {}, {1, 1});
    view.setData(d.get());
    view.changeNeigbbourStructure(false);
    QVERIFY(!view.circleNeighbour);
}

void TestCAViewState::hugeAndNaNCoordinatesSaturate()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto d = makeData({{1e300, -1e300}, {nan, 0.5}}, {}, {1, 1});
    CAView view(0, 1, 2);
    view.setData(d.get());
    QCOMPARE(fixture::drawnImages(view).size(), size_t(2));
    const Point huge = fixture::drawnImages(view)[0];
    QVERIFY(huge.x > 1e8);
    QVERIFY(huge.y > 1e8); // far below the canvas
    QVERIFY(fixture::drawnImages(view)[1].x < -1e8);
    // Widget positions stay representable.
    QVERIFY(view.imagePosition(0).x() > 1e8);
    QVERIFY(!view.grab().isNull());
}

QTEST_MAIN(TestCAViewState)
#include "tst_caview_state.moc"
