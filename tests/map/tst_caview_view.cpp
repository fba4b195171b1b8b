// Where the map looks and what it shows: fit, wheel and key zoom, the
// movable canvas, category colours and hidden categories, counts of drawn
// points, axis titles, the map-unit indexes and the nearest-images scan,
// and the map's defaults that all of this must leave in place.

#include "tst_caview_fixture.h"
#include "tst_caview_textrecorder.h"

#include "map/mapstate.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QWheelEvent>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <map>

using fixture::makeData;

namespace {

constexpr int W = 640;
constexpr int H = 420;

// A random cloud around the origin with a few far outliers.
std::unique_ptr<CAData> cloud(quint32 seed, int images, int words, double far)
{
    QRandomGenerator random(seed);
    std::vector<std::vector<double>> z, w;
    for (int i = 0; i < images; ++i)
        z.push_back({random.generateDouble() * 2 - 1, random.generateDouble() * 2 - 1, 0.1});
    for (int j = 0; j < words; ++j)
        w.push_back({random.generateDouble() - 0.5, random.generateDouble() - 0.5, 0.1});
    z[1] = {far, 0.3 * far, 0};
    z[2] = {-0.4 * far, -far, 0};
    w[0] = {0.7 * far, far, 0};
    return makeData(z, w, {1, 1, 1});
}

void wheel(CAView &view, const QPoint &at, int delta)
{
    QWheelEvent event{QPointF(at), QPointF(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false};
    QCoreApplication::sendEvent(&view, &event);
}

void key(CAView &view, int k)
{
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &press);
}

// A view of W x H with everything drawn (threshold 0).
void attach(CAView &view, CAData *data)
{
    fixture::resizeNow(view, W, H);
    view.imageThreshold = 0;
    view.wordThreshold = 0;
    view.setData(data);
}

bool inside(const QPoint &p, int margin)
{
    return p.x() >= margin && p.y() >= margin && p.x() < W - margin && p.y() < H - margin;
}

} // namespace

class TestCAViewView : public QObject
{
    Q_OBJECT

private slots:
    void designedDefaultsHold();
    void stampedCanvasEqualsPainterMarks();
    void fitKeepsEveryDrawnPointInside_data();
    void fitKeepsEveryDrawnPointInside();
    void farClusterZoomedWithTheWheelIsDrawn();
    void wheelKeepsThePointUnderTheCursor_data();
    void wheelKeepsThePointUnderTheCursor();
    void keysZoomAboutTheMiddle();
    void panningReRendersTheCanvas();
    void hiddenCategoryLeavesNoPixelOfItsColour();
    void categoriesKeepTheirColoursInAnExtract();
    void countsEqualThePointsDrawn();
    void axisTitlesCarryTheShares();
    void indexQueriesEqualABruteForceScan();
    void nearestImagesEqualTheExactScan_data();
    void nearestImagesEqualTheExactScan();
    void mapStateRoundTrips();
};

void TestCAViewView::designedDefaultsHold()
{
    auto d = makeData({{0.5, -0.25}}, {{-0.5, 0.5}}, {1, 1});
    CAView view(0, 1, 2);
    fixture::resizeNow(view, 1600, 1000);
    view.imageThreshold = 0;
    view.setData(d.get());
    QCOMPARE(view.scale, 200);
    QCOMPARE(view.canvasCentre(), QPointF(0, 0));
    QCOMPARE(view.canvasShift().x(), 0);
    QVERIFY(!view.isFitted());
    int px, py;
    view.transform(0.5, -0.25, px, py);
    QCOMPARE(QPoint(px, py), QPoint(1100, 800));
    QCOMPARE(view.imagePosition(0), QPoint(view.originX + 1100, view.originY + 800));
    const QImage canvas = view.background->toImage();
    QCOMPARE(fixture::at(canvas, 0, 750), QColor(Qt::gray));
    QCOMPARE(fixture::at(canvas, 1000, 0), QColor(Qt::gray));
    QCOMPARE(fixture::at(canvas, 1100, 800), QColor(Qt::red));
    view.zoomIn();
    QCOMPARE(view.scale, 205);
    QCOMPARE(view.canvasCentre(), QPointF(0, 0));
    view.zoomOut();
    view.zoomOut();
    QCOMPARE(view.scale, 195);
    QCOMPARE(view.imagePosition(0), QPoint(view.originX + 1000 + 97, view.originY + 750 + 48));
}

