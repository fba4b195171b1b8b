// The map transform: widget pixels of map points and back, across the
// projection modes, scales, canvas offsets, pans and widget placements.

#include "data/model/cadata.h"
#include "map/caview.h"
#include "map/maptransform.h"
#include "tst_caview_fixture.h"

#include <QtTest>

#include <cmath>

class TestMapTransform : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void followsTheViewFields_data();
    void followsTheViewFields();
    void projectionRescalesOneFamily_data();
    void projectionRescalesOneFamily();
};

void TestMapTransform::roundTrip_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPoint>("shift");
    QTest::addColumn<QPoint>("pan");
    QTest::addColumn<QPoint>("origin");
    QTest::addColumn<QPointF>("point");

    QTest::newRow("default") << 200.0 << QPoint(0, 0) << QPoint(0, 0) << QPoint(-700, -550)
                             << QPointF(0.37, -1.21);
    QTest::newRow("shifted canvas") << 200.0 << QPoint(313, -120) << QPoint(0, 0)
                                    << QPoint(-700, -550) << QPointF(-2.5, 0.75);
    QTest::newRow("panned") << 50.0 << QPoint(0, 0) << QPoint(-41, 77) << QPoint(0, 0)
                            << QPointF(3.3, 4.4);
    QTest::newRow("fitted tiny scale") << 0.013 << QPoint(-9000, 4000) << QPoint(5, -5)
                                       << QPoint(-1, 0) << QPointF(12345.6, -789.1);
    QTest::newRow("deep zoom") << 1e6 << QPoint(1234567, -7654321) << QPoint(0, 0)
                               << QPoint(-700, -550) << QPointF(1.2345678, -7.6543219);
    QTest::newRow("negative quadrant") << 333.3 << QPoint(-50, 60) << QPoint(12, 34)
                                       << QPoint(-1001, -749) << QPointF(-0.999, -0.001);
}

void TestMapTransform::roundTrip()
{
    QFETCH(double, scale);
    QFETCH(QPoint, shift);
    QFETCH(QPoint, pan);
    QFETCH(QPoint, origin);
    QFETCH(QPointF, point);

    MapTransform t;
    t.scale = scale;
    t.shiftX = shift.x();
    t.shiftY = shift.y();
    t.panX = pan.x();
    t.panY = pan.y();
    t.originX = origin.x();
    t.originY = origin.y();

    // The widget pixel by the projection formula, written out.
    const int sx = origin.x() + pan.x() + 1000 + int(scale * point.x()) - shift.x();
    const int sy = origin.y() + pan.y() + 750 - int(scale * point.y()) - shift.y();
    const QPoint w = t.widgetPixel(point.x(), point.y());
    QCOMPARE(w, QPoint(sx, sy));

    // Back to map units: within the pixel the truncation chose.
    const QPointF back = t.mapFromWidget(QPointF(w));
    QVERIFY2(std::abs(back.x() - point.x()) < 1.0 / scale,
             qPrintable(QStringLiteral("x %1 -> %2").arg(point.x()).arg(back.x())));
    QVERIFY2(std::abs(back.y() - point.y()) < 1.0 / scale,
             qPrintable(QStringLiteral("y %1 -> %2").arg(point.y()).arg(back.y())));

    // The axes cross where the map origin is drawn.
    QCOMPARE(t.widgetOrigin(), t.widgetPixel(0, 0));
    QCOMPARE(t.canvasFromWidget(QPointF(w)) + QPointF(t.canvasTopLeft()), QPointF(w));
}

void TestMapTransform::followsTheViewFields_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPoint>("shift");
    QTest::addColumn<QSize>("size");

    for (int mode = 0; mode < 3; ++mode) {
        QTest::addRow("mode %d, plain", mode) << mode << 200.0 << QPoint(0, 0) << QSize(800, 600);
        QTest::addRow("mode %d, shifted", mode) << mode << 75.5 << QPoint(-210, 95) << QSize(1999, 1501);
        QTest::addRow("mode %d, small", mode) << mode << 3000.0 << QPoint(4000, -3000) << QSize(300, 200);
    }
}

void TestMapTransform::followsTheViewFields()
{
    QFETCH(int, mode);
    QFETCH(double, scale);
    QFETCH(QPoint, shift);
    QFETCH(QSize, size);

    auto data = fixture::makeData({{0.5, -0.25, 0.1}, {-1.5, 0.75, 0}}, {{0.3, 0.3, 0.3}, {-0.2, 1.1, 0}},
                                  {0.64, 0.25, 0.09});
    CAView view(0, 1, 2);
    fixture::resizeNow(view, size.width(), size.height());
    view.setData(data.get());
    view.setProjectionMode(mode);
    view.scale = scale;
    view.setCanvasShift(shift);
    view.panX = 7;
    view.panY = -3;

    // A change of any field shows in the next transform: nothing is kept.
    const MapTransform t = view.mapTransform();
    for (int i = 0; i < data->nbImages; ++i) {
        const double f1 = mode == 2 ? std::sqrt(0.64) : 1.0;
        const double f2 = mode == 2 ? std::sqrt(0.25) : 1.0;
        const double x = data->Z[i * 3] * f1, y = data->Z[i * 3 + 1] * f2;
        const QPoint expected((size.width() - 2000) / 2 + 7 + 1000 + int(scale * x) - shift.x(),
                              (size.height() - 1500) / 2 - 3 + 750 - int(scale * y) - shift.y());
        QCOMPARE(view.imagePosition(i), expected);
        QCOMPARE(t.widgetPixel(view.getZ(i, 0), view.getZ(i, 1)), expected);
        const QPointF back = view.mapAt(QPointF(expected));
        QVERIFY(std::abs(back.x() - x) < 1.0 / scale && std::abs(back.y() - y) < 1.0 / scale);
    }
    view.changeAxis(1, 2, 0);
    QCOMPARE(view.mapTransform().axis1, 1);
    QCOMPARE(view.mapTransform().axis2, 2);
}

void TestMapTransform::projectionRescalesOneFamily_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("rescaledInMode");
    QTest::addColumn<double>("factor");
    QTest::newRow("normal, images") << 0 << 2 << 1.0;
    QTest::newRow("normal, words") << 0 << 1 << 1.0;
    QTest::newRow("columns as barycenters, words") << 1 << 1 << 0.3;
    QTest::newRow("columns as barycenters, images") << 1 << 2 << 1.0;
    QTest::newRow("rows as barycenters, images") << 2 << 2 << 0.3;
    QTest::newRow("rows as barycenters, words") << 2 << 1 << 1.0;
}

void TestMapTransform::projectionRescalesOneFamily()
{
    QFETCH(int, mode);
    QFETCH(int, rescaledInMode);
    QFETCH(double, factor);
    auto data = fixture::makeData({{1, 1}}, {{1, 1}}, {0.5, 0.09});
    MapTransform t;
    t.projectionMode = mode;
    // The eigenvalue of the axis asked for, not of a position among the shown ones.
    QCOMPARE(t.projectionFactor(*data, 1, rescaledInMode), factor);
}

QTEST_MAIN(TestMapTransform)
#include "tst_maptransform.moc"
