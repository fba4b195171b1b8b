// Map tools behind their interface: the mode word follows the active tool,
// a tool of the test's own gets the events and paints its overlay, and the
// measuring tool measures in map units.

#include "tst_caview_fixture.h"
#include "tst_interaction_fixture.h"

#include "map/tools/maptool.h"
#include "map/tools/measuretool.h"

#include <QKeyEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>

using namespace interaction;

namespace {

// A view of 800 x 600 showing images and words given by canvas spots, as
// every test here starts from.
struct ShownMap
{
    ShownMap(const std::vector<Spot> &images, const std::vector<Spot> &words) : data(makeData(images, words))
    {
        fixture::resizeNow(view, 800, 600);
        attach(view, data.get());
    }
    std::unique_ptr<CAData> data;
    CAView view{0, 1, 2};
};

constexpr int Normal = CAView::ModeNormal;
constexpr int Locked = CAView::ModeLocked;
constexpr int ImageLocked = CAView::ModeImageLocked;
constexpr int Hand = CAView::ModeHand;
constexpr int Selection = CAView::ModeSelection;

// A tool written against the interface alone: it counts what reaches it,
// takes the key K, and paints a filled square where it was last pressed.
class RecordingTool : public MapTool
{
public:
    using MapTool::MapTool;
    bool tracksMouse() const override { return true; }
    QCursor cursor() const override { return QCursor(Qt::PointingHandCursor); }
    void press(QMouseEvent *e) override
    {
        ++presses;
        last = e->position().toPoint();
        pressedAt = host().transform().mapFromWidget(e->position());
        host().update();
    }
    void move(QMouseEvent *) override { ++moves; }
    void release(QMouseEvent *) override { ++releases; }
    bool keyPress(QKeyEvent *e) override { return e->key() == Qt::Key_K && ++keys; }
    void reset() override { ++resets; }
    void paint(QPainter &painter) const override
    {
        if (presses > 0)
            painter.fillRect(QRect(last - QPoint(3, 3), QSize(7, 7)), QColor(0, 200, 100));
    }
    int presses = 0, moves = 0, releases = 0, keys = 0, resets = 0;
    QPoint last;
    QPointF pressedAt;
};

void key(CAView &view, int k)
{
    QKeyEvent event(QEvent::KeyPress, k, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &event);
}

} // namespace

class TestMapTool : public QObject
{
    Q_OBJECT

private slots:
    void modeWordFollowsTool_data();
    void modeWordFollowsTool();
    void writtenModeWordWins();
    void toolGetsEventsAndPaints();
    void toolOfAnotherMapRefused();
    void deletedToolLeavesHover();
    void measuresInMapUnits_data();
    void measuresInMapUnits();
    void measurementClears_data();
    void measurementClears();
    void measurementStaysOnTheMap();
    void measurementIsDrawn();
};

// Start with a mode word, switch to the measuring tool, then back by a mode
// command: the interaction bit is the tool's, the locks stay.
void TestMapTool::modeWordFollowsTool_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("command"); // mode word given to setMode afterwards
    QTest::addColumn<int>("measuring"); // mode word while measuring
    QTest::addColumn<int>("after");

    QTest::newRow("normal") << Normal << Normal << 0 << Normal;
    QTest::newRow("locked hover") << (Normal | Locked) << (Normal | Locked) << Locked << (Normal | Locked);
    QTest::newRow("image lock to hand") << (Normal | ImageLocked) << (Hand | ImageLocked) << ImageLocked
                                        << (Hand | ImageLocked);
    QTest::newRow("selection") << Selection << Selection << 0 << Selection;
}

void TestMapTool::modeWordFollowsTool()
{
    QFETCH(int, start);
    QFETCH(int, command);
    QFETCH(int, measuring);
    QFETCH(int, after);

    ShownMap shown({{1000, 750}}, {{1100, 700}});
    CAView &view = shown.view;
    view.setMode(start);
    auto *tool = new MeasureTool(&view);
    QSignalSpy modes(&view, &CAView::modeChanged);
    QSignalSpy tools(&view, &CAView::mapToolChanged);

    view.setMapTool(tool);
    QCOMPARE(view.mode, measuring);
    QCOMPARE(view.mapTool(), tool);
    QVERIFY(view.hasMouseTracking());
    QCOMPARE(view.cursor().shape(), Qt::CrossCursor);
    QCOMPARE(modes.size(), measuring != start ? 1 : 0);
    QCOMPARE(tools.size(), 1);

    view.setMode(command);
    QCOMPARE(view.mode, after);
    QVERIFY(view.mapTool() != tool);
    QCOMPARE(view.mapTool()->modeBit(), after & (Normal | Hand | Selection));
    QCOMPARE(view.hasMouseTracking(), (after & Normal) != 0);
    QCOMPARE(tools.size(), 2);
}

