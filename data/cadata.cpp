#include "data/cadata.h"

#include "data/console.h"
#include "data/numberscanner.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

QString CAData::casolver;

namespace {

QString why()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A count read from a file header: a whole, non-negative number that fits the
// 32-bit fields it goes into.
bool readCount(NumberScanner &in, const QString &path, const char *what, qint32 &count)
{
    long long v = 0;
    const NumberScanner::Result r = in.nextInt(v);
    if (r == NumberScanner::End) {
        Console::err(QStringLiteral("Error: %1: the file ends before its %2.").arg(path, what));
        return false;
    }
    if (r == NumberScanner::Bad) {
        Console::err(QStringLiteral("Error: %1: the %2 '%3' is not a whole number.")
                         .arg(path, what, QString::fromStdString(in.badToken())));
        return false;
    }
    if (v < 0 || v > INT_MAX) {
        Console::err(QStringLiteral("Error: %1: the %2 %3 is out of range.").arg(path, what).arg(v));
        return false;
    }
    count = qint32(v);
    return true;
}

// Reads n reals; the header was already checked against the file size, so a
// failure here is a short file or a token that is not a number.
bool readValues(NumberScanner &in, const QString &path, double *out, qint64 n)
{
    NumberScanner::Result r = NumberScanner::Ok;
    const std::size_t got = in.readDoubles(out, std::size_t(n), r);
    if (r == NumberScanner::Ok)
        return true;
    if (r == NumberScanner::End)
        Console::err(QStringLiteral("Error: %1: the file ends after %2 of the %3 values it announces.")
                         .arg(path).arg(qulonglong(got)).arg(n));
    else
        Console::err(QStringLiteral("Error: %1: value %2 ('%3') is not a number.")
                         .arg(path).arg(qulonglong(got + 1)).arg(QString::fromStdString(in.badToken())));
    return false;
}

// Refuses a header that announces more values than the rest of the file can
// hold, before anything is allocated for them.
bool fits(const NumberScanner &in, const QString &path, qint64 n)
{
    if (quint64(n) <= in.maxRemainingValues())
        return true;
    Console::err(QStringLiteral("Error: %1: the header announces %2 values, more than the file can hold.")
                     .arg(path).arg(n));
    return false;
}

template <typename T>
std::unique_ptr<T[]> allocate(qint64 n, const QString &path)
{
    std::unique_ptr<T[]> p(new (std::nothrow) T[std::size_t(n > 0 ? n : 1)]);
    if (!p)
        Console::err(QStringLiteral("Error: %1: not enough memory for %2 values.").arg(path).arg(n));
    return p;
}

bool openScanner(NumberScanner &in, const QString &path, const char *what)
{
    if (in.open(QFile::encodeName(path).toStdString()))
        return true;
    Console::err(QStringLiteral("Error: cannot open the %1 file '%2': %3.").arg(what, path, why()));
    return false;
}

// Whitespace-separated words of a small text file (image list, keypoint-file
// list), decoded with the local 8-bit codec.
QList<QByteArray> readWords(const QString &path, bool *opened)
{
    QFile file(path);
    *opened = file.open(QIODevice::ReadOnly);
    if (!*opened)
        return {};
    const QByteArray text = file.readAll().simplified();
    if (text.isEmpty())
        return {};
    return text.split(' ');
}

} // namespace

CAData::CAData(bool identity) : identityLabels(identity) {}

CAData::~CAData()
{
    if (!scratchDir.isEmpty())
        QDir(scratchDir).removeRecursively();
}

QString CAData::resolve(const QString &file) const
{
    if (QDir::isAbsolutePath(file))
        return file;
    return QDir(baseDir).absoluteFilePath(file);
}

