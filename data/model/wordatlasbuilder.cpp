#include "data/model/wordatlasbuilder.h"

#include "data/model/cadata.h"
#include "data/model/sift.h"

#include <QCoreApplication>
#include <QHash>
#include <QPainter>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

QImage WordAtlasBuilder::patch(const QImage &image, double x, double y, double a11, double a12, double a21,
                               double a22) const
{
    QImage out(patchSize, patchSize, QImage::Format_RGB32);
    out.fill(Qt::white);
    const QTransform shape(a11, a12, a21, a22, x, y);
    const double half = patchSize / 2.0;
    // patch pixel -> region units -> image pixel
    const QTransform toImage = QTransform::fromTranslate(-half, -half)
                               * QTransform::fromScale(context / half, context / half) * shape;
    bool invertible = false;
    const QTransform toPatch = toImage.inverted(&invertible);
    if (!invertible || !std::isfinite(x) || !std::isfinite(y))
        return out;
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(toPatch);
    // Transparent pictures over white, as the panes show them.
    painter.drawImage(0, 0, image);
    return out;
}

bool WordAtlasBuilder::build(const CAData &data, QMap<int, QImage> &mosaics, QString *error) const
{
    mosaics.clear();
    if (!data.labels || !data.descriptors || data.nbImages <= 0) {
        if (error)
            *error = QCoreApplication::translate("WordAtlasBuilder",
                                                 "the analysis has no image list or no keypoint files");
        return false;
    }
    Source source;
    source.images = data.nbImages;
    source.words = data.wordSet.size();
    source.keypoints = [&data](int image) {
        QList<Sift> keypoints;
        data.getSifts(image, keypoints, nullptr);
        return keypoints;
    };
    source.picture = [&data](int image) { return data.getImage(image); };
    return build(source, mosaics, error);
}

bool WordAtlasBuilder::build(const Source &source, QMap<int, QImage> &mosaics, QString *error) const
{
    mosaics.clear();
    if (source.images <= 0 || !source.keypoints || !source.picture) {
        if (error)
            *error = QCoreApplication::translate("WordAtlasBuilder",
                                                 "the analysis has no image list or no keypoint files");
        return false;
    }
    // Images in a fixed shuffled order: the patches of a word come from all
    // over the collection, and a rebuild gives the same atlas.
    std::vector<int> order(std::size_t(source.images));
    std::iota(order.begin(), order.end(), 0);
    std::mt19937 random(20261207u);
    std::shuffle(order.begin(), order.end(), random);
    order.resize(std::min(order.size(), std::size_t(std::max(1, maxImages))));

    const int rows = (patches + columns - 1) / columns;
    QHash<int, int> taken; // word -> patches so far
    QSet<int> complete;
    const int wanted = source.words;
    int visited = 0;
    for (int image : order) {
        ++visited;
        if (progress && !progress(visited, int(order.size()))) {
            if (error)
                *error = QCoreApplication::translate("WordAtlasBuilder", "stopped");
            return false;
        }
        if (wanted > 0 && complete.size() >= wanted)
            break;
        const QList<Sift> keypoints = source.keypoints(image);
        // One patch per word and image: the largest region, the most legible.
        QHash<int, Sift> best;
        for (const Sift &k : std::as_const(keypoints)) {
            if (complete.contains(k.word))
                continue;
            const double size = std::fabs(double(k.a11) * k.a22 - double(k.a12) * k.a21);
            auto it = best.find(k.word);
            if (it == best.end() || size > std::fabs(double(it->a11) * it->a22 - double(it->a12) * it->a21))
                best.insert(k.word, k);
        }
        if (best.isEmpty())
            continue;
        QImage picture = source.picture(image);
        if (picture.isNull())
            continue;
        for (auto it = best.cbegin(); it != best.cend(); ++it) {
            const int word = it.key();
            const int n = taken.value(word);
            QImage &mosaic = mosaics[word];
            if (mosaic.isNull()) {
                mosaic = QImage(columns * patchSize + columns - 1, rows * patchSize + rows - 1, QImage::Format_RGB32);
                mosaic.fill(QColor(200, 200, 200));
            }
            const Sift &k = it.value();
            QPainter painter(&mosaic);
            painter.drawImage((n % columns) * (patchSize + 1), (n / columns) * (patchSize + 1),
                              patch(picture, k.x, k.y, k.a11, k.a12, k.a21, k.a22));
            taken[word] = n + 1;
            if (n + 1 >= patches)
                complete.insert(word);
        }
    }
    return true;
}
