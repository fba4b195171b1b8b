#ifndef PNGREDUCED_H
#define PNGREDUCED_H

#include <QImage>
#include <QSize>
#include <QString>

// Reads a PNG file reduced to `target` pixels, one row of the file at a time,
// each pixel of the result the average of the file's pixels it covers. Memory
// stays a few rows whatever the size of the picture, so pictures far beyond
// what Qt agrees to decode whole can still be shown. A null image when the
// file is not a readable PNG (interlaced pictures included: they cannot be
// read a row at a time).
QImage readPngReduced(const QString &path, const QSize &target);

#endif // PNGREDUCED_H
