#include "detail/thumbnailcache.h"

#include "data/cadata.h"
#include "detail/imageview.h"

#include <QFileInfo>
#include <QPainter>

ThumbnailCache::ThumbnailCache(qsizetype maxBytes) : m_cache(maxBytes) {}

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
    QPixmap square(box, box);
    square.fill(Qt::gray);
    if (picture.isNull())
        return square;
    double ox, oy, s;
    ImageView::map2view(box, box, picture.width(), picture.height(), ox, oy, s);
    QPainter painter(&square);
    painter.drawPixmap(QRectF(ox, oy, picture.width() * s, picture.height() * s), picture,
                       QRectF(picture.rect()));
    return square;
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

    const QString path = data.resolve(data.labels[image].imageFile);
    const QString key = QString::number(box) + QLatin1Char(':') + path;
    const QFileInfo info(path);
    const qint64 fileSize = info.exists() ? info.size() : -1;
    const QDateTime modified = info.lastModified();
    const QDateTime changed = info.metadataChangeTime();

    if (const Entry *e = m_cache.object(key)) {
        if (e->fileSize == fileSize && e->modified == modified && e->changed == changed) {
            if (imageSize)
                *imageSize = e->imageSize;
            return e->square;
        }
    }

    // Decoded through QImage: QPixmap's own file loading keeps pictures in
    // QPixmapCache under a key with the modification time in whole seconds,
    // which can hand back the old picture of a file rewritten within that
    // second.
    const QPixmap picture = QPixmap::fromImage(data.getImage(image));
    ++m_decodes;
    auto *entry = new Entry;
    entry->square = render(picture, box);
    entry->imageSize = picture.size();
    entry->fileSize = fileSize;
    entry->modified = modified;
    entry->changed = changed;
    if (imageSize)
        *imageSize = entry->imageSize;
    const QPixmap result = entry->square;
    const qsizetype cost = qsizetype(box) * box * 4;
    // insert() takes the entry and deletes it at once when it does not fit.
    m_cache.insert(key, entry, cost);
    return result;
}
