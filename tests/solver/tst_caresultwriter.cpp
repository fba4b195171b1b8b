// The result files: their formats, exact round trip of the values, no
// temporary files left, and nothing left behind when writing fails.
#include "data/formats/caresultwriter.h"
#include "solver/casolution.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

CASolution sample()
{
    CASolution s;
    s.rows = 3;
    s.localRows = 3;
    s.cols = 2;
    s.axes = 2;
    s.Z = {0.1, -2.5e-7, 1.0 / 3.0, 0.0, -0.0, 123456789.125};
    s.W = {-1e-300, 7, 2.0 / 3.0, -4};
    s.P = {0.5, 0.25, 0.25};
    s.Q = {0.0, 1.0};
    s.lambda = {0.7, 0.1};
    return s;
}

QList<double> numbers(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<double> out;
    for (const QByteArray &token : f.readAll().simplified().split(' '))
        out << token.toDouble();
    return out;
}

} // namespace

class TestCAResultWriter : public QObject
{
    Q_OBJECT
private slots:
    void writesFiveFilesExactly();
    void replacesEarlierResults();
    void failureLeavesNothing();
    void staleTemporariesOfAKilledRunAreRemoved();
};

void TestCAResultWriter::writesFiveFilesExactly()
{
    QTemporaryDir dir;
    const QString table = dir.filePath("my table.txt");
    CAResultWriter writer;
    const CASolution s = sample();
    QVERIFY2(writer.write(table.toStdString(), s.arrays()), writer.error().c_str());

    QFile z(table + "_Z.txt");
    QVERIFY(z.open(QIODevice::ReadOnly));
    QCOMPARE(z.readLine(), QByteArray("3 2\n")); // header: rows, axes
    QCOMPARE(z.readLine(), QByteArray("0.1 -2.5e-07\n"));
    QCOMPARE(z.readLine().split(' ').size(), 2);
    QCOMPARE(z.readLine(), QByteArray("0 123456789.125\n")); // never "-0"

    auto expect = [](const QList<double> &header, const std::vector<double> &values) {
        QList<double> all = header;
        for (double v : values)
            all << v;
        return all;
    };
    // Every value reads back as the same double.
    QCOMPARE(numbers(table + "_Z.txt"), expect({3, 2}, s.Z));
    QCOMPARE(numbers(table + "_W.txt"), expect({2, 2}, s.W));
    QCOMPARE(numbers(table + "_P.txt"), expect({3}, s.P));
    QCOMPARE(numbers(table + "_Q.txt"), expect({2}, s.Q));
    QCOMPARE(numbers(table + "_Lambda.txt"), expect({2}, s.lambda));

    // Only the results and their manifest are in the folder: no temporary file remains.
    QStringList files = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    QCOMPARE(files, QStringList({"my table.txt_Inertia.txt", "my table.txt_Lambda.txt", "my table.txt_P.txt",
                                 "my table.txt_Q.txt", "my table.txt_W.txt", "my table.txt_Z.txt"}));
    // Readable like any new file, not private like a raw temporary file.
    QVERIFY(QFile(table + "_Z.txt").permissions() & QFileDevice::ReadGroup);
}

void TestCAResultWriter::replacesEarlierResults()
{
    QTemporaryDir dir;
    const QString table = dir.filePath("t.txt");
    for (const char *suffix : CAResultWriter::kSuffixes) {
        QFile f(table + suffix);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5000, 'x')); // longer than the new content
    }
    CASolution s = sample();
    CAResultWriter writer;
    QVERIFY(writer.write(table.toStdString(), s.arrays()));
    QCOMPARE(numbers(table + "_Lambda.txt"), QList<double>({2, 0.7, 0.1}));
    QVERIFY(QFileInfo(table + "_P.txt").size() < 100);

    CAResultWriter::removeResults(table.toStdString());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0);
}

void TestCAResultWriter::failureLeavesNothing()
{
    QTemporaryDir dir;
    // The table's folder does not exist: nothing can be written.
    const QString table = dir.filePath("missing/t.txt");
    CAResultWriter writer;
    QVERIFY(!writer.write(table.toStdString(), sample().arrays()));
    QVERIFY2(QString::fromStdString(writer.error()).contains(table + "_Z.txt"), writer.error().c_str());

    // A result name taken by a folder: the first files are written, the
    // rename of that one fails, and none of the five is left.
    const QString t2 = dir.filePath("t2.txt");
    QVERIFY(QDir(dir.path()).mkpath("t2.txt_Q.txt/inside"));
    QVERIFY(!writer.write(t2.toStdString(), sample().arrays()));
    QVERIFY2(QString::fromStdString(writer.error()).contains("_Q.txt"), writer.error().c_str());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

QTEST_GUILESS_MAIN(TestCAResultWriter)
#include "tst_caresultwriter.moc"

// A run killed between creating its temporaries and renaming them leaves
// them behind; the next run of the same table removes them, but neither the
// temporaries of a run still writing (locked) nor anything else.
void TestCAResultWriter::staleTemporariesOfAKilledRunAreRemoved()
{
    QTemporaryDir dir;
    const QString table = dir.filePath("t.txt");
    auto touch = [&](const QString &name) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("partial");
    };
    const QStringList stale{"t.txt_Z.txt.aB3xY9", "t.txt_Lambda.txt.000000", "t.txt_Q.txt.Zzzzzz"};
    const QStringList others{"t.txt",           "t.txt_Z.txt",          "t.txt_Z.txt.short",
                             "t.txt_Z.txt.ab-def", "u.txt_Z.txt.aB3xY9", "t.txt_Z.txt.aB3xY9.bak",
                             "t.txt_W.txt.Locked"};
    for (const QString &name : stale + others)
        touch(name);
    // A run still writing holds a lock on each of its temporaries.
    const int held = ::open(QFile::encodeName(dir.filePath("t.txt_W.txt.Locked")).constData(), O_RDONLY);
    QVERIFY(held >= 0);
    QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);

    QCOMPARE(CAResultWriter::removeStaleTemporaries(table.toStdString()), 3);
    ::close(held);
    QStringList left = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    QStringList expected = others;
    expected.sort();
    QCOMPARE(left, expected);
    for (const QString &name : stale)
        QVERIFY(CAResultWriter::isTemporaryOf("/any/t.txt", name.toStdString()));
}
