// Figures from the command line: the map as SVG or PNG at the size asked,
// fitted, titled and coloured as a new window shows it; the points as CSV;
// one line and status 1 for anything wrong. Run in this process, and as the
// program itself without a display.
#include "shell/commandlineexport.h"

#include "tests/document/documentfixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The box holding the strongly coloured pixels (the category-coloured
// image marks; axes, titles and the white ground are grey or black).
QRect colouredBox(const QImage &image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int hi = std::max({c.red(), c.green(), c.blue()});
            const int lo = std::min({c.red(), c.green(), c.blue()});
            if (hi - lo > 90)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

} // namespace

class TestCommandLineExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exports_data();
    void exports();
    void failures_data();
    void failures();
    void programWithoutDisplay();
    void outputsThatAreNotFiles_data();
    void outputsThatAreNotFiles();

private:
    QTemporaryDir m_dir;
    QString m_project;
};

void TestCommandLineExport::initTestCase()
{
    QVERIFY(m_dir.isValid());
    DocumentFixture::useScratchFolders(m_dir.path());
    DocumentFixture::Options o;
    o.axes = 4;
    m_project = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("p")), o);
}

void TestCommandLineExport::exports_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("svg, default size") << QStringList{} << QStringLiteral("map.svg") << QSize(1200, 900)
                                       << QStringList{"Axis 1", "Axis 2"};
    QTest::newRow("png, size and axes") << QStringList{"--size", "640x480", "--axes", "3,2"}
                                        << QStringLiteral("map.png") << QSize(640, 480) << QStringList{};
    QTest::newRow("svg, axes 2 and 4") << QStringList{"--axes", "2,4"} << QStringLiteral("a24.svg")
                                       << QSize(1200, 900) << QStringList{"Axis 2", "Axis 4"};
}

void TestCommandLineExport::exports()
{
    QFETCH(QStringList, options);
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QFETCH(QStringList, titles);
    const QString out = m_dir.filePath(file);
    const QString csv = m_dir.filePath(file + QStringLiteral(".csv"));
    QString error;
    const QStringList args = QStringList{"ortelis", "--export-map", out, "--export-points", csv} + options
        + QStringList{m_project};
    QCOMPARE(CommandLineExport::run(args, &error), 0);
    QVERIFY(error.isEmpty());

    // One row per image and word of the fixture (60 + 60), after the header.
    const QList<QByteArray> rows = readAll(csv).trimmed().split('\n');
    QCOMPARE(rows.size(), 1 + 60 + 60);

    QImage picture;
    if (file.endsWith(QLatin1String(".svg"))) {
        const QByteArray svg = readAll(out);
        QVERIFY(svg.contains(QByteArray("width=\"") + QByteArray::number(size.width())));
        for (const QString &t : titles)
            QVERIFY2(svg.contains(t.toUtf8()), qPrintable(t));
        // Drawn at its pixel size (its own size is given in millimetres).
        QImageReader reader(out);
        reader.setScaledSize(size);
        picture = reader.read();
    } else {
        QVERIFY(picture.load(out));
    }
    QCOMPARE(picture.size(), size);
    // Fitted: the coloured marks lie inside the figure and fill a good part
    // of it, as in a new window (a map left at its initial scale does not).
    const QRect marks = colouredBox(picture.convertToFormat(QImage::Format_RGB32));
    QVERIFY(!marks.isEmpty());
    QVERIFY2(marks.width() > size.width() / 4 || marks.height() > size.height() / 4,
             qPrintable(QStringLiteral("%1 %2").arg(marks.width()).arg(marks.height())));
    QVERIFY(QRect(QPoint(0, 0), size).contains(marks));
}

void TestCommandLineExport::failures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("said");
    QTest::newRow("no such project") << QStringList{"--export-map", "x.svg", "nowhere/project.xml"}
                                     << QStringLiteral("cannot open the project 'nowhere/project.xml'");
    QTest::newRow("not a figure format") << QStringList{"--export-map", "x.pdf", "p.xml"}
                                         << QStringLiteral("writes a .svg or a .png file");
    QTest::newRow("bad size") << QStringList{"--export-map", "x.png", "--size", "12", "p.xml"}
                              << QStringLiteral("--size takes WIDTHxHEIGHT");
    QTest::newRow("axis beyond") << QStringList{"--export-points", "x.csv", "--axes", "1,9", "PROJECT"}
                                 << QStringLiteral("has axes 1 to 4");
    QTest::newRow("no project") << QStringList{"--export-points", "x.csv"} << QStringLiteral("no project file");
    QTest::newRow("unknown option") << QStringList{"--export-map", "x.svg", "--fast", "p.xml"}
                                    << QStringLiteral("unknown option '--fast'");
}

