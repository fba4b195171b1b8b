// Flying to a found point, the keyboard (focus steps, panning, Esc, Enter)
// and the placement of labels.
#include "map/maplabels.h"
#include "tst_caview_fixture.h"
#include "tst_interaction_fixture.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <cmath>

using namespace interaction;

namespace {

constexpr int W = 800;
constexpr int H = 600;

void key(CAView &view, int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, k, modifiers);
    QCoreApplication::sendEvent(&view, &press);
}

void attachSized(CAView &view, CAData *data)
{
    fixture::resizeNow(view, W, H);
    attach(view, data);
}

double pixelDistance(const QPoint &a, const QPoint &b)
{
    return std::hypot(double(a.x() - b.x()), double(a.y() - b.y()));
}

// A crowd of 12 images a pixel or two apart around canvas (1200, 900), and
// a few images and words elsewhere.
std::vector<Spot> crowd()
{
    std::vector<Spot> spots = {{300, 300}, {1700, 1200}, {600, 1100}};
    for (int k = 0; k < 12; ++k)
        spots.push_back({1200 + (k % 4), 900 + (k / 4)});
    return spots;
}

} // namespace

class TestCAViewFind : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<CAData *>(); }
    void flyToCentresAndFocuses_data();
    void flyToCentresAndFocuses();
    void flyToWord();
    void hiddenMatchIsShownAndMarked();
    void foundImageIsInThePanes_data();
    void foundImageIsInThePanes();
    void tabFollowsDistance_data();
    void tabFollowsDistance();
    void arrowsPan_data();
    void arrowsPan();
    void escapeClearsAndEnterOpens();
    void labelsNeverOverlap_data();
    void labelsNeverOverlap();
};

void TestCAViewFind::flyToCentresAndFocuses_data()
{
    QTest::addColumn<int>("image");
    QTest::addColumn<bool>("crowded");
    QTest::newRow("alone, far off") << 0 << false;
    QTest::newRow("alone, other side") << 1 << false;
    QTest::newRow("in the crowd") << 8 << true;
    QTest::newRow("crowd's first") << 3 << true;
}

void TestCAViewFind::flyToCentresAndFocuses()
{
    QFETCH(int, image);
    QFETCH(bool, crowded);
    auto data = makeData(crowd(), {});
    CAView view(0, 1, 2);
    attachSized(view, data.get());
    QSignalSpy images(&view, &CAView::imagesChanged);
    const double before = view.scale;

    view.flyTo(CAView::ImageLayer, image);

    // The point is drawn at the middle of the widget (truncation: a pixel).
    const QPoint middle(W / 2, H / 2);
    QVERIFY2(pixelDistance(view.imagePosition(image), middle) <= 1.5,
             qPrintable(QStringLiteral("at %1,%2").arg(view.imagePosition(image).x())
                            .arg(view.imagePosition(image).y())));
    QVERIFY(view.focusOnImage);
    QCOMPARE(view.focusImage, image);
    QCOMPARE(view.labelling().foundImages(), QVector<int>{image});
    QCOMPARE(view.labelling().forcedImage(), -1);
    // The panes were told, with the found image as the focus.
    QVERIFY(!images.isEmpty());
    QCOMPARE(images.last().at(3).toInt(), image);

    // Zoomed in only when crowded, and then until at most three others lie
    // within 12 pixels (one more for the truncation of each pixel).
    QCOMPARE(view.scale > before, crowded);
    int close = 0;
    for (int i = 0; i < data->nbImages; ++i)
        if (i != image && pixelDistance(view.imagePosition(i), view.imagePosition(image)) < 11)
            ++close;
    QVERIFY2(close <= 3, qPrintable(QString::number(close)));
}

void TestCAViewFind::flyToWord()
{
    auto data = makeData({{300, 300}}, {{1500, 400}, {800, 1000}});
    CAView view(0, 1, 2);
    attachSized(view, data.get());
    view.flyTo(CAView::WordLayer, 1);
    QVERIFY(pixelDistance(view.wordPosition(1), QPoint(W / 2, H / 2)) <= 1.5);
    QVERIFY(!view.focusOnImage);
    QCOMPARE(view.focusWord, 1);
    QCOMPARE(view.labelling().foundWords(), QVector<int>{1});
    const QVector<MapLabels::Label> labels = MapLabels::of(view);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first().text, QStringLiteral("word 101"));
}

