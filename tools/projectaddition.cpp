#include "tools/projectaddition.h"

#include "tools/imagecollection.h"
#include "tools/indexwriter.h"
#include "tools/supplementaryset.h"

#include "data/model/cadata.h"
#include "data/formats/caresultwriter.h"
#include "data/model/console.h"
#include "data/formats/regularfile.h"
#include "data/formats/resultfiles.h"
#include "data/model/xmlparser.h"
#include "solver/casolution.h"
#include "solver/casupplementary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// A project file is a few lines; anything larger is not one.
constexpr qint64 kMaxProjectBytes = 1 << 20;
// The earlier set's lists and logs are read whole; they grow by a line or
// two per image added.
constexpr qint64 kMaxListBytes = qint64(1) << 30;

bool readText(const QString &path, qint64 limit, QByteArray *text, QString *error)
{
    QFile file(path);
    QString why;
    if (!RegularFile::open(file, &why)) {
        *error = QStringLiteral("cannot open '%1': %2").arg(path, why);
        return false;
    }
    // Read as it comes, never more than the file holds: a buffer of the
    // limit's size, reserved up front, would take gigabytes for a file of a
    // few lines.
    text->clear();
    if (file.size() > limit) {
        *error = QStringLiteral("'%1' is larger than %2 bytes").arg(path).arg(limit);
        return false;
    }
    text->reserve(qsizetype(file.size()));
    char chunk[64 * 1024];
    for (;;) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0) {
            *error = QStringLiteral("cannot read '%1': %2").arg(path, file.errorString());
            return false;
        }
        if (got == 0)
            break;
        if (text->size() + got > limit) {
            // It grew while it was read.
            *error = QStringLiteral("'%1' is larger than %2 bytes").arg(path).arg(limit);
            text->clear();
            return false;
        }
        text->append(chunk, qsizetype(got));
    }
    return true;
}

// The number (from 1) of the first line of `text` with something on it
// after `lines` such lines; 0 when there is none.
int lineBeyond(const QByteArray &text, qint64 lines)
{
    qint64 filled = 0;
    int number = 0;
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = text.indexOf('\n', at);
        if (end < 0)
            end = text.size();
        ++number;
        bool blank = true;
        for (qsizetype i = at; i < end && blank; ++i)
            blank = text[i] == ' ' || text[i] == '\t' || text[i] == '\r';
        if (!blank && ++filled > lines)
            return number;
        at = end + 1;
    }
    return 0;
}

// Text ending with a line break (when not empty), so that more lines can
// follow it.
QByteArray completeLines(QByteArray text)
{
    if (!text.isEmpty() && !text.endsWith('\n'))
        text += '\n';
    return text;
}

} // namespace

ProjectAddition::ProjectAddition() = default;
ProjectAddition::~ProjectAddition() = default;

QString ProjectAddition::vocabularyPath() const
{
    return QDir(m_folder).filePath(IndexWriter::vocabularyName);
}

QString ProjectAddition::optionsPath() const
{
    return QDir(m_folder).filePath(IndexWriter::optionsName);
}

bool ProjectAddition::parseProject(QString *error)
{
    QByteArray bytes;
    if (!readText(m_projectFile, kMaxProjectBytes, &bytes, error))
        return false;
    QXmlStreamReader reader(bytes);
    bool based = false;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::Comment && m_comment.empty() && m_files.empty()) {
            m_comment = "<!--" + reader.text().toString().toStdString() + "-->";
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        // Element and FILE names are matched whatever their case, as the
        // viewer's parser matches them.
        const QString element = reader.qualifiedName().toString().toUpper();
        const QXmlStreamAttributes atts = reader.attributes();
        if (element == QLatin1String("BASE")) {
            based = true;
            m_base = atts.value(QLatin1String("href")).toString().toStdString();
        } else if (element == QLatin1String("AXIS")) {
            bool ok = false;
            const int number = atts.value(QLatin1String("number")).toString().toInt(&ok, 10);
            m_hasAxes = true;
            m_axes = std::max(1, ok ? number : 0);
        } else if (element == QLatin1String("FILE")) {
            const QString name = atts.value(QLatin1String("name")).toString();
            const QString path = atts.value(QLatin1String("path")).toString();
            m_files.emplace_back(name.toStdString(), path.toStdString());
            if (name.toUpper() == QLatin1String("DESCRIPTORSUP"))
                m_descriptorSup = path;
        }
    }
    if (reader.hasError()) {
        *error = QStringLiteral("'%1' is not a project file: line %2, column %3: %4")
                     .arg(m_projectFile)
                     .arg(reader.lineNumber())
                     .arg(reader.columnNumber())
                     .arg(reader.errorString());
        return false;
    }
    if (!based) {
        // Without BASE its files are found from wherever the viewer is
        // started: there is no folder to add images to.
        *error = QStringLiteral("'%1' names no BASE folder, so it has no folder of its own to add images to")
                     .arg(m_projectFile);
        return false;
    }
    return true;
}

