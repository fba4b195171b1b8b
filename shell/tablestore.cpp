#include "shell/tablestore.h"

#include "data/cadata.h"
#include "data/counttable.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>

TableStore::TableStore() = default;
TableStore::~TableStore() = default;

const CountTable *TableStore::table(CAData *data)
{
    if (!data)
        return nullptr;
    if (m_for == data && m_data)
        return m_table.get();
    m_data = data;
    m_for = data;
    m_table.reset();
    m_why.clear();
    if (data->fileF.isEmpty()) {
        m_why = QCoreApplication::translate("TableStore", "the project names no table (FILE F)");
        return nullptr;
    }
    const QString path = data->resolve(data->fileF);
    auto table = std::make_unique<CountTable>();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = table->read(QFile::encodeName(path).toStdString());
    QApplication::restoreOverrideCursor();
    if (!ok) {
        m_why = QCoreApplication::translate("TableStore", "%1: %2").arg(path, QString::fromStdString(table->error()));
        return nullptr;
    }
    if (table->rows() != data->nbImages || table->cols() != data->nbWords) {
        m_why = QCoreApplication::translate("TableStore", "%1 is %2 x %3, the results %4 images x %5 words")
                    .arg(path)
                    .arg(table->rows())
                    .arg(table->cols())
                    .arg(data->nbImages)
                    .arg(data->nbWords);
        return nullptr;
    }
    m_table = std::move(table);
    return m_table.get();
}
