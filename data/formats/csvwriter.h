#ifndef CSVWRITER_H
#define CSVWRITER_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// Comma-separated values as spreadsheets and data-frame readers expect them
// (RFC 4180): UTF-8, CRLF line ends, and a field quoted, with its quotes
// doubled, whenever it holds a comma, a quote or a line break, or starts or
// ends with a blank.
class CsvWriter
{
public:
    void addRow(const QStringList &fields);
    // Numbers are written in the shortest form that reads back as the same
    // double, independent of the locale.
    static QString number(double value);
    static QByteArray field(const QString &text);

    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

#endif // CSVWRITER_H