bool ProjectAddition::load(const QString &projectFile, QString *error, QStringList *repaired)
{
    m_projectFile = QDir::cleanPath(QFileInfo(projectFile).absoluteFilePath());
    if (!QFileInfo(m_projectFile).isFile()) {
        *error = QStringLiteral("the project '%1' does not exist").arg(m_projectFile);
        return false;
    }
    if (repaired) {
        // Before anything of the set is read: a commit cut short leaves it
        // mixed, and completing it may rewrite the project file.
        QString folder;
        {
            Console::Capture quiet;
            QFile file(m_projectFile);
            XMLParser parser(QFileInfo(m_projectFile).absolutePath());
            parser.parse(&file);
            if (parser.data)
                folder = parser.data->baseDir;
            delete parser.data;
        }
        if (!folder.isEmpty() && !SupplementarySet::recover(folder, m_projectFile, repaired, error))
            return false;
    }
    if (!parseProject(error))
        return false;

    // The viewer's own reading of the project and its results, with its
    // checks (a result set that is a mix of two runs, unusable values...);
    // its console lines are kept for an error.
    Console::Capture console;
    QFile file(m_projectFile);
    XMLParser parser(QFileInfo(m_projectFile).absolutePath());
    parser.parse(&file);
    m_data.reset(parser.data);
    m_folder = m_data->baseDir;
    CAData &d = *m_data;

    if (!QFileInfo::exists(vocabularyPath())) {
        *error = QStringLiteral("the project '%1' has no vocabulary: '%2' does not exist. Images can be added "
                                "only to a project made by ortelis-index, whose vocabulary describes them")
                     .arg(m_projectFile, vocabularyPath());
        return false;
    }
    if (!QFileInfo::exists(optionsPath())) {
        *error = QStringLiteral("the project '%1' has no record of how its images were described: '%2' does "
                                "not exist (indexes made before it was kept lack it). Images described "
                                "otherwise would be placed wrongly; index the collection again, or write "
                                "that file with the options it was indexed with, one per line as on the "
                                "command line (\"--grid 16\")")
                     .arg(m_projectFile, optionsPath());
        return false;
    }
    if (d.fileZ.isEmpty() || d.fileW.isEmpty() || d.fileLambda.isEmpty()) {
        // Not named: the results the viewer's solver run left beside the
        // table, which the project then goes on naming.
        const QString table = d.fileF;
        bool all = !table.isEmpty();
        for (ResultFiles::Kind kind : {ResultFiles::Z, ResultFiles::W, ResultFiles::Lambda})
            all = all && QFileInfo::exists(d.resolve(table + QLatin1String(ResultFiles::suffix(kind))));
        if (!all) {
            *error = QStringLiteral("the project '%1' has no results to place images by (FILE Z, W and "
                                    "LAMBDA, or the solver's files beside its table): open it once in the "
                                    "viewer, which runs the solver, or index it with --solve")
                         .arg(m_projectFile);
            return false;
        }
        for (ResultFiles::Kind kind : {ResultFiles::Z, ResultFiles::W, ResultFiles::P, ResultFiles::Q,
                                       ResultFiles::Lambda, ResultFiles::Inertia}) {
            const QString path = table + QLatin1String(ResultFiles::suffix(kind));
            if (!QFileInfo::exists(d.resolve(path)))
                continue;
            derivedResults.emplace_back(ResultFiles::projectKey(kind), path.toStdString());
        }
        d.fileZ = table + QLatin1String(ResultFiles::suffix(ResultFiles::Z));
        d.fileW = table + QLatin1String(ResultFiles::suffix(ResultFiles::W));
        d.fileLambda = table + QLatin1String(ResultFiles::suffix(ResultFiles::Lambda));
        const QString p = table + QLatin1String(ResultFiles::suffix(ResultFiles::P));
        const QString q = table + QLatin1String(ResultFiles::suffix(ResultFiles::Q));
        d.fileP = QFileInfo::exists(d.resolve(p)) ? p : QString();
        d.fileQ = QFileInfo::exists(d.resolve(q)) ? q : QString();
    }
    if (!d.read()) {
        QStringList lines = console.err();
        *error = QStringLiteral("cannot load the results of the project '%1'%2")
                     .arg(m_projectFile, lines.isEmpty() ? QString() : QStringLiteral(": ") + lines.join(QStringLiteral(" ")));
        return false;
    }
    if (d.zCols < 1 || d.wCols < d.zCols || d.nbLambda < d.zCols) {
        *error = QStringLiteral("the results of the project '%1' cannot place images: %2 axes of images, %3 of "
                                "words and %4 eigenvalues")
                     .arg(m_projectFile).arg(d.zCols).arg(d.wCols).arg(d.nbLambda);
        return false;
    }
    for (int a = 0; a < d.zCols; ++a) {
        if (!(d.lambda[a] > 0) || !std::isfinite(d.lambda[a])) {
            *error = QStringLiteral("the results of the project '%1' cannot place images: the eigenvalue of "
                                    "axis %2 is %3")
                         .arg(m_projectFile).arg(a + 1).arg(d.lambda[a]);
            return false;
        }
    }
    return readEarlier(error);
}

