#include "tools/supplementaryset.h"

#include "tools/indexwriter.h"

#include "data/formats/resultmanifest.h"
#include "data/formats/supplementarymanifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

// The copy of the project file among the kept ones (a name no file of the
// set has).
const char projectCopy[] = "project.previous";
// The staging folders of the indexer, and the lock their owner holds.
const char stagingPrefix[] = ".ortelis-index-";
const char ownerLock[] = "owner.lock";

QString systemReason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// `from` put at `to` in one rename, through a temporary name beside `to`,
// `from` left as it was: a link where the file system allows one, else a
// copy.
bool placeCopy(const QString &from, const QString &to, QString *error)
{
    const QString temporary = QFileInfo(to).absolutePath() + QStringLiteral("/.") + QFileInfo(to).fileName()
                              + QStringLiteral(".restoring");
    QFile::remove(temporary);
    if (::link(encoded(from).constData(), encoded(temporary).constData()) != 0 && !QFile::copy(from, temporary)) {
        *error = QStringLiteral("cannot copy '%1' to '%2'").arg(from, temporary);
        return false;
    }
    if (::rename(encoded(temporary).constData(), encoded(to).constData()) != 0) {
        *error = QStringLiteral("cannot move '%1' into place: %2").arg(to, systemReason());
        QFile::remove(temporary);
        return false;
    }
    return true;
}

// The same for the project file, which may lie on another file system than
// the set: written from the bytes kept, through a temporary file.
bool writeProject(const QString &projectFile, const QString &from, QString *error)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read '%1'").arg(from);
        return false;
    }
    const QByteArray text = source.readAll();
    QFile current(projectFile);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == text)
        return true;
    QSaveFile project(projectFile);
    if (!project.open(QIODevice::WriteOnly) || project.write(text) != text.size() || !project.commit()) {
        *error = QStringLiteral("cannot write '%1': %2").arg(projectFile, project.errorString());
        return false;
    }
    return true;
}

// A staging folder of `folder` whose run has ended, holding `record` as
// the record of the set it was committing; empty when there is none. Its
// lock is taken over in `lock`, so that no other run removes it meanwhile.
QString deadStagingWith(const QString &folder, const QByteArray &record, std::unique_ptr<QLockFile> &lock)
{
    const QDir dir(folder);
    const QStringList names = dir.entryList({QString::fromLatin1(stagingPrefix) + QLatin1Char('*')},
                                            QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString path = dir.filePath(name);
        QFile staged(QDir(path).filePath(SupplementaryManifest::fileName()));
        if (!staged.open(QIODevice::ReadOnly) || staged.read(SupplementaryManifest::kMaxBytes + 1) != record)
            continue;
        lock = std::make_unique<QLockFile>(QDir(path).filePath(QLatin1String(ownerLock)));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0)) {
            lock.reset();
            continue; // its run is still at work
        }
        return path;
    }
    return QString();
}

bool sameAs(const QString &path, const SupplementaryManifest::Entry &entry)
{
    ResultManifest::Entry onDisk;
    std::string why;
    return ResultManifest::digestFile(encoded(path).toStdString(), onDisk, why) && onDisk.bytes == entry.bytes
           && onDisk.digest == entry.digest;
}

// The rest of an interrupted commit: the staged files that differ from the
// record, the keypoint files not yet moved, the project file.
bool rollForward(const QString &staging, const QString &folder, const QString &projectFile,
                 const SupplementaryManifest &record, const QStringList &differ, QString *error)
{
    const QDir out(folder), in(staging);
    for (const QString &name : differ) {
        const auto entry = std::find_if(record.files.cbegin(), record.files.cend(),
                                        [&](const SupplementaryManifest::Entry &e) { return e.name == name; });
        if (entry == record.files.cend() || !sameAs(in.filePath(name), *entry)) {
            *error = QStringLiteral("'%1' is not in '%2' as the record has it").arg(name, staging);
            return false;
        }
    }
    if (!QFileInfo::exists(in.filePath(SupplementarySet::stagedProjectName()))) {
        *error = QStringLiteral("'%1' does not hold the project file to write").arg(staging);
        return false;
    }
    for (const QString &sub : {IndexWriter::supKeypointFolder, IndexWriter::supLinkFolder}) {
        const QDir staged(in.filePath(sub));
        const QStringList files = staged.entryList(QDir::Files | QDir::System | QDir::Hidden);
        if (!files.isEmpty() && !out.exists(sub) && !out.mkdir(sub)) {
            *error = QStringLiteral("cannot create the folder '%1'").arg(out.filePath(sub));
            return false;
        }
        for (const QString &name : files) {
            const QString target = out.filePath(sub + QLatin1Char('/') + name);
            if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
                continue;
            if (::rename(encoded(staged.filePath(name)).constData(), encoded(target).constData()) != 0) {
                *error = QStringLiteral("cannot move '%1' into place: %2").arg(target, systemReason());
                return false;
            }
        }
    }
    for (const QString &name : differ)
        if (::rename(encoded(in.filePath(name)).constData(), encoded(out.filePath(name)).constData()) != 0) {
            *error = QStringLiteral("cannot move '%1' into place: %2").arg(out.filePath(name), systemReason());
            return false;
        }
    return writeProject(projectFile, in.filePath(SupplementarySet::stagedProjectName()), error);
}

} // namespace

QStringList SupplementarySet::names()
{
    return {IndexWriter::supTableName,      IndexWriter::supImageListName, IndexWriter::supKeypointListName,
            IndexWriter::supCategoriesName, IndexWriter::supSkippedName,   IndexWriter::supLogName,
            IndexWriter::supCoordinatesName()};
}

