// The row store of the solver: built cell by cell past many growths, it
// keeps every cell in place, moves without copying, and gives back its
// spare capacity.
#include "solver/sparserows.h"

#include <QtTest>

class TestSparseRows : public QObject
{
    Q_OBJECT
private slots:
    void growsKeepingCells();
    void movesAndEmptiesSource();
    void copiesAnEigenMatrix();
    void precisionFollowsTheValues_data();
    void precisionFollowsTheValues();
};

void TestSparseRows::growsKeepingCells()
{
    const int rows = 2000, cols = 700;
    SparseRows s(cols);
    s.reserveRows(rows);
    std::int64_t cells = 0;
    for (int i = 0; i < rows; ++i) {
        s.startRow();
        for (int j = i % 7; j < cols; j += 3 + i % 5) {
            QVERIFY(s.append(j, i * 1000.0 + j));
            ++cells;
        }
    }
    // A row added with no cell is an empty row.
    s.startRow();
    QCOMPARE(s.rows(), rows + 1);
    QCOMPARE(s.nonZeros(), cells);
    const std::size_t before = s.bytes();
    s.squeeze();
    QVERIFY(s.bytes() <= before);
    QVERIFY(s.bytes() <= std::size_t(cells) * 12 + std::size_t(rows + 2) * sizeof(int));
    const SparseRows::Matrix v = s.view();
    for (int i = 0; i < rows; i += 97)
        for (int j = i % 7; j < cols; j += 3 + i % 5)
            QCOMPARE(v.coeff(i, j), i * 1000.0 + j);
    QCOMPARE(v.coeff(5, 1), 0.0);
    QCOMPARE(s.outer()[rows], s.outer()[rows + 1]);
}

void TestSparseRows::movesAndEmptiesSource()
{
    SparseRows a(4);
    a.startRow();
    a.append(1, 2.5);
    a.append(3, 4.0);
    const int *cells = a.inner();
    SparseRows b = std::move(a);
    QCOMPARE(b.inner(), cells); // the cells did not move
    QCOMPARE(b.nonZeros(), std::int64_t(2));
    QCOMPARE(a.nonZeros(), std::int64_t(0));
    QCOMPARE(a.rows(), 0);
    a = std::move(b);
    QCOMPARE(a.view().coeff(0, 3), 4.0);
}

void TestSparseRows::copiesAnEigenMatrix()
{
    Eigen::MatrixXd d(3, 4);
    d << 1, 0, 0, 2, 0, 0, 0, 0, 0, 3, 4, 0;
    const SparseRows s = SparseRows::copyOf(d.sparseView());
    QCOMPARE(s.rows(), 3);
    QCOMPARE(s.cols(), 4);
    QCOMPARE(s.nonZeros(), std::int64_t(4));
    QCOMPARE(Eigen::MatrixXd(s.view()), d);
}

void TestSparseRows::precisionFollowsTheValues_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<bool>("single");
    QTest::newRow("whole counts") << QList<double>{1, 7, 16777216, 3} << true;
    QTest::newRow("halves and powers of two") << QList<double>{0.5, 1.25, 1024.0, 0.125} << true;
    QTest::newRow("a count beyond 2^24") << QList<double>{1, 2, 16777217, 4} << false;
    QTest::newRow("a decimal fraction") << QList<double>{3, 0.1, 2, 5} << false;
    QTest::newRow("below the smallest float") << QList<double>{1, 1e-40, 2, 3} << false;
    QTest::newRow("beyond the largest float") << QList<double>{1, 1e39, 2, 3} << false;
}

// Counts that are exactly floats cost 8 bytes a cell; the first value that
// is not moves every cell to double precision, and no value changes.
void TestSparseRows::precisionFollowsTheValues()
{
    QFETCH(QList<double>, values);
    QFETCH(bool, single);
    SparseRows s(3);
    for (int i = 0; i < 3000; ++i) {
        s.startRow();
        for (int j = 0; j < 3; ++j)
            QVERIFY(s.append(j, values[(i + j) % values.size()]));
    }
    s.squeeze();
    QCOMPARE(s.single(), single);
    const std::size_t cellBytes = single ? 8 : 12;
    QVERIFY(s.bytes() <= std::size_t(s.nonZeros()) * cellBytes + std::size_t(s.rows() + 1) * sizeof(int));
    const SparseRows::Matrix m = s.view();
    for (int i = 0; i < 3000; i += 7)
        for (int j = 0; j < 3; ++j)
            QCOMPARE(m.coeff(i, j), values[(i + j) % values.size()]);
    QVERIFY(s.widen());
    QVERIFY(!s.single());
    for (int p = 0; p < 9000; p += 11)
        QCOMPARE(s.values()[p], values[(p / 3 + p % 3) % values.size()]);
}

QTEST_GUILESS_MAIN(TestSparseRows)
#include "tst_sparserows.moc"
