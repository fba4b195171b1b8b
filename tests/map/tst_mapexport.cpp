// The exported figure against the screen, for a fitted map (every map is
// fitted on opening), whose canvas is shifted off the axes' origin.

#include "data/model/cadata.h"
#include "map/caview.h"
#include "map/mapexporter.h"
#include "tst_caview_fixture.h"
#include "tst_caview_textrecorder.h"

#include <QPainter>
#include <QtTest>

class TestMapExport : public QObject
{
    Q_OBJECT

private slots:
    void marksWhereTheScreenDrawsThem_data();
    void marksWhereTheScreenDrawsThem();
    void axisTitlesOnTheirAxes_data();
    void axisTitlesOnTheirAxes();
    void legendClearOfTheCloud_data();
    void legendClearOfTheCloud();
};

namespace {

// Points around the origin, more of them up and to the right, so that the
// fit moves the canvas off the origin.
std::unique_ptr<CAData> lopsided()
{
    auto d = fixture::makeData({{-0.3, -0.2}, {2.5, 1.8}, {1.9, 0.4}, {0.6, 2.2}, {3.0, -0.1}},
                               {{-0.1, 0.3}, {2.2, 2.0}, {1.1, -0.15}}, {0.5, 0.3});
    // Known, so the titles are the short ones of shares of the total.
    d->totalInertia = 1.0;
    return d;
}

// The widget pixel of a map point by the projection formula, from the fields.
QPoint byFormula(const CAView &v, double x, double y)
{
    return QPoint(v.originX + v.panX + v.mapWidth / 2 + int(v.scale * x) - v.canvasShift().x(),
                  v.originY + v.panY + v.mapHeight / 2 - int(v.scale * y) - v.canvasShift().y());
}

void fitted(CAView &view, CAData *data, QSize size, int mode)
{
    fixture::resizeNow(view, size.width(), size.height());
    view.imageThreshold = 0;
    view.wordThreshold = 0;
    view.setData(data);
    view.setProjectionMode(mode);
    view.fitAllPoints();
    view.setAxisTitles(true);
}

} // namespace

void TestMapExport::marksWhereTheScreenDrawsThem_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("mode");
    QTest::newRow("small window") << QSize(420, 300) << 0;
    QTest::newRow("wide window, rows as barycenters") << QSize(900, 380) << 2;
    QTest::newRow("tall window, columns as barycenters") << QSize(360, 640) << 1;
}

void TestMapExport::marksWhereTheScreenDrawsThem()
{
    QFETCH(QSize, size);
    QFETCH(int, mode);
    auto data = lopsided();
    CAView view(0, 1, 2);
    fitted(view, data.get(), size, mode);
    QVERIFY(view.isFitted());
    QVERIFY(view.canvasShift().x() != 0 || view.canvasShift().y() != 0);

    const QImage screen = fixture::shot(view);
    const QImage exported = MapExporter(view).image(1);
    QCOMPARE(exported.size(), screen.size());
    for (int i = 0; i < data->nbImages; ++i) {
        const QPoint p = byFormula(view, view.getZ(i, 0), view.getZ(i, 1));
        // The cross's centre pixel, in the image colour, in both.
        QCOMPARE(fixture::at(screen, p.x(), p.y()), QColor(Qt::red));
        QCOMPARE(fixture::at(exported, p.x(), p.y()), QColor(Qt::red));
        QCOMPARE(fixture::at(exported, p.x() + 2, p.y()), QColor(Qt::red));
        QCOMPARE(fixture::at(exported, p.x(), p.y() - 2), QColor(Qt::red));
    }
    for (int j = 0; j < data->nbWords; ++j) {
        const QPoint p = byFormula(view, view.getW(j, 0), view.getW(j, 1));
        // The circle's top, in both; its middle stays empty.
        QVERIFY(fixture::near(screen, p.x(), p.y() - 2, Qt::blue));
        QVERIFY(fixture::near(exported, p.x(), p.y() - 2, Qt::blue));
        QVERIFY(fixture::at(exported, p.x(), p.y()) != QColor(Qt::blue));
        // The same round mark as the screen's, pixel for pixel, not a blob
        // that reads as a diamond.
        for (int dy = -4; dy <= 4; ++dy)
            for (int dx = -4; dx <= 4; ++dx)
                QCOMPARE(fixture::at(exported, p.x() + dx, p.y() + dy) == QColor(Qt::blue),
                         fixture::at(screen, p.x() + dx, p.y() + dy) == QColor(Qt::blue));
    }
    // The axes on the same rows and columns.
    const QPoint origin = byFormula(view, 0, 0);
    QCOMPARE(fixture::at(exported, 1, origin.y()), fixture::at(screen, 1, origin.y()));
    QCOMPARE(fixture::at(exported, origin.x(), 1), fixture::at(screen, origin.x(), 1));
    QCOMPARE(fixture::at(exported, 1, origin.y()), QColor(Qt::gray));
}

void TestMapExport::axisTitlesOnTheirAxes_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("small window") << QSize(420, 300);
    QTest::newRow("wide window") << QSize(900, 380);
}

