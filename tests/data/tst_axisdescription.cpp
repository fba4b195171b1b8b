#include "data/statistics/axisdescription.h"
#include "data/model/cadata.h"
#include "data/formats/counttable.h"

#include <Eigen/Dense>

#include <QtTest>

#include <cmath>

// Contributions and qualities of an axis description against a
// correspondence analysis made here, independently, by a singular value
// decomposition of the standardised residuals of small tables.
class TestAxisDescription : public QObject
{
    Q_OBJECT

    struct Analysis {
        Eigen::MatrixXd table;
        Eigen::VectorXd r, c;     // masses
        Eigen::MatrixXd U, V;     // singular vectors of the residuals
        Eigen::VectorXd sv;       // singular values
        Eigen::MatrixXd F, G;     // principal coordinates, K axes
        int K = 0;
    };

    static Analysis analyse(const Eigen::MatrixXd &N, int K)
    {
        Analysis a;
        a.table = N;
        const Eigen::MatrixXd P = N / N.sum();
        a.r = P.rowwise().sum();
        a.c = P.colwise().sum().transpose();
        Eigen::MatrixXd S(P.rows(), P.cols());
        for (int i = 0; i < P.rows(); ++i)
            for (int j = 0; j < P.cols(); ++j)
                S(i, j) = (P(i, j) - a.r(i) * a.c(j)) / std::sqrt(a.r(i) * a.c(j));
        Eigen::JacobiSVD<Eigen::MatrixXd> svd(S, Eigen::ComputeThinU | Eigen::ComputeThinV);
        a.U = svd.matrixU();
        a.V = svd.matrixV();
        a.sv = svd.singularValues();
        a.K = K;
        a.F.resize(P.rows(), K);
        a.G.resize(P.cols(), K);
        for (int k = 0; k < K; ++k) {
            for (int i = 0; i < P.rows(); ++i)
                a.F(i, k) = a.U(i, k) * a.sv(k) / std::sqrt(a.r(i));
            for (int j = 0; j < P.cols(); ++j)
                a.G(j, k) = a.V(j, k) * a.sv(k) / std::sqrt(a.c(j));
        }
        return a;
    }

    // A result set in the model as the loader would leave it.
    static void fill(CAData &d, const Analysis &a)
    {
        d.nbImages = int(a.F.rows());
        d.nbWords = int(a.G.rows());
        d.zCols = d.wCols = d.nbAxis = d.nbLambda = a.K;
        d.Z.reset(new double[std::size_t(d.nbImages * a.K)]);
        d.W.reset(new double[std::size_t(d.nbWords * a.K)]);
        d.P.reset(new double[std::size_t(d.nbImages)]);
        d.Q.reset(new double[std::size_t(d.nbWords)]);
        d.lambda.reset(new double[std::size_t(a.K)]);
        for (int i = 0; i < d.nbImages; ++i) {
            d.P[std::size_t(i)] = a.r(i);
            for (int k = 0; k < a.K; ++k)
                d.Z[std::size_t(i * a.K + k)] = a.F(i, k);
        }
        for (int j = 0; j < d.nbWords; ++j) {
            d.Q[std::size_t(j)] = a.c(j);
            for (int k = 0; k < a.K; ++k)
                d.W[std::size_t(j * a.K + k)] = a.G(j, k);
        }
        for (int k = 0; k < a.K; ++k)
            d.lambda[std::size_t(k)] = a.sv(k) * a.sv(k);
    }

    static std::string text(const Eigen::MatrixXd &N)
    {
        std::string s = std::to_string(N.rows()) + " " + std::to_string(N.cols()) + "\n";
        for (int i = 0; i < N.rows(); ++i) {
            for (int j = 0; j < N.cols(); ++j)
                s += std::to_string(int(N(i, j))) + " ";
            s += "\n";
        }
        return s;
    }

    // Squared chi-square distance of row i's profile to the mean profile,
    // summed over every column.
    static double rowDistance2(const Analysis &a, int i)
    {
        const Eigen::MatrixXd P = a.table / a.table.sum();
        double d = 0;
        for (int j = 0; j < P.cols(); ++j) {
            const double e = P(i, j) / a.r(i) - a.c(j);
            d += e * e / a.c(j);
        }
        return d;
    }

