#include "map/maplabelling.h"

#include "map/caview.h"

MapLabelling::MapLabelling(MapInvalidate invalidate)
    : m_sources(CAView::LabelFound), m_column(CAView::LabelFileName), m_invalidate(std::move(invalidate))
{
}

void MapLabelling::setSources(int sources)
{
    if (sources == m_sources)
        return;
    m_sources = sources;
    m_invalidate(MapChange::Repaint);
}

void MapLabelling::setColumn(int column)
{
    if (column == m_column)
        return;
    m_column = column;
    m_invalidate(MapChange::Repaint);
}

void MapLabelling::setFound(bool word, int index, bool hidden)
{
    m_forcedImage = (!word && hidden) ? index : -1;
    m_forcedWord = (word && hidden) ? index : -1;
    m_foundImages.clear();
    m_foundWords.clear();
    (word ? m_foundWords : m_foundImages).append(index);
    m_invalidate(MapChange::Repaint);
}

void MapLabelling::clearFound()
{
    if (m_forcedImage < 0 && m_forcedWord < 0 && m_foundImages.isEmpty() && m_foundWords.isEmpty())
        return;
    m_forcedImage = -1;
    m_forcedWord = -1;
    m_foundImages.clear();
    m_foundWords.clear();
    m_invalidate(MapChange::Repaint);
}
