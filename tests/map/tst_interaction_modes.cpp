// Mode word, cursors, locks by clicks, and hand-mode panning.

#include "tst_interaction_fixture.h"

#include <QCursor>
#include <QFile>
#include <QPixmap>
#include <QSignalSpy>
#include <QtTest>

using namespace interaction;

namespace {

constexpr int Normal = CAView::ModeNormal;
constexpr int Locked = CAView::ModeLocked;
constexpr int ImageLocked = CAView::ModeImageLocked;
constexpr int Hand = CAView::ModeHand;
constexpr int Selection = CAView::ModeSelection;

} // namespace

class TestInteractionModes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cursorFollowsMode_data();
    void cursorFollowsMode();
    void trackingOnlyInNormalMode();
    void leftClickFreezesHover();
    void rightClickOnlyWhileUnlocked();
    void doubleClickTogglesOnce();
    void lockSurvivesHandMode();
    void handDragAddsUp_data();
    void handDragAddsUp();
};

void TestInteractionModes::initTestCase()
{
    for (const char *name : {"select", "hand", "locked", "image_locked"})
        QVERIFY2(QFile::exists(QStringLiteral(":/images/%1.png").arg(QLatin1String(name))), name);
}

void TestInteractionModes::cursorFollowsMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("image"); // empty: the standard arrow
    QTest::addColumn<QPoint>("hotSpot");

    QTest::newRow("selection") << Selection << "select" << QPoint(0, 1);
    QTest::newRow("selection, locks kept") << (Selection | Locked | ImageLocked) << "select" << QPoint(0, 1);
    QTest::newRow("hand") << Hand << "hand" << QPoint(15, 9);
    QTest::newRow("hand, locked") << (Hand | Locked) << "hand" << QPoint(15, 9);
    QTest::newRow("no mode bit") << 0 << "" << QPoint();
    QTest::newRow("lock without normal") << Locked << "" << QPoint();
    QTest::newRow("normal") << Normal << "" << QPoint();
    QTest::newRow("locked") << (Normal | Locked) << "locked" << QPoint(15, 16);
    QTest::newRow("both locks") << (Normal | Locked | ImageLocked) << "locked" << QPoint(15, 16);
    QTest::newRow("image locked") << (Normal | ImageLocked) << "image_locked" << QPoint(0, 1);
}

void TestInteractionModes::cursorFollowsMode()
{
    QFETCH(int, mode);
    QFETCH(QString, image);
    QFETCH(QPoint, hotSpot);

    CAView view(0, 1, 2);
    view.setMode(mode);
    QCOMPARE(view.mode, mode);
    const QCursor cursor = view.cursor();
    if (image.isEmpty()) {
        QCOMPARE(cursor.shape(), Qt::ArrowCursor);
        return;
    }
    QCOMPARE(cursor.shape(), Qt::BitmapCursor);
    QCOMPARE(cursor.hotSpot(), hotSpot);
    const QImage expected = QPixmap(QStringLiteral(":/images/%1.png").arg(image)).toImage();
    QVERIFY(!expected.isNull());
    QCOMPARE(cursor.pixmap().toImage(), expected);
}

void TestInteractionModes::trackingOnlyInNormalMode()
{
    CAView view(0, 1, 2);
    QCOMPARE(view.mode, Normal);
    QVERIFY(view.hasMouseTracking());
    view.setMode(Hand | Locked);
    QVERIFY(!view.hasMouseTracking());
    view.setMode(Selection);
    QVERIFY(!view.hasMouseTracking());
    view.setMode(Normal | Locked);
    QVERIFY(view.hasMouseTracking());
}

