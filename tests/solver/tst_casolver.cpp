// Accuracy of the CA solve against an independent dense computation: the SVD
// of the full standardized-residual matrix, on small tables of several
// shapes, with empty rows and columns, low rank, and both methods.
#include "solver/casolver.h"

#include <Eigen/Dense>
#include <QtTest>

#include <cmath>
#include <random>

namespace {

using Mat = Eigen::MatrixXd;
using Vec = Eigen::VectorXd;

// A count table: rows draw their cells from one of a few column profiles
// (structure), with `density` of the cells non-zero. rank > 0 makes every
// row a mixture of `rank` fixed profiles, so the table has that rank.
Mat makeTable(int rows, int cols, double density, unsigned seed, int rank)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    Mat n = Mat::Zero(rows, cols);
    if (rank > 0) {
        Mat a(rows, rank), b(rank, cols);
        for (int i = 0; i < rows; ++i)
            for (int t = 0; t < rank; ++t)
                a(i, t) = std::floor(unit(rng) * 4);
        for (int t = 0; t < rank; ++t)
            for (int j = 0; j < cols; ++j)
                b(t, j) = unit(rng) < density ? 1 + std::floor(unit(rng) * 5) : 0;
        return a * b;
    }
    const int groups = 4;
    for (int i = 0; i < rows; ++i) {
        const int g = i % groups;
        for (int j = 0; j < cols; ++j) {
            const bool own = j % groups == g;
            if (unit(rng) < density * (own ? 1.6 : 0.8))
                n(i, j) = 1 + std::floor(unit(rng) * (own ? 9 : 3));
        }
    }
    return n;
}

struct Reference
{
    Vec P, Q, lambda;
    Mat Z, W;       // full size, all non-trivial axes
    double chi2OverN = 0;
};

// Straight from the definition, on the dense matrix.
Reference reference(const Mat &n)
{
    Reference ref;
    const double total = n.sum();
    ref.P = n.rowwise().sum() / total;
    ref.Q = n.colwise().sum().transpose() / total;
    std::vector<int> liveRows, liveCols;
    for (int i = 0; i < n.rows(); ++i)
        if (ref.P[i] > 0)
            liveRows.push_back(i);
    for (int j = 0; j < n.cols(); ++j)
        if (ref.Q[j] > 0)
            liveCols.push_back(j);
    Mat s(liveRows.size(), liveCols.size());
    for (int a = 0; a < s.rows(); ++a)
        for (int b = 0; b < s.cols(); ++b) {
            const double ri = ref.P[liveRows[a]], cj = ref.Q[liveCols[b]];
            const double expected = ri * cj * total;
            const double observed = n(liveRows[a], liveCols[b]);
            s(a, b) = (observed / total - ri * cj) / std::sqrt(ri * cj);
            ref.chi2OverN += (observed - expected) * (observed - expected) / expected / total;
        }
    Eigen::BDCSVD<Mat> svd(s, Eigen::ComputeThinU | Eigen::ComputeThinV);
    const Vec sv = svd.singularValues();
    int axes = 0;
    while (axes < sv.size() && sv[axes] * sv[axes] > 1e-10 * ref.chi2OverN)
        ++axes;
    ref.lambda = sv.head(axes).array().square();
    ref.Z = Mat::Zero(n.rows(), axes);
    ref.W = Mat::Zero(n.cols(), axes);
    for (int a = 0; a < int(liveRows.size()); ++a)
        ref.Z.row(liveRows[a]) = svd.matrixU().row(a).head(axes).cwiseProduct(sv.head(axes).transpose())
                                 / std::sqrt(ref.P[liveRows[a]]);
    for (int b = 0; b < int(liveCols.size()); ++b)
        ref.W.row(liveCols[b]) = svd.matrixV().row(b).head(axes).cwiseProduct(sv.head(axes).transpose())
                                 / std::sqrt(ref.Q[liveCols[b]]);
    return ref;
}

SparseRows sparse(const Mat &n)
{
    return SparseRows::copyOf(n.sparseView());
}

Mat asMatrix(const std::vector<double> &v, int rows, int cols)
{
    return Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>(v.data(), rows,
                                                                                                   cols);
}

} // namespace

