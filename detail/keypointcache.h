#ifndef KEYPOINTCACHE_H
#define KEYPOINTCACHE_H

#include "data/model/sift.h"

#include <QCache>
#include <QDateTime>
#include <QList>
#include <QString>

class CAData;

// The keypoints of the images a pane shows, read once per version of each
// keypoint file: a hover step only filters them by the hovered words.
class KeypointCache
{
public:
    explicit KeypointCache(int maxKeypoints = 2000000);

    // Every keypoint of `image` (empty without keypoint files). A file that
    // changed on disk is read again.
    QList<Sift> keypoints(const CAData &data, int image);
    // Number of keypoint files read so far.
    int reads() const { return m_reads; }
    void clear() { m_cache.clear(); }

private:
    struct Entry
    {
        QList<Sift> sifts;
        qint64 fileSize = -1;
        QDateTime modified;
    };
    QCache<QString, Entry> m_cache;
    int m_reads = 0;
};

#endif // KEYPOINTCACHE_H