bool ProjectAddition::readEarlier(QString *error)
{
    const CAData &d = *m_data;
    const QDir folder(m_folder);
    if (QFileInfo::exists(folder.filePath(IndexWriter::supSkippedName))
        && !readText(folder.filePath(IndexWriter::supSkippedName), kMaxListBytes, &earlierSkipped, error))
        return false;
    if (QFileInfo::exists(folder.filePath(IndexWriter::supLogName))
        && !readText(folder.filePath(IndexWriter::supLogName), kMaxListBytes, &earlierLog, error))
        return false;
    earlierSkipped = completeLines(earlierSkipped);
    earlierLog = completeLines(earlierLog);
    if (!d.fileCategoriesSup.isEmpty() && QFileInfo::exists(d.fileCategoriesSup)) {
        if (!readText(d.fileCategoriesSup, kMaxListBytes, &earlierCategories, error))
            return false;
        earlierCategories = completeLines(earlierCategories);
    }
    if (d.fileFSup.isEmpty() && d.nbSupImages == 0)
        return true;
    if (d.fileFSup.isEmpty() || d.fileLabelSup.isEmpty()) {
        *error = QStringLiteral("the project '%1' has %2 supplementary images without their table (FILE FSUP) "
                                "or their image list (FILE LABELSUP); images cannot be added to them")
                     .arg(m_projectFile).arg(d.nbSupImages);
        return false;
    }
    const QString tablePath = d.resolve(d.fileFSup);
    QByteArray table;
    // Bounded by what the set holds when its coordinates say how many
    // images it has: a value is written in at most 24 characters.
    const qint64 tableLimit = d.ZSup ? std::min<qint64>(INT_MAX, 64 + qint64(d.nbSupImages) * (qint64(d.nbWords) * 24 + 2))
                                     : qint64(INT_MAX);
    if (!readText(tablePath, tableLimit, &table, error))
        return false;
    // The header line, then the rows, as the indexer writes its tables.
    const int end = table.indexOf('\n');
    const QList<QByteArray> header = table.left(end < 0 ? table.size() : end).simplified().split(' ');
    bool rowsOk = false, colsOk = false;
    const int rows = header.size() == 2 ? header[0].toInt(&rowsOk) : 0;
    const int cols = header.size() == 2 ? header[1].toInt(&colsOk) : 0;
    if (!rowsOk || !colsOk || rows < 0 || cols != d.nbWords) {
        *error = QStringLiteral("'%1': the supplementary images' table does not start with a line \"rows %2\" "
                                "over the project's %2 words")
                     .arg(tablePath).arg(d.nbWords);
        return false;
    }
    if (d.ZSup && rows != d.nbSupImages) {
        *error = QStringLiteral("'%1' has %2 rows, but the project's supplementary images are %3")
                     .arg(tablePath).arg(rows).arg(d.nbSupImages);
        return false;
    }
    if (const int extra = lineBeyond(table, rows + 1)) {
        *error = QStringLiteral("'%1':%2: data after the %3 rows its header announces").arg(tablePath).arg(extra).arg(rows);
        return false;
    }
    m_earlierRows = rows;
    earlierTableRows = completeLines(end < 0 ? QByteArray() : table.mid(end + 1));
    const QString listPath = d.resolve(d.fileLabelSup);
    if (!readText(listPath, std::min<qint64>(kMaxListBytes, (qint64(rows) + 1) * ImageCollection::maxListLineBytes),
                  &earlierImageList, error))
        return false;
    if (const int extra = lineBeyond(earlierImageList, rows)) {
        *error = QStringLiteral("'%1':%2: more lines than the %3 supplementary images of '%4'")
                     .arg(listPath).arg(extra).arg(rows).arg(tablePath);
        return false;
    }
    earlierImageList = completeLines(earlierImageList);
    if (earlierImageList.simplified().split(' ').size() < 2 * rows) {
        *error = QStringLiteral("'%1' names fewer than the %2 supplementary images of '%3'")
                     .arg(d.fileLabelSup).arg(rows).arg(tablePath);
        return false;
    }
    earlierKeypointList = false;
    if (!m_descriptorSup.isEmpty()) {
        QByteArray list;
        QString ignored;
        if (readText(d.resolve(m_descriptorSup),
                     std::min<qint64>(kMaxListBytes, (qint64(rows) + 1) * ImageCollection::maxListLineBytes), &list,
                     &ignored)) {
            QList<QByteArray> words = list.simplified().split(' ');
            if (!words.isEmpty() && words[0].toInt() == rows && words.size() == rows + 1) {
                for (int i = 1; i < words.size(); ++i)
                    earlierKeypointFiles << QString::fromUtf8(words[i]);
                earlierKeypointList = true;
            }
        }
    }
    return true;
}

