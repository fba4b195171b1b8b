#include "document/analysissaver.h"

#include "data/formats/atomicfile.h"
#include "data/model/cadata.h"
#include "data/formats/caresultwriter.h"
#include "data/formats/projectxml.h"
#include "data/model/console.h"
#include "data/formats/folderowner.h"
#include "data/formats/regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <sys/stat.h>

namespace {

const char *const kTable = "table.txt";
const char *const kImages = "images.txt";
const char *const kKeypoints = "keypoints.txt";
const char *const kSupImages = "images_sup.txt";
const char *const kSupKeypoints = "keypoints_sup.txt";
const char *const kSupCategories = "categories_sup.txt";
const char *const kWords = "words.txt";
const char *const kCategories = "categories.txt";
const char *const kCollection = "collection.txt";
// Written into project.xml, so that a folder can be recognised as one this
// class wrote (and may replace) rather than anything the user keeps there.
const char *const kMark = "<!-- Ortelis saved analysis -->";

QString str(const char *s)
{
    return QString::fromLatin1(s);
}

bool hasBlank(const QString &s)
{
    for (QChar c : s)
        if (c.isSpace())
            return true;
    return false;
}

// Where the files of the new folder are found, and how image and keypoint
// names are written.
struct Layout
{
    QString base;                      // BASE href
    QString prefix;                    // before each of the folder's own file names
    std::vector<QString> imageNames;   // by image
    std::vector<QString> keypointNames;
    std::vector<QString> supImageNames; // by supplementary image
    std::vector<QString> supKeypointNames;
};

// Names relative to the new folder when they can be written in the image
// and keypoint lists (which end a name at the first blank); otherwise the
// project keeps the original base folder and names, and reaches its own
// files from there.
Layout layoutFor(const CAData &d, const QString &folder)
{
    Layout l;
    const QDir dir(folder);
    // Images share a few folders: each folder's relative path is worked out
    // once.
    QHash<QString, QString> relativeFolders;
    auto relocate = [&](const QString &name) {
        if (name.isEmpty() || QDir::isAbsolutePath(name))
            return name;
        const QString resolved = QDir::cleanPath(d.resolve(name));
        const qsizetype slash = resolved.lastIndexOf(QLatin1Char('/'));
        const QString parent = resolved.left(slash);
        auto it = relativeFolders.find(parent);
        if (it == relativeFolders.end())
            it = relativeFolders.insert(parent, dir.relativeFilePath(parent.isEmpty() ? QStringLiteral("/") : parent));
        const QString file = resolved.mid(slash + 1);
        return *it == QLatin1String(".") ? file : *it + QLatin1Char('/') + file;
    };
    bool blank = false;
    if (d.labels)
        for (qint32 i = 0; i < d.nbImages; ++i) {
            l.imageNames.push_back(relocate(d.labels[i].imageFile));
            blank = blank || hasBlank(l.imageNames.back());
        }
    if (d.descriptors)
        for (qint32 i = 0; i < d.nbImages; ++i) {
            l.keypointNames.push_back(relocate(d.descriptors[i]));
            blank = blank || hasBlank(l.keypointNames.back());
        }
    if (d.supLabels)
        for (qint32 s = 0; s < d.nbSupImages; ++s) {
            l.supImageNames.push_back(relocate(d.supLabels[s].imageFile));
            blank = blank || hasBlank(l.supImageNames.back());
        }
    if (d.supDescriptors)
        for (qint32 s = 0; s < d.nbSupImages; ++s) {
            l.supKeypointNames.push_back(relocate(d.supDescriptors[s]));
            blank = blank || hasBlank(l.supKeypointNames.back());
        }
    if (!blank) {
        l.base = QStringLiteral(".");
        return l;
    }
    const QString base = QDir(d.baseDir).absolutePath();
    l.base = dir.relativeFilePath(base);
    l.prefix = QDir(base).relativeFilePath(folder) + QLatin1Char('/');
    l.imageNames.clear();
    l.keypointNames.clear();
    l.supImageNames.clear();
    l.supKeypointNames.clear();
    if (d.supDescriptors)
        for (qint32 s = 0; s < d.nbSupImages; ++s)
            l.supKeypointNames.push_back(d.supDescriptors[s]);
    if (d.supLabels)
        for (qint32 s = 0; s < d.nbSupImages; ++s)
            l.supImageNames.push_back(d.supLabels[s].imageFile);
    if (d.labels)
        for (qint32 i = 0; i < d.nbImages; ++i)
            l.imageNames.push_back(d.labels[i].imageFile);
    if (d.descriptors)
        for (qint32 i = 0; i < d.nbImages; ++i)
            l.keypointNames.push_back(d.descriptors[i]);
    return l;
}

bool removeFolder(const QString &path)
{
    return QDir(path).removeRecursively();
}

} // namespace