// The marks are written straight into the canvas: the picture must be the
// one QPainter gives for the same marks, pixel for pixel, edges included.
void TestCAViewView::stampedCanvasEqualsPainterMarks()
{
    auto d = makeData({{0.5, 0.5}, {-4.999, 3.749}, {5.0, -3.75}, {0.013, 0.0}, {-5.02, 0.1}},
                      {{0.25, -0.5}, {4.995, 3.74}, {-0.01, 0.01}}, {1, 1});
    CAView view(0, 1, 2);
    view.imageThreshold = 0;
    view.wordThreshold = 0;
    view.setData(d.get());

    QPixmap expected(2000, 1500);
    expected.fill(Qt::white);
    {
        QPainter painter(&expected);
        painter.setPen(Qt::gray);
        painter.drawLine(0, 750, 2000, 750);
        painter.drawLine(1000, 0, 1000, 1500);
        painter.setPen(Qt::red);
        for (const Point &p : fixture::drawnImages(view)) {
            painter.drawLine(int(p.x) - 2, int(p.y), int(p.x) + 2, int(p.y));
            painter.drawLine(int(p.x), int(p.y) - 2, int(p.x), int(p.y) + 2);
        }
        painter.setPen(Qt::blue);
        for (const Point &p : fixture::drawnWords(view))
            painter.drawEllipse(int(p.x) - 2, int(p.y) - 2, 4, 4);
    }
    QCOMPARE(view.background->toImage().convertToFormat(QImage::Format_RGB32),
             expected.toImage().convertToFormat(QImage::Format_RGB32));
}

void TestCAViewView::fitKeepsEveryDrawnPointInside_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<double>("far");
    QTest::newRow("outliers at 40") << 1u << 40.0;
    QTest::newRow("outliers at 400") << 2u << 400.0;
    QTest::newRow("outliers at 0.05, tiny cloud") << 3u << 0.05;
    QTest::newRow("outliers at 3e4") << 4u << 3e4;
}

