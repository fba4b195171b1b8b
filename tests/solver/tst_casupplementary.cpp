// Supplementary rows through the real ca.exe: placed by the transition
// formula in Z's convention, checked against Z itself and against an
// analysis computed here by a plain singular value decomposition; rows that
// cannot be placed are refused, naming the row.
#include <Eigen/Dense>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/mpilauncher.h"

#include <cmath>

namespace {

using MpiLauncher::Run;

Run runSolver(const QStringList &args)
{
    return MpiLauncher::run(MpiLauncher::binDir() + "/ca.exe", args, 120000);
}

void writeFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write fixture");
    f.write(text);
}

QByteArray tableText(const Eigen::MatrixXd &m)
{
    QByteArray t = QByteArray::number(m.rows()) + ' ' + QByteArray::number(m.cols()) + '\n';
    for (Eigen::Index i = 0; i < m.rows(); ++i) {
        for (Eigen::Index j = 0; j < m.cols(); ++j)
            t += QByteArray::number(m(i, j), 'g', 17) + ' ';
        t += '\n';
    }
    return t;
}

// A result matrix file: "rows cols" then the values.
Eigen::MatrixXd readMatrix(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> t = f.readAll().simplified().split(' ');
    const int rows = t.value(0).toInt(), cols = t.value(1).toInt();
    Eigen::MatrixXd m(rows, cols);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j)
            m(i, j) = t.value(2 + i * cols + j).toDouble();
    return m;
}

// Counts drawn at random, about `fill` of the cells non-zero, no empty row
// or column.
Eigen::MatrixXd randomTable(int rows, int cols, double fill, quint32 seed)
{
    QRandomGenerator g(seed);
    Eigen::MatrixXd m = Eigen::MatrixXd::Zero(rows, cols);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j)
            if (g.generateDouble() < fill)
                m(i, j) = 1 + g.bounded(9);
    for (int i = 0; i < rows; ++i)
        m(i, i % cols) += 1;
    for (int j = 0; j < cols; ++j)
        m(j % rows, j) += 1;
    return m;
}

} // namespace

class TestCASupplementary : public QObject
{
    Q_OBJECT
private slots:
    void activeRowsLandOnTheirOwnZ_data();
    void activeRowsLandOnTheirOwnZ();
    void transitionFormulaMatchesIndependentAnalysis();
    void unplaceableRowsAreRefused_data();
    void unplaceableRowsAreRefused();
};

void TestCASupplementary::activeRowsLandOnTheirOwnZ_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cols");
    QTest::addColumn<double>("fill");
    QTest::addColumn<int>("k");
    // Every axis of a small table (dense decomposition), and a few axes of
    // one large enough for the iterative method.
    QTest::newRow("small, every axis") << 14 << 9 << 0.5 << 0;
    QTest::newRow("large, iterative") << 400 << 260 << 0.05 << 4;
    QTest::newRow("tall and narrow") << 300 << 6 << 0.6 << 0;
}

void TestCASupplementary::activeRowsLandOnTheirOwnZ()
{
    QFETCH(int, rows);
    QFETCH(int, cols);
    QFETCH(double, fill);
    QFETCH(int, k);
    QTemporaryDir dir;
    const QString table = dir.filePath("t.txt"), sup = dir.filePath("again.txt");
    const Eigen::MatrixXd counts = randomTable(rows, cols, fill, quint32(rows * 31 + cols));
    writeFile(table, tableText(counts));
    // Some active rows, in another order, one of them twice, scaled: a
    // profile does not depend on the row's total.
    const QList<int> picked{rows - 1, 0, 3, rows / 2, 3};
    Eigen::MatrixXd again(picked.size(), cols);
    for (int r = 0; r < picked.size(); ++r)
        again.row(r) = counts.row(picked[r]) * (r + 1) * 0.5;
    writeFile(sup, tableText(again));

    const Run run = runSolver({"-k", QString::number(k), "--supplementary", sup, table, table});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const Eigen::MatrixXd z = readMatrix(table + "_Z.txt"), zSup = readMatrix(table + "_ZSup.txt");
    QCOMPARE(zSup.rows(), Eigen::Index(picked.size()));
    QCOMPARE(zSup.cols(), z.cols());
    for (int r = 0; r < picked.size(); ++r) {
        const Eigen::RowVectorXd own = z.row(picked[r]);
        const double error = (zSup.row(r) - own).cwiseAbs().maxCoeff() / own.cwiseAbs().maxCoeff();
        QVERIFY2(error <= 1e-9, qPrintable(QStringLiteral("row %1: relative error %2").arg(r).arg(error)));
    }
}