class TestCASolver : public QObject
{
    Q_OBJECT
private slots:
    void matchesDenseReference_data();
    void matchesDenseReference();
    void refusesTablesWithoutAxes_data();
    void refusesTablesWithoutAxes();
    void refusesDenseWorkBeyondMemory();
    void sameTableSameResult();
    void extremeMagnitudesMatchTheReference_data();
    void extremeMagnitudesMatchTheReference();
    void powerOfTwoScaleChangesNoBit();
    void cellsBeyondTheRangeOfDoublesAreNothing();
    void inertiasStayWithinOneWhateverTheRange();
};

void TestCASolver::matchesDenseReference_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cols");
    QTest::addColumn<double>("density");
    QTest::addColumn<int>("rank");
    QTest::addColumn<int>("emptyRow");
    QTest::addColumn<int>("emptyCol");
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("method");     // asked for
    QTest::addColumn<int>("usedMethod"); // expected to run

    const int A = CASolver::Auto, D = CASolver::Dense, T = CASolver::Truncated;
    QTest::newRow("dense 6x4, all axes") << 6 << 4 << 1.0 << 0 << -1 << -1 << 0 << A << D;
    QTest::newRow("tall 40x7") << 40 << 7 << 0.5 << 0 << -1 << -1 << 0 << A << D;
    QTest::newRow("wide 9x30") << 9 << 30 << 0.4 << 0 << -1 << -1 << 0 << A << D;
    QTest::newRow("empty row") << 12 << 10 << 0.5 << 0 << 3 << -1 << 0 << A << D;
    QTest::newRow("empty column") << 10 << 12 << 0.5 << 0 << -1 << 5 << 0 << A << D;
    QTest::newRow("empty first row, last column, k 3") << 15 << 20 << 0.4 << 0 << 0 << 19 << 3 << A << D;
    QTest::newRow("k above the axis count") << 8 << 5 << 0.7 << 0 << -1 << -1 << 10 << A << D;
    QTest::newRow("low rank, all axes") << 30 << 20 << 0.5 << 4 << -1 << -1 << 0 << A << D;
    QTest::newRow("iterative 300x400 k 6") << 300 << 400 << 0.05 << 0 << -1 << -1 << 6 << T << T;
    QTest::newRow("auto picks iterative, with empties") << 250 << 600 << 0.04 << 0 << 7 << 11 << 5 << A << T;
    QTest::newRow("iterative, more rows than columns") << 500 << 220 << 0.05 << 0 << -1 << -1 << 4 << T << T;
    QTest::newRow("iterative, rank below k") << 300 << 260 << 0.3 << 5 << -1 << -1 << 10 << T << T;
    QTest::newRow("dense, k 3 of a large table") << 300 << 400 << 0.05 << 0 << -1 << -1 << 3 << D << D;
}

