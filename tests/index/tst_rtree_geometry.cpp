// quick_select and Check_Intersect: the two helpers the point index builds on.
#include "index/rtree.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

Q_DECLARE_METATYPE(std::vector<double>)

namespace {

double lowerMedian(std::vector<double> v)
{
    const auto k = (v.size() - 1) / 2;
    std::nth_element(v.begin(), v.begin() + k, v.end());
    return v[k];
}

} // namespace

class TestRTreeGeometry : public QObject
{
    Q_OBJECT

private slots:
    void quickSelectPicksLowerMedian_data();
    void quickSelectPicksLowerMedian();
    void quickSelectRandomArrays();
    void quickSelectWithoutValues();
    void quickSelectSurvivesNaN();

    void checkIntersect_data();
    void checkIntersect();
};

void TestRTreeGeometry::quickSelectPicksLowerMedian_data()
{
    QTest::addColumn<std::vector<double>>("values");
    QTest::addColumn<double>("median");

    QTest::newRow("one") << std::vector<double>{7} << 7.0;
    QTest::newRow("two sorted") << std::vector<double>{1, 2} << 1.0;
    QTest::newRow("two reversed") << std::vector<double>{2, 1} << 1.0;
    QTest::newRow("three") << std::vector<double>{3, 1, 2} << 2.0;
    QTest::newRow("ten distinct, lower of the middle two")
        << std::vector<double>{9, 3, 7, 1, 5, 0, 8, 2, 6, 4} << 4.0;
    QTest::newRow("sorted") << std::vector<double>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10} << 5.0;
    QTest::newRow("reversed") << std::vector<double>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0} << 5.0;
    QTest::newRow("all equal") << std::vector<double>(12, 3.5) << 3.5;
    QTest::newRow("one low, rest equal")
        << std::vector<double>{5, 5, 5, 5, 5, 0, 5, 5, 5, 5} << 5.0;
    QTest::newRow("half equal low") << std::vector<double>{1, 9, 1, 9, 1, 9, 1, 9} << 1.0;
    QTest::newRow("negative") << std::vector<double>{-1, -7, -3, -5, -2} << -3.0;
    QTest::newRow("organ pipe") << std::vector<double>{0, 2, 4, 6, 8, 9, 7, 5, 3, 1} << 4.0;
}

void TestRTreeGeometry::quickSelectPicksLowerMedian()
{
    QFETCH(std::vector<double>, values);
    QFETCH(double, median);

    std::vector<double> work = values;
    QCOMPARE(quick_select(work.data(), static_cast<int>(work.size())), median);

    // Only permuted, nothing lost or invented.
    std::sort(work.begin(), work.end());
    std::sort(values.begin(), values.end());
    QCOMPARE(work, values);
}

void TestRTreeGeometry::quickSelectRandomArrays()
{
    std::mt19937 rng(12345);
    for (int round = 0; round < 3000; ++round) {
        const int n = 1 + static_cast<int>(rng() % 300);
        // Small value ranges give many ties, which is where partitioning
        // schemes go wrong.
        const int range = 1 + static_cast<int>(rng() % (round % 3 == 0 ? 4 : 1000));
        std::vector<double> values(n);
        for (double& v : values)
            v = static_cast<double>(rng() % range);
        const double expected = lowerMedian(values);
        std::vector<double> work = values;
        const double got = quick_select(work.data(), n);
        if (got != expected)
            QFAIL(qPrintable(QString("n=%1 range=%2: got %3, expected %4")
                                 .arg(n).arg(range).arg(got).arg(expected)));
    }
}

void TestRTreeGeometry::quickSelectWithoutValues()
{
    double one = 1.0;
    QVERIFY(std::isnan(quick_select(&one, 0)));
    QVERIFY(std::isnan(quick_select(&one, -3)));
    QVERIFY(std::isnan(quick_select(nullptr, 5)));
    QCOMPARE(one, 1.0);
}

void TestRTreeGeometry::quickSelectSurvivesNaN()
{
    // No ordering exists, so any answer will do; what matters is that the
    // scans stay inside the array (checked under the sanitizers/valgrind)
    // and the call returns.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::mt19937 rng(7);
    for (int round = 0; round < 500; ++round) {
        const int n = 1 + static_cast<int>(rng() % 40);
        std::vector<double> values(n);
        for (double& v : values)
            v = (rng() % 3 == 0) ? nan : static_cast<double>(rng() % 10);
        std::vector<double> work = values;
        quick_select(work.data(), n);
        const auto nans = [](const std::vector<double>& v) {
            return std::count_if(v.begin(), v.end(), [](double d) { return std::isnan(d); });
        };
        QCOMPARE(nans(work), nans(values));
    }
}

void TestRTreeGeometry::checkIntersect_data()
{
    // Rectangle [10, 20] x [30, 50] throughout.
    QTest::addColumn<double>("cx");
    QTest::addColumn<double>("cy");
    QTest::addColumn<double>("r");
    QTest::addColumn<bool>("reached");

    QTest::newRow("centre inside, r 0") << 15.0 << 40.0 << 0.0 << true;
    QTest::newRow("centre on corner, r 0") << 10.0 << 30.0 << 0.0 << true;
    QTest::newRow("centre on right edge, r 0") << 20.0 << 40.0 << 0.0 << true;

    QTest::newRow("right, exactly r") << 25.0 << 40.0 << 5.0 << false;
    QTest::newRow("right, just over") << 25.0 << 40.0 << 5.001 << true;
    QTest::newRow("left, exactly r") << 4.0 << 40.0 << 6.0 << false;
    QTest::newRow("left, just over") << 4.0 << 40.0 << 6.001 << true;
    QTest::newRow("above, exactly r") << 15.0 << 53.0 << 3.0 << false;
    QTest::newRow("above, just over") << 15.0 << 53.0 << 3.001 << true;
    QTest::newRow("below, exactly r") << 15.0 << 28.0 << 2.0 << false;
    QTest::newRow("below, just over") << 15.0 << 28.0 << 2.001 << true;

    // 3-4-5 triangles to each corner.
    QTest::newRow("right-top corner, exactly r") << 23.0 << 54.0 << 5.0 << false;
    QTest::newRow("right-top corner, just over") << 23.0 << 54.0 << 5.001 << true;
    QTest::newRow("right-bottom corner, exactly r") << 23.0 << 26.0 << 5.0 << false;
    QTest::newRow("right-bottom corner, just over") << 23.0 << 26.0 << 5.001 << true;
    QTest::newRow("left-top corner, exactly r") << 7.0 << 54.0 << 5.0 << false;
    QTest::newRow("left-top corner, just over") << 7.0 << 54.0 << 5.001 << true;
    QTest::newRow("left-bottom corner, exactly r") << 7.0 << 26.0 << 5.0 << false;
    QTest::newRow("left-bottom corner, just over") << 7.0 << 26.0 << 5.001 << true;

    // Within r of the corner's x and y separately, but not of the corner.
    QTest::newRow("diagonal miss") << 24.0 << 54.0 << 5.0 << false;
    QTest::newRow("far away") << 500.0 << -500.0 << 100.0 << false;
}

void TestRTreeGeometry::checkIntersect()
{
    QFETCH(double, cx);
    QFETCH(double, cy);
    QFETCH(double, r);
    QFETCH(bool, reached);
    QCOMPARE(Check_Intersect(10, 30, 20, 50, cx, cy, r), reached);
}

QTEST_APPLESS_MAIN(TestRTreeGeometry)
#include "tst_rtree_geometry.moc"
