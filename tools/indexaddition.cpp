// Adding images to an indexed project as supplementary images: they are
// described with the project's vocabulary and the options its own images
// were described with, and placed on its axes by the transition formula
// from its results, which stay as they are. Only the supplementary set
// (its table, lists, coordinates and keypoint files) and the project file
// naming it are written.
#include "tools/indexer.h"

#include "tools/imagecollection.h"
#include "tools/indexoptionsrecord.h"
#include "tools/indexrun.h"
#include "tools/indexwriter.h"
#include "tools/projectaddition.h"
#include "tools/supplementaryrows.h"
#include "tools/supplementaryset.h"

#include "data/model/cadata.h"
#include "data/formats/caresultwriter.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <cstdio>

namespace {

// Beside the project file, held for the whole of an addition: two additions
// at once would each extend the set as it was, and the second to commit
// would drop the first one's images.
const char additionLock[] = ".ortelis-index-adding.lock";

// Locks the addition to `projectFile`; false with `error` naming the run
// that holds it.
bool lockAddition(QLockFile &lock, const QString &projectFile, QString *error)
{
    lock.setStaleLockTime(0); // only the holder's death frees it, never its age
    if (lock.tryLock(0))
        return true;
    qint64 pid = 0;
    QString host, program;
    if (lock.error() == QLockFile::LockFailedError && lock.getLockInfo(&pid, &host, &program)) {
        *error = QStringLiteral("images are being added to the project '%1' by another run (%2, process %3 on "
                                "%4, which holds '%5'): wait for it to end, then add these")
                     .arg(projectFile, program.isEmpty() ? QStringLiteral("ortelis-index") : program)
                     .arg(pid)
                     .arg(host, lock.fileName());
    } else {
        *error = QStringLiteral("cannot lock the project '%1' for the addition: '%2' cannot be made")
                     .arg(projectFile, lock.fileName());
    }
    return false;
}

} // namespace

bool Indexer::addTo(QString *error)
{
    const QFileInfo projectInfo(m_options.addTo);
    std::unique_ptr<QLockFile> lock;
    if (projectInfo.isFile()) {
        lock = std::make_unique<QLockFile>(projectInfo.absoluteDir().filePath(QLatin1String(additionLock)));
        if (!lockAddition(*lock, projectInfo.absoluteFilePath(), error))
            return false;
    }
    ProjectAddition project;
    QStringList repaired;
    if (!project.load(m_options.addTo, error, &repaired))
        return false;
    for (const QString &line : std::as_const(repaired))
        std::printf("%s\n", qPrintable(line));
    // Described as the project's images were: its record and vocabulary;
    // of this command line only the workers and the output are kept.
    IndexOptions o;
    o.input = m_options.input;
    o.output = project.folder();
    o.jobs = m_options.jobs;
    o.quiet = m_options.quiet;
    o.addTo = project.projectFile();
    o.vocabulary = project.vocabularyPath();
    if (!IndexOptionsRecord::read(project.optionsPath(), o, error))
        return false;
    o.vocabulary = project.vocabularyPath();
    m_options = o;

    ImageCollection collection;
    if (!collection.load(o.input, o.output, error))
        return false;

    IndexRun r;
    startRun(r, collection);
    r.adding = true;
    r.known = project.imageFiles();
    r.fileOffset = project.nextFileNumber();
    QStringList lines;
    r.categoryNumbers = project.categoryNumbers(collection.categoryNames(), &lines);
    if (!o.quiet)
        for (const QString &line : std::as_const(lines))
            std::printf("%s\n", qPrintable(line));
    if (!collect(r, error))
        return false;
    const int words = r.grey.size() + r.colour.size();
    if (words != project.data().nbWords) {
        *error = QStringLiteral("the vocabulary '%1' has %2 words (colour words included), but the results of '%3' "
                                "have %4: they are not of one index")
                     .arg(project.vocabularyPath()).arg(words).arg(project.projectFile()).arg(project.data().nbWords);
        r.writer.abandon();
        return false;
    }
    if (!describe(r, error))
        return false;
    return writeAddition(r, project, error);
}

