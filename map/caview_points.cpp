#include "map/caview.h"

#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/model/keypointpalette.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// Sets a whole row or column of the canvas (the axes).
void fillRow(QImage &image, int y, QRgb colour)
{
    if (y < 0 || y >= image.height())
        return;
    QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    std::fill_n(line, image.width(), colour);
}

void fillColumn(QImage &image, int x, QRgb colour)
{
    if (x < 0 || x >= image.width())
        return;
    for (int y = 0; y < image.height(); ++y)
        reinterpret_cast<QRgb *>(image.scanLine(y))[x] = colour;
}

} // namespace

void CAView::drawBackground()
{
    QImage image(mapWidth, mapHeight, QImage::Format_RGB32);
    image.fill(Qt::white);

    // The axes through the map's origin, wherever the canvas now lies.
    const QRgb gray = QColor(Qt::gray).rgb();
    const MapTransform t = mapTransform();
    fillRow(image, t.canvasOrigin().y(), gray);
    fillColumn(image, t.canvasOrigin().x(), gray);

    styleLayers();
    for (int id : paintOrder())
        layers[std::size_t(id)]->draw(*data, t, image);

    hoverWords.clear();
    imageList.clear();
    wordList.clear();
    axis1PosLabels.clear();
    axis1NegLabels.clear();
    axis2PosLabels.clear();
    axis2NegLabels.clear();
    // The words that characterise each half-axis: those drawn whose
    // contribution to the axis passes the threshold.
    const PointLayer &words = layer(WordLayer);
    const double wordT = words.threshold(*data);
    for (int j = 0; j < data->nbWords; ++j) {
        if (!words.drawn(j))
            continue;
        const double *w = words.family().row(*data, j);
        const int label = data->wordLabel(j);
        if (words.contribution(*data, j, axis1) > wordT)
            (w[axis1] > 0 ? axis1PosLabels : axis1NegLabels).insert(label);
        if (words.contribution(*data, j, axis2) > wordT)
            (w[axis2] > 0 ? axis2PosLabels : axis2NegLabels).insert(label);
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
        colors = KeypointPalette::defaults();
        return;
    }
    // A vocabulary of six words or fewer keeps the palette the map had.
    if (data->nbWords <= 6)
        return;
    colors = KeypointPalette::ramp(data->nbWords);
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

void CAView::showHideSupImagePoint(bool show)
{
    if (!data)
        return;
    showSupImagePoint = show;
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