void TestCASolver::matchesDenseReference()
{
    QFETCH(int, rows);
    QFETCH(int, cols);
    QFETCH(double, density);
    QFETCH(int, rank);
    QFETCH(int, emptyRow);
    QFETCH(int, emptyCol);
    QFETCH(int, k);
    QFETCH(int, method);
    QFETCH(int, usedMethod);

    Mat n = makeTable(rows, cols, density, unsigned(rows * 31 + cols), rank);
    if (emptyRow >= 0)
        n.row(emptyRow).setZero();
    if (emptyCol >= 0)
        n.col(emptyCol).setZero();
    const Reference ref = reference(n);
    const int expectedAxes = k >= 1 ? std::min<int>(k, ref.lambda.size()) : int(ref.lambda.size());
    QVERIFY(expectedAxes >= 2);

    CASolver solver;
    solver.setMethod(CASolver::Method(method));
    CASolution s;
    QVERIFY2(solver.solve(sparse(n), k, s), solver.error().c_str());
    QCOMPARE(int(solver.usedMethod()), usedMethod);
    QCOMPARE(s.rows, rows);
    QCOMPARE(s.cols, cols);
    QCOMPARE(s.axes, expectedAxes);
    QCOMPARE(int(s.lambda.size()), expectedAxes);
    QCOMPARE(int(s.Z.size()), rows * expectedAxes);
    QCOMPARE(int(s.W.size()), cols * expectedAxes);

    for (int i = 0; i < rows; ++i)
        QVERIFY(std::abs(s.P[i] - ref.P[i]) <= 1e-12 * ref.P[i]);
    for (int j = 0; j < cols; ++j)
        QVERIFY(std::abs(s.Q[j] - ref.Q[j]) <= 1e-12 * ref.Q[j]);
    QVERIFY(std::abs(s.totalInertia - ref.chi2OverN) <= 1e-9 * ref.chi2OverN);

    const Mat z = asMatrix(s.Z, rows, s.axes), w = asMatrix(s.W, cols, s.axes);
    for (int a = 0; a < s.axes; ++a) {
        QVERIFY2(std::abs(s.lambda[a] - ref.lambda[a]) <= 1e-9 * ref.lambda[a],
                 qPrintable(QString("axis %1: %2 vs %3").arg(a).arg(s.lambda[a], 0, 'g', 17).arg(ref.lambda[a], 0, 'g', 17)));
        if (a > 0)
            QVERIFY(s.lambda[a] <= s.lambda[a - 1]);

        // Coordinates, up to the sign of the axis.
        const double sign = z.col(a).dot(ref.Z.col(a)) < 0 ? -1 : 1;
        const double zScale = ref.Z.col(a).cwiseAbs().maxCoeff(), wScale = ref.W.col(a).cwiseAbs().maxCoeff();
        QVERIFY2((sign * z.col(a) - ref.Z.col(a)).cwiseAbs().maxCoeff() <= 1e-7 * zScale, qPrintable(QString::number(a)));
        QVERIFY2((sign * w.col(a) - ref.W.col(a)).cwiseAbs().maxCoeff() <= 1e-7 * wScale, qPrintable(QString::number(a)));

        // The sign rule: the image farthest out lies on the positive side.
        Eigen::Index far;
        z.col(a).cwiseAbs().maxCoeff(&far);
        QVERIFY(z(far, a) > 0);

        // Contributions mass x coord^2 / lambda sum to 1 over rows and over columns.
        double rowContrib = 0, colContrib = 0;
        for (int i = 0; i < rows; ++i)
            rowContrib += s.P[i] * z(i, a) * z(i, a) / s.lambda[a];
        for (int j = 0; j < cols; ++j)
            colContrib += s.Q[j] * w(j, a) * w(j, a) / s.lambda[a];
        QVERIFY(std::abs(rowContrib - 1) <= 1e-9);
        QVERIFY(std::abs(colContrib - 1) <= 1e-9);

        // Transition formula: a row's principal coordinate is its profile's
        // average of the column standard coordinates W / sqrt(lambda).
        const double root = std::sqrt(s.lambda[a]);
        for (int i = 0; i < rows; ++i) {
            const double rowTotal = n.row(i).sum();
            const double viaColumns = rowTotal > 0 ? n.row(i).dot(w.col(a)) / rowTotal / root : 0;
            QVERIFY2(std::abs(z(i, a) - viaColumns) <= 1e-8 * zScale, qPrintable(QString("row %1 axis %2").arg(i).arg(a)));
        }
    }
    // Empty rows and columns: mass 0, coordinates 0.
    if (emptyRow >= 0) {
        QCOMPARE(s.P[emptyRow], 0.0);
        QCOMPARE(z.row(emptyRow).cwiseAbs().maxCoeff(), 0.0);
    }
    if (emptyCol >= 0) {
        QCOMPARE(s.Q[emptyCol], 0.0);
        QCOMPARE(w.row(emptyCol).cwiseAbs().maxCoeff(), 0.0);
    }
    for (double v : s.Z)
        QVERIFY(std::isfinite(v));
    for (double v : s.W)
        QVERIFY(std::isfinite(v));
    // With every axis, the inertias add up to the total inertia chi2 / n.
    if (k == 0) {
        const double sum = Vec::Map(s.lambda.data(), s.axes).sum();
        QVERIFY(std::abs(sum - ref.chi2OverN) <= 1e-9 * ref.chi2OverN);
    }
}

