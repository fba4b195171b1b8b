#include "data/formats/counttable.h"
#include "data/statistics/grouptest.h"
#include "data/statistics/hypergeometric.h"

#include <QtTest>

#include <cmath>

// The group test against hypergeometric probabilities counted by hand
// (exact binomial coefficients) and test values from the normal quantile.
class TestGroupTest : public QObject
{
    Q_OBJECT

    static double choose(int n, int k)
    {
        if (k < 0 || k > n)
            return 0;
        double r = 1;
        for (int i = 1; i <= k; ++i)
            r = r * (n - k + i) / i;
        return r;
    }

    // P(X = x) for x marked among `draws` from `marked` + `unmarked`.
    static double pmf(int x, int marked, int unmarked, int draws)
    {
        return choose(marked, x) * choose(unmarked, draws - x) / choose(marked + unmarked, draws);
    }

private slots:
    void word_data()
    {
        QTest::addColumn<int>("countIn");
        QTest::addColumn<int>("countAll");
        QTest::addColumn<int>("groupTotal");
        QTest::addColumn<int>("total");
        QTest::addColumn<double>("pValue");
        QTest::addColumn<double>("vTest");
        // Group of 5 of 10 counts; the word occurs 4 times.
        // All 4 in the group: P(X >= 4) = C(4,4) C(6,1) / C(10,5) = 6 / 252.
        QTest::newRow("all in") << 4 << 4 << 5 << 10 << 2 * 6.0 / 252 << 1.9807523966472786;
        // None in: P(X <= 0) = C(6,5) / C(10,5) = 6 / 252.
        QTest::newRow("none in") << 0 << 4 << 5 << 10 << 2 * 6.0 / 252 << -1.9807523966472786;
        // At the mean: P(X <= 2) = (6 + 60 + 120) / 252 > 1/2, folded to
        // 2 - 2 * 186 / 252.
        QTest::newRow("at the mean") << 2 << 4 << 5 << 10 << 2 - 2 * 186.0 / 252 << -0.63748416096237659;
        // 3 of 6 draws from 5 marked of 20: P(X >= 3) = (C(5,3)C(15,3) +
        // C(5,4)C(15,2) + C(5,5)C(15,1)) / C(20,6) = (4550 + 525 + 15) / 38760.
        QTest::newRow("over, 3 of 6") << 3 << 5 << 6 << 20 << 2 * 5090.0 / 38760 << 1.1201686541892921;
        // 1 of 6 (mean 1.5): P(X <= 1) = (C(15,6) + 5 C(15,5)) / C(20,6).
        QTest::newRow("under, 1 of 6") << 1 << 5 << 6 << 20 << 2 * (5005.0 + 5 * 3003.0) / 38760
                                       << -0.041400939046348513;
    }

    void word()
    {
        QFETCH(int, countIn);
        QFETCH(int, countAll);
        QFETCH(int, groupTotal);
        QFETCH(int, total);
        QFETCH(double, pValue);
        QFETCH(double, vTest);
        double p = pValue > 1 ? 2 - pValue : pValue;
        const GroupTest::Word w = GroupTest::test(countIn, countAll, groupTotal, total);
        QVERIFY2(std::fabs(w.pValue - p) < 1e-12 * std::max(1.0, p), qPrintable(QString::number(w.pValue, 'g', 17)));
        QVERIFY2(std::fabs(w.vTest - vTest) < 1e-9, qPrintable(QString::number(w.vTest, 'g', 17)));
        QCOMPARE(w.countIn, double(countIn));
        QCOMPARE(w.countAll, double(countAll));
    }

    void tails_data()
    {
        QTest::addColumn<int>("marked");
        QTest::addColumn<int>("unmarked");
        QTest::addColumn<int>("draws");
        QTest::newRow("small") << 4 << 6 << 5;
        QTest::newRow("skewed") << 3 << 40 << 12;
        QTest::newRow("more drawn than unmarked") << 30 << 8 << 20;
    }

