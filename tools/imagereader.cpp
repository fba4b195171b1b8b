#include "tools/imagereader.h"

#include "tools/rowreducer.h"

#include "data/formats/regularfile.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

namespace {

constexpr unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

QString pixels(qint64 w, qint64 h)
{
    return QStringLiteral("%1 x %2 pixels").arg(w).arg(h);
}

// Refusals that need only the header. True when the image may be decoded.
bool checkHeader(qint64 w, qint64 h, const ImageReader::Limits &limits, DecodedImage &out)
{
    out.fileSize = QSize(int(std::min<qint64>(w, INT_MAX)), int(std::min<qint64>(h, INT_MAX)));
    if (w <= 0 || h <= 0) {
        out.status = DecodedImage::Unreadable;
        out.reason = QStringLiteral("the header announces an empty image");
        return false;
    }
    if (w * h > limits.maxPixels) {
        out.status = DecodedImage::TooLarge;
        out.reason = QStringLiteral("too large: %1, above the limit of %2 megapixels")
                         .arg(pixels(w, h)).arg(limits.maxPixels / 1000000);
        return false;
    }
    if (limits.maxSide <= 0 && w * h > limits.maxWorkingPixels) {
        out.status = DecodedImage::TooLarge;
        out.reason = QStringLiteral("too large to index at full size: %1, above %2 megapixels; "
                                    "give --max-side")
                         .arg(pixels(w, h)).arg(limits.maxWorkingPixels / 1000000);
        return false;
    }
    const QSize described = ImageReader::describedSize(QSize(int(w), int(h)), limits.maxSide,
                                                       limits.workSide);
    if (std::min(described.width(), described.height()) < limits.minSide) {
        out.status = DecodedImage::TooSmall;
        out.reason = described == QSize(int(w), int(h))
                         ? QStringLiteral("too small: %1 (at least %2 on each side)")
                               .arg(pixels(w, h)).arg(limits.minSide)
                         : QStringLiteral("too small: %1, %2 once scaled (at least %3 on each "
                                          "side)")
                               .arg(pixels(w, h))
                               .arg(pixels(described.width(), described.height()))
                               .arg(limits.minSide);
        return false;
    }
    return true;
}

// Premultiplied BGRA from RGBA: averaging premultiplied values keeps a
// reduced pixel's colour that of its drawn part, and the picture over white
// and the alpha both come back from it.
inline void premultiplied(const unsigned char *rgba, unsigned char *bgra, int width)
{
    for (int x = 0; x < width; ++x, rgba += 4, bgra += 4) {
        const unsigned a = rgba[3];
        bgra[0] = (unsigned char)((rgba[2] * a + 127) / 255);
        bgra[1] = (unsigned char)((rgba[1] * a + 127) / 255);
        bgra[2] = (unsigned char)((rgba[0] * a + 127) / 255);
        bgra[3] = (unsigned char)a;
    }
}

// Splits premultiplied BGRA into the picture over white and its alpha; the
// alpha is dropped when every pixel is opaque.
void splitOverWhite(const cv::Mat &bgra, DecodedImage &out)
{
    out.colour.create(bgra.size(), CV_8UC3);
    out.alpha.create(bgra.size(), CV_8U);
    bool transparent = false;
    for (int y = 0; y < bgra.rows; ++y) {
        const unsigned char *p = bgra.ptr<unsigned char>(y);
        unsigned char *c = out.colour.ptr<unsigned char>(y), *a = out.alpha.ptr<unsigned char>(y);
        for (int x = 0; x < bgra.cols; ++x, p += 4, c += 3) {
            const unsigned back = 255u - p[3];
            c[0] = (unsigned char)std::min(255u, p[0] + back);
            c[1] = (unsigned char)std::min(255u, p[1] + back);
            c[2] = (unsigned char)std::min(255u, p[2] + back);
            a[x] = p[3];
            transparent = transparent || p[3] < 255;
        }
    }
    if (!transparent)
        out.alpha.release();
}

inline void rgbToBgr(const unsigned char *rgb, unsigned char *bgr, int width)
{
    for (int x = 0; x < width; ++x, rgb += 3, bgr += 3) {
        bgr[0] = rgb[2];
        bgr[1] = rgb[1];
        bgr[2] = rgb[0];
    }
}

// ---- PNG, a row at a time --------------------------------------------------

struct PngContext
{
    char message[200] = {0};
};

void pngError(png_structp png, png_const_charp message)
{
    auto *c = static_cast<PngContext *>(png_get_error_ptr(png));
    std::snprintf(c->message, sizeof c->message, "%s", message);
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp)
{
    // Ancillary-chunk complaints (colour profiles and the like) do not
    // change the pixels.
}

// Everything that libpng's error jump may cross lives here, made before the
// jump point, so no object's destructor is skipped.
struct PngRead
{
    std::FILE *file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngContext context;
    std::vector<unsigned char> row, bgr, whole;
    std::vector<png_bytep> rows;
    RowReducer reducer;
    ~PngRead()
    {
        if (png)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        if (file)
            std::fclose(file);
    }
};

// Returns false with `out` filled when the image is refused or damaged.
bool decodePng(PngRead &r, const ImageReader::Limits &limits, DecodedImage &out)
{
    if (setjmp(png_jmpbuf(r.png))) {
        out.status = DecodedImage::Unreadable;
        out.reason = QStringLiteral("damaged PNG: %1").arg(QString::fromLatin1(r.context.message));
        return false;
    }
    png_init_io(r.png, r.file);
    // Sizes are checked against our own limits below; libpng's default
    // refuses sides above a million pixels before we could name the file.
    png_set_user_limits(r.png, 0x7fffffff, 0x7fffffff);
    png_read_info(r.png, r.info);
    const qint64 w = png_get_image_width(r.png, r.info), h = png_get_image_height(r.png, r.info);
    if (!checkHeader(w, h, limits, out))
        return false;

    png_set_expand(r.png);     // palette, low bit depths and tRNS to 8-bit (RGB)A
    png_set_scale_16(r.png);   // 16-bit samples to 8
    png_set_gray_to_rgb(r.png);
    const int passes = png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    const int channels = png_get_channels(r.png, r.info);
    if (channels != 3 && channels != 4) {
        out.status = DecodedImage::Unreadable;
        out.reason = QStringLiteral("unsupported PNG layout (%1 channels)").arg(channels);
        return false;
    }
    const size_t rowBytes = png_get_rowbytes(r.png, r.info);
    const QSize target = ImageReader::workingSize(QSize(int(w), int(h)), limits.maxSide);
    r.reducer.start(int(w), int(h), target, channels);
    r.bgr.resize(size_t(w) * size_t(channels));
    auto push = [&](const unsigned char *p) {
        if (channels == 4)
            premultiplied(p, r.bgr.data(), int(w));
        else
            rgbToBgr(p, r.bgr.data(), int(w));
        r.reducer.addRow(r.bgr.data());
    };
    if (passes > 1) {
        // An interlaced image comes in passes over the whole picture: it is
        // held whole, once, and only when that fits.
        if (qint64(rowBytes) * h > limits.maxDecodeBytes) {
            out.status = DecodedImage::TooLarge;
            out.reason = QStringLiteral("too large for an interlaced PNG: %1 would take %2 MB "
                                        "to decode (limit %3 MB)")
                             .arg(pixels(w, h)).arg(qint64(rowBytes) * h >> 20)
                             .arg(limits.maxDecodeBytes >> 20);
            return false;
        }
        r.whole.resize(rowBytes * size_t(h));
        r.rows.resize(size_t(h));
        for (qint64 y = 0; y < h; ++y)
            r.rows[size_t(y)] = r.whole.data() + size_t(y) * rowBytes;
        png_read_image(r.png, r.rows.data());
        for (qint64 y = 0; y < h; ++y)
            push(r.rows[size_t(y)]);
        r.whole.clear();
        r.whole.shrink_to_fit();
    } else {
        r.row.resize(rowBytes);
        for (qint64 y = 0; y < h; ++y) {
            png_read_row(r.png, r.row.data(), nullptr);
            push(r.row.data());
        }
    }
    return true;
}

bool readPng(const QString &path, const ImageReader::Limits &limits, DecodedImage &out)
{
    // The size comes from the first chunk, before libpng reads on to the
    // image data (and fails there when a file is nothing but a header).
    QSize announced;
    QString error;
    if (!ImageReader::readSize(path, &announced, &error)) {
        out.reason = error;
        return false;
    }
    if (!checkHeader(announced.width(), announced.height(), limits, out))
        return false;
    PngRead r;
    r.file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!r.file) {
        out.reason = QStringLiteral("cannot open: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r.context, pngError, pngWarning);
    r.info = r.png ? png_create_info_struct(r.png) : nullptr;
    if (!r.png || !r.info) {
        out.reason = QStringLiteral("out of memory");
        return false;
    }
    if (!decodePng(r, limits, out))
        return false;
    const cv::Mat reduced = r.reducer.finish();
    if (reduced.channels() == 4)
        splitOverWhite(reduced, out);
    else
        out.colour = reduced;
    return true;
}

// ---- JPEG, a row at a time, reduced by DCT scaling -------------------------

struct JpegError
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {0};
    int damage = 0; // warnings that mean missing or broken data
    char damageMessage[JMSG_LENGTH_MAX] = {0};
};

void jpegErrorExit(j_common_ptr c)
{
    auto *e = reinterpret_cast<JpegError *>(c->err);
    c->err->format_message(c, e->message);
    std::longjmp(e->jump, 1);
}

void jpegMessage(j_common_ptr c, int level)
{
    if (level >= 0)
        return; // trace messages
    auto *e = reinterpret_cast<JpegError *>(c->err);
    const int code = c->err->msg_code;
    // A truncated file or a broken entropy segment decodes to grey or
    // repeated blocks: the picture is not what the file was meant to hold.
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC
        || code == JWRN_NOT_SEQUENTIAL) {
        if (!e->damage++)
            c->err->format_message(c, e->damageMessage);
    }
}

