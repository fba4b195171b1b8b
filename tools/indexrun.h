#ifndef INDEXRUN_H
#define INDEXRUN_H

#include "tools/descriptorspill.h"
#include "tools/featureextractor.h"
#include "tools/indexwriter.h"
#include "tools/vocabulary.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class ImageCollection;
class IndexDistribution;

// What the phases of one indexing run hand on to each other: the images and
// their fates, the vocabularies, the words of every image, and the index
// being written. One per run; the phases fill it in order.
struct IndexRun
{
    // An image's fate. Passive and Flat images are supplementary: described
    // and given words like the others, but kept out of the vocabulary and
    // the table, and placed on the axes afterwards by their rows.
    enum Fate : int { Pending = 0, Indexed = 1, Skipped = -1, Passive = 2, Flat = 3 };
    static bool supplementary(int fate) { return fate == Passive || fate == Flat; }

    QElapsedTimer clock;
    IndexDistribution *shared = nullptr; // the job's processes, or null
    bool lead = true;                    // this process writes the index's own files
    const ImageCollection *collection = nullptr;
    QString solver;                      // with --solve, checked before anything else

    FeatureOptions features;
    Vocabulary grey, colour;
    bool reuse = false;                  // the vocabulary was given, not built

    IndexWriter writer;
    int n = 0;                           // images found
    // Pending, Indexed, Skipped, Passive or Flat (see indexerphases.cpp), per image
    std::vector<int> status;
    std::vector<bool> passive;           // listed with --passive
    // Adding to a project: its images (canonical paths), which are not
    // added again, the first free number of the supplementary keypoint
    // files and links, and the project's number of each input category.
    bool adding = false;
    QSet<QString> known;
    int fileOffset = 0;
    std::vector<int> categoryNumbers;
    QStringList names, paths;            // list name and file of each image
    int skippedBefore = 0, problemsBefore = 0; // lines written before the images were shared out
    QByteArray duplicateText;

    std::unique_ptr<DescriptorSpill> spill;
    std::vector<std::vector<int>> rowWords; // the table row of each indexed image, as words
    std::vector<cv::Mat> greySample, colourSample;
    std::vector<FeatureExtractor> extractors; // one per worker
    int sample = 0, colourSampleSize = 0;

    // A failed write stops the workers; the first error is kept.
    std::atomic<bool> writeFailed{false};
    QString writeError;
    std::mutex writeErrorMutex;
    void failWrite(const QString &e);
    // Whether any process failed to write; `error` then says what.
    bool writesFailed(QString *error);
};

#endif // INDEXRUN_H
