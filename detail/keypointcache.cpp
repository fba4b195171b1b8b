#include "detail/keypointcache.h"

#include "data/model/cadata.h"

#include <QFileInfo>

KeypointCache::KeypointCache(int maxKeypoints) : m_cache(maxKeypoints) {}

QList<Sift> KeypointCache::keypoints(const CAData &data, int image)
{
    const QString name = data.keypointFile(image);
    if (name.isEmpty())
        return {};
    const QString path = data.resolve(name);
    const QFileInfo info(path);
    const qint64 size = info.exists() ? info.size() : -1;
    const QDateTime modified = info.lastModified();
    if (const Entry *e = m_cache.object(path)) {
        if (e->fileSize == size && e->modified == modified)
            return e->sifts;
    }
    auto *entry = new Entry;
    data.getAllSifts(image, entry->sifts);
    ++m_reads;
    entry->fileSize = size;
    entry->modified = modified;
    const QList<Sift> result = entry->sifts;
    m_cache.insert(path, entry, int(qMax<qsizetype>(1, result.size())));
    return result;
}
