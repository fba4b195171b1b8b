// ca-mpi under mpirun against ca.exe on the same tables: the same eigenvalues
// (1e-9 relative) and coordinates (1e-7 of each axis's largest), whatever
// the layout of the text and however the rows fall on the processes; and a
// bad table refused once, with ca.exe's words, leaving no result file.
// The number of processes comes from ORTELIS_MPI_RANKS (CTest runs it with
// 2 and with 3).
#include "tests/mpilauncher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <random>

namespace {

const char *const kSuffixes[] = {"_Z.txt", "_W.txt", "_P.txt", "_Q.txt", "_Lambda.txt"};

using MpiLauncher::binDir;
using MpiLauncher::ranks;
using MpiLauncher::Run;
using MpiLauncher::run;

void writeFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QVector<double> numbers(const QString &path)
{
    QFile f(path);
    QVector<double> v;
    if (!f.open(QIODevice::ReadOnly))
        return v;
    for (const QByteArray &t : f.readAll().simplified().split(' '))
        if (!t.isEmpty())
            v.append(t.toDouble());
    return v;
}

// A rows x cols table of counts with structure (a few groups of rows that
// prefer groups of columns), every `emptyEvery`-th row and column empty.
QVector<QVector<int>> makeCounts(int rows, int cols, double density, int emptyEvery, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    QVector<QVector<int>> t(rows, QVector<int>(cols, 0));
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) {
            if (emptyEvery && (i % emptyEvery == 3 || j % emptyEvery == 5))
                continue;
            const bool home = (i % 4) == (j % 4);
            if (unit(rng) < (home ? 3 * density : density))
                t[i][j] = 1 + int(unit(rng) * (home ? 9 : 3));
        }
    return t;
}

// The text of a table: `perLine` values per line (0: one row per line),
// with or without a final line end.
QByteArray tableText(const QVector<QVector<int>> &t, int perLine, bool finalNewline)
{
    QByteArray s = QByteArray::number(t.size()) + ' ' + QByteArray::number(t.isEmpty() ? 0 : t[0].size()) + '\n';
    int onLine = 0;
    for (const QVector<int> &row : t) {
        for (int j = 0; j < row.size(); ++j) {
            s += QByteArray::number(row[j]);
            ++onLine;
            const bool endOfLine = perLine ? onLine % perLine == 0 : j + 1 == row.size();
            s += endOfLine ? '\n' : ' ';
        }
    }
    if (!finalNewline)
        while (s.endsWith('\n') || s.endsWith(' '))
            s.chop(1);
    return s;
}

// Largest difference of two result files' values after the header, relative
// to the largest absolute value of the reference in each column (the axis),
// up to nothing: the sign rule makes the axes' signs the same.
double relativeDifference(const QVector<double> &a, const QVector<double> &b, int header)
{
    if (a.size() != b.size() || a.size() < header)
        return INFINITY;
    const int cols = header == 2 ? int(a[1]) : 1;
    if (header == 2 && (a[0] != b[0] || a[1] != b[1]))
        return INFINITY;
    if (header == 1 && a[0] != b[0])
        return INFINITY;
    QVector<double> scale(std::max(cols, 1), 0.0);
    for (int i = header; i < a.size(); ++i)
        scale[(i - header) % cols] = std::max(scale[(i - header) % cols], std::abs(a[i]));
    double worst = 0;
    for (int i = header; i < a.size(); ++i) {
        const double s = scale[(i - header) % cols];
        worst = std::max(worst, std::abs(a[i] - b[i]) / (s > 0 ? s : 1));
    }
    return worst;
}

} // namespace

class TestCAMpi : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void matchesSingleSolver_data();
    void matchesSingleSolver();
    void refusesBadTableOnce_data();
    void refusesBadTableOnce();
};

void TestCAMpi::initTestCase()
{
    QVERIFY2(QFileInfo(binDir() + "/ca-mpi").isExecutable(), qPrintable(binDir()));
    QVERIFY2(QFileInfo(binDir() + "/ca.exe").isExecutable(), qPrintable(binDir()));
}

