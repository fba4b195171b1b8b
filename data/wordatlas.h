#ifndef WORDATLAS_H
#define WORDATLAS_H

#include <QByteArray>
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
// neither exhaust memory nor read past its end.
class WordAtlas
{
public:
    static constexpr quint32 MaxMosaicBytes = 256 * 1024;
    static constexpr quint32 MaxWords = 16 * 1024 * 1024;

    // False with `error` saying what is wrong with the file (without its
    // path, which the caller adds).
    bool open(const QString &path, QString *error);
    bool isOpen() const { return !m_path.isEmpty(); }
    int count() const { return int(m_index.size()); }
    bool contains(int word) const { return m_index.contains(word); }

    // The mosaic of word label `word`; a null image when the atlas has none
    // or it cannot be decoded.
    QImage mosaic(int word) const;

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
    QString m_path;
    QHash<int, Entry> m_index;
    mutable QHash<int, QImage> m_cache;
};

#endif // WORDATLAS_H
