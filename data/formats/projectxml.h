#ifndef PROJECTXML_H
#define PROJECTXML_H

#include "data/formats/resultfiles.h"

#include <string>
#include <utility>
#include <vector>

// The text of a project file: BASE, AXIS and one FILE element per named
// file, in the order they are added. The indexer and "Save analysis as"
// both write their projects with it. No Qt.
class ProjectXml
{
public:
    // `indent` goes before each element inside XML.
    explicit ProjectXml(std::string base = ".", std::string indent = std::string());

    // A comment line right after the opening tag (must hold no "--").
    void setComment(const std::string &comment) { m_comment = comment; }
    // A negative count leaves AXIS out (every axis the results hold).
    void setAxes(int axes) { m_axes = axes; }
    void addFile(const std::string &key, const std::string &path);
    // Names `path` under `key` (FILE names match whatever their case): the
    // first entry of that name takes it and later ones go; without one it
    // is added at the end.
    void setFile(const std::string &key, const std::string &path);
    // FILE entry of result file `kind` of `table` (the table's name followed
    // by the kind's suffix).
    void addResult(ResultFiles::Kind kind, const std::string &table);

    std::string text() const;

    // Text as an XML attribute value between quotes.
    static std::string escape(const std::string &value);

private:
    std::string m_base;
    std::string m_indent;
    std::string m_comment;
    int m_axes = 0;
    std::vector<std::pair<std::string, std::string>> m_files;
};

#endif // PROJECTXML_H
