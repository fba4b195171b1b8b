#ifndef FOLDEROWNER_H
#define FOLDEROWNER_H

#include <QString>
#include <QStringList>

// Working folders that must not outlive their process: the table and results
// of an extracted view in the temporary folder, the staging folder of a save.
// A kill or a crash leaves them behind, and nothing in them says whether the
// process that made them is still at work. Each owner therefore holds an
// advisory lock (flock) on a file inside its folder; the system drops the
// lock when the process ends, however it ends. A folder whose lock can be
// taken has no owner left and may go; one whose lock is held belongs to a
// running program, this one or another. A folder without the lock file is
// left alone: nothing tells who made it.
namespace FolderOwner {

// The lock file inside an owned folder.
inline QString lockName() { return QStringLiteral(".ortelis-owner.lock"); }

// Marks `folder` (an existing folder this process made) as owned by this
// process until it ends or calls release(). False, with the reason, when
// the lock file cannot be made.
bool claim(const QString &folder, QString *error = nullptr);
// Gives `folder` up: its lock file is removed (before the folder is moved
// into its final place, where it must not appear) and the lock dropped.
void release(const QString &folder);

// Removes the folders of `parent` whose names match one of `patterns`
// (wildcards, hidden names included) and whose owner has gone. Returns the
// paths removed.
QStringList removeAbandoned(const QString &parent, const QStringList &patterns);

} // namespace FolderOwner

#endif // FOLDEROWNER_H
