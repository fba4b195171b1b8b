#include "data/formats/folderowner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace FolderOwner {

namespace {

QMutex mutex;
// Folder -> descriptor holding its lock. Extracted views remove their folder
// when they close without telling anyone here: the descriptors of folders
// that have gone are closed at the next claim.
QHash<QString, int> &held()
{
    static QHash<QString, int> locks;
    return locks;
}

QByteArray lockPath(const QString &folder)
{
    return QFile::encodeName(QDir(folder).filePath(lockName()));
}

void pruneGone()
{
    for (auto it = held().begin(); it != held().end();) {
        if (QFileInfo(it.key()).isDir()) {
            ++it;
            continue;
        }
        ::close(it.value());
        it = held().erase(it);
    }
}

} // namespace

bool claim(const QString &folder, QString *error)
{
    const QString key = QDir::cleanPath(QDir().absoluteFilePath(folder));
    QMutexLocker lock(&mutex);
    pruneGone();
    if (held().contains(key))
        return true;
    // Not inherited by the solver this process starts: the lock must end
    // with the viewer, not with its children.
    const int fd = ::open(lockPath(key).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    held().insert(key, fd);
    return true;
}

void release(const QString &folder)
{
    const QString key = QDir::cleanPath(QDir().absoluteFilePath(folder));
    QMutexLocker lock(&mutex);
    const auto it = held().find(key);
    if (it == held().end())
        return;
    ::unlink(lockPath(key).constData());
    ::close(it.value());
    held().erase(it);
}

QStringList removeAbandoned(const QString &parent, const QStringList &patterns)
{
    QStringList removed;
    const QDir dir(parent);
    const QFileInfoList candidates =
        dir.entryInfoList(patterns, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo &info : candidates) {
        const QString folder = info.absoluteFilePath();
        // Opened without creating: a folder without the file is not ours to
        // judge. Read-only is enough for flock.
        const int fd = ::open(lockPath(folder).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        // Held by a running program (this one included, through another
        // descriptor): in use.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        // Ours now, so no other cleaner removes it at the same time; the
        // lock file goes last, with the folder.
        if (QDir(folder).removeRecursively())
            removed << folder;
        ::close(fd);
    }
    return removed;
}

} // namespace FolderOwner