bool SupplementarySet::prepare(const QString &staging, const QString &folder, const QString &projectFile,
                               const QByteArray &projectText, long long rows, QString *error)
{
    const QDir in(staging), out(folder);
    QFile project(in.filePath(stagedProjectName()));
    if (!project.open(QIODevice::WriteOnly | QIODevice::Truncate) || project.write(projectText) != projectText.size()
        || !project.flush()) {
        *error = QStringLiteral("cannot write '%1': %2").arg(project.fileName(), project.errorString());
        return false;
    }
    project.close();
    // What the commit replaces, kept as it is now.
    if (!in.mkpath(previousFolder())) {
        *error = QStringLiteral("cannot create the folder '%1'").arg(in.filePath(previousFolder()));
        return false;
    }
    const QDir previous(in.filePath(previousFolder()));
    QStringList kept = names();
    kept << SupplementaryManifest::fileName();
    for (const QString &name : std::as_const(kept)) {
        const QString existing = out.filePath(name);
        if (!QFileInfo(existing).isFile())
            continue;
        if (::link(encoded(existing).constData(), encoded(previous.filePath(name)).constData()) != 0
            && !QFile::copy(existing, previous.filePath(name))) {
            *error = QStringLiteral("cannot keep a copy of '%1' in '%2'").arg(existing, previous.path());
            return false;
        }
    }
    if (!QFile::copy(projectFile, previous.filePath(QLatin1String(projectCopy)))) {
        *error = QStringLiteral("cannot keep a copy of '%1' in '%2'").arg(projectFile, previous.path());
        return false;
    }
    // The record of the new set, put in place before any of its files.
    SupplementaryManifest record;
    record.rows = rows;
    if (!record.add(staging, names(), error))
        return false;
    const QByteArray text = record.text();
    QFile staged(in.filePath(SupplementaryManifest::fileName()));
    if (!staged.open(QIODevice::WriteOnly | QIODevice::Truncate) || staged.write(text) != text.size()
        || !staged.flush()) {
        *error = QStringLiteral("cannot write '%1': %2").arg(staged.fileName(), staged.errorString());
        return false;
    }
    staged.close();
    // A copy stays in the staging folder: it tells the next run which
    // commit the folder was in.
    return placeCopy(staged.fileName(), out.filePath(SupplementaryManifest::fileName()), error);
}

bool SupplementarySet::rollBack(const QString &staging, const QString &folder, const QString &projectFile,
                                QString *error)
{
    const QDir previous(QDir(staging).filePath(previousFolder())), out(folder);
    if (!QFileInfo::exists(previous.filePath(QLatin1String(projectCopy)))) {
        *error = QStringLiteral("'%1' does not hold the files as they were").arg(staging);
        return false;
    }
    // Copied back, never moved: a run killed here finds them again. The
    // record last, so that until then the set still reads as mixed.
    QStringList files = names();
    files << SupplementaryManifest::fileName();
    for (const QString &name : std::as_const(files)) {
        if (QFileInfo::exists(previous.filePath(name))) {
            if (!placeCopy(previous.filePath(name), out.filePath(name), error))
                return false;
        } else if (QFileInfo::exists(out.filePath(name)) && !QFile::remove(out.filePath(name))) {
            *error = QStringLiteral("cannot remove '%1'").arg(out.filePath(name));
            return false;
        }
    }
    return writeProject(projectFile, previous.filePath(QLatin1String(projectCopy)), error);
}

bool SupplementarySet::recover(const QString &folder, const QString &projectFile, QStringList *lines,
                               QString *error)
{
    SupplementaryManifest record;
    QByteArray bytes;
    QString problem;
    const SupplementaryManifest::State state = SupplementaryManifest::read(folder, record, &bytes, &problem);
    if (state == SupplementaryManifest::Absent)
        return true;
    if (state != SupplementaryManifest::Whole) {
        *error = problem;
        return false;
    }
    const QStringList differ = record.mismatched(folder);
    std::unique_ptr<QLockFile> lock;
    const QString staging = deadStagingWith(folder, bytes, lock);
    if (staging.isEmpty()) {
        if (differ.isEmpty())
            return true;
        SupplementaryManifest::check(folder, &problem);
        *error = QStringLiteral("%1, and what it left cannot be completed or undone (its staging folder is "
                                "gone). Restore the project's folder from a copy, or index the collection "
                                "again")
                     .arg(problem);
        return false;
    }
    QString forward;
    if (rollForward(staging, folder, projectFile, record, differ, &forward)) {
        if (!differ.isEmpty())
            lines->append(QStringLiteral("An earlier addition of images to '%1' was interrupted; it is now "
                                         "complete (%2 moved into place from '%3')")
                              .arg(projectFile, differ.join(QStringLiteral(", ")), staging));
        lock.reset(); // its lock file goes with it
        QDir(staging).removeRecursively();
        return true;
    }
    QString back;
    if (rollBack(staging, folder, projectFile, &back)) {
        lines->append(QStringLiteral("An earlier addition of images to '%1' was interrupted and could not be "
                                     "completed (%2); the supplementary images are again as they were "
                                     "before it")
                          .arg(projectFile, forward));
        lock.reset(); // its lock file goes with it
        QDir(staging).removeRecursively();
        return true;
    }
    *error = QStringLiteral("an earlier addition of images to '%1' was interrupted, and it can be neither "
                            "completed (%2) nor rolled back (%3)")
                 .arg(projectFile, forward, back);
    return false;
}
