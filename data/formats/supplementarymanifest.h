#ifndef SUPPLEMENTARYMANIFEST_H
#define SUPPLEMENTARYMANIFEST_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// The record of the supplementary set an addition of images committed
// (supplementary-set.txt beside its files): the size and digest of each of
// its files, as they were staged. The set is several files replaced one
// rename at a time; the record is renamed into place before them, so a run
// killed between two renames leaves files that no longer match it, and
// whoever reads the set next can tell that it is mixed and which file is
// not the one written.
//
//   ortelis-supplementary 1
//   rows 9                               images of the set
//   file table-sup.txt 1234 1f0c...      name, bytes, digest (16 hex digits)
class SupplementaryManifest
{
public:
    struct Entry
    {
        QString name;
        std::uint64_t bytes = 0;
        std::uint64_t digest = 0;
    };

    static QString fileName() { return QStringLiteral("supplementary-set.txt"); }
    // Larger than any record: a file beyond it is not one.
    static constexpr qint64 kMaxBytes = 64 * 1024;

    long long rows = -1;
    std::vector<Entry> files;

    QByteArray text() const;
    // False with `error` (naming the line) when `text` is not a record.
    bool parse(const QByteArray &text, QString *error);

    // Adds the files `names` of `folder` as they are now (those absent are
    // left out). False with `error` when one cannot be read.
    bool add(const QString &folder, const QStringList &names, QString *error);
    // The names of the listed files of `folder` that differ from the record
    // (missing, or other bytes).
    QStringList mismatched(const QString &folder) const;

    enum State { Absent, Whole, Mixed, Unreadable };
    // The state of the set in `folder`; for Mixed and Unreadable `problem`
    // says what is wrong, naming the record and the files.
    static State check(const QString &folder, QString *problem, QStringList *names = nullptr);
    // Reads the record of `folder` (Absent when there is none).
    static State read(const QString &folder, SupplementaryManifest &manifest, QByteArray *bytes, QString *problem);
};

#endif // SUPPLEMENTARYMANIFEST_H