void TestCASolver::refusesTablesWithoutAxes_data()
{
    QTest::addColumn<QString>("table"); // rows separated by ';'
    QTest::addColumn<QString>("reason");

    QTest::newRow("all zeros") << "0 0 0;0 0 0" << "all zeros";
    QTest::newRow("single row") << "0 0 0;1 2 3;0 0 0" << "single non-empty row";
    QTest::newRow("single column") << "0 4;0 1;0 0" << "single non-empty column";
    QTest::newRow("proportional rows") << "1 2 3;2 4 6;0 0 0;3 6 9" << "same profile";
}

void TestCASolver::refusesTablesWithoutAxes()
{
    QFETCH(QString, table);
    QFETCH(QString, reason);
    const QStringList lines = table.split(';');
    Mat n(lines.size(), lines[0].split(' ').size());
    for (int i = 0; i < lines.size(); ++i)
        for (int j = 0; j < n.cols(); ++j)
            n(i, j) = lines[i].split(' ')[j].toDouble();
    for (int k : {0, 2}) {
        CASolver solver;
        CASolution s;
        QVERIFY(!solver.solve(sparse(n), k, s));
        QVERIFY2(QString::fromStdString(solver.error()).contains(reason), solver.error().c_str());
    }
    CASolver solver;
    CASolution s;
    QVERIFY(!solver.solve(SparseRows(3), 0, s));
    QVERIFY(QString::fromStdString(solver.error()).contains("no cells"));
}

void TestCASolver::refusesDenseWorkBeyondMemory()
{
    const Mat n = makeTable(300, 400, 0.05, 7, 0);
    CASolver solver;
    solver.setMemoryLimit(100 * 1024); // far below a 300 x 300 dense matrix
    CASolution s;
    QVERIFY(!solver.solve(sparse(n), 0, s));
    QVERIFY2(QString::fromStdString(solver.error()).contains("ask for fewer axes"), solver.error().c_str());
    // A few axes by iteration never form a dense matrix of that size.
    QVERIFY2(solver.solve(sparse(n), 5, s), solver.error().c_str());
    QCOMPARE(solver.usedMethod(), CASolver::Truncated);
    QCOMPARE(s.axes, 5);
}

void TestCASolver::sameTableSameResult()
{
    const Mat n = makeTable(260, 300, 0.06, 3, 0);
    for (int k : {0, 6}) {
        CASolver first, second;
        CASolution a, b;
        QVERIFY(first.solve(sparse(n), k, a));
        QVERIFY(second.solve(sparse(n), k, b));
        QVERIFY(a.Z == b.Z);
        QVERIFY(a.W == b.W);
        QVERIFY(a.lambda == b.lambda);
    }
}

// CA does not depend on the unit of the counts. Counts near the largest or
// the smallest double must give the analysis of the same table in ordinary
// units (the reference is computed on those), not "no axis".
void TestCASolver::extremeMagnitudesMatchTheReference_data()
{
    QTest::addColumn<bool>("diagonal");
    QTest::addColumn<double>("unit");
    QTest::newRow("diagonal 1e160") << true << 1e160;
    QTest::newRow("diagonal 1e-300") << true << 1e-300;
    QTest::newRow("diagonal 1e-310 (subnormal)") << true << 1e-310;
    QTest::newRow("table in 1e150") << false << 1e150;
    QTest::newRow("table in 1e160") << false << 1e160;
    QTest::newRow("table in 1e300") << false << 1e300;
    QTest::newRow("table in 1e-300") << false << 1e-300;
}

void TestCASolver::extremeMagnitudesMatchTheReference()
{
    QFETCH(bool, diagonal);
    QFETCH(double, unit);
    const Mat n = diagonal ? Mat(Mat::Identity(3, 3)) : makeTable(14, 11, 0.6, 5, 0);
    const Reference ref = reference(n);
    CASolver solver;
    CASolution s;
    QVERIFY2(solver.solve(sparse(n * unit), 0, s), solver.error().c_str());
    QCOMPARE(s.axes, int(ref.lambda.size()));
    QVERIFY(std::abs(s.totalInertia - ref.chi2OverN) <= 1e-9 * ref.chi2OverN);
    for (int i = 0; i < n.rows(); ++i)
        QVERIFY(std::abs(s.P[i] - ref.P[i]) <= 1e-12 * ref.P[i]);
    const Mat z = asMatrix(s.Z, int(n.rows()), s.axes), w = asMatrix(s.W, int(n.cols()), s.axes);
    for (int a = 0; a < s.axes; ++a) {
        QVERIFY2(std::abs(s.lambda[a] - ref.lambda[a]) <= 1e-9 * ref.lambda[a],
                 qPrintable(QString("axis %1: %2 vs %3").arg(a).arg(s.lambda[a]).arg(ref.lambda[a])));
        if (diagonal)
            continue; // equal inertias: the axes themselves are not unique
        const double sign = z.col(a).dot(ref.Z.col(a)) < 0 ? -1 : 1;
        QVERIFY((sign * z.col(a) - ref.Z.col(a)).cwiseAbs().maxCoeff() <= 1e-7 * ref.Z.col(a).cwiseAbs().maxCoeff());
        QVERIFY((sign * w.col(a) - ref.W.col(a)).cwiseAbs().maxCoeff() <= 1e-7 * ref.W.col(a).cwiseAbs().maxCoeff());
    }
}

