#ifndef XMLPARSER_H
#define XMLPARSER_H

#include <QString>

class CAData;
class QIODevice;
class QXmlStreamAttributes;

// Content handler for project files. It creates a fresh CAData when the
// document starts and fills in its base folder, axis count and file paths
// from the elements it meets; it never opens any of the named files.
class XMLParser
{
public:
    explicit XMLParser(const QString &projectDir);

    bool startDocument();
    bool endDocument();
    bool startElement(const QString &namespaceURI, const QString &localName,
                      const QString &qName, const QXmlStreamAttributes &atts);
    bool endElement(const QString &namespaceURI, const QString &localName,
                    const QString &qName);

    // Drives the four handler operations from a stream reader over `device`.
    // startDocument is always called first, also when `device` is null or
    // cannot be read. Returns false on malformed XML; whatever was set before
    // the error stays in `data`.
    bool parse(QIODevice *device);

    const QString projectDir;
    // Why the last parse stopped early ("line 3, column 7: ..."); empty when
    // the document was read to its end or the device could not be opened.
    QString error;
    CAData *data = nullptr; // not owned: the caller takes it after parsing
};

#endif // XMLPARSER_H
