#include "data/model/cadata.h"

#include "data/model/console.h"
#include "data/formats/numberscanner.h"
#include "data/formats/regularfile.h"
#include "data/formats/resultfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <fstream>
#include <new>
#include <thread>
#include <vector>

QString CAData::casolver;

namespace {

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

// The n values of a large file read on two threads, each from its half of
// the bytes (cut at a white space): reading a million rows is most of the
// time an analysis takes to open. Only when the halves hold exactly n good
// values between them; anything else (a bad value, too few or too many) is
// left to the reading in one pass, whose messages say where.
bool readValuesInHalves(const std::string &path, std::uint64_t start, std::uint64_t size,
                        double *out, qint64 n)
{
    if (n < (qint64(1) << 20) || std::thread::hardware_concurrency() < 2 || size <= start)
        return false;
    std::uint64_t cut = start + (size - start) / 2;
    {
        std::ifstream in(path, std::ios::binary);
        char look[4096];
        in.seekg(std::streamoff(cut));
        in.read(look, sizeof look);
        const std::streamsize got = in.gcount();
        std::streamsize k = 0;
        while (k < got && !std::isspace(static_cast<unsigned char>(look[k])))
            ++k;
        if (k == got)
            return false;
        cut += std::uint64_t(k);
    }
    // Memory or threads short (a limit on the process): the one pass needs
    // neither.
    std::vector<double> second;
    bool secondEnded = false;
    std::thread other;
    try {
        second.reserve(std::size_t(n / 2 + 65536));
        other = std::thread([&] {
            try {
                NumberScanner b;
                if (!b.openRange(path, cut, size))
                    return;
                double v = 0;
                NumberScanner::Result r;
                while ((r = b.nextDouble(v)) == NumberScanner::Ok && qint64(second.size()) < n)
                    second.push_back(v);
                secondEnded = r == NumberScanner::End;
            } catch (...) {
                secondEnded = false;
            }
        });
    } catch (...) {
        return false;
    }
    NumberScanner::Result ra = NumberScanner::Bad;
    std::size_t first = 0;
    try {
        NumberScanner a;
        if (a.openRange(path, start, cut))
            first = a.readDoubles(out, std::size_t(n), ra);
    } catch (...) {
        ra = NumberScanner::Bad;
    }
    other.join();
    if (ra != NumberScanner::End || !secondEnded || qint64(first + second.size()) != n)
        return false;
    std::copy(second.begin(), second.end(), out + first);
    return true;
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
    Console::err(QStringLiteral("Error: cannot open the %1 file '%2': %3.")
                     .arg(what, path, QString::fromLocal8Bit(in.openError().c_str())));
    return false;
}

// White-space separated words of a text file (image list, keypoint-file
// list), read block by block and only as far as they are asked for, so a
// large file costs no more than the words taken from it.
class WordReader
{
public:
    // Longer than any path the system accepts: such a word is not a name.
    static constexpr qsizetype kMaxWord = 4096;

    explicit WordReader(const QString &path) : m_file(path) {}

    bool open(QString *why) { return RegularFile::open(m_file, why); }

    // The next word; false at the end of the file, or with tooLong() set
    // for a word beyond kMaxWord bytes.
    bool next(QByteArray &word)
    {
        word.clear();
        for (;;) {
            if (m_pos == m_block.size() && !refill())
                return !word.isEmpty();
            const char *p = m_block.constData();
            qsizetype i = m_pos;
            if (word.isEmpty())
                while (i < m_block.size() && isSpace(p[i]))
                    ++i;
            const qsizetype start = i;
            while (i < m_block.size() && !isSpace(p[i]))
                ++i;
            word.append(p + start, i - start);
            m_pos = i;
            if (word.size() > kMaxWord) {
                m_tooLong = true;
                return false;
            }
            if (i < m_block.size() && !word.isEmpty())
                return true;
        }
    }
    bool tooLong() const { return m_tooLong; }

private:
    static bool isSpace(char c)
    {
        return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
    }
    bool refill()
    {
        m_block = m_file.read(1 << 16);
        m_pos = 0;
        return !m_block.isEmpty();
    }