struct JpegRead
{
    std::FILE *file = nullptr;
    jpeg_decompress_struct info;
    JpegError error;
    bool created = false;
    std::vector<unsigned char> row, bgr;
    RowReducer reducer;
    ~JpegRead()
    {
        if (created)
            jpeg_destroy_decompress(&info);
        if (file)
            std::fclose(file);
    }
};

bool decodeJpeg(JpegRead &r, const ImageReader::Limits &limits, DecodedImage &out)
{
    r.info.err = jpeg_std_error(&r.error.base);
    r.error.base.error_exit = jpegErrorExit;
    r.error.base.emit_message = jpegMessage;
    if (setjmp(r.error.jump)) {
        out.status = DecodedImage::Unreadable;
        out.reason = QStringLiteral("damaged JPEG: %1").arg(QString::fromLatin1(r.error.message));
        return false;
    }
    jpeg_create_decompress(&r.info);
    r.created = true;
    jpeg_stdio_src(&r.info, r.file);
    jpeg_read_header(&r.info, TRUE);
    const qint64 w = r.info.image_width, h = r.info.image_height;
    if (!checkHeader(w, h, limits, out))
        return false;
    if (jpeg_has_multiple_scans(&r.info)) {
        // A progressive JPEG keeps every DCT coefficient of the picture
        // until its last scan: 128 bytes per 8 x 8 block of each component,
        // whatever the output scale.
        qint64 bytes = 0;
        const int maxH = std::max(1, r.info.max_h_samp_factor), maxV = std::max(1, r.info.max_v_samp_factor);
        for (int c = 0; c < r.info.num_components; ++c) {
            const jpeg_component_info &ci = r.info.comp_info[c];
            const qint64 bw = (w * ci.h_samp_factor / maxH + 7) / 8, bh = (h * ci.v_samp_factor / maxV + 7) / 8;
            bytes += bw * bh * 128;
        }
        if (bytes > limits.maxDecodeBytes) {
            out.status = DecodedImage::TooLarge;
            out.reason = QStringLiteral("too large for a progressive JPEG: %1 would take %2 MB "
                                        "to decode (limit %3 MB)")
                             .arg(pixels(w, h)).arg(bytes >> 20).arg(limits.maxDecodeBytes >> 20);
            return false;
        }
        // The decoder's own pools stay within the same budget.
        r.info.mem->max_memory_to_use = long(limits.maxDecodeBytes);
    }
    const QSize target = ImageReader::workingSize(QSize(int(w), int(h)), limits.maxSide);
    // The smallest DCT scaling that still gives at least the working size.
    r.info.scale_denom = 8;
    r.info.scale_num = 8;
    for (unsigned n = 1; n < 8; ++n) {
        if (qint64(n) * w >= 8 * qint64(target.width()) && qint64(n) * h >= 8 * qint64(target.height())) {
            r.info.scale_num = n;
            break;
        }
    }
    const bool cmyk = r.info.jpeg_color_space == JCS_CMYK || r.info.jpeg_color_space == JCS_YCCK;
    r.info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&r.info);
    const int ow = int(r.info.output_width), oh = int(r.info.output_height);
    const int channels = r.info.output_components;
    r.reducer.start(ow, oh, target);
    r.row.resize(size_t(ow) * size_t(channels));
    r.bgr.resize(size_t(ow) * 3);
    // Adobe's CMYK JPEGs store the inks inverted.
    const bool inverted = r.info.saw_Adobe_marker;
    while (r.info.output_scanline < r.info.output_height) {
        JSAMPROW p = r.row.data();
        if (jpeg_read_scanlines(&r.info, &p, 1) != 1)
            break;
        if (channels == 4) {
            for (int x = 0; x < ow; ++x) {
                unsigned c = p[4 * x], m = p[4 * x + 1], y = p[4 * x + 2], k = p[4 * x + 3];
                if (!inverted) {
                    c = 255 - c; m = 255 - m; y = 255 - y; k = 255 - k;
                }
                r.bgr[3 * size_t(x)] = (unsigned char)((y * k + 127) / 255);
                r.bgr[3 * size_t(x) + 1] = (unsigned char)((m * k + 127) / 255);
                r.bgr[3 * size_t(x) + 2] = (unsigned char)((c * k + 127) / 255);
            }
        } else {
            rgbToBgr(p, r.bgr.data(), ow);
        }
        r.reducer.addRow(r.bgr.data());
    }
    if (r.info.output_scanline == r.info.output_height)
        jpeg_finish_decompress(&r.info);
    if (r.error.damage || r.info.output_scanline < r.info.output_height) {
        out.status = DecodedImage::Unreadable;
        out.reason = QStringLiteral("damaged JPEG: %1")
                         .arg(r.error.damage ? QString::fromLatin1(r.error.damageMessage)
                                             : QStringLiteral("fewer rows than announced"));
        return false;
    }
    return true;
}