// The mode word is a public field: written directly, it hands the mouse to
// the tool of its bit, as before tools could be set.
void TestMapTool::writtenModeWordWins()
{
    ShownMap shown({{1000, 750}}, {});
    CAView &view = shown.view;
    auto *tool = new RecordingTool(&view);
    view.setMapTool(tool);
    view.mode = Hand;
    const QPoint at = widgetAt(view, 1000, 750);
    press(view, at);
    drag(view, at + QPoint(30, 0));
    release(view, at + QPoint(30, 0));
    QCOMPARE(tool->presses, 0);
    QCOMPARE(view.panX, 30);
}

void TestMapTool::toolGetsEventsAndPaints()
{
    ShownMap shown({{1000, 750}}, {});
    CAView &view = shown.view;
    auto *tool = new RecordingTool(&view);
    view.setMapTool(tool);
    QCOMPARE(view.cursor().shape(), Qt::PointingHandCursor);

    const QPoint at = widgetAt(view, 1100, 650);
    send(view, QEvent::MouseMove, at - QPoint(5, 5));
    press(view, at);
    drag(view, at);
    release(view, at);
    key(view, Qt::Key_K);
    QCOMPARE(tool->presses, 1);
    QCOMPARE(tool->moves, 2);
    QCOMPARE(tool->releases, 1);
    QCOMPARE(tool->keys, 1);
    // Canvas pixel (1100, 650) is (100, 100) pixels right of and above the
    // origin: 100 / kScale map units on each axis.
    QCOMPARE(tool->pressedAt, QPointF(100.0 / kScale, 100.0 / kScale));
    // No hover happened: the focus and the neighbourhood are untouched.
    QCOMPARE(view.focusImage, -1);
    QCOMPARE(view.cursorX, 100);

    const QImage shot = fixture::shot(view);
    QCOMPARE(fixture::at(shot, at.x(), at.y()), QColor(0, 200, 100));

    // Back to the hover: the tool is told to forget, and paints nothing more.
    view.setMapTool(nullptr);
    QCOMPARE(tool->resets, 1);
    QCOMPARE(view.mode, Normal);
    QVERIFY(fixture::at(fixture::shot(view), at.x(), at.y()) != QColor(0, 200, 100));
}

void TestMapTool::toolOfAnotherMapRefused()
{
    CAView view(0, 1, 2);
    CAView other(0, 1, 2);
    auto *tool = new RecordingTool(&other);
    view.setMapTool(tool);
    QVERIFY(view.mapTool() != tool);
    QCOMPARE(view.mode, Normal);
}

void TestMapTool::deletedToolLeavesHover()
{
    ShownMap shown({{1000, 750}}, {});
    CAView &view = shown.view;
    view.setMode(Normal | Locked);
    auto *tool = new RecordingTool(&view);
    view.setMapTool(tool);
    delete tool;
    QCOMPARE(view.mode, Normal | Locked);
    QVERIFY(view.mapTool() != nullptr);
    QCOMPARE(view.mapTool()->modeBit(), Normal);
}

// Two clicks at widget positions a and b on a map of the given scale, pan and
// axes: the distance is |b - a| / scale map units, whatever the pan.
void TestMapTool::measuresInMapUnits_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPoint>("pan");
    QTest::addColumn<QPoint>("a");
    QTest::addColumn<QPoint>("b");
    QTest::addColumn<bool>("swapAxes");

    QTest::newRow("3-4-5 at 128") << 128.0 << QPoint() << QPoint(100, 100) << QPoint(400, 500) << false;
    QTest::newRow("horizontal, panned") << 64.0 << QPoint(37, -12) << QPoint(10, 300) << QPoint(650, 300)
                                         << false;
    QTest::newRow("vertical, zoomed out") << 2.5 << QPoint() << QPoint(400, 20) << QPoint(400, 580) << true;
    QTest::newRow("same place") << 200.0 << QPoint() << QPoint(222, 333) << QPoint(222, 333) << false;
}

