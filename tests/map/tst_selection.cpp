// Polygon selection: drawing the outline with the mouse and what it selects.

#include "tst_interaction_fixture.h"

#include "data/model/console.h"

#include <QSignalSpy>
#include <QtTest>

using namespace interaction;

class TestSelection : public QObject
{
    Q_OBJECT

private slots:
    void noDataSelectsNothing();
    void pressStartsOutline();
    void tooFewVerticesSelectNothing_data();
    void tooFewVerticesSelectNothing();
    void rectangleEitherWay_data();
    void rectangleEitherWay();
    void thresholdKeepsWeakPointsOut();
    void summaryCountsWhatTheThresholdLeft_data();
    void summaryCountsWhatTheThresholdLeft();
    void hiddenWordsAreStillSelected();
    void doubleLoopIsOutside();
    void panningMovesPointsUnderOutline();

private:
    // Presses, moves through `points` and releases at the last one, all given
    // as canvas pixels.
    static void outline(CAView &view, const QVector<QPoint> &points);
};

void TestSelection::outline(CAView &view, const QVector<QPoint> &points)
{
    press(view, widgetAt(view, points.first().x(), points.first().y()));
    for (qsizetype k = 1; k < points.size(); ++k)
        drag(view, widgetAt(view, points[k].x(), points[k].y()));
    release(view, widgetAt(view, points.last().x(), points.last().y()));
}

void TestSelection::noDataSelectsNothing()
{
    CAView view(0, 1, 2);
    view.setMode(CAView::ModeSelection);
    QSignalSpy finished(&view, &CAView::selectionFinished);
    Console::Capture console;
    press(view, QPoint(10, 10));
    drag(view, QPoint(100, 10));
    drag(view, QPoint(100, 100));
    release(view, QPoint(100, 100));
    QCOMPARE(finished.count(), 0);
    QVERIFY(view.polygon.isEmpty());
    QVERIFY(console.out().isEmpty());
}

void TestSelection::pressStartsOutline()
{
    auto data = makeData({{500, 500}}, {{510, 510}});
    CAView view(0, 1, 2);
    attach(view, data.get());
    view.setMode(CAView::ModeSelection);
    outline(view, {{450, 450}, {550, 450}, {550, 550}, {450, 550}});
    QCOMPARE(view.selectedImages, QVector<int>{0});
    QCOMPARE(view.selectedWords, QVector<int>{0});
    // The release position is not a vertex.
    QCOMPARE(view.polygon.size(), 4);

    Console::Capture console;
    const QPoint p = widgetAt(view, 20, 30);
    press(view, p, Qt::RightButton);
    QCOMPARE(console.out(), QStringList{"Selection mode begin"});
    QCOMPARE(view.polygon, QVector<QPointF>{QPointF(p)});
    QVERIFY(view.selectedImages.isEmpty());
    QVERIFY(view.selectedWords.isEmpty());
}

void TestSelection::tooFewVerticesSelectNothing_data()
{
    QTest::addColumn<QVector<QPoint>>("points");
    QTest::newRow("click") << QVector<QPoint>{{500, 500}};
    QTest::newRow("one movement") << QVector<QPoint>{{400, 400}, {600, 600}};
}

void TestSelection::tooFewVerticesSelectNothing()
{
    QFETCH(QVector<QPoint>, points);
    auto data = makeData({{500, 500}}, {{500, 500}});
    CAView view(0, 1, 2);
    attach(view, data.get());
    view.setMode(CAView::ModeSelection);
    QSignalSpy finished(&view, &CAView::selectionFinished);
    outline(view, points);
    QCOMPARE(view.polygon.size(), points.size());
    QCOMPARE(finished.count(), 1);
    QVERIFY(view.selectedImages.isEmpty());
    QVERIFY(view.selectedWords.isEmpty());
}

void TestSelection::rectangleEitherWay_data()
{
    QTest::addColumn<QVector<QPoint>>("points");
    QTest::newRow("counter-clockwise on screen")
        << QVector<QPoint>{{400, 400}, {400, 700}, {700, 700}, {700, 400}};
    QTest::newRow("clockwise on screen")
        << QVector<QPoint>{{400, 400}, {700, 400}, {700, 700}, {400, 700}};
    QTest::newRow("many vertices")
        << QVector<QPoint>{{400, 400}, {500, 400}, {600, 400}, {700, 400}, {700, 550},
                           {700, 700}, {550, 700}, {400, 700}, {400, 550}};
}

void TestSelection::rectangleEitherWay()
{
    QFETCH(QVector<QPoint>, points);
    // Inside: images 0, 2, 4 and words 1, 2; the others lie outside, one of
    // them on the right side (x 700), which belongs to the outside.
    auto data = makeData({{450, 450}, {300, 500}, {690, 690}, {700, 500}, {400, 500}},
                         {{800, 500}, {500, 650}, {600, 401}, {500, 700}});
    CAView view(0, 1, 2);
    attach(view, data.get());
    view.setMode(CAView::ModeSelection);
    QSignalSpy finished(&view, &CAView::selectionFinished);
    outline(view, points);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(view.selectedImages, (QVector<int>{0, 2, 4}));
    QCOMPARE(view.selectedWords, (QVector<int>{1, 2}));
}