void TestInteractionModes::leftClickFreezesHover()
{
    auto data = makeData({{500, 500}, {800, 800}}, {{800, 801}});
    CAView view(0, 1, 2);
    attach(view, data.get());
    hoverAt(view, 500, 500);
    QCOMPARE(view.focusImage, 0);

    QSignalSpy images(&view, &CAView::imagesChanged);
    QSignalSpy words(&view, &CAView::wordsChanged);
    press(view, widgetAt(view, 500, 500));
    release(view, widgetAt(view, 500, 500));
    QCOMPARE(view.mode, Normal | Locked);
    QCOMPARE(view.cursor().hotSpot(), QPoint(15, 16));
    QVERIFY(view.hasMouseTracking());

    const QPoint cursorBefore(view.cursorX, view.cursorY);
    hoverAt(view, 800, 800);
    QCOMPARE(view.focusImage, 0);
    QCOMPARE(view.imageList, QVector<int>{0});
    QVERIFY(view.hoverWords.isEmpty());
    QCOMPARE(QPoint(view.cursorX, view.cursorY), cursorBefore);

    press(view, widgetAt(view, 800, 800));
    QCOMPARE(view.mode, Normal);
    QCOMPARE(view.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(images.count(), 0); // presses never emit
    QCOMPARE(words.count(), 0);

    hoverAt(view, 800, 800);
    QCOMPARE(images.count(), 1);
    QCOMPARE(view.focusImage, 1);
}

void TestInteractionModes::rightClickOnlyWhileUnlocked()
{
    auto data = makeData({{500, 500}}, {});
    CAView view(0, 1, 2);
    attach(view, data.get());

    press(view, QPoint(5, 5), Qt::RightButton);
    QCOMPARE(view.mode, Normal | ImageLocked);
    press(view, QPoint(5, 5), Qt::MiddleButton);
    QCOMPARE(view.mode, Normal | ImageLocked);
    press(view, QPoint(5, 5), Qt::LeftButton);
    QCOMPARE(view.mode, Normal | ImageLocked | Locked);
    QCOMPARE(view.cursor().hotSpot(), QPoint(15, 16));
    // While fully locked the right button does nothing.
    press(view, QPoint(5, 5), Qt::RightButton);
    QCOMPARE(view.mode, Normal | ImageLocked | Locked);
    press(view, QPoint(5, 5), Qt::LeftButton);
    press(view, QPoint(5, 5), Qt::RightButton);
    QCOMPARE(view.mode, Normal);
}

// A double click arrives as press, release, double click, release.
void TestInteractionModes::doubleClickTogglesOnce()
{
    auto data = makeData({{500, 500}}, {});
    CAView view(0, 1, 2);
    attach(view, data.get());
    const QPoint p(40, 40);

    press(view, p);
    release(view, p);
    send(view, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
    release(view, p);
    QCOMPARE(view.mode, Normal | Locked);

    press(view, p, Qt::RightButton);
    release(view, p, Qt::RightButton);
    press(view, p);
    release(view, p);
    send(view, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
    release(view, p);
    QCOMPARE(view.mode, Normal);
}

void TestInteractionModes::lockSurvivesHandMode()
{
    auto data = makeData({{500, 500}}, {});
    CAView view(0, 1, 2);
    attach(view, data.get());
    press(view, QPoint(5, 5));
    QCOMPARE(view.mode, Normal | Locked);

    // What the main window does: one of the three modes, the locks kept.
    const int locks = Locked | ImageLocked;
    view.setMode(Hand | (view.mode & locks));
    press(view, QPoint(5, 5));
    press(view, QPoint(5, 5), Qt::RightButton);
    release(view, QPoint(5, 5));
    QCOMPARE(view.mode, Hand | Locked);

    view.setMode(Normal | (view.mode & locks));
    QCOMPARE(view.mode, Normal | Locked);
    QCOMPARE(view.cursor().hotSpot(), QPoint(15, 16));
    QVERIFY(view.hasMouseTracking());
}

void TestInteractionModes::handDragAddsUp_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("releaseX"); // release position, canvas x
    QTest::newRow("one movement") << 1 << 530;
    QTest::newRow("thirty movements") << 30 << 530;
    QTest::newRow("uneven steps, release past the last movement") << 7 << 530;
    QTest::newRow("no movement") << 0 << 530;
}

void TestInteractionModes::handDragAddsUp()
{
    QFETCH(int, steps);
    QFETCH(int, releaseX);

    auto data = makeData({{700, 600}}, {});
    CAView view(0, 1, 2);
    attach(view, data.get());
    const QPoint imageBefore = view.imagePosition(0);
    view.setMode(Hand);

    const QPoint start = widgetAt(view, 500, 400);
    press(view, start);
    // Movements reach at most x + 26, then the release lands at x + 30.
    const int reach = steps == 7 ? 26 : 30;
    for (int s = 1; s <= steps; ++s)
        drag(view, start + QPoint(reach * s / steps, (s % 3) - 1));
    release(view, QPoint(start.x() + releaseX - 500, start.y()));

    QCOMPARE(view.panX, 30);
    QCOMPARE(view.panY, 0);
    QCOMPARE(view.imagePosition(0), imageBefore + QPoint(30, 0));

    // The hover follows the moved map.
    view.setMode(Normal);
    send(view, QEvent::MouseMove, view.imagePosition(0));
    QCOMPARE(view.focusImage, 0);
}

QTEST_MAIN(TestInteractionModes)
#include "tst_interaction_modes.moc"
