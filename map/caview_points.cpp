#include "map/caview.h"

#include "data/cadata.h"
#include "data/console.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// Contribution of a point of mass m with stored coordinate c to an axis of
// eigenvalue l. NaN (0/0) is kept: a comparison `t > NaN` is false, so such a
// point counts as reaching the threshold.
double contribution(double m, double c, double l)
{
    return m * c * c / l;
}

// A mark as the pixels a one-pixel, non-antialiased QPainter pen sets,
// relative to the point's pixel. Taken from QPainter itself once, so that
// stamping them straight into the canvas gives the same picture as drawing
// every mark through a painter, at a fraction of the cost.
struct Stamp
{
    std::vector<QPoint> offsets;
    int reach = 0; // largest |offset| on either axis
};

Stamp makeStamp(bool circle)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        if (circle) {
            painter.drawEllipse(8 - 2, 8 - 2, 4, 4);
        } else {
            painter.drawLine(8 - 2, 8, 8 + 2, 8);
            painter.drawLine(8, 8 - 2, 8, 8 + 2);
        }
    }
    Stamp stamp;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            if (image.pixel(x, y) != QColor(Qt::white).rgb()) {
                stamp.offsets.emplace_back(x - 8, y - 8);
                stamp.reach = std::max({stamp.reach, std::abs(x - 8), std::abs(y - 8)});
            }
    return stamp;
}

const Stamp &crossStamp()
{
    static const Stamp stamp = makeStamp(false);
    return stamp;
}

const Stamp &circleStamp()
{
    static const Stamp stamp = makeStamp(true);
    return stamp;
}

// Writes the stamp's pixels around (px, py), clipped to the canvas.
class Canvas
{
public:
    explicit Canvas(QImage &image)
        : bits(reinterpret_cast<QRgb *>(image.bits())),
          stride(int(image.bytesPerLine() / sizeof(QRgb))), width(image.width()),
          height(image.height())
    {
    }

    void stamp(const Stamp &s, int px, int py, QRgb colour)
    {
        if (px >= s.reach && py >= s.reach && px < width - s.reach && py < height - s.reach) {
            QRgb *centre = bits + qptrdiff(py) * stride + px;
            for (const QPoint &o : s.offsets)
                centre[o.y() * stride + o.x()] = colour;
            return;
        }
        if (px < -s.reach || py < -s.reach || px >= width + s.reach || py >= height + s.reach)
            return;
        for (const QPoint &o : s.offsets) {
            const int x = px + o.x(), y = py + o.y();
            if (x >= 0 && y >= 0 && x < width && y < height)
                bits[qptrdiff(y) * stride + x] = colour;
        }
    }

    void row(int y, QRgb colour)
    {
        if (y < 0 || y >= height)
            return;
        std::fill_n(bits + qptrdiff(y) * stride, width, colour);
    }

    void column(int x, QRgb colour)
    {
        if (x < 0 || x >= width)
            return;
        for (int y = 0; y < height; ++y)
            bits[qptrdiff(y) * stride + x] = colour;
    }

private:
    QRgb *bits;
    int stride;
    int width;
    int height;
};

} // namespace