void TestSelection::thresholdKeepsWeakPointsOut()
{
    // Image 1 weighs almost nothing: its contribution stays below the
    // threshold on both axes although it lies far from the centre.
    auto data = makeData({{600, 600}, {620, 620, 1e-9}, {1000, 600}}, {{610, 610, 1e-9}});
    CAView view(0, 1, 2);
    attach(view, data.get());
    view.imageThreshold = 2;
    view.wordThreshold = 2;
    view.setMode(CAView::ModeSelection);
    outline(view, {{550, 550}, {1100, 550}, {1100, 700}, {550, 700}});
    // Image 2 lies on the vertical axis (no contribution to the first) but
    // reaches the threshold on the second.
    QCOMPARE(view.selectedImages, (QVector<int>{0, 2}));
    QVERIFY(view.selectedWords.isEmpty());
}

void TestSelection::summaryCountsWhatTheThresholdLeft_data()
{
    QTest::addColumn<int>("threshold");
    QTest::addColumn<QString>("summary");
    // Inside the outline: images 0 and 1 weigh 1, images 2 and 3 almost
    // nothing; word 0 weighs 1, word 1 almost nothing. Outside: image 4
    // (weak), image 5 and word 2 (weak). Every heavy point lies at least
    // 150 pixels (1.2 map units, contribution above 1.4) from an axis, far
    // above the threshold of 5 / 6 images or 5 / 3 words; a weak one is far
    // below any threshold above 0.
    QTest::newRow("threshold 0: everything inside is taken")
        << 0 << QStringLiteral("4 images and 2 words selected");
    QTest::newRow("threshold 2") << 2
                                 << QStringLiteral("2 images and 1 word selected; 2 images and 1 word inside "
                                                   "the outline are hidden by the threshold (2)");
    QTest::newRow("threshold 5") << 5
                                 << QStringLiteral("2 images and 1 word selected; 2 images and 1 word inside "
                                                   "the outline are hidden by the threshold (5)");
}

void TestSelection::summaryCountsWhatTheThresholdLeft()
{
    QFETCH(int, threshold);
    QFETCH(QString, summary);
    auto data = makeData({{600, 550, 1}, {1400, 560, 1}, {620, 620, 1e-9}, {700, 650, 1e-9},
                          {1700, 1400, 1e-9}, {300, 100, 1}},
                         {{650, 560, 1}, {1300, 650, 1e-9}, {1800, 100, 1e-9}});
    CAView view(0, 1, 2);
    attach(view, data.get());
    view.imageThreshold = threshold;
    view.wordThreshold = threshold;
    view.setMode(CAView::ModeSelection);
    outline(view, {{550, 500}, {1450, 500}, {1450, 700}, {550, 700}});
    QCOMPARE(view.selectionSummary(), summary);
}

void TestSelection::hiddenWordsAreStillSelected()
{
    auto data = makeData({{500, 500}}, {{520, 520}});
    CAView view(0, 1, 2);
    attach(view, data.get());
    view.showHideWordPoint(false);
    view.showHideImagePoint(false);
    view.setMode(CAView::ModeSelection);
    outline(view, {{450, 450}, {600, 450}, {600, 600}, {450, 600}});
    QCOMPARE(view.selectedImages, QVector<int>{0});
    QCOMPARE(view.selectedWords, QVector<int>{0});
}

void TestSelection::doubleLoopIsOutside()
{
    auto data = makeData({{500, 500}, {800, 500}}, {});
    CAView view(0, 1, 2);
    attach(view, data.get());
    view.setMode(CAView::ModeSelection);
    // Twice around image 0, once around image 1.
    outline(view, {{400, 400}, {600, 400}, {600, 600}, {400, 600}, {400, 400}, {600, 400},
                   {600, 600}, {400, 600}, {400, 400}, {700, 400}, {900, 400}, {900, 600},
                   {700, 600}, {700, 400}});
    QCOMPARE(view.selectedImages, QVector<int>{1});
}

void TestSelection::panningMovesPointsUnderOutline()
{
    auto data = makeData({{500, 500}, {650, 500}}, {});
    CAView view(0, 1, 2);
    attach(view, data.get());
    const QVector<QPointF> screen{widgetAt(view, 450, 450), widgetAt(view, 550, 450),
                                  widgetAt(view, 550, 550), widgetAt(view, 450, 550)};

    auto select = [&] {
        view.setMode(CAView::ModeSelection);
        press(view, screen[0].toPoint());
        for (int k = 1; k < 4; ++k)
            drag(view, screen[k].toPoint());
        release(view, screen[3].toPoint());
        return view.selectedImages;
    };
    QCOMPARE(select(), QVector<int>{0});

    // Drag the map 150 pixels to the left: image 1 moves under the outline.
    view.setMode(CAView::ModeHand);
    press(view, QPoint(300, 300));
    drag(view, QPoint(200, 300));
    release(view, QPoint(150, 300));
    QCOMPARE(view.panX, -150);
    QCOMPARE(select(), QVector<int>{1});
}

QTEST_MAIN(TestSelection)
#include "tst_selection.moc"
