// The result set beyond its five result files, as the real loader reads
// it: the manifest written by the solvers' writer (total inertia, run
// stamp), sets left mixed by a run killed between renames, older sets
// without a manifest, values that cannot be used, and supplementary rows.
#include "data/model/cadata.h"
#include "data/formats/caresultwriter.h"
#include "data/model/console.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// A small result set: 4 images and 3 words on 2 axes, the values shifted by
// `shift` so that two runs differ.
struct Set
{
    std::vector<double> Z, W, P{0.1, 0.2, 0.3, 0.4}, Q{0.5, 0.25, 0.25}, lambda{0.4, 0.1}, ZSup;
    double inertia;

    explicit Set(double shift, double inertia_ = 0.75) : inertia(inertia_)
    {
        for (int i = 0; i < 8; ++i)
            Z.push_back(0.1 * i - 0.3 + shift);
        for (int i = 0; i < 6; ++i)
            W.push_back(-0.2 * i + 0.5 + shift);
    }

    CAResultArrays arrays() const
    {
        CAResultArrays a;
        a.rows = 4;
        a.zCols = 2;
        a.Z = Z.data();
        a.cols = 3;
        a.wCols = 2;
        a.W = W.data();
        a.P = P.data();
        a.Q = Q.data();
        a.lambdaCount = 2;
        a.lambda = lambda.data();
        a.totalInertia = inertia;
        if (!ZSup.empty()) {
            a.supRows = ZSup.size() / 2;
            a.ZSup = ZSup.data();
        }
        return a;
    }
};

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write fixture");
    f.write(bytes);
}

} // namespace

class TestResultSet : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString table() const { return dir.filePath("t.txt"); }

    bool write(const Set &s)
    {
        CAResultWriter writer;
        return writer.write(QFile::encodeName(table()).toStdString(), s.arrays());
    }

    // A project naming the result files as the indexer does (not F alone,
    // so no solver runs).
    std::unique_ptr<CAData> project()
    {
        auto d = std::make_unique<CAData>(true);
        d->baseDir = dir.path();
        d->fileZ = "t.txt_Z.txt";
        d->fileW = "t.txt_W.txt";
        d->fileP = "t.txt_P.txt";
        d->fileQ = "t.txt_Q.txt";
        d->fileLambda = "t.txt_Lambda.txt";
        return d;
    }

