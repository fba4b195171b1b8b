// What a result set says beyond the five result files: its manifest (total
// inertia, run stamp, and whether the files on disk are the ones the run
// wrote), the values that cannot be used, and the supplementary images.
#include "data/model/cadata.h"

#include "data/model/console.h"
#include "data/formats/numberscanner.h"
#include "data/formats/regularfile.h"
#include "data/formats/resultfiles.h"
#include "data/formats/resultmanifest.h"
#include "data/formats/supplementarymanifest.h"
#include "data/statistics/tableinertia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

namespace {

// Coordinates beyond this are no position on any map (principal coordinates
// of a real table stay within a few thousand); 1e308 and the like are
// refused with the non-finite values.
constexpr double kLargestCoordinate = 1e12;

bool usableCoordinate(double v)
{
    return std::isfinite(v) && std::abs(v) <= kLargestCoordinate;
}

bool usableMass(double v)
{
    return std::isfinite(v) && v > 0 && v <= 1 + 1e-9;
}

QString suffixOf(ResultFiles::Kind kind)
{
    return QString::fromLatin1(ResultFiles::suffix(kind));
}

} // namespace

bool CAData::drawable(int image) const
{
    return imageUsable.empty() || imageUsable[std::size_t(image)];
}

bool CAData::drawableWord(int word) const
{
    return wordUsable.empty() || wordUsable[std::size_t(word)];
}

bool CAData::drawableSup(int s) const
{
    return supUsable.empty() || (s >= 0 && std::size_t(s) < supUsable.size() && supUsable[std::size_t(s)]);
}

const ImageLabel *CAData::imageLabel(int image) const
{
    if (image >= 0 && image < nbImages)
        return labels ? &labels[image] : nullptr;
    const int s = image - nbImages;
    if (s >= 0 && s < nbSupImages && supLabels)
        return &supLabels[s];
    return nullptr;
}

bool CAData::readManifest()
{
    QString path;
    const bool named = !fileInertia.isEmpty();
    const QString zSuffix = suffixOf(ResultFiles::Z);
    if (named)
        path = resolve(fileInertia);
    else if (fileZ.endsWith(zSuffix))
        path = fileZ.chopped(zSuffix.size()) + suffixOf(ResultFiles::Inertia);
    else
        return true;
    if (!QFileInfo::exists(path)) {
        // An older result set: the total inertia stays unknown.
        if (named)
            Console::err(QStringLiteral("Warning: the result manifest '%1' does not exist; the total inertia "
                                        "is unknown.").arg(path));
        return true;
    }
    fileInertia = path;
    QFile file(path);
    QString why;
    if (!RegularFile::open(file, &why)) {
        Console::err(QStringLiteral("Error: cannot open the result manifest '%1': %2.").arg(path, why));
        return false;
    }
    const QByteArray bytes = file.read(qint64(ResultManifest::kMaxBytes) + 1);
    ResultManifest m;
    std::string problem;
    if (bytes.size() > qsizetype(ResultManifest::kMaxBytes))
        problem = "it is larger than any result manifest";
    if (!problem.empty() || !m.parse(bytes.toStdString(), problem)) {
        Console::err(QStringLiteral("Error: %1: not a result manifest (%2).")
                         .arg(path, QString::fromStdString(problem)));
        return false;
    }

    // Each file read from beside the manifest must be the one the run wrote.
    const QString prefix = QDir::cleanPath(path.chopped(suffixOf(ResultFiles::Inertia).size()));
    if (fileZSup.isEmpty() && m.entry(ResultFiles::suffix(ResultFiles::ZSup)))
        fileZSup = prefix + suffixOf(ResultFiles::ZSup);
    const struct
    {
        ResultFiles::Kind kind;
        const QString *read;
    } files[] = {{ResultFiles::Z, &fileZ},   {ResultFiles::W, &fileW},           {ResultFiles::P, &fileP},
                 {ResultFiles::Q, &fileQ},   {ResultFiles::Lambda, &fileLambda}, {ResultFiles::ZSup, &fileZSup}};
    for (const auto &f : files) {
        const QString expected = prefix + suffixOf(f.kind);
        if (f.read->isEmpty() || QDir::cleanPath(resolve(*f.read)) != expected)
            continue;
        const ResultManifest::Entry *entry = m.entry(ResultFiles::suffix(f.kind));
        QString mismatch;
        ResultManifest::Entry onDisk;
        std::string reason;
        if (!entry)
            mismatch = QStringLiteral("'%1' is not one of its files").arg(expected);
        else if (!ResultManifest::digestFile(QFile::encodeName(expected).toStdString(), onDisk, reason))
            mismatch = QStringLiteral("'%1' cannot be read (%2)").arg(expected, QString::fromStdString(reason));
        else if (onDisk.bytes != entry->bytes || onDisk.digest != entry->digest)
            mismatch = QStringLiteral("'%1' is not the file that run wrote").arg(expected);
        if (!mismatch.isEmpty()) {
            Console::err(QStringLiteral("Error: %1: the result files are a mix of two solver runs: %2. "
                                        "Run the solver on the table again.")
                             .arg(path, mismatch));
            return false;
        }
    }
    double axes = 0;
    if (!m.holdsAxes(lambda.get(), nbLambda, &axes)) {
        // A total below what the axes hold would make shares of more than
        // the whole; the table's own total is worked out instead.
        Console::err(QStringLiteral("Warning: %1: its total inertia (%2) is less than the eigenvalues' sum (%3): "
                                    "it is not the total of this result set; axis shares are of the table's "
                                    "total worked out again, or of the computed axes.")
                         .arg(path).arg(m.inertia, 0, 'g', 6).arg(axes, 0, 'g', 6));
        m.inertia = std::numeric_limits<double>::quiet_NaN();
    }
    totalInertia = m.inertia;
    runStamp = QString::fromStdString(m.run);
    return true;
}

