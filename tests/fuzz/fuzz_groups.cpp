// The named groups kept beside a project (groups.json) and in a session,
// over any bytes: at most NamedGroup::MaxGroups are read, each with a name,
// a usable colour and rows inside the analysis, ascending and without
// repeats; written back and read again they are the same.
#include "map/namedgroup.h"
#include "fuzzsupport.h"

#include <QJsonArray>
#include <QJsonDocument>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The first two bytes are the analysis's size (images, words).
    const int nbImages = data[0];
    const int nbWords = data[1];
    const QByteArray bytes(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    const QJsonArray json = QJsonDocument::fromJson(bytes).array();
    int beyond = -1;
    const QVector<NamedGroup> groups = NamedGroup::listFromJson(json, nbImages, nbWords, &beyond);
    Fuzz::require(groups.size() <= NamedGroup::MaxGroups, "no more groups than the bound");
    Fuzz::require(beyond >= 0 && groups.size() + beyond <= json.size(), "what is left out is counted");
    for (const NamedGroup &g : groups) {
        Fuzz::require(!g.name.isEmpty(), "every group has a name");
        Fuzz::require(g.colour.isValid(), "every group has a colour");
        for (const QVector<int> *rows : {&g.images, &g.words}) {
            const int count = rows == &g.images ? nbImages : nbWords;
            for (qsizetype k = 0; k < rows->size(); ++k) {
                Fuzz::require(rows->at(k) >= 0 && rows->at(k) < count, "rows inside the analysis");
                Fuzz::require(k == 0 || rows->at(k - 1) < rows->at(k), "rows ascending, no repeats");
            }
        }
    }
    const QVector<NamedGroup> again = NamedGroup::listFromJson(NamedGroup::listToJson(groups), nbImages, nbWords);
    Fuzz::require(again == groups, "written and read back, the same groups");
    return 0;
}