// The counts are brought near 1 by a power of two, which is exact: an
// ordinary table and the same table times any power of two give the same
// result to the last bit, masses, inertias and coordinates alike.
void TestCASolver::powerOfTwoScaleChangesNoBit()
{
    const Mat n = makeTable(40, 30, 0.3, 11, 0);
    CASolver solver;
    CASolution plain;
    QVERIFY(solver.solve(sparse(n), 0, plain));
    for (int e : {-900, -40, 1, 37, 700}) {
        CASolution scaled;
        QVERIFY(solver.solve(sparse(n * std::ldexp(1.0, e)), 0, scaled));
        QVERIFY(scaled.P == plain.P);
        QVERIFY(scaled.Q == plain.Q);
        QVERIFY(scaled.lambda == plain.lambda);
        QVERIFY(scaled.Z == plain.Z);
        QVERIFY(scaled.W == plain.W);
        QCOMPARE(scaled.grandTotal, std::ldexp(plain.grandTotal, e));
    }
}

// A cell more than 2^1074 times smaller than the largest cannot weigh in any
// margin: the table gives the result it gives without it (found by fuzzing:
// the cell once kept a column that had no mass any more).
void TestCASolver::cellsBeyondTheRangeOfDoublesAreNothing()
{
    Mat with(3, 3), without(3, 3);
    with << 1e160, 0, 0, 0, 1e160, 0, 3, 3, 1e-310;
    without = with;
    without(2, 2) = 0;
    CASolver solver;
    CASolution a, b;
    QVERIFY2(solver.solve(sparse(with), 0, a), solver.error().c_str());
    QVERIFY2(solver.solve(sparse(without), 0, b), solver.error().c_str());
    QCOMPARE(a.axes, b.axes);
    QVERIFY(a.lambda == b.lambda);
    QVERIFY(a.Z == b.Z);
    QVERIFY(a.W == b.W);
    QCOMPARE(a.Q[2], 0.0);
    for (double v : a.W)
        QVERIFY(std::isfinite(v));
}

// Counts spanning more than the normal range of doubles: once scaled, the
// smallest are subnormal and carry fewer bits. The table is two blocks (row
// 0 on columns 0 and 2, rows 1 and 2 on column 1), so its one axis has
// inertia 1 exactly; it must come out within (0, 1], not above (found by
// fuzzing: 1 + 1.2e-8).
void TestCASolver::inertiasStayWithinOneWhateverTheRange()
{
    Mat n(3, 3);
    n << 1e-310, 0, 1e-310, 0, 1e-310, 0, 0, 400001, 0;
    for (CASolver::Method method : {CASolver::Dense, CASolver::Truncated, CASolver::Auto}) {
        CASolver solver;
        solver.setMethod(method);
        CASolution s;
        QVERIFY2(solver.solve(sparse(n), 0, s), solver.error().c_str());
        QCOMPARE(s.axes, 1);
        QVERIFY2(s.lambda[0] <= 1.0 && s.lambda[0] > 1.0 - 1e-6, qPrintable(QString::number(s.lambda[0], 'g', 17)));
        for (double v : s.Z)
            QVERIFY(std::isfinite(v));
        for (double v : s.W)
            QVERIFY(std::isfinite(v));
    }
}

QTEST_GUILESS_MAIN(TestCASolver)
#include "tst_casolver.moc"
