#include "data/model/cadata.h"

#include "data/model/console.h"
#include "data/model/imagefile.h"
#include "data/formats/regularfile.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <new>

namespace {

// A refused keypoint file is named once, not at every hover over its image.
// Views on the GUI thread and extractions on workers ask alike.
bool firstRefusal(const QString &path)
{
    static QMutex mutex;
    static QSet<QString> named;
    QMutexLocker lock(&mutex);
    if (named.contains(path))
        return false;
    named.insert(path);
    return true;
}

} // namespace

int CAData::wordLabel(int word) const
{
    return wordLabels ? wordLabels[word] : word;
}

void CAData::setWordLabel(int count, const int *values)
{
    wordSet.clear();
    wordLabels.reset(new qint32[std::size_t(count > 0 ? count : 1)]);
    for (int j = 0; j < count; ++j) {
        wordLabels[j] = values[j];
        wordSet.insert(values[j]);
    }
}

void CAData::getAllSifts(int image, QList<Sift> &out) const
{
    getSifts(image, out, nullptr, true);
}

void CAData::getSifts(int image, QList<Sift> &out, const QSet<int> *words) const
{
    getSifts(image, out, words, false);
}

QString CAData::keypointFile(int image) const
{
    if (image >= 0 && image < nbImages)
        return descriptors ? descriptors[image] : QString();
    if (image >= nbImages && image < imageCount() && supDescriptors)
        return supDescriptors[image - nbImages];
    return QString();
}

void CAData::getSifts(int image, QList<Sift> &out, const QSet<int> *words, bool all) const
{
    const QString name = keypointFile(image);
    if (name.isEmpty())
        return;
    const QString path = resolve(name);
    QFile file(path);
    // A file that cannot be opened (or is no regular file) has no size and
    // is reported like a truncated one.
    const qint64 size = RegularFile::open(file, nullptr) ? file.size() : -1;
    if (size < 0 || size % qint64(sizeof(Sift)) != 0) {
        Console::err(QStringLiteral("Wrong file format: '%1'").arg(path));
        return;
    }
    if (size > kMaxKeypointFileBytes) {
        if (firstRefusal(path))
            Console::err(QStringLiteral("Error: '%1': %2 keypoints, more than the %3 a keypoint file may "
                                        "hold; its image is shown without keypoints.")
                             .arg(path)
                             .arg(size / qint64(sizeof(Sift)))
                             .arg(kMaxKeypointFileBytes / qint64(sizeof(Sift))));
        return;
    }
    // Read in blocks and filtered as it goes: only the records asked for are
    // held, however large the file.
    const QSet<int> &filter = words ? *words : wordSet;
    constexpr qint64 kBlockRecords = 2048;
    QByteArray block;
    try {
        for (qint64 left = size / qint64(sizeof(Sift)); left > 0;) {
            const qint64 want = std::min(left, kBlockRecords);
            block = file.read(want * qint64(sizeof(Sift)));
            if (block.size() != want * qint64(sizeof(Sift))) {
                Console::err(QStringLiteral("Wrong file format: '%1'").arg(path));
                return;
            }
            const uchar *p = reinterpret_cast<const uchar *>(block.constData());
            for (qint64 i = 0; i < want; ++i, p += sizeof(Sift)) {
                const Sift s = Sift::fromLittleEndian(p);
                if (all || filter.contains(s.word))
                    out.append(s);
            }
            left -= want;
        }
    } catch (const std::bad_alloc &) {
        Console::err(QStringLiteral("Error: '%1': not enough memory for its keypoints.").arg(path));
    }
}

QString CAData::wordAtlasPath() const
{
    if (!fileWordAtlas.isEmpty())
        return resolve(fileWordAtlas);
    return resolve(QStringLiteral("words.atlas"));
}

QString CAData::existingWordAtlas() const
{
    const QString path = wordAtlasPath();
    return QFileInfo::exists(path) ? QFileInfo(path).absoluteFilePath() : QString();
}

int CAData::collectionNumber(int image) const
{
    if (image >= 0 && std::size_t(image) < collectionNumbers.size())
        return collectionNumbers[std::size_t(image)];
    return image;
}

QString CAData::getImageName(int image) const
{
    // Without an image list there is no file name to show.
    const ImageLabel *label = imageLabel(image);
    if (!label)
        return QString();
    const QString &name = label->imageFile;
    if (name.size() > 20)
        return QStringLiteral("...") + name.right(18);
    return name;
}

QImage CAData::getImage(int image) const
{
    const ImageLabel *label = imageLabel(image);
    if (!label)
        return QImage();
    // Very large pictures are read reduced rather than refused.
    return ImageFile::read(resolve(label->imageFile));
}

QPixmap CAData::getPixmap(int image) const
{
    const ImageLabel *label = imageLabel(image);
    if (!label) {
        // A blank stand-in rather than uninitialised pixels.
        QPixmap blank(100, 100);
        blank.fill(Qt::lightGray);
        return blank;
    }
    // Decoded from the file on every call: the pixmap cache keys files by size
    // and whole-second modification time, and would show a stale picture for
    // a file rewritten within the same second.
    return QPixmap::fromImage(ImageFile::read(resolve(label->imageFile)));
}

double CAData::distance(int a, int b) const
{
    double s = 0, na = 0, nb = 0;
    const double *za = Z.get() + qint64(a) * zCols;
    const double *zb = Z.get() + qint64(b) * zCols;
    for (int k = 0; k < nbAxis; ++k) {
        s += za[k] * zb[k];
        nb += zb[k] * zb[k];
        na += za[k] * za[k];
    }
    if (s == 0)
        return 2.0;
    return -s / std::sqrt(nb * na);
}
