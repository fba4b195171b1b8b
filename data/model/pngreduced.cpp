#include "data/model/pngreduced.h"

#include <QFile>

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace {

struct PngFile
{
    FILE *file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngFile()
    {
        if (png)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        if (file)
            std::fclose(file);
    }
};

void silentWarning(png_structp, png_const_charp) {}
void jumpOnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// Everything that may run between setjmp and a longjmp lives in the caller,
// so no destructor is skipped by the jump.
bool readRows(png_structp png, png_infop info, std::vector<png_byte> &row,
              std::vector<quint64> &sums, std::vector<quint32> &counts, std::vector<int> &column,
              QImage &out)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE || width == 0 || height == 0)
        return false;
    // Every layout to 8-bit RGBA.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != png_size_t(width) * 4)
        return false;

    const int tw = out.width();
    const int th = out.height();
    row.resize(std::size_t(width) * 4);
    sums.assign(std::size_t(tw) * 4, 0);
    counts.assign(std::size_t(tw), 0);
    // Target column of each file column.
    column.resize(width);
    for (png_uint_32 x = 0; x < width; ++x)
        column[x] = int(quint64(x) * quint64(tw) / width);

    int current = 0;
    auto flush = [&](int ty) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(ty));
        for (int tx = 0; tx < tw; ++tx) {
            const quint32 n = counts[std::size_t(tx)];
            const quint64 *s = &sums[std::size_t(tx) * 4];
            const quint64 a = s[3];
            line[tx] = (n && a) ? qRgba(int(s[0] / a), int(s[1] / a), int(s[2] / a), int(a / n))
                                : 0;
        }
        std::fill(sums.begin(), sums.end(), 0);
        std::fill(counts.begin(), counts.end(), 0);
    };
    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(png, row.data(), nullptr);
        const int ty = int(quint64(y) * quint64(th) / height);
        if (ty != current) {
            flush(current);
            current = ty;
        }
        const png_byte *p = row.data();
        for (png_uint_32 x = 0; x < width; ++x, p += 4) {
            const int tx = column[x];
            quint64 *s = &sums[std::size_t(tx) * 4];
            // Colours weighted by opacity, so transparent pixels do not
            // darken the edges of what they surround.
            s[0] += quint64(p[0]) * p[3];
            s[1] += quint64(p[1]) * p[3];
            s[2] += quint64(p[2]) * p[3];
            s[3] += p[3];
            ++counts[std::size_t(tx)];
        }
    }
    flush(current);
    return true;
}

} // namespace

QImage readPngReduced(const QString &path, const QSize &target)
{
    if (target.isEmpty())
        return QImage();
    PngFile f;
    f.file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!f.file)
        return QImage();
    f.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpOnError, silentWarning);
    if (!f.png)
        return QImage();
    f.info = png_create_info_struct(f.png);
    if (!f.info)
        return QImage();
    png_init_io(f.png, f.file);

    QImage out(target, QImage::Format_ARGB32);
    if (out.isNull())
        return QImage();
    std::vector<png_byte> row;
    std::vector<quint64> sums;
    std::vector<quint32> counts;
    std::vector<int> column;
    if (!readRows(f.png, f.info, row, sums, counts, column, out))
        return QImage();
    return out;
}
