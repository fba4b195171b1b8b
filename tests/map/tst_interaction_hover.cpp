// Hover in normal mode: what is focused, which neighbourhood is built and
// which signal goes out on each movement.

#include "tst_interaction_fixture.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>
#include <map>

using namespace interaction;

class TestInteractionHover : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void noDataIgnoresEverything();
    void movementThatHitsNothing();
    void firstReportedImageWinsOverNearer();
    void imageBeatsWord();
    void circleNeighbourhoodFollowsTheTree();
    void nearestImagesDropTies();
    void nearestImagesMatchOrderedMap_data();
    void nearestImagesMatchOrderedMap();
    void imageLockedHoverEmitsWords();
    void hiddenImagesCannotBeHit();
    void focusAndRadiusChangesEmitNothing();
};

void TestInteractionHover::initTestCase()
{
    // The view's header only declares CAData, so the spies need it named.
    qRegisterMetaType<CAData *>();
}

void TestInteractionHover::noDataIgnoresEverything()
{
    CAView view(0, 1, 2);
    QSignalSpy images(&view, &CAView::imagesChanged);
    QSignalSpy words(&view, &CAView::wordsChanged);
    QSignalSpy selection(&view, &CAView::selectionFinished);

    for (int m : {int(CAView::ModeNormal), int(CAView::ModeHand), int(CAView::ModeSelection)}) {
        view.setMode(m);
        press(view, QPoint(10, 10));
        drag(view, QPoint(50, 40));
        send(view, QEvent::MouseMove, QPoint(60, 60));
        release(view, QPoint(70, 70));
        QCOMPARE(view.mode, m);
    }
    QCOMPARE(images.count(), 0);
    QCOMPARE(words.count(), 0);
    QCOMPARE(selection.count(), 0);
    QCOMPARE(view.cursorX, 100);
    QCOMPARE(view.cursorY, 100);
    QCOMPARE(view.panX, 0);
    QCOMPARE(view.panY, 0);
    QVERIFY(view.polygon.isEmpty());
}

void TestInteractionHover::movementThatHitsNothing()
{
    auto data = makeData({{500, 500}, {900, 900}}, {});
    CAView view(0, 1, 2);
    attach(view, data.get());
    QSignalSpy images(&view, &CAView::imagesChanged);

    hoverAt(view, 501, 499);
    QCOMPARE(view.focusImage, 0);
    QCOMPARE(view.imageList, QVector<int>{0});

    hoverAt(view, 700, 300);
    QCOMPARE(images.count(), 2);
    const QList<QVariant> last = images.last();
    QCOMPARE(last.at(0).value<QVector<int> *>(), &view.imageList);
    QCOMPARE(last.at(1).value<QSet<int> *>(), &view.wordList);
    QCOMPARE(last.at(2).value<CAData *>(), data.get());
    QCOMPARE(last.at(3).toInt(), 0); // the previous focus is sent again
    QCOMPARE(last.at(4).value<CAView *>(), &view);
    QVERIFY(view.imageList.isEmpty());
    QCOMPARE(view.focusImage, 0);
    QVERIFY(view.focusOnImage);
    QCOMPARE(QPoint(view.cursorX, view.cursorY), widgetAt(view, 700, 300));
}

// Ten points: the root splits on y at 501, so image 1 (y 498, farther from
// the cursor) lies in the left subtree and is reported before image 0 (y 501,
// nearer, lower index).
void TestInteractionHover::firstReportedImageWinsOverNearer()
{
    auto data = makeData({{500, 501}, {500, 498}, {100, 100}, {100, 110}, {100, 120},
                          {1800, 900}, {1800, 910}, {1800, 920}, {1800, 930}, {1800, 940}},
                         {});
    CAView view(0, 1, 2);
    attach(view, data.get());

    std::vector<int> reported;
    view.findImages(reported, 500, 500, 2);
    QCOMPARE(reported, (std::vector<int>{1, 0}));

    hoverAt(view, 500, 500);
    QCOMPARE(view.focusImage, 1);
    QVERIFY(view.focusOnImage);
}

