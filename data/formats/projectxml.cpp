#include "data/formats/projectxml.h"

#include <algorithm>
#include <cctype>

ProjectXml::ProjectXml(std::string base, std::string indent) : m_base(std::move(base)), m_indent(std::move(indent)) {}

void ProjectXml::addFile(const std::string &key, const std::string &path)
{
    m_files.emplace_back(key, path);
}

void ProjectXml::setFile(const std::string &key, const std::string &path)
{
    auto upper = [](std::string s) {
        for (char &c : s)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        return s;
    };
    const std::string wanted = upper(key);
    bool set = false;
    for (auto it = m_files.begin(); it != m_files.end();) {
        if (upper(it->first) != wanted) {
            ++it;
        } else if (!set) {
            it->second = path;
            set = true;
            ++it;
        } else {
            it = m_files.erase(it);
        }
    }
    if (!set)
        addFile(key, path);
}

void ProjectXml::addResult(ResultFiles::Kind kind, const std::string &table)
{
    addFile(ResultFiles::projectKey(kind), ResultFiles::path(table, kind));
}

std::string ProjectXml::escape(const std::string &value)
{
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\'': out += "&apos;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string ProjectXml::text() const
{
    std::string xml = "<XML>\n";
    if (!m_comment.empty())
        xml += m_indent + m_comment + "\n";
    xml += m_indent + "<BASE href='" + escape(m_base) + "'/>\n";
    if (m_axes >= 0)
        xml += m_indent + "<AXIS number='" + std::to_string(m_axes) + "'/>\n";
    for (const auto &file : m_files)
        xml += m_indent + "<FILE name='" + escape(file.first) + "' path='" + escape(file.second) + "'/>\n";
    xml += "</XML>\n";
    return xml;
}
