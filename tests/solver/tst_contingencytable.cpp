// Reading of contingency tables: layout freedom, what is kept, and the
// refusals with their reasons.
#include "solver/contingencytable.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

class TestContingencyTable : public QObject
{
    Q_OBJECT
private slots:
    void readsLayouts_data();
    void readsLayouts();
    void refuses_data();
    void refuses();
    void readsFileAndKeepsOnlyNonZeros();
    void missingFile();
};

void TestContingencyTable::readsLayouts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cols");
    QTest::addColumn<QString>("cells"); // expected row-major values

    QTest::newRow("lines") << "2 3\n1 0 2\n0 0 3.5\n" << 2 << 3 << "1 0 2 0 0 3.5";
    QTest::newRow("one line, tabs, no final newline") << "2\t3 1 0 2\t0 0 3.5" << 2 << 3 << "1 0 2 0 0 3.5";
    QTest::newRow("crlf and blank lines") << "2 2\r\n\r\n1e1 +2\r\n0.25 0\r\n" << 2 << 2 << "10 2 0.25 0";
    QTest::newRow("negative zero is zero") << "1 2\n-0 4\n" << 1 << 2 << "0 4";
    QTest::newRow("whole numbers, then reals, then whole numbers again")
        << "3 3\n1 2 3\n4 0.5 6e0\n7 -0 99999999999999999999\n" << 3 << 3 << "1 2 3 4 0.5 6 7 0 1e20";
    QTest::newRow("all zeros is a valid table") << "2 2 0 0 0 0" << 2 << 2 << "0 0 0 0";
}

void TestContingencyTable::readsLayouts()
{
    QFETCH(QString, text);
    QFETCH(int, rows);
    QFETCH(int, cols);
    QFETCH(QString, cells);

    ContingencyTable t;
    QVERIFY2(t.parse(text.toStdString()), t.error().c_str());
    QCOMPARE(t.rows(), rows);
    QCOMPARE(t.cols(), cols);
    const QStringList expected = cells.split(' ', Qt::SkipEmptyParts);
    QCOMPARE(expected.size(), rows * cols);
    int nonZeros = 0;
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) {
            const double e = expected[i * cols + j].toDouble();
            QCOMPARE(t.counts().view().coeff(i, j), e);
            nonZeros += e != 0;
        }
    QCOMPARE(int(t.counts().nonZeros()), nonZeros);
}

void TestContingencyTable::refuses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");

    QTest::newRow("empty file") << "" << "ends before the row count";
    QTest::newRow("only rows") << "3\n" << "ends before the column count";
    QTest::newRow("real row count") << "2.5 3\n" << "row count of the header is not a whole number: '2.5'";
    QTest::newRow("word as column count") << "2 abc\n" << "column count of the header is not a whole number: 'abc'";
    QTest::newRow("negative rows") << "-2 3\n" << "row count of the header is negative (-2)";
    QTest::newRow("huge columns") << "1 99999999999\n" << "column count of the header is too large";
    QTest::newRow("no rows") << "0 5\n" << "no cells (0 x 5)";
    QTest::newRow("no columns, huge row count") << "2147483647 0\n" << "no cells (2147483647 x 0)";
    QTest::newRow("header beyond the file") << "1000 1000\n1 2 3\n" << "too short for the 1000 x 1000 values";
    QTest::newRow("short by one") << "2 3\n1 2 3\n4 5\n" << "ends after 5 of the 6 values";
    QTest::newRow("bad token") << "2 2\n1 2\n3 x4\n" << "not a number at row 2, column 2: 'x4'";
    QTest::newRow("comma decimal") << "1 2\n1,5 2\n" << "not a number at row 1, column 1: '1,5'";
    QTest::newRow("negative count") << "2 2\n1 2\n-3 4\n" << "negative count at row 2, column 1: -3";
    QTest::newRow("nan") << "2 2\n1 nan\n3 4\n" << "not a finite count at row 1, column 2";
    QTest::newRow("infinity") << "1 2\n1 inf\n" << "not a finite count at row 1, column 2";
    // A header that undercounts its table would analyse part of it.
    QTest::newRow("values after the table") << "1 2\n1 2\n3 4 junk\n"
                                            << "holds values beyond the 2 its header announces (1 x 2)";
}

void TestContingencyTable::refuses()
{
    QFETCH(QString, text);
    QFETCH(QString, reason);

    ContingencyTable t;
    QVERIFY(!t.parse(text.toStdString()));
    QVERIFY2(QString::fromStdString(t.error()).contains(reason), t.error().c_str());
    QCOMPARE(t.rows(), 0); // nothing half-read is kept
}

void TestContingencyTable::readsFileAndKeepsOnlyNonZeros()
{
    // Larger than one scanner block, so the text is read in several pieces.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = dir.filePath("big.txt").toStdString();
    const int rows = 300, cols = 2000;
    {
        std::ofstream f(path);
        f << rows << ' ' << cols << '\n';
        for (int i = 0; i < rows; ++i) {
            for (int j = 0; j < cols; ++j)
                f << ((i * 7 + j * 13) % 50 == 0 ? (i + j) % 9 + 1 : 0) << ' ';
            f << '\n';
        }
    }
    ContingencyTable t;
    QVERIFY2(t.read(path), t.error().c_str());
    QCOMPARE(t.rows(), rows);
    QCOMPARE(t.cols(), cols);
    long expectedNonZeros = 0;
    double sum = 0, expectedSum = 0;
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j)
            if ((i * 7 + j * 13) % 50 == 0) {
                ++expectedNonZeros;
                expectedSum += (i + j) % 9 + 1;
            }
    const SparseRows::Matrix counts = t.counts().view();
    for (int k = 0; k < counts.outerSize(); ++k)
        for (SparseRows::Matrix::InnerIterator it(counts, k); it; ++it)
            sum += it.value();
    QCOMPARE(long(counts.nonZeros()), expectedNonZeros);
    QCOMPARE(sum, expectedSum);
    QCOMPARE(counts.coeff(50, 0), double(50 % 9 + 1));
    QCOMPARE(counts.coeff(299, 1999), (299 * 7 + 1999 * 13) % 50 == 0 ? double((299 + 1999) % 9 + 1) : 0.0);
}

void TestContingencyTable::missingFile()
{
    QTemporaryDir dir;
    ContingencyTable t;
    QVERIFY(!t.read(dir.filePath("none.txt").toStdString()));
    QVERIFY2(QString::fromStdString(t.error()).contains("cannot open the table"), t.error().c_str());
    QVERIFY(!t.read(dir.path().toStdString())); // a folder is not a table
}

QTEST_GUILESS_MAIN(TestContingencyTable)
#include "tst_contingencytable.moc"
