#include "detail/thumbnailcache.h"

#include "data/model/cadata.h"
#include "data/model/imagefile.h"
#include "detail/imageview.h"
#include "detail/thumbnailscaler.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <deque>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

// Requests beyond this many are dropped, oldest first: they belong to
// neighbourhoods the cursor has long left.
constexpr int kQueueLimit = 96;

QThreadPool &decoderPool()
{
    static QThreadPool pool;
    static const bool configured = [] {
        // One core stays with the interface.
        pool.setMaxThreadCount(qMax(1, QThread::idealThreadCount() - 1));
        pool.setExpiryTimeout(5000);
        return true;
    }();
    Q_UNUSED(configured);
    return pool;
}

// Decoding yields to the interface thread when both want the processor.
void lowerThreadPriority()
{
#ifdef Q_OS_LINUX
    // Linux ignores thread priorities under the normal policy; a per-thread
    // nice value is what the scheduler honours.
    setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 10);
#else
    QThread::currentThread()->setPriority(QThread::LowPriority);
#endif
}

} // namespace

// What the GUI thread and the decoding workers share. The cache may go while
// workers still run: it then clears `receiver` and the workers drop their
// results.
struct ThumbnailCache::Shared
{
    QMutex mutex;
    std::deque<Job> queue;
    ThumbnailCache *receiver = nullptr;
    int running = 0;
};

ThumbnailCache::ThumbnailCache(qsizetype maxBytes)
    : m_cache(maxBytes), m_shared(std::make_shared<Shared>())
{
    m_shared->receiver = this;
}

ThumbnailCache::~ThumbnailCache()
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->receiver = nullptr;
    m_shared->queue.clear();
}

void ThumbnailCache::setMaxBytes(qsizetype maxBytes)
{
    m_cache.setMaxCost(maxBytes);
}

void ThumbnailCache::clear()
{
    m_cache.clear();
}

QPixmap ThumbnailCache::render(const QPixmap &picture, int box)
{
    QImage square(box, box, QImage::Format_RGB32);
    square.fill(Qt::gray);
    if (!picture.isNull())
        drawFitted(square, picture.toImage(), picture.size());
    return QPixmap::fromImage(square);
}

void ThumbnailCache::drawFitted(QImage &square, const QImage &picture, const QSize &original)
{
    double ox, oy, s;
    ImageView::map2view(square.width(), square.height(), original.width(), original.height(), ox, oy, s);
    // Whole pixels: the thumbnail is made at the size it is drawn, never
    // resampled once more by the painter.
    const QRect where(int(std::lround(ox)), int(std::lround(oy)),
                      std::max(1, int(std::lround(original.width() * s))),
                      std::max(1, int(std::lround(original.height() * s))));
    QPainter painter(&square);
    painter.drawImage(where.topLeft(), ThumbnailScaler::thumbnail(picture, where.size()));
}

QImage ThumbnailCache::makeSquare(const QString &path, int box, QSize *imageSize)
{
    QSize original;
    // Read larger than the box, so that the reduction to it averages the
    // picture's own pixels instead of the decoder's samples of them.
    const QImage picture = ImageFile::read(path, QSize(box, box) * kReadAbove, &original);
    QImage square(box, box, QImage::Format_RGB32);
    square.fill(Qt::gray);
    if (picture.isNull()) {
        *imageSize = QSize(0, 0);
        return square;
    }
    *imageSize = original;
    // Placed by the size in the file, as the keypoints are; the picture may
    // have been read reduced.
    drawFitted(square, picture, original);
    return square;
}

ThumbnailCache::Stamp ThumbnailCache::stampOf(const QString &path)
{
    const QFileInfo info(path);
    Stamp stamp;
    stamp.fileSize = info.exists() ? info.size() : -1;
    stamp.modified = info.lastModified();
    stamp.changed = info.metadataChangeTime();
    return stamp;
}

ThumbnailCache::Job ThumbnailCache::jobFor(const CAData &data, int image, int box)
{
    Job job;
    const ImageLabel *label = data.imageLabel(image);
    job.path = label ? data.resolve(label->imageFile) : QString();
    job.key = QString::number(box) + QLatin1Char(':') + job.path;
    job.box = box;
    job.stamp = stampOf(job.path);
    return job;
}