void TestMapExport::axisTitlesOnTheirAxes()
{
    QFETCH(QSize, size);
    auto data = lopsided();
    CAView view(0, 1, 2);
    fitted(view, data.get(), size, 0);
    const QPoint origin = byFormula(view, 0, 0);
    QVERIFY(QRect(QPoint(0, 0), size).contains(origin));
    // The canvas is off the origin: an exporter ignoring the shift would
    // put the titles elsewhere.
    QVERIFY(view.canvasShift().y() != 0 && view.canvasShift().x() != 0);

    auto titles = [](const QList<fixture::DrawnText> &texts, QPointF &horizontal, QPointF &vertical) {
        int found = 0;
        for (const fixture::DrawnText &t : texts) {
            if (t.text.startsWith(QStringLiteral("Axis 1"))) {
                horizontal = t.position;
                ++found;
            } else if (t.text.startsWith(QStringLiteral("Axis 2"))) {
                vertical = t.position;
                ++found;
            }
        }
        return found;
    };
    QPointF screenH, screenV, exportH, exportV;
    QCOMPARE(titles(fixture::TextRecorder::record(view), screenH, screenV), 2);
    fixture::TextRecorder device(view.size());
    {
        QPainter painter(&device);
        MapExporter(view).paint(painter);
    }
    QCOMPARE(titles(device.texts, exportH, exportV), 2);

    // The horizontal title sits just above its axis, the vertical one just
    // right of it, on the screen and in the figure alike (a line of text and
    // its padding away at most).
    for (const QPointF &h : {screenH, exportH}) {
        QVERIFY2(h.y() <= origin.y() && h.y() >= origin.y() - 30,
                 qPrintable(QStringLiteral("title at %1, axis at %2").arg(h.y()).arg(origin.y())));
    }
    for (const QPointF &v : {screenV, exportV}) {
        QVERIFY2(v.x() >= origin.x() && v.x() <= origin.x() + 20,
                 qPrintable(QStringLiteral("title at %1, axis at %2").arg(v.x()).arg(origin.x())));
    }
    // Same rows and columns as the screen (the figure's font is set to 9
    // points, which may change the height of a line by a pixel or two).
    QVERIFY(std::abs(exportH.y() - screenH.y()) <= 4);
    QVERIFY(std::abs(exportV.x() - screenV.x()) <= 1);
}

QTEST_MAIN(TestMapExport)
#include "tst_mapexport.moc"

void TestMapExport::legendClearOfTheCloud_data()
{
    // Where the images crowd (x and y signs of the cloud), and the corner the
    // legend must then take: top right whenever it is free.
    QTest::addColumn<int>("cloudX");
    QTest::addColumn<int>("cloudY");
    QTest::addColumn<QString>("corner");
    QTest::newRow("cloud top right") << 1 << 1 << QStringLiteral("elsewhere");
    QTest::newRow("cloud bottom left") << -1 << -1 << QStringLiteral("top right");
    // The far images then sit top right and bottom left.
    QTest::newRow("cloud top left") << -1 << 1 << QStringLiteral("elsewhere");
}

// A legend goes where it hides no drawn mark when a corner has room: never on
// a cloud filling the top right while another corner is empty.
void TestMapExport::legendClearOfTheCloud()
{
    QFETCH(int, cloudX);
    QFETCH(int, cloudY);
    QFETCH(QString, corner);
    // A dense square of images in one quadrant, and two far images on the
    // other diagonal that set the extent: one corner stays empty.
    std::vector<std::vector<double>> z;
    for (int i = 0; i < 15; ++i)
        for (int j = 0; j < 15; ++j)
            z.push_back({cloudX * (0.9 + 0.08 * i), cloudY * (0.9 + 0.08 * j)});
    z.push_back({-2.0 * cloudX, 2.0 * cloudY});
    z.push_back({2.0 * cloudX, -2.0 * cloudY});
    auto data = fixture::makeData(z, {{0.0, 0.0}}, {0.5, 0.3});
    data->totalInertia = 1.0;
    CAView view(0, 1, 2);
    fitted(view, data.get(), QSize(500, 400), 0);

    MapExporter exporter(view);
    QList<MapExporter::LegendEntry> legend;
    for (int k = 0; k < 6; ++k)
        legend.append({QColor(40 * k, 100, 200), QStringLiteral("category number %1").arg(k)});
    exporter.setLegend(legend);
    QImage figure(view.size(), QImage::Format_RGB32);
    MapExporter::Marks marks;
    {
        QPainter painter(&figure);
        marks = exporter.paint(painter);
    }
    const QRect box = marks.legend;
    QVERIFY(!box.isNull());
    QVERIFY(QRect(QPoint(0, 0), view.size()).contains(box));
    // Every drawn image by the projection formula: none under the legend.
    int hidden = 0;
    for (int i = 0; i < data->nbImages; ++i)
        if (view.imageDrawn(i))
            hidden += box.adjusted(-3, -3, 3, 3).contains(byFormula(view, z[std::size_t(i)][0], z[std::size_t(i)][1]));
    QCOMPARE(hidden, 0);
    const bool topRight = box.right() > view.width() / 2 && box.top() < view.height() / 2;
    QCOMPARE(topRight, corner == QLatin1String("top right"));
}
