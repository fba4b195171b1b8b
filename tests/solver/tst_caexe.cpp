// The real ca.exe: its command line, its refusals (message on standard error
// naming the table, non-zero exit, no result files left), and its results.
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/mpilauncher.h"

#include <sys/stat.h>

namespace {

const char *const kSuffixes[] = {"_Z.txt", "_W.txt", "_P.txt", "_Q.txt", "_Lambda.txt"};

using MpiLauncher::Run;

QString solverPath()
{
    return MpiLauncher::binDir() + "/ca.exe";
}

Run runSolver(const QStringList &args)
{
    return MpiLauncher::run(solverPath(), args, 120000);
}

void writeFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QByteArray tableText()
{
    // 12 x 9 with an empty row and an empty column.
    QByteArray t = "12 9\n";
    for (int i = 0; i < 12; ++i) {
        for (int j = 0; j < 9; ++j) {
            int v = (i == 4 || j == 7) ? 0 : ((i * 5 + j * 3) % 7 == 0 ? 0 : (i * j + i + 2 * j) % 6);
            t += QByteArray::number(v) + ' ';
        }
        t += '\n';
    }
    return t;
}

QList<QByteArray> tokens(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().simplified().split(' ');
}

} // namespace

class TestCAExe : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void usage_data();
    void usage();
    void refusesBadTables_data();
    void refusesBadTables();
    void writesResults_data();
    void writesResults();
    void sameTableGivesIdenticalFiles();
    void refusesDenseWorkBeyondMemoryLimit();
    void namesWhatIsNotAFile_data();
    void namesWhatIsNotAFile();
};

void TestCAExe::initTestCase()
{
    QVERIFY2(QFileInfo(solverPath()).isExecutable(), qPrintable(solverPath()));
}

void TestCAExe::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stream"); // where the text appears
    QTest::addColumn<QString>("text");

    QTest::newRow("help") << QStringList{"--help"} << 0 << "out" << "usage: ca.exe -k K TABLE TABLE";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "out" << "ca.exe (Ortelis) ";
    QTest::newRow("nothing") << QStringList{} << 2 << "err" << "usage: ca.exe -k K TABLE TABLE";
    QTest::newRow("one path") << QStringList{"-k", "3", "t.txt"} << 2 << "err" << "usage:";
    QTest::newRow("three paths") << QStringList{"-k", "3", "t.txt", "t.txt", "t.txt"} << 2 << "err" << "usage:";
    QTest::newRow("other option") << QStringList{"-n", "3", "t.txt", "t.txt"} << 2 << "err" << "must be -k";
    QTest::newRow("negative k") << QStringList{"-k", "-1", "t.txt", "t.txt"} << 2 << "err" << "axis count";
    QTest::newRow("k not a number") << QStringList{"-k", "3x", "t.txt", "t.txt"} << 2 << "err" << "axis count";
    QTest::newRow("k too large") << QStringList{"-k", "99999999999", "t.txt", "t.txt"} << 2 << "err" << "axis count";
    QTest::newRow("two different paths") << QStringList{"-k", "3", "a.txt", "b.txt"} << 2 << "err" << "given twice";
    QTest::newRow("help among others") << QStringList{"--help", "-k"} << 2 << "err" << "usage:";
}

void TestCAExe::usage()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, stream);
    QFETCH(QString, text);

    QTemporaryDir dir;
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(solverPath(), args);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), exitCode);
    const QString out = QString::fromUtf8(stream == "out" ? p.readAllStandardOutput() : p.readAllStandardError());
    QVERIFY2(out.contains(text), qPrintable(out));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0); // nothing written
}

void TestCAExe::refusesBadTables_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("problem");

    QTest::newRow("malformed") << QByteArray("2 2\n1 2\n3 four\n") << "not a number at row 2, column 2: 'four'";
    QTest::newRow("short") << QByteArray("3 2\n1 2\n3 4\n") << "too short for the 3 x 2 values";
    QTest::newRow("negative count") << QByteArray("2 2\n1 -2\n3 4\n") << "negative count at row 1, column 2";
    QTest::newRow("all zeros") << QByteArray("2 3\n0 0 0\n0 0 0\n") << "all zeros";
    QTest::newRow("empty file") << QByteArray() << "ends before the row count";
    QTest::newRow("one non-empty row") << QByteArray("2 2\n1 2\n0 0\n") << "single non-empty row";
    QTest::newRow("a row beyond the header")
        << QByteArray("2 3\n1 2 3\n4 5 6\n7 8 9\n") << "line 4 holds values beyond the 6 its header announces (2 x 3)";
    QTest::newRow("one value beyond the header")
        << QByteArray("2 2\n1 2\n3 4 5\n\n") << "line 3 holds values beyond the 4";
}

void TestCAExe::refusesBadTables()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, problem);

    QTemporaryDir dir;
    const QString path = dir.filePath("bad table.txt");
    writeFile(path, table);
    // Results of an earlier analysis of that path must not survive a failed run.
    for (const char *suffix : kSuffixes)
        writeFile(path + suffix, "1\n1\n");
    writeFile(path + "_Inertia.txt", "ortelis-results 1\n");
    // Nor the temporaries of a run that was killed while writing.
    writeFile(path + "_Z.txt.k1Ll3d", "1 2\n0.");
    writeFile(path + "_Lambda.txt.Xy12ab", "");

    const Run r = runSolver({"-k", "2", path, path});
    QVERIFY(r.exitCode > 0);
    QVERIFY2(r.err.startsWith("ca.exe: " + path + ": "), qPrintable(r.err));
    QVERIFY2(r.err.contains(problem), qPrintable(r.err));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"bad table.txt"});
}