bool CAData::readMatrix(QString &file, const char *title, qint32 &rows, qint32 &cols,
                        std::unique_ptr<double[]> &values)
{
    Console::out(QString::fromLatin1(title));
    Console::out(file);
    file = resolve(file);
    NumberScanner in;
    if (!in.open(QFile::encodeName(file).toStdString())) {
        // The coordinates file keeps its progress line; the reason goes to
        // the error stream as for every other file, where the failure box
        // finds it.
        if (&values == &Z)
            Console::out(QStringLiteral("Cannot open file '%1' for reeading").arg(file));
        Console::err(QStringLiteral("Error: cannot open file '%1' for reading: %2.").arg(file, why()));
        return false;
    }
    qint32 r = 0, c = 0;
    if (!readCount(in, file, "row count", r) || !readCount(in, file, "column count", c))
        return false;
    const qint64 n = qint64(r) * qint64(c);
    if (!fits(in, file, n))
        return false;
    auto v = allocate<double>(n, file);
    if (!v || !readValues(in, file, v.get(), n))
        return false;
    rows = r;
    cols = c;
    values = std::move(v);
    Console::out(QStringLiteral("%1 %2").arg(rows).arg(cols));
    return true;
}

bool CAData::readVector(const QString &path, const char *what, qint32 expected,
                        const char *mismatch, std::unique_ptr<double[]> &values, qint32 *count)
{
    NumberScanner in;
    if (!openScanner(in, path, what))
        return false;
    qint32 n = 0;
    if (!readCount(in, path, "value count", n))
        return false;
    if (mismatch && n != expected) {
        Console::err(QString::fromLatin1(mismatch));
        return false;
    }
    if (!fits(in, path, n))
        return false;
    auto v = allocate<double>(n, path);
    if (!v || !readValues(in, path, v.get(), n))
        return false;
    values = std::move(v);
    if (count)
        *count = n;
    return true;
}

bool CAData::read()
{
    const qint64 start = QDateTime::currentSecsSinceEpoch();
    Console::out(QStringLiteral("base dir = ") + baseDir);

    if (fileZ.isEmpty() || fileW.isEmpty() || fileLambda.isEmpty()) {
        if (fileF.isEmpty()) {
            Console::err(QStringLiteral("File(s) missing."));
            return false;
        }
        fileF = resolve(fileF);
        // The map always shows two axes: a one-axis request still asks the
        // solver for the second one (nbAxis itself stays as chosen).
        launchCA(fileF, nbAxis == 1 ? 2 : nbAxis);
        fileZ = fileF + QStringLiteral("_Z.txt");
        fileW = fileF + QStringLiteral("_W.txt");
        fileP = fileF + QStringLiteral("_P.txt");
        fileQ = fileF + QStringLiteral("_Q.txt");
        fileLambda = fileF + QStringLiteral("_Lambda.txt");
    }

    if (!readMatrix(fileZ, "Read Z", nbImages, zCols, Z))
        return false;
    if (!readMatrix(fileW, "Read W", nbWords, wCols, W))
        return false;

    P = allocate<double>(nbImages, fileZ);
    Q = allocate<double>(nbWords, fileW);
    if (!P || !Q)
        return false;
    std::fill_n(P.get(), nbImages, 1.0);
    std::fill_n(Q.get(), nbWords, 1.0);

    if (!fileP.isEmpty()) {
        fileP = resolve(fileP);
        std::unique_ptr<double[]> masses;
        if (!readVector(fileP, "image mass", nbImages,
                        "Error: size of mass of images file is different to Z's one.", masses, nullptr))
            return false;
        P = std::move(masses);
    }
    if (!fileQ.isEmpty()) {
        fileQ = resolve(fileQ);
        std::unique_ptr<double[]> masses;
        if (!readVector(fileQ, "word mass", nbWords,
                        "Error: size of mass of words file is different to Z's one.", masses, nullptr))
            return false;
        Q = std::move(masses);
    }

    fileLambda = resolve(fileLambda);
    if (!readVector(fileLambda, "eigenvalue", 0, nullptr, lambda, &nbLambda))
        return false;
    Console::out(QStringLiteral("Lambda size = %1").arg(nbLambda));

    readLabels();
    // An extracted analysis carries its parent's names already.
    if (identityLabels)
        readCategoryNames();

    Console::out(QStringLiteral("Reading descriptors..."));
    if (!readDescriptors())
        return false;

    if (nbAxis >= 1)
        nbAxis = std::min({nbAxis, zCols, wCols});
    else
        nbAxis = std::min(zCols, wCols);
    // A map shows two axes, the first two until the user picks others, and
    // every view divides by lambda[a] for the axes it shows.
    if (zCols < 2 || wCols < 2) {
        Console::err(QStringLiteral("Error: %1: the analysis has %2 axis; a map needs two.")
                         .arg(zCols < 2 ? fileZ : fileW).arg(std::min(zCols, wCols)));
        return false;
    }
    if (nbLambda < std::max(nbAxis, 2)) {
        Console::err(QStringLiteral("Error: %1: %2 eigenvalues for %3 axes in use.")
                         .arg(fileLambda).arg(nbLambda).arg(std::max(nbAxis, 2)));
        return false;
    }

    Console::out(QStringLiteral("reading finish!"));
    Console::out(QStringLiteral("Reading's time: %1").arg(QDateTime::currentSecsSinceEpoch() - start));

    if (identityLabels && !fileWordLabel.isEmpty()) {
        if (!readWordLabels())
            return false;
    } else if (identityLabels) {
        wordLabels = allocate<qint32>(nbWords, fileW);
        if (!wordLabels)
            return false;
        wordSet.clear();
        wordSet.reserve(nbWords);
        for (int j = 0; j < nbWords; ++j) {
            wordLabels[j] = j;
            wordSet.insert(j);
        }
    }
    return true;
}

