// The word atlas over any bytes: opening reads its index only and refuses
// what does not hold together; every mosaic asked for is either refused or
// decoded within the decode budget and shown at most MaxMosaicSide pixels a
// side, and the mosaics kept stay within their bound in bytes.
#include "data/formats/wordatlas.h"
#include "fuzzsupport.h"

#include <QCoreApplication>
#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string path =
        Fuzz::put("words.atlas", std::string(reinterpret_cast<const char *>(data), size));
    WordAtlas atlas;
    QString error;
    const bool opened = atlas.open(QString::fromStdString(path), &error);
    Fuzz::require(opened || !error.isEmpty(), "a refusal says why");
    Fuzz::require(opened == atlas.isOpen(), "open when it says so");
    if (!opened)
        return 0;
    Fuzz::require(quint64(atlas.count()) <= WordAtlas::MaxWords, "no more words than the bound");
    // The words the index names, and a few it does not.
    for (int word = -2; word < 18; ++word) {
        const QImage mosaic = atlas.mosaic(word);
        Fuzz::require(mosaic.isNull() || atlas.contains(word), "no mosaic for a word not in the index");
        Fuzz::require(mosaic.width() <= WordAtlas::MaxMosaicSide && mosaic.height() <= WordAtlas::MaxMosaicSide,
                      "a mosaic is shown reduced");
        Fuzz::require(atlas.cachedBytes() <= WordAtlas::CacheBytes, "the mosaics kept stay within their bound");
        Fuzz::require(atlas.mosaic(word).size() == mosaic.size(), "asked again, the same mosaic");
    }
    return 0;
}