QString AnalysisSaver::projectFile(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("project.xml"));
}

QString AnalysisSaver::groupsFile(const QString &projectFile)
{
    return QFileInfo(projectFile).absoluteDir().filePath(QStringLiteral("groups.json"));
}

AnalysisSaver::Target AnalysisSaver::check(const QString &folder, QString *why)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return NewFolder;
    if (!info.isDir()) {
        if (why)
            *why = QStringLiteral("'%1' is a file, not a folder").arg(folder);
        return Refused;
    }
    const QDir dir(folder);
    if (dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        return NewFolder;
    // The folder is the user's choice and so is what it holds: a FIFO or a
    // device named project.xml is refused without being waited on.
    QFile project(projectFile(folder));
    QString unreadable;
    if (RegularFile::open(project, &unreadable)) {
        if (project.read(4096).contains(kMark))
            return SavedAnalysis;
    } else if (QFileInfo::exists(project.fileName())) {
        if (why)
            *why = QStringLiteral("the folder '%1' holds '%2', which cannot be read (%3); "
                                  "choose a new folder name")
                       .arg(folder, project.fileName(), unreadable);
        return Refused;
    }
    if (why)
        *why = QStringLiteral("the folder '%1' already holds other files; choose a new folder name")
                   .arg(folder);
    return Refused;
}

