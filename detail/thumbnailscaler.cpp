#include "detail/thumbnailscaler.h"

#include <QColor>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The source pixels [start, end) that output cell `i` of `n` covers out of
// `length`, as fractional bounds.
struct Span
{
    double start;
    double end;
};

Span spanOf(int i, int n, int length)
{
    return {double(i) * length / n, double(i + 1) * length / n};
}

// Averages along one direction of a picture held as three floats a pixel,
// row by row: along the rows (`lines` rows of `length` pixels, to rows of
// `n`), or down the columns (`lines` columns of `length` pixels in rows of
// `width`, to columns of `n`).
void averageLines(const std::vector<float> &in, std::vector<float> &out, int lines, int length,
                  int n, bool alongRows, int width)
{
    // Weights of each output cell over the source, computed once.
    const auto cells = static_cast<std::size_t>(n);
    std::vector<int> first(cells), last(cells);
    std::vector<std::vector<float>> weights(cells);
    for (int i = 0; i < n; ++i) {
        const Span s = spanOf(i, n, length);
        const int a = int(std::floor(s.start));
        const int b = std::min(length, int(std::ceil(s.end)));
        first[std::size_t(i)] = a;
        last[std::size_t(i)] = b;
        auto &w = weights[std::size_t(i)];
        for (int k = a; k < b; ++k)
            w.push_back(float((std::min(s.end, double(k + 1)) - std::max(s.start, double(k)))
                              / (s.end - s.start)));
    }
    for (int line = 0; line < lines; ++line) {
        for (int i = 0; i < n; ++i) {
            float sum[3] = {0, 0, 0};
            const auto &w = weights[std::size_t(i)];
            for (int k = first[std::size_t(i)]; k < last[std::size_t(i)]; ++k) {
                const std::size_t at = alongRows ? (std::size_t(line) * std::size_t(length) + std::size_t(k)) * 3
                                                 : (std::size_t(k) * std::size_t(width) + std::size_t(line)) * 3;
                const float f = w[std::size_t(k - first[std::size_t(i)])];
                sum[0] += in[at] * f;
                sum[1] += in[at + 1] * f;
                sum[2] += in[at + 2] * f;
            }
            const std::size_t to = alongRows ? (std::size_t(line) * std::size_t(n) + std::size_t(i)) * 3
                                             : (std::size_t(i) * std::size_t(width) + std::size_t(line)) * 3;
            out[to] = sum[0];
            out[to + 1] = sum[1];
            out[to + 2] = sum[2];
        }
    }
}

QImage overWhite(const QImage &picture)
{
    if (!picture.hasAlphaChannel())
        return picture.convertToFormat(QImage::Format_RGB32);
    const QImage p = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage out(p.size(), QImage::Format_RGB32);
    for (int y = 0; y < p.height(); ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(p.constScanLine(y));
        auto *to = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < p.width(); ++x) {
            const int clear = 255 - qAlpha(in[x]);
            to[x] = qRgb(qRed(in[x]) + clear, qGreen(in[x]) + clear, qBlue(in[x]) + clear);
        }
    }
    return out;
}

} // namespace

QImage ThumbnailScaler::scaled(const QImage &picture, const QSize &size)
{
    if (picture.isNull() || size.isEmpty())
        return QImage();
    const QImage source = overWhite(picture);
    const int sw = source.width(), sh = source.height();
    const int dw = size.width(), dh = size.height();
    if (dw > sw || dh > sh)
        return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    if (dw == sw && dh == sh)
        return source;
    std::vector<float> pixels(std::size_t(sw) * std::size_t(sh) * 3);
    for (int y = 0; y < sh; ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        float *to = &pixels[std::size_t(y) * std::size_t(sw) * 3];
        for (int x = 0; x < sw; ++x) {
            to[3 * x] = float(qRed(in[x]));
            to[3 * x + 1] = float(qGreen(in[x]));
            to[3 * x + 2] = float(qBlue(in[x]));
        }
    }
    // Rows first, then columns: the average over each output pixel's
    // rectangle, as both directions are averaged independently.
    std::vector<float> rows(std::size_t(dw) * std::size_t(sh) * 3);
    averageLines(pixels, rows, sh, sw, dw, true, dw);
    std::vector<float> both(std::size_t(dw) * std::size_t(dh) * 3);
    averageLines(rows, both, dw, sh, dh, false, dw);
    QImage out(size, QImage::Format_RGB32);
    for (int y = 0; y < dh; ++y) {
        auto *to = reinterpret_cast<QRgb *>(out.scanLine(y));
        const float *in = &both[std::size_t(y) * std::size_t(dw) * 3];
        for (int x = 0; x < dw; ++x) {
            const auto channel = [&](int c) { return std::clamp(int(std::lround(in[3 * x + c])), 0, 255); };
            to[x] = qRgb(channel(0), channel(1), channel(2));
        }
    }
    return out;
}

QImage ThumbnailScaler::legible(const QImage &image)
{
    if (image.isNull())
        return image;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    qsizetype white = 0;
    std::vector<int> ink;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const int g = qGray(line[x]);
            if (g >= kNearWhite)
                ++white;
            else
                ink.push_back(g);
        }
    }
    const double pixels = double(rgb.width()) * rgb.height();
    // Nothing drawn at all (a blank picture stays blank), or a picture that
    // is not mostly background: left as it is.
    if (ink.empty() || double(white) < kLineArtWhiteShare * pixels)
        return rgb;
    // The grey level a tenth of the ink is darker than: a few dark crossings
    // of lines do not make faint lines legible.
    const auto tenth = ink.begin() + std::ptrdiff_t(ink.size() / 10);
    std::nth_element(ink.begin(), tenth, ink.end());
    const int level = *tenth;
    if (level <= kFaintInk)
        return rgb;
    // Each channel's distance from white scaled alike: white stays white
    // and the ink keeps its hue.
    const double gain = std::min(kMaxGain, double(255 - kInk) / double(255 - level));
    QImage out = rgb;
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const auto stretch = [&](int c) { return std::clamp(int(std::lround(255 - (255 - c) * gain)), 0, 255); };
            line[x] = qRgb(stretch(qRed(line[x])), stretch(qGreen(line[x])), stretch(qBlue(line[x])));
        }
    }
    return out;
}

QImage ThumbnailScaler::thumbnail(const QImage &picture, const QSize &size)
{
    return legible(scaled(picture, size));
}