    QFile m_file;
    QByteArray m_block;
    qsizetype m_pos = 0;
    bool m_tooLong = false;
};

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
        const QString reason = QString::fromLocal8Bit(in.openError().c_str());
        if (&values == &Z) {
            Console::out(QStringLiteral("Cannot open file '%1' for reeading").arg(file));
            // After a failed solver run its own reason explains the missing
            // file better than the system can.
            if (!solverError.isEmpty())
                Console::err(solverError);
            else
                Console::err(QStringLiteral("Error: cannot open file '%1' for reading: %2.").arg(file, reason));
        } else {
            Console::err(QStringLiteral("Error: cannot open file '%1' for reading: %2.").arg(file, reason));
        }
        return false;
    }
    qint32 r = 0, c = 0;
    if (!readCount(in, file, "row count", r) || !readCount(in, file, "column count", c))
        return false;
    // A map shows two axes and every view divides by lambda[a] for the axes
    // it shows. Checked before anything is allocated: with fewer than two
    // columns the header's row count is not bounded by the file's size.
    if (c < 2) {
        Console::err(QStringLiteral("Error: %1: the analysis has %2 axis; a map needs two.").arg(file).arg(c));
        return false;
    }
    const qint64 n = qint64(r) * qint64(c);
    if (!fits(in, file, n))
        return false;
    auto v = allocate<double>(n, file);
    if (!v)
        return false;
    if (!readValuesInHalves(QFile::encodeName(file).toStdString(), in.consumed(), in.size(), v.get(), n) &&
        !readValues(in, file, v.get(), n))
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
    // Every array read() makes is bounded by the file that announces it, so
    // an allocation can fail only for an honest file too large for the
    // memory left. The toolkit's containers report that by throwing; the
    // load then fails like any other, and the viewer goes on.
    try {
        return readFiles();
    } catch (const std::bad_alloc &) {
        Console::err(QStringLiteral("Error: not enough memory to load the analysis of '%1'.")
                         .arg(fileZ.isEmpty() ? fileF : fileZ));
        return false;
    }
}

bool CAData::readFiles()
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
        // Rows named as supplementary (FSUP) are placed by the same run.
        if (!fileFSup.isEmpty())
            fileFSup = resolve(fileFSup);
        launchCA(fileF, nbAxis == 1 ? 2 : nbAxis, &solverError, fileFSup);
        auto derived = [this](ResultFiles::Kind kind) {
            return fileF + QString::fromLatin1(ResultFiles::suffix(kind));
        };
        fileZ = derived(ResultFiles::Z);
        fileW = derived(ResultFiles::W);
        fileP = derived(ResultFiles::P);
        fileQ = derived(ResultFiles::Q);
        fileLambda = derived(ResultFiles::Lambda);
        // The manifest goes with the files the solver just wrote.
        fileInertia.clear();
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
    if (!readManifest() || !readSupplementary())
        return false;
    totalFromTable();

    if (!readLabels())
        return false;
    // An extracted analysis carries its parent's names already.
    if (identityLabels)
        readCategoryNames();

    Console::out(QStringLiteral("Reading descriptors..."));
    if (!readDescriptors())
        return false;
    readSupDescriptors();

    if (nbAxis >= 1)
        nbAxis = std::min({nbAxis, zCols, wCols});
    else
        nbAxis = std::min(zCols, wCols);
    if (nbLambda < std::max(nbAxis, 2)) {
        Console::err(QStringLiteral("Error: %1: %2 eigenvalues for %3 axes in use.")
                         .arg(fileLambda).arg(nbLambda).arg(std::max(nbAxis, 2)));
        return false;
    }

    checkValues();

    Console::out(QStringLiteral("reading finish!"));
    Console::out(QStringLiteral("Reading's time: %1").arg(QDateTime::currentSecsSinceEpoch() - start));

    if (!fileCollection.isEmpty())
        readCollectionNumbers();
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

bool CAData::readLabels()
{
    if (fileLabel.isEmpty()) {
        Console::err(QStringLiteral("Cannot find file for label"));
        return true;
    }
    fileLabel = resolve(fileLabel);
    labels = allocate<ImageLabel>(nbImages, fileLabel);
    if (!labels)
        return false;
    // Pairs the file does not supply keep category 0 and an empty name (a
    // file that cannot be opened supplies none); a category that is not a
    // number ends the list there.
    WordReader in(fileLabel);
    QString why;
    if (!in.open(&why)) {
        // A missing list is allowed; one that is there but cannot be read
        // (a FIFO, a folder, no permission) is named.
        if (QFileInfo::exists(fileLabel))
            Console::err(QStringLiteral("Error: cannot open the image list '%1': %2.").arg(fileLabel, why));
        return true;
    }
    QByteArray category, name;
    for (int i = 0; i < nbImages && in.next(category) && in.next(name); ++i) {
        bool ok = false;
        const int value = category.toInt(&ok);
        if (!ok)
            break;
        labels[i].category = value;
        labels[i].imageFile = QString::fromLocal8Bit(name);
    }
    if (in.tooLong()) {
        Console::err(QStringLiteral("Error: %1: a word longer than %2 bytes is not an image file name.")
                         .arg(fileLabel).arg(WordReader::kMaxWord));
        return false;
    }
    return true;
}

