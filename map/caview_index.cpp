#include "map/caview.h"

#include "data/cadata.h"

#include <algorithm>
#include <cmath>

namespace {

// Rebuilds `index` over every finite position of one point family, in map
// units with the vertical axis pointing down like canvas rows, so that the
// tree splits (and reports) the way a tree over canvas pixels would.
template <typename Position>
void fill(RTree &index, int count, Position position)
{
    index.beginSetData();
    for (int i = 0; i < count; ++i) {
        const QPointF p = position(i);
        if (std::isfinite(p.x()) && std::isfinite(p.y()))
            index.addPoint(Point(p.x(), -p.y(), i));
    }
    index.endSetData();
}

} // namespace

void CAView::updateIndexes()
{
    // A new analysis invalidates both indexes, even at the same address.
    if (indexData != data) {
        indexData = data;
        imageIndexKey[0] = wordIndexKey[0] = -1;
    }
    // Image positions depend on the projection only in mode 2, words' in 1.
    const int imageKey[3] = {axis1, axis2, projectionMode == 2};
    const int wordKey[3] = {axis1, axis2, projectionMode == 1};
    if (!std::equal(imageKey, imageKey + 3, imageIndexKey)) {
        fill(imageIndex, data->nbImages,
             [this](int i) { return QPointF(getZ(i, axis1), getZ(i, axis2)); });
        std::copy(imageKey, imageKey + 3, imageIndexKey);
    }
    if (!std::equal(wordKey, wordKey + 3, wordIndexKey)) {
        fill(wordIndex, data->nbWords,
             [this](int j) { return QPointF(getW(j, axis1), getW(j, axis2)); });
        std::copy(wordKey, wordKey + 3, wordIndexKey);
    }
}

void CAView::findImages(std::vector<int> &out, double cx, double cy, double r) const
{
    if (!data || r < 0)
        return;
    // The cursor mapped back to map units; the index answers a slightly
    // wider circle (truncation moves a mark by less than a pixel on each
    // axis), and the exact test is made on the pixels the marks are drawn at.
    candidates.clear();
    const double mx = (cx - mapWidth / 2 + shiftX) / scale;
    const double my = (cy - mapHeight / 2 + shiftY) / scale;
    imageIndex.find(candidates, mx, my, (r + 1.5) / scale);
    const double r2 = r * r;
    for (const int i : candidates) {
        if (!imageDrawn(i))
            continue;
        int px, py;
        transform(getZ(i, axis1), getZ(i, axis2), px, py);
        const double dx = px - cx, dy = py - cy;
        if (dx * dx + dy * dy <= r2)
            out.push_back(i);
    }
}

void CAView::findWords(std::vector<int> &out, double cx, double cy, double r) const
{
    if (!data || r < 0)
        return;
    candidates.clear();
    const double mx = (cx - mapWidth / 2 + shiftX) / scale;
    const double my = (cy - mapHeight / 2 + shiftY) / scale;
    wordIndex.find(candidates, mx, my, (r + 1.5) / scale);
    const double r2 = r * r;
    for (const int j : candidates) {
        if (!wordDrawn(j))
            continue;
        int px, py;
        transform(getW(j, axis1), getW(j, axis2), px, py);
        const double dx = px - cx, dy = py - cy;
        if (dx * dx + dy * dy <= r2)
            out.push_back(j);
    }
}
