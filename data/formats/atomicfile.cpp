#include "data/formats/atomicfile.h"

#include "data/formats/regularfile.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace AtomicFile {

QString reason(int code, const QString &fallback)
{
    if (code != 0)
        return QString::fromLocal8Bit(std::strerror(code));
    return fallback.isEmpty() ? QStringLiteral("unknown error") : fallback;
}

bool write(const QString &path, const QByteArray &bytes, Overwrite overwrite, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("Cannot write '%1': %2.").arg(path, why);
        return false;
    };
    const QFileInfo info(path);
    if (info.exists() && overwrite == KeepExisting)
        return fail(QStringLiteral("the file already exists"));
    if (info.isDir())
        return fail(QStringLiteral("it is a folder"));
    // The bytes go to a temporary file renamed over the target: a device or
    // a FIFO would be replaced by a plain file, and what was meant to go
    // through it would never arrive.
    const QString kind = RegularFile::kindOf(path);
    if (!kind.isEmpty())
        return fail(QStringLiteral("it is %1, not a regular file; it is not replaced").arg(kind));

    QSaveFile file(path);
    // QSaveFile reports a failed write or flush as "Unknown error"; the
    // system's reason (no space left, ...) is still in errno.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return fail(reason(errno, file.errorString()));
    errno = 0;
    if (file.write(bytes) != bytes.size()) {
        const int code = errno;
        file.cancelWriting();
        return fail(reason(code, file.errorString()));
    }
    errno = 0;
    if (!file.commit())
        return fail(reason(errno, file.errorString()));
    return true;
}

} // namespace AtomicFile
