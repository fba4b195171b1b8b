// The project parser over any bytes: it must end, never stop the process,
// and leave a data model whose fields are only what the elements set.
#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/model/xmlparser.h"
#include "fuzzsupport.h"

#include <QBuffer>
#include <QByteArray>

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    Console::Capture quiet;
    XMLParser parser(QStringLiteral("/project/folder"));
    parser.parse(&buffer);
    std::unique_ptr<CAData> d(parser.data);
    Fuzz::require(d != nullptr, "a data model is always made");
    Fuzz::require(d->nbAxis >= 0, "no negative axis count");
    Fuzz::require(d->nbImages == 0 && !d->Z && !d->labels, "the parser reads no file");
    return 0;
}
