#include "map/caview.h"

#include "data/cadata.h"
#include "data/console.h"

#include <QPainter>
#include <QPixmap>

namespace {

// Contribution of a point of mass m with stored coordinate c to an axis of
// eigenvalue l. NaN (0/0) is kept: a comparison `t > NaN` is false, so such a
// point counts as reaching the threshold.
double contribution(double m, double c, double l)
{
    return m * c * c / l;
}

// Marks far outside the canvas are invisible; skipping them keeps the painter
// away from coordinates near the saturation limit of CAView::truncate.
bool nearCanvas(int px, int py, int width, int height)
{
    return px > -8 && py > -8 && px < width + 8 && py < height + 8;
}

} // namespace

void CAView::drawBackground()
{
    delete background;
    background = new QPixmap(mapWidth, mapHeight);
    background->fill(Qt::white);
    QPainter painter(background);

    painter.setPen(Qt::gray);
    painter.drawLine(0, mapHeight / 2, mapWidth, mapHeight / 2);
    painter.drawLine(mapWidth / 2, 0, mapWidth / 2, mapHeight);

    const double imageT = double(imageThreshold) / data->nbImages;
    imageTree.beginSetData();
    if (showImagePoint) {
        painter.setPen(Qt::red);
        for (int i = 0; i < data->nbImages; ++i) {
            const double *z = data->Z.get() + qint64(i) * data->zCols;
            if (imageT > contribution(data->P[i], z[axis1], data->lambda[axis1])
                && imageT > contribution(data->P[i], z[axis2], data->lambda[axis2]))
                continue;
            int px, py;
            transform(getZ(i, axis1), getZ(i, axis2), px, py);
            if (nearCanvas(px, py, mapWidth, mapHeight)) {
                painter.drawLine(px - 2, py, px + 2, py);
                painter.drawLine(px, py - 2, px, py + 2);
            }
            imageTree.addPoint(Point(px, py, i));
        }
    }
    imageTree.endSetData();

    hoverWords.clear();
    imageList.clear();
    wordList.clear();
    axis1PosLabels.clear();
    axis1NegLabels.clear();
    axis2PosLabels.clear();
    axis2NegLabels.clear();

    wordTree.beginSetData();
    if (showWordPoint) {
        const double wordT = double(wordThreshold) / data->nbWords;
        painter.setPen(Qt::blue);
        painter.setBrush(Qt::NoBrush);
        for (int j = 0; j < data->nbWords; ++j) {
            const double *w = data->W.get() + qint64(j) * data->wCols;
            const double c1 = contribution(data->Q[j], w[axis1], data->lambda[axis1]);
            const double c2 = contribution(data->Q[j], w[axis2], data->lambda[axis2]);
            if (wordT > c1 && wordT > c2)
                continue;
            const int label = data->wordLabel(j);
            if (c1 > wordT)
                (w[axis1] > 0 ? axis1PosLabels : axis1NegLabels).insert(label);
            if (c2 > wordT)
                (w[axis2] > 0 ? axis2PosLabels : axis2NegLabels).insert(label);
            int px, py;
            transform(getW(j, axis1), getW(j, axis2), px, py);
            if (nearCanvas(px, py, mapWidth, mapHeight))
                painter.drawEllipse(px - 2, py - 2, 4, 4);
            wordTree.addPoint(Point(px, py, j));
        }
    }
    wordTree.endSetData();
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
