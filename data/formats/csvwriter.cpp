#include "data/formats/csvwriter.h"

#include <charconv>
#include <cmath>

QByteArray CsvWriter::field(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    const bool quote = utf8.contains(',') || utf8.contains('"') || utf8.contains('\n')
        || utf8.contains('\r')
        || (!utf8.isEmpty() && (utf8.front() == ' ' || utf8.back() == ' '));
    if (!quote)
        return utf8;
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out.append('"');
    for (char c : utf8) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
    return out;
}

QString CsvWriter::number(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("Inf") : QStringLiteral("-Inf");
    char buffer[64];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, int(r.ptr - buffer));
}

void CsvWriter::addRow(const QStringList &fields)
{
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            m_bytes.append(',');
        m_bytes.append(field(fields.at(i)));
    }
    m_bytes.append("\r\n");
}
