#ifndef DUPLICATEFINDER_H
#define DUPLICATEFINDER_H

#include <QStringList>
#include <QVector>

#include <functional>
#include <vector>

class ProgressReporter;

// Groups of byte-identical files among `paths`: files are compared by size
// first, and only those sharing a size are hashed (SHA-1). Each group lists
// indices into `paths` in ascending order; groups come in the order of
// their first member. Files that cannot be read are in no group, and so are
// those `eligible` leaves out (files refused for their size or header are
// never read in full). `progress`, when given, advances once per file
// hashed; once `stop` says so, hashing ends and no group is returned.
QVector<QVector<int>> findDuplicateFiles(const QStringList &paths,
                                         const std::vector<bool> &eligible = {},
                                         ProgressReporter *progress = nullptr,
                                         const std::function<bool()> &stop = {});

// How many files findDuplicateFiles would hash: those sharing their size
// with another eligible file.
int filesToHash(const QStringList &paths, const std::vector<bool> &eligible = {});

#endif // DUPLICATEFINDER_H
