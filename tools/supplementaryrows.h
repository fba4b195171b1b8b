#ifndef SUPPLEMENTARYROWS_H
#define SUPPLEMENTARYROWS_H

#include "tools/indexoptions.h"
#include "tools/indexwriter.h"

#include <QByteArray>
#include <QStringList>

#include <vector>

// The supplementary images of one run, in image-list order: their table
// rows over the index's words, and what their lists say of each (category,
// name, keypoint file). The texts are those of the index's own table and
// lists, so that readers of those read these.
struct SupplementaryRows
{
    int rows = 0, cols = 0;
    std::vector<int> counts; // rows x cols
    std::vector<int> categories;
    QStringList names, keypointFiles;

    // The table's rows, without the "rows cols" line.
    QByteArray tableRows(TableCounts mode) const { return IndexWriter::tableRows(counts, rows, cols, mode); }
    QByteArray table(TableCounts mode) const
    {
        return QByteArray::number(rows) + ' ' + QByteArray::number(cols) + '\n' + tableRows(mode);
    }
    // "category name" lines.
    QByteArray imageList() const
    {
        QByteArray text;
        for (int i = 0; i < rows; ++i)
            text += QByteArray::number(categories[size_t(i)]) + ' ' + names[i].toUtf8() + '\n';
        return text;
    }
    // The count (with `earlier` names before these), then these names.
    QByteArray keypointList(const QStringList &earlier) const
    {
        QByteArray text = QByteArray::number(earlier.size() + rows) + '\n';
        for (const QString &name : earlier + keypointFiles)
            text += name.toUtf8() + '\n';
        return text;
    }
};

#endif // SUPPLEMENTARYROWS_H
