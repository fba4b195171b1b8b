// One point layer, one test body: every behaviour is checked for the images
// and for the words alike, each family through its own description.

#include "data/model/cadata.h"
#include "data/formats/csvwriter.h"
#include "map/pointlayer.h"
#include "tst_caview_fixture.h"

#include <QImage>
#include <QPolygonF>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(const PointFamily *)

namespace {

// Five points per family, masses and coordinates chosen so that with the
// factor 2 (mean 1/5, threshold 0.4) points 0, 2 and 4 reach the threshold
// on one of the axes 0 and 1, point 1 on neither, and point 3 has a NaN
// coordinate (which counts as reaching it).
const std::vector<std::vector<double>> kCoords = {
    {1.0, 0.2, 0.5}, {0.1, -0.1, 3.0}, {-0.2, -1.5, 0.1}, {NAN, 0.3, 0.0}, {0.9, 0.9, -0.2}};
const double kMass[5] = {0.5, 0.5, 0.3, 0.2, 0.6};
const double kLambda[3] = {0.8, 0.5, 0.2};

std::unique_ptr<CAData> makeData()
{
    auto d = fixture::makeData(kCoords, kCoords, {kLambda[0], kLambda[1], kLambda[2]});
    for (int i = 0; i < 5; ++i)
        d->P[i] = d->Q[i] = kMass[i];
    return d;
}

// The threshold rule, written out: drawn unless below t on both axes.
bool expectedDrawn(int i, int a1, int a2, double t)
{
    const double c1 = kMass[i] * kCoords[i][a1] * kCoords[i][a1] / kLambda[a1];
    const double c2 = kMass[i] * kCoords[i][a2] * kCoords[i][a2] / kLambda[a2];
    return !(t > c1 && t > c2);
}

} // namespace

class TestPointLayer : public QObject
{
    Q_OBJECT

private slots:
    void drawsFindsAndSelects_data();
    void drawsFindsAndSelects();
    void hiddenLayerStillSelects_data();
    void hiddenLayerStillSelects();
    void tableRowAndCard_data();
    void tableRowAndCard();
};

void TestPointLayer::drawsFindsAndSelects_data()
{
    QTest::addColumn<const PointFamily *>("family");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QPoint>("shift");
    QTest::addColumn<double>("rescale"); // of both shown axes in this mode
    QTest::newRow("images") << &PointFamily::images() << 0 << QPoint(0, 0) << 0.0;
    QTest::newRow("words") << &PointFamily::words() << 0 << QPoint(0, 0) << 0.0;
    QTest::newRow("images, rows as barycenters, shifted")
        << &PointFamily::images() << 2 << QPoint(120, -80) << 1.0;
    QTest::newRow("words, columns as barycenters, shifted")
        << &PointFamily::words() << 1 << QPoint(-60, 45) << 1.0;
    QTest::newRow("words, rows as barycenters") << &PointFamily::words() << 2 << QPoint(0, 0) << 0.0;
}

