#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/model/xmlparser.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Category names: the CATEGORIES entry of a project file and the "number
// name" list it points to. A bad list never stops an analysis from opening.
class TestCategoryNames : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    void write(const QString &name, const QByteArray &text)
    {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write fixture");
        f.write(text);
    }

    // A small result set named by a project file parsed like any other, with
    // `categories` as its CATEGORIES entry (none when empty).
    std::unique_ptr<CAData> project(const QByteArray &categories)
    {
        write("z.txt", "3 2\n1 2\n-1 0.5\n0 0\n");
        write("w.txt", "2 2\n1 1\n2 2\n");
        write("lambda.txt", "2\n0.5 0.25\n");
        write("labels.txt", "1 a.png\n2 b.png\n17 c.png\n");
        QByteArray xml = "<XML><BASE href='.'/><FILE name='Z' path='z.txt'/>"
                         "<FILE name='W' path='w.txt'/><FILE name='LAMBDA' path='lambda.txt'/>"
                         "<FILE name='LABEL' path='labels.txt'/>";
        if (!categories.isEmpty())
            xml += "<FILE name='CATEGORIES' path='" + categories + "'/>";
        xml += "</XML>";
        QBuffer buffer;
        buffer.setData(xml);
        XMLParser parser(dir.path());
        parser.parse(&buffer);
        return std::unique_ptr<CAData>(parser.data);
    }

