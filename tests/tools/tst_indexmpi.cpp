// ortelis-index-mpi under mpirun against ortelis-index on the same images and
// options: with the same seed the index is the same, file for file, with one
// process and with several (ORTELIS_MPI_RANKS; CTest runs 2 and 3). Only
// index.log differs, as it holds the run's timings.
#include "tests/mpilauncher.h"

#include "tools/democollection.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using MpiLauncher::binDir;
using MpiLauncher::ranks;
using MpiLauncher::Run;
using MpiLauncher::run;

// Every file under `root`, relative, sorted.
QStringList files(const QString &root)
{
    QStringList names;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(root).relativeFilePath(it.next());
    names.sort();
    return names;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestIndexMpi : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sameIndexAsOneProcess_data();
    void sameIndexAsOneProcess();
    void refusesOnce();

private:
    QTemporaryDir m_dir;
    QString m_images;
};

void TestIndexMpi::initTestCase()
{
    QVERIFY2(QFileInfo(binDir() + "/ortelis-index-mpi").isExecutable(), qPrintable(binDir()));
    QVERIFY(m_dir.isValid());
    m_images = m_dir.filePath("images");
    QString error;
    // 18 images in six categories, and two that are left out of the table.
    const DemoCollection demo(3, 160, 11);
    QVERIFY2(demo.write(m_images, 2, &error), qPrintable(error));
    const QString firstFolder = m_images + '/' + QFileInfo(demo.relativePath(0)).path();
    const QString secondFolder = m_images + '/' + QFileInfo(demo.relativePath(3)).path();
    QFile broken(firstFolder + "/broken.png");
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not an image at all");
    broken.close();
    QImage flat(96, 96, QImage::Format_RGB32);
    flat.fill(Qt::gray);
    QVERIFY(flat.save(secondFolder + "/flat.png"));
}

void TestIndexMpi::sameIndexAsOneProcess_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::newRow("plain") << QStringList{"--words", "24", "--max-keypoints", "80", "--seed", "5"};
    QTest::newRow("rootsift, colour words, grid")
        << QStringList{"--words", "16", "--max-keypoints", "60", "--seed", "9", "--rootsift", "--colour-words", "6",
                       "--grid", "40"};
    QTest::newRow("k-d tree search") << QStringList{"--words", "30", "--max-keypoints", "60", "--search-checks", "8"};
}

void TestIndexMpi::sameIndexAsOneProcess()
{
    QFETCH(QStringList, options);
    options << "--jobs" << "1" << "--quiet";

    QTemporaryDir out;
    const QString single = out.filePath("single");
    const Run a = run(binDir() + "/ortelis-index", options + QStringList{m_images, single});
    QVERIFY2(a.exitCode == 0, qPrintable(a.err));
    const QStringList expected = files(single);
    QVERIFY(expected.contains("project.xml"));
    QVERIFY(expected.contains("table.txt"));

    for (int np : {1, ranks()}) {
        const QString spread = out.filePath(QString("np%1").arg(np));
        const Run b = MpiLauncher::runMpi(QStringLiteral("ortelis-index-mpi"), np,
                                          options + QStringList{m_images, spread});
        QVERIFY2(b.exitCode == 0, qPrintable(b.err));
        QCOMPARE(files(spread), expected);
        for (const QString &name : expected) {
            if (name == "index.log")
                continue;
            QVERIFY2(readAll(single + '/' + name) == readAll(spread + '/' + name),
                     qPrintable(QString("%1 differs with %2 processes").arg(name).arg(np)));
        }
        // The summary is printed once.
        QVERIFY2(b.out.count("Indexed ") == 1, qPrintable(b.out));
    }
}

void TestIndexMpi::refusesOnce()
{
    QTemporaryDir out;
    const Run b = MpiLauncher::runMpi(QStringLiteral("ortelis-index-mpi"), ranks(),
                                      {"--words", "24", "--quiet", out.filePath("no such folder"),
                                       out.filePath("index")});
    QVERIFY(b.exitCode != 0);
    QVERIFY2(b.err.count("ortelis-index-mpi: error:") == 1, qPrintable(b.err));
    QVERIFY(!QFileInfo::exists(out.filePath("index/project.xml")));
}

QTEST_GUILESS_MAIN(TestIndexMpi)
#include "tst_indexmpi.moc"
