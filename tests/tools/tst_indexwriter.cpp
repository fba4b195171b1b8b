// What the index writer and the copy finder do around the images: an output
// folder that is not an index is refused, the unfinished folders of dead
// runs are removed while live ones stay, copies are looked for only among
// files that may be read and the search stops when asked, and descriptors
// shared among their nearest words cast whole votes. Names that are not
// UTF-8 are listed, never dropped.
#include "tools/duplicatefinder.h"
#include "tools/imagecollection.h"
#include "tools/indexer.h"
#include "tools/indexwriter.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <cstdio>
#include <unistd.h>

namespace {

bool write(const QString &path, const QByteArray &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

} // namespace

class TestIndexWriter : public QObject
{
    Q_OBJECT
private slots:
    void outputFolders_data();
    void outputFolders();
    void deadOwnersLeftoversRemoved();
    void copiesOnlyAmongReadableFiles();
    void copySearchStops();
    void softVotes_data();
    void softVotes();
    void namesNotUtf8Listed();
};

void TestIndexWriter::outputFolders_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QByteArray>("project");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("named");
    QTest::newRow("new folder") << QStringList{} << QByteArray() << true << "";
    QTest::newRow("the user's images only") << QStringList{"a.png", "notes.txt"} << QByteArray()
                                            << true << "";
    QTest::newRow("the user's table and log")
        << QStringList{"table.txt", "index.log"} << QByteArray() << false << "table.txt, index.log";
    QTest::newRow("the user's keypoints folder") << QStringList{"keypoints/mine.sift"} << QByteArray()
                                                 << false << "keypoints/";
    QTest::newRow("a project of another kind")
        << QStringList{"table.txt"} << QByteArray("<XML><FILE name='F' path='other.txt'/></XML>")
        << false << "project.xml, table.txt";
    QTest::newRow("an earlier index") << QStringList{"table.txt", "keypoints/000000.sift"}
                                      << IndexWriter::projectXml(10, false, false) << true << "";
}

void TestIndexWriter::outputFolders()
{
    QFETCH(QStringList, files);
    QFETCH(QByteArray, project);
    QFETCH(bool, accepted);
    QFETCH(QString, named);
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    if (!files.isEmpty() || !project.isEmpty())
        QVERIFY(QDir().mkpath(out));
    for (const QString &f : files) {
        QVERIFY(QDir().mkpath(QFileInfo(out + "/" + f).absolutePath()));
        QVERIFY(write(out + "/" + f, "the user's own\n"));
    }
    if (!project.isEmpty())
        QVERIFY(write(out + "/project.xml", project));
    IndexWriter writer;
    QString error;
    QCOMPARE(writer.begin(out, &error), accepted);
    if (!accepted) {
        QVERIFY2(error.contains("is not an Ortelis index") && error.contains(named), qPrintable(error));
        // Nothing of the user's was touched.
        for (const QString &f : files)
            QCOMPARE(QFile(out + "/" + f).size(), qint64(15));
    }
}