// A 7 x 5 table analysed here by the singular value decomposition of its
// standardized residuals; the supplementary rows' principal coordinates are
// their profiles times the columns' standard coordinates. Axis signs are
// arbitrary: each reference axis is turned to agree with the solver's Z.
void TestCASupplementary::transitionFormulaMatchesIndependentAnalysis()
{
    QTemporaryDir dir;
    const QString table = dir.filePath("t.txt"), sup = dir.filePath("sup.txt");
    Eigen::MatrixXd n(7, 5);
    n << 12, 3, 0, 5, 1,
         2, 8, 4, 0, 3,
         0, 1, 9, 6, 2,
         7, 0, 2, 11, 4,
         1, 5, 3, 2, 10,
         4, 4, 4, 1, 0,
         9, 2, 0, 3, 6;
    Eigen::MatrixXd s(3, 5);
    s << 1, 0, 0, 0, 0,   // all of one column
         0, 2.5, 0, 0, 7, // real-valued counts
         3, 3, 3, 3, 3;   // equal counts in every column
    writeFile(table, tableText(n));
    writeFile(sup, tableText(s));
    const Run run = runSolver({"-k", "0", "-s", sup, table, table});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const Eigen::MatrixXd z = readMatrix(table + "_Z.txt"), zSup = readMatrix(table + "_ZSup.txt");
    const int axes = int(z.cols());
    QCOMPARE(axes, 4);

    const double total = n.sum();
    const Eigen::MatrixXd f = n / total;
    const Eigen::VectorXd r = f.rowwise().sum(), c = f.colwise().sum().transpose();
    const Eigen::MatrixXd residual = r.cwiseSqrt().cwiseInverse().asDiagonal()
                                     * (f - r * c.transpose()) * c.cwiseSqrt().cwiseInverse().asDiagonal();
    Eigen::JacobiSVD<Eigen::MatrixXd> svd(residual, Eigen::ComputeFullU | Eigen::ComputeFullV);
    const Eigen::MatrixXd colStandard = c.cwiseSqrt().cwiseInverse().asDiagonal() * svd.matrixV();
    const Eigen::MatrixXd rowPrincipal = r.cwiseSqrt().cwiseInverse().asDiagonal() * svd.matrixU().leftCols(5)
                                         * svd.singularValues().asDiagonal();
    for (int a = 0; a < axes; ++a) {
        const double sign = rowPrincipal.col(a).dot(z.col(a)) < 0 ? -1.0 : 1.0;
        for (int i = 0; i < s.rows(); ++i) {
            const Eigen::RowVectorXd profile = s.row(i) / s.row(i).sum();
            const double expected = sign * profile.dot(colStandard.col(a));
            QVERIFY2(std::abs(zSup(i, a) - expected) <= 1e-10 * (1 + std::abs(expected)),
                     qPrintable(QStringLiteral("row %1 axis %2: %3, expected %4")
                                    .arg(i).arg(a).arg(zSup(i, a), 0, 'g', 17).arg(expected, 0, 'g', 17)));
        }
    }
}

void TestCASupplementary::unplaceableRowsAreRefused_data()
{
    QTest::addColumn<QByteArray>("rows");
    QTest::addColumn<QString>("problem");
    QTest::newRow("a row of zeros") << QByteArray("3 4\n1 0 0 2\n0 0 0 0\n5 5 5 5\n")
                                    << "supplementary row 2 has no non-zero cell";
    QTest::newRow("other columns") << QByteArray("1 5\n1 2 3 4 5\n") << "have 5 columns where the table has 4";
    QTest::newRow("negative count") << QByteArray("1 4\n1 -2 3 4\n") << "negative count at row 1, column 2";
    QTest::newRow("values beyond the header") << QByteArray("1 4\n1 2 3 4\n5 6 7 8\n") << "line 3 holds values";
}

void TestCASupplementary::unplaceableRowsAreRefused()
{
    QFETCH(QByteArray, rows);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    const QString table = dir.filePath("t.txt"), sup = dir.filePath("sup rows.txt");
    writeFile(table, "4 4\n1 2 0 4\n0 3 3 1\n5 0 1 0\n2 2 2 9\n");
    writeFile(sup, rows);
    const Run run = runSolver({"-k", "2", "--supplementary", sup, table, table});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith("ca.exe: " + sup + ": "), qPrintable(run.err));
    QVERIFY2(run.err.contains(problem), qPrintable(run.err));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList{"sup rows.txt", "t.txt"}));
}

QTEST_GUILESS_MAIN(TestCASupplementary)
#include "tst_casupplementary.moc"
