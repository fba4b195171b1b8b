#include "tools/indexwriter.h"

#include "tools/vocabulary.h"

#include "data/formats/projectxml.h"
#include "data/formats/resultfiles.h"
#include "data/formats/supplementarymanifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStorageInfo>
#include <QDateTime>

#include <cerrno>
#include <cstdio>
#include <cmath>
#include <cstring>

#include <sys/stat.h>

namespace {

// Creates `path` and its missing parents; on failure says which folder
// could not be made and why.
bool makeFolders(const QString &path, QString *reason)
{
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = path.startsWith(QLatin1Char('/')) ? QString() : QStringLiteral(".");
    for (const QString &part : parts) {
        current += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(current);
        struct stat st;
        if (::stat(native.constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                *reason = QStringLiteral("'%1' is a file, not a folder").arg(current);
                return false;
            }
            continue;
        }
        if (::mkdir(native.constData(), 0777) != 0 && errno != EEXIST) {
            *reason = QStringLiteral("cannot create '%1': %2")
                          .arg(current, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    return true;
}

} // namespace

const QString IndexWriter::projectName = QStringLiteral("project.xml");
const QString IndexWriter::tableName = QStringLiteral("table.txt");
const QString IndexWriter::imageListName = QStringLiteral("images.txt");
const QString IndexWriter::keypointListName = QStringLiteral("keypoints.txt");
const QString IndexWriter::vocabularyName = QStringLiteral("vocabulary.txt");
const QString IndexWriter::keypointFolder = QStringLiteral("keypoints");
const QString IndexWriter::linkFolder = QStringLiteral("linked");
const QString IndexWriter::categoriesName = QStringLiteral("categories.txt");
const QString IndexWriter::skippedName = QStringLiteral("skipped.txt");
const QString IndexWriter::duplicatesName = QStringLiteral("duplicates.txt");
const QString IndexWriter::logName = QStringLiteral("index.log");
const QString IndexWriter::atlasName = QStringLiteral("words.atlas");
const QString IndexWriter::spillFolder = QStringLiteral("descriptors");
const QString IndexWriter::optionsName = QStringLiteral("index-options.txt");
const QString IndexWriter::supTableName = QStringLiteral("table-sup.txt");
const QString IndexWriter::supImageListName = QStringLiteral("images-sup.txt");
const QString IndexWriter::supKeypointListName = QStringLiteral("keypoints-sup.txt");
const QString IndexWriter::supKeypointFolder = QStringLiteral("keypoints-sup");
const QString IndexWriter::supLinkFolder = QStringLiteral("linked-sup");
const QString IndexWriter::supSkippedName = QStringLiteral("skipped-sup.txt");
const QString IndexWriter::supLogName = QStringLiteral("index-sup.log");
const QString IndexWriter::supCategoriesName = QStringLiteral("categories-sup.txt");
namespace {

// Result files from `first` to `last` kind, as the shared list names them.
QStringList resultList(const char *(*name)(ResultFiles::Kind), int first, int last)
{
    QStringList list;
    for (int k = first; k <= last; ++k)
        list << QString::fromLatin1(name(ResultFiles::Kind(k)));
    return list;
}

} // namespace

const QStringList IndexWriter::resultSuffixes =
    resultList(ResultFiles::suffix, 0, ResultFiles::kFiveFileCount - 1);
const QStringList IndexWriter::resultKeys = resultList(ResultFiles::projectKey, 0, ResultFiles::kFiveFileCount - 1);
const QStringList IndexWriter::optionalResultSuffixes =
    resultList(ResultFiles::suffix, ResultFiles::kFiveFileCount, ResultFiles::KindCount - 1);

IndexWriter::IndexWriter() = default;
IndexWriter::~IndexWriter() = default;

namespace {

const char stagingPrefix[] = ".ortelis-index-";
const char lockName[] = "owner.lock";

// Removes the staging folders of runs that ended without finishing: their
// lock is stale (QLockFile knows when its process is gone), or they have
// none and are old enough not to be a run that is only starting.
QStringList removeLeftovers(const QString &output)
{
    QStringList removed;
    const QDir dir(output);
    const QStringList folders = dir.entryList({QString::fromLatin1(stagingPrefix) + QLatin1Char('*')},
                                              QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : folders) {
        const QString path = dir.filePath(name);
        const QString lockPath = QDir(path).filePath(QLatin1String(lockName));
        bool dead = false;
        if (QFileInfo::exists(lockPath)) {
            QLockFile lock(lockPath);
            // Only the owner's death makes the lock stale, never its age:
            // a long run keeps its folder.
            lock.setStaleLockTime(0);
            if (lock.tryLock(0)) {
                dead = true;
                lock.unlock();
            }
        } else {
            dead = QFileInfo(path).lastModified().secsTo(QDateTime::currentDateTime()) > 60;
        }
        if (dead && QDir(path).removeRecursively())
            removed << path;
    }
    return removed;
}

} // namespace

QStringList IndexWriter::indexNamesIn(const QString &folder)
{
    QStringList names = {projectName, tableName, imageListName, keypointListName, vocabularyName,
                         colourVocabularyPath(vocabularyName), categoriesName, skippedName,
                         duplicatesName, logName, atlasName, optionsName, supTableName,
                         supImageListName, supKeypointListName, supCoordinatesName(), supCategoriesName,
                         SupplementaryManifest::fileName()};
    for (const QString &suffix : resultSuffixes)
        names << tableName + suffix;
    const QDir dir(folder);
    QStringList present;
    for (const QString &name : std::as_const(names))
        if (QFileInfo::exists(dir.filePath(name)))
            present << name;
    for (const QString &name : {keypointFolder, linkFolder, supKeypointFolder})
        if (QFileInfo::exists(dir.filePath(name)))
            present << name + QLatin1Char('/');
    return present;
}

bool IndexWriter::isIndexFolder(const QString &folder)
{
    QFile project(QDir(folder).filePath(projectName));
    if (project.size() > (1 << 20) || !project.open(QIODevice::ReadOnly))
        return false;
    const QByteArray xml = project.readAll();
    return xml.contains("<FILE name='F' path='" + tableName.toUtf8() + "'/>")
           && xml.contains("<FILE name='DESCRIPTOR' path='" + keypointListName.toUtf8() + "'/>");
}

bool IndexWriter::begin(const QString &outputFolder, QString *error, QStringList *removed, bool adding)
{
    m_output = QDir::cleanPath(QFileInfo(outputFolder).absoluteFilePath());
    m_adding = adding;
    const QFileInfo info(m_output);
    if (info.exists() && !info.isDir()) {
        *error = QStringLiteral("the output '%1' is a file, not a folder").arg(m_output);
        return false;
    }
    if (!adding && info.exists() && !isIndexFolder(m_output)) {
        const QStringList held = indexNamesIn(m_output);
        if (!held.isEmpty()) {
            *error = QStringLiteral("the output folder '%1' is not an Ortelis index (it has no "
                                    "project.xml written by ortelis-index) and holds %2, which "
                                    "indexing would replace; choose another folder, or move "
                                    "them away first")
                         .arg(m_output, held.join(QStringLiteral(", ")));
            return false;
        }
    }
    if (info.exists()) {
        const QStringList gone = removeLeftovers(m_output);
        if (removed)
            *removed = gone;
    }
    QString reason;
    if (!makeFolders(m_output, &reason)) {
        *error = QStringLiteral("cannot create the output folder '%1': %2").arg(m_output, reason);
        return false;
    }
    m_staging = std::make_unique<QTemporaryDir>(m_output + QLatin1Char('/')
                                                + QLatin1String(stagingPrefix) + QStringLiteral("XXXXXX"));
    if (m_staging->isValid()) {
        m_lock = std::make_unique<QLockFile>(m_staging->filePath(QLatin1String(lockName)));
        m_lock->setStaleLockTime(0);
    }
    if (!m_staging->isValid() || !m_lock->tryLock(0) || !QDir(m_staging->path()).mkdir(keypointFolder)
        || !QDir(m_staging->path()).mkdir(supKeypointFolder) || !QDir(m_staging->path()).mkdir(spillFolder)) {
        *error = QStringLiteral("cannot write in the output folder '%1'%2")
                     .arg(m_output,
                          m_staging->isValid() ? QString() : QStringLiteral(": ") + m_staging->errorString());
        m_lock.reset();
        m_staging.reset();
        return false;
    }
    return true;
}

void IndexWriter::join(const QString &outputFolder, const QString &stagingFolder)
{
    m_output = QDir::cleanPath(QFileInfo(outputFolder).absoluteFilePath());
    m_joined = stagingFolder;
}

QString IndexWriter::stagingFolder() const
{
    return m_staging ? m_staging->path() : m_joined;
}

QString IndexWriter::stagingPath(const QString &name) const
{
    if (!m_joined.isEmpty())
        return QDir(m_joined).filePath(name);
    return m_staging ? m_staging->filePath(name) : QString();
}

QString IndexWriter::keypointFileName(int image)
{
    return QStringLiteral("%1/%2.sift").arg(keypointFolder).arg(image, 6, 10, QLatin1Char('0'));
}

QString IndexWriter::supKeypointFileName(int n)
{
    return QStringLiteral("%1/%2.sift").arg(supKeypointFolder).arg(n, 6, 10, QLatin1Char('0'));
}

QString IndexWriter::supCoordinatesName()
{
    return QString::fromStdString(ResultFiles::path(supTableName.toStdString(), ResultFiles::ZSup));
}

bool IndexWriter::linkImage(int image, const QString &target, QString *listName,
                            QString *error)
{
    const QDir staging(m_staging->path());
    // Images added to a project get links of their own, beside its.
    const QString &folder = m_adding ? supLinkFolder : linkFolder;
    if (!staging.exists(folder) && !staging.mkdir(folder)) {
        *error = QStringLiteral("cannot create '%1'").arg(staging.filePath(folder));
        return false;
    }
    QString base = QFileInfo(target).fileName();
    base.replace(QRegularExpression(QStringLiteral("\\s")), QStringLiteral("_"));
    const QString name = QStringLiteral("%1/%2-%3").arg(folder).arg(image, 6, 10, QLatin1Char('0')).arg(base);
    if (!QFile::link(QFileInfo(target).absoluteFilePath(), staging.filePath(name))) {
        *error = QStringLiteral("cannot make the link '%1'").arg(QDir(m_output).filePath(name));
        return false;
    }
    *listName = name;
    return true;
}

QString IndexWriter::writeFailure(const QString &folder, const QString &reason)
{
    // A full disk shows as a short write, which Qt may report as "Unknown
    // error": the free space says what happened.
    const QStorageInfo storage(folder);
    if (storage.isValid() && storage.bytesAvailable() < (1 << 20))
        return QStringLiteral("the disk is full (%1 KB free on '%2')")
            .arg(storage.bytesAvailable() / 1024).arg(storage.rootPath());
    if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
        return QString::fromLocal8Bit(std::strerror(errno ? errno : EIO));
    return reason;
}

bool IndexWriter::writeText(const QString &name, const QByteArray &text, QString *error)
{
    QFile file(stagingPath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(text) != text.size() || !file.flush()) {
        *error = QStringLiteral("cannot write '%1': %2")
                     .arg(QDir(m_output).filePath(name), writeFailure(m_output, file.errorString()));
        return false;
    }
    return true;
}

bool IndexWriter::writeKeypoints(int image, const std::vector<Sift> &keypoints, QString *error)
{
    return writeKeypointFile(keypointFileName(image), keypoints, error);
}

bool IndexWriter::writeKeypointFile(const QString &name, const std::vector<Sift> &keypoints, QString *error)
{
    QByteArray bytes(qsizetype(keypoints.size()) * 32, '\0');
    uchar *p = reinterpret_cast<uchar *>(bytes.data());
    for (size_t i = 0; i < keypoints.size(); ++i)
        keypoints[i].toLittleEndian(p + 32 * i);
    return writeText(name, bytes, error);
}

bool IndexWriter::writeTable(const std::vector<int> &counts, int rows, int cols, TableCounts mode,
                             QString *error)
{
    const QByteArray out = QByteArray::number(rows) + ' ' + QByteArray::number(cols) + '\n'
                           + tableRows(counts, rows, cols, mode);
    return writeText(tableName, out, error);
}

QByteArray IndexWriter::tableRows(const std::vector<int> &counts, int rows, int cols, TableCounts mode)
{
    // Counts repeat, and most are small: each one's text is made once.
    std::vector<QByteArray> texts;
    auto text = [&](int c) -> const QByteArray & {
        if (size_t(c) >= texts.size())
            texts.resize(size_t(c) + 1);
        QByteArray &t = texts[size_t(c)];
        if (t.isEmpty()) {
            if (mode == TableCounts::Sqrt)
                t = QByteArray::number(std::sqrt(double(c)), 'g', 7);
            else if (mode == TableCounts::Presence)
                t = c > 0 ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
            else
                t = QByteArray::number(c);
        }
        return t;
    };
    QByteArray out;
    out.reserve(qsizetype(rows) * cols * 2 + 32);
    for (int r = 0; r < rows; ++r) {
        const int *row = counts.data() + size_t(r) * size_t(cols);
        for (int c = 0; c < cols; ++c) {
            if (c)
                out += ' ';
            out += text(row[c]);
        }
        out += '\n';
    }
    return out;
}

bool IndexWriter::writeImageList(const std::vector<int> &categories, const QStringList &names,
                                 QString *error)
{
    QByteArray text;
    for (int i = 0; i < names.size(); ++i)
        text += QByteArray::number(categories[size_t(i)]) + ' ' + names[i].toUtf8() + '\n';
    return writeText(imageListName, text, error);
}

bool IndexWriter::writeKeypointList(const QStringList &keypointFiles, QString *error)
{
    QByteArray text = QByteArray::number(keypointFiles.size()) + '\n';
    for (const QString &name : keypointFiles)
        text += name.toUtf8() + '\n';
    return writeText(keypointListName, text, error);
}

bool IndexWriter::writeVocabulary(const Vocabulary &vocabulary, QString *error)
{
    return vocabulary.save(stagingPath(vocabularyName), error);
}

bool IndexWriter::writeColourVocabulary(const Vocabulary &vocabulary, QString *error)
{
    return vocabulary.save(colourVocabularyPath(stagingPath(vocabularyName)), error);
}

QString IndexWriter::colourVocabularyPath(const QString &vocabularyPath)
{
    const QFileInfo info(vocabularyPath);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("-colour") + suffix);
}

bool IndexWriter::writeFile(const QString &name, const QByteArray &text, QString *error)
{
    return writeText(name, text, error);
}

bool IndexWriter::commitSupplement(const QString &projectFile, const QByteArray &projectText, QString *error)
{
    if (!m_staging) {
        *error = QStringLiteral("nothing to commit");
        return false;
    }
    const QDir out(m_output);
    // The new keypoint files and links first: new names, which nothing
    // names yet.
    for (const QString &folder : {supKeypointFolder, supLinkFolder}) {
        const QDir staged(stagingPath(folder));
        const QStringList names = staged.entryList(QDir::Files | QDir::System | QDir::Hidden);
        if (names.isEmpty())
            continue;
        if (!out.exists(folder) && !out.mkdir(folder)) {
            *error = QStringLiteral("cannot create the folder '%1'").arg(out.filePath(folder));
            return false;
        }
        for (const QString &name : names) {
            const QString target = out.filePath(folder + QLatin1Char('/') + name);
            if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
                *error = QStringLiteral("'%1' exists already; it is not replaced").arg(target);
                return false;
            }
            if (!QFile::rename(staged.filePath(name), target)) {
                *error = QStringLiteral("cannot move '%1' into place").arg(target);
                return false;
            }
        }
    }
    // Then the set's table, lists and coordinates, each replaced in one
    // rename, the coordinates last among them.
    for (const QString &name : {supTableName, supImageListName, supKeypointListName, supCategoriesName,
                                supSkippedName, supLogName, supCoordinatesName()}) {
        const QString staged = stagingPath(name);
        if (!QFileInfo::exists(staged))
            continue;
        if (::rename(QFile::encodeName(staged).constData(), QFile::encodeName(out.filePath(name)).constData()) != 0) {
            *error = QStringLiteral("cannot move '%1' into place: %2")
                         .arg(out.filePath(name), QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    QSaveFile project(projectFile);
    if (!project.open(QIODevice::WriteOnly) || project.write(projectText) != projectText.size()
        || !project.flush() || !project.commit()) {
        *error = QStringLiteral("cannot write '%1': %2").arg(projectFile, writeFailure(m_output, project.errorString()));
        return false;
    }
    m_lock.reset();
    m_staging.reset();
    return true;
}

void IndexWriter::abandon()
{
    m_lock.reset();
    m_staging.reset();
}

QByteArray IndexWriter::projectXml(int axes, bool withResults, bool withCategories, bool withManifest,
                                   bool withAtlas)
{
    return projectXml(axes, withResults, withCategories, withManifest, withAtlas, false, false);
}

QByteArray IndexWriter::projectXml(int axes, bool withResults, bool withCategories, bool withManifest,
                                   bool withAtlas, bool withSupplementary, bool withSupCoordinates)
{
    ProjectXml xml(".", "  ");
    xml.setAxes(axes);
    const std::string table = tableName.toStdString();
    xml.addFile("F", table);
    if (withResults) {
        for (int k = 0; k < ResultFiles::kFiveFileCount; ++k)
            xml.addResult(ResultFiles::Kind(k), table);
        if (withManifest)
            xml.addResult(ResultFiles::Inertia, table);
    }
    xml.addFile("LABEL", imageListName.toStdString());
    xml.addFile("DESCRIPTOR", keypointListName.toStdString());
    if (withCategories)
        xml.addFile("CATEGORIES", categoriesName.toStdString());
    if (withAtlas)
        xml.addFile("WORDATLAS", atlasName.toStdString());
    if (withSupplementary) {
        xml.addFile("FSUP", supTableName.toStdString());
        xml.addFile("LABELSUP", supImageListName.toStdString());
        xml.addFile("DESCRIPTORSUP", supKeypointListName.toStdString());
        // Solved, the solver placed them beside the results (and its
        // manifest lists them); otherwise the viewer's solver run places
        // them (FSUP) when it opens the project.
        if (withResults && withSupCoordinates)
            xml.addResult(ResultFiles::ZSup, table);
    }
    return QByteArray::fromStdString(xml.text());
}

bool IndexWriter::commit(int axes, bool withResults, QString *error)
{
    if (!m_staging) {
        *error = QStringLiteral("nothing to commit");
        return false;
    }
    const QDir out(m_output);
    // From here on an earlier index in this folder is being replaced: take
    // its project away first, so that a failure below cannot leave a project
    // that names a mix of old and new files.
    if (QFileInfo::exists(out.filePath(projectName)) && !QFile::remove(out.filePath(projectName))) {
        *error = QStringLiteral("cannot replace '%1'").arg(out.filePath(projectName));
        return false;
    }

    QStringList files = {tableName, imageListName, keypointListName, vocabularyName,
                         colourVocabularyPath(vocabularyName), categoriesName, skippedName,
                         duplicatesName, logName, atlasName, optionsName, supTableName,
                         supImageListName, supKeypointListName, supCoordinatesName(),
                         supSkippedName, supLogName, supCategoriesName, SupplementaryManifest::fileName()};
    for (const QString &suffix : resultSuffixes + optionalResultSuffixes)
        files << tableName + suffix;
    for (const QString &name : files) {
        const QString target = out.filePath(name);
        const QString staged = stagingPath(name);
        if (QFileInfo::exists(target) && !QFile::remove(target)) {
            *error = QStringLiteral("cannot replace '%1'").arg(target);
            return false;
        }
        if (QFileInfo::exists(staged) && !QFile::rename(staged, target)) {
            *error = QStringLiteral("cannot move '%1' into place").arg(target);
            return false;
        }
    }

    // Folders of this index: the old one goes into the staging folder and
    // is removed with it.
    for (const QString &folder : {keypointFolder, linkFolder, supKeypointFolder, supLinkFolder}) {
        const QString target = out.filePath(folder);
        const QString old = stagingPath(QStringLiteral("old-") + folder);
        if (QFileInfo::exists(target) && !QDir().rename(target, old)) {
            *error = QStringLiteral("cannot replace the folder '%1'").arg(target);
            return false;
        }
        // An index without supplementary images has no folder of their keypoints.
        if (QDir(stagingPath(folder)).isEmpty())
            continue;
        if (QFileInfo::exists(stagingPath(folder)) && !QDir().rename(stagingPath(folder), target)) {
            *error = QStringLiteral("cannot move the folder '%1' into place").arg(target);
            return false;
        }
    }

    QSaveFile project(out.filePath(projectName));
    const bool withSupplementary = QFileInfo::exists(out.filePath(supTableName));
    const QByteArray xml = projectXml(axes, withResults, QFileInfo::exists(out.filePath(categoriesName)),
                                      QFileInfo::exists(out.filePath(tableName + ResultFiles::suffix(ResultFiles::Inertia))),
                                      QFileInfo::exists(out.filePath(atlasName)), withSupplementary,
                                      QFileInfo::exists(out.filePath(tableName + ResultFiles::suffix(ResultFiles::ZSup))));
    // The flush is checked on its own: commit() misses a failed final flush.
    if (!project.open(QIODevice::WriteOnly) || project.write(xml) != xml.size()
        || !project.flush() || !project.commit()) {
        *error = QStringLiteral("cannot write '%1': %2").arg(out.filePath(projectName),
                                                             writeFailure(m_output, project.errorString()));
        return false;
    }
    m_lock.reset();
    m_staging.reset(); // removes the staging folder and any old keypoint files
    return true;
}
