#ifndef TST_CAVIEW_FIXTURE_H
#define TST_CAVIEW_FIXTURE_H

// Small analyses built in memory for the map view tests, and helpers to look
// at what the view paints.

#include "data/model/cadata.h"
#include "map/caview.h"

#include <QCoreApplication>
#include <QImage>
#include <QResizeEvent>

#include <memory>
#include <vector>

namespace fixture {

// An analysis with one row per image in `z` and per word in `w`; every mass
// 1, every word its own label, all axes in use.
inline std::unique_ptr<CAData> makeData(const std::vector<std::vector<double>> &z,
                                        const std::vector<std::vector<double>> &w,
                                        const std::vector<double> &lambda)
{
    auto d = std::make_unique<CAData>(true);
    const int axes = int(lambda.size());
    d->nbImages = int(z.size());
    d->nbWords = int(w.size());
    d->zCols = axes;
    d->wCols = axes;
    d->nbAxis = axes;
    d->nbLambda = axes;
    d->Z.reset(new double[z.size() * axes + 1]);
    d->W.reset(new double[w.size() * axes + 1]);
    d->P.reset(new double[z.size() + 1]);
    d->Q.reset(new double[w.size() + 1]);
    d->lambda.reset(new double[axes + 1]);
    for (size_t i = 0; i < z.size(); ++i) {
        d->P[i] = 1.0;
        for (int a = 0; a < axes; ++a)
            d->Z[i * axes + a] = z[i][a];
    }
    for (size_t j = 0; j < w.size(); ++j) {
        d->Q[j] = 1.0;
        for (int a = 0; a < axes; ++a)
            d->W[j * axes + a] = w[j][a];
    }
    for (int a = 0; a < axes; ++a)
        d->lambda[a] = lambda[a];
    d->wordLabels.reset(new qint32[w.size() + 1]);
    for (size_t j = 0; j < w.size(); ++j) {
        d->wordLabels[j] = int(j);
        d->wordSet.insert(int(j));
    }
    return d;
}

// What the old canvas-pixel point trees held: the drawn images (words) as
// (canvas x, canvas y, index), in index order.
inline std::vector<Point> drawnImages(const CAView &view)
{
    std::vector<Point> out;
    for (int i = 0; view.data && i < view.data->nbImages; ++i)
        if (view.imageDrawn(i)) {
            int px, py;
            view.transform(view.getZ(i, view.axis1), view.getZ(i, view.axis2), px, py);
            out.emplace_back(px, py, i);
        }
    return out;
}

inline std::vector<Point> drawnWords(const CAView &view)
{
    std::vector<Point> out;
    for (int j = 0; view.data && j < view.data->nbWords; ++j)
        if (view.wordDrawn(j)) {
            int px, py;
            view.transform(view.getW(j, view.axis1), view.getW(j, view.axis2), px, py);
            out.emplace_back(px, py, j);
        }
    return out;
}

// Resizes and delivers the resize event at once (a hidden widget would get
// it only when shown).
inline void resizeNow(QWidget &widget, int w, int h)
{
    const QSize old = widget.size();
    widget.resize(w, h);
    QResizeEvent event(QSize(w, h), old);
    QCoreApplication::sendEvent(&widget, &event);
}

// Marker colour that no part of the map uses: what the view leaves unpainted
// keeps it.
inline QColor untouched()
{
    return QColor(1, 2, 3);
}

// What the view paints, without the window background.
inline QImage shot(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(untouched());
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

inline QColor at(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y);
}

// Whether `colour` appears within `slack` pixels of (x, y).
inline bool near(const QImage &image, int x, int y, const QColor &colour, int slack = 1)
{
    for (int dy = -slack; dy <= slack; ++dy)
        for (int dx = -slack; dx <= slack; ++dx) {
            const int px = x + dx, py = y + dy;
            if (image.rect().contains(px, py) && image.pixelColor(px, py) == colour)
                return true;
        }
    return false;
}

// Number of pixels of `colour` in a rectangle.
inline int count(const QImage &image, const QRect &area, const QColor &colour)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y) == colour)
                ++n;
    return n;
}

} // namespace fixture

#endif // TST_CAVIEW_FIXTURE_H