    // Every tail is the sum of the probabilities counted by hand.
    void tails()
    {
        QFETCH(int, marked);
        QFETCH(int, unmarked);
        QFETCH(int, draws);
        const Hypergeometric law(marked, unmarked, draws);
        for (int x = 0; x <= draws; ++x) {
            double lower = 0, upper = 0;
            for (int k = 0; k <= x; ++k)
                lower += pmf(k, marked, unmarked, draws);
            for (int k = x; k <= draws; ++k)
                upper += pmf(k, marked, unmarked, draws);
            QVERIFY2(std::fabs(std::exp(law.logLowerTail(x)) - lower) < 1e-12,
                     qPrintable(QString("P(X <= %1)").arg(x)));
            QVERIFY2(std::fabs(std::exp(law.logUpperTail(x)) - upper) < 1e-12,
                     qPrintable(QString("P(X >= %1)").arg(x)));
        }
    }

    void quantile_data()
    {
        QTest::addColumn<double>("p");
        QTest::addColumn<double>("z");
        QTest::newRow("0.025") << 0.025 << -1.959963984540054;
        QTest::newRow("0.5") << 0.5 << 0.0;
        QTest::newRow("0.975") << 0.975 << 1.959963984540054;
        QTest::newRow("1e-10") << 1e-10 << -6.361340902404056;
        QTest::newRow("1e-300") << 1e-300 << -37.047096299361201;
    }

    void quantile()
    {
        QFETCH(double, p);
        QFETCH(double, z);
        QVERIFY2(std::fabs(Hypergeometric::normalQuantileLog(std::log(p)) - z) < 1e-9,
                 qPrintable(QString::number(Hypergeometric::normalQuantileLog(std::log(p)), 'g', 17)));
    }

    void countScale_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QVector<double>>("counts"); // over both rows
        QTest::newRow("counts") << QByteArray("2 3\n1 2 0\n3 1 4\n") << int(CountTable::Counts)
                                << QVector<double>{4, 3, 4};
        // sqrt(2), 2 = sqrt(4), sqrt(3), 1, 3 = sqrt(9), as an indexer writes them.
        QTest::newRow("square roots") << QByteArray("2 3\n1.414214 2 0\n1.732051 1 3\n")
                                      << int(CountTable::SquareRoots) << QVector<double>{5, 5, 9};
        QTest::newRow("weighted") << QByteArray("2 3\n0.4 2.6 0\n1.2 1 3.5\n") << int(CountTable::Weighted)
                                  << QVector<double>{1, 4, 4};
    }

    // The group test counts words: square roots in the table are squared
    // back, other weights rounded.
    void countScale()
    {
        QFETCH(QByteArray, table);
        QFETCH(int, scale);
        QFETCH(QVector<double>, counts);
        CountTable t;
        QVERIFY2(t.parse(table.toStdString()), t.error().c_str());
        QCOMPARE(int(t.scale()), scale);
        const std::vector<double> got = t.columnCounts({0, 1});
        QCOMPARE(QVector<double>(got.begin(), got.end()), counts);
        for (int j = 0; j < 3; ++j)
            QCOMPARE(t.colCount(j), counts.at(j));
    }

    // A strong effect whose probability underflows keeps a finite, large
    // test value; the ranking puts over-represented words first.
    void ranking()
    {
        const std::vector<double> in = {0, 3000, 10, 5, 0};
        const std::vector<double> all = {500, 3000, 20, 2000, 0};
        const auto words = GroupTest::run(in, all);
        QCOMPARE(int(words.size()), 4); // the word absent everywhere is left out
        QCOMPARE(words.front().word, 1);
        QVERIFY(std::isfinite(words.front().vTest));
        QVERIFY(words.front().vTest > 37);
        for (std::size_t k = 1; k < words.size(); ++k)
            QVERIFY(words[k - 1].vTest >= words[k].vTest);
        QVERIFY(words.back().vTest < 0);
    }
};

QTEST_GUILESS_MAIN(TestGroupTest)
#include "tst_grouptest.moc"