private slots:
    void init()
    {
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        CAData::casolver.clear();
    }

    void manifestListsTheFilesWritten()
    {
        Set s(0, 6.851912345);
        QVERIFY(write(s));
        const QList<QByteArray> lines = contents(table() + "_Inertia.txt").split('\n');
        QCOMPARE(lines.value(0), QByteArray("ortelis-results 1"));
        QVERIFY(lines.contains("inertia 6.851912345"));
        QVERIFY(lines.contains("rows 4"));
        QVERIFY(lines.contains("columns 3"));
        QVERIFY(lines.contains("axes 2"));
        // One line per file, with the size it has on disk.
        for (const char *suffix : {"_Z.txt", "_W.txt", "_P.txt", "_Q.txt", "_Lambda.txt"}) {
            const QByteArray prefix = QByteArray("file ") + suffix + ' '
                                      + QByteArray::number(QFileInfo(table() + suffix).size()) + ' ';
            bool found = false;
            for (const QByteArray &line : lines)
                found = found || (line.startsWith(prefix) && line.size() == prefix.size() + 16);
            QVERIFY2(found, suffix);
        }
        // Each run has its own stamp.
        QByteArray first;
        for (const QByteArray &line : lines)
            if (line.startsWith("run "))
                first = line;
        QVERIFY(write(s));
        QVERIFY(!first.isEmpty());
        QVERIFY(!contents(table() + "_Inertia.txt").contains(first));
    }

    void loaderReadsTheManifest_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<double>("inertia");
        QTest::addColumn<QString>("message");
        QTest::newRow("complete set") << "complete" << true << 0.75 << QString();
        QTest::newRow("older set, no manifest") << "older" << true << qQNaN() << QString();
        QTest::newRow("unknown keys are passed over") << "future" << true << 0.75 << QString();
        QTest::newRow("killed after W of a new run") << "killed-W" << false << 0.0 << "_W.txt' is not the file that run wrote";
        QTest::newRow("killed after Lambda") << "killed-Lambda" << false << 0.0 << "_Lambda.txt' is not the file";
        QTest::newRow("file not listed") << "unlisted" << false << 0.0 << "_Q.txt' is not one of its files";
        QTest::newRow("not a manifest") << "garbage" << false << 0.0 << "not a result manifest";
    }

    void loaderReadsTheManifest()
    {
        QFETCH(QString, setup);
        QFETCH(bool, loads);
        QFETCH(double, inertia);
        QFETCH(QString, message);
        const QString manifest = table() + "_Inertia.txt";
        if (setup.startsWith("killed")) {
            // A first run complete; a second killed after renaming its
            // manifest and some files: the rest are the first run's.
            const QString kept = setup == "killed-W" ? "_W.txt" : "_Lambda.txt";
            QVERIFY(write(Set(0, 0.5)));
            const QByteArray old = contents(table() + kept);
            Set second(0.01, 0.75);
            second.lambda = {0.45, 0.05};
            QVERIFY(write(second));
            put(table() + kept, old);
        } else {
            QVERIFY(write(Set(0)));
            if (setup == "older")
                QVERIFY(QFile::remove(manifest));
            else if (setup == "future")
                put(manifest, contents(manifest) + "colour blue\nfile _Extra.txt 3 0123456789abcdef\n");
            else if (setup == "unlisted") {
                QByteArray m;
                for (const QByteArray &line : contents(manifest).split('\n'))
                    if (!line.startsWith("file _Q.txt"))
                        m += line + '\n';
                put(manifest, m);
            } else if (setup == "garbage")
                put(manifest, "3 4\n1 2 3\n");
        }
        Console::Capture capture;
        auto d = project();
        QCOMPARE(d->read(), loads);
        QStringList errLines = capture.err();
        errLines.removeAll(QStringLiteral("Cannot find file for label")); // no image list here
        const QString err = errLines.join('\n');
        if (loads) {
            QVERIFY2(err.isEmpty(), qPrintable(err));
            if (std::isnan(inertia))
                QVERIFY(std::isnan(d->totalInertia));
            else
                QCOMPARE(d->totalInertia, inertia);
            QCOMPARE(d->runStamp.isEmpty(), setup == "older");
        } else {
            // Named: the manifest, and the file that does not belong.
            QVERIFY2(err.contains(manifest) && err.contains(message), qPrintable(err));
        }
    }

    // A total edited in the manifest (its digests left as they were): one
    // below the eigenvalues' sum (0.4 + 0.1 here) would make axis shares of
    // more than the whole, and is not taken; the total stays unknown.
    void editedTotalIsNotTaken_data()
    {
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<double>("taken"); // NaN: refused
        QTest::newRow("0.1") << QByteArray("0.1") << qQNaN();
        QTest::newRow("1e-300") << QByteArray("1e-300") << qQNaN();
        QTest::newRow("0") << QByteArray("0") << qQNaN();
        QTest::newRow("just below the sum") << QByteArray("0.4999") << qQNaN();
        QTest::newRow("the sum itself") << QByteArray("0.5") << 0.5;
        QTest::newRow("rounding below the sum") << QByteArray("0.49999999999") << 0.49999999999;
        QTest::newRow("above the sum") << QByteArray("418.8") << 418.8;
    }

    void editedTotalIsNotTaken()
    {
        QFETCH(QByteArray, written);
        QFETCH(double, taken);
        QVERIFY(write(Set(0, 0.75)));
        const QString manifest = table() + "_Inertia.txt";
        QByteArray edited;
        for (const QByteArray &line : contents(manifest).split('\n'))
            if (!line.isEmpty())
                edited += (line.startsWith("inertia ") ? "inertia " + written : line) + '\n';
        QVERIFY(edited.contains("inertia " + written + '\n'));
        put(manifest, edited);
        Console::Capture capture;
        auto d = project();
        QVERIFY(d->read());
        const QString err = capture.err().join('\n');
        if (std::isnan(taken)) {
            QVERIFY(std::isnan(d->totalInertia));
            QVERIFY2(err.contains(manifest) && err.contains("less than the eigenvalues' sum"), qPrintable(err));
        } else {
            QCOMPARE(d->totalInertia, taken);
            QVERIFY2(!err.contains("eigenvalues' sum"), qPrintable(err));
        }
    }

    // An older set (no manifest) whose table is named: the total inertia is
    // the table's chi-square over its total, computed here cell by cell.
    void olderSetTakesInertiaFromItsTable()
    {
        QVERIFY(write(Set(0)));
        QVERIFY(QFile::remove(table() + "_Inertia.txt"));
        const double n[4][3] = {{4, 0, 1}, {2, 5, 0}, {0, 1, 6}, {3, 3, 3}};
        QByteArray text = "4 3\n";
        double total = 0, rows[4] = {}, cols[3] = {};
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 3; ++j) {
                text += QByteArray::number(n[i][j]) + ' ';
                rows[i] += n[i][j];
                cols[j] += n[i][j];
                total += n[i][j];
            }
            text += '\n';
        }
        double chi2 = 0;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 3; ++j) {
                const double expected = rows[i] * cols[j] / total;
                chi2 += (n[i][j] - expected) * (n[i][j] - expected) / expected;
            }
        put(table(), text);
        Console::Capture capture;
        auto d = project();
        d->fileF = "t.txt";
        QVERIFY(d->read());
        QVERIFY(std::abs(d->totalInertia - chi2 / total) <= 1e-12 * chi2 / total);
        // A table of another shape is not this set's: the inertia stays unknown.
        put(table(), "2 2\n1 2\n3 4\n");
        auto other = project();
        other->fileF = "t.txt";
        QVERIFY(other->read());
        QVERIFY(std::isnan(other->totalInertia));
    }

    void unusableValuesAreNamed_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<int>("index");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("drawnImages");
        QTest::addColumn<int>("drawnWords");
        const double nan = qQNaN(), inf = qInf();
        QTest::newRow("NaN in Z") << "_Z.txt" << 3 << nan << "_Z.txt: 1 of 8 values are not usable" << 3 << 3;
        QTest::newRow("Inf in W") << "_W.txt" << 0 << -inf << "_W.txt: 1 of 6 values are not usable" << 4 << 2;
        QTest::newRow("1e308 in Z") << "_Z.txt" << 0 << 1e308 << "_Z.txt: 1 of 8 values" << 3 << 3;
        QTest::newRow("zero mass") << "_P.txt" << 2 << 0.0 << "_P.txt: 1 of 4 values are not usable" << 3 << 3;
        QTest::newRow("negative mass") << "_Q.txt" << 1 << -0.25 << "_Q.txt: 1 of 3 values" << 4 << 2;
        QTest::newRow("negative eigenvalue") << "_Lambda.txt" << 1 << -0.1 << "_Lambda.txt: 1 of 2 values" << 4 << 3;
    }

    void unusableValuesAreNamed()
    {
        QFETCH(QString, suffix);
        QFETCH(int, index);
        QFETCH(double, value);
        QFETCH(QString, line);
        QFETCH(int, drawnImages);
        QFETCH(int, drawnWords);
        Set s(0);
        std::vector<double> &target = suffix == "_Z.txt" ? s.Z
                                    : suffix == "_W.txt" ? s.W
                                    : suffix == "_P.txt" ? s.P
                                    : suffix == "_Q.txt" ? s.Q
                                                         : s.lambda;
        target[std::size_t(index)] = value;
        QVERIFY(write(s));
        Console::Capture capture;
        auto d = project();
        QVERIFY(d->read());
        QStringList err = capture.err();
        err.removeAll(QStringLiteral("Cannot find file for label")); // no image list here
        QCOMPARE(err.size(), 1);
        QVERIFY2(err.first().contains(table() + line), qPrintable(err.first()));
        int images = 0, words = 0;
        for (int i = 0; i < d->nbImages; ++i)
            images += d->drawable(i);
        for (int j = 0; j < d->nbWords; ++j)
            words += d->drawableWord(j);
        QCOMPARE(images, drawnImages);
        QCOMPARE(words, drawnWords);
    }

    void supplementaryRowsComeWithTheSet()
    {
        Set s(0);
        s.ZSup = {0.25, -0.5, 1e-3, 2};
        QVERIFY(write(s));
        Console::Capture capture;
        auto d = project();
        QVERIFY(d->read());
        QCOMPARE(d->nbSupImages, 2);
        QCOMPARE(d->supCols, 2);
        QCOMPARE(d->ZSup[3], 2.0);
        // A set written later without them takes them away.
        s.ZSup.clear();
        QVERIFY(write(s));
        QVERIFY(!QFileInfo::exists(table() + "_ZSup.txt"));
        auto again = project();
        QVERIFY(again->read());
        QCOMPARE(again->nbSupImages, 0);
    }
};

QTEST_GUILESS_MAIN(TestResultSet)
#include "tst_resultset.moc"
