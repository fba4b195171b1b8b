// The command line of ortelis-index and the progress lines it writes when
// its output is not a terminal.
#include "tools/indexcommandline.h"
#include "tools/progressreporter.h"

#include <QTest>

#include <cstdio>

class TestIndexCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void valid_data();
    void valid();
    void invalid_data();
    void invalid();
    void help();
    void countsAndWorkSide_data();
    void countsAndWorkSide();
    void plainProgressLines();
    void supplementaryOptions_data();
    void supplementaryOptions();
};

void TestIndexCommandLine::valid_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("words");
    QTest::addColumn<int>("maxKeypoints");
    QTest::addColumn<int>("axes");
    QTest::addColumn<int>("jobs");
    QTest::addColumn<bool>("solve");
    QTest::addColumn<QString>("vocabulary");
    QTest::newRow("defaults") << QStringList{"in", "out"} << 1000 << 500 << 10 << 0 << false << "";
    QTest::newRow("all") << QStringList{"--words", "64", "--max-keypoints", "20", "--axes", "3",
                                        "--jobs", "1", "--solve", "--vocabulary", "v.txt", "in", "out"}
                         << 64 << 20 << 3 << 1 << true << "v.txt";
    QTest::newRow("equals sign") << QStringList{"--words=8", "in", "out"} << 8 << 500 << 10 << 0
                                 << false << "";
    QTest::newRow("solver implies solve") << QStringList{"--solver", "/x/ca", "in", "out"} << 1000
                                          << 500 << 10 << 0 << true << "";
}

void TestIndexCommandLine::valid()
{
    QFETCH(QStringList, args);
    IndexOptions o;
    QString message;
    QCOMPARE(IndexCommandLine::parse(QStringList{"ortelis-index"} + args, o, message),
             IndexCommandLine::Run);
    QCOMPARE(o.input, QString("in"));
    QCOMPARE(o.output, QString("out"));
    QTEST(o.words, "words");
    QTEST(o.maxKeypoints, "maxKeypoints");
    QTEST(o.axes, "axes");
    QTEST(o.jobs, "jobs");
    QTEST(o.solve, "solve");
    QTEST(o.vocabulary, "vocabulary");
}

void TestIndexCommandLine::invalid_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("one folder") << QStringList{"in"} << "got 1 argument";
    QTest::newRow("three folders") << QStringList{"a", "b", "c"} << "got 3 argument";
    QTest::newRow("zero words") << QStringList{"--words", "0", "in", "out"} << "--words";
    QTest::newRow("words not a number") << QStringList{"--words", "many", "in", "out"} << "\"many\"";
    QTest::newRow("negative jobs") << QStringList{"--jobs", "-2", "in", "out"} << "--jobs";
    QTest::newRow("unknown option") << QStringList{"--colour", "in", "out"} << "colour";
    QTest::newRow("missing value") << QStringList{"in", "out", "--axes"} << "axes";
    QTest::newRow("unknown counts") << QStringList{"--counts", "log", "in", "out"} << "--counts";
    QTest::newRow("work side too small") << QStringList{"--work-side", "8", "in", "out"}
                                         << "--work-side";
    // Values that would take the machine are refused with the range allowed.
    QTest::newRow("work side too large") << QStringList{"--work-side", "100000", "in", "out"}
                                         << "--work-side expects 0 (the size read) or a whole number from 16 to 4096, not \"100000\"";
    QTest::newRow("too many jobs") << QStringList{"--jobs", "70000", "in", "out"}
                                   << "--jobs expects a whole number from 1 to 256, not \"70000\"";
    QTest::newRow("too many words") << QStringList{"--words", "100000", "in", "out"}
                                    << "from 1 to 65536";
    QTest::newRow("sample beyond memory") << QStringList{"--sample", "50000000", "in", "out"}
                                          << "from 1 to 2000000";
    QTest::newRow("max side too large") << QStringList{"--max-side", "20000", "in", "out"}
                                        << "from 16 to 16384";
    QTest::newRow("grid of one pixel") << QStringList{"--grid", "1", "in", "out"}
                                       << "--grid expects 0 (no grid) or a whole number from 4 to 1024";
    QTest::newRow("soft words beyond three") << QStringList{"--soft-words", "4", "in", "out"}
                                             << "--soft-words";
    QTest::newRow("number past int") << QStringList{"--axes", "99999999999", "in", "out"}
                                     << "\"99999999999\"";
    // Added images are described as the project's were: nothing that
    // describes them otherwise goes with --add-to.
    QTest::newRow("add-to with a grid") << QStringList{"--add-to", "p.xml", "--grid", "8", "new"}
                                        << "--grid cannot be given with --add-to";
    QTest::newRow("add-to with a vocabulary") << QStringList{"--add-to", "p.xml", "--vocabulary", "v", "new"}
                                              << "--vocabulary cannot be given with --add-to";
    QTest::newRow("add-to and solve") << QStringList{"--solve", "--add-to", "p.xml", "new"}
                                      << "--solve cannot be given with --add-to";
    QTest::newRow("add-to with an output") << QStringList{"--add-to", "p.xml", "new", "out"}
                                           << "expected IMAGE_FOLDER alone, got 2";
    QTest::newRow("add-to without images") << QStringList{"--add-to", "p.xml"} << "got 0";
    QTest::newRow("flat blanks neither") << QStringList{"--flat-blanks", "drop", "in", "out"}
                                         << "--flat-blanks expects place or skip";
}

