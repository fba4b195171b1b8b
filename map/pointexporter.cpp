#include "map/pointexporter.h"

#include "data/csvwriter.h"
#include "data/cadata.h"
#include "map/caview.h"

#include <QSet>

#include <cmath>

namespace {

struct Measures
{
    double quality1 = 0, quality2 = 0, contribution1 = 0, contribution2 = 0;
};

// The same measures the information card shows: the share of the point's
// squared distance carried by an axis, among the axes in use, and its
// contribution mass × coordinate² / eigenvalue.
Measures measure(const double *coords, int axes, double mass, const CAData &d, int a1, int a2)
{
    Measures m;
    double sum = 0;
    for (int a = 0; a < axes; ++a)
        if (!std::isnan(coords[a]))
            sum += coords[a] * coords[a];
    auto quality = [&](int a) {
        const double c = coords[a];
        return sum > 0 && std::isfinite(sum) && !std::isnan(c) ? c * c / sum : 0.0;
    };
    auto contribution = [&](int a) {
        const double l = d.lambda[a];
        return l > 0 ? mass * coords[a] * coords[a] / l : 0.0;
    };
    m.quality1 = quality(a1);
    m.quality2 = quality(a2);
    m.contribution1 = contribution(a1);
    m.contribution2 = contribution(a2);
    return m;
}

int axesInUse(const CAData &d)
{
    return std::max(0, std::min({d.nbAxis, d.zCols, d.wCols}));
}

} // namespace

QStringList PointExporter::header(const CAView &view)
{
    QStringList h{QStringLiteral("kind"), QStringLiteral("index"), QStringLiteral("file"),
                  QStringLiteral("path"), QStringLiteral("category"), QStringLiteral("category name"),
                  QStringLiteral("word")};
    const int axes = view.data ? axesInUse(*view.data) : 0;
    for (int a = 0; a < axes; ++a)
        h << QStringLiteral("axis %1").arg(a + 1);
    const QString x = QString::number(view.axis1 + 1);
    const QString y = QString::number(view.axis2 + 1);
    h << QStringLiteral("mass") << QStringLiteral("quality axis %1").arg(x)
      << QStringLiteral("quality axis %1").arg(y) << QStringLiteral("contribution axis %1").arg(x)
      << QStringLiteral("contribution axis %1").arg(y) << QStringLiteral("drawn");
    return h;
}

QByteArray PointExporter::csv(const CAView &view, const QVector<int> *images, const QVector<int> *words)
{
    CsvWriter out;
    out.addRow(header(view));
    const CAData *d = view.data;
    if (!d)
        return out.bytes();
    const int axes = axesInUse(*d);
    const int a1 = view.axis1;
    const int a2 = view.axis2;
    QSet<int> drawnImages, drawnWords;
    for (int i = 0; i < d->nbImages; ++i)
        if (view.imageDrawn(i))
            drawnImages.insert(i);
    for (int j = 0; j < d->nbWords; ++j)
        if (view.wordDrawn(j))
            drawnWords.insert(j);

    auto tail = [&](QStringList &row, const double *coords, double mass, bool drawn) {
        for (int a = 0; a < axes; ++a)
            row << CsvWriter::number(coords[a]);
        const Measures m = measure(coords, axes, mass, *d, a1, a2);
        row << CsvWriter::number(mass) << CsvWriter::number(m.quality1)
            << CsvWriter::number(m.quality2) << CsvWriter::number(m.contribution1)
            << CsvWriter::number(m.contribution2)
            << (drawn ? QStringLiteral("yes") : QStringLiteral("no"));
    };

    auto image = [&](int i) {
        if (i < 0 || i >= d->nbImages)
            return;
        QStringList row{QStringLiteral("image"), QString::number(i)};
        if (d->labels) {
            const ImageLabel &l = d->labels[i];
            row << l.imageFile << (l.imageFile.isEmpty() ? QString() : d->resolve(l.imageFile))
                << QString::number(l.category) << d->categoryNames.value(l.category);
        } else {
            row << QString() << QString() << QString() << QString();
        }
        row << QString();
        tail(row, d->Z.get() + qint64(i) * d->zCols, d->P[i], drawnImages.contains(i));
        out.addRow(row);
    };
    auto word = [&](int j) {
        if (j < 0 || j >= d->nbWords)
            return;
        QStringList row{QStringLiteral("word"), QString::number(j), QString(), QString(), QString(),
                        QString(), QString::number(d->wordLabel(j))};
        tail(row, d->W.get() + qint64(j) * d->wCols, d->Q[j], drawnWords.contains(j));
        out.addRow(row);
    };

    if (images) {
        for (int i : *images)
            image(i);
    } else {
        for (int i = 0; i < d->nbImages; ++i)
            image(i);
    }
    if (words) {
        for (int j : *words)
            word(j);
    } else {
        for (int j = 0; j < d->nbWords; ++j)
            word(j);
    }
    return out.bytes();
}
