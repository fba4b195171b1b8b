// The axis titles keep off the edge markers, on the screen and in exports
// alike (both place them with AxisTitles).
#include "map/axistitles.h"
#include "map/maptransform.h"

#include <QFont>
#include <QFontMetrics>
#include <QtTest>

#include <vector>

class TestAxisTitles : public QObject
{
    Q_OBJECT

private slots:
    void titlesClearMarkers_data();
    void titlesClearMarkers();
};

void TestAxisTitles::titlesClearMarkers_data()
{
    // Which obstacles: bit 0 on the horizontal title, bit 1 on the vertical
    // one, bit 2 a row of markers along the horizontal axis up to the left
    // edge, bit 3 a marker where the horizontal title would land first.
    QTest::addColumn<int>("obstacles");
    QTest::newRow("none") << 0;
    QTest::newRow("on the horizontal title") << 1;
    QTest::newRow("on the vertical title") << 2;
    QTest::newRow("on both") << 3;
    QTest::newRow("a row along the horizontal axis") << 4;
    QTest::newRow("two in a row") << (1 | 8);
}

void TestAxisTitles::titlesClearMarkers()
{
    QFETCH(int, obstacles);
    MapTransform t;
    t.mapWidth = 800;
    t.mapHeight = 600;
    const QSize window(800, 600);
    QFont font;
    font.setBold(true);
    const QFontMetrics metrics(font);
    const QString h = QStringLiteral("Axis 1 \u00b7 6.7 %"), v = QStringLiteral("Axis 2 \u00b7 3.3 %");
    const AxisTitles::Boxes free = AxisTitles::place(t, window, metrics, h, v);
    const QSize marker(40, metrics.height() + 4);
    std::vector<QRect> avoid;
    if (obstacles & 1)
        avoid.push_back(QRect(free.horizontal.center() - QPoint(20, 5), marker));
    if (obstacles & 2)
        avoid.push_back(QRect(free.vertical.center() - QPoint(10, 5), marker));
    if (obstacles & 4)
        for (int x = 0; x < 800; x += 40)
            avoid.push_back(QRect(QPoint(x, free.horizontal.top()), marker));
    if (obstacles & 8)
        avoid.push_back(QRect(QPoint(free.horizontal.left() - 45, free.horizontal.top()), marker));

    const AxisTitles::Boxes b = AxisTitles::place(t, window, metrics, h, v, avoid);
    const QRect inside(QPoint(0, 0), window);
    for (const QRect &title : {b.horizontal, b.vertical}) {
        QVERIFY(inside.contains(title));
        for (const QRect &r : avoid)
            QVERIFY2(!title.intersects(r), qPrintable(QStringLiteral("title at %1,%2 on a marker at %3,%4")
                                                          .arg(title.x()).arg(title.y()).arg(r.x()).arg(r.y())));
    }
    // Still beside its own axis, and the same size.
    const QPoint origin = t.widgetPixel(0, 0);
    QVERIFY(std::abs(b.horizontal.center().y() - origin.y()) <= 2 * metrics.height());
    QVERIFY(b.vertical.left() >= origin.x());
    QCOMPARE(b.horizontal.size(), free.horizontal.size());
    QCOMPARE(b.vertical.size(), free.vertical.size());
    if (avoid.empty()) {
        QCOMPARE(b.horizontal, free.horizontal);
        QCOMPARE(b.vertical, free.vertical);
    }
}

QTEST_MAIN(TestAxisTitles)
#include "tst_axistitles.moc"