void TestIndexCommandLine::invalid()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    IndexOptions o;
    QString text;
    QCOMPARE(IndexCommandLine::parse(QStringList{"ortelis-index"} + args, o, text),
             IndexCommandLine::Invalid);
    QVERIFY2(text.contains(message), qPrintable(text));
}

void TestIndexCommandLine::countsAndWorkSide_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("counts");
    QTest::addColumn<int>("workSide");
    QTest::newRow("defaults") << QStringList{} << int(TableCounts::Sqrt) << 512;
    QTest::newRow("raw") << QStringList{"--counts", "raw"} << int(TableCounts::Raw) << 512;
    QTest::newRow("presence, size read")
        << QStringList{"--counts=presence", "--work-side", "0"} << int(TableCounts::Presence) << 0;
    QTest::newRow("sqrt, 300") << QStringList{"--work-side", "300", "--counts", "sqrt"}
                               << int(TableCounts::Sqrt) << 300;
}

void TestIndexCommandLine::countsAndWorkSide()
{
    QFETCH(QStringList, args);
    IndexOptions o;
    QString message;
    QCOMPARE(IndexCommandLine::parse(QStringList{"ortelis-index"} + args + QStringList{"in", "out"},
                                     o, message),
             IndexCommandLine::Run);
    QTEST(int(o.counts), "counts");
    QTEST(o.workSide, "workSide");
}

void TestIndexCommandLine::supplementaryOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("addTo");
    QTest::addColumn<QString>("passive");
    QTest::addColumn<bool>("placeFlat");
    QTest::addColumn<QString>("input");
    QTest::newRow("defaults") << QStringList{"in", "out"} << "" << "" << true << "in";
    QTest::newRow("passive") << QStringList{"--passive", "p.txt", "in", "out"} << "" << "p.txt" << true << "in";
    QTest::newRow("flat blanks skipped") << QStringList{"--flat-blanks", "skip", "in", "out"} << "" << ""
                                         << false << "in";
    QTest::newRow("add-to") << QStringList{"--add-to", "x/project.xml", "--jobs", "3", "--quiet", "new"}
                            << "x/project.xml" << "" << true << "new";
}

void TestIndexCommandLine::supplementaryOptions()
{
    QFETCH(QStringList, args);
    IndexOptions o;
    QString message;
    QCOMPARE(IndexCommandLine::parse(QStringList{"ortelis-index"} + args, o, message), IndexCommandLine::Run);
    QTEST(o.addTo, "addTo");
    QTEST(o.passive, "passive");
    QTEST(o.placeFlat, "placeFlat");
    QTEST(o.input, "input");
}

void TestIndexCommandLine::help()
{
    IndexOptions o;
    QString text;
    QCOMPARE(IndexCommandLine::parse({"ortelis-index", "--help"}, o, text), IndexCommandLine::Help);
    for (const char *option : {"--words", "--max-keypoints", "--seed", "--axes", "--vocabulary",
                               "--solve", "--jobs", "--help"})
        QVERIFY2(text.contains(option), option);
}

void TestIndexCommandLine::plainProgressLines()
{
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    QVERIFY(out && err);
    {
        ProgressReporter progress("Detecting keypoints", 20, false, out, err);
        for (int i = 0; i < 20; ++i) {
            progress.advance();
            if (i == 4)
                progress.problem("skipped 'x.png': broken");
            progress.refresh();
        }
        progress.finish();
    }
    auto text = [](std::FILE *f) {
        std::rewind(f);
        QByteArray all;
        char buffer[256];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            all.append(buffer, qsizetype(n));
        std::fclose(f);
        return all;
    };
    const QList<QByteArray> lines = text(out).trimmed().split('\n');
    // The announcement, then one line per tenth of the way, no bar.
    QCOMPARE(lines.size(), 11);
    QCOMPARE(lines[0], QByteArray("Detecting keypoints: 20 images"));
    QVERIFY(lines[1].startsWith("Detecting keypoints: 2/20 images"));
    QVERIFY(lines[10].startsWith("Detecting keypoints: 20/20 images"));
    QVERIFY(!lines.join().contains('\r'));
    QCOMPARE(text(err), QByteArray("skipped 'x.png': broken\n"));
}

QTEST_GUILESS_MAIN(TestIndexCommandLine)
#include "tst_indexcommandline.moc"