void TestCAViewView::fitKeepsEveryDrawnPointInside()
{
    QFETCH(quint32, seed);
    QFETCH(double, far);
    auto d = cloud(seed, 300, 60, far);
    if (far < 1) {
        // Shrink the cloud so the outliers stay the extremes.
        for (int i = 0; i < d->nbImages * 3; ++i)
            d->Z[i] *= far / 100;
        for (int i = 0; i < d->nbWords * 3; ++i)
            d->W[i] *= far / 100;
        d->Z[1 * 3] = far;
    }
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.fitAllPoints(); // "Fit all points": every drawn point, far ones included
    QVERIFY(view.isFitted());
    int left = W, right = 0, top = H, bottom = 0;
    for (int i = 0; i < d->nbImages; ++i) {
        const QPoint p = view.imagePosition(i);
        QVERIFY2(inside(p, 2), qPrintable(QStringLiteral("image %1 at %2,%3").arg(i).arg(p.x()).arg(p.y())));
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    for (int j = 0; j < d->nbWords; ++j) {
        const QPoint p = view.wordPosition(j);
        QVERIFY2(inside(p, 2), qPrintable(QStringLiteral("word %1").arg(j)));
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    // The largest such scale: the points reach across the widget on one
    // side, short of the margin only.
    QVERIFY(right - left >= W - 60 || bottom - top >= H - 60);

    // Drawn: every image's mark is on the widget's picture.
    const QImage shot = fixture::shot(view);
    for (int i = 0; i < d->nbImages; ++i) {
        const QPoint p = view.imagePosition(i);
        QVERIFY(fixture::near(shot, p.x(), p.y(), Qt::red, 0)
                || fixture::near(shot, p.x(), p.y(), Qt::blue, 2));
    }
}

void TestCAViewView::farClusterZoomedWithTheWheelIsDrawn()
{
    // A cluster of five images far from the origin, all within two pixels
    // at the fitted scale.
    std::vector<std::vector<double>> z;
    for (int i = 0; i < 50; ++i)
        z.push_back({std::cos(i) * 2, std::sin(i) * 2});
    const double cx = 60, cy = -45;
    for (int k = 0; k < 5; ++k)
        z.push_back({cx + 0.05 * k, cy + 0.04 * (k % 3)});
    auto d = makeData(z, {}, {1, 1});
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.fitAll();
    const double fitted = view.scale;
    const QPoint at = view.imagePosition(52);
    for (int n = 0; n < 10; ++n)
        wheel(view, at, 120);
    QVERIFY(view.scale >= 8 * fitted);
    QVERIFY(!view.isFitted());
    const QImage shot = fixture::shot(view);
    QSet<QPair<int, int>> distinct;
    for (int k = 50; k < 55; ++k) {
        const QPoint p = view.imagePosition(k);
        QVERIFY(inside(p, 2));
        QCOMPARE(fixture::at(shot, p.x(), p.y()), QColor(Qt::red));
        distinct.insert({p.x(), p.y()});
    }
    // Looked at closely: the cluster's points are told apart.
    QVERIFY(distinct.size() >= 4);
    // The point the wheel zoomed into (the first one hovering finds there)
    // stayed put.
    int nearest = 1 << 30;
    for (int k = 50; k < 55; ++k)
        nearest = std::min(nearest, (view.imagePosition(k) - at).manhattanLength());
    QVERIFY(nearest <= 2); // within the hover hit radius
}

void TestCAViewView::wheelKeepsThePointUnderTheCursor_data()
{
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<int>("delta");
    QTest::newRow("positive, zoom in") << QPointF(0.8, 0.6) << 120;
    QTest::newRow("negative, zoom in") << QPointF(-0.73, -0.41) << 120;
    QTest::newRow("mixed, zoom out") << QPointF(0.37, -0.9) << -120;
    QTest::newRow("near origin, high-resolution wheel") << QPointF(0.002, -0.003) << 30;
    QTest::newRow("far, big step") << QPointF(-1.3, 1.1) << 600;
}

void TestCAViewView::wheelKeepsThePointUnderTheCursor()
{
    QFETCH(QPointF, point);
    QFETCH(int, delta);
    auto d = makeData({{point.x(), point.y()}, {1.5, 1.0}, {-1.5, -1.0}}, {}, {1, 1});
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.fitAll();
    const QPoint cursor = view.imagePosition(0);
    for (int n = 0; n < 6; ++n) {
        wheel(view, cursor, delta);
        const QPoint now = view.imagePosition(0);
        QVERIFY2(std::abs(now.x() - cursor.x()) <= 1 && std::abs(now.y() - cursor.y()) <= 1,
                 qPrintable(QStringLiteral("step %1: %2,%3 vs %4,%5 at scale %6")
                                .arg(n).arg(now.x()).arg(now.y()).arg(cursor.x()).arg(cursor.y())
                                .arg(view.scale)));
    }
    // Steps are geometric: the same notch multiplies by the same factor.
    const double before = view.scale;
    wheel(view, cursor, 120);
    QVERIFY(std::abs(view.scale / before - 1.25) < 1e-9);
}

void TestCAViewView::keysZoomAboutTheMiddle()
{
    auto d = makeData({{0.1, 0.1}}, {}, {1, 1});
    CAView view(0, 1, 2);
    attach(view, d.get());
    const QPointF middle = view.mapAt(QPointF(W / 2.0, H / 2.0));
    key(view, Qt::Key_Plus);
    QCOMPARE(view.scale, 250);
    key(view, Qt::Key_Minus);
    key(view, Qt::Key_Minus);
    QVERIFY(std::abs(view.scale - 160) < 1e-9);
    const QPointF after = view.mapAt(QPointF(W / 2.0, H / 2.0));
    QVERIFY(std::abs(after.x() - middle.x()) * view.scale <= 1.5);
    QVERIFY(std::abs(after.y() - middle.y()) * view.scale <= 1.5);
}

void TestCAViewView::panningReRendersTheCanvas()
{
    // An image far beyond the default canvas at scale 200.
    auto d = makeData({{9.0, 0.0}, {0, 0}}, {}, {1, 1});
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.setMode(CAView::ModeHand);
    QVERIFY(!fixture::near(fixture::shot(view), view.imagePosition(0).x(), view.imagePosition(0).y(),
                           Qt::red, 0));
    // Drag the map left, 100 pixels per movement, until the image shows.
    QPoint from(W - 10, H / 2);
    QMouseEvent press(QEvent::MouseButtonPress, from, from, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &press);
    for (int n = 0; n < 24 && !inside(view.imagePosition(0), 10); ++n) {
        from -= QPoint(100, 0);
        QMouseEvent move(QEvent::MouseMove, from, from, Qt::LeftButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &move);
        // Wherever the drag has brought it, the canvas covers the widget.
        QVERIFY(view.originX + view.panX <= 0);
        QVERIFY(view.originX + view.panX + view.mapWidth >= W);
    }
    QMouseEvent release(QEvent::MouseButtonRelease, from, from, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &release);
    const QPoint p = view.imagePosition(0);
    QVERIFY(inside(p, 10));
    QCOMPARE(fixture::at(fixture::shot(view), p.x(), p.y()), QColor(Qt::red));
    QVERIFY(view.canvasCentre().x() > 4);
    // Hover finds it there.
    std::vector<int> found;
    view.findImages(found, p.x() - view.originX - view.panX, p.y() - view.originY - view.panY, 0);
    QCOMPARE(found, std::vector<int>{0});
}

void TestCAViewView::hiddenCategoryLeavesNoPixelOfItsColour()
{
    std::vector<std::vector<double>> z;
    for (int i = 0; i < 60; ++i)
        z.push_back({std::cos(i * 0.7) * (0.2 + i / 80.0), std::sin(i * 0.7) * (0.2 + i / 80.0)});
    auto d = makeData(z, {}, {1, 1});
    d->labels.reset(new ImageLabel[60]);
    for (int i = 0; i < 60; ++i)
        d->labels[i].category = 10 + i % 3;
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.setCategoryColours(true);
    view.fitAll();
    QCOMPARE(view.categoryList(), (QVector<int>{10, 11, 12}));
    QCOMPARE(view.categoryCountList(), (QVector<int>{20, 20, 20}));
    const QColor second = CAView::categoryColour(1);
    QImage shot = fixture::shot(view);
    QVERIFY(fixture::count(shot, shot.rect(), second) > 20 * 5);
    QVERIFY(fixture::count(shot, shot.rect(), Qt::red) == 0);

    view.setCategoryHidden(11, true);
    shot = fixture::shot(view);
    QCOMPARE(fixture::count(shot, shot.rect(), second), 0);
    QVERIFY(fixture::count(shot, shot.rect(), CAView::categoryColour(0)) > 0);
    QCOMPARE(view.shownImages(), 40);
    std::vector<int> found;
    const QPoint p = view.imagePosition(1);
    view.findImages(found, p.x() - view.originX, p.y() - view.originY, 0);
    QVERIFY(std::find(found.begin(), found.end(), 1) == found.end());

    // Back to the map's single default colour: the hidden category stays hidden.
    view.setCategoryColours(false);
    shot = fixture::shot(view);
    QCOMPARE(fixture::count(shot, shot.rect(), CAView::categoryColour(0)), 0);
    QVERIFY(fixture::count(shot, shot.rect(), Qt::red) > 0);
    QCOMPARE(view.shownImages(), 40);

    // The first eight colours are distinct, and so are the next ones.
    QSet<QRgb> colours;
    for (int k = 0; k < 40; ++k)
        colours.insert(CAView::categoryColour(k).rgb());
    QCOMPARE(colours.size(), 40);
}

// An extract holds a few of the collection's categories: each keeps the
// colour it has on the whole collection's map (its place among the named
// categories), so the two maps read alike side by side.
void TestCAViewView::categoriesKeepTheirColoursInAnExtract()
{
    std::vector<std::vector<double>> z;
    for (int i = 0; i < 90; ++i)
        z.push_back({std::cos(i * 0.7) * (0.2 + i / 120.0), std::sin(i * 0.7) * (0.2 + i / 120.0)});
    QMap<int, QString> names;
    for (int c = 1; c <= 9; ++c)
        names.insert(c, QStringLiteral("category %1").arg(c));

    auto whole = makeData(z, {}, {1, 1});
    whole->categoryNames = names;
    whole->labels.reset(new ImageLabel[90]);
    for (int i = 0; i < 90; ++i)
        whole->labels[i].category = 1 + i % 9;
    CAView wholeView(0, 1, 2);
    attach(wholeView, whole.get());
    wholeView.setCategoryColours(true);

    // Only categories 3 and 8, and one the names do not know (12).
    auto extract = makeData(z, {}, {1, 1});
    extract->categoryNames = names;
    extract->labels.reset(new ImageLabel[90]);
    for (int i = 0; i < 90; ++i)
        extract->labels[i].category = i % 3 == 0 ? 3 : i % 3 == 1 ? 8 : 12;
    CAView extractView(0, 1, 2);
    attach(extractView, extract.get());
    extractView.setCategoryColours(true);
    extractView.changeThreshold(0);

    QCOMPARE(extractView.categoryList(), (QVector<int>{3, 8, 12}));
    QCOMPARE(extractView.categoryColourAt(0), wholeView.categoryColourAt(2));
    QCOMPARE(extractView.categoryColourAt(1), wholeView.categoryColourAt(7));
    QCOMPARE(extractView.categoryColourAt(2), CAView::categoryColour(9));
    QCOMPARE(extractView.imageColour(1), wholeView.imageColour(7)); // both category 8
    // Drawn so: category 8's colour is on the extract's map, the colour of
    // the extract's second present category is not.
    const QImage shot = fixture::shot(extractView);
    QVERIFY(fixture::count(shot, shot.rect(), CAView::categoryColour(7)) > 0);
    QCOMPARE(fixture::count(shot, shot.rect(), CAView::categoryColour(1)), 0);
}

void TestCAViewView::countsEqualThePointsDrawn()
{
    auto d = cloud(9, 400, 120, 1.5);
    for (int i = 0; i < d->nbImages; ++i)
        d->P[i] = 1.0 / d->nbImages;
    for (int j = 0; j < d->nbWords; ++j)
        d->Q[j] = 1.0 / d->nbWords;
    d->labels.reset(new ImageLabel[400]);
    for (int i = 0; i < 400; ++i)
        d->labels[i].category = i % 4;
    CAView view(0, 1, 2);
    fixture::resizeNow(view, W, H);
    view.setData(d.get());
    QSignalSpy layer(&view, &CAView::layerChanged);
    auto expected = [&](int threshold, const QSet<int> &hidden, int &images, int &words) {
        images = words = 0;
        const double ti = double(threshold) / d->nbImages, tw = double(threshold) / d->nbWords;
        for (int i = 0; i < d->nbImages; ++i) {
            const double c1 = d->P[i] * d->Z[i * 3] * d->Z[i * 3];
            const double c2 = d->P[i] * d->Z[i * 3 + 1] * d->Z[i * 3 + 1];
            if (!(ti > c1 && ti > c2) && !hidden.contains(i % 4))
                ++images;
        }
        for (int j = 0; j < d->nbWords; ++j) {
            const double c1 = d->Q[j] * d->W[j * 3] * d->W[j * 3];
            const double c2 = d->Q[j] * d->W[j * 3 + 1] * d->W[j * 3 + 1];
            if (!(tw > c1 && tw > c2))
                ++words;
        }
    };
    for (int threshold = 0; threshold <= 6; ++threshold) {
        view.changeThreshold(threshold);
        for (const QSet<int> &hidden : {QSet<int>(), QSet<int>{1}, QSet<int>{0, 3}}) {
            view.setHiddenCategories(hidden);
            int images, words;
            expected(threshold, hidden, images, words);
            QCOMPARE(view.shownImages(), images);
            QCOMPARE(view.shownWords(), words);
            QCOMPARE(int(fixture::drawnImages(view).size()), images);
        }
    }
    QVERIFY(layer.count() >= 7);
    view.showHideImagePoint(false);
    QCOMPARE(view.shownImages(), 0);
    view.showHideWordPoint(false);
    QCOMPARE(view.shownWords(), 0);
}

void TestCAViewView::axisTitlesCarryTheShares()
{
    auto d = makeData({{0.1, 0.2, 0.3}}, {{0.1, 0.1, 0.1}}, {0.5, 0.3, 0.2});
    d->nbLambda = 3;
    // The three axes hold the whole inertia of the table.
    d->totalInertia = 1.0;
    CAView view(0, 1, 2);
    attach(view, d.get());
    QCOMPARE(view.axisTitle(0), QStringLiteral("Axis 1 \u00B7 50.0 %"));
    QCOMPARE(view.axisTitle(2), QStringLiteral("Axis 3 \u00B7 20.0 %"));
    auto texts = [&] {
        QStringList out;
        for (const fixture::DrawnText &t : fixture::TextRecorder::record(view))
            out << t.text;
        return out;
    };
    QVERIFY(!texts().contains(view.axisTitle(0))); // off by default
    view.setAxisTitles(true);
    QStringList shown = texts();
    QVERIFY(shown.contains(QStringLiteral("Axis 1 \u00B7 50.0 %")));
    QVERIFY(shown.contains(QStringLiteral("Axis 2 \u00B7 30.0 %")));
    view.changeAxis(2, 0, 1);
    shown = texts();
    QVERIFY(shown.contains(QStringLiteral("Axis 3 \u00B7 20.0 %")));
    QVERIFY(shown.contains(QStringLiteral("Axis 1 \u00B7 50.0 %")));
    QVERIFY(!shown.contains(QStringLiteral("Axis 2 \u00B7 30.0 %")));
}

// The indexes live in map units; whatever the scale, offset and pan, a query
// answers exactly the drawn points whose canvas pixel is within r.
void TestCAViewView::indexQueriesEqualABruteForceScan()
{
    auto d = cloud(5, 500, 200, 3);
    for (int i = 0; i < d->nbImages; i += 7) // pairs on one spot
        for (int a = 0; a < 3; ++a)
            d->Z[(i + 1) * 3 + a] = d->Z[i * 3 + a];
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.changeThreshold(1);
    QRandomGenerator random(3);
    for (int round = 0; round < 12; ++round) {
        if (round % 3 == 0)
            view.fitAll();
        else
            view.zoomAt(std::pow(1.25, int(random.bounded(9)) - 4),
                        QPointF(random.bounded(W), random.bounded(H)));
        view.panX = random.bounded(21) - 10;
        for (int q = 0; q < 30; ++q) {
            const double cx = random.bounded(2000), cy = random.bounded(1500);
            const double r = random.bounded(40);
            std::vector<int> found;
            view.findImages(found, cx, cy, r);
            std::vector<int> expected;
            for (const Point &p : fixture::drawnImages(view))
                if ((p.x - cx) * (p.x - cx) + (p.y - cy) * (p.y - cy) <= r * r)
                    expected.push_back(p.id);
            std::sort(found.begin(), found.end());
            QCOMPARE(found, expected);
            found.clear();
            view.findWords(found, cx, cy, r);
            expected.clear();
            for (const Point &p : fixture::drawnWords(view))
                if ((p.x - cx) * (p.x - cx) + (p.y - cy) * (p.y - cy) <= r * r)
                    expected.push_back(p.id);
            std::sort(found.begin(), found.end());
            QCOMPARE(found, expected);
        }
    }
}

void TestCAViewView::nearestImagesEqualTheExactScan_data()
{
    QTest::addColumn<int>("radius");
    QTest::newRow("20 nearest") << 20;
    QTest::newRow("3 nearest") << 3;
    QTest::newRow("600 nearest (one sort)") << 600;
}

void TestCAViewView::nearestImagesEqualTheExactScan()
{
    QFETCH(int, radius);
    QRandomGenerator random(17);
    std::vector<std::vector<double>> z;
    for (int i = 0; i < 2000; ++i) {
        std::vector<double> row(5);
        for (double &v : row)
            v = random.generateDouble() * 2 - 1;
        z.push_back(row);
    }
    z[5] = z[4];                              // same direction: equal distances
    z[6] = {2 * z[4][0], 2 * z[4][1], 2 * z[4][2], 2 * z[4][3], 2 * z[4][4]};
    z[7] = {0, 0, 0, 0, 0};                   // no direction: distance 2
    z[8] = {std::nan(""), 0, 0, 0, 0};        // never a neighbour
    auto d = makeData(z, {}, {1, 1, 1, 1, 1});
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.circleNeighbour = false;
    view.radius = radius;
    for (int focus : {4, 7, 123, 1999}) {
        // The rule: a map by distance with unique keys, the lower
        // index keeping a shared distance, the first `radius` of it.
        std::map<double, int> byDistance;
        for (int i = 0; i < d->nbImages; ++i) {
            const double dist = d->distance(focus, i);
            if (!std::isnan(dist))
                byDistance.emplace(dist, i);
        }
        QVector<int> expected;
        for (const auto &entry : byDistance) {
            if (expected.size() == radius)
                break;
            expected.append(entry.second);
        }
        const QPoint p = view.imagePosition(focus);
        QMouseEvent move(QEvent::MouseMove, p, p, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &move);
        if (view.focusImage != focus)
            continue; // another image on the same pixel took the focus
        QCOMPARE(view.imageList, expected);
    }
}

void TestCAViewView::mapStateRoundTrips()
{
    auto d = cloud(11, 100, 30, 2);
    d->labels.reset(new ImageLabel[100]);
    for (int i = 0; i < 100; ++i)
        d->labels[i].category = i % 5;
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.zoomAt(2.0, QPointF(100, 80));
    view.changeAxis(1, 2, 0);
    view.setProjectionMode(2);
    view.changeThreshold(3);
    view.setCategoryColours(true);
    view.setCategoryHidden(2, true);
    view.radius = 33;
    view.panX = 17;
    const MapState saved = MapState::of(view);
    const QImage before = fixture::shot(view);

    CAView other(0, 1, 2);
    fixture::resizeNow(other, W, H);
    other.setData(d.get());
    saved.applyTo(other);
    QCOMPARE(MapState::of(other), saved);
    QCOMPARE(MapState::fromJson(saved.toJson()), saved);
    QCOMPARE(MapState::of(other).hiddenCategories, QSet<int>{2});
    QCOMPARE(other.axis1, 1);
    QCOMPARE(other.projectionMode, 2);
    QCOMPARE(other.radius, 33);
    // The same picture.
    QCOMPARE(fixture::shot(other), before);
}

QTEST_MAIN(TestCAViewView)
#include "tst_caview_view.moc"
