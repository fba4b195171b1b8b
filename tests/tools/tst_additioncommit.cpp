// Additions of images to a project as the file system and the machine
// make them: two at once, where the second is refused naming the run that
// holds the project; and a run killed at each rename of its commit, after
// which the viewer names a mixed set instead of opening it, and the next
// addition completes the interrupted one or rolls it back, so that the set
// is again of one piece (table, list, coordinates and keypoint files of the
// same images) and holds every image of the additions that finished.
#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/model/xmlparser.h"
#include "tools/democollection.h"
#include "tools/indexer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/resource.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList lines(const QString &path)
{
    return QString::fromUtf8(readAll(path)).split('\n', Qt::SkipEmptyParts);
}

QString program(const char *name)
{
    return QDir(qEnvironmentVariable("ORTELIS_BIN_DIR", QCoreApplication::applicationDirPath())).filePath(name);
}

// The supplementary set as its files have it: the images named, and the
// rows of the table, of the coordinates and of the keypoint list.
struct Set
{
    QStringList images;
    int tableRows = -1, coordinateRows = -1, keypointFiles = -1;
    bool whole() const
    {
        return tableRows == images.size() && coordinateRows == images.size() && keypointFiles == images.size();
    }
};

Set setIn(const QString &out)
{
    Set s;
    for (const QString &line : lines(out + "images-sup.txt"))
        s.images << line.section(' ', 1);
    s.tableRows = readAll(out + "table-sup.txt").split('\n').value(0).split(' ').value(0).toInt();
    s.coordinateRows = readAll(out + "table-sup.txt_ZSup.txt").split('\n').value(0).split(' ').value(0).toInt();
    const QStringList keypoints = lines(out + "keypoints-sup.txt");
    s.keypointFiles = keypoints.value(0).toInt();
    for (const QString &name : keypoints.mid(1))
        if (!QFileInfo::exists(out + name))
            s.keypointFiles = -1; // named but missing
    return s;
}

// A list file of new drawings `names` (category 1), under `folder`.
QString drawings(const QString &folder, const QStringList &names, int seed)
{
    QDir().mkpath(folder);
    QByteArray list;
    for (int k = 0; k < names.size(); ++k) {
        DemoCollection(1, 128, seed).draw(k).save(QDir(folder).filePath(names[k]));
        // Paths relative to the list file, beside the folder.
        list += "1 " + QFileInfo(folder).fileName().toUtf8() + '/' + names[k].toUtf8() + '\n';
    }
    const QString path = folder + ".txt";
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(list);
    return path;
}

bool add(const QString &project, const QString &input, QString *error)
{
    IndexOptions o;
    o.addTo = project;
    o.input = input;
    o.jobs = 1;
    o.quiet = true;
    Indexer adding(o);
    return adding.addTo(error);
}

// The program adding `input` to `project`, its renames slowed or cut short.
void start(QProcess &run, const QString &project, const QString &input, const QString &variable,
           const QString &value)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_PRELOAD", QStringLiteral(ORTELIS_RENAMESTOP));
    env.insert(variable, value);
    run.setProcessEnvironment(env);
    run.start(program("ortelis-index"), {"--add-to", project, "--jobs", "1", "--quiet", input});
}

} // namespace

class TestAdditionCommit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void secondAdditionIsRefused();
    void interruptedCommit_data();
    void interruptedCommit();
    void additionsWithinAnAddressSpace_data();
    void additionsWithinAnAddressSpace();

private:
    // A solved project with one earlier addition of two images.
    QTemporaryDir *m_dir = nullptr;
    QString m_out, m_project;
    QStringList m_earlier;
};

void TestAdditionCommit::initTestCase()
{
    if (!QFileInfo(program("ca.exe")).isExecutable() || !QFileInfo(program("ortelis-index")).isExecutable())
        QFAIL("ca.exe and ortelis-index are needed");
}

