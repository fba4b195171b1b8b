#ifndef MAPLABELLING_H
#define MAPLABELLING_H

#include "map/mapchange.h"

#include <QVector>

// Which points of a map carry labels and what the labels say, and the found
// point drawn although the threshold or a hidden category leaves it out.
// Every setter that changes something asks the map for a repaint.
class MapLabelling
{
public:
    // Which points carry labels (flags) and the column they show; the values
    // are those of CAView::LabelSource and CAView::LabelColumn.
    explicit MapLabelling(MapInvalidate invalidate);

    int sources() const { return m_sources; }
    int column() const { return m_column; }
    void setSources(int sources);
    void setColumn(int column);

    // The found points, labelled, per family (images, words).
    const QVector<int> &foundImages() const { return m_foundImages; }
    const QVector<int> &foundWords() const { return m_foundWords; }
    // The found point drawn although hidden; -1 when none.
    int forcedImage() const { return m_forcedImage; }
    int forcedWord() const { return m_forcedWord; }
    // Point `index` of images (word false) or words was found; `hidden`
    // when the map leaves it out and must draw it anyway.
    void setFound(bool word, int index, bool hidden);
    void clearFound();

private:
    int m_sources;
    int m_column;
    QVector<int> m_foundImages;
    QVector<int> m_foundWords;
    int m_forcedImage = -1;
    int m_forcedWord = -1;
    MapInvalidate m_invalidate;
};

#endif // MAPLABELLING_H