bool Indexer::writeAddition(IndexRun &r, ProjectAddition &project, QString *error)
{
    const IndexOptions &o = m_options;
    IndexWriter &writer = r.writer;
    const CAData &data = project.data();
    const int cols = data.nbWords;
    SupplementaryRows sup;
    supplementaryRows(r, cols, sup);
    tallySkipped();
    m_summary.words = cols;
    if (sup.rows == 0) {
        writer.abandon();
        *error = QStringLiteral("none of the %1 images could be placed (see the reasons above)").arg(r.n);
        return false;
    }

    // The earlier supplementary images first, then these: one table, one
    // list, one set of coordinates.
    const int rows = project.earlierRows() + sup.rows;
    const QByteArray table = QByteArray::number(rows) + ' ' + QByteArray::number(cols) + '\n'
                             + project.earlierTableRows + sup.tableRows(o.counts);
    if (!writer.writeFile(IndexWriter::supTableName, table, error)
        || !writer.writeFile(IndexWriter::supImageListName, project.earlierImageList + sup.imageList(), error))
        return false;
    if (project.earlierKeypointList
        && !writer.writeFile(IndexWriter::supKeypointListName, sup.keypointList(project.earlierKeypointFiles), error))
        return false;
    std::vector<double> coordinates;
    int placed = 0;
    if (!project.place(writer.stagingPath(IndexWriter::supTableName), coordinates, &placed, error))
        return false;
    std::string text;
    CAResultWriter::appendMatrixHeader(text, std::size_t(placed), data.zCols);
    CAResultWriter::appendMatrixRows(text, coordinates.data(), std::size_t(placed), data.zCols);
    if (!writer.writeFile(IndexWriter::supCoordinatesName(), QByteArray::fromStdString(text), error))
        return false;

    m_summary.seconds = r.clock.elapsed() / 1000.0;
    QByteArray skipped = project.earlierSkipped;
    for (const QString &line : std::as_const(m_skippedLines))
        skipped += line.toUtf8() + '\n';
    QByteArray log = project.earlierLog;
    log += QStringLiteral("# %1: added from '%2'\n")
               .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODate), QFileInfo(o.input).absoluteFilePath())
               .toUtf8();
    for (const QString &line : std::as_const(m_summary.problems))
        log += line.toUtf8() + '\n';
    log += summaryText().toUtf8() + '\n';
    if (!writer.writeFile(IndexWriter::supSkippedName, skipped, error)
        || !writer.writeFile(IndexWriter::supLogName, log, error))
        return false;

    std::vector<std::pair<std::string, std::string>> files = {
        {"FSUP", IndexWriter::supTableName.toStdString()},
        {"LABELSUP", IndexWriter::supImageListName.toStdString()},
        {"ZSUP", IndexWriter::supCoordinatesName().toStdString()}};
    if (project.earlierKeypointList)
        files.emplace_back("DESCRIPTORSUP", IndexWriter::supKeypointListName.toStdString());
    // Folders the project has no category for are named in a file of the
    // supplementary images' own, leaving the project's categories file as it was.
    if (!project.earlierCategories.isEmpty() || !project.addedCategories.isEmpty()) {
        if (!writer.writeFile(IndexWriter::supCategoriesName,
                              project.earlierCategories + project.addedCategories, error))
            return false;
        files.emplace_back("CATEGORIESSUP", IndexWriter::supCategoriesName.toStdString());
    }
    if (stopped(writer, error))
        return false;
    // The set is committed as one: what it replaces is kept and its record
    // put in place first, so that an interrupted commit can be completed or
    // undone.
    const QByteArray projectText = project.projectText(files);
    if (!SupplementarySet::prepare(writer.stagingFolder(), project.folder(), project.projectFile(), projectText, rows,
                                   error))
        return false;
    if (!writer.commitSupplement(project.projectFile(), projectText, error)) {
        QString undo;
        if (!SupplementarySet::rollBack(writer.stagingFolder(), project.folder(), project.projectFile(), &undo))
            *error += QStringLiteral("; the supplementary images could not be put back as they were: %1").arg(undo);
        return false;
    }
    m_summary.seconds = r.clock.elapsed() / 1000.0;
    return true;
}