bool readJpeg(const QString &path, const ImageReader::Limits &limits, DecodedImage &out)
{
    JpegRead r;
    r.file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!r.file) {
        out.reason = QStringLiteral("cannot open: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!decodeJpeg(r, limits, out))
        return false;
    out.colour = r.reducer.finish();
    return true;
}

// ---- every other format, decoded whole when that fits ---------------------

QSize opencvHeaderSize(const QByteArray &head, QString *format);

bool readWhole(const QString &path, const ImageReader::Limits &limits, DecodedImage &out)
{
    QImageReader reader(path);
    reader.setAutoTransform(false);
    QSize size = reader.size();
    if (size.isValid()) {
        if (!checkHeader(size.width(), size.height(), limits, out))
            return false;
        // The decoded image, its copy over white, its alpha and the colour
        // matrix.
        const qint64 bytes = qint64(size.width()) * size.height() * 11;
        if (bytes > limits.maxDecodeBytes) {
            out.status = DecodedImage::TooLarge;
            out.reason = QStringLiteral("too large: %1 would take %2 MB to decode in this "
                                        "format (limit %3 MB)")
                             .arg(pixels(size.width(), size.height()))
                             .arg(bytes >> 20).arg(limits.maxDecodeBytes >> 20);
            return false;
        }
    }
    QImage image = reader.read();
    if (image.isNull()) {
        // Formats only OpenCV reads: decoded whole, so only when the size
        // their header announces fits the budget. A run-length coded HDR
        // file of a few megabytes can announce gigabytes of pixels, so the
        // file's own size says nothing.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            out.reason = QStringLiteral("cannot open: %1").arg(file.errorString());
            return false;
        }
        QString format;
        const QSize announced = opencvHeaderSize(file.peek(4096), &format);
        if (!announced.isValid()) {
            out.reason = QStringLiteral("not a readable image (corrupt or unknown format, or "
                                        "one whose size cannot be read before decoding it)");
            return false;
        }
        if (!checkHeader(announced.width(), announced.height(), limits, out))
            return false;
        // Floating-point pixels, then the 8-bit colour made of them.
        const qint64 need = qint64(announced.width()) * announced.height() * 16;
        if (need > limits.maxDecodeBytes) {
            out.status = DecodedImage::TooLarge;
            out.reason = QStringLiteral("too large: %1 would take %2 MB to decode as %3 (limit "
                                        "%4 MB)")
                             .arg(pixels(announced.width(), announced.height()))
                             .arg(need >> 20).arg(format).arg(limits.maxDecodeBytes >> 20);
            return false;
        }
        if (file.size() > limits.maxDecodeBytes) {
            out.status = DecodedImage::TooLarge;
            out.reason = QStringLiteral("too large: a %1 MB file (limit %2 MB)")
                             .arg(file.size() >> 20).arg(limits.maxDecodeBytes >> 20);
            return false;
        }
        const QByteArray bytes = file.readAll();
        cv::Mat decoded;
        try {
            if (!bytes.isEmpty())
                decoded = cv::imdecode(cv::Mat(1, int(bytes.size()), CV_8U, const_cast<char *>(bytes.constData())),
                                       cv::IMREAD_COLOR);
        } catch (const cv::Exception &) {
            decoded.release();
        }
        if (decoded.empty()) {
            out.reason = QStringLiteral("not a readable image (corrupt or unknown format)");
            return false;
        }
        if (!checkHeader(decoded.cols, decoded.rows, limits, out))
            return false;
        const QSize target = ImageReader::workingSize(QSize(decoded.cols, decoded.rows),
                                                      limits.maxSide);
        if (target.width() != decoded.cols || target.height() != decoded.rows)
            cv::resize(decoded, out.colour, cv::Size(target.width(), target.height()), 0, 0,
                       cv::INTER_AREA);
        else
            out.colour = decoded;
        return true;
    }
    if (!size.isValid() && !checkHeader(image.width(), image.height(), limits, out))
        return false;
    out.fileSize = image.size();
    const QSize target = ImageReader::workingSize(image.size(), limits.maxSide);
    if (image.hasAlphaChannel()) {
        const QImage alpha = image.convertToFormat(QImage::Format_Alpha8);
        const cv::Mat a(alpha.height(), alpha.width(), CV_8U, const_cast<uchar *>(alpha.constBits()),
                        size_t(alpha.bytesPerLine()));
        double lowest = 255;
        cv::minMaxLoc(a, &lowest);
        if (lowest < 255) {
            if (target != alpha.size())
                cv::resize(a, out.alpha, cv::Size(target.width(), target.height()), 0, 0,
                           cv::INTER_AREA);
            else
                out.alpha = a.clone();
        }
    }
    QImage flat(image.size(), QImage::Format_RGB888);
    flat.fill(Qt::white);
    {
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
    }
    image = QImage();
    const cv::Mat rgb(flat.height(), flat.width(), CV_8UC3, flat.bits(), size_t(flat.bytesPerLine()));
    cv::Mat bgr;
    cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
    if (target != flat.size())
        cv::resize(bgr, out.colour, cv::Size(target.width(), target.height()), 0, 0, cv::INTER_AREA);
    else
        out.colour = bgr;
    return true;
}

