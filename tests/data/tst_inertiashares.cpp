// Shares of the total inertia: the total worked out from a table whose
// inertia is known in closed form, and the texts that say what a share is of.

#include "data/model/cadata.h"
#include "data/statistics/inertiashares.h"
#include "data/statistics/tableinertia.h"

#include <QtTest>

#include <cmath>
#include <limits>

class TestInertiaShares : public QObject
{
    Q_OBJECT

private slots:
    void tableTotal_data();
    void tableTotal();
    void badTable_data();
    void badTable();
    void shares_data();
    void shares();
};

void TestInertiaShares::tableTotal_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<double>("expected");
    // A 2 x 2 table's inertia is phi^2 = (ad - bc)^2 / (r1 r2 c1 c2).
    QTest::newRow("2x2") << "2 2\n3 1\n1 3\n" << (9.0 - 1) * (9.0 - 1) / (4.0 * 4 * 4 * 4);
    QTest::newRow("2x2 uneven") << "2 2\n5 2\n1 7\n"
                                << (35.0 - 2) * (35.0 - 2) / (7.0 * 8 * 6 * 9);
    // Independent rows and columns: no inertia at all.
    QTest::newRow("independent") << "2 3\n1 2 3\n2 4 6\n" << 0.0;
    // A k x k diagonal table has k - 1 axes of eigenvalue 1.
    QTest::newRow("diagonal 4") << "4 4\n2 0 0 0\n0 5 0 0\n0 0 1 0\n0 0 0 9\n" << 3.0;
    // An empty row and column take no part.
    QTest::newRow("empty row and column") << "3 3\n3 1 0\n0 0 0\n1 3 0\n"
                                          << (9.0 - 1) * (9.0 - 1) / (4.0 * 4 * 4 * 4);
}

void TestInertiaShares::tableTotal()
{
    QFETCH(QString, table);
    QFETCH(double, expected);
    std::string error;
    const double total = TableInertia::ofText(table.toStdString(), error);
    QVERIFY2(std::isfinite(total), error.c_str());
    QVERIFY2(std::abs(total - expected) < 1e-12, qPrintable(QString::number(total, 'g', 17)));

    QTemporaryDir dir;
    const QString path = dir.filePath("table.txt");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(table.toUtf8());
    f.close();
    QCOMPARE(TableInertia::ofFile(QFile::encodeName(path).toStdString(), error), total);
}

void TestInertiaShares::badTable_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no header") << "x 2\n1 2\n" << "row and column counts";
    QTest::newRow("short") << "2 2\n1 2 3\n" << "cell";
    QTest::newRow("negative") << "2 2\n1 -2 3 4\n" << "negative";
    QTest::newRow("zeros") << "2 2\n0 0 0 0\n" << "zero";
    QTest::newRow("word") << "2 2\n1 2 three 4\n" << "'three'";
}

void TestInertiaShares::badTable()
{
    QFETCH(QString, table);
    QFETCH(QString, reason);
    std::string error;
    QVERIFY(std::isnan(TableInertia::ofText(table.toStdString(), error)));
    QVERIFY2(QString::fromStdString(error).contains(reason), error.c_str());
}

void TestInertiaShares::shares_data()
{
    QTest::addColumn<QVector<double>>("lambda");
    QTest::addColumn<double>("total");
    QTest::addColumn<QStringList>("titles");
    // Three axes holding a fifth of a total of 5: their shares of it,
    // not the 50 % the first holds of the three.
    QTest::newRow("of the total") << QVector<double>{0.5, 0.25, 0.25} << 5.0
                                  << QStringList{"Axis 1 \u00B7 10.0 %", "Axis 2 \u00B7 5.0 %", "Axis 3 \u00B7 5.0 %"};
    QTest::newRow("unknown total")
        << QVector<double>{0.5, 0.25, 0.25} << std::numeric_limits<double>::quiet_NaN()
        << QStringList{"Axis 1 \u00B7 50.0 % of the 3 axes computed", "Axis 2 \u00B7 25.0 % of the 3 axes computed",
                       "Axis 3 \u00B7 25.0 % of the 3 axes computed"};
    QTest::newRow("zero total is unknown")
        << QVector<double>{0.6, 0.4} << 0.0
        << QStringList{"Axis 1 \u00B7 60.0 % of the 2 axes computed", "Axis 2 \u00B7 40.0 % of the 2 axes computed"};
    QTest::newRow("axes holding all") << QVector<double>{0.6, 0.4} << 1.0
                                      << QStringList{"Axis 1 \u00B7 60.0 %", "Axis 2 \u00B7 40.0 %"};
}

void TestInertiaShares::shares()
{
    QFETCH(QVector<double>, lambda);
    QFETCH(double, total);
    QFETCH(QStringList, titles);
    CAData data(true);
    data.nbLambda = int(lambda.size());
    data.lambda = std::make_unique<double[]>(std::size_t(lambda.size()));
    std::copy(lambda.cbegin(), lambda.cend(), data.lambda.get());
    data.totalInertia = total;
    QStringList got;
    for (int a = 0; a < lambda.size(); ++a)
        got << InertiaShares::axisTitle(data, a);
    QCOMPARE(got, titles);
    QCOMPARE(InertiaShares::ofTotal(data), std::isfinite(total) && total > 0);
    // An axis that is not there has no share.
    QCOMPARE(InertiaShares::share(data, int(lambda.size())), 0.0);
}

QTEST_GUILESS_MAIN(TestInertiaShares)
#include "tst_inertiashares.moc"
