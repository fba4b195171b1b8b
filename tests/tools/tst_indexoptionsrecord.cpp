// The record of how an index's images were described, read back before
// images are added: a record that leaves out an option, names one twice, is
// not text, or is not a file is refused with the file and the problem; a
// whole record gives back the values it was written with.
#include "tools/indexoptionsrecord.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

// A record as a person would write it for an index made with
// --counts raw --grid 8 --max-keypoints 200, every other option at the
// command line's default.
const QByteArray whole = "--words 1000\n--max-keypoints 200\n--max-side 1024\n--work-side 512\n"
                         "--max-megapixels 1000\n--grid 8\n--grid-scales 1\n--colour-words 200\n"
                         "--colour-layout 100\n--soft-words 1\n--search-checks 0\n--counts raw\n";

QByteArray without(const QByteArray &option)
{
    QList<QByteArray> lines = whole.split('\n');
    lines.removeIf([&](const QByteArray &line) { return line.startsWith(option + ' '); });
    return lines.join('\n');
}

} // namespace

class TestIndexOptionsRecord : public QObject
{
    Q_OBJECT
private slots:
    void records_data();
    void records();
    void writtenRecordReadsBack();
};

void TestIndexOptionsRecord::records_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("said"); // empty: accepted
    QTest::newRow("whole") << whole << QString();
    QTest::newRow("two options a line") << QByteArray(whole).replace("--grid 8\n", "--grid 8 --rootsift\n")
                                        << QString();
    QTest::newRow("empty") << QByteArray() << "it does not name --words, --max-keypoints";
    QTest::newRow("comments only") << QByteArray("# ortelis-index options 1\n# keep it\n")
                                   << "it does not name --words";
    QTest::newRow("no --counts") << without("--counts") << "it does not name --counts;";
    QTest::newRow("no --grid") << without("--grid") << "it does not name --grid;";
    QTest::newRow("no --soft-words") << without("--soft-words") << "it does not name --soft-words;";
    QTest::newRow("named twice") << whole + "--grid 16\n" << ":13: --grid is named a second time (first on line 6)";
    QTest::newRow("out of range") << whole + "--grid 2\n" << "--grid expects";
    QTest::newRow("not an option") << "grid 8\n" + whole << ":1: expected an option";
    QTest::newRow("not describing") << whole + "--solve\n" << "only options that describe images";
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << ":1: expected an option";
    QTest::newRow("too large") << whole + QByteArray(70 * 1024, '#') << "larger than any record";
    QTest::newRow("FIFO") << QByteArray("FIFO") << "a FIFO, not a regular file";
    QTest::newRow("folder") << QByteArray("FOLDER") << "a folder, not a regular file";
}

void TestIndexOptionsRecord::records()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString path = dir.filePath("index-options.txt");
    if (text == "FIFO") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (text == "FOLDER") {
        QVERIFY(QDir().mkdir(path));
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    IndexOptions o;
    o.maxKeypoints = 7; // a value the record must replace
    QString error;
    const bool read = IndexOptionsRecord::read(path, o, &error);
    if (said.isEmpty()) {
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(o.maxKeypoints, 200);
        QCOMPARE(o.gridStep, 8);
        QCOMPARE(o.counts, TableCounts::Raw);
        QCOMPARE(o.rootSift, text.contains("--rootsift"));
        return;
    }
    QVERIFY(!read);
    QVERIFY2(error.contains(path), qPrintable(error));
    QVERIFY2(error.contains(said), qPrintable(error));
    // Nothing of a refused record is taken.
    QCOMPARE(o.maxKeypoints, 7);
}

// The indexer's own record of a run names every option, and reads back to
// the values of that run.
void TestIndexOptionsRecord::writtenRecordReadsBack()
{
    IndexOptions o;
    o.counts = TableCounts::Presence;
    o.softWords = 3;
    o.searchChecks = 64;
    o.maxMegapixels = 77;
    FeatureOptions f;
    f.maxKeypoints = 123;
    f.limits.maxSide = 2048;
    f.workSide = 256;
    f.gridStep = 12;
    f.gridScales = 2;
    f.colour = true;
    f.colourLayout = 50;
    f.rootSift = true;
    QTemporaryDir dir;
    const QString path = dir.filePath("index-options.txt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(IndexOptionsRecord::text(o, f, 321, 45));
    file.close();
    IndexOptions back;
    QString error;
    QVERIFY2(IndexOptionsRecord::read(path, back, &error), qPrintable(error));
    QCOMPARE(back.words, 321);
    QCOMPARE(back.colourWords, 45);
    QCOMPARE(back.maxKeypoints, 123);
    QCOMPARE(back.maxSide, 2048);
    QCOMPARE(back.workSide, 256);
    QCOMPARE(back.gridStep, 12);
    QCOMPARE(back.gridScales, 2);
    QCOMPARE(back.colourLayout, 50);
    QCOMPARE(back.softWords, 3);
    QCOMPARE(back.searchChecks, 64);
    QCOMPARE(back.maxMegapixels, qint64(77));
    QCOMPARE(back.counts, TableCounts::Presence);
    QVERIFY(back.rootSift);
}

QTEST_MAIN(TestIndexOptionsRecord)
#include "tst_indexoptionsrecord.moc"