void TestCAMpi::matchesSingleSolver_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<int>("k");

    const auto tall = makeCounts(400, 30, 0.15, 7, 1);
    QTest::newRow("empty rows and columns, every axis") << tableText(tall, 0, true) << 0;
    QTest::newRow("no final line end") << tableText(tall, 0, false) << 4;
    QTest::newRow("rows across lines, lines across rows") << tableText(tall, 17, false) << 4;
    QTest::newRow("one line") << tableText(makeCounts(60, 9, 0.3, 0, 2), 100000, false) << 3;
    // Fewer rows than processes, or all rows in the first range: the others
    // hold nothing.
    QTest::newRow("two rows") << QByteArray("2 5\n1 0 2 0 3\n0 4 1 1 0") << 0;
    QTest::newRow("rows all in the first range")
        << QByteArray("4 4\n1 0 2 0\n0 3 1 1\n2 2 0 1\n0 1 5 0" + QByteArray(4000, ' ') + "\n") << 2;
    // More columns than rows: the image side is decomposed.
    QTest::newRow("wide, every axis") << tableText(makeCounts(40, 300, 0.1, 9, 3), 0, true) << 0;
    QTest::newRow("wide, iterative") << tableText(makeCounts(260, 1500, 0.05, 11, 4), 0, true) << 6;
    // Many more rows than columns, a few axes: Lanczos on the word side.
    QTest::newRow("tall, iterative") << tableText(makeCounts(3000, 400, 0.04, 13, 5), 0, true) << 8;
}

void TestCAMpi::matchesSingleSolver()
{
    QFETCH(QByteArray, table);
    QFETCH(int, k);

    QTemporaryDir dir;
    const QString single = dir.filePath("single.txt"), spread = dir.filePath("spread table.txt");
    writeFile(single, table);
    writeFile(spread, table);
    // Supplementary rows over the same columns, placed by the first process.
    const int cols = table.left(table.indexOf('\n')).split(' ').value(1).toInt();
    QVector<QVector<int>> supRows = makeCounts(6, cols, 0.3, 0, 99);
    for (int i = 0; i < supRows.size(); ++i)
        supRows[i][i % cols] += 1;
    const QString sup = dir.filePath("sup.txt");
    writeFile(sup, tableText(supRows, 0, true));
    const QStringList kArg{"-k", QString::number(k), "--supplementary", sup};
    const Run a = run(binDir() + "/ca.exe", kArg + QStringList{single, single});
    QVERIFY2(a.exitCode == 0, qPrintable(a.err));
    const Run b = MpiLauncher::runMpi(QStringLiteral("ca-mpi"), ranks(),
                                      kArg + QStringList{spread, spread});
    QVERIFY2(b.exitCode == 0, qPrintable(b.err));
    QVERIFY2(b.out.count("ca-mpi: " + spread + ": ") == 1, qPrintable(b.out));

    QCOMPARE(numbers(spread + "_Lambda.txt").size(), numbers(single + "_Lambda.txt").size());
    const struct
    {
        const char *suffix;
        int header;
        double tolerance;
    } files[] = {{"_Lambda.txt", 1, 1e-9}, {"_Z.txt", 2, 1e-7}, {"_W.txt", 2, 1e-7}, {"_P.txt", 1, 1e-12},
                 {"_Q.txt", 1, 1e-12}, {"_ZSup.txt", 2, 1e-7}};
    for (const auto &f : files) {
        const double d = relativeDifference(numbers(single + f.suffix), numbers(spread + f.suffix), f.header);
        QVERIFY2(d <= f.tolerance, qPrintable(QString("%1 differs by %2").arg(f.suffix).arg(d)));
    }
    // Nothing else beside the table: no temporaries left.
    QCOMPARE(QDir(dir.path()).entryList({"spread table.txt*"}, QDir::Files).size(), 8);
    // The same total inertia in both manifests.
    auto inertia = [](const QString &path) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("inertia "))
                return line.mid(8).toDouble();
        return -1.0;
    };
    const double total = inertia(single + "_Inertia.txt");
    QVERIFY(total > 0);
    QVERIFY(std::abs(inertia(spread + "_Inertia.txt") - total) <= 1e-12 * total);
}