// The size announced by the header of the formats that only OpenCV reads
// here: Radiance HDR, PFM and Sun raster. Invalid when `head` is none of
// them or its size line is missing.
QSize opencvHeaderSize(const QByteArray &head, QString *format)
{
    if (head.startsWith("#?RADIANCE") || head.startsWith("#?RGBE")) {
        *format = QStringLiteral("Radiance HDR");
        // Header lines, an empty line, then "-Y rows +X columns" (or
        // another orientation of the same two).
        const int blank = head.indexOf("\n\n");
        if (blank < 0)
            return QSize();
        const int end = head.indexOf('\n', blank + 2);
        const QByteArray line = head.mid(blank + 2, end < 0 ? -1 : end - blank - 2).simplified();
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() != 4)
            return QSize();
        bool ok1 = false, ok2 = false;
        const qint64 a = parts[1].toLongLong(&ok1), b = parts[3].toLongLong(&ok2);
        if (!ok1 || !ok2 || parts[0].size() != 2 || parts[2].size() != 2)
            return QSize();
        const bool rowsFirst = parts[0].endsWith('Y');
        const qint64 w = rowsFirst ? b : a, h = rowsFirst ? a : b;
        if (w <= 0 || h <= 0 || w > INT_MAX || h > INT_MAX)
            return QSize();
        return QSize(int(w), int(h));
    }
    if (head.startsWith("PF\n") || head.startsWith("Pf\n")) {
        *format = QStringLiteral("PFM");
        const QList<QByteArray> parts = head.mid(3, 64).simplified().split(' ');
        bool ok1 = false, ok2 = false;
        const qint64 w = parts.value(0).toLongLong(&ok1), h = parts.value(1).toLongLong(&ok2);
        if (!ok1 || !ok2 || w <= 0 || h <= 0 || w > INT_MAX || h > INT_MAX)
            return QSize();
        return QSize(int(w), int(h));
    }
    if (head.size() >= 12 && uchar(head[0]) == 0x59 && uchar(head[1]) == 0xa6
        && uchar(head[2]) == 0x6a && uchar(head[3]) == 0x95) {
        *format = QStringLiteral("Sun raster");
        auto be = [&](int at) {
            return (quint32(uchar(head[at])) << 24) | (quint32(uchar(head[at + 1])) << 16)
                   | (quint32(uchar(head[at + 2])) << 8) | quint32(uchar(head[at + 3]));
        };
        const quint32 w = be(4), h = be(8);
        if (w == 0 || h == 0 || w > INT_MAX || h > INT_MAX)
            return QSize();
        return QSize(int(w), int(h));
    }
    return QSize();
}

