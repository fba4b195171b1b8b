#include "data/model/xmlparser.h"

#include "data/model/cadata.h"
#include "data/model/console.h"

#include <QDir>
#include <QIODevice>
#include <QXmlStreamReader>

XMLParser::XMLParser(const QString &dir) : projectDir(dir)
{
    Console::out(QStringLiteral("XML parser base = ") + projectDir);
}

bool XMLParser::startDocument()
{
    Console::out(QStringLiteral("Parsing..."));
    data = new CAData(true);
    return true;
}

bool XMLParser::endDocument()
{
    Console::out(QStringLiteral("Finished !"));
    return true;
}

bool XMLParser::startElement(const QString &, const QString &, const QString &qName,
                             const QXmlStreamAttributes &atts)
{
    Console::out(qName);
    const QString element = qName.toUpper();
    if (element == QLatin1String("BASE")) {
        const QString href = atts.value(QLatin1String("href")).toString();
        if (href.isEmpty())
            data->baseDir = projectDir;
        else if (QDir::isAbsolutePath(href))
            data->baseDir = href;
        else
            data->baseDir = QDir::cleanPath(QDir(projectDir).absoluteFilePath(href));
        Console::out(QStringLiteral("base = ") + data->baseDir);
    } else if (element == QLatin1String("FILE")) {
        const QString name = atts.value(QLatin1String("name")).toString().toUpper();
        const QString path = atts.value(QLatin1String("path")).toString();
        if (name == QLatin1String("F"))
            data->fileF = path;
        else if (name == QLatin1String("Z"))
            data->fileZ = path;
        else if (name == QLatin1String("W"))
            data->fileW = path;
        else if (name == QLatin1String("P"))
            data->fileP = path;
        else if (name == QLatin1String("Q"))
            data->fileQ = path;
        else if (name == QLatin1String("LAMBDA"))
            data->fileLambda = path;
        else if (name == QLatin1String("LABEL"))
            data->fileLabel = path;
        else if (name == QLatin1String("DESCRIPTOR"))
            data->fileDescriptor = path;
        else if (name == QLatin1String("CATEGORIES"))
            data->categoriesPath = path;
        else if (name == QLatin1String("WORDS"))
            data->fileWordLabel = path;
        else if (name == QLatin1String("INERTIA"))
            data->fileInertia = path;
        else if (name == QLatin1String("ZSUP"))
            data->fileZSup = path;
        else if (name == QLatin1String("FSUP"))
            data->fileFSup = path;
        else if (name == QLatin1String("LABELSUP"))
            data->fileLabelSup = path;
        else if (name == QLatin1String("DESCRIPTORSUP"))
            data->fileDescriptorSup = path;
        else if (name == QLatin1String("CATEGORIESSUP"))
            data->fileCategoriesSup = path;
        else if (name == QLatin1String("WORDATLAS"))
            data->fileWordAtlas = path;
        else if (name == QLatin1String("COLLECTION"))
            data->fileCollection = path;
    } else if (element == QLatin1String("AXIS")) {
        bool ok = false;
        const int number = atts.value(QLatin1String("number")).toString().toInt(&ok, 10);
        data->nbAxis = std::max(1, ok ? number : 0);
    } else if (element != QLatin1String("XML")) {
        Console::err(QStringLiteral("Waring: unknown tag '%1'").arg(qName));
    }
    return true;
}

bool XMLParser::endElement(const QString &, const QString &, const QString &)
{
    return true;
}

bool XMLParser::parse(QIODevice *device)
{
    error.clear();
    startDocument();
    if (!device || (!device->isOpen() && !device->open(QIODevice::ReadOnly)))
        return false;
    QXmlStreamReader reader(device);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            startElement(reader.namespaceUri().toString(), reader.name().toString(),
                         reader.qualifiedName().toString(), reader.attributes());
            break;
        case QXmlStreamReader::EndElement:
            endElement(reader.namespaceUri().toString(), reader.name().toString(),
                       reader.qualifiedName().toString());
            break;
        case QXmlStreamReader::EndDocument:
            endDocument();
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        error = QStringLiteral("line %1, column %2: %3")
                    .arg(reader.lineNumber())
                    .arg(reader.columnNumber())
                    .arg(reader.errorString());
        return false;
    }
    return true;
}
