#include "shell/memoryleft.h"

#include <QFile>

qint64 memoryLeft()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return -1;
    // A few dozen short lines; the one wanted is near the top. The file
    // says its size is 0, so it is read until a line comes back empty.
    for (int i = 0; i < 64; ++i) {
        const QByteArray line = meminfo.readLine(256).simplified();
        if (line.isEmpty())
            break;
        if (!line.startsWith("MemAvailable:"))
            continue;
        const QList<QByteArray> parts = line.split(' ');
        bool ok = false;
        const qint64 kb = parts.size() >= 2 ? parts.at(1).toLongLong(&ok) : 0;
        return ok ? kb * 1024 : -1;
    }
    return -1;
}
