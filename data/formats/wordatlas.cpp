#include "data/formats/wordatlas.h"

#include "data/formats/atomicfile.h"
#include "data/formats/decodebudget.h"
#include "data/formats/regularfile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>

namespace {

const char Magic[8] = {'O', 'R', 'T', 'W', 'A', 'T', 'L', '1'};
constexpr int HeaderBytes = 16;
constexpr int EntryBytes = 16;

QString tr(const char *text)
{
    return QCoreApplication::translate("WordAtlas", text);
}

} // namespace

bool WordAtlas::open(const QString &path, QString *error)
{
    m_path.clear();
    m_index.clear();
    m_cache.clear();
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    // Opened without blocking, and only when it is a regular file: a FIFO
    // would hold the interface in open() for good.
    QFile file(path);
    QString why;
    if (!RegularFile::open(file, &why))
        return fail(QFileInfo::exists(path) ? tr("cannot be read: %1").arg(why) : tr("not found"));
    const qint64 size = file.size();
    const QByteArray head = file.read(HeaderBytes);
    if (head.size() < HeaderBytes || !head.startsWith(QByteArray(Magic, 8)))
        return fail(tr("not a word atlas (its first bytes are not \"ORTWATL1\")"));
    const quint32 n = qFromLittleEndian<quint32>(head.constData() + 8);
    if (n > MaxWords || HeaderBytes + qint64(n) * EntryBytes > size)
        return fail(tr("its index announces %1 words, more than the file holds").arg(n));
    const QByteArray index = file.read(qint64(n) * EntryBytes);
    if (index.size() != qint64(n) * EntryBytes)
        return fail(tr("its index ends early"));
    for (quint32 k = 0; k < n; ++k) {
        const char *e = index.constData() + qint64(k) * EntryBytes;
        const qint32 word = qFromLittleEndian<qint32>(e);
        Entry entry;
        entry.offset = qFromLittleEndian<quint64>(e + 4);
        entry.length = qFromLittleEndian<quint32>(e + 12);
        if (entry.length > MaxMosaicBytes)
            return fail(tr("the picture of word %1 is %2 bytes, more than the %3 allowed")
                            .arg(word)
                            .arg(entry.length)
                            .arg(MaxMosaicBytes));
        if (entry.offset < quint64(HeaderBytes) + quint64(n) * EntryBytes || entry.offset > quint64(size)
            || entry.length > quint64(size) - entry.offset)
            return fail(tr("the picture of word %1 lies outside the file").arg(word));
        m_index.insert(word, entry);
    }
    m_path = path;
    return true;
}

QImage WordAtlas::mosaic(int word) const
{
    const auto it = m_index.constFind(word);
    if (it == m_index.cend())
        return QImage();
    if (const QImage *cached = m_cache.object(word))
        return *cached;
    const QImage image = decode(*it);
    // A mosaic that cannot be shown is asked for again at no cost: it is
    // refused from its header.
    m_cache.insert(word, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes()));
    return image;
}

QImage WordAtlas::decode(const Entry &entry) const
{
    QFile file(m_path);
    if (!RegularFile::open(file, nullptr) || !file.seek(qint64(entry.offset)))
        return QImage();
    QByteArray png = file.read(entry.length);
    if (png.size() != qint64(entry.length))
        return QImage();
    QBuffer buffer(&png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "PNG");
    const QSize full = reader.size();
    if (!full.isValid() || full.isEmpty())
        return QImage();
    // Decoded whole, then reduced: the full picture is what it costs.
    const qint64 bytes = qint64(full.width()) * qint64(full.height()) * 4;
    if (bytes > DecodeBudget::kBytes)
        return QImage();
    QSize shown = full;
    if (full.width() > MaxMosaicSide || full.height() > MaxMosaicSide) {
        shown = full.scaled(MaxMosaicSide, MaxMosaicSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        reader.setScaledSize(shown);
    }
    const DecodeBudget::Reservation share(bytes + qint64(shown.width()) * shown.height() * 4);
    QImage image = reader.read();
    if (image.isNull())
        return QImage();
    if (image.size() != shown)
        image = image.scaled(shown, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

bool WordAtlas::write(const QString &path, const QMap<int, QImage> &mosaics, QString *error)
{
    QMap<int, QByteArray> pngs;
    for (auto it = mosaics.cbegin(); it != mosaics.cend(); ++it) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!it.value().save(&buffer, "PNG")) {
            if (error)
                *error = tr("the picture of word %1 cannot be encoded").arg(it.key());
            return false;
        }
        pngs.insert(it.key(), bytes);
    }
    return writeEncoded(path, pngs, error);
}

bool WordAtlas::writeEncoded(const QString &path, const QMap<int, QByteArray> &pngs, QString *error)
{
    QByteArray out(Magic, 8);
    char word4[4];
    char word8[8];
    qToLittleEndian<quint32>(quint32(pngs.size()), word4);
    out.append(word4, 4);
    qToLittleEndian<quint32>(0, word4);
    out.append(word4, 4);
    quint64 offset = quint64(HeaderBytes) + quint64(pngs.size()) * EntryBytes;
    for (auto it = pngs.cbegin(); it != pngs.cend(); ++it) {
        if (quint64(it.value().size()) > MaxMosaicBytes) {
            if (error)
                *error = tr("the picture of word %1 is larger than %2 bytes").arg(it.key()).arg(MaxMosaicBytes);
            return false;
        }
        qToLittleEndian<qint32>(it.key(), word4);
        out.append(word4, 4);
        qToLittleEndian<quint64>(offset, word8);
        out.append(word8, 8);
        qToLittleEndian<quint32>(quint32(it.value().size()), word4);
        out.append(word4, 4);
        offset += quint64(it.value().size());
    }
    for (const QByteArray &png : pngs)
        out.append(png);
    return AtomicFile::write(path, out, AtomicFile::ReplaceExisting, error);
}