void TestInteractionHover::imageBeatsWord()
{
    // Image 2 px away, word right under the cursor: the image wins.
    auto data = makeData({{500, 502}, {800, 803}}, {{500, 500}, {800, 800}});
    CAView view(0, 1, 2);
    attach(view, data.get());

    hoverAt(view, 500, 500);
    QVERIFY(view.focusOnImage);
    QCOMPARE(view.focusImage, 0);
    QCOMPARE(view.focusWord, -1);

    // Image 3 px away, word under the cursor: the word gets the focus and the
    // last focused image is kept and still sent.
    QSignalSpy images(&view, &CAView::imagesChanged);
    hoverAt(view, 800, 800);
    QVERIFY(!view.focusOnImage);
    QCOMPARE(view.focusWord, 1);
    QCOMPARE(view.focusImage, 0);
    QCOMPARE(images.count(), 1);
    QCOMPARE(images.first().at(3).toInt(), 0);

    // Nothing within 2 px: the focus stays on the word.
    hoverAt(view, 1500, 1200);
    QVERIFY(!view.focusOnImage);
    QCOMPARE(view.focusWord, 1);
}

void TestInteractionHover::circleNeighbourhoodFollowsTheTree()
{
    // Images at distance 0, 20 (on the circle) and 21 from (600, 600);
    // words at 20 and 21.
    auto data = makeData({{600, 620}, {621, 600}, {600, 600}, {1200, 1200}},
                         {{580, 600}, {600, 579}, {610, 610}});
    CAView view(0, 1, 2);
    attach(view, data.get());
    QCOMPARE(view.radius, 20);

    hoverAt(view, 600, 600);
    QCOMPARE(view.imageList, (QVector<int>{0, 2}));
    QCOMPARE(view.focusImage, 2);
    QCOMPARE(view.hoverWords, (QSet<int>{0, 2}));
    QCOMPARE(view.wordList, (QSet<int>{100, 102}));

    // Far from everything: both neighbourhoods empty out.
    hoverAt(view, 1700, 200);
    QVERIFY(view.imageList.isEmpty());
    QVERIFY(view.hoverWords.isEmpty());
    QVERIFY(view.wordList.isEmpty());
}

// Distances from image 0: image 1 lies in the same direction (a tie at -1
// with the focus itself), images 2 and 3 at 45 degrees either side (a tie),
// image 4 opposite.
void TestInteractionHover::nearestImagesDropTies()
{
    auto data = makeData({{1100, 750}, {1200, 750}, {1100, 650}, {1100, 850}, {900, 750}}, {});
    CAView view(0, 1, 2);
    attach(view, data.get());
    view.changeNeigbbourStructure(false);
    QVERIFY(!view.circleNeighbour);

    hoverAt(view, 1100, 750);
    QCOMPARE(view.focusImage, 0);
    QCOMPARE(view.imageList, (QVector<int>{0, 2, 4}));

    view.changeRadius(2);
    hoverAt(view, 1100, 751);
    QCOMPARE(view.imageList, (QVector<int>{0, 2}));

    // Nothing under the cursor: the neighbourhood stays.
    QSignalSpy images(&view, &CAView::imagesChanged);
    hoverAt(view, 300, 300);
    QCOMPARE(view.imageList, (QVector<int>{0, 2}));
    QCOMPARE(images.count(), 1);
}

void TestInteractionHover::nearestImagesMatchOrderedMap_data()
{
    QTest::addColumn<int>("radius");
    QTest::newRow("1") << 1;
    QTest::newRow("7") << 7;
    QTest::newRow("20") << 20;
    QTest::newRow("200") << 200;
    QTest::newRow("700") << 700;
    QTest::newRow("all") << 5000;
}