bool ThumbnailCache::cached(const Job &job, QPixmap &square, QSize *imageSize) const
{
    const Entry *e = m_cache.object(job.key);
    if (!e || !(e->stamp == job.stamp))
        return false;
    square = e->square;
    if (imageSize)
        *imageSize = e->imageSize;
    return true;
}

QPixmap ThumbnailCache::square(const CAData &data, int image, int box, QSize *imageSize)
{
    // Without an image list there is no file to watch; the stand-in picture
    // is cheap to make.
    if (!data.labels) {
        const QPixmap picture = data.getPixmap(image);
        ++m_decodes;
        if (imageSize)
            *imageSize = picture.size();
        return render(picture, box);
    }

    const Job job = jobFor(data, image, box);
    if (QPixmap kept; cached(job, kept, imageSize))
        return kept;
    QSize size;
    const QImage made = makeSquare(job.path, box, &size);
    const QPixmap result = QPixmap::fromImage(made);
    ++m_decodes;
    if (imageSize)
        *imageSize = size;
    auto *entry = new Entry{result, size, job.stamp};
    // insert() takes the entry and deletes it at once when it does not fit.
    m_cache.insert(job.key, entry, qsizetype(box) * box * 4);
    return result;
}

QPixmap ThumbnailCache::lookup(const CAData &data, int image, int box, QSize *imageSize)
{
    if (imageSize)
        *imageSize = QSize(0, 0);
    // Nothing may be kept: a square decoded on a worker could never be
    // shown, so it is decoded here.
    if (!data.labels || m_cache.maxCost() <= 0)
        return square(data, image, box, imageSize);

    const Job job = jobFor(data, image, box);
    if (QPixmap kept; cached(job, kept, imageSize))
        return kept;

    QMutexLocker lock(&m_shared->mutex);
    auto &queue = m_shared->queue;
    if (m_pending.contains(job.key)) {
        // Still queued: move it to the front, the squares on screen first.
        for (auto it = queue.begin(); it != queue.end(); ++it) {
            if (it->key == job.key) {
                Job queued = *it;
                queue.erase(it);
                queued.stamp = job.stamp;
                queue.push_front(queued);
                break;
            }
        }
        return QPixmap();
    }
    m_pending.insert(job.key);
    queue.push_front(job);
    while (int(queue.size()) > kQueueLimit) {
        m_pending.remove(queue.back().key);
        queue.pop_back();
    }
    if (m_shared->running < decoderPool().maxThreadCount()) {
        ++m_shared->running;
        lock.unlock();
        startWorker();
    }
    return QPixmap();
}

void ThumbnailCache::startWorker()
{
    std::shared_ptr<Shared> shared = m_shared;
    decoderPool().start([shared] {
        lowerThreadPriority();
        for (;;) {
            Job job;
            {
                QMutexLocker lock(&shared->mutex);
                if (!shared->receiver || shared->queue.empty()) {
                    --shared->running;
                    return;
                }
                job = shared->queue.front();
                shared->queue.pop_front();
            }
            QSize size;
            const QImage made = makeSquare(job.path, job.box, &size);
            QMutexLocker lock(&shared->mutex);
            if (ThumbnailCache *cache = shared->receiver) {
                // Queued to the cache's thread; dropped with the cache if it
                // goes before the call is delivered.
                QMetaObject::invokeMethod(
                    cache, [cache, job, made, size] { cache->store(job, made, size); },
                    Qt::QueuedConnection);
            }
        }
    });
}

void ThumbnailCache::store(const Job &job, const QImage &made, const QSize &imageSize)
{
    // A request dropped from the queue while its decode ran still counts.
    m_pending.remove(job.key);
    ++m_decodes;
    auto *entry = new Entry{QPixmap::fromImage(made), imageSize, job.stamp};
    m_cache.insert(job.key, entry, qsizetype(job.box) * job.box * 4);
    emit squareReady();
}

bool ThumbnailCache::waitForIdle(int msecs)
{
    QDeadlineTimer deadline(msecs);
    while (!m_pending.isEmpty()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}