bool AnalysisSaver::save(const CAData &d, const QString &target, bool replace, QString *error,
                         const QByteArray &groups)
{
    const QString folder = QDir::cleanPath(QDir().absoluteFilePath(target));
    auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    QString why;
    const Target kind = check(folder, &why);
    if (kind == Refused)
        return fail(QStringLiteral("Cannot save the analysis: %1.").arg(why));
    if (kind == SavedAnalysis && !replace)
        return fail(QStringLiteral("Cannot save the analysis: '%1' already exists.").arg(folder));
    if (!d.Z || !d.W || !d.lambda || !d.P || !d.Q)
        return fail(QStringLiteral("Cannot save the analysis: it has not been loaded."));

    const QFileInfo info(folder);
    const QString parent = info.absolutePath();
    if (!QDir().mkpath(parent))
        return fail(QStringLiteral("Cannot create the folder '%1'.").arg(parent));
    // What earlier saves that were killed left here goes first, whatever
    // name they were saving under: only folders whose owner has ended are
    // removed, never one a running save holds.
    for (const QString &gone : FolderOwner::removeAbandoned(parent, {QStringLiteral(".*.part-*")}))
        Console::out(QStringLiteral("Removed '%1', left by a save that did not finish.").arg(gone));
    errno = 0;
    QTemporaryDir staging(parent + QStringLiteral("/.") + info.fileName() + QStringLiteral(".part-XXXXXX"));
    if (!staging.isValid() || !FolderOwner::claim(staging.path(), &why))
        return fail(QStringLiteral("Cannot save the analysis in '%1': %2.")
                        .arg(parent, staging.isValid() ? why : AtomicFile::reason(errno, staging.errorString())));
    const QDir out(staging.path());
    const Layout layout = layoutFor(d, folder);

    auto put = [&](const char *name, const QByteArray &bytes) {
        QString message;
        if (AtomicFile::write(out.filePath(str(name)), bytes, AtomicFile::ReplaceExisting, &message))
            return true;
        // Name the file where the user will look for it.
        message.replace(out.path(), folder);
        fail(message);
        return false;
    };

    const QString table = str(kTable);
    const QString sourceTable = d.fileF.isEmpty() ? QString() : d.resolve(d.fileF);
    bool withTable = false;
    if (!sourceTable.isEmpty() && QFileInfo(sourceTable).isFile()) {
        QFile source(sourceTable);
        errno = 0;
        if (!source.copy(out.filePath(table)))
            return fail(QStringLiteral("Cannot copy the table '%1' to '%2': %3.")
                            .arg(sourceTable, QDir(folder).filePath(table),
                                 AtomicFile::reason(errno, source.errorString())));
        withTable = true;
    }
    // The result set through the solver's own writer: the same files, the
    // same manifest, the same all-or-nothing renaming.
    {
        CAResultArrays a;
        a.rows = std::size_t(d.nbImages);
        a.zCols = d.zCols;
        a.Z = d.Z.get();
        a.cols = std::size_t(d.nbWords);
        a.wCols = d.wCols;
        a.W = d.W.get();
        a.P = d.P.get();
        a.Q = d.Q.get();
        a.lambdaCount = std::size_t(d.nbLambda);
        a.lambda = d.lambda.get();
        a.totalInertia = d.totalInertia;
        if (d.ZSup && d.supCols == d.zCols) {
            a.supRows = std::size_t(d.nbSupImages);
            a.ZSup = d.ZSup.get();
        }
        CAResultWriter writer;
        if (!writer.write(QFile::encodeName(out.filePath(table)).toStdString(), a)) {
            QString message = QString::fromLocal8Bit(writer.error().c_str());
            message.replace(out.path(), folder);
            return fail(QStringLiteral("Cannot save the analysis: %1.").arg(message));
        }
    }
    const bool withSup = d.ZSup && d.supCols == d.zCols;

    if (d.labels) {
        QByteArray list;
        for (qint32 i = 0; i < d.nbImages; ++i)
            list += QByteArray::number(d.labels[i].category) + ' '
                + layout.imageNames[std::size_t(i)].toLocal8Bit() + '\n';
        if (!put(kImages, list))
            return false;
    }
    const bool withSupLabels = withSup && d.supLabels;
    if (withSupLabels) {
        QByteArray list;
        for (qint32 s = 0; s < d.nbSupImages; ++s)
            list += QByteArray::number(d.supLabels[s].category) + ' '
                + layout.supImageNames[std::size_t(s)].toLocal8Bit() + '\n';
        if (!put(kSupImages, list))
            return false;
    }
    // A supplementary image without a keypoint file of its own (set aside
    // from an analysis whose list had none) keeps the list's count with a
    // name that reads as no file.
    bool withSupKeypoints = withSup && d.supDescriptors;
    for (qint32 s = 0; withSupKeypoints && s < d.nbSupImages; ++s)
        withSupKeypoints = !layout.supKeypointNames[std::size_t(s)].isEmpty();
    if (withSupKeypoints) {
        QByteArray list = QByteArray::number(d.nbSupImages) + '\n';
        for (qint32 s = 0; s < d.nbSupImages; ++s)
            list += layout.supKeypointNames[std::size_t(s)].toLocal8Bit() + '\n';
        if (!put(kSupKeypoints, list))
            return false;
    }
    if (d.descriptors) {
        QByteArray list = QByteArray::number(d.nbImages) + '\n';
        for (qint32 i = 0; i < d.nbImages; ++i)
            list += layout.keypointNames[std::size_t(i)].toLocal8Bit() + '\n';
        if (!put(kKeypoints, list))
            return false;
    }
    {
        QByteArray list = QByteArray::number(d.nbWords) + '\n';
        for (qint32 j = 0; j < d.nbWords; ++j)
            list += QByteArray::number(d.wordLabel(j)) + '\n';
        if (!put(kWords, list))
            return false;
    }
    // An extract's images keep their numbers in the whole collection, so
    // that a number read in the saved analysis means what it meant before.
    const bool withCollection = !d.collectionNumbers.empty();
    if (withCollection) {
        QByteArray list = QByteArray::number(d.nbImages) + '\n';
        for (qint32 i = 0; i < d.nbImages; ++i)
            list += QByteArray::number(d.collectionNumber(i)) + '\n';
        if (!put(kCollection, list))
            return false;
    }

    // The category names: the project's file as it is, or, when it has gone
    // since the analysis was opened, the names as they are shown.
    bool withCategories = false;
    const QString sourceCategories = d.categoriesPath.isEmpty() ? QString() : d.resolve(d.categoriesPath);
    if (!sourceCategories.isEmpty() && QFileInfo(sourceCategories).isFile()) {
        QFile source(sourceCategories);
        errno = 0;
        if (!source.copy(out.filePath(str(kCategories))))
            return fail(QStringLiteral("Cannot copy the categories file '%1' to '%2': %3.")
                            .arg(sourceCategories, QDir(folder).filePath(str(kCategories)),
                                 AtomicFile::reason(errno, source.errorString())));
        withCategories = true;
    } else if (!d.categoryNames.isEmpty()) {
        QByteArray list;
        for (auto it = d.categoryNames.cbegin(); it != d.categoryNames.cend(); ++it)
            list += QByteArray::number(it.key()) + ' ' + it.value().toUtf8() + '\n';
        if (!put(kCategories, list))
            return false;
        withCategories = true;
    }

    // The names of the categories only supplementary images have, beside
    // the project's file as it was.
    const bool withSupCategories = !d.supCategoryNames.isEmpty();
    if (withSupCategories) {
        QByteArray list;
        for (auto it = d.supCategoryNames.cbegin(); it != d.supCategoryNames.cend(); ++it)
            list += QByteArray::number(it.key()) + ' ' + it.value().toUtf8() + '\n';
        if (!put(kSupCategories, list))
            return false;
    }

    ProjectXml xml(layout.base.toStdString());
    xml.setComment(kMark);
    xml.setAxes(std::max(1, d.nbAxis));
    auto file = [&](const char *key, const QString &name) {
        xml.addFile(key, (layout.prefix + name).toStdString());
    };
    const std::string tableName = (layout.prefix + table).toStdString();
    if (withTable)
        file("F", table);
    for (ResultFiles::Kind kind : {ResultFiles::Z, ResultFiles::W, ResultFiles::P, ResultFiles::Q,
                                   ResultFiles::Lambda, ResultFiles::Inertia})
        xml.addResult(kind, tableName);
    if (withSup)
        xml.addResult(ResultFiles::ZSup, tableName);
    if (d.labels)
        file("LABEL", str(kImages));
    if (withSupLabels)
        file("LABELSUP", str(kSupImages));
    if (d.descriptors)
        file("DESCRIPTOR", str(kKeypoints));
    if (withCategories)
        file("CATEGORIES", str(kCategories));
    if (withSupKeypoints)
        file("DESCRIPTORSUP", str(kSupKeypoints));
    if (withSupCategories)
        file("CATEGORIESSUP", str(kSupCategories));
    file("WORDS", str(kWords));
    if (withCollection)
        file("COLLECTION", str(kCollection));
    // The words keep their vocabulary numbers, and so their pictures: the
    // source's atlas is named where it is (it is not copied).
    const QString atlas = d.existingWordAtlas();
    if (!atlas.isEmpty()) {
        const QString base = QDir::cleanPath(QDir(folder).absoluteFilePath(layout.base));
        xml.addFile("WORDATLAS", QDir(base).relativeFilePath(atlas).toStdString());
    }
    if (!groups.isEmpty() && !put("groups.json", groups))
        return false;
    if (!put("project.xml", QByteArray::fromStdString(xml.text())))
        return false;

    // Complete: move it into place. A replaced analysis is kept aside until
    // the new one is there, and put back if that fails.
    QString aside;
    if (info.exists()) {
        if (kind == NewFolder) {
            if (!QDir(parent).rmdir(info.fileName()))
                return fail(QStringLiteral("Cannot save the analysis: cannot replace the empty folder '%1'.")
                                .arg(folder));
        } else {
            QTemporaryDir reserve(parent + QStringLiteral("/.") + info.fileName() + QStringLiteral(".old-XXXXXX"));
            if (!reserve.isValid())
                return fail(QStringLiteral("Cannot save the analysis in '%1': %2.")
                                .arg(parent, reserve.errorString()));
            reserve.setAutoRemove(false);
            aside = reserve.path();
            QDir(parent).rmdir(QFileInfo(aside).fileName());
            errno = 0;
            if (std::rename(QFile::encodeName(folder).constData(), QFile::encodeName(aside).constData()) != 0)
                return fail(QStringLiteral("Cannot replace '%1': %2.").arg(folder, AtomicFile::reason(errno, QString())));
        }
    }
    // The lock file must not be part of the saved analysis.
    FolderOwner::release(staging.path());
    errno = 0;
    if (std::rename(QFile::encodeName(staging.path()).constData(), QFile::encodeName(folder).constData()) != 0) {
        const QString reason = AtomicFile::reason(errno, QString());
        if (!aside.isEmpty())
            std::rename(QFile::encodeName(aside).constData(), QFile::encodeName(folder).constData());
        return fail(QStringLiteral("Cannot save the analysis as '%1': %2.").arg(folder, reason));
    }
    staging.setAutoRemove(false);
    // The staging folder was private to this process; the saved analysis is
    // shared like any folder the user makes.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(folder).constData(), 0777 & ~mask);
    if (!aside.isEmpty())
        removeFolder(aside);
    return true;
}