void TestCAMpi::refusesBadTableOnce_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("problem");

    // Bad cells far into the text, in the range of a later process, and a
    // second bad cell after it that must not be the one reported.
    QByteArray late = tableText(makeCounts(300, 20, 0.3, 0, 6), 0, true);
    const int at = late.size() * 2 / 3;
    const int lineStart = late.lastIndexOf('\n', at) + 1;
    const int row = late.left(lineStart).count('\n'); // the header is line 1: rows count from 1
    QByteArray badLate = late;
    badLate.replace(lineStart, badLate.indexOf(' ', lineStart) - lineStart, "x7");
    badLate.replace(badLate.size() - 3, 1, "y");
    QTest::newRow("bad cell late") << badLate << QString("not a number at row %1, column 1: 'x7'").arg(row);
    QByteArray negative = late;
    negative.replace(lineStart, negative.indexOf(' ', lineStart) - lineStart, "-3");
    QTest::newRow("negative count late") << negative << QString("negative count at row %1, column 1").arg(row);
    QByteArray early = late;
    early.replace(early.indexOf('\n') + 1, 1, "q");
    QTest::newRow("bad first cell, bad later") << early.replace(early.size() - 3, 1, "z")
                                               << "not a number at row 1, column 1: 'q'";
    QByteArray shortText = late;
    shortText.chop(shortText.size() - shortText.lastIndexOf('\n', shortText.size() - 2));
    shortText += QByteArray(200, ' ');
    QTest::newRow("ends early") << shortText << "the file ends after 5980 of the 6000 values";
    QTest::newRow("bad header") << QByteArray("3 x\n1 2 3\n") << "the column count of the header is not a whole number";
    QTest::newRow("empty") << QByteArray() << "ends before the row count";
    QTest::newRow("no axis") << QByteArray("3 2\n1 2\n2 4\n3 6\n") << "same profile";
    // Values beyond the header's table, in the last process's share.
    QByteArray beyond = tableText(makeCounts(300, 20, 0.3, 0, 5), 0, true);
    beyond.replace(0, beyond.indexOf(' '), "299");
    QTest::newRow("a row beyond the header") << beyond << "line 301 holds values beyond the 5980";
}

void TestCAMpi::refusesBadTableOnce()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, problem);

    QTemporaryDir dir;
    const QString single = dir.filePath("single.txt"), spread = dir.filePath("spread.txt");
    writeFile(single, table);
    writeFile(spread, table);
    // Results of an earlier analysis must not survive a failed run.
    for (const char *suffix : kSuffixes)
        writeFile(spread + suffix, "1\n1\n");

    const Run a = run(binDir() + "/ca.exe", {"-k", "2", single, single});
    const Run b = MpiLauncher::runMpi(QStringLiteral("ca-mpi"), ranks(), {"-k", "2", spread, spread});
    QVERIFY(a.exitCode > 0);
    QVERIFY(b.exitCode > 0);
    QVERIFY2(a.err.contains(problem), qPrintable(a.err));
    // One message, the single solver's own.
    const QString expected = a.err.section('\n', 0, 0).replace("ca.exe: " + single, "ca-mpi: " + spread);
    QVERIFY2(b.err.count("ca-mpi: ") == 1, qPrintable(b.err));
    QVERIFY2(b.err.contains(expected + '\n'), qPrintable(b.err + "\nexpected: " + expected));
    QCOMPARE(QDir(dir.path()).entryList({"spread.txt*"}, QDir::Files), QStringList{"spread.txt"});
}

QTEST_GUILESS_MAIN(TestCAMpi)
#include "tst_campi.moc"