void CAData::readLabels()
{
    if (fileLabel.isEmpty()) {
        Console::err(QStringLiteral("Cannot find file for label"));
        return;
    }
    fileLabel = resolve(fileLabel);
    labels.reset(new ImageLabel[std::size_t(nbImages > 0 ? nbImages : 1)]);
    bool opened = false;
    const QList<QByteArray> words = readWords(fileLabel, &opened);
    // Pairs the file does not supply keep category 0 and an empty name; a
    // category that is not a number ends the list there.
    qsizetype w = 0;
    for (int i = 0; i < nbImages && w + 1 < words.size(); ++i, w += 2) {
        bool ok = false;
        const int category = words[w].toInt(&ok);
        if (!ok)
            break;
        labels[i].category = category;
        labels[i].imageFile = QString::fromLocal8Bit(words[w + 1]);
    }
}

bool CAData::readDescriptors()
{
    if (fileDescriptor.isEmpty())
        return true;
    fileDescriptor = resolve(fileDescriptor);
    bool opened = false;
    const QList<QByteArray> words = readWords(fileDescriptor, &opened);
    Console::out(QStringLiteral("des file = ") + fileDescriptor);
    // A list that cannot be opened, or whose count is not a number, reads as 0.
    bool ok = false;
    qint64 count = words.isEmpty() ? 0 : words[0].toLongLong(&ok);
    if (!ok)
        count = 0;
    Console::out(QStringLiteral("size = %1").arg(count));
    if (count != nbImages) {
        Console::err(QStringLiteral("Error: the number of descriptors in decriptor file does not match the number of images in Z file"));
        return false;
    }
    if (words.size() - 1 < count) {
        Console::err(QStringLiteral("Error: %1: the list ends after %2 of the %3 keypoint files it announces.")
                         .arg(fileDescriptor).arg(words.size() - 1).arg(count));
        return false;
    }
    descriptors.reset(new QString[std::size_t(count > 0 ? count : 1)]);
    for (qint64 i = 0; i < count; ++i)
        descriptors[i] = QString::fromLocal8Bit(words[i + 1]);
    return true;
}