void TestCAViewFind::hiddenMatchIsShownAndMarked()
{
    // Image 1 has almost no mass: it contributes too little to pass a
    // threshold of twice the mean contribution.
    std::vector<Spot> spots = {{300, 300}, {310, 1200, 1e-6}, {1700, 300}, {1700, 1200}};
    auto data = makeData(spots, {});
    CAView view(0, 1, 2);
    fixture::resizeNow(view, W, H);
    view.scale = kScale;
    view.imageThreshold = 2;
    view.setData(data.get());
    QVERIFY(!view.imageDrawn(1));

    view.flyTo(CAView::ImageLayer, 1);
    QCOMPARE(view.focusImage, 1);
    QCOMPARE(view.labelling().forcedImage(), 1);
    QVERIFY(pixelDistance(view.imagePosition(1), QPoint(W / 2, H / 2)) <= 1.5);
    const QVector<MapLabels::Label> labels = MapLabels::of(view);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first().text, QStringLiteral("#1 (hidden)"));
    // Still hidden as far as the layer goes: Find shows, it does not draw.
    QVERIFY(!view.imageDrawn(1));
    // A drawn match is not marked.
    view.flyTo(CAView::ImageLayer, 2);
    QCOMPARE(view.labelling().forcedImage(), -1);
    QCOMPARE(MapLabels::of(view).first().text, QStringLiteral("#2"));
}

void TestCAViewFind::foundImageIsInThePanes_data()
{
    QTest::addColumn<bool>("circle"); // the panes show the circle, or the most similar images
    QTest::addColumn<int>("image");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("circle, hidden") << true << 1 << true;
    QTest::newRow("circle, drawn") << true << 2 << false;
    QTest::newRow("similar, hidden") << false << 1 << true;
    QTest::newRow("similar, drawn") << false << 3 << false;
}

void TestCAViewFind::foundImageIsInThePanes()
{
    QFETCH(bool, circle);
    QFETCH(int, image);
    QFETCH(bool, hidden);
    // Image 1 weighs almost nothing: twice the mean contribution hides it.
    std::vector<Spot> spots = {{300, 300}, {310, 1200, 1e-6}, {1700, 300}, {1700, 1200},
                               {1690, 1190}};
    auto data = makeData(spots, {});
    CAView view(0, 1, 2);
    fixture::resizeNow(view, W, H);
    view.scale = kScale;
    view.imageThreshold = 2;
    view.setData(data.get());
    view.changeNeigbbourStructure(circle);
    QCOMPARE(!view.imageDrawn(image), hidden);
    QSignalSpy images(&view, &CAView::imagesChanged);

    view.flyTo(CAView::ImageLayer, image);
    QVERIFY(!images.isEmpty());
    QCOMPARE(images.last().at(3).toInt(), image);
    // What the panes are given holds the found image; a hidden one, which
    // no search finds, comes first.
    QVERIFY2(view.imageList.contains(image), qPrintable(QStringLiteral("%1 images").arg(view.imageList.size())));
    if (hidden)
        QCOMPARE(view.imageList.first(), image);
}

void TestCAViewFind::tabFollowsDistance_data()
{
    QTest::addColumn<bool>("backwards");
    QTest::newRow("Tab") << false;
    QTest::newRow("Shift+Tab") << true;
}

