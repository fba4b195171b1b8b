// `ortelis --help` and options nobody takes: the program itself, run with no
// display at all.
#include "shell/commandlineusage.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

class TestCommandLineUsage : public QObject
{
    Q_OBJECT

private slots:
    void program_data();
    void program();
    void unknownOption_data();
    void unknownOption();
};

void TestCommandLineUsage::program_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("usage");      // the usage on standard output
    QTest::addColumn<QString>("errorLine"); // the one line on standard error, if any

    QTest::newRow("--help") << QStringList{"--help"} << 0 << true << QString();
    QTest::newRow("-h") << QStringList{"-h"} << 0 << true << QString();
    QTest::newRow("help after a mode") << QStringList{"--export-map", "x.svg", "--help"} << 0 << true
                                       << QString();
    QTest::newRow("help after a project") << QStringList{"p.xml", "--help"} << 0 << true << QString();
    QTest::newRow("unknown long") << QStringList{"--hepl"} << 1 << false
                                  << QStringLiteral("ortelis: unknown option '--hepl'");
    QTest::newRow("unknown short before a project") << QStringList{"-x", "p.xml"} << 1 << false
                                                    << QStringLiteral("ortelis: unknown option '-x'");
    QTest::newRow("unknown after a toolkit option")
        << QStringList{"-style", "fusion", "--size"} << 1 << false
        << QStringLiteral("ortelis: unknown option '--size'");
}

void TestCommandLineUsage::program()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(bool, usage);
    QFETCH(QString, errorLine);
    const QString program = qEnvironmentVariable("ORTELIS_BIN_DIR") + QStringLiteral("/ortelis");
    if (!QFileInfo::exists(program))
        QSKIP("the viewer is not built");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    QProcess run;
    run.setProcessEnvironment(env);
    run.start(program, arguments);
    QVERIFY(run.waitForFinished(30000));
    QCOMPARE(run.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.exitCode(), status);
    const QString out = QString::fromLocal8Bit(run.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(run.readAllStandardError());
    if (usage) {
        QVERIFY(err.isEmpty());
        // Every mode, and each of its options, as a user would look for it.
        const QStringList wanted{"--export-map", "--export-points", "--describe-axes",
                                 "--describe-category", "--clusters", "--describe-clusters",
                                 "--size", "--axes", "--top", "--count", "--dims", "--help"};
        for (const QString &option : wanted)
            QVERIFY2(out.contains(QRegularExpression(QStringLiteral("[ \\[]") + QRegularExpression::escape(option)
                                                     + QStringLiteral("[ \\]\n]"))),
                     qPrintable(option));
        QVERIFY(out.contains(QStringLiteral("ortelis [PROJECT.xml ...]")));
    } else {
        QVERIFY(out.isEmpty());
        const QStringList lines = err.trimmed().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith(errorLine), qPrintable(lines.first()));
    }
}

void TestCommandLineUsage::unknownOption_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("unknown");
    QTest::newRow("projects only") << QStringList{"a.xml", "b.xml"} << QString();
    QTest::newRow("toolkit options with values") << QStringList{"-platform", "xcb", "--style", "fusion", "a.xml"}
                                                 << QString();
    QTest::newRow("toolkit option with =") << QStringList{"-style=fusion", "-reverse", "a.xml"} << QString();
    // The value of a toolkit option is not an option of ours.
    QTest::newRow("value that looks like an option") << QStringList{"-qwindowtitle", "-x-"} << QString();
    QTest::newRow("a mode checks its own options") << QStringList{"--clusters", "o.csv", "--count", "4", "p.xml"}
                                                   << QString();
    QTest::newRow("first unknown named") << QStringList{"a.xml", "--zoom", "-q"} << QStringLiteral("--zoom");
    QTest::newRow("a toolkit flag takes no value") << QStringList{"-reverse", "--x"} << QStringLiteral("--x");
    QTest::newRow("lone dashes") << QStringList{"--"} << QStringLiteral("--");
}

void TestCommandLineUsage::unknownOption()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, unknown);
    QCOMPARE(CommandLineUsage::unknownOption(QStringList{"ortelis"} + arguments), unknown);
}

QTEST_MAIN(TestCommandLineUsage)
#include "tst_commandlineusage.moc"
