#ifndef SUPPLEMENTARYSET_H
#define SUPPLEMENTARYSET_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// The supplementary set of a project committed as one, although its files
// are replaced one rename at a time. Before the first rename, the staging
// folder of the addition keeps the project text to write and a copy of
// every file the set replaces, and the record of the new set
// (SupplementaryManifest) is put in place. A run killed during the commit
// thus leaves files that do not match the record, and a staging folder
// without an owner that holds both what was to come and what was there:
// the next addition completes the commit, or failing that rolls it back,
// before it reads the set.
class SupplementarySet
{
public:
    // The files of the set an addition replaces (the keypoint files and
    // links only come, under new names).
    static QStringList names();

    // In `staging` (the addition's staging folder, holding the new set under
    // its final names): keeps `projectText` and copies of the files of
    // `folder` and of `projectFile` that the commit replaces, then puts the
    // record of the new set (of `rows` images) in place in `folder`.
    static bool prepare(const QString &staging, const QString &folder, const QString &projectFile,
                        const QByteArray &projectText, long long rows, QString *error);
    // Puts back what `prepare` kept (a commit that failed after it).
    static bool rollBack(const QString &staging, const QString &folder, const QString &projectFile,
                         QString *error);
    // Before an addition reads the set of `folder` (of `projectFile`): an
    // interrupted commit is completed or rolled back; `lines` says which.
    // False with `error` when the set is mixed and neither can be done, or
    // its record cannot be read.
    static bool recover(const QString &folder, const QString &projectFile, QStringList *lines, QString *error);

    // Inside a staging folder: the project text to write and the copies.
    static QString stagedProjectName() { return QStringLiteral("project.staged"); }
    static QString previousFolder() { return QStringLiteral("previous"); }
};

#endif // SUPPLEMENTARYSET_H
