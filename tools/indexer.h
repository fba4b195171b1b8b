#ifndef INDEXER_H
#define INDEXER_H

#include "tools/indexoptions.h"
#include "tools/indexsummary.h"

#include <QString>

#include <cstdio>
#include <functional>
#include <mutex>

class ImageCollection;
class ProgressReporter;

// Turns a collection of images into an index: keypoint files, image list,
// keypoint-file list, contingency table, vocabulary and project file, and
// optionally the solver's results. Images are processed in parallel, one
// worker per job; a bad image is reported and counted, never fatal.
class Indexer
{
public:
    explicit Indexer(const IndexOptions &options);

    // Reads the input named in the options, then indexes it.
    bool run(QString *error);
    // Indexes a collection already loaded (the demo builds its own).
    bool run(const ImageCollection &collection, QString *error);

    const IndexSummary &summary() const { return m_summary; }
    // The summary as printed at the end of a run.
    QString summaryText() const;

    // The solver the options ask for: the given path, or ca.exe beside the
    // running program.
    static QString solverPath(const IndexOptions &options);

    // The name an image gets in the image list: its path relative to the
    // output folder.
    static QString listName(const QString &imagePath, const QString &outputFolder);

    // Runs `work(item, worker)` for every item on `jobs` threads.
    static void parallelFor(int count, int jobs, ProgressReporter *progress,
                            const std::function<void(int, int)> &work);

private:
    bool runSolver(const QString &solver, const QString &table, QString *error);
    void report(ProgressReporter *progress, const QString &line);

    IndexOptions m_options;
    IndexSummary m_summary;
    std::mutex m_problemMutex;
};

#endif // INDEXER_H
