#include "shell/memoryleft.h"

#include <QFile>

#include <algorithm>
#include <sys/resource.h>

namespace {

// The value of `key` (a "Key:   123 kB" line) in a /proc file, in bytes;
// -1 when absent. These files say their size is 0, so they are read until
// a line comes back empty.
qint64 procValue(const QString &path, const QByteArray &key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (int i = 0; i < 128; ++i) {
        const QByteArray line = file.readLine(256).simplified();
        if (line.isEmpty())
            break;
        if (!line.startsWith(key))
            continue;
        const QList<QByteArray> parts = line.split(' ');
        bool ok = false;
        const qint64 kb = parts.size() >= 2 ? parts.at(1).toLongLong(&ok) : 0;
        return ok ? kb * 1024 : -1;
    }
    return -1;
}

// What a limit of the process leaves beyond what it uses of it; -1 when
// there is no limit.
qint64 leftUnder(int resource, const QByteArray &usedKey)
{
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return -1;
    const qint64 used = procValue(QStringLiteral("/proc/self/status"), usedKey);
    if (used < 0)
        return -1;
    return std::max<qint64>(0, qint64(limit.rlim_cur) - used);
}

} // namespace

qint64 memoryLeft()
{
    qint64 left = procValue(QStringLiteral("/proc/meminfo"), "MemAvailable:");
    // The system may have gigabytes to spare while the process may not
    // take them.
    for (const qint64 own : {leftUnder(RLIMIT_AS, "VmSize:"), leftUnder(RLIMIT_DATA, "VmData:")})
        if (own >= 0)
            left = left < 0 ? own : std::min(left, own);
    return left;
}