bool CAData::readDescriptors()
{
    if (fileDescriptor.isEmpty())
        return true;
    fileDescriptor = resolve(fileDescriptor);
    WordReader in(fileDescriptor);
    QString why;
    const bool opened = in.open(&why);
    Console::out(QStringLiteral("des file = ") + fileDescriptor);
    // A list that cannot be opened, or whose count is not a number, reads as 0.
    QByteArray word;
    bool ok = false;
    qint64 count = opened && in.next(word) ? word.toLongLong(&ok) : 0;
    if (!ok)
        count = 0;
    Console::out(QStringLiteral("size = %1").arg(count));
    if (count != nbImages) {
        Console::err(QStringLiteral("Error: the number of descriptors in decriptor file does not match the number of images in Z file"));
        // A list that is there but cannot be read (a FIFO, a folder) is named.
        if (!opened && QFileInfo::exists(fileDescriptor))
            Console::err(QStringLiteral("Error: cannot open the keypoint-file list '%1': %2.").arg(fileDescriptor, why));
        return false;
    }
    // nbImages is bounded by the Z file, so this array is too.
    auto names = allocate<QString>(count, fileDescriptor);
    if (!names)
        return false;
    for (qint64 i = 0; i < count; ++i) {
        if (!in.next(word)) {
            if (in.tooLong())
                Console::err(QStringLiteral("Error: %1: a word longer than %2 bytes is not a keypoint file name.")
                                 .arg(fileDescriptor).arg(WordReader::kMaxWord));
            else
                Console::err(QStringLiteral("Error: %1: the list ends after %2 of the %3 keypoint files it announces.")
                                 .arg(fileDescriptor).arg(i).arg(count));
            return false;
        }
        names[i] = QString::fromLocal8Bit(word);
    }
    descriptors = std::move(names);
    return true;
}

void CAData::readSupDescriptors()
{
    // An analysis made in the viewer (images set aside) has its list
    // already, and names no file.
    if (fileDescriptorSup.isEmpty())
        return;
    supDescriptors.reset();
    if (nbSupImages == 0)
        return;
    // The supplementary images' keypoints are optional: whatever is wrong
    // with their list is said once, and the images are shown without them.
    fileDescriptorSup = resolve(fileDescriptorSup);
    const QString without = QStringLiteral(" The supplementary images are shown without keypoints.");
    WordReader in(fileDescriptorSup);
    QString why;
    if (!in.open(&why)) {
        Console::err(QStringLiteral("Error: cannot open the keypoint-file list '%1': %2.").arg(fileDescriptorSup, why)
                     + without);
        return;
    }
    QByteArray word;
    bool ok = false;
    const qint64 count = in.next(word) ? word.toLongLong(&ok) : 0;
    if (!ok || count != nbSupImages) {
        Console::err(QStringLiteral("Error: %1: %2 keypoint files announced for %3 supplementary images.")
                         .arg(fileDescriptorSup, ok ? QString::number(count) : QStringLiteral("no count of"))
                         .arg(nbSupImages)
                     + without);
        return;
    }
    // nbSupImages is bounded by the ZSUP file, so this array is too.
    auto names = allocate<QString>(count, fileDescriptorSup);
    if (!names)
        return;
    for (qint64 i = 0; i < count; ++i) {
        if (!in.next(word)) {
            if (in.tooLong())
                Console::err(QStringLiteral("Error: %1: a word longer than %2 bytes is not a keypoint file name.")
                                 .arg(fileDescriptorSup).arg(WordReader::kMaxWord)
                             + without);
            else
                Console::err(QStringLiteral("Error: %1: the list ends after %2 of the %3 keypoint files it announces.")
                                 .arg(fileDescriptorSup).arg(i).arg(count)
                             + without);
            return;
        }
        names[i] = QString::fromLocal8Bit(word);
    }
    supDescriptors = std::move(names);
}
