#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/model/xmlparser.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestXmlParser : public QObject
{
    Q_OBJECT

    // Parses `xml` as if it were a project in /projects/demo.
    std::unique_ptr<CAData> parse(const QByteArray &xml, bool *ok = nullptr)
    {
        QBuffer buffer;
        buffer.setData(xml);
        XMLParser parser(QStringLiteral("/projects/demo"));
        const bool parsed = parser.parse(&buffer);
        if (ok)
            *ok = parsed;
        return std::unique_ptr<CAData>(parser.data);
    }

private slots:
    void fullProjectConsoleLines()
    {
        Console::Capture capture;
        const QByteArray xml =
            "<XML>\n<BASE href='results'/>\n<AXIS number='10'/>\n"
            "<FILE name='F' path='table.txt'/>\n<FILE name='Z' path='table.txt_Z.txt'/>\n"
            "<FILE name='W' path='table.txt_W.txt'/>\n<FILE name='P' path='table.txt_P.txt'/>\n"
            "<FILE name='Q' path='table.txt_Q.txt'/>\n<FILE name='LAMBDA' path='table.txt_Lambda.txt'/>\n"
            "<FILE name='LABEL' path='images.txt'/>\n<FILE name='DESCRIPTOR' path='keypoints.txt'/>\n</XML>\n";
        auto data = parse(xml);
        QStringList expected{"XML parser base = /projects/demo", "Parsing...", "XML", "BASE",
                             "base = /projects/demo/results", "AXIS"};
        for (int i = 0; i < 8; ++i)
            expected << "FILE";
        expected << "Finished !";
        QCOMPARE(capture.all(), expected);
        QVERIFY(data);
        QCOMPARE(data->baseDir, QStringLiteral("/projects/demo/results"));
        QCOMPARE(data->nbAxis, 10);
        QCOMPARE(data->fileF, QStringLiteral("table.txt"));
        QCOMPARE(data->fileZ, QStringLiteral("table.txt_Z.txt"));
        QCOMPARE(data->fileW, QStringLiteral("table.txt_W.txt"));
        QCOMPARE(data->fileP, QStringLiteral("table.txt_P.txt"));
        QCOMPARE(data->fileQ, QStringLiteral("table.txt_Q.txt"));
        QCOMPARE(data->fileLambda, QStringLiteral("table.txt_Lambda.txt"));
        QCOMPARE(data->fileLabel, QStringLiteral("images.txt"));
        QCOMPARE(data->fileDescriptor, QStringLiteral("keypoints.txt"));
        QVERIFY(data->identityLabels);
    }

    void axisNumber_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<int>("axes");
        QTest::newRow("zero") << QByteArray("<XML><Axis number='0'/></XML>") << 1;
        QTest::newRow("negative") << QByteArray("<XML><AXIS number='-4'/></XML>") << 1;
        QTest::newRow("text") << QByteArray("<XML><AXIS number='x'/></XML>") << 1;
        QTest::newRow("missing attribute") << QByteArray("<XML><AXIS/></XML>") << 1;
        QTest::newRow("three") << QByteArray("<XML><axis number='3'/></XML>") << 3;
        QTest::newRow("no AXIS") << QByteArray("<XML/>") << 0;
    }
    void axisNumber()
    {
        QFETCH(QByteArray, xml);
        QFETCH(int, axes);
        Console::Capture capture;
        QCOMPARE(parse(xml)->nbAxis, axes);
    }

    void fileNameRules_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("lambda");
        QTest::addColumn<QString>("z");
        QTest::newRow("lower-case element and name") << QByteArray("<XML><file name='lambda' path='l.txt'/></XML>")
                                                     << "l.txt" << "";
        QTest::newRow("attribute names are exact") << QByteArray("<XML><FILE Name='Z' path='z.txt'/></XML>")
                                                   << "" << "";
        QTest::newRow("second Z wins") << QByteArray("<XML><FILE name='Z' path='a'/><FILE name='z' path='b'/></XML>")
                                       << "" << "b";
        QTest::newRow("unknown name ignored") << QByteArray("<XML><FILE name='X' path='x.txt'/></XML>")
                                              << "" << "";
    }
    void fileNameRules()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, lambda);
        QFETCH(QString, z);
        Console::Capture capture;
        auto data = parse(xml);
        QCOMPARE(data->fileLambda, lambda);
        QCOMPARE(data->fileZ, z);
        QVERIFY(capture.err().isEmpty());
    }

    void baseResolution_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("base");
        QTest::newRow("relative") << QByteArray("<XML><BASE href='r/s'/></XML>") << "/projects/demo/r/s";
        QTest::newRow("absolute") << QByteArray("<XML><BASE href='/data/x'/></XML>") << "/data/x";
        QTest::newRow("empty") << QByteArray("<XML><BASE href=''/></XML>") << "/projects/demo";
        QTest::newRow("none") << QByteArray("<XML/>") << "";
        QTest::newRow("after FILE") << QByteArray("<XML><FILE name='Z' path='z'/><base href='up'/></XML>")
                                    << "/projects/demo/up";
    }
    void baseResolution()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, base);
        Console::Capture capture;
        QCOMPARE(parse(xml)->baseDir, base);
    }

    void unknownTagWarnsAndGoesOn()
    {
        Console::Capture capture;
        auto data = parse("<PROJECT><AXIS number='2'/><FILE name='F' path='t.txt'/></PROJECT>");
        QCOMPARE(capture.err(), QStringList{"Waring: unknown tag 'PROJECT'"});
        QCOMPARE(data->nbAxis, 2);
        QCOMPARE(data->fileF, QStringLiteral("t.txt"));
    }

    void malformedKeepsWhatCameBefore()
    {
        Console::Capture capture;
        bool ok = true;
        auto data = parse("<XML><AXIS number='4'/><FILE name='F' path='t.txt'/><FILE name='Z'", &ok);
        QVERIFY(!ok);
        QCOMPARE(data->nbAxis, 4);
        QCOMPARE(data->fileF, QStringLiteral("t.txt"));
        QVERIFY(!capture.out().contains("Finished !"));
    }

    void unreadableFileStillStartsDocument()
    {
        Console::Capture capture;
        QFile missing(QStringLiteral("/nonexistent/project.xml"));
        XMLParser parser(QStringLiteral("/nonexistent"));
        QVERIFY(!parser.parse(&missing));
        QVERIFY(parser.data);
        QCOMPARE(parser.data->nbAxis, 0);
        QVERIFY(parser.data->fileZ.isEmpty());
        QCOMPARE(capture.out(), (QStringList{"XML parser base = /nonexistent", "Parsing..."}));
        delete parser.data;
    }
};

QTEST_GUILESS_MAIN(TestXmlParser)
#include "tst_xmlparser.moc"
