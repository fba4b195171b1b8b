#include "map/caview.h"

#include "data/model/cadata.h"


#include <algorithm>
#include <cmath>
#include <iterator>
#include <unordered_map>
#include <vector>

namespace {

// Categorical colours for marks on the white map: each has at least 3:1
// contrast against white (a thin cross in a lighter colour, a yellow, all
// but vanishes), and none is a blue like the word circles' (hues from 195
// to 285 degrees are left out), so an image is never read as a word. The
// first nine are as far apart in hue and lightness as that leaves room for.
const QRgb kPalette[16] = {0xB35C00, 0x0E7C7B, 0x1E7B34, 0xC0392B, 0xA83A8C, 0x7B5B2E,
                           0x857400, 0x882255, 0x5F7A1A, 0xC2416E, 0x595959, 0x9C2F9C,
                           0x2E7D5B, 0x8A4B08, 0x6D6D00, 0xB23A48};

} // namespace

QColor CAView::categoryColour(int k)
{
    if (k < 0)
        k = 0;
    if (k < 16)
        return QColor(kPalette[k]);
    // Further categories: hues a golden angle apart, the blues of the
    // words turned away, in two dark enough lightness bands, so neighbouring
    // numbers never look alike.
    const int n = k - 16;
    double hue = std::fmod(n * 137.50776, 360.0);
    if (hue >= 195 && hue <= 285)
        hue = std::fmod(hue + 100, 360.0);
    return QColor::fromHsl(int(hue), 170, (n % 2) ? 60 : 85);
}

std::vector<int> CAView::paintOrder() const
{
    std::vector<int> order;
    const bool byCategory = categoryColours && !categories.isEmpty();
    if (byCategory)
        order.push_back(WordLayer);
    for (int id = 0; id < layerCount(); ++id)
        if (!byCategory || id != WordLayer)
            order.push_back(id);
    return order;
}

QColor CAView::categoryColourAt(int k) const
{
    return categoryColour(k >= 0 && k < categoryPaletteIndex.size() ? categoryPaletteIndex.at(k) : k);
}

void CAView::rebuildCategories()
{
    // A new analysis may come at the address of the one it replaces.
    agreement.reset();
    categories.clear();
    categoryCounts.clear();
    categoryPaletteIndex.clear();
    imageCategory.clear();
    supImageCategory.clear();
    if (!data || !data->labels || data->nbImages <= 0)
        return;
    // Each image's category found once: a provisional number per distinct
    // category in the order met (straight from a table for the small
    // numbers categories have, a hash for the others), renumbered in
    // ascending order of category at the end.
    const int sups = data->supLabels ? supImageCount() : 0;
    constexpr int kDirect = 4096;
    std::vector<int> direct(kDirect, -1);
    std::unordered_map<int, int> other;
    std::vector<int> met; // category of each provisional number
    std::vector<int> metCounts;
    auto provisional = [&](int category) {
        int *at = category >= 0 && category < kDirect
            ? &direct[std::size_t(category)]
            : &other.try_emplace(category, -1).first->second;
        if (*at < 0) {
            *at = int(met.size());
            met.push_back(category);
            metCounts.push_back(0);
        }
        return *at;
    };
    imageCategory.resize(std::size_t(data->nbImages));
    for (int i = 0; i < data->nbImages; ++i) {
        const int k = provisional(data->labels[i].category);
        imageCategory[std::size_t(i)] = k;
        ++metCounts[std::size_t(k)];
    }
    // A category only supplementary images have gets an entry with no
    // image, so that they are coloured and hidden like the others.
    supImageCategory.resize(std::size_t(sups));
    for (int s = 0; s < sups; ++s)
        supImageCategory[std::size_t(s)] = provisional(data->supLabels[s].category);
    std::vector<int> ascending(met.size());
    for (std::size_t k = 0; k < met.size(); ++k)
        ascending[k] = int(k);
    std::sort(ascending.begin(), ascending.end(),
              [&met](int a, int b) { return met[std::size_t(a)] < met[std::size_t(b)]; });
    std::vector<int> slot(met.size());
    for (const int k : ascending) {
        slot[std::size_t(k)] = int(categories.size());
        categories.append(met[std::size_t(k)]);
        categoryCounts.append(metCounts[std::size_t(k)]);
    }
    for (int &k : imageCategory)
        k = slot[std::size_t(k)];
    for (int &k : supImageCategory)
        k = slot[std::size_t(k)];
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
    // What is drawn may change from here on: the extent figures follow.
    ++layerGeneration;
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

CategoryAgreement::Share CAView::categoryAgreement(int k) const
{
    if (!data || k < 0 || k >= categories.size() || imageCategory.size() != std::size_t(data->nbImages))
        return {};
    const PointFamily &f = layer(ImageLayer).family();
    const MapTransform t = mapTransform();
    const double fx = t.projectionFactor(*data, axis1, f.rescaledInMode);
    const double fy = t.projectionFactor(*data, axis2, f.rescaledInMode);
    const auto key = std::make_tuple(static_cast<const CAData *>(data), axis1, axis2, fx, fy, imageCategory.size());
    if (!agreement || agreementKey != key) {
        std::vector<double> x(imageCategory.size()), y(imageCategory.size());
        for (int i = 0; i < data->nbImages; ++i) {
            const double *row = f.row(*data, i);
            x[std::size_t(i)] = row[axis1] * fx;
            y[std::size_t(i)] = row[axis2] * fy;
        }
        agreement = std::make_unique<CategoryAgreement>(x, y, imageCategory);
        agreementKey = key;
    }
    return agreement->of(k);
}
