#include "shell/recentfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
const char kFilesKey[] = "recentFiles";
const char kFolderKey[] = "lastFolder";
} // namespace

RecentFiles::RecentFiles(QObject *parent) : QObject(parent) {}

QStringList RecentFiles::files() const
{
    return QSettings().value(QLatin1String(kFilesKey)).toStringList().mid(0, kMaxFiles);
}

void RecentFiles::store(const QStringList &list)
{
    QSettings().setValue(QLatin1String(kFilesKey), list);
    emit changed();
}

void RecentFiles::add(const QString &path)
{
    const QFileInfo info(path);
    const QString absolute = info.absoluteFilePath();
    QStringList list = files();
    list.removeAll(absolute);
    list.prepend(absolute);
    while (list.size() > kMaxFiles)
        list.removeLast();
    QSettings().setValue(QLatin1String(kFolderKey), info.absolutePath());
    store(list);
}

void RecentFiles::remove(const QString &path)
{
    QStringList list = files();
    if (list.removeAll(QFileInfo(path).absoluteFilePath()) > 0)
        store(list);
}

QString RecentFiles::lastFolder() const
{
    const QString folder = QSettings().value(QLatin1String(kFolderKey)).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    return QDir::homePath();
}
