#include "map/pointexporter.h"

#include "data/formats/csvwriter.h"
#include "data/model/cadata.h"
#include "map/caview.h"

#include <algorithm>

namespace {

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
      << QStringLiteral("contribution axis %1").arg(y) << QStringLiteral("drawn")
      << QStringLiteral("group");
    return h;
}

QByteArray PointExporter::csv(const CAView &view, const QVector<int> *images, const QVector<int> *words,
                              const QVector<int> *sups)
{
    CsvWriter out;
    out.addRow(header(view));
    const CAData *d = view.data;
    if (!d)
        return out.bytes();
    const int axes = axesInUse(*d);
    const int a1 = view.axis1;
    const int a2 = view.axis2;
    // One row per point, written by the point's layer: the same measures
    // the information card shows.
    auto rows = [&](const PointLayer &layer, const QVector<int> *only) {
        const int n = layer.count(*d);
        const bool isImage = &layer == &view.layer(CAView::ImageLayer);
        const bool isWord = &layer == &view.layer(CAView::WordLayer);
        auto one = [&](int i) {
            if (i < 0 || i >= n)
                return;
            // The named groups the point belongs to, "; " between them.
            QStringList in;
            for (const NamedGroup &g : view.groups()) {
                const QVector<int> &members = isImage ? g.images : g.words;
                if ((isImage || isWord) && std::binary_search(members.cbegin(), members.cend(), i))
                    in.append(g.name);
            }
            out.addRow(layer.tableRow(*d, i, axes, a1, a2) << in.join(QStringLiteral("; ")));
        };
        if (only) {
            for (int i : *only)
                one(i);
        } else {
            for (int i = 0; i < n; ++i)
                one(i);
        }
    };
    static const QVector<int> kNone;
    // The families in the map's order; a family beyond images and words is
    // listed whole when the whole map is asked for.
    for (int id = 0; id < view.layerCount(); ++id) {
        if (id == CAView::ImageLayer)
            rows(view.layer(id), images);
        else if (id == CAView::WordLayer)
            rows(view.layer(id), words);
        else if (id == CAView::SupImageLayer && (images || words))
            rows(view.layer(id), sups ? sups : &kNone);
        else if (!images && !words)
            rows(view.layer(id), nullptr);
    }
    return out.bytes();
}
