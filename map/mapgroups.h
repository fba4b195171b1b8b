#ifndef MAPGROUPS_H
#define MAPGROUPS_H

#include "map/mapchange.h"
#include "map/namedgroup.h"

#include <QColor>
#include <QString>
#include <QVector>

// The named groups of one map, in the order they were kept. Every change
// goes through a setter, which repaints the map (rings, outlines, labels);
// an index out of range changes nothing.
class MapGroups
{
public:
    explicit MapGroups(MapInvalidate invalidate) : m_invalidate(std::move(invalidate)) {}

    const QVector<NamedGroup> &list() const { return m_groups; }
    int size() const { return int(m_groups.size()); }
    bool isEmpty() const { return m_groups.isEmpty(); }
    const NamedGroup &at(int k) const { return m_groups.at(k); }
    QVector<NamedGroup>::const_iterator begin() const { return m_groups.cbegin(); }
    QVector<NamedGroup>::const_iterator end() const { return m_groups.cend(); }

    void setList(const QVector<NamedGroup> &groups);
    void append(const NamedGroup &group);
    void removeAt(int k);
    void setName(int k, const QString &name);
    void setColour(int k, const QColor &colour);
    void setVisible(int k, bool visible);
    void setOutline(int k, bool outline);

private:
    bool has(int k) const { return k >= 0 && k < m_groups.size(); }
    void changed() { m_invalidate(MapChange::Repaint); }

    QVector<NamedGroup> m_groups;
    MapInvalidate m_invalidate;
};

#endif // MAPGROUPS_H
