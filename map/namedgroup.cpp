#include "map/namedgroup.h"

#include "data/model/cadata.h"
#include "map/caview.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

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
        {QStringLiteral("outline"), outline},
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
    // Absent from files kept before groups could be outlined: rings.
    g.outline = j.value(QLatin1String("outline")).toBool(false);
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

QVector<NamedGroup> NamedGroup::listFromJson(const QJsonArray &json, int nbImages, int nbWords, int *beyond)
{
    QVector<NamedGroup> groups;
    int left = 0;
    for (const QJsonValue &v : json)
        if (v.isObject()) {
            if (groups.size() >= MaxGroups) {
                ++left;
                continue;
            }
            NamedGroup g = fromJson(v.toObject(), nbImages, nbWords);
            if (!g.name.isEmpty())
                groups.append(g);
        }
    if (beyond)
        *beyond = left;
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

QPolygonF NamedGroup::hull(QVector<QPointF> p)
{
    // Andrew's monotone chain.
    std::sort(p.begin(), p.end(), [](const QPointF &a, const QPointF &b) {
        return a.x() != b.x() ? a.x() < b.x() : a.y() < b.y();
    });
    p.erase(std::unique(p.begin(), p.end()), p.end());
    if (p.size() < 3)
        return QPolygonF(p);
    auto cross = [](const QPointF &o, const QPointF &a, const QPointF &b) {
        return (a.x() - o.x()) * (b.y() - o.y()) - (a.y() - o.y()) * (b.x() - o.x());
    };
    QVector<QPointF> h(2 * p.size());
    qsizetype k = 0;
    for (qsizetype i = 0; i < p.size(); ++i) {
        while (k >= 2 && cross(h[k - 2], h[k - 1], p[i]) <= 0)
            --k;
        h[k++] = p[i];
    }
    for (qsizetype i = p.size() - 2, lower = k + 1; i >= 0; --i) {
        while (k >= lower && cross(h[k - 2], h[k - 1], p[i]) <= 0)
            --k;
        h[k++] = p[i];
    }
    h.resize(k - 1); // the last point is the first again
    return QPolygonF(h);
}

void NamedGroup::paint(QPainter &painter, const CAView &view)
{
    if (!view.data)
        return;
    painter.save();
    painter.setBrush(Qt::NoBrush);
    for (const NamedGroup &g : view.groups()) {
        if (!g.visible)
            continue;
        // The marks the map draws; the hidden ones stay hidden.
        QVector<QPointF> marks;
        for (int i : g.images)
            if (view.imageDrawn(i))
                marks.append(QPointF(view.imagePosition(i)));
        for (int j : g.words)
            if (view.wordDrawn(j))
                marks.append(QPointF(view.wordPosition(j)));
        const QPolygonF outline = g.outline ? hull(marks) : QPolygonF();
        if (outline.size() >= 3) {
            QColor fill = g.colour;
            fill.setAlpha(28);
            painter.setPen(QPen(g.colour, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.setBrush(fill);
            // A few pixels out from the marks, so that those on the edge
            // stay readable.
            QPainterPathStroker grow;
            grow.setWidth(12);
            grow.setJoinStyle(Qt::RoundJoin);
            QPainterPath path;
            path.addPolygon(outline);
            path.closeSubpath();
            painter.drawPath((grow.createStroke(path) + path).simplified());
            painter.setBrush(Qt::NoBrush);
            continue;
        }
        painter.setPen(QPen(g.colour, 1.5));
        for (const QPointF &m : std::as_const(marks))
            painter.drawEllipse(m, 5.0, 5.0);
    }
    painter.restore();
}
