#include "data/model/imagefile.h"

#include "data/model/console.h"
#include "data/formats/decodebudget.h"
#include "data/model/pngreduced.h"
#include "data/formats/regularfile.h"

#include <QFileInfo>
#include <QImageReader>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>

namespace ImageFile {

QSize size(const QString &path)
{
    // A FIFO named as a picture would block the decoder, and the interface.
    if (!RegularFile::isRegular(path))
        return QSize();
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize s = reader.size();
    if (!s.isValid())
        return QSize();
    // Rotated pictures (EXIF orientation) are shown turned.
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        s.transpose();
    return s;
}

namespace {

// A refused picture is named once, not at every repaint of its thumbnail.
void sayOnce(const QString &path, const QString &why)
{
    static QMutex mutex;
    static QSet<QString> said;
    QMutexLocker lock(&mutex);
    if (said.contains(path))
        return;
    said.insert(path);
    Console::err(QStringLiteral("Warning: '%1' is not shown: %2.").arg(path, why));
}

} // namespace

QImage read(const QString &path, const QSize &bound, QSize *original, QString *why)
{
    if (original)
        *original = QSize();
    QString reason;
    const auto refuse = [&](const QString &r) {
        if (why)
            *why = r;
        return QImage();
    };
    // A FIFO named as a picture would block the decoder, and the interface.
    if (!RegularFile::isRegular(path))
        return refuse(QFileInfo::exists(path) ? QStringLiteral("it is not a regular file")
                                              : QStringLiteral("not found"));
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // The format first: a reader that failed on the header forgets it.
    const QByteArray format = reader.format();
    QSize full = reader.size();
    if (format.isEmpty()) {
        // No reader knows it; some formats still say what they hold.
        reason = DecodeBudget::unreadable(path);
        if (!reason.isEmpty())
            sayOnce(path, reason);
        return refuse(reason.isEmpty() ? QStringLiteral("it is not a picture this viewer reads") : reason);
    }
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    // Without a size from the reader, the budget judges by the header and
    // the box the picture is shown in.
    QSize target = full.isValid() ? full : bound;
    if (full.isValid() && bound.isValid() && !bound.isEmpty()) {
        // The scaled size is given in the file's own orientation.
        QSize box = turned ? bound.transposed() : bound;
        if (full.width() > box.width() || full.height() > box.height()) {
            QSize scaled = full.scaled(box, Qt::KeepAspectRatio);
            scaled = scaled.expandedTo(QSize(1, 1));
            reader.setScaledSize(scaled);
            target = scaled;
        }
    }
    // Judged from the header, before a pixel is read.
    const DecodeBudget::Cost cost = DecodeBudget::of(path, format, full, target);
    if (!cost.refusal.isEmpty()) {
        sayOnce(path, cost.refusal);
        return refuse(cost.refusal);
    }
    const DecodeBudget::Reservation share(cost.bytes);
    QImage image = cost.rowByRow ? QImage() : reader.read();
    if (image.isNull() && full.isValid() && format == "png") {
        // Qt decodes a PNG whole before reducing it and refuses those above
        // its allocation limit; read those a row at a time instead.
        QSize box = bound.isValid() && !bound.isEmpty() ? bound : QSize(kLargestSide, kLargestSide);
        image = readPngReduced(path, full.scaled(box, Qt::KeepAspectRatio).boundedTo(full)
                                         .expandedTo(QSize(1, 1)));
    }
    if (image.isNull())
        return refuse(reader.errorString());
    if (original) {
        QSize s = full.isValid() ? full : image.size();
        if (turned && full.isValid())
            s.transpose();
        *original = s;
    }
    return image;
}

} // namespace ImageFile
