#include "tools/duplicatefinder.h"

#include "tools/progressreporter.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>

#include <algorithm>

namespace {

QHash<qint64, QVector<int>> bySize(const QStringList &paths, const std::vector<bool> &eligible)
{
    QHash<qint64, QVector<int>> out;
    for (int i = 0; i < paths.size(); ++i) {
        if (!eligible.empty() && !eligible[size_t(i)])
            continue;
        const QFileInfo info(paths[i]);
        if (info.isFile())
            out[info.size()].append(i);
    }
    return out;
}

} // namespace

int filesToHash(const QStringList &paths, const std::vector<bool> &eligible)
{
    int n = 0;
    for (const QVector<int> &same : bySize(paths, eligible))
        n += same.size() > 1 ? int(same.size()) : 0;
    return n;
}

QVector<QVector<int>> findDuplicateFiles(const QStringList &paths, const std::vector<bool> &eligible,
                                         ProgressReporter *progress,
                                         const std::function<bool()> &stop)
{
    const QHash<qint64, QVector<int>> sizes = bySize(paths, eligible);
    QMap<int, QVector<int>> groups; // first member -> members
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (auto it = sizes.cbegin(); it != sizes.cend(); ++it) {
        if (it.value().size() < 2)
            continue;
        QHash<QByteArray, QVector<int>> byHash;
        for (int i : it.value()) {
            if (stop && stop())
                return {};
            QFile file(paths[i]);
            if (file.open(QIODevice::ReadOnly)) {
                // A megabyte at a time, so that a stop request is heard
                // within one read even on a very large file.
                QCryptographicHash hash(QCryptographicHash::Sha1);
                bool ok = true;
                for (;;) {
                    const qint64 got = file.read(buffer.data(), buffer.size());
                    if (got < 0) {
                        ok = false;
                        break;
                    }
                    if (got == 0)
                        break;
                    hash.addData(QByteArrayView(buffer.constData(), got));
                    if (stop && stop())
                        return {};
                }
                if (ok)
                    byHash[hash.result()].append(i);
            }
            if (progress)
                progress->advance();
        }
        for (QVector<int> &members : byHash) {
            if (members.size() < 2)
                continue;
            std::sort(members.begin(), members.end());
            groups.insert(members.first(), members);
        }
    }
    return QVector<QVector<int>>(groups.cbegin(), groups.cend());
}
