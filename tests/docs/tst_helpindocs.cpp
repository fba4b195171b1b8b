// Keeps the manual honest: every option a program's --help prints is
// described in docs/manual.md, so that an option added to a program without a
// word in the manual fails here.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

namespace {

// The long options a text names ("--grid", "--add-to"), in order, once each.
QStringList longOptions(const QString &text)
{
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--[a-z][a-z0-9-]*"));
    QStringList found;
    auto it = option.globalMatch(text);
    while (it.hasNext()) {
        const QString name = it.next().captured(0);
        if (!found.contains(name))
            found << name;
    }
    return found;
}

// The options of `options` that `doc` never names as a whole option ("--grid"
// inside "--grid-scales" does not count).
QStringList missingFrom(const QString &doc, const QStringList &options)
{
    const QStringList named = longOptions(doc);
    const QSet<QString> present(named.cbegin(), named.cend());
    QStringList missing;
    for (const QString &o : options)
        if (!present.contains(o))
            missing << o;
    return missing;
}

QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

class HelpInDocs : public QObject
{
    Q_OBJECT

private slots:
    void checker_data();
    void checker();
    void programOptionsInManual_data();
    void programOptionsInManual();
};

// The comparison itself, on texts whose answer is known.
void HelpInDocs::checker_data()
{
    QTest::addColumn<QString>("help");
    QTest::addColumn<QString>("doc");
    QTest::addColumn<QStringList>("missing");

    QTest::newRow("all named") << "  --words N  size\n  --solve  run" << "`--solve` and `--words N`"
                               << QStringList();
    QTest::newRow("one left out") << "--words N\n--seed N\n" << "| `--words N` |" << QStringList{"--seed"};
    QTest::newRow("a longer option does not name a shorter one")
        << "--grid N\n--grid-scales N" << "`--grid-scales N`" << QStringList{"--grid"};
    QTest::newRow("a program name is no option") << "ortelis-index --help" << "`--help`" << QStringList();
    QTest::newRow("a bare double dash is no option") << "a -- b" << "" << QStringList();
}

void HelpInDocs::checker()
{
    QFETCH(QString, help);
    QFETCH(QString, doc);
    QFETCH(QStringList, missing);
    QCOMPARE(missingFrom(doc, longOptions(help)), missing);
}

void HelpInDocs::programOptionsInManual_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("ortelis-index") << "ortelis-index";
    QTest::newRow("ca.exe") << "ca.exe";
    QTest::newRow("ortelis") << "ortelis";
}

void HelpInDocs::programOptionsInManual()
{
    QFETCH(QString, program);
    const QString manualPath = QStringLiteral(ORTELIS_SOURCE_DIR "/docs/manual.md");
    const QString manual = readText(manualPath);
    QVERIFY2(!manual.isEmpty(), qPrintable(manualPath + QStringLiteral(" cannot be read")));

    const QString bin = qEnvironmentVariable("ORTELIS_BIN_DIR");
    QVERIFY2(!bin.isEmpty(), "ORTELIS_BIN_DIR is not set");
    QProcess process;
    process.start(bin + QLatin1Char('/') + program, {QStringLiteral("--help")});
    QVERIFY2(process.waitForStarted(), qPrintable(program + QStringLiteral(" does not start")));
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        QSKIP(qPrintable(program + QStringLiteral(" does not answer --help")));
    }
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QStringList options = longOptions(help);
    QVERIFY2(!options.isEmpty(), qPrintable(program + QStringLiteral(" --help names no option")));
    const QStringList missing = missingFrom(manual, options);
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("%1 --help prints options docs/manual.md does not describe: %2")
                                               .arg(program, missing.join(QStringLiteral(", ")))));
}

QTEST_GUILESS_MAIN(HelpInDocs)
#include "tst_helpindocs.moc"
