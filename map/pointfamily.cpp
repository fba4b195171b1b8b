#include "map/pointfamily.h"

#include "data/model/cadata.h"

#include <algorithm>
#include <cmath>

namespace {

// Point table fields of an image, analysed or supplementary: file, path,
// category and its name (empty without an image list), and no word.
QStringList imageFields(const CAData &d, const ImageLabel *l)
{
    QStringList row;
    if (l)
        row << l->imageFile << (l->imageFile.isEmpty() ? QString() : d.resolve(l->imageFile))
            << QString::number(l->category) << d.categoryNames.value(l->category);
    else
        row << QString() << QString() << QString() << QString();
    row << QString();
    return row;
}

PointFamily makeImages()
{
    PointFamily f;
    f.count = [](const CAData &d) { return d.nbImages; };
    f.row = [](const CAData &d, int i) -> const double * { return d.Z.get() + qint64(i) * d.zCols; };
    f.mass = [](const CAData &d, int i) { return d.P[i]; };
    f.usable = [](const CAData &d, int i) { return d.drawable(i); };
    f.category = [](const CAData &d, int i) { return d.labels ? int(d.labels[i].category) : -1; };
    f.rescaledInMode = 2;
    f.mark = MarkShape::Cross;
    f.colour = QColor(Qt::red);
    f.byCategory = true;
    f.kind = QStringLiteral("image");
    f.cardTitle = [](const CAData &d, int i) {
        QString title = QStringLiteral("Image: #%1").arg(i);
        // An extract numbers its own rows; the collection's number is the
        // one that means the same image in every window.
        if (d.collectionNumber(i) != i)
            title += QStringLiteral(" (#%1 in the collection)").arg(d.collectionNumber(i));
        if (d.labels)
            title += QStringLiteral(" - ") + d.getImageName(i);
        return title;
    };
    // Without an image list there is neither a file name nor a category:
    // the card then reads like a word's card. "#N" when the project names
    // no categories.
    f.cardTopicsPrefix = [](const CAData &d, int i) {
        if (!d.labels)
            return QStringLiteral("Number of topics: ");
        return QStringLiteral("Category: %1 - nb. topics: ")
            .arg(d.categoryName(d.labels[i].category));
    };
    f.tableFields = [](const CAData &d, int i) { return imageFields(d, d.labels ? &d.labels[i] : nullptr); };
    return f;
}

PointFamily makeWords()
{
    PointFamily f;
    f.count = [](const CAData &d) { return d.nbWords; };
    f.row = [](const CAData &d, int j) -> const double * { return d.W.get() + qint64(j) * d.wCols; };
    f.mass = [](const CAData &d, int j) { return d.Q[j]; };
    f.usable = [](const CAData &d, int j) { return d.drawableWord(j); };
    f.category = [](const CAData &, int) { return -1; };
    f.rescaledInMode = 1;
    f.mark = MarkShape::Circle;
    f.colour = QColor(Qt::blue);
    f.kind = QStringLiteral("word");
    f.cardTitle = [](const CAData &, int j) { return QStringLiteral("Word: #%1").arg(j); };
    f.cardTopicsPrefix = [](const CAData &, int) { return QStringLiteral("Number of topics: "); };
    f.tableFields = [](const CAData &d, int j) {
        return QStringList{QString(), QString(), QString(), QString(),
                           QString::number(d.wordLabel(j))};
    };
    return f;
}

PointFamily makeSupplementaryImages()
{
    PointFamily f;
    f.count = [](const CAData &d) { return d.ZSup ? d.nbSupImages : 0; };
    f.row = [](const CAData &d, int s) -> const double * { return d.ZSup.get() + qint64(s) * d.supCols; };
    // No mass in the analysed table: no contribution to any axis.
    f.mass = [](const CAData &, int) { return 0.0; };
    // Checked here as well as by the loader: the rows may come from
    // elsewhere than a file (an analysis made in memory).
    f.usable = [](const CAData &d, int s) {
        if (!d.drawableSup(s))
            return false;
        const double *c = d.ZSup.get() + qint64(s) * d.supCols;
        return std::all_of(c, c + d.supCols, [](double v) { return std::isfinite(v); });
    };
    f.category = [](const CAData &d, int s) { return d.supLabels ? int(d.supLabels[s].category) : -1; };
    // Placed as rows are, barycenters of the words in mode 2.
    f.rescaledInMode = 2;
    f.mark = MarkShape::Diamond;
    f.colour = QColor(0x6a, 0x3d, 0x9a);
    f.thresholded = false;
    f.byCategory = true;
    f.kind = QStringLiteral("supplementary");
    f.cardTitle = [](const CAData &d, int s) {
        QString title = QStringLiteral("Supplementary image: #%1").arg(s);
        const QString name = d.getImageName(d.nbImages + s);
        if (!name.isEmpty())
            title += QStringLiteral(" - ") + name;
        return title;
    };
    f.cardTopicsPrefix = [](const CAData &d, int s) {
        if (!d.supLabels)
            return QStringLiteral("supplementary, no contribution");
        return QStringLiteral("Category: %1 - supplementary, no contribution")
            .arg(d.categoryName(d.supLabels[s].category));
    };
    f.tableFields = [](const CAData &d, int s) {
        return imageFields(d, d.supLabels ? &d.supLabels[s] : nullptr);
    };
    return f;
}

} // namespace

const PointFamily &PointFamily::supplementaryImages()
{
    static const PointFamily family = makeSupplementaryImages();
    return family;
}

const PointFamily &PointFamily::images()
{
    static const PointFamily family = makeImages();
    return family;
}

const PointFamily &PointFamily::words()
{
    static const PointFamily family = makeWords();
    return family;
}