void TestAdditionCommit::init()
{
    delete m_dir;
    m_dir = new QTemporaryDir;
    QString error;
    QVERIFY2(DemoCollection(1, 128, 7).write(m_dir->filePath("in"), 2, &error), qPrintable(error));
    IndexOptions o;
    o.input = m_dir->filePath("in");
    o.output = m_dir->filePath("out");
    o.words = 16;
    o.colourWords = 6;
    o.maxKeypoints = 40;
    o.workSide = 128;
    o.axes = 3;
    o.jobs = 2;
    o.quiet = true;
    o.solve = true;
    o.solver = program("ca.exe");
    Indexer first(o);
    QVERIFY2(first.run(&error), qPrintable(error));
    m_out = m_dir->filePath("out/");
    m_project = m_out + "project.xml";
    QVERIFY2(add(m_project, drawings(m_dir->filePath("e"), {"e0.png", "e1.png"}, 11), &error), qPrintable(error));
    m_earlier = setIn(m_out).images;
    QCOMPARE(m_earlier.size(), 2);
}

// A second addition while one is in its commit (slowed, as on a network
// file system) is refused, naming the run that holds the project, and
// changes nothing; once that run is gone (killed), the next one proceeds.
void TestAdditionCommit::secondAdditionIsRefused()
{
    const QString a = drawings(m_dir->filePath("a"), {"a0.png", "a1.png", "a2.png"}, 21);
    QProcess first;
    start(first, m_project, a, "ORTELIS_TEST_SLOW_RENAME", "600000");
    QVERIFY(first.waitForStarted());
    // In its commit once its copy of the project is kept.
    QTRY_VERIFY_WITH_TIMEOUT(!QDir(m_out).entryList({".ortelis-index-*"}, QDir::Dirs | QDir::Hidden).isEmpty()
                                 && QFileInfo::exists(QDir(m_out).filePath(
                                     QDir(m_out).entryList({".ortelis-index-*"}, QDir::Dirs | QDir::Hidden).first()
                                     + "/previous/project.previous")),
                             120000);
    const QByteArray before = readAll(m_out + "table-sup.txt");
    QString error;
    QVERIFY(!add(m_project, drawings(m_dir->filePath("b"), {"b0.png"}, 31), &error));
    QVERIFY2(error.contains("being added to the project") && error.contains(m_project), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("process %1 ").arg(first.processId())), qPrintable(error));
    QCOMPARE(readAll(m_out + "table-sup.txt"), before);

    first.kill();
    QVERIFY(first.waitForFinished());
    QVERIFY2(add(m_project, drawings(m_dir->filePath("c"), {"c0.png"}, 41), &error), qPrintable(error));
    const Set s = setIn(m_out);
    QVERIFY(s.whole());
    QCOMPARE(s.images, m_earlier + QStringList{"../c/c0.png"});
}

void TestAdditionCommit::interruptedCommit_data()
{
    // The renames of an addition's commit, in their order: the record of
    // the set, the keypoint files, the set's files, the project file. Cut
    // short between the first and the last, the set is mixed.
    QTest::addColumn<QString>("killAt");
    QTest::addColumn<bool>("mixed");
    QTest::addColumn<bool>("kept"); // the killed addition's images are there in the end
    QTest::newRow("the record") << "supplementary-set.txt" << false << false;
    QTest::newRow("a keypoint file") << "keypoints-sup/" << true << true;
    QTest::newRow("the table") << "table-sup.txt" << true << true;
    QTest::newRow("the image list") << "images-sup.txt" << true << true;
    QTest::newRow("the keypoint list") << "keypoints-sup.txt" << true << true;
    QTest::newRow("the skipped list") << "skipped-sup.txt" << true << true;
    QTest::newRow("the log") << "index-sup.log" << true << true;
    QTest::newRow("the coordinates") << "table-sup.txt_ZSup.txt" << true << true;
    QTest::newRow("the project file") << "project.xml" << false << true;
}