enum class Format { Png, Jpeg, Other };

Format sniff(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open: %1").arg(file.errorString());
        return Format::Other;
    }
    const QByteArray head = file.read(8);
    if (head.size() == 8 && std::memcmp(head.constData(), pngSignature, 8) == 0)
        return Format::Png;
    if (head.size() >= 3 && uchar(head[0]) == 0xFF && uchar(head[1]) == 0xD8 && uchar(head[2]) == 0xFF)
        return Format::Jpeg;
    if (head.isEmpty())
        *error = QStringLiteral("empty file");
    return Format::Other;
}

} // namespace

QSize ImageReader::describedSize(const QSize &size, int maxSide, int workSide)
{
    const QSize working = workingSize(size, maxSide);
    const int side = std::max(working.width(), working.height());
    if (workSide <= 0 || side <= 0 || side == workSide)
        return working;
    // As the extractor scales it: the same factor on both sides.
    const double f = double(workSide) / side;
    return QSize(int(working.width() * f + 0.5), int(working.height() * f + 0.5));
}

QSize ImageReader::workingSize(const QSize &size, int maxSide)
{
    const int side = std::max(size.width(), size.height());
    if (maxSide <= 0 || side <= maxSide)
        return size;
    const double f = double(maxSide) / side;
    return QSize(std::max(1, int(size.width() * f + 0.5)), std::max(1, int(size.height() * f + 0.5)));
}

