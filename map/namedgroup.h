#ifndef NAMEDGROUP_H
#define NAMEDGROUP_H

#include <QColor>
#include <QJsonArray>
#include <QJsonObject>
#include <QPolygonF>
#include <QString>
#include <QVector>

class CAView;
class QPainter;

// Images and words kept under a name ("Keep selection as..."), to come back
// to, compare, label or analyse on their own. Drawn as a ring in the group's
// colour around each of its marks, or as an outline around all of them;
// kept with the session and with a saved analysis, as row numbers of the
// analysis they were taken from.
struct NamedGroup
{
    QString name;
    QColor colour;
    QVector<int> images; // ascending rows of the analysis
    QVector<int> words;  // ascending columns
    bool visible = true;
    // Drawn as the outline of its drawn marks (their convex hull, lightly
    // filled) instead of a ring around each: a group among many points
    // reads as one region.
    bool outline = false;

    // The most groups a map holds: each is a line of the Groups list and a
    // ring around its marks, and a file of a million groups would keep the
    // interface busy for minutes.
    static constexpr int MaxGroups = 10000;

    QJsonObject toJson() const;
    // A group read back: rows outside the analysis (nbImages x nbWords) are
    // left out, so a file kept from another analysis cannot point past it.
    static NamedGroup fromJson(const QJsonObject &json, int nbImages, int nbWords);
    static QJsonArray listToJson(const QVector<NamedGroup> &groups);
    // At most MaxGroups of them, the first; `beyond` (when given) receives
    // how many were left out.
    static QVector<NamedGroup> listFromJson(const QJsonArray &json, int nbImages, int nbWords,
                                            int *beyond = nullptr);

    // A colour for the n-th group of a map, unlike the first category
    // colours and the colours of the marks.
    static QColor colourFor(int n);

    // The rings or outlines of `view`'s visible groups, on screen and in
    // figures alike.
    static void paint(QPainter &painter, const CAView &view);
    // The convex hull of `points`, counter-clockwise in a y-up frame (the
    // order does not matter for drawing); fewer than three distinct points
    // give those points, and collinear ones the two ends.
    static QPolygonF hull(QVector<QPointF> points);

    bool operator==(const NamedGroup &o) const
    {
        return name == o.name && colour == o.colour && images == o.images && words == o.words
            && visible == o.visible && outline == o.outline;
    }
};

#endif // NAMEDGROUP_H