void CAData::checkValues()
{
    // One line per file with values that cannot be used; the points they
    // belong to are not drawn and not counted as shown.
    auto report = [this](const QString &path, qint64 bad, qint64 all, const char *what) {
        if (bad == 0)
            return;
        unusableValues += bad;
        Console::err(QStringLiteral("Warning: %1: %2 of %3 values are not usable (%4).")
                         .arg(path).arg(bad).arg(all).arg(QLatin1String(what)));
    };
    auto coordinates = [&](const double *values, qint32 rows, qint32 cols, const double *masses,
                           std::vector<quint8> &usable, qint64 &badValues, qint64 &badMasses) {
        usable.clear();
        badValues = badMasses = 0;
        bool all = true;
        std::vector<quint8> flags(std::size_t(std::max(0, rows)), 1);
        for (qint32 i = 0; i < rows; ++i) {
            const double *row = values + qint64(i) * cols;
            for (qint32 a = 0; a < cols; ++a)
                if (!usableCoordinate(row[a])) {
                    ++badValues;
                    flags[std::size_t(i)] = 0;
                }
            if (!usableMass(masses[i])) {
                ++badMasses;
                flags[std::size_t(i)] = 0;
            }
            all = all && flags[std::size_t(i)];
        }
        if (!all)
            usable = std::move(flags);
    };
    const char *coordinateProblem = "not finite numbers, or beyond any map";
    const char *massProblem = "not finite, zero, negative or above 1";
    qint64 badZ = 0, badP = 0, badW = 0, badQ = 0;
    coordinates(Z.get(), nbImages, zCols, P.get(), imageUsable, badZ, badP);
    coordinates(W.get(), nbWords, wCols, Q.get(), wordUsable, badW, badQ);
    report(fileZ, badZ, qint64(nbImages) * zCols, coordinateProblem);
    report(fileW, badW, qint64(nbWords) * wCols, coordinateProblem);
    // Masses are checked only where a file gave them (otherwise all 1).
    if (!fileP.isEmpty())
        report(fileP, badP, nbImages, massProblem);
    if (!fileQ.isEmpty())
        report(fileQ, badQ, nbWords, massProblem);
    qint64 badLambda = 0;
    for (qint32 a = 0; a < nbLambda; ++a)
        if (!(std::isfinite(lambda[a]) && lambda[a] > 0))
            ++badLambda;
    report(fileLambda, badLambda, nbLambda, "not finite, zero or negative");
}

