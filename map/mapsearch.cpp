#include "map/mapsearch.h"

#include "data/model/cadata.h"

#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace {

// Ranks of a match, best first.
enum Rank {
    ByNumber = 0,
    NameEqual,
    NameStart,
    PathContains,
    CategoryEqual,
    CategoryContains,
    NoMatch
};

QString baseName(const QString &path)
{
    const int slash = int(std::max(path.lastIndexOf(QLatin1Char('/')),
                                   path.lastIndexOf(QLatin1Char('\\'))));
    return path.mid(slash + 1);
}

} // namespace

QVector<SearchHit> MapSearch::find(const CAData &data, const QString &input)
{
    QVector<SearchHit> hits;
    const QString text = input.trimmed();
    if (text.isEmpty())
        return hits;

    static const QRegularExpression wordQuery(QStringLiteral("^(?:w|word)\\s*#?\\s*(\\d+)$"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch w = wordQuery.match(text);
    if (w.hasMatch()) {
        bool ok = false;
        const int label = w.captured(1).toInt(&ok);
        for (int j = 0; ok && j < data.nbWords; ++j)
            if (data.wordLabel(j) == label)
                hits.append({SearchHit::Word, j});
        return hits;
    }

    static const QRegularExpression numberQuery(QStringLiteral("^#?(\\d+)$"));
    const QRegularExpressionMatch n = numberQuery.match(text);
    bool numberOk = false;
    const int number = n.hasMatch() ? n.captured(1).toInt(&numberOk) : -1;

    // Categories matched by name: each category's rank, decided once.
    QMap<int, Rank> categoryRank;
    for (auto it = data.categoryNames.cbegin(); it != data.categoryNames.cend(); ++it) {
        if (it.value().compare(text, Qt::CaseInsensitive) == 0)
            categoryRank.insert(it.key(), CategoryEqual);
        else if (it.value().contains(text, Qt::CaseInsensitive))
            categoryRank.insert(it.key(), CategoryContains);
    }

    std::vector<std::pair<int, int>> ranked; // (rank, image)
    for (int i = 0; i < data.nbImages; ++i) {
        Rank rank = NoMatch;
        if (numberOk && data.collectionNumber(i) == number)
            rank = ByNumber;
        if (rank == NoMatch && data.labels) {
            const QString &path = data.labels[i].imageFile;
            const QString name = baseName(path);
            if (name.compare(text, Qt::CaseInsensitive) == 0)
                rank = NameEqual;
            else if (name.startsWith(text, Qt::CaseInsensitive))
                rank = NameStart;
            else if (path.contains(text, Qt::CaseInsensitive))
                rank = PathContains;
            else
                rank = categoryRank.value(data.labels[i].category, NoMatch);
        }
        if (rank != NoMatch)
            ranked.emplace_back(int(rank), i);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    hits.reserve(qsizetype(ranked.size()));
    for (const auto &r : ranked)
        hits.append({SearchHit::Image, r.second});
    return hits;
}

QStringList MapSearch::completions(const CAData &data)
{
    QStringList names;
    if (data.labels) {
        names.reserve(data.nbImages + data.categoryNames.size());
        for (int i = 0; i < data.nbImages; ++i)
            names.append(baseName(data.labels[i].imageFile));
    }
    for (const QString &c : data.categoryNames)
        names.append(c);
    names.sort(Qt::CaseInsensitive);
    names.removeDuplicates();
    return names;
}
