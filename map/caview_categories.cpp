#include "map/caview.h"

#include "data/cadata.h"

#include <QMap>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

namespace {

// Okabe and Ito's palette for categorical data, distinguishable with every
// common colour-vision deficiency; ordered so that the first categories get
// the colours that stand out best on white (yellow last). Its black is left
// out: a black mark reads as one without a category, beside black text.
const QRgb kOkabeIto[7] = {0xE69F00, 0x56B4E9, 0x009E73, 0xD55E00,
                           0xCC79A7, 0x0072B2, 0xF0E442};
// Beyond seven: Paul Tol's muted scheme, also designed for categorical data,
// its colours least like the ones above first (wine, olive, indigo, green).
const QRgb kTolMuted[9] = {0x882255, 0x999933, 0x332288, 0x117733, 0xCC6677,
                           0x44AA99, 0xAA4499, 0xDDCC77, 0x88CCEE};

} // namespace

QColor CAView::categoryColour(int k)
{
    if (k < 0)
        k = 0;
    if (k < 7)
        return QColor(kOkabeIto[k]);
    if (k < 16)
        return QColor(kTolMuted[k - 7]);
    // Further categories: hues a golden angle apart, in two lightness
    // bands, so neighbouring numbers never look alike.
    const int n = k - 16;
    const double hue = std::fmod(n * 137.50776, 360.0);
    return QColor::fromHsl(int(hue), 170, (n % 2) ? 95 : 140);
}

QColor CAView::categoryColourAt(int k) const
{
    return categoryColour(k >= 0 && k < categoryPaletteIndex.size() ? categoryPaletteIndex.at(k) : k);
}

void CAView::rebuildCategories()
{
    categories.clear();
    categoryCounts.clear();
    categoryPaletteIndex.clear();
    imageCategory.clear();
    supImageCategory.clear();
    if (!data || !data->labels || data->nbImages <= 0)
        return;
    QMap<int, int> counts;
    for (int i = 0; i < data->nbImages; ++i)
        ++counts[data->labels[i].category];
    // A category only supplementary images have gets an entry with no
    // image, so that they are coloured and hidden like the others.
    const int sups = data->supLabels ? supImageCount() : 0;
    for (int s = 0; s < sups; ++s)
        counts[data->supLabels[s].category];
    QMap<int, int> slot;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        slot.insert(it.key(), int(categories.size()));
        categories.append(it.key());
        categoryCounts.append(it.value());
    }
    // Colours follow the category's place among the collection's categories
    // (the named ones, and any other present), not among those present
    // here: an extracted map, holding a few of them, keeps their colours.
    const QList<int> named = data->categoryNames.keys();
    std::vector<int> known;
    std::set_union(named.cbegin(), named.cend(), categories.cbegin(), categories.cend(),
                   std::back_inserter(known));
    for (const int c : std::as_const(categories))
        categoryPaletteIndex.append(
            int(std::lower_bound(known.begin(), known.end(), c) - known.begin()));
    imageCategory.resize(std::size_t(data->nbImages));
    for (int i = 0; i < data->nbImages; ++i)
        imageCategory[std::size_t(i)] = slot.value(data->labels[i].category);
    supImageCategory.resize(std::size_t(sups));
    for (int s = 0; s < sups; ++s)
        supImageCategory[std::size_t(s)] = slot.value(data->supLabels[s].category);
}

void CAView::setCategoryColours(bool on)
{
    if (categoryColours == on)
        return;
    categoryColours = on;
    if (!data)
        return;
    drawBackground();
    repaint();
}

void CAView::setCategoryHidden(int category, bool hidden)
{
    if (hiddenCategories.contains(category) == hidden)
        return;
    if (hidden)
        hiddenCategories.insert(category);
    else
        hiddenCategories.remove(category);
    if (!data)
        return;
    drawBackground();
    repaint();
}

void CAView::setHiddenCategories(const QSet<int> &hidden)
{
    if (hidden == hiddenCategories)
        return;
    hiddenCategories = hidden;
    if (!data)
        return;
    drawBackground();
    repaint();
}

bool CAView::imageDrawn(int image) const
{
    return layer(ImageLayer).drawn(image);
}

bool CAView::wordDrawn(int word) const
{
    return layer(WordLayer).drawn(word);
}

QColor CAView::imageColour(int image) const
{
    if (!categoryColours || image < 0 || std::size_t(image) >= imageCategory.size())
        return QColor(Qt::red);
    return categoryColourAt(imageCategory[std::size_t(image)]);
}

void CAView::styleLayers()
{
    // Images: coloured and hidden by category when the project lists them.
    PointLayer::Style images;
    images.visible = showImagePoint;
    images.thresholdFactor = imageThreshold;
    if (!imageCategory.empty()) {
        images.slot = &imageCategory;
        const QRgb single = layer(ImageLayer).family().colour.rgb();
        for (int k = 0; k < categories.size(); ++k) {
            images.slotColour.push_back(categoryColours ? categoryColourAt(k).rgb() : single);
            images.slotHidden.push_back(hiddenCategories.contains(categories.at(k)));
        }
    }
    layers[ImageLayer]->setStyle(images);

    // Supplementary images: by category like the images, in the category
    // colour when the images have theirs, else in their family's colour.
    PointLayer::Style sups;
    sups.visible = showSupImagePoint;
    if (!supImageCategory.empty()) {
        sups.slot = &supImageCategory;
        const QRgb single = layer(SupImageLayer).family().colour.rgb();
        for (int k = 0; k < categories.size(); ++k) {
            sups.slotColour.push_back(categoryColours ? categoryColourAt(k).rgb() : single);
            sups.slotHidden.push_back(hiddenCategories.contains(categories.at(k)));
        }
    }
    layers[SupImageLayer]->setStyle(sups);

    PointLayer::Style words;
    words.visible = showWordPoint;
    words.thresholdFactor = wordThreshold;
    layers[WordLayer]->setStyle(words);
}