bool ImageReader::readSize(const QString &path, QSize *size, QString *error)
{
    QString e;
    const Format format = sniff(path, &e);
    if (!e.isEmpty()) {
        *error = e;
        return false;
    }
    if (format == Format::Png) {
        // The first chunk is IHDR: width and height, big-endian, at 16.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = file.errorString();
            return false;
        }
        const QByteArray head = file.read(24);
        if (head.size() < 24 || head.mid(12, 4) != "IHDR") {
            *error = QStringLiteral("damaged PNG: no image header");
            return false;
        }
        auto be = [&](int at) {
            return (quint32(uchar(head[at])) << 24) | (quint32(uchar(head[at + 1])) << 16)
                   | (quint32(uchar(head[at + 2])) << 8) | quint32(uchar(head[at + 3]));
        };
        *size = QSize(int(std::min<quint32>(be(16), INT_MAX)), int(std::min<quint32>(be(20), INT_MAX)));
        return true;
    }
    QImageReader reader(path);
    *size = reader.size();
    if (!size->isValid()) {
        *error = QStringLiteral("no readable image header");
        return false;
    }
    return true;
}

bool ImageReader::checkHeaderOnly(const QString &path, const Limits &limits,
                                  DecodedImage::Status *status, QString *reason)
{
    QSize size;
    QString e;
    if (!RegularFile::isRegular(path)) {
        *status = DecodedImage::Unreadable;
        *reason = QStringLiteral("not a regular file");
        return false;
    }
    if (!readSize(path, &size, &e)) {
        // A header neither Qt nor OpenCV recognises (a file of zeros named
        // *.png): reading it can only fail, and it is not read in full for
        // anything else either.
        // A PNG or JPEG whose own header is damaged cannot be read either.
        QString unused;
        bool known = false;
        if (sniff(path, &unused) == Format::Other && unused.isEmpty()) {
            try {
                known = cv::haveImageReader(QFile::encodeName(path).toStdString());
            } catch (const cv::Exception &) {
                known = false;
            }
        }
        if (known)
            return true;
        *status = DecodedImage::Unreadable;
        *reason = e.isEmpty() ? QStringLiteral("no readable image header") : e;
        return false;
    }
    DecodedImage out;
    if (checkHeader(size.width(), size.height(), limits, out))
        return true;
    *status = out.status;
    *reason = out.reason;
    return false;
}

