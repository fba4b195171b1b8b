#include "data/imagefile.h"

#include "data/pngreduced.h"
#include "data/regularfile.h"

#include <QImageReader>

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

QImage read(const QString &path, const QSize &bound, QSize *original)
{
    if (original)
        *original = QSize();
    // A FIFO named as a picture would block the decoder, and the interface.
    if (!RegularFile::isRegular(path))
        return QImage();
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize full = reader.size();
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    if (full.isValid() && bound.isValid() && !bound.isEmpty()) {
        // The scaled size is given in the file's own orientation.
        QSize box = turned ? bound.transposed() : bound;
        if (full.width() > box.width() || full.height() > box.height()) {
            QSize scaled = full.scaled(box, Qt::KeepAspectRatio);
            scaled = scaled.expandedTo(QSize(1, 1));
            reader.setScaledSize(scaled);
        }
    }
    const QByteArray format = reader.format();
    QImage image = reader.read();
    if (image.isNull() && full.isValid() && format == "png") {
        // Qt decodes a PNG whole before reducing it and refuses those above
        // its allocation limit; read those a row at a time instead.
        QSize box = bound.isValid() && !bound.isEmpty() ? bound : QSize(kLargestSide, kLargestSide);
        image = readPngReduced(path, full.scaled(box, Qt::KeepAspectRatio).boundedTo(full)
                                         .expandedTo(QSize(1, 1)));
    }
    if (image.isNull())
        return QImage();
    if (original) {
        QSize s = full.isValid() ? full : image.size();
        if (turned && full.isValid())
            s.transpose();
        *original = s;
    }
    return image;
}

} // namespace ImageFile