// Against the reference: a map keyed by distance, filled in image order,
// where an equal key never replaces the first one.
void TestInteractionHover::nearestImagesMatchOrderedMap()
{
    QFETCH(int, radius);
    QRandomGenerator random(radius);
    std::vector<Spot> spots;
    // Grid points repeat directions (many equal distances, some exactly
    // opposite); free points give many distinct ones.
    for (int i = 0; i < 1200; ++i)
        spots.push_back({1000 + 64 * (random.bounded(9) - 4), 750 + 64 * (random.bounded(9) - 4)});
    for (int i = 0; i < 1200; ++i)
        spots.push_back({200 + random.bounded(1600), 100 + random.bounded(1300)});
    auto data = makeData(spots, {});
    // An image with no usable coordinates: its distance is NaN.
    const int broken = 17;
    data->Z[2 * broken] = std::numeric_limits<double>::quiet_NaN();

    CAView view(0, 1, 2);
    attach(view, data.get());
    view.changeNeigbbourStructure(false);
    view.changeRadius(radius);

    for (int target : {3, 1500, 2399, 40}) {
        hoverAt(view, spots[target].x, spots[target].y);
        const int focus = view.focusImage;
        QVERIFY(focus >= 0);

        std::map<double, int> ordered;
        for (int i = 0; i < data->nbImages; ++i) {
            const double d = data->distance(focus, i);
            if (!std::isnan(d))
                ordered.emplace(d, i);
        }
        QVector<int> expected;
        for (const auto &entry : ordered) {
            if (expected.size() == radius)
                break;
            expected.append(entry.second);
        }
        QCOMPARE(view.imageList, expected);
        QVERIFY(!view.imageList.contains(broken));
    }
}

void TestInteractionHover::imageLockedHoverEmitsWords()
{
    auto data = makeData({{500, 500}, {505, 500}, {900, 900}}, {{900, 901}, {905, 900}});
    CAView view(0, 1, 2);
    attach(view, data.get());

    hoverAt(view, 500, 500);
    QCOMPARE(view.focusImage, 0);
    const QVector<int> before = view.imageList;
    QCOMPARE(before, (QVector<int>{0, 1}));

    press(view, widgetAt(view, 500, 500), Qt::RightButton);
    QCOMPARE(view.mode, int(CAView::ModeNormal | CAView::ModeImageLocked));

    QSignalSpy images(&view, &CAView::imagesChanged);
    QSignalSpy words(&view, &CAView::wordsChanged);
    hoverAt(view, 900, 900);
    QCOMPARE(images.count(), 0);
    QCOMPARE(words.count(), 1);
    QCOMPARE(words.first().at(0).value<QSet<int> *>(), &view.wordList);
    QCOMPARE(view.imageList, before);
    QCOMPARE(view.focusImage, 0);
    QCOMPARE(view.wordList, (QSet<int>{100, 101}));
    QCOMPARE(view.hoverWords, (QSet<int>{0, 1}));
    // The image under the cursor is ignored; the word takes the focus.
    QVERIFY(!view.focusOnImage);
    QCOMPARE(view.focusWord, 0);

    // A second right click frees the images again.
    press(view, widgetAt(view, 900, 900), Qt::RightButton);
    hoverAt(view, 900, 900);
    QCOMPARE(images.count(), 1);
    QCOMPARE(view.focusImage, 2);
    QVERIFY(view.focusOnImage);
}

void TestInteractionHover::hiddenImagesCannotBeHit()
{
    auto data = makeData({{500, 500}}, {{501, 500}});
    CAView view(0, 1, 2);
    attach(view, data.get());
    view.showHideImagePoint(false);

    hoverAt(view, 500, 500);
    QCOMPARE(view.focusImage, -1);
    QVERIFY(view.imageList.isEmpty());
    QVERIFY(!view.focusOnImage);
    QCOMPARE(view.focusWord, 0);
}

void TestInteractionHover::focusAndRadiusChangesEmitNothing()
{
    auto data = makeData({{500, 500}, {530, 500}, {560, 500}}, {});
    CAView view(0, 1, 2);
    attach(view, data.get());
    hoverAt(view, 500, 500);
    QCOMPARE(view.imageList, (QVector<int>{0}));

    QSignalSpy images(&view, &CAView::imagesChanged);
    QSignalSpy words(&view, &CAView::wordsChanged);
    view.focusOnImage = false;
    view.changeFocus(2);
    view.changeRadius(60);
    QCOMPARE(images.count(), 0);
    QCOMPARE(words.count(), 0);
    QCOMPARE(view.focusImage, 2);
    QVERIFY(view.focusOnImage);
    QCOMPARE(view.imageList, (QVector<int>{0}));

    hoverAt(view, 500, 500);
    QCOMPARE(view.imageList, (QVector<int>{0, 1, 2}));
}

QTEST_MAIN(TestInteractionHover)
#include "tst_interaction_hover.moc"
