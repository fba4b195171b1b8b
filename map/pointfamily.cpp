#include "map/pointfamily.h"

#include "data/cadata.h"

namespace {

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
    f.tableFields = [](const CAData &d, int i) {
        QStringList row;
        if (d.labels) {
            const ImageLabel &l = d.labels[i];
            row << l.imageFile << (l.imageFile.isEmpty() ? QString() : d.resolve(l.imageFile))
                << QString::number(l.category) << d.categoryNames.value(l.category);
        } else {
            row << QString() << QString() << QString() << QString();
        }
        row << QString();
        return row;
    };
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

} // namespace

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
