#include "map/caview.h"

#include "data/model/cadata.h"

void CAView::updateIndexes()
{
    const MapTransform t = mapTransform();
    for (const auto &l : layers)
        l->updateIndex(*data, t);
}

void CAView::findImages(std::vector<int> &out, double cx, double cy, double r) const
{
    if (data)
        layer(ImageLayer).find(out, *data, mapTransform(), cx, cy, r);
}

void CAView::findWords(std::vector<int> &out, double cx, double cy, double r) const
{
    if (data)
        layer(WordLayer).find(out, *data, mapTransform(), cx, cy, r);
}

void CAView::findSupImages(std::vector<int> &out, double cx, double cy, double r) const
{
    if (data)
        layer(SupImageLayer).find(out, *data, mapTransform(), cx, cy, r);
}

int CAView::wordAt(const QPoint &pos, double r) const
{
    if (!data)
        return -1;
    const QPointF c = mapTransform().canvasFromWidget(QPointF(pos));
    std::vector<int> found;
    findWords(found, c.x(), c.y(), r);
    // The index answers in its own order: the nearest is looked for.
    int best = -1;
    qint64 bestD2 = 0;
    for (const int w : found) {
        const QPoint d = wordPosition(w) - pos;
        const qint64 d2 = qint64(d.x()) * d.x() + qint64(d.y()) * d.y();
        if (best < 0 || d2 < bestD2 || (d2 == bestD2 && w < best)) {
            best = w;
            bestD2 = d2;
        }
    }
    return best;
}
