#ifndef WORDATLAS_H
#define WORDATLAS_H

#include <QByteArray>
#include <QCache>
#include <QHash>
#include <QImage>
#include <QMap>
#include <QString>

#include <vector>

// What the visual words look like: for each word (by its vocabulary number)
// one small PNG mosaic of exemplar patches, all in one file with an index
// at its head (the project's optional FILE WORDATLAS):
//
//   bytes 0-7    "ORTWATL1"
//   bytes 8-11   N, the number of words (uint32, little-endian)
//   bytes 12-15  0 (reserved)
//   N entries of 16 bytes: word label (int32), offset of its PNG from the
//                start of the file (uint64), PNG length (uint32)
//   the PNG images
//
// Only the index is read on opening; a mosaic is read and decoded when first
// asked for. Every offset and length is checked against the file, and a
// mosaic larger than MaxMosaicBytes is refused, so a damaged file can
// neither exhaust memory nor read past its end. A few kilobytes of PNG can
// still announce a picture of thousands of pixels a side: each mosaic is
// decoded within the viewer's decode budget (one more than a picture may
// take is refused unread), shown at most MaxMosaicSide pixels a side, and
// the decoded mosaics kept are bounded in bytes.
class WordAtlas
{
public:
    static constexpr quint32 MaxMosaicBytes = 256 * 1024;
    static constexpr quint32 MaxWords = 16 * 1024 * 1024;
    // A mosaic is a few patches of a few dozen pixels; a larger one is
    // reduced to this side.
    static constexpr int MaxMosaicSide = 512;
    // The decoded mosaics kept for the next request, in bytes.
    static constexpr qsizetype CacheBytes = qsizetype(32) << 20;

    // False with `error` saying what is wrong with the file (without its
    // path, which the caller adds).
    bool open(const QString &path, QString *error);
    bool isOpen() const { return !m_path.isEmpty(); }
    int count() const { return int(m_index.size()); }
    bool contains(int word) const { return m_index.contains(word); }

    // The mosaic of word label `word`; a null image when the atlas has none
    // or it cannot be decoded, or its decoding would cost more than a
    // picture may take.
    QImage mosaic(int word) const;
    // The decoded mosaics kept, in bytes.
    qsizetype cachedBytes() const { return m_cache.totalCost(); }

    // Writes an atlas of `mosaics` (word label -> picture, stored as PNG) to
    // `path`, through a temporary file. False with `error` set on failure.
    static bool write(const QString &path, const QMap<int, QImage> &mosaics, QString *error);
    // The same from PNG bytes already encoded.
    static bool writeEncoded(const QString &path, const QMap<int, QByteArray> &pngs, QString *error);

private:
    struct Entry {
        quint64 offset = 0;
        quint32 length = 0;
    };
    QImage decode(const Entry &entry) const;

    QString m_path;
    QHash<int, Entry> m_index;
    mutable QCache<int, QImage> m_cache{CacheBytes};
};

#endif // WORDATLAS_H