void TestPointLayer::drawsFindsAndSelects()
{
    QFETCH(const PointFamily *, family);
    QFETCH(int, mode);
    QFETCH(QPoint, shift);
    QFETCH(double, rescale);
    auto data = makeData();

    PointLayer layer(*family);
    PointLayer::Style style;
    style.thresholdFactor = 2;
    layer.setStyle(style);
    MapTransform t;
    t.scale = 150;
    t.projectionMode = mode;
    t.shiftX = shift.x();
    t.shiftY = shift.y();
    t.originX = -600;
    t.originY = -500;
    QImage canvas(t.mapWidth, t.mapHeight, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    layer.draw(*data, t, canvas);
    layer.updateIndex(*data, t);

    int shown = 0;
    for (int i = 0; i < 5; ++i) {
        const bool drawn = expectedDrawn(i, 0, 1, 2.0 / 5);
        QCOMPARE(layer.drawn(i), drawn);
        shown += drawn;
        if (std::isnan(kCoords[i][0]))
            continue; // drawn far off the canvas, never found
        // Canvas pixel by the projection and transform, written out.
        const double f1 = rescale ? std::sqrt(kLambda[0]) : 1.0;
        const double f2 = rescale ? std::sqrt(kLambda[1]) : 1.0;
        const QPoint c(1000 + int(150 * kCoords[i][0] * f1) - shift.x(),
                       750 - int(150 * kCoords[i][1] * f2) - shift.y());
        const int marked = fixture::count(canvas, QRect(c - QPoint(3, 3), QSize(7, 7)), family->colour);
        QCOMPARE(marked > 0, drawn);

        std::vector<int> found;
        layer.find(found, *data, t, c.x() + 1, c.y(), 2);
        QCOMPARE(std::count(found.begin(), found.end(), i) == 1, drawn);

        // An outline around the widget pixel selects the point if drawn.
        const QPointF w = QPointF(c + QPoint(t.originX, t.originY));
        const QPolygonF outline({w + QPointF(-3, -3), w + QPointF(3, -3), w + QPointF(3, 3),
                                 w + QPointF(-3, 3)});
        QVector<int> selected;
        layer.select(selected, *data, t, outline);
        QCOMPARE(selected.contains(i), drawn);
    }
    QCOMPARE(layer.shown(), shown);
}

void TestPointLayer::hiddenLayerStillSelects_data()
{
    QTest::addColumn<const PointFamily *>("family");
    QTest::newRow("images") << &PointFamily::images();
    QTest::newRow("words") << &PointFamily::words();
}

void TestPointLayer::hiddenLayerStillSelects()
{
    QFETCH(const PointFamily *, family);
    auto data = makeData();
    PointLayer layer(*family);
    PointLayer::Style style;
    style.visible = false;
    layer.setStyle(style);
    MapTransform t;
    QImage canvas(t.mapWidth, t.mapHeight, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    layer.draw(*data, t, canvas);
    QCOMPARE(layer.shown(), 0);
    QCOMPARE(fixture::count(canvas, canvas.rect(), family->colour), 0);
    // The whole widget as the outline: every candidate, in ascending order.
    const QPolygonF all({QPointF(-5000, -5000), QPointF(5000, -5000), QPointF(5000, 5000),
                         QPointF(-5000, 5000)});
    QVector<int> selected;
    layer.select(selected, *data, t, all);
    QVector<int> expected;
    for (int i = 0; i < 5; ++i)
        if (expectedDrawn(i, 0, 1, 2.0 / 5) && !std::isnan(kCoords[i][0]))
            expected.append(i);
    QCOMPARE(selected, expected);
}

void TestPointLayer::tableRowAndCard_data()
{
    QTest::addColumn<const PointFamily *>("family");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("title");
    QTest::newRow("images") << &PointFamily::images() << "image" << "Image: #4";
    QTest::newRow("words") << &PointFamily::words() << "word" << "Word: #4";
}

void TestPointLayer::tableRowAndCard()
{
    QFETCH(const PointFamily *, family);
    QFETCH(QString, kind);
    QFETCH(QString, title);
    auto data = makeData();
    PointLayer layer(*family);
    PointLayer::Style style;
    style.thresholdFactor = 3;
    layer.setStyle(style);

    // Axes 2 and 0 shown; point 4.
    const QStringList row = layer.tableRow(*data, 4, 3, 2, 0);
    QCOMPARE(row.at(0), kind);
    QCOMPARE(row.at(1), QStringLiteral("4"));
    // kind, index, five fields, three coordinates, mass, two qualities,
    // two contributions, drawn.
    QCOMPARE(row.size(), 2 + 5 + 3 + 1 + 2 + 2 + 1);
    const double sum = 0.81 + 0.81 + 0.04;
    QCOMPARE(row.at(10).toDouble(), 0.6);
    QVERIFY(qFuzzyCompare(row.at(11).toDouble(), 0.04 / sum));
    QVERIFY(qFuzzyCompare(row.at(12).toDouble(), 0.81 / sum));
    QVERIFY(qFuzzyCompare(row.at(13).toDouble(), 0.6 * 0.04 / 0.2));
    QVERIFY(qFuzzyCompare(row.at(14).toDouble(), 0.6 * 0.81 / 0.8));
    QCOMPARE(row.at(15), QStringLiteral("no")); // never drawn

    const PointCard card = layer.card(*data, 4);
    QCOMPARE(card.title, title);
    QCOMPARE(card.mass, 0.6);
    QCOMPARE(card.mean, 0.2);
    QCOMPARE(card.thresholdFactor, 3);
    QCOMPARE(card.coords, (std::vector<double>{0.9, 0.9, -0.2}));
}

QTEST_MAIN(TestPointLayer)
#include "tst_pointlayer.moc"
