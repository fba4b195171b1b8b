#ifndef INDEXER_H
#define INDEXER_H

#include "tools/featureextractor.h"
#include "tools/indexoptions.h"
#include "tools/indexsummary.h"

#include <QString>

#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class CACommunicator;
class ImageCollection;
class IndexDistribution;
class IndexWriter;
struct IndexRun;
class ProgressReporter;
class Vocabulary;
struct SupplementaryRows;

// Turns a collection of images into an index: keypoint files, image list,
// keypoint-file list, contingency table, vocabulary and project file, and
// optionally the solver's results. Images are processed in parallel, one
// worker per job; a bad image is reported and counted, never fatal.
class Indexer
{
public:
    explicit Indexer(const IndexOptions &options);

    // Shares the run among the processes of `comm` (an MPI job): each
    // describes its share of the images and the lead writes the index, the
    // same, file for file, as a single process writes. Null: one process.
    void setCommunicator(const CACommunicator *comm);

    // Reads the input named in the options, then indexes it.
    bool run(QString *error);
    // Adds the input's images to the project named by options.addTo as
    // supplementary images (see indexaddition.cpp); no file of the
    // project but its supplementary set and project file changes.
    bool addTo(QString *error);
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

    // Axes checked for a single word or group of identical images that
    // takes them, and the share of an axis's inertia that is named.
    static constexpr int axesReported = 3;
    static constexpr double shareReported = 0.25;

    // Votes of one record when descriptors are shared among their nearest
    // words.
    static constexpr int softVotes = 8;
    // Memory all workers together may use for images decoded whole.
    static constexpr qint64 decodeBudget = qint64(1) << 30;
    // Appends the votes of one descriptor given its `k` nearest words and
    // their squared distances, nearest first.
    // One line of skipped.txt: kind, path and reason, tab-separated, the
    // reason's line breaks and tabs folded into single spaces.
    static QString skippedLine(const QString &kind, const QString &path, const QString &reason);
    static void appendSoftVotes(std::vector<int> &row, const int *words, const float *d2, int k);

private:
    // The phases of run(), in order (see indexerphases.cpp).
    // What every run starts from: its clock, an empty summary and lists.
    void startRun(IndexRun &r, const ImageCollection &collection);
    void tallySkipped();
    bool collect(IndexRun &r, QString *error);
    bool describe(IndexRun &r, QString *error);
    bool buildVocabulary(IndexRun &r, QString *error);
    bool assignWords(IndexRun &r, QString *error);
    bool write(IndexRun &r, QString *error);
    // Marks the images the passive list names.
    bool markPassive(IndexRun &r, QString *error);
    // The rows of the run's supplementary images; those without any word
    // are listed and left out.
    void supplementaryRows(IndexRun &r, int cols, SupplementaryRows &sup);
    // The addition's write phase (indexaddition.cpp).
    bool writeAddition(IndexRun &r, class ProjectAddition &project, QString *error);
    // Words, keypoint file and table row of one described image.
    void finishImage(IndexRun &r, int i, std::vector<Sift> &keypoints, const cv::Mat &descriptors,
                     const cv::Mat &colourDescriptors);

    void reportAxisShares(const QString &table, int greyWords, const Vocabulary &colour,
                          const QStringList &rowNames);
    // With `supplementary`, the solver places those rows too.
    bool runSolver(const QString &solver, const QString &table, QString *error,
                   const QString &supplementary = QString());
    // `image`: the image the line is about, or -1.
    void report(ProgressReporter *progress, const QString &line, int image = -1);
    // An image left out of the table: counted, reported, and listed in
    // skipped.txt as "kind<TAB>path<TAB>reason".
    void skip(ProgressReporter *progress, const QString &kind, const QString &path,
              const QString &reason, int image);
    // Brings every process's lines about single images together, in image
    // order, after the first skippedBefore and problemsBefore lines.
    void shareLines(int skippedBefore, int problemsBefore);
    bool stopped(IndexWriter &writer, QString *error);

    IndexOptions m_options;
    IndexSummary m_summary;
    std::mutex m_problemMutex;
    QStringList m_skippedLines;
    std::vector<int> m_skippedImages; // the image of each skipped line, or -1
    std::vector<int> m_problemImages; // the image of each problem line, or -1
    const CACommunicator *m_communicator = nullptr;
    std::shared_ptr<IndexDistribution> m_distribution;
    QStringList m_log;
};

#endif // INDEXER_H
