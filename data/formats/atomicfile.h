#ifndef ATOMICFILE_H
#define ATOMICFILE_H

#include <QByteArray>
#include <QString>

// Whole-file writes that never leave a half-written file behind: the bytes go
// to a temporary file beside the target, which replaces the target only once
// everything is on disk. A failure names the file and the system's reason
// (read-only folder, full disk, ...), and removes the temporary file.
namespace AtomicFile {

enum Overwrite { KeepExisting, ReplaceExisting };

// Writes `bytes` to `path`. With KeepExisting an existing file is left alone
// and reported as an error: callers ask the user before replacing anything.
bool write(const QString &path, const QByteArray &bytes, Overwrite overwrite, QString *error);

// The system's reason for the last failed call, or `fallback` when the
// system gave none.
QString reason(int code, const QString &fallback);

} // namespace AtomicFile

#endif // ATOMICFILE_H