void TestCAExe::writesResults_data()
{
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("axes");

    // The table has 11 non-empty rows and 8 non-empty columns: at most 7 axes.
    QTest::newRow("k 0") << 0 << 7;
    QTest::newRow("k 2") << 2 << 2;
    QTest::newRow("k 50") << 50 << 7;
}

void TestCAExe::writesResults()
{
    QFETCH(int, k);
    QFETCH(int, axes);

    QTemporaryDir dir;
    const QString path = dir.filePath("t.txt");
    writeFile(path, tableText());
    const Run r = runSolver({"-k", QString::number(k), path, path});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));

    const QList<QByteArray> z = tokens(path + "_Z.txt"), w = tokens(path + "_W.txt");
    const QList<QByteArray> p = tokens(path + "_P.txt"), q = tokens(path + "_Q.txt");
    const QList<QByteArray> lambda = tokens(path + "_Lambda.txt");
    QCOMPARE(z.mid(0, 2), QList<QByteArray>({"12", QByteArray::number(axes)}));
    QCOMPARE(z.size(), 2 + 12 * axes);
    QCOMPARE(w.mid(0, 2), QList<QByteArray>({"9", QByteArray::number(axes)}));
    QCOMPARE(w.size(), 2 + 9 * axes);
    QCOMPARE(p.first(), QByteArray("12"));
    QCOMPARE(p.size(), 13);
    QCOMPARE(q.first(), QByteArray("9"));
    QCOMPARE(q.size(), 10);
    QCOMPARE(lambda.first(), QByteArray::number(axes));
    QCOMPARE(lambda.size(), 1 + axes);
    // The empty row 4 and column 7: mass 0 and coordinates 0, no NaN.
    QCOMPARE(p[1 + 4].toDouble(), 0.0);
    QCOMPARE(q[1 + 7].toDouble(), 0.0);
    for (int a = 0; a < axes; ++a) {
        QCOMPARE(z[2 + 4 * axes + a].toDouble(), 0.0);
        QCOMPARE(w[2 + 7 * axes + a].toDouble(), 0.0);
    }
    for (const QByteArray &t : z + w + p + q + lambda) {
        bool ok = false;
        QVERIFY(std::isfinite(t.toDouble(&ok)));
        QVERIFY2(ok, t.constData());
    }
    double massSum = 0;
    for (int i = 1; i < p.size(); ++i)
        massSum += p[i].toDouble();
    QVERIFY(std::abs(massSum - 1) < 1e-12);
    // Nothing but the table, its five results and their manifest.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 7);
}

void TestCAExe::sameTableGivesIdenticalFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.txt");
    writeFile(path, tableText());
    for (const QString k : {"0", "3"}) {
        QList<QByteArray> first;
        for (int run = 0; run < 2; ++run) {
            QCOMPARE(runSolver({"-k", k, path, path}).exitCode, 0);
            QList<QByteArray> digests;
            for (const char *suffix : kSuffixes) {
                QFile f(path + suffix);
                QVERIFY(f.open(QIODevice::ReadOnly));
                digests << QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
            }
            if (run == 0)
                first = digests;
            else
                QCOMPARE(digests, first);
        }
    }
}

void TestCAExe::refusesDenseWorkBeyondMemoryLimit()
{
    // 1500 x 1500, three cells a row: every axis needs a dense 1500 x 1500
    // eigenproblem (about 100 MB), a few axes only the sparse table.
    QTemporaryDir dir;
    const QString path = dir.filePath("t.txt");
    {
        const int n = 1500;
        QByteArray t = "1500 1500\n";
        for (int i = 0; i < n; ++i) {
            QByteArray row;
            for (int j = 0; j < n; ++j)
                row += j == i ? "3 " : j == (i + 1) % n ? "1 " : j == (i * 7) % n ? "2 " : "0 ";
            t += row + '\n';
        }
        writeFile(path, t);
    }
    // The address-space limit stands for a machine without that much memory.
    const QString limited = QStringLiteral("ulimit -v 60000 && exec \"$0\" \"$@\"");
    const Run refused = [&] {
        QProcess p;
        p.start("/bin/sh", {"-c", limited, solverPath(), "-k", "0", path, path});
        Run r;
        if (p.waitForFinished(60000)) {
            r.exitCode = p.exitCode();
            r.err = QString::fromUtf8(p.readAllStandardError());
        }
        return r;
    }();
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains("needs a dense 1500 x 1500 matrix"), qPrintable(refused.err));
    QVERIFY2(refused.err.contains("ask for fewer axes"), qPrintable(refused.err));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);

    QProcess p;
    p.start("/bin/sh", {"-c", limited, solverPath(), "-k", "3", path, path});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(tokens(path + "_Lambda.txt").size(), 4);
}

void TestCAExe::namesWhatIsNotAFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem");
    QTest::newRow("FIFO") << "fifo" << "cannot open the table: it is a FIFO, not a regular file";
    QTest::newRow("device") << "/dev/zero" << "cannot open the table: it is a character device, not a regular file";
    QTest::newRow("folder") << "folder" << "cannot open the table: it is a folder, not a regular file";
}

// Said as the viewer says it, not as the system's "Invalid argument".
void TestCAExe::namesWhatIsNotAFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    QString path = dir.filePath("t.txt");
    if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == "folder")
        QVERIFY(QDir(dir.path()).mkdir("t.txt"));
    else
        path = kind;
    const Run r = runSolver({"-k", "2", path, path});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(problem), qPrintable(r.err));
    QVERIFY2(!r.err.contains("Invalid argument"), qPrintable(r.err));
}

QTEST_GUILESS_MAIN(TestCAExe)
#include "tst_caexe.moc"
