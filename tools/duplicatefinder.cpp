#include "tools/duplicatefinder.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>

#include <algorithm>

QVector<QVector<int>> findDuplicateFiles(const QStringList &paths)
{
    QHash<qint64, QVector<int>> bySize;
    for (int i = 0; i < paths.size(); ++i) {
        const QFileInfo info(paths[i]);
        if (info.isFile())
            bySize[info.size()].append(i);
    }
    QMap<int, QVector<int>> groups; // first member -> members
    for (auto it = bySize.cbegin(); it != bySize.cend(); ++it) {
        if (it.value().size() < 2)
            continue;
        QHash<QByteArray, QVector<int>> byHash;
        for (int i : it.value()) {
            QFile file(paths[i]);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            QCryptographicHash hash(QCryptographicHash::Sha1);
            if (hash.addData(&file))
                byHash[hash.result()].append(i);
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