void CAView::drawBackground()
{
    QImage image(mapWidth, mapHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    Canvas canvas(image);

    // The axes through the map's origin, wherever the canvas now lies.
    const QRgb gray = QColor(Qt::gray).rgb();
    canvas.row(mapHeight / 2 - shiftY, gray);
    canvas.column(mapWidth / 2 - shiftX, gray);

    const int nImages = data->nbImages;
    imagesDrawn.assign(std::size_t(std::max(0, nImages)), 0);
    imagesShown = 0;
    const double imageT = double(imageThreshold) / nImages;
    if (showImagePoint) {
        const QRgb red = QColor(Qt::red).rgb();
        // Colour and visibility of each category, looked up per image.
        std::vector<QRgb> colourOf(std::size_t(categories.size()), red);
        std::vector<quint8> hiddenOf(std::size_t(categories.size()), 0);
        for (int k = 0; k < categories.size(); ++k) {
            if (categoryColours)
                colourOf[std::size_t(k)] = categoryColourAt(k).rgb();
            hiddenOf[std::size_t(k)] = hiddenCategories.contains(categories.at(k));
        }
        const bool byCategory = !imageCategory.empty();
        const double *lambda = data->lambda.get();
        const double l1 = lambda[axis1], l2 = lambda[axis2];
        // The projection's rescaling, as getZ applies it.
        const double f1 = projectionMode == 2 ? std::sqrt(l1) : 1.0;
        const double f2 = projectionMode == 2 ? std::sqrt(l2) : 1.0;
        const Stamp &cross = crossStamp();
        for (int i = 0; i < nImages; ++i) {
            // Values the loader found unusable (not finite, no mass) give no point.
            if (!data->drawable(i))
                continue;
            const double *z = data->Z.get() + qint64(i) * data->zCols;
            if (imageT > contribution(data->P[i], z[axis1], l1)
                && imageT > contribution(data->P[i], z[axis2], l2))
                continue;
            QRgb colour = red;
            if (byCategory) {
                const std::size_t k = std::size_t(imageCategory[std::size_t(i)]);
                if (hiddenOf[k])
                    continue;
                colour = colourOf[k];
            }
            const double x = projectionMode == 2 ? z[axis1] * f1 : z[axis1];
            const double y = projectionMode == 2 ? z[axis2] * f2 : z[axis2];
            int px, py;
            transform(x, y, px, py);
            canvas.stamp(cross, px, py, colour);
            imagesDrawn[std::size_t(i)] = 1;
            ++imagesShown;
        }
    }

    hoverWords.clear();
    imageList.clear();
    wordList.clear();
    axis1PosLabels.clear();
    axis1NegLabels.clear();
    axis2PosLabels.clear();
    axis2NegLabels.clear();

    const int nWords = data->nbWords;
    wordsDrawn.assign(std::size_t(std::max(0, nWords)), 0);
    wordsShown = 0;
    if (showWordPoint) {
        const double wordT = double(wordThreshold) / nWords;
        const QRgb blue = QColor(Qt::blue).rgb();
        const double l1 = data->lambda[axis1], l2 = data->lambda[axis2];
        const Stamp &circle = circleStamp();
        for (int j = 0; j < nWords; ++j) {
            if (!data->drawableWord(j))
                continue;
            const double *w = data->W.get() + qint64(j) * data->wCols;
            const double c1 = contribution(data->Q[j], w[axis1], l1);
            const double c2 = contribution(data->Q[j], w[axis2], l2);
            if (wordT > c1 && wordT > c2)
                continue;
            const int label = data->wordLabel(j);
            if (c1 > wordT)
                (w[axis1] > 0 ? axis1PosLabels : axis1NegLabels).insert(label);
            if (c2 > wordT)
                (w[axis2] > 0 ? axis2PosLabels : axis2NegLabels).insert(label);
            int px, py;
            transform(getW(j, axis1), getW(j, axis2), px, py);
            canvas.stamp(circle, px, py, blue);
            wordsDrawn[std::size_t(j)] = 1;
            ++wordsShown;
        }
    }

    // A raster pixmap adopts the image's buffer: no copy.
    delete background;
    background = new QPixmap(QPixmap::fromImage(std::move(image)));

    updateIndexes();
    emit layerChanged();
}

void CAView::createColor()
{
    if (!data) {
        colors.clear();
        colors << QColor(Qt::red) << QColor(Qt::yellow) << QColor(Qt::green)
               << QColor(Qt::cyan) << QColor(Qt::blue) << QColor(Qt::magenta);
        return;
    }
    const int n = data->nbWords;
    if (n <= 6)
        return;
    colors.clear();
    colors.reserve(n);
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / (n - 1);
        if (t < 0.2)
            colors << QColor(255, qRound(t / 0.2 * 255), 0);
        else if (t < 0.4)
            colors << QColor(qRound((0.4 - t) / 0.2 * 255), 255, 0);
        else if (t < 0.6)
            colors << QColor(0, 255, qRound((t - 0.4) / 0.2 * 255));
        else if (t < 0.8)
            colors << QColor(0, qRound((0.8 - t) / 0.2 * 255), 255);
        else
            colors << QColor(qRound((t - 0.8) / 0.2 * 255), 0, 255);
    }
}

void CAView::changeThreshold(int thres)
{
    if (!data)
        return;
    imageThreshold = thres;
    wordThreshold = thres;
    Console::out(QStringLiteral("Threshold changed to %1").arg(thres));
    drawBackground();
    repaint();
}

void CAView::showHideImagePoint(bool show)
{
    if (!data)
        return;
    showImagePoint = show;
    drawBackground();
    repaint();
}

void CAView::showHideWordPoint(bool show)
{
    if (!data)
        return;
    showWordPoint = show;
    drawBackground();
    repaint();
}