    static Eigen::MatrixXd table(int which)
    {
        Eigen::MatrixXd N;
        if (which == 0) {
            N.resize(5, 4);
            N << 10, 2, 0, 3, 1, 8, 4, 0, 0, 3, 9, 2, 5, 0, 1, 7, 2, 2, 2, 2;
        } else {
            N.resize(6, 5);
            N << 4, 0, 1, 0, 9, 0, 6, 2, 1, 0, 3, 3, 0, 8, 1, 1, 0, 5, 2, 2, 12, 1, 0, 0, 3, 0, 2, 7, 1, 0;
        }
        return N;
    }

private slots:
    void contributions_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("axes");
        QTest::newRow("5x4, every axis") << 0 << 3;
        QTest::newRow("5x4, two axes") << 0 << 2;
        QTest::newRow("6x5, every axis") << 1 << 4;
        QTest::newRow("6x5, one axis") << 1 << 1;
    }

    // The contribution of a point to an axis is its squared singular
    // vector entry; they sum to 1 per family on every axis.
    void contributions()
    {
        QFETCH(int, which);
        QFETCH(int, axes);
        const Analysis a = analyse(table(which), axes);
        CAData d(true);
        fill(d, a);
        const AxisDescription desc(d);
        for (int k = 0; k < axes; ++k) {
            double sumImages = 0, sumWords = 0;
            for (int i = 0; i < d.nbImages; ++i) {
                const double ctr = desc.contribution(AxisDescription::Images, i, k);
                QVERIFY2(std::fabs(ctr - a.U(i, k) * a.U(i, k)) < 1e-12, qPrintable(QString("image %1 axis %2").arg(i).arg(k)));
                sumImages += ctr;
            }
            for (int j = 0; j < d.nbWords; ++j) {
                const double ctr = desc.contribution(AxisDescription::Words, j, k);
                QVERIFY(std::fabs(ctr - a.V(j, k) * a.V(j, k)) < 1e-12);
                sumWords += ctr;
            }
            QCOMPARE_LT(std::fabs(sumImages - 1), 1e-12);
            QCOMPARE_LT(std::fabs(sumWords - 1), 1e-12);
        }
    }

    void cos2_data() { contributions_data(); }

    // With the table, cos2 is of the full chi-square distance: it sums to 1
    // over all axes, and to less over fewer. Without it, cos2 is within the
    // computed axes and always sums to 1.
    void cos2()
    {
        QFETCH(int, which);
        QFETCH(int, axes);
        const Eigen::MatrixXd N = table(which);
        const Analysis a = analyse(N, axes);
        const int all = int(std::min(N.rows(), N.cols())) - 1;
        CAData d(true);
        fill(d, a);
        CountTable t;
        QVERIFY2(t.parse(text(N)), t.error().c_str());
        const AxisDescription withTable(d, &t);
        const AxisDescription without(d);
        QVERIFY(withTable.hasTableDistances());
        QVERIFY(!without.hasTableDistances());
        QVERIFY(withTable.cos2Basis() != without.cos2Basis());
        for (int i = 0; i < d.nbImages; ++i) {
            const double d2 = rowDistance2(a, i);
            QVERIFY(std::fabs(t.rowDistance2(i) - d2) < 1e-12);
            double sumTable = 0, sumAxes = 0;
            for (int k = 0; k < axes; ++k) {
                const double expected = a.F(i, k) * a.F(i, k) / d2;
                QVERIFY(std::fabs(withTable.cos2(AxisDescription::Images, i, k) - expected) < 1e-10);
                sumTable += withTable.cos2(AxisDescription::Images, i, k);
                sumAxes += without.cos2(AxisDescription::Images, i, k);
            }
            QVERIFY(std::fabs(sumAxes - 1) < 1e-12);
            if (axes == all)
                QVERIFY2(std::fabs(sumTable - 1) < 1e-10, qPrintable(QString::number(sumTable)));
            else
                QVERIFY(sumTable < 1 + 1e-12);
        }
        for (int j = 0; j < d.nbWords; ++j) {
            double sumTable = 0;
            for (int k = 0; k < axes; ++k)
                sumTable += withTable.cos2(AxisDescription::Words, j, k);
            if (axes == all)
                QVERIFY(std::fabs(sumTable - 1) < 1e-10);
        }
        // The table's total inertia is the sum of all the eigenvalues.
        QVERIFY(std::fabs(t.inertia() - a.sv.head(all).squaredNorm()) < 1e-12);
    }

    void poles_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<int>("axis");
        QTest::addColumn<int>("pole");
        QTest::addColumn<int>("n");
        QTest::newRow("images, axis 1, -") << 0 << 0 << -1 << 2;
        QTest::newRow("images, axis 2, +") << 0 << 1 << 1 << 10;
        QTest::newRow("words, axis 1, +") << 1 << 0 << 1 << 1;
        QTest::newRow("words, axis 3, -") << 1 << 2 << -1 << 3;
    }

    // A pole lists the points on its side only, the largest contributions
    // first, and no more than asked.
    void poles()
    {
        QFETCH(int, family);
        QFETCH(int, axis);
        QFETCH(int, pole);
        QFETCH(int, n);
        const Analysis a = analyse(table(1), 4);
        CAData d(true);
        fill(d, a);
        const AxisDescription desc(d);
        const Eigen::MatrixXd &coords = family == 0 ? a.F : a.G;
        const Eigen::MatrixXd &vectors = family == 0 ? a.U : a.V;
        std::vector<std::pair<double, int>> expected;
        for (int i = 0; i < coords.rows(); ++i)
            if (pole * coords(i, axis) > 0)
                expected.push_back({-vectors(i, axis) * vectors(i, axis), i});
        std::sort(expected.begin(), expected.end());
        const auto got = desc.top(family, axis, pole, n);
        QCOMPARE(int(got.size()), std::min(n, int(expected.size())));
        for (std::size_t k = 0; k < got.size(); ++k) {
            QCOMPARE(got[k].index, expected[k].second);
            QCOMPARE(got[k].family, family);
            QVERIFY(pole * got[k].coordinate > 0);
        }
    }

    void badTables_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("no header") << QByteArray("x 3") << "header";
        // Room for four values (blanks), but three given.
        QTest::newRow("short") << QByteArray("2 2\n1 2 3            \n") << "ends in row 2";
        QTest::newRow("negative") << QByteArray("2 2\n1 2\n3 -4") << "row 2, column 2";
        QTest::newRow("not a number") << QByteArray("2 2\n1 2\nq 4") << "not a number";
        QTest::newRow("huge header") << QByteArray("100000 100000\n1") << "more than the file holds";
    }

    void badTables()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        CountTable t;
        QVERIFY(!t.parse(text.toStdString()));
        QVERIFY2(QString::fromStdString(t.error()).contains(error), t.error().c_str());
        QCOMPARE(t.rows(), 0);
    }
};

QTEST_GUILESS_MAIN(TestAxisDescription)
#include "tst_axisdescription.moc"
