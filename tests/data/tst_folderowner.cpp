// Working folders left by a process that has ended are removed; those of a
// process still running (another one, or this one) stay, and so does a
// folder that carries no owner's mark.
#include "data/formats/folderowner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A separate process that locks `lockFile` as an owner does, then either
// ends at once (a killed owner) or holds the lock until `release` is closed.
// Only system calls run in the child.
pid_t ownerProcess(const QByteArray &lockFile, int *release)
{
    int gate[2] = {-1, -1};
    int ready[2] = {-1, -1};
    if (release && (::pipe(gate) != 0 || ::pipe(ready) != 0))
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (release) {
            ::close(gate[1]);
            ::close(ready[0]);
        }
        const int fd = ::open(lockFile.constData(), O_RDWR | O_CREAT, 0600);
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
            ::_exit(2);
        if (release) {
            char c = 1;
            (void)!::write(ready[1], &c, 1);
            (void)!::read(gate[0], &c, 1); // returns when the parent closes its end
        }
        ::_exit(0);
    }
    if (release) {
        char c;
        ::close(gate[0]);
        ::close(ready[1]);
        (void)!::read(ready[0], &c, 1);
        ::close(ready[0]);
        *release = gate[1];
    } else {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    return pid;
}

} // namespace

class TestFolderOwner : public QObject
{
    Q_OBJECT

private slots:
    void onlyAbandonedFoldersGo_data();
    void onlyAbandonedFoldersGo();
    void releasedFolderCarriesNoMark();
};

void TestFolderOwner::onlyAbandonedFoldersGo_data()
{
    QTest::addColumn<QString>("owner"); // "ended", "running", "this", "none"
    QTest::addColumn<bool>("removed");
    QTest::newRow("owner has ended") << QStringLiteral("ended") << true;
    QTest::newRow("another process runs") << QStringLiteral("running") << false;
    QTest::newRow("this process") << QStringLiteral("this") << false;
    QTest::newRow("no owner's mark") << QStringLiteral("none") << false;
}

void TestFolderOwner::onlyAbandonedFoldersGo()
{
    QFETCH(QString, owner);
    QFETCH(bool, removed);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString folder = tmp.filePath(QStringLiteral("ortelis-abc123"));
    const QString unrelated = tmp.filePath(QStringLiteral("other-abc123"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QDir().mkpath(unrelated));
    QFile content(QDir(folder).filePath(QStringLiteral("table.txt")));
    QVERIFY(content.open(QIODevice::WriteOnly));
    content.write("2 2\n1 2\n3 4\n");
    content.close();
    const QByteArray lockFile = QFile::encodeName(QDir(folder).filePath(FolderOwner::lockName()));
    // An unrelated folder with a dead owner's mark is not matched.
    QVERIFY(ownerProcess(QFile::encodeName(QDir(unrelated).filePath(FolderOwner::lockName())), nullptr) > 0);

    int release = -1;
    pid_t running = -1;
    if (owner == QLatin1String("ended"))
        QVERIFY(ownerProcess(lockFile, nullptr) > 0);
    else if (owner == QLatin1String("running"))
        QVERIFY((running = ownerProcess(lockFile, &release)) > 0);
    else if (owner == QLatin1String("this"))
        QVERIFY(FolderOwner::claim(folder));

    const QStringList gone = FolderOwner::removeAbandoned(tmp.path(), {QStringLiteral("ortelis-*")});
    QCOMPARE(gone, removed ? QStringList{folder} : QStringList());
    QCOMPARE(QFileInfo::exists(folder), !removed);
    QVERIFY(QFileInfo::exists(unrelated));

    if (running > 0) {
        ::close(release);
        int status = 0;
        ::waitpid(running, &status, 0);
        // Once that process has ended, its folder goes too.
        QCOMPARE(FolderOwner::removeAbandoned(tmp.path(), {QStringLiteral("ortelis-*")}), QStringList{folder});
    }
    if (owner == QLatin1String("this"))
        FolderOwner::release(folder);
}

void TestFolderOwner::releasedFolderCarriesNoMark()
{
    QTemporaryDir tmp;
    const QString folder = tmp.filePath(QStringLiteral(".saved.part-x1"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(FolderOwner::claim(folder));
    QVERIFY(QFileInfo::exists(QDir(folder).filePath(FolderOwner::lockName())));
    FolderOwner::release(folder);
    QVERIFY(!QFileInfo::exists(QDir(folder).filePath(FolderOwner::lockName())));
    // A hidden staging folder of a save that was killed goes; the one given
    // up above (its content moved into place) carries no mark and stays.
    const QString killed = tmp.filePath(QStringLiteral(".saved.part-x2"));
    QVERIFY(QDir().mkpath(killed));
    QVERIFY(ownerProcess(QFile::encodeName(QDir(killed).filePath(FolderOwner::lockName())), nullptr) > 0);
    QCOMPARE(FolderOwner::removeAbandoned(tmp.path(), {QStringLiteral(".saved.part-*")}), QStringList{killed});
    QVERIFY(QFileInfo::exists(folder));
}

QTEST_GUILESS_MAIN(TestFolderOwner)
#include "tst_folderowner.moc"
