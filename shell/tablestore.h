#ifndef TABLESTORE_H
#define TABLESTORE_H

#include <QPointer>
#include <QString>

#include <memory>

class CAData;
class CountTable;

// The analysed table of the analysis last asked about, read once from the
// project's table file (FILE F) and kept while that analysis is shown: the
// Axes dock needs it for the qualities and the group tests, the map does not.
class TableStore
{
public:
    TableStore();
    ~TableStore();

    // The table of `data`, read on first use; null when the project names
    // none or it cannot be read (why() says which).
    const CountTable *table(CAData *data);
    QString why() const { return m_why; }

private:
    QPointer<CAData> m_data;
    const CAData *m_for = nullptr;
    std::unique_ptr<CountTable> m_table;
    QString m_why;
};

#endif // TABLESTORE_H
