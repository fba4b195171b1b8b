// Every file the user points the viewer at (a session, a project, the folder
// an analysis is saved into, a categories file, a project a session names)
// is read without blocking: a FIFO, a device or a folder in its place is
// refused at once with a message naming it, instead of hanging the viewer or
// reading without end.
#include "data/model/console.h"
#include "document/analysissaver.h"
#include "shell/camainwindow.h"

#include "tests/document/documentfixture.h"
#include "tests/document/modalcloser.h"

#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Bounds a read that must not block. Past `limit` it opens the FIFO at
// `path` for writing and closes it again, which wakes a reader stuck in its
// open or read with an end of file, so that the test fails instead of
// hanging; a reader that still does not return (one reading a device without
// end) ends the test program.
class Watchdog
{
public:
    Watchdog(const QString &path, std::chrono::milliseconds limit)
        : m_path(QFile::encodeName(path).toStdString())
    {
        m_thread = std::thread([this, limit] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_wake.wait_for(lock, limit, [this] { return m_done; }))
                return;
            m_fired = true;
            const int fd = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
            if (!m_wake.wait_for(lock, std::chrono::seconds(10), [this] { return m_done; })) {
                std::fprintf(stderr, "FAIL: the read of %s did not return\n", m_path.c_str());
                std::_Exit(EXIT_FAILURE);
            }
        });
    }

    ~Watchdog() { stop(); }

    // Whether the read overran its limit.
    bool stop()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        return m_fired;
    }

private:
    std::string m_path;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    bool m_fired = false;
    std::thread m_thread;
};

// Puts something that is not a regular file at `path`.
bool makeOther(const QString &kind, const QString &path)
{
    QFile::remove(path);
    if (kind == QLatin1String("fifo"))
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (kind == QLatin1String("device"))
        return QFile::link(QStringLiteral("/dev/zero"), path);
    return QDir().mkpath(path);
}

} // namespace

class TestUserFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void notRegularFilesAreRefusedAtOnce_data();
    void notRegularFilesAreRefusedAtOnce();

private:
    QTemporaryDir m_dir;
};

void TestUserFiles::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestUserFiles::notRegularFilesAreRefusedAtOnce_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem");

    const QString fifo = QStringLiteral("it is a FIFO, not a regular file");
    const QString device = QStringLiteral("it is a character device, not a regular file");
    const QString folder = QStringLiteral("it is a folder, not a regular file");
    for (const QString &reader : {QStringLiteral("session"), QStringLiteral("project"),
                                 QStringLiteral("saved analysis"), QStringLiteral("categories"),
                                 QStringLiteral("session's project")}) {
        QTest::addRow("%s, FIFO", qPrintable(reader)) << reader << QStringLiteral("fifo") << fifo;
        QTest::addRow("%s, /dev/zero", qPrintable(reader)) << reader << QStringLiteral("device") << device;
        QTest::addRow("%s, folder", qPrintable(reader)) << reader << QStringLiteral("folder") << folder;
    }
}

void TestUserFiles::notRegularFilesAreRefusedAtOnce()
{
    QFETCH(QString, reader);
    QFETCH(QString, kind);
    QFETCH(QString, problem);

    const QString dir = m_dir.filePath(QString::number(qHash(QString::fromLatin1(QTest::currentDataTag()))));
    QVERIFY(QDir().mkpath(dir));
    QString bad;            // what is not a regular file
    QString project;        // a sound project, where the reader needs one
    if (reader == QLatin1String("session")) {
        bad = dir + QStringLiteral("/work.json");
    } else if (reader == QLatin1String("project")) {
        bad = dir + QStringLiteral("/project.xml");
    } else if (reader == QLatin1String("saved analysis")) {
        // The folder chosen to save into holds a project.xml that is not one.
        bad = AnalysisSaver::projectFile(dir + QStringLiteral("/saved"));
        QVERIFY(QDir().mkpath(dir + QStringLiteral("/saved")));
    } else if (reader == QLatin1String("categories")) {
        DocumentFixture::Options options;
        options.categoriesName = QStringLiteral("names.txt");
        project = DocumentFixture::writeProject(dir, options);
        bad = dir + QStringLiteral("/names.txt");
    } else {
        bad = dir + QStringLiteral("/project.xml");
        project = dir + QStringLiteral("/work.json");
        QVERIFY(DocumentFixture::writeFile(project,
            "{\"format\": \"ortelis-session\", \"version\": 1, \"windows\": ["
            "{\"project\": \"project.xml\", \"name\": \"project.xml\"}]}"));
    }
    QVERIFY(makeOther(kind, bad));

    Console::Capture capture;
    ModalCloser closer;
    CAMainWindow main;
    QStringList messages;
    Watchdog watchdog(bad, std::chrono::seconds(5));
    if (reader == QLatin1String("session")) {
        QStringList missing;
        QString error;
        QVERIFY(!main.openSessionFrom(bad, &missing, &error));
        messages << error;
    } else if (reader == QLatin1String("project")) {
        QVERIFY(!main.open(bad));
    } else if (reader == QLatin1String("saved analysis")) {
        QString why;
        QCOMPARE(AnalysisSaver::check(QFileInfo(bad).path(), &why), AnalysisSaver::Refused);
        messages << why;
    } else if (reader == QLatin1String("categories")) {
        // Names are a convenience: the analysis opens all the same.
        QVERIFY(main.open(project));
    } else {
        QStringList missing;
        QString error;
        QVERIFY2(main.openSessionFrom(project, &missing, &error), qPrintable(error));
        QCOMPARE(missing.size(), 1);
        messages << missing;
    }
    QVERIFY2(!watchdog.stop(), qPrintable(QStringLiteral("the read of %1 blocked").arg(bad)));
    messages << capture.err();

    // One message names the file and says what it is.
    const QStringList named = messages.filter(QDir::cleanPath(bad));
    QVERIFY2(!named.isEmpty(), qPrintable(messages.join(QLatin1Char('\n'))));
    QVERIFY2(named.join(QLatin1Char('\n')).contains(problem), qPrintable(named.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestUserFiles)
#include "tst_userfiles.moc"
