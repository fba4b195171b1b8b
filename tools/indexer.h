#ifndef INDEXER_H
#define INDEXER_H

#include "tools/featureextractor.h"
#include "tools/indexoptions.h"
#include "tools/indexsummary.h"

#include <QString>

#include <cstdio>
#include <functional>
#include <mutex>

class ImageCollection;
class IndexWriter;
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

    // Runs `work(item, worker)` for every item on `jobs` threads; after
    // interrupt() no further item is started.
    static void parallelFor(int count, int jobs, ProgressReporter *progress,
                            const std::function<void(int, int)> &work);

    // Asks a running indexer to stop as soon as it can (safe to call from a
    // signal handler): it removes its unfinished files and fails.
    static void interrupt();
    static bool interrupted();

    // What the options ask of each image.
    static FeatureOptions featureOptions(const IndexOptions &options);

private:
    bool runSolver(const QString &solver, const QString &table, QString *error);
    void report(ProgressReporter *progress, const QString &line);
    // An image left out of the table: counted, reported, and listed in
    // skipped.txt as "kind<TAB>path<TAB>reason".
    void skip(ProgressReporter *progress, const QString &kind, const QString &path,
              const QString &reason);
    bool stopped(IndexWriter &writer, QString *error);

    IndexOptions m_options;
    IndexSummary m_summary;
    std::mutex m_problemMutex;
    QStringList m_skippedLines;
    QStringList m_log;
};

#endif // INDEXER_H
