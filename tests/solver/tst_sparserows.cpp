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
    const SparseRows::View v = s.view();
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
    const double *cells = a.values();
    SparseRows b = std::move(a);
    QCOMPARE(b.values(), cells); // the cells did not move
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

QTEST_GUILESS_MAIN(TestSparseRows)
#include "tst_sparserows.moc"
