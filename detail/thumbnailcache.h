#ifndef THUMBNAILCACHE_H
#define THUMBNAILCACHE_H

#include <QCache>
#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QSize>
#include <QString>

#include <memory>

class CAData;

// The squares a detail pane draws for its images: a gray box x box square
// with the image fitted and centred in it. Decoding the picture files is most
// of the cost of a pane, so finished squares are kept, keyed by file and box
// size. Each lookup checks the file's size, modification and status-change
// times first: a file that changed on disk is decoded again, so the panes
// show what is on disk now.
//
// Panes ask with lookup(), which never decodes on the calling thread: a square
// that is not kept yet is decoded on a worker thread (the latest requests
// first, so the squares on screen come before those scrolled or hovered past)
// and squareReady() tells the pane to paint it. square() decodes at once.
class ThumbnailCache : public QObject
{
    Q_OBJECT

public:
    // maxBytes bounds the pixel memory kept; 0 keeps nothing (every lookup
    // decodes the file).
    explicit ThumbnailCache(qsizetype maxBytes = qsizetype(48) << 20);
    ~ThumbnailCache() override;

    // The square of `image` of `data`, and in imageSize the size of the
    // picture it was made from (empty when the file cannot be read, which
    // leaves the square plain gray). Decodes on this thread when needed.
    QPixmap square(const CAData &data, int image, int box, QSize *imageSize = nullptr);

    // The kept square, or a null pixmap while it is being decoded on a
    // worker thread (started here when it is not already).
    QPixmap lookup(const CAData &data, int image, int box, QSize *imageSize = nullptr);

    // Squares asked for with lookup() and not finished yet.
    int pending() const { return int(m_pending.size()); }
    // Runs the event loop until no square is pending; false on time-out.
    bool waitForIdle(int msecs = 10000);

    void setMaxBytes(qsizetype maxBytes);
    void clear();
    // Number of pictures decoded so far.
    int decodes() const { return m_decodes; }

    // The square for an already loaded picture.
    static QPixmap render(const QPixmap &picture, int box);

signals:
    // A square asked for with lookup() is ready: the pane repaints.
    void squareReady();

private:
    struct Stamp
    {
        qint64 fileSize = -1;
        QDateTime modified;
        QDateTime changed;
        bool operator==(const Stamp &o) const
        {
            return fileSize == o.fileSize && modified == o.modified && changed == o.changed;
        }
    };
    struct Entry
    {
        QPixmap square;
        QSize imageSize;
        Stamp stamp;
    };
    struct Job
    {
        QString key;
        QString path;
        int box = 0;
        Stamp stamp;
    };
    struct Shared;

    static Stamp stampOf(const QString &path);
    // The job that makes `image`'s square at `box` from its file as it is now.
    static Job jobFor(const CAData &data, int image, int box);
    // Whether the cache holds a square for `job` made from the file as it is
    // now; if so, `square` and `imageSize` (when given) are set from it.
    bool cached(const Job &job, QPixmap &square, QSize *imageSize) const;
    // Decodes `path` reduced to the box and draws the square; any thread.
    static QImage makeSquare(const QString &path, int box, QSize *imageSize);
    // Draws `picture`, whose size in its file is `original`, fitted and
    // centred in `square` as a legible thumbnail.
    static void drawFitted(QImage &square, const QImage &picture, const QSize &original);
    // Pictures are decoded at up to this many times the box per side.
    static constexpr int kReadAbove = 4;
    void store(const Job &job, const QImage &square, const QSize &imageSize);
    void startWorker();

    QCache<QString, Entry> m_cache;
    QSet<QString> m_pending;
    std::shared_ptr<Shared> m_shared;
    int m_decodes = 0;
};

#endif // THUMBNAILCACHE_H
