// The even-odd point-in-polygon test behind the map selection.

#include "map/pnpoly.h"

#include <QtTest>

class TestPnpoly : public QObject
{
    Q_OBJECT

private slots:
    void inside_data();
    void inside();
};

namespace {

QVector<QPointF> square()
{
    return QVector<QPointF>({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
}

} // namespace

void TestPnpoly::inside_data()
{
    // Vertex lists rather than QPolygonF: the test runs without the GUI types.
    QTest::addColumn<QVector<QPointF>>("polygon");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<int>("expected");

    // Edges own their lower end and crossings are strict in x: the left and
    // bottom sides of the square are in, the right and top sides are out.
    QTest::newRow("square centre") << square() << 0.5 << 0.5 << 1;
    QTest::newRow("square left side") << square() << 0.0 << 0.5 << 1;
    QTest::newRow("square right side") << square() << 1.0 << 0.5 << 0;
    QTest::newRow("square bottom side") << square() << 0.5 << 0.0 << 1;
    QTest::newRow("square top side") << square() << 0.5 << 1.0 << 0;
    QTest::newRow("left of square") << square() << -0.5 << 0.5 << 0;
    QTest::newRow("right of square") << square() << 1.5 << 0.5 << 0;
    QTest::newRow("below square") << square() << 0.5 << -0.5 << 0;

    QTest::newRow("square clockwise") << QVector<QPointF>({{0, 0}, {0, 1}, {1, 1}, {1, 0}}) << 0.5 << 0.5 << 1;

    // A horizontal through two vertices of the diamond must count each once.
    const QVector<QPointF> diamond({{0, -1}, {1, 0}, {0, 1}, {-1, 0}});
    QTest::newRow("diamond, ray through a vertex") << diamond << -0.5 << 0.0 << 1;
    QTest::newRow("diamond, ray through both vertices") << diamond << -1.5 << 0.0 << 0;
    QTest::newRow("diamond corner outside") << diamond << 0.8 << 0.8 << 0;

    // A U shape: the notch is outside, the arms are inside.
    const QVector<QPointF> u({{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}});
    QTest::newRow("U notch") << u << 1.5 << 2.0 << 0;
    QTest::newRow("U left arm") << u << 0.5 << 2.0 << 1;
    QTest::newRow("U right arm") << u << 2.5 << 2.0 << 1;
    QTest::newRow("U base") << u << 1.5 << 0.5 << 1;

    // Twice around the same square: enclosed twice is outside.
    QTest::newRow("double loop")
        << QVector<QPointF>({{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}, {1, 0}, {1, 1}, {0, 1}}) << 0.5 << 0.5 << 0;
    // A bow tie: each lobe is inside once.
    const QVector<QPointF> bowTie({{0, 0}, {2, 2}, {2, 0}, {0, 2}});
    QTest::newRow("bow tie lobe") << bowTie << 1.8 << 1.0 << 1;
    QTest::newRow("bow tie gap") << bowTie << 1.0 << 1.8 << 0;

    QTest::newRow("no vertex") << QVector<QPointF>() << 0.0 << 0.0 << 0;
    QTest::newRow("one vertex, on it") << QVector<QPointF>({{2, 2}}) << 2.0 << 2.0 << 0;
    QTest::newRow("two vertices, on the segment") << QVector<QPointF>({{0, 0}, {4, 4}}) << 1.0 << 2.0 << 0;
}

void TestPnpoly::inside()
{
    QFETCH(QVector<QPointF>, polygon);
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(int, expected);
    QCOMPARE(pnpoly(QPolygonF(polygon), float(x), float(y)), expected);
}

QTEST_APPLESS_MAIN(TestPnpoly)
#include "tst_pnpoly.moc"