void TestMapTool::measuresInMapUnits()
{
    QFETCH(double, scale);
    QFETCH(QPoint, pan);
    QFETCH(QPoint, a);
    QFETCH(QPoint, b);
    QFETCH(bool, swapAxes);

    ShownMap shown({{1000, 750}, {900, 700}}, {{1100, 700}});
    CAView &view = shown.view;
    if (swapAxes)
        view.changeAxis(1, 0, 2);
    view.setScale(scale);
    view.panBy(pan.x(), pan.y(), true);
    auto *tool = new MeasureTool(&view);
    view.setMapTool(tool);
    QSignalSpy measured(tool, &MeasureTool::measured);

    press(view, a);
    release(view, a);
    QCOMPARE(measured.size(), 0);
    QCOMPARE(tool->distance(), -1.0);
    press(view, b);
    release(view, b);

    const double expected = std::hypot(double(b.x() - a.x()), double(b.y() - a.y())) / scale;
    QCOMPARE(measured.size(), 1);
    QVERIFY(std::abs(measured.at(0).at(0).toDouble() - expected) <= 1e-9 * (1 + expected));
    QVERIFY(std::abs(tool->distance() - expected) <= 1e-9 * (1 + expected));
    const QString text = measured.at(0).at(1).toString();
    QVERIFY2(text.startsWith(QString::number(expected, 'g', 4) + QLatin1Char(' ')), qPrintable(text));
    QVERIFY2(text.endsWith(swapAxes ? QStringLiteral("map units on axes 2 and 1")
                                    : QStringLiteral("map units on axes 1 and 2")),
             qPrintable(text));
    // Clicks on the map are not hover clicks: no lock was toggled.
    QCOMPARE(view.mode & (Locked | ImageLocked), 0);

    // A third click starts a new measurement.
    press(view, a);
    QCOMPARE(tool->points().size(), 1);
    QCOMPARE(tool->distance(), -1.0);
}

void TestMapTool::measurementClears_data()
{
    QTest::addColumn<bool>("byKey"); // Esc, else the right button
    QTest::newRow("Esc") << true;
    QTest::newRow("right button") << false;
}

void TestMapTool::measurementClears()
{
    QFETCH(bool, byKey);
    ShownMap shown({{1000, 750}}, {});
    CAView &view = shown.view;
    view.changeFocus(0);
    auto *tool = new MeasureTool(&view);
    view.setMapTool(tool);
    press(view, QPoint(100, 100));
    press(view, QPoint(200, 100));
    QCOMPARE(tool->points().size(), 2);

    if (byKey)
        key(view, Qt::Key_Escape);
    else
        press(view, QPoint(300, 300), Qt::RightButton);
    QVERIFY(tool->points().isEmpty());
    // The Esc went to the tool, not to the map: the focus stays.
    QCOMPARE(view.focusImage, 0);
    if (byKey) {
        // With nothing left to clear, Esc is the map's again.
        key(view, Qt::Key_Escape);
        QCOMPARE(view.focusImage, -1);
    }
}

// Points are kept in map units: zooming and panning after the clicks neither
// changes the distance nor moves the ends off the places clicked.
void TestMapTool::measurementStaysOnTheMap()
{
    ShownMap shown({{1000, 750}}, {});
    CAView &view = shown.view;
    auto *tool = new MeasureTool(&view);
    view.setMapTool(tool);
    const QPoint a = widgetAt(view, 1000, 750), b = widgetAt(view, 1128, 750);
    press(view, a);
    press(view, b);
    QCOMPARE(tool->distance(), 1.0);
    view.zoomAt(2.0, QPointF(a));
    view.panBy(15, -40, true);
    QCOMPARE(tool->distance(), 1.0);
    QCOMPARE(tool->points().at(0), QPointF(0, 0));
    QCOMPARE(tool->points().at(1), QPointF(1, 0));
}

// The overlay: a line between the two ends, painted over the map; gone once
// cleared.
void TestMapTool::measurementIsDrawn()
{
    ShownMap shown({{1000, 750}}, {});
    CAView &view = shown.view;
    auto *tool = new MeasureTool(&view);
    view.setMapTool(tool);
    const QRect band(150, 505, 500, 20); // around the line, below its label
    const int before = fixture::count(fixture::shot(view), band, Qt::white);
    press(view, QPoint(150, 515));
    press(view, QPoint(650, 515));
    const int drawn = fixture::count(fixture::shot(view), band, Qt::white);
    QVERIFY2(before - drawn > 200, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(drawn)));
    key(view, Qt::Key_Escape);
    QCOMPARE(fixture::count(fixture::shot(view), band, Qt::white), before);
}

QTEST_MAIN(TestMapTool)
#include "tst_maptool.moc"