DecodedImage ImageReader::read(const QString &path, const Limits &limits)
{
    DecodedImage out;
    QString error;
    const QFileInfo info(path);
    if (!info.exists()) {
        out.reason = QStringLiteral("file not found");
        return out;
    }
    // A FIFO or a device would block the decoder or never end.
    if (!RegularFile::isRegular(path)) {
        out.reason = QStringLiteral("not a regular file");
        return out;
    }
    const Format format = sniff(path, &error);
    if (!error.isEmpty()) {
        out.reason = error;
        return out;
    }
    bool ok = false;
    try {
        switch (format) {
        case Format::Png: ok = readPng(path, limits, out); break;
        case Format::Jpeg: ok = readJpeg(path, limits, out); break;
        case Format::Other: ok = readWhole(path, limits, out); break;
        }
    } catch (const std::bad_alloc &) {
        ok = false;
        out.status = DecodedImage::TooLarge;
        out.reason = QStringLiteral("out of memory while decoding");
    } catch (const cv::Exception &e) {
        ok = false;
        out.status = DecodedImage::Unreadable;
        out.reason = QStringLiteral("cannot decode: %1").arg(QString::fromStdString(e.msg));
    }
    if (!ok) {
        out.colour.release();
        out.alpha.release();
        if (out.reason.isEmpty())
            out.reason = QStringLiteral("not a readable image (corrupt or unknown format)");
        return out;
    }
    const QSize described = describedSize(QSize(out.colour.cols, out.colour.rows), 0,
                                          limits.workSide);
    if (std::min(described.width(), described.height()) < limits.minSide) {
        out.status = DecodedImage::TooSmall;
        out.reason = QStringLiteral("too small once scaled to at most %1 pixels a side: %2 "
                                    "(at least %3 on each side)")
                         .arg(limits.maxSide).arg(pixels(out.colour.cols, out.colour.rows))
                         .arg(limits.minSide);
        out.colour.release();
        out.alpha.release();
        return out;
    }
    cv::cvtColor(out.colour, out.grey, cv::COLOR_BGR2GRAY);
    out.scale = out.fileSize.width() > 0 ? double(out.fileSize.width()) / out.colour.cols : 1.0;
    out.status = DecodedImage::Ok;
    return out;
}