QSet<QString> ProjectAddition::imageFiles() const
{
    const CAData &d = *m_data;
    QSet<QString> files;
    for (int i = 0; i < d.imageCount(); ++i) {
        const ImageLabel *label = d.imageLabel(i);
        if (!label || label->imageFile.isEmpty())
            continue;
        const QString canonical = QFileInfo(d.resolve(label->imageFile)).canonicalFilePath();
        if (!canonical.isEmpty())
            files.insert(canonical);
    }
    return files;
}

int ProjectAddition::nextFileNumber() const
{
    static const QRegularExpression numbered(QStringLiteral("^(\\d{6,})"));
    int next = 0;
    for (const QString &folder : {IndexWriter::supKeypointFolder, IndexWriter::supLinkFolder}) {
        const QStringList names = QDir(QDir(m_folder).filePath(folder)).entryList(QDir::Files | QDir::System);
        for (const QString &name : names) {
            const QRegularExpressionMatch m = numbered.match(name);
            if (m.hasMatch())
                next = std::max(next, m.captured(1).toInt() + 1);
        }
    }
    return next;
}

std::vector<int> ProjectAddition::categoryNumbers(const QStringList &names, QStringList *lines)
{
    addedCategories.clear();
    const CAData &d = *m_data;
    int largest = 0;
    for (auto it = d.categoryNames.cbegin(); it != d.categoryNames.cend(); ++it)
        largest = std::max(largest, it.key());
    for (int i = 0; i < d.imageCount(); ++i)
        if (const ImageLabel *label = d.imageLabel(i))
            largest = std::max(largest, label->category);
    std::vector<int> numbers(size_t(names.size()), 0);
    for (int c = 1; c < names.size(); ++c) {
        const int known = d.categoryNames.key(names[c], -1);
        if (known >= 0) {
            numbers[size_t(c)] = known;
            lines->append(QStringLiteral("Folder %1: the project's category %2").arg(names[c]).arg(known));
        } else {
            numbers[size_t(c)] = ++largest;
            addedCategories += QByteArray::number(largest) + ' ' + names[c].toUtf8() + '\n';
            lines->append(QStringLiteral("Folder %1: not a category of the project, numbered %2")
                              .arg(names[c]).arg(largest));
        }
    }
    return numbers;
}

bool ProjectAddition::place(const QString &table, std::vector<double> &coordinates, int *rows,
                            QString *error) const
{
    const CAData &d = *m_data;
    CASupplementary supplementary;
    if (!supplementary.read(QFile::encodeName(table).toStdString(), d.nbWords)) {
        *error = QStringLiteral("%1: %2").arg(table, QString::fromStdString(supplementary.error()));
        return false;
    }
    // The project's solution as the solver held it: the words' principal
    // coordinates and the eigenvalues of the axes its images have.
    CASolution solution;
    solution.axes = d.zCols;
    solution.cols = d.nbWords;
    solution.W.resize(size_t(d.nbWords) * size_t(d.zCols));
    for (qint32 j = 0; j < d.nbWords; ++j)
        std::copy_n(d.W.get() + qint64(j) * d.wCols, d.zCols, solution.W.data() + qint64(j) * d.zCols);
    solution.lambda.assign(d.lambda.get(), d.lambda.get() + d.zCols);
    supplementary.place(solution);
    coordinates = std::move(solution.ZSup);
    *rows = solution.supRows;
    return true;
}

QByteArray ProjectAddition::projectText(const std::vector<std::pair<std::string, std::string>> &files) const
{
    ProjectXml xml(m_base, "  ");
    if (!m_comment.empty() && m_comment.find("--", 4) == m_comment.size() - 3)
        xml.setComment(m_comment);
    xml.setAxes(m_hasAxes ? m_axes : -1);
    for (const auto &f : m_files)
        xml.addFile(f.first, f.second);
    for (const auto &f : derivedResults)
        xml.setFile(f.first, f.second);
    for (const auto &f : files)
        xml.setFile(f.first, f.second);
    return QByteArray::fromStdString(xml.text());
}