void TestIndexWriter::deadOwnersLeftoversRemoved()
{
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    const QString dead = out + "/.ortelis-index-dead01", live = out + "/.ortelis-index-live01";
    QVERIFY(QDir().mkpath(dead + "/keypoints"));
    QVERIFY(QDir().mkpath(live + "/keypoints"));
    // A run killed while it held its folder: the lock stays behind, naming
    // a process that no longer exists.
    const pid_t child = fork();
    if (child == 0) {
        QLockFile lock(dead + "/owner.lock");
        lock.setStaleLockTime(0);
        _exit(lock.tryLock(0) ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QVERIFY(QFileInfo::exists(dead + "/owner.lock"));
    // A run still going: this process holds its lock.
    QLockFile running(live + "/owner.lock");
    running.setStaleLockTime(0);
    QVERIFY(running.tryLock(0));

    IndexWriter writer;
    QString error;
    QStringList removed;
    QVERIFY2(writer.begin(out, &error, &removed), qPrintable(error));
    QCOMPARE(removed, QStringList{QDir::cleanPath(dead)});
    QVERIFY(!QFileInfo::exists(dead));
    QVERIFY(QFileInfo::exists(live + "/keypoints"));
    // The new run's own folder is locked against the next one.
    QLockFile mine(writer.stagingFolder() + "/owner.lock");
    QVERIFY(!mine.tryLock(0));
}

void TestIndexWriter::copiesOnlyAmongReadableFiles()
{
    QTemporaryDir dir;
    const QStringList paths = {dir.filePath("a"), dir.filePath("b"), dir.filePath("c"),
                               dir.filePath("d")};
    for (const QString &p : paths.mid(0, 3))
        QVERIFY(write(p, "same bytes"));
    QVERIFY(write(paths[3], "other byte"));
    QCOMPARE(findDuplicateFiles(paths), (QVector<QVector<int>>{{0, 1, 2}}));
    // The second file is refused before anything is read: it is in no group
    // and never hashed.
    const std::vector<bool> eligible = {true, false, true, true};
    QCOMPARE(filesToHash(paths, eligible), 3);
    QCOMPARE(findDuplicateFiles(paths, eligible), (QVector<QVector<int>>{{0, 2}}));
}

void TestIndexWriter::copySearchStops()
{
    QTemporaryDir dir;
    QStringList paths;
    for (int i = 0; i < 6; ++i) {
        paths << dir.filePath(QString::number(i));
        QVERIFY(write(paths.last(), QByteArray(3 << 20, 'x')));
    }
    // Asked to stop at the fourth question: fewer than all files are read,
    // and no half-made group comes back.
    int asked = 0;
    const QVector<QVector<int>> groups = findDuplicateFiles(paths, {}, nullptr, [&asked] {
        return ++asked >= 4;
    });
    QVERIFY(groups.isEmpty());
    QCOMPARE(asked, 4);
}

void TestIndexWriter::softVotes_data()
{
    QTest::addColumn<QVector<float>>("distances");
    QTest::addColumn<QVector<int>>("votes");
    // Weights exp(-2 (d/d0 - 1)): equal distances share evenly; at 1.5 d0
    // the weight is e^-1 = 0.368, so 8 x 1/1.368 = 5.85 and 2.15 votes,
    // rounded by largest remainder to 6 and 2; at 4 d0, e^-6 = 0.0025
    // gives no vote.
    QTest::newRow("equal") << QVector<float>{100, 100} << QVector<int>{4, 4};
    QTest::newRow("half again") << QVector<float>{100, 150} << QVector<int>{6, 2};
    QTest::newRow("far") << QVector<float>{100, 400} << QVector<int>{8, 0};
    QTest::newRow("three equal") << QVector<float>{50, 50, 50} << QVector<int>{3, 3, 2};
}

void TestIndexWriter::softVotes()
{
    QFETCH(QVector<float>, distances);
    QFETCH(QVector<int>, votes);
    const int k = int(distances.size());
    std::vector<int> words;
    words.resize(size_t(k));
    for (int j = 0; j < k; ++j)
        words[size_t(j)] = 10 + j;
    std::vector<int> row;
    Indexer::appendSoftVotes(row, words.data(), distances.data(), k);
    QCOMPARE(int(row.size()), Indexer::softVotes);
    for (int j = 0; j < k; ++j)
        QCOMPARE(int(std::count(row.begin(), row.end(), 10 + j)), votes[j]);
}

void TestIndexWriter::namesNotUtf8Listed()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("in/cat")));
    QVERIFY(write(dir.filePath("in/cat/good.png"), "x"));
    // Latin-1 names, as an old archive or another system leaves them.
    const QByteArray root = QFile::encodeName(dir.filePath("in"));
    QVERIFY(write(QFile::decodeName(root + "/cat/plain.png"), "x"));
    QVERIFY(::rename((root + "/cat/plain.png").constData(), (root + "/cat/caf\xe9.png").constData()) == 0);
    QVERIFY(::mkdir((root + "/\xc9t\xe9").constData(), 0777) == 0);
    ImageCollection collection;
    QString error;
    QVERIFY2(collection.load(dir.filePath("in"), dir.filePath("out"), &error), qPrintable(error));
    QCOMPARE(collection.entries().size(), 1);
    QStringList passed;
    for (const ImageCollection::Passed &p : collection.passedOver())
        passed << p.path.mid(dir.path().size()) + " | " + p.reason.left(40);
    passed.sort();
    QCOMPARE(passed, (QStringList{"/in/\\xc9t\\xe9 | a folder whose name is not valid UTF-8 (",
                                  "/in/cat/caf\\xe9.png | an image whose name is not valid UTF-8 ("}));
}

QTEST_GUILESS_MAIN(TestIndexWriter)
#include "tst_indexwriter.moc"
