#include "map/caview.h"

#include "data/cadata.h"

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
