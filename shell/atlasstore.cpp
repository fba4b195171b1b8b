#include "shell/atlasstore.h"

#include "data/model/cadata.h"
#include "data/formats/wordatlas.h"

#include <QDir>
#include <QFileInfo>

AtlasStore::AtlasStore() = default;
AtlasStore::~AtlasStore() = default;

QString AtlasStore::pathFor(const CAData &data)
{
    return data.wordAtlasPath();
}

void AtlasStore::forget()
{
    m_for = nullptr;
    m_atlas.reset();
}

const WordAtlas *AtlasStore::atlas(const CAData *data)
{
    if (!data)
        return nullptr;
    if (data == m_for && m_data)
        return m_atlas.get();
    m_for = data;
    m_data = data;
    m_atlas.reset();
    m_why.clear();
    const QString path = pathFor(*data);
    // A project without an atlas named and none beside it simply has none.
    if (data->fileWordAtlas.isEmpty() && !QFileInfo::exists(path))
        return nullptr;
    auto atlas = std::make_unique<WordAtlas>();
    QString error;
    if (!atlas->open(path, &error)) {
        m_why = QStringLiteral("%1: %2").arg(path, error);
        return nullptr;
    }
    m_atlas = std::move(atlas);
    return m_atlas.get();
}
