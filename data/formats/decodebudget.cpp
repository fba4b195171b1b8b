#include "data/formats/decodebudget.h"

#include <QFile>
#include <QSemaphore>

#include <algorithm>
#include <climits>
#include <cmath>

namespace DecodeBudget {

namespace {

QString megabytes(qint64 bytes)
{
    if (bytes >= (qint64(10) << 30))
        return QStringLiteral("%1 GB").arg(double(bytes) / double(qint64(1) << 30), 0, 'f', 0);
    if (bytes >= (qint64(1) << 30))
        return QStringLiteral("%1 GB").arg(double(bytes) / double(qint64(1) << 30), 0, 'f', 1);
    return QStringLiteral("%1 MB").arg((bytes + (1 << 20) - 1) >> 20);
}

QString pixels(qint64 w, qint64 h)
{
    return QStringLiteral("%1 \u00d7 %2 pixels").arg(w).arg(h);
}

QString overBudget(const QString &what, qint64 bytes)
{
    return QStringLiteral("%1 would take %2 to decode, more than the %3 a picture may take")
        .arg(what, megabytes(bytes), megabytes(kBytes));
}

struct JpegFrame
{
    bool found = false;
    bool multiScan = false; // progressive (or hierarchical): whole-picture coefficient buffers
    qint64 width = 0, height = 0;
    struct Component { int h = 1, v = 1; };
    QList<Component> components;
};

// Walks the JPEG markers up to the frame header. Segments are skipped by
// their lengths, so large EXIF blocks cost nothing.
JpegFrame jpegFrame(QFile &file)
{
    JpegFrame f;
    uchar b[4];
    if (file.read(reinterpret_cast<char *>(b), 2) != 2 || b[0] != 0xff || b[1] != 0xd8)
        return f;
    for (int segments = 0; segments < 4096; ++segments) {
        if (file.read(reinterpret_cast<char *>(b), 2) != 2 || b[0] != 0xff)
            return f;
        uchar marker = b[1];
        while (marker == 0xff) { // fill bytes
            char c;
            if (!file.getChar(&c))
                return f;
            marker = uchar(c);
        }
        if (marker == 0xd8 || (marker >= 0xd0 && marker <= 0xd7) || marker == 0x01)
            continue;
        if (file.read(reinterpret_cast<char *>(b), 2) != 2)
            return f;
        const int length = (b[0] << 8) | b[1];
        if (length < 2)
            return f;
        const bool sof = marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8
            && marker != 0xcc;
        if (!sof) {
            if (marker == 0xda || marker == 0xd9)
                return f;
            if (!file.seek(file.pos() + length - 2))
                return f;
            continue;
        }
        const QByteArray body = file.read(length - 2);
        if (body.size() < 6)
            return f;
        const auto u = [&](int i) { return int(uchar(body.at(i))); };
        f.found = true;
        // SOF2/6/10/14 progressive, SOF5..7 and 13..15 hierarchical: both
        // keep every coefficient of the picture until the last scan.
        f.multiScan = marker == 0xc2 || marker == 0xc6 || marker == 0xca || marker == 0xce
            || marker == 0xc5 || marker == 0xc7 || marker == 0xcd || marker == 0xcf;
        f.height = (u(1) << 8) | u(2);
        f.width = (u(3) << 8) | u(4);
        const int n = u(5);
        for (int c = 0; c < n && 6 + 3 * c + 2 < body.size(); ++c) {
            JpegFrame::Component k;
            k.h = std::max(1, u(7 + 3 * c) >> 4);
            k.v = std::max(1, u(7 + 3 * c) & 15);
            f.components << k;
        }
        return f;
    }
    return f;
}

Cost jpegCost(const QString &path, const QSize &full, const QSize &target)
{
    Cost cost;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return cost;
    const JpegFrame f = jpegFrame(file);
    const qint64 w = f.found ? f.width : full.width();
    const qint64 h = f.found ? f.height : full.height();
    if (w <= 0 || h <= 0)
        return cost;
    // Decoded at M/8 of its size, M the smallest that still covers the
    // target; the decoder's rows are a few, its picture the reduced one.
    int m = 8;
    QSize shown = target;
    if (shown.isValid() && !shown.isEmpty() && (w > shown.width() || h > shown.height()))
        shown = QSize(int(std::min<qint64>(w, INT_MAX)), int(std::min<qint64>(h, INT_MAX))).scaled(shown, Qt::KeepAspectRatio);
    if (shown.isValid() && !shown.isEmpty())
        m = std::clamp(int(std::ceil(8.0 * std::max(double(shown.width()) / double(w),
                                                     double(shown.height()) / double(h)))),
                       1, 8);
    cost.bytes = ((w * m + 7) / 8) * ((h * m + 7) / 8) * 4;
    if (f.multiScan) {
        int hmax = 1, vmax = 1;
        for (const auto &c : f.components) {
            hmax = std::max(hmax, c.h);
            vmax = std::max(vmax, c.v);
        }
        qint64 coefficients = 0;
        for (const auto &c : f.components) {
            const qint64 cw = (w * c.h + hmax - 1) / hmax;
            const qint64 ch = (h * c.v + vmax - 1) / vmax;
            // 64 coefficients of 2 bytes per 8 x 8 block, blocks padded to
            // the sampling unit.
            coefficients += ((cw + 8 * c.h - 1) / (8 * c.h)) * c.h * ((ch + 8 * c.v - 1) / (8 * c.v)) * c.v * 128;
        }
        cost.bytes += coefficients;
        if (cost.bytes > kBytes)
            cost.refusal = overBudget(QStringLiteral("a progressive JPEG of %1").arg(pixels(w, h)), cost.bytes);
    } else if (cost.bytes > kBytes) {
        cost.refusal = overBudget(QStringLiteral("a JPEG of %1").arg(pixels(w, h)), cost.bytes);
    }
    return cost;
}

bool pngInterlaced(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Signature, IHDR length and type, then width, height, depth, colour
    // type, compression, filter, interlace.
    const QByteArray head = file.read(8 + 8 + 13);
    return head.size() == 29 && head.mid(12, 4) == "IHDR" && head.at(28) != 0;
}

} // namespace

Cost of(const QString &path, const QByteArray &format, const QSize &full, const QSize &target)
{
    Cost cost;
    if (format == "jpeg" || format == "jpg")
        return jpegCost(path, full, target);
    if (!full.isValid())
        return cost;
    const qint64 w = full.width(), h = full.height();
    if (format == "svg" || format == "svgz") {
        // Drawn straight at the size shown.
        const QSize shown = target.isValid() && !target.isEmpty() ? full.scaled(target, Qt::KeepAspectRatio) : full;
        cost.bytes = qint64(shown.width()) * shown.height() * 4;
        if (cost.bytes > kBytes)
            cost.refusal = overBudget(QStringLiteral("a drawing shown at %1").arg(pixels(shown.width(), shown.height())),
                                      cost.bytes);
        return cost;
    }
    // Every other reader decodes the whole picture, then it is reduced.
    cost.bytes = w * h * 4;
    if (cost.bytes <= kBytes)
        return cost;
    if (format == "png" && !pngInterlaced(path)) {
        // Read a row at a time instead: a few rows and the reduced picture.
        const QSize shown = target.isValid() && !target.isEmpty() ? full.scaled(target, Qt::KeepAspectRatio).boundedTo(full)
                                                               : full;
        cost.rowByRow = true;
        cost.bytes = w * 4 * 2 + qint64(shown.width()) * 8 * 5 + qint64(shown.width()) * shown.height() * 4;
        if (cost.bytes > kBytes)
            cost.refusal = overBudget(QStringLiteral("a PNG shown at %1").arg(pixels(shown.width(), shown.height())),
                                      cost.bytes);
        return cost;
    }
    const QString what = format == "png" ? QStringLiteral("an interlaced PNG of %1").arg(pixels(w, h))
                                         : QStringLiteral("a %1 picture of %2").arg(QString::fromLatin1(format.toUpper()), pixels(w, h));
    cost.refusal = overBudget(what, cost.bytes);
    return cost;
}

QString unreadable(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    // Radiance RGBE: text lines up to an empty one, then the resolution,
    // "-Y height +X width" (or another of the eight orientations).
    const QByteArray head = file.read(64 * 1024);
    if (!head.startsWith("#?"))
        return QString();
    const qsizetype blank = head.indexOf("\n\n");
    if (blank < 0)
        return QStringLiteral("a Radiance HDR picture, which this viewer does not show");
    const qsizetype end = head.indexOf('\n', blank + 2);
    const QList<QByteArray> words = head.mid(blank + 2, end < 0 ? -1 : end - blank - 2).simplified().split(' ');
    qint64 w = 0, h = 0;
    if (words.size() == 4) {
        for (int k : {0, 2}) {
            const QByteArray axis = words.at(k);
            const qint64 n = words.at(k + 1).toLongLong();
            if (axis.endsWith('X'))
                w = n;
            else if (axis.endsWith('Y'))
                h = n;
        }
    }
    if (w <= 0 || h <= 0)
        return QStringLiteral("a Radiance HDR picture, which this viewer does not show");
    // Three floats a pixel once decoded.
    const qint64 bytes = w * h * 12;
    if (bytes > kBytes)
        return overBudget(QStringLiteral("a Radiance HDR picture of %1").arg(pixels(w, h)), bytes);
    return QStringLiteral("a Radiance HDR picture of %1, which this viewer does not show").arg(pixels(w, h));
}

namespace {

// In megabytes, so that the count fits an int whatever the total.
QSemaphore &shares()
{
    static QSemaphore semaphore(int(kTotalBytes >> 20));
    return semaphore;
}

} // namespace

Reservation::Reservation(qint64 bytes)
    : m_units(int(std::clamp<qint64>((bytes + (1 << 20) - 1) >> 20, 0, kTotalBytes >> 20)))
{
    if (m_units)
        shares().acquire(m_units);
}

Reservation::~Reservation()
{
    if (m_units)
        shares().release(m_units);
}

} // namespace DecodeBudget
