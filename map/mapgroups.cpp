#include "map/mapgroups.h"

void MapGroups::setList(const QVector<NamedGroup> &groups)
{
    if (groups == m_groups)
        return;
    m_groups = groups;
    changed();
}

void MapGroups::append(const NamedGroup &group)
{
    m_groups.append(group);
    changed();
}

void MapGroups::removeAt(int k)
{
    if (!has(k))
        return;
    m_groups.removeAt(k);
    changed();
}

void MapGroups::setName(int k, const QString &name)
{
    if (!has(k) || m_groups[k].name == name)
        return;
    m_groups[k].name = name;
    changed();
}

void MapGroups::setColour(int k, const QColor &colour)
{
    if (!has(k) || m_groups[k].colour == colour)
        return;
    m_groups[k].colour = colour;
    changed();
}

void MapGroups::setVisible(int k, bool visible)
{
    if (!has(k) || m_groups[k].visible == visible)
        return;
    m_groups[k].visible = visible;
    changed();
}

void MapGroups::setOutline(int k, bool outline)
{
    if (!has(k) || m_groups[k].outline == outline)
        return;
    m_groups[k].outline = outline;
    changed();
}