void TestCommandLineExport::failures()
{
    QFETCH(QStringList, args);
    QFETCH(QString, said);
    args.replaceInStrings(QStringLiteral("PROJECT"), m_project);
    QString error;
    QCOMPARE(CommandLineExport::run(QStringList{"ortelis"} + args, &error), 1);
    QVERIFY2(error.contains(said), qPrintable(error));
    QVERIFY(!error.contains(QLatin1Char('\n')));
}

// The program itself, with no display at all: exit status and one line.
void TestCommandLineExport::programWithoutDisplay()
{
    const QString program = qEnvironmentVariable("ORTELIS_BIN_DIR") + QStringLiteral("/ortelis");
    if (!QFileInfo::exists(program))
        QSKIP("the viewer is not built");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    QProcess run;
    run.setProcessEnvironment(env);
    const QString out = m_dir.filePath(QStringLiteral("cli.png"));
    run.start(program, {"--export-map", out, "--size", "400x300", m_project});
    QVERIFY(run.waitForFinished(60000));
    QCOMPARE(run.exitCode(), 0);
    QCOMPARE(QImage(out).size(), QSize(400, 300));

    run.start(program, {"--export-map", out, m_dir.filePath(QStringLiteral("absent.xml"))});
    QVERIFY(run.waitForFinished(60000));
    QCOMPARE(run.exitCode(), 1);
    const QList<QByteArray> lines = run.readAllStandardError().trimmed().split('\n');
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith("ortelis: cannot open the project"), lines.first().constData());
}

void TestCommandLineExport::outputsThatAreNotFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("command"); // OUT stands for the output
    const QStringList commands[] = {{"--export-points", "OUT"},
                                    {"--export-map", "OUT"},
                                    {"--describe-axes", "OUT"}};
    const char *names[] = {"points", "map", "axes"};
    for (const char *kind : {"FIFO", "socket"})
        for (int c = 0; c < 3; ++c)
            QTest::newRow(qPrintable(QStringLiteral("%1 as %2").arg(QLatin1String(kind), QLatin1String(names[c]))))
                << QString::fromLatin1(kind) << commands[c];
}

// An output that exists and is not a regular file is refused, naming what
// it is, and is still there afterwards as it was: the result is never
// renamed over it. Run as the program, whose error line is the one a
// script reads.
void TestCommandLineExport::outputsThatAreNotFiles()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, command);
    const QString program = qEnvironmentVariable("ORTELIS_BIN_DIR") + QStringLiteral("/ortelis");
    QVERIFY2(QFileInfo::exists(program), qPrintable(program));
    QTemporaryDir dir;
    // A name the map accepts (.svg) for every command.
    const QString out = dir.filePath(QStringLiteral("out.svg"));
    const QByteArray name = QFile::encodeName(out);
    int sock = -1;
    if (kind == QLatin1String("FIFO")) {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    } else {
        sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(sock >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        QVERIFY(size_t(name.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        QCOMPARE(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    }
    command.replaceInStrings(QStringLiteral("OUT"), out);
    QProcess run;
    run.start(program, command + QStringList{m_project});
    QVERIFY(run.waitForFinished(60000));
    if (sock >= 0)
        ::close(sock);
    QCOMPARE(run.exitCode(), 1);
    const QByteArray said = run.readAllStandardError();
    QVERIFY2(said.contains(QStringLiteral("it is a %1, not a regular file").arg(kind).toUtf8()), said.constData());
    QVERIFY2(said.contains(name), said.constData());
    struct stat st;
    QCOMPARE(::lstat(name.constData(), &st), 0);
    QCOMPARE(kind == QLatin1String("FIFO") ? S_ISFIFO(st.st_mode) : S_ISSOCK(st.st_mode), true);
    // Nothing is left beside it either.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(), 1);
}

QTEST_MAIN(TestCommandLineExport)
#include "tst_commandlineexport.moc"
