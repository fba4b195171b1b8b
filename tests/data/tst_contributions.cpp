// The per-axis measures of a point: contribution and quality (cos2), with
// their one rule for NaN coordinates and axes without inertia.

#include "data/statistics/contributions.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {
const double NaN = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();
} // namespace

class TestContributions : public QObject
{
    Q_OBJECT

private slots:
    void contribution_data();
    void contribution();
    void quality_data();
    void quality();
    void threshold_data();
    void threshold();
};

void TestContributions::contribution_data()
{
    QTest::addColumn<double>("mass");
    QTest::addColumn<double>("coord");
    QTest::addColumn<double>("lambda");
    QTest::addColumn<double>("expected"); // NaN: not a number expected
    QTest::newRow("ordinary") << 0.25 << -2.0 << 0.5 << 2.0;
    QTest::newRow("on the axis' origin") << 0.25 << 0.0 << 0.5 << 0.0;
    QTest::newRow("axis without inertia") << 0.25 << 3.0 << 0.0 << 0.0;
    QTest::newRow("origin on an axis without inertia") << 0.25 << 0.0 << 0.0 << 0.0;
    QTest::newRow("negative eigenvalue") << 0.25 << 3.0 << -1e-12 << 0.0;
    QTest::newRow("eigenvalue not a number") << 0.25 << 3.0 << NaN << 0.0;
    QTest::newRow("coordinate not a number") << 0.25 << NaN << 0.5 << NaN;
}

void TestContributions::contribution()
{
    QFETCH(double, mass);
    QFETCH(double, coord);
    QFETCH(double, lambda);
    QFETCH(double, expected);
    const double got = Contributions::contribution(mass, coord, lambda);
    if (std::isnan(expected)) {
        QVERIFY(std::isnan(got));
        QCOMPARE(Contributions::shown(got), 0.0);
    } else {
        QCOMPARE(got, expected);
    }
}

void TestContributions::quality_data()
{
    QTest::addColumn<QVector<double>>("coords");
    QTest::addColumn<int>("axis");
    QTest::addColumn<double>("expected");
    QTest::newRow("3-4-0, first") << QVector<double>{3, 4, 0} << 0 << 9.0 / 25;
    QTest::newRow("3-4-0, second") << QVector<double>{3, -4, 0} << 1 << 16.0 / 25;
    QTest::newRow("NaN left out of the sum") << QVector<double>{NaN, 1, 1} << 1 << 0.5;
    QTest::newRow("NaN axis itself") << QVector<double>{NaN, 1, 1} << 0 << 0.0;
    QTest::newRow("at the origin") << QVector<double>{0, 0, 0} << 2 << 0.0;
    QTest::newRow("infinite coordinate") << QVector<double>{Inf, 1, 0} << 1 << 0.0;
    QTest::newRow("axis beyond those in use") << QVector<double>{1, 1} << 2 << 0.0;
}

void TestContributions::quality()
{
    QFETCH(QVector<double>, coords);
    QFETCH(int, axis);
    QFETCH(double, expected);
    QCOMPARE(Contributions::quality(coords.constData(), int(coords.size()), axis), expected);
}

void TestContributions::threshold_data()
{
    QTest::addColumn<double>("t");
    QTest::addColumn<double>("c1");
    QTest::addColumn<double>("c2");
    QTest::addColumn<bool>("reaches");
    QTest::newRow("below on both") << 0.4 << 0.1 << 0.39 << false;
    QTest::newRow("at the threshold") << 0.4 << 0.4 << 0.0 << true;
    QTest::newRow("above on the second") << 0.4 << 0.0 << 1.2 << true;
    QTest::newRow("not a number") << 0.4 << NaN << 0.0 << true;
    QTest::newRow("threshold 0") << 0.0 << 0.0 << 0.0 << true;
}

void TestContributions::threshold()
{
    QFETCH(double, t);
    QFETCH(double, c1);
    QFETCH(double, c2);
    QFETCH(bool, reaches);
    QCOMPARE(Contributions::reaches(t, c1, c2), reaches);
}

QTEST_MAIN(TestContributions)
#include "tst_contributions.moc"