bool CAData::readSupplementary()
{
    if (fileZSup.isEmpty())
        return true;
    // Optional points: a problem with them is reported and the analysis
    // opens without them.
    fileZSup = resolve(fileZSup);
    NumberScanner in;
    auto drop = [this](const QString &message) {
        Console::err(message + QStringLiteral(" The supplementary images are not shown."));
        ZSup.reset();
        supLabels.reset();
        supUsable.clear();
        nbSupImages = supCols = 0;
        return true;
    };
    // A set whose files are not those of one addition (one killed in its
    // commit) would put one image's name on another's point.
    QString mixed;
    if (SupplementaryManifest::check(QFileInfo(fileZSup).absolutePath(), &mixed) == SupplementaryManifest::Mixed)
        return drop(QStringLiteral("Error: %1; adding images to the project again (ortelis-index --add-to) "
                                   "completes it or undoes it.")
                        .arg(mixed));
    if (!in.open(QFile::encodeName(fileZSup).toStdString()))
        return drop(QStringLiteral("Error: cannot open file '%1' for reading: %2.")
                        .arg(fileZSup, QString::fromLocal8Bit(in.openError().c_str())));
    long long rows = 0, cols = 0;
    if (in.nextInt(rows) != NumberScanner::Ok || in.nextInt(cols) != NumberScanner::Ok || rows < 0 || cols < 0
        || rows > INT_MAX || cols > INT_MAX)
        return drop(QStringLiteral("Error: %1: the header is not two whole numbers.").arg(fileZSup));
    if (cols != zCols)
        return drop(QStringLiteral("Error: %1: %2 values per image where Z has %3.").arg(fileZSup).arg(cols).arg(zCols));
    const std::uint64_t n = std::uint64_t(rows) * std::uint64_t(cols);
    if (n > in.maxRemainingValues())
        return drop(QStringLiteral("Error: %1: the header announces %2 values, more than the file can hold.")
                        .arg(fileZSup).arg(qulonglong(n)));
    std::unique_ptr<double[]> values(new (std::nothrow) double[std::size_t(n ? n : 1)]);
    if (!values)
        return drop(QStringLiteral("Error: %1: not enough memory for %2 values.").arg(fileZSup).arg(qulonglong(n)));
    NumberScanner::Result r = NumberScanner::Ok;
    const std::size_t got = in.readDoubles(values.get(), std::size_t(n), r);
    if (r != NumberScanner::Ok)
        return drop(QStringLiteral("Error: %1: the file ends after %2 of the %3 values it announces, or holds "
                                   "something that is not a number.")
                        .arg(fileZSup).arg(qulonglong(got)).arg(qulonglong(n)));
    qint64 bad = 0;
    // A supplementary image is placed only when all its values are usable.
    supUsable.assign(std::size_t(rows), 1);
    for (std::uint64_t i = 0; i < n; ++i)
        if (!usableCoordinate(values[std::size_t(i)])) {
            ++bad;
            supUsable[std::size_t(i / std::uint64_t(cols))] = 0;
        }
    if (bad)
        Console::err(QStringLiteral("Warning: %1: %2 of %3 values are not usable (not finite numbers, or beyond "
                                    "any map).")
                         .arg(fileZSup).arg(bad).arg(qulonglong(n)));
    ZSup = std::move(values);
    nbSupImages = qint32(rows);
    supCols = qint32(cols);
    Console::out(QStringLiteral("Supplementary images: %1").arg(nbSupImages));

    if (!fileLabelSup.isEmpty()) {
        fileLabelSup = resolve(fileLabelSup);
        supLabels.reset(new (std::nothrow) ImageLabel[std::size_t(std::max(1, nbSupImages))]);
        if (!supLabels)
            return drop(QStringLiteral("Error: %1: not enough memory.").arg(fileLabelSup));
        QFile list(fileLabelSup);
        QString why;
        if (!RegularFile::open(list, &why)) {
            Console::err(QStringLiteral("Error: cannot open the image list '%1': %2.").arg(fileLabelSup, why));
            supLabels.reset();
            return true;
        }
        // "category name" pairs, as in the image list; the names are single
        // words and the list is bounded by the images it names.
        const QList<QByteArray> words = list.read(qint64(nbSupImages) * 8192 + 65536).simplified().split(' ');
        for (qint32 i = 0; i < nbSupImages && 2 * qsizetype(i) + 1 < words.size(); ++i) {
            bool ok = false;
            const int category = words[2 * i].toInt(&ok);
            if (!ok)
                break;
            supLabels[i].category = category;
            supLabels[i].imageFile = QString::fromLocal8Bit(words[2 * i + 1]);
        }
    }
    return true;
}

void CAData::totalFromTable()
{
    if (std::isfinite(totalInertia) || fileF.isEmpty())
        return;
    const QString table = resolve(fileF);
    const QFileInfo info(table);
    if (!info.isFile() || info.size() > kInertiaTableBytes)
        return;
    std::string reason;
    const double total = TableInertia::ofFile(QFile::encodeName(table).toStdString(), reason);
    if (!std::isfinite(total)) {
        Console::err(QStringLiteral("Warning: %1: the total inertia cannot be worked out (%2); axis shares "
                                    "are of the computed axes.")
                         .arg(table, QString::fromStdString(reason)));
        return;
    }
    // The axes of the table analysed cannot hold more than its whole
    // inertia: a table that has changed since is not used.
    double axes = 0;
    for (int a = 0; a < nbLambda; ++a)
        axes += lambda[a];
    if (axes > total * (1 + 1e-6) + 1e-12) {
        Console::err(QStringLiteral("Warning: %1: its total inertia (%2) is less than the eigenvalues' sum (%3): "
                                    "it is not the table analysed; axis shares are of the computed axes.")
                         .arg(table).arg(total, 0, 'g', 6).arg(axes, 0, 'g', 6));
        return;
    }
    totalInertia = total;
}
