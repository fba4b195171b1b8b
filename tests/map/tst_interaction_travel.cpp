// Leaving the map for the detail panes: the quick stroke on the way out is
// undone, and the neighbourhood where the cursor rested is shown again.

#include "tst_interaction_fixture.h"

#include <QSignalSpy>
#include <QtTest>

using namespace interaction;

class TestInteractionTravel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<CAData *>(); }
    void quickStrokeOutIsUndone();
    void restAtTheEdgeIsKept();
    void lockedMapIsLeftAlone();
    void imageLockSendsTheRestingWords();
    void lockStateIsAnnounced();
};

namespace {

// Images in two clusters far apart, one word beside each: a hover at A
// gathers images 0 and 1, one at B image 2, one at the edge nothing.
std::unique_ptr<CAData> twoClusters()
{
    return makeData({{500, 500}, {510, 505}, {1500, 500}}, {{505, 502}, {1502, 500}});
}

void leave(CAView &view)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(&view, &event);
}

} // namespace

void TestInteractionTravel::quickStrokeOutIsUndone()
{
    auto data = twoClusters();
    CAView view(0, 1, 2);
    attach(view, data.get());
    view.radius = 30;
    QSignalSpy images(&view, &CAView::imagesChanged);

    hoverAt(view, 505, 502);
    const QVector<int> resting = view.imageList;
    QCOMPARE(resting.size(), 2);
    const QSet<int> restingWords = view.wordList;
    QCOMPARE(restingWords, QSet<int>{100});
    const int focus = view.focusImage;
    QTest::qWait(250); // the user looks at the panes' neighbourhood

    // On the way to the panes the cursor crosses cluster B and empty canvas.
    hoverAt(view, 1500, 500);
    QCOMPARE(view.imageList, QVector<int>{2});
    hoverAt(view, 1900, 500);
    QVERIFY(view.imageList.isEmpty());
    const int before = int(images.count());
    leave(view);

    QCOMPARE(images.count(), before + 1);
    QCOMPARE(view.imageList, resting);
    QCOMPARE(view.wordList, restingWords);
    QCOMPARE(view.focusImage, focus);
    QCOMPARE(images.last().at(3).toInt(), focus);
    QCOMPARE(QPoint(view.cursorX, view.cursorY), widgetAt(view, 505, 502));
}

void TestInteractionTravel::restAtTheEdgeIsKept()
{
    auto data = twoClusters();
    CAView view(0, 1, 2);
    attach(view, data.get());
    view.radius = 30;
    QSignalSpy images(&view, &CAView::imagesChanged);

    hoverAt(view, 505, 502);
    QTest::qWait(250);
    hoverAt(view, 1500, 500);
    // The cursor stops on cluster B, then leaves: B is what it chose.
    QTest::qWait(250);
    const int before = int(images.count());
    leave(view);
    QCOMPARE(images.count(), before);
    QCOMPARE(view.imageList, QVector<int>{2});

    // Entering and leaving without ever resting changes nothing either.
    hoverAt(view, 505, 502);
    hoverAt(view, 1900, 500);
    leave(view);
    QCOMPARE(images.count(), before + 2);
    QVERIFY(view.imageList.isEmpty());
}

void TestInteractionTravel::lockedMapIsLeftAlone()
{
    auto data = twoClusters();
    CAView view(0, 1, 2);
    attach(view, data.get());
    view.radius = 30;
    hoverAt(view, 505, 502);
    QTest::qWait(250);
    hoverAt(view, 1500, 500);
    press(view, widgetAt(view, 1500, 500)); // lock on B
    release(view, widgetAt(view, 1500, 500));
    QSignalSpy images(&view, &CAView::imagesChanged);
    leave(view);
    QCOMPARE(images.count(), 0);
    QCOMPARE(view.imageList, QVector<int>{2});
}

void TestInteractionTravel::imageLockSendsTheRestingWords()
{
    auto data = twoClusters();
    CAView view(0, 1, 2);
    attach(view, data.get());
    view.radius = 30;
    press(view, widgetAt(view, 505, 502), Qt::RightButton); // images frozen
    hoverAt(view, 505, 502);
    QTest::qWait(250);
    hoverAt(view, 1500, 500);
    QCOMPARE(view.wordList, QSet<int>{101});
    QSignalSpy words(&view, &CAView::wordsChanged);
    QSignalSpy images(&view, &CAView::imagesChanged);
    leave(view);
    QCOMPARE(images.count(), 0);
    QCOMPARE(words.count(), 1);
    QCOMPARE(view.wordList, QSet<int>{100});
}

void TestInteractionTravel::lockStateIsAnnounced()
{
    auto data = twoClusters();
    CAView view(0, 1, 2);
    attach(view, data.get());
    QSignalSpy modes(&view, &CAView::modeChanged);
    press(view, widgetAt(view, 505, 502));
    QCOMPARE(modes.count(), 1);
    QCOMPARE(modes.last().at(0).toInt(), CAView::ModeNormal | CAView::ModeLocked);
    press(view, widgetAt(view, 505, 502));
    QCOMPARE(modes.last().at(0).toInt(), int(CAView::ModeNormal));
    view.setMode(CAView::ModeHand);
    QCOMPARE(modes.count(), 3);
    view.setMode(CAView::ModeHand); // no change, no signal
    QCOMPARE(modes.count(), 3);
}

QTEST_MAIN(TestInteractionTravel)
#include "tst_interaction_travel.moc"
