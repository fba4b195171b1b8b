#include "map/namedgroup.h"

#include "data/cadata.h"
#include "map/caview.h"

#include <QPainter>

#include <algorithm>

namespace {

QJsonArray numbers(const QVector<int> &v)
{
    QJsonArray a;
    for (int i : v)
        a.append(i);
    return a;
}

QVector<int> rows(const QJsonValue &value, int count)
{
    QVector<int> out;
    for (const QJsonValue &v : value.toArray()) {
        if (!v.isDouble())
            continue;
        const double d = v.toDouble();
        if (d >= 0 && d < count && d == double(int(d)))
            out.append(int(d));
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace

QJsonObject NamedGroup::toJson() const
{
    return QJsonObject{
        {QStringLiteral("name"), name},
        {QStringLiteral("colour"), colour.name()},
        {QStringLiteral("visible"), visible},
        {QStringLiteral("images"), numbers(images)},
        {QStringLiteral("words"), numbers(words)},
    };
}

NamedGroup NamedGroup::fromJson(const QJsonObject &j, int nbImages, int nbWords)
{
    NamedGroup g;
    g.name = j.value(QLatin1String("name")).toString();
    g.colour = QColor(j.value(QLatin1String("colour")).toString());
    if (!g.colour.isValid())
        g.colour = colourFor(0);
    g.visible = j.value(QLatin1String("visible")).toBool(true);
    g.images = rows(j.value(QLatin1String("images")), nbImages);
    g.words = rows(j.value(QLatin1String("words")), nbWords);
    return g;
}

QJsonArray NamedGroup::listToJson(const QVector<NamedGroup> &groups)
{
    QJsonArray a;
    for (const NamedGroup &g : groups)
        a.append(g.toJson());
    return a;
}

QVector<NamedGroup> NamedGroup::listFromJson(const QJsonArray &json, int nbImages, int nbWords)
{
    QVector<NamedGroup> groups;
    for (const QJsonValue &v : json)
        if (v.isObject()) {
            NamedGroup g = fromJson(v.toObject(), nbImages, nbWords);
            if (!g.name.isEmpty())
                groups.append(g);
        }
    return groups;
}

QColor NamedGroup::colourFor(int n)
{
    // Deep pink, slate blue, brown, turquoise, dim grey, indigo, dark slate,
    // black: unlike the first seven category colours, the red of the image
    // marks, the blue of the word marks and the green of the neighbourhood.
    static const QRgb colours[] = {0xff1493, 0x7b68ee, 0x8b4513, 0x00ced1,
                                   0x696969, 0x4b0082, 0x2f4f4f, 0x000000};
    return QColor(colours[std::size_t(std::max(0, n)) % (sizeof colours / sizeof *colours)]);
}

void NamedGroup::paint(QPainter &painter, const CAView &view)
{
    if (!view.data)
        return;
    painter.save();
    painter.setBrush(Qt::NoBrush);
    for (const NamedGroup &g : view.groups) {
        if (!g.visible)
            continue;
        painter.setPen(QPen(g.colour, 1.5));
        // A ring on each mark the map draws; the hidden ones stay hidden.
        for (int i : g.images)
            if (view.imageDrawn(i))
                painter.drawEllipse(QPointF(view.imagePosition(i)), 5.0, 5.0);
        for (int j : g.words)
            if (view.wordDrawn(j))
                painter.drawEllipse(QPointF(view.wordPosition(j)), 5.0, 5.0);
    }
    painter.restore();
}
