#ifndef ATLASSTORE_H
#define ATLASSTORE_H

#include "data/model/cadata.h"

#include <QPointer>
#include <QString>

#include <memory>

class WordAtlas;

// The word atlas of the analysis last asked about, opened once (its index
// only) and shared by the Axes dock and the map's word tooltips.
class AtlasStore
{
public:
    AtlasStore();
    ~AtlasStore();

    // The atlas of `data`, or null when it has none or it cannot be read
    // (why() then says which).
    const WordAtlas *atlas(const CAData *data);
    QString why() const { return m_why; }
    // Opens the atlas again at the next request (a new one was written).
    void forget();

    // Where the atlas of `data` is: the project's FILE WORDATLAS, or else
    // "words.atlas" in its base folder (where "Build word atlas" writes one
    // without changing the project file).
    static QString pathFor(const CAData &data);
    static constexpr const char *DefaultName = "words.atlas";

private:
    // The analysis by address and by guard: a new analysis at the address of
    // a deleted one is not taken for it.
    const CAData *m_for = nullptr;
    QPointer<const CAData> m_data;
    std::unique_ptr<WordAtlas> m_atlas;
    QString m_why;
};

#endif // ATLASSTORE_H