private slots:
    void parserKeepsThePathAndReadResolvesIt()
    {
        write("categories.txt", "1 cats\n");
        Console::Capture capture;
        auto d = project("categories.txt");
        QCOMPARE(d->categoriesPath, QStringLiteral("categories.txt"));
        QVERIFY(capture.err().isEmpty());
        QVERIFY(d->read());
        QCOMPARE(d->categoriesPath, dir.filePath("categories.txt"));
        QCOMPARE(d->categoryNames.value(1), QStringLiteral("cats"));
    }

    void names_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("names"); // categoryName(1), (2), (17)
        QTest::addColumn<int>("warnings");
        QTest::newRow("plain") << QByteArray("1 cats\n2 dogs\n17 bicycles\n")
                               << QStringList{"cats", "dogs", "bicycles"} << 0;
        QTest::newRow("names with spaces, tabs, CRLF, UTF-8, BOM")
            << QByteArray("\xEF\xBB\xBF" "1\tred  panda \r\n2 caf\xC3\xA9 cr\xC3\xA8me\r\n\r\n")
            << QStringList{"red  panda", QString::fromUtf8("caf\xC3\xA9 cr\xC3\xA8me"), "#17"} << 0;
        QTest::newRow("no final line end") << QByteArray("17 last") << QStringList{"#1", "#2", "last"} << 0;
        QTest::newRow("empty file") << QByteArray() << QStringList{"#1", "#2", "#17"} << 0;
        QTest::newRow("malformed lines skipped, others kept")
            << QByteArray("one cats\n2\n 17 bikes\nx\n2 dogs\n")
            << QStringList{"#1", "dogs", "bikes"} << 3;
        QTest::newRow("later line wins") << QByteArray("1 a\n1 b\n") << QStringList{"b", "#2", "#17"} << 0;
        QTest::newRow("name too long") << QByteArray("1 " + QByteArray(300, 'n') + "\n2 ok\n")
                                       << QStringList{"#1", "ok", "#17"} << 1;
        // Three malformed lines, and the bytes that are not UTF-8 said once.
        QTest::newRow("binary garbage") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                                        << QStringList{"#1", "#2", "#17"} << 4;
        QTest::newRow("Latin-1, not UTF-8") << QByteArray("1 caf\xE9\n2 cr\xE8me\n17 ok\n")
                                            << QStringList{QStringLiteral("caf\uFFFD"), QStringLiteral("cr\uFFFDme"), "ok"} << 1;
    }
    void names()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, names);
        QFETCH(int, warnings);
        write("categories.txt", text);
        Console::Capture capture;
        auto d = project("categories.txt");
        QVERIFY(d->read());
        QCOMPARE((QStringList{d->categoryName(1), d->categoryName(2), d->categoryName(17)}), names);
        QCOMPARE(capture.err().size(), warnings);
        for (const QString &line : capture.err()) {
            QVERIFY2(line.startsWith("Warning: " + dir.filePath("categories.txt") + ", line "),
                     qPrintable(line));
        }
    }

    void warningNamesTheLine()
    {
        write("categories.txt", "1 cats\n\nabc dogs\n");
        Console::Capture capture;
        auto d = project("categories.txt");
        QVERIFY(d->read());
        QCOMPARE(capture.err(),
                 QStringList{"Warning: " + dir.filePath("categories.txt")
                             + ", line 3: 'abc' is not a category number; the line is ignored."});
    }

    // What cannot be seen is named: a byte-order mark inside the file (two
    // files put end to end), and text that is not UTF-8.
    void invisibleAndUndecodableAreSaid_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("warning");
        QTest::newRow("second byte-order mark")
            << QByteArray("\xEF\xBB\xBF" "1 a\n\xEF\xBB\xBF" "2 b\n")
            << QStringLiteral(", line 2: 'U+FEFF2' is not a category number; the line is ignored.");
        QTest::newRow("Latin-1 from line 3")
            << QByteArray("1 a\n2 b\n3 \xE9t\xE9\n4 \xFF\n")
            << QStringLiteral(", line 3: the text is not valid UTF-8 (2 line(s) in all); the bytes that "
                              "cannot be read are shown as U+FFFD. Save the file as UTF-8.");
    }

    void invisibleAndUndecodableAreSaid()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, warning);
        write("categories.txt", text);
        Console::Capture capture;
        auto d = project("categories.txt");
        QVERIFY(d->read());
        QCOMPARE(capture.err(), QStringList{"Warning: " + dir.filePath("categories.txt") + warning});
    }

    void missingFileStillOpens()
    {
        Console::Capture capture;
        auto d = project("absent.txt");
        QVERIFY(d->read());
        QVERIFY(d->categoryNames.isEmpty());
        QCOMPARE(d->categoryName(2), QStringLiteral("#2"));
        QCOMPARE(capture.err().size(), 1);
        QVERIFY(capture.err().at(0).startsWith(
            "Warning: cannot open the categories file '" + dir.filePath("absent.txt") + "'"));
    }

    void noEntryNoNames()
    {
        Console::Capture capture;
        auto d = project(QByteArray());
        QVERIFY(d->read());
        QVERIFY(d->categoriesPath.isEmpty());
        QVERIFY(d->categoryNames.isEmpty());
        QVERIFY(capture.err().isEmpty());
        QCOMPARE(d->categoryName(-3), QStringLiteral("#-3"));
    }

    void readingIsBounded()
    {
        // Far more than any category list: only the first megabyte is read,
        // at most 65536 names are kept and few warnings are written.
        QByteArray text;
        text.reserve(3 << 20);
        for (int i = 0; text.size() < (3 << 20); ++i)
            text += QByteArray::number(i) + " name" + QByteArray::number(i) + '\n';
        for (int i = 0; i < 100; ++i)
            text += "bad\n";
        write("categories.txt", text);
        Console::Capture capture;
        auto d = project("categories.txt");
        QVERIFY(d->read());
        QVERIFY(d->categoryNames.size() <= 65536);
        QCOMPARE(d->categoryNames.value(1), QStringLiteral("name1"));
        QVERIFY(capture.err().size() <= 3);
        QVERIFY(capture.err().at(0).contains("only the first 1048576 bytes"));

        // Many malformed lines: ten are named, then one line says the rest
        // are not reported.
        QByteArray bad;
        for (int i = 0; i < 500; ++i)
            bad += "bad\n";
        write("categories.txt", bad);
        Console::Capture again;
        auto e = project("categories.txt");
        QVERIFY(e->read());
        QCOMPARE(again.err().size(), 11);
        QVERIFY(again.err().last().contains("further malformed lines are not reported"));
    }
};

QTEST_GUILESS_MAIN(TestCategoryNames)
#include "tst_categorynames.moc"