void TestAdditionCommit::interruptedCommit()
{
    QFETCH(QString, killAt);
    QFETCH(bool, mixed);
    QFETCH(bool, kept);
    const QStringList added = {"../a/a0.png", "../a/a1.png", "../a/a2.png"};
    QProcess killed;
    start(killed, m_project, drawings(m_dir->filePath("a"), {"a0.png", "a1.png", "a2.png"}, 21),
          "ORTELIS_TEST_KILL_AT", killAt);
    QVERIFY(killed.waitForFinished(300000));
    QCOMPARE(killed.exitStatus(), QProcess::CrashExit);

    // The viewer: every supplementary image with its own name, or none
    // and the reason.
    const Set left = setIn(m_out);
    {
        Console::Capture capture;
        XMLParser parser(m_dir->filePath("out"));
        QFile file(m_project);
        QVERIFY(parser.parse(&file));
        std::unique_ptr<CAData> data(parser.data);
        QVERIFY(data->read());
        const QString err = capture.err().join('\n');
        if (mixed) {
            QCOMPARE(data->nbSupImages, 0);
            QVERIFY2(err.contains("that addition was interrupted"), qPrintable(err));
        } else {
            QVERIFY(left.whole());
            QCOMPARE(left.images, kept ? m_earlier + added : m_earlier);
            QCOMPARE(data->nbSupImages, left.images.size());
        }
    }

    // The next addition puts the set right first, then adds its own.
    QString error;
    QVERIFY2(add(m_project, drawings(m_dir->filePath("c"), {"c0.png"}, 41), &error), qPrintable(error));
    const Set s = setIn(m_out);
    QVERIFY2(s.whole(), qPrintable(QStringLiteral("%1 images, %2 rows, %3 coordinates, %4 keypoint files")
                                       .arg(s.images.size()).arg(s.tableRows).arg(s.coordinateRows)
                                       .arg(s.keypointFiles)));
    QCOMPARE(s.images, (kept ? m_earlier + added : m_earlier) + QStringList{"../c/c0.png"});
    // Nothing of the killed run is left behind.
    const QStringList leftovers = QDir(m_out).entryList({".ortelis-index-*"}, QDir::AllEntries | QDir::Hidden);
    QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(", ")));
    // And the viewer opens all of it.
    Console::Capture capture;
    XMLParser parser(m_dir->filePath("out"));
    QFile file(m_project);
    QVERIFY(parser.parse(&file));
    std::unique_ptr<CAData> data(parser.data);
    QVERIFY(data->read());
    QCOMPARE(data->nbSupImages, s.images.size());
    QVERIFY2(!capture.err().join('\n').contains("interrupted"), qPrintable(capture.err().join('\n')));
}

void TestAdditionCommit::additionsWithinAnAddressSpace_data()
{
    QTest::addColumn<qint64>("limit");
    QTest::newRow("1.5 GB") << (qint64(1536) << 20);
    QTest::newRow("2 GB") << (qint64(2048) << 20);
}

// Two more additions to the project, as the program, under an address
// space limit (ulimit -v): the earlier set's files, a few kilobytes, are
// read in what they take, not in buffers of their largest size.
void TestAdditionCommit::additionsWithinAnAddressSpace()
{
    QFETCH(qint64, limit);
    for (const char *name : {"a", "b"}) {
        QProcess run;
        run.setChildProcessModifier([limit] {
            rlimit l{rlim_t(limit), rlim_t(limit)};
            ::setrlimit(RLIMIT_AS, &l);
        });
        const QString input = drawings(m_dir->filePath(name), {QStringLiteral("%1.png").arg(QLatin1String(name))}, 51);
        run.start(program("ortelis-index"), {"--add-to", m_project, "--jobs", "1", "--quiet", input});
        QVERIFY(run.waitForFinished(300000));
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0,
                 run.readAllStandardError().constData());
    }
    const Set s = setIn(m_out);
    QVERIFY(s.whole());
    QCOMPARE(s.images, (m_earlier + QStringList{"../a/a.png", "../b/b.png"}));
}

QTEST_MAIN(TestAdditionCommit)
#include "tst_additioncommit.moc"
