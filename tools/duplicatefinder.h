#ifndef DUPLICATEFINDER_H
#define DUPLICATEFINDER_H

#include <QStringList>
#include <QVector>

// Groups of byte-identical files among `paths`: files are compared by size
// first, and only those sharing a size are hashed (SHA-1). Each group lists
// indices into `paths` in ascending order; groups come in the order of
// their first member. Files that cannot be read are in no group.
QVector<QVector<int>> findDuplicateFiles(const QStringList &paths);

#endif // DUPLICATEFINDER_H