void TestCAViewFind::tabFollowsDistance()
{
    QFETCH(bool, backwards);
    // Around canvas (1000, 700): distances 5, 13, 20, 30, 41 (and 400 out of
    // the hover circle), listed out of order.
    const std::vector<Spot> spots = {{1030, 700}, {1000, 705}, {1000, 680}, {1012, 705},
                                     {1400, 700}, {1040, 709}};
    auto data = makeData(spots, {});
    CAView view(0, 1, 2);
    attachSized(view, data.get());
    view.radius = 60;
    hoverAt(view, 1000, 700);
    const QVector<int> expected = backwards ? QVector<int>{5, 0, 2, 3, 1}
                                            : QVector<int>{1, 3, 2, 0, 5};
    QSignalSpy images(&view, &CAView::imagesChanged);
    QVector<int> seen;
    for (int k = 0; k < 5; ++k) {
        if (backwards) {
            QKeyEvent e(QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier);
            QCoreApplication::sendEvent(&view, &e);
        } else {
            QKeyEvent e(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QCoreApplication::sendEvent(&view, &e);
        }
        seen.append(view.focusImage);
    }
    QCOMPARE(seen, expected);
    QCOMPARE(images.count(), 5);
    QCOMPARE(images.last().at(3).toInt(), expected.last());
    // And round again.
    QKeyEvent e(QEvent::KeyPress, backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                backwards ? Qt::ShiftModifier : Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &e);
    QCOMPARE(view.focusImage, expected.first());
}

void TestCAViewFind::arrowsPan_data()
{
    QTest::addColumn<int>("arrow");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<QPoint>("moved");
    QTest::newRow("left") << int(Qt::Key_Left) << false << QPoint(W / 10, 0);
    QTest::newRow("right") << int(Qt::Key_Right) << false << QPoint(-W / 10, 0);
    QTest::newRow("up") << int(Qt::Key_Up) << false << QPoint(0, H / 10);
    QTest::newRow("down") << int(Qt::Key_Down) << false << QPoint(0, -H / 10);
    QTest::newRow("shift left") << int(Qt::Key_Left) << true << QPoint(W / 2, 0);
    QTest::newRow("shift down") << int(Qt::Key_Down) << true << QPoint(0, -H / 2);
}

void TestCAViewFind::arrowsPan()
{
    QFETCH(int, arrow);
    QFETCH(bool, shift);
    QFETCH(QPoint, moved);
    auto data = makeData({{1000, 750}, {1100, 800}}, {});
    CAView view(0, 1, 2);
    attachSized(view, data.get());
    const QPoint before = view.imagePosition(1);
    const double scale = view.scale;
    key(view, arrow, shift ? Qt::ShiftModifier : Qt::NoModifier);
    QCOMPARE(view.imagePosition(1) - before, moved);
    QCOMPARE(view.scale, scale);
}

void TestCAViewFind::escapeClearsAndEnterOpens()
{
    auto data = makeData({{1000, 750}, {1100, 800}}, {});
    CAView view(0, 1, 2);
    attachSized(view, data.get());
    QSignalSpy open(&view, &CAView::openImageRequested);
    view.flyTo(CAView::ImageLayer, 1);
    key(view, Qt::Key_Return);
    QCOMPARE(open.count(), 1);
    QCOMPARE(open.first().at(0).toInt(), 1);
    key(view, Qt::Key_Escape);
    QCOMPARE(view.focusImage, -1);
    QVERIFY(view.labelling().foundImages().isEmpty());
    QVERIFY(MapLabels::of(view).isEmpty());
    // Nothing focused: Enter opens nothing.
    key(view, Qt::Key_Enter);
    QCOMPARE(open.count(), 1);
}

void TestCAViewFind::labelsNeverOverlap_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("spacing"); // pixels between anchors
    QTest::newRow("one spot") << 12 << 0;
    QTest::newRow("tight row") << 40 << 3;
    QTest::newRow("loose row") << 3 << 120;
    QTest::newRow("grid") << 60 << 17;
}

void TestCAViewFind::labelsNeverOverlap()
{
    QFETCH(int, count);
    QFETCH(int, spacing);
    const QRect bounds(0, 0, 600, 400);
    QVector<MapLabels::Label> labels;
    for (int k = 0; k < count; ++k) {
        const QPoint anchor(200 + (k % 8) * spacing, 150 + (k / 8) * spacing);
        labels.append({anchor, QStringLiteral("image_%1.png").arg(k)});
    }
    const QFontMetrics metrics(MapLabels::font());
    const QVector<MapLabels::Placed> placed = MapLabels::place(labels, metrics, bounds);
    QVERIFY(!placed.isEmpty());
    // The first label always has room on an empty map.
    QCOMPARE(placed.first().text, labels.first().text);
    for (int a = 0; a < placed.size(); ++a) {
        QVERIFY(bounds.contains(placed[a].box));
        // Each box holds its whole text and stays beside its own point.
        QVERIFY(placed[a].box.width() >= metrics.horizontalAdvance(placed[a].text));
        QVERIFY(!placed[a].box.contains(placed[a].anchor));
        for (int b = a + 1; b < placed.size(); ++b)
            QVERIFY2(!placed[a].box.intersects(placed[b].box),
                     qPrintable(placed[a].text + QLatin1Char('/') + placed[b].text));
    }
    // Labels far enough apart are all written.
    if (spacing >= 100)
        QCOMPARE(placed.size(), labels.size());
    if (spacing == 0)
        QVERIFY(placed.size() <= 4);
}

QTEST_MAIN(TestCAViewFind)
#include "tst_caview_find.moc"
