#include "tools/indexer.h"

#include "tools/axisreport.h"
#include "tools/descriptorspill.h"
#include "tools/duplicatefinder.h"
#include "tools/imagecollection.h"
#include "tools/indexdistribution.h"
#include "tools/indexwriter.h"
#include "tools/keypointdetector.h"
#include "tools/progressreporter.h"
#include "tools/vocabulary.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <opencv2/core.hpp>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// OpenCV's own thread pool would compete with the workers (and its
// scheduling is not needed to be fast here); each phase sets what it needs
// and the previous setting comes back at the end of the scope.
class OpenCvThreads
{
public:
    explicit OpenCvThreads(int n) : m_previous(cv::getNumThreads()) { cv::setNumThreads(n); }
    ~OpenCvThreads() { cv::setNumThreads(m_previous); }
private:
    int m_previous;
};

bool hasBlank(const QString &s)
{
    static const QRegularExpression blank(QStringLiteral("\\s"));
    return s.contains(blank);
}

} // namespace

Indexer::Indexer(const IndexOptions &options) : m_options(options)
{
    if (m_options.jobs <= 0)
        m_options.jobs = std::max(1, int(std::thread::hardware_concurrency()));
}

QString Indexer::solverPath(const IndexOptions &options)
{
    if (!options.solver.isEmpty())
        return QFileInfo(options.solver).absoluteFilePath();
    const QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                     : QDir::currentPath();
    return QDir(dir).filePath(QStringLiteral("ca.exe"));
}

QString Indexer::listName(const QString &imagePath, const QString &outputFolder)
{
    return QDir(outputFolder).relativeFilePath(imagePath);
}

namespace {
std::atomic<bool> s_interrupted{false};
}

void Indexer::interrupt()
{
    s_interrupted.store(true);
}

bool Indexer::interrupted()
{
    return s_interrupted.load();
}

FeatureOptions Indexer::featureOptions(const IndexOptions &o)
{
    FeatureOptions f;
    f.maxKeypoints = o.maxKeypoints;
    f.gridStep = o.gridStep;
    f.workSide = o.workSide;
    f.rootSift = o.rootSift;
    f.colour = o.colourWords > 0;
    f.gridScales = o.gridScales;
    f.colourLayout = o.colourLayout;
    f.limits.maxSide = o.maxSide;
    f.limits.maxPixels = o.maxMegapixels * 1000000;
    f.limits.minSide = KeypointDetector::minimumSide;
    f.limits.workSide = o.workSide;
    // Images decoded whole (interlaced PNG, progressive JPEG, other
    // formats) share the run's decoding budget among the workers.
    f.limits.maxDecodeBytes = std::min<qint64>(f.limits.maxDecodeBytes,
                                               decodeBudget / std::max(1, o.jobs));
    return f;
}

void Indexer::parallelFor(int count, int jobs, ProgressReporter *progress,
                          const std::function<void(int, int)> &work)
{
    std::atomic<int> next{0};
    std::atomic<int> running{0};
    const int workers = std::max(1, std::min(jobs, count));
    std::vector<std::thread> threads;
    threads.reserve(size_t(workers));
    running = workers;
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([&, w] {
            for (int i = next++; i < count && !interrupted(); i = next++) {
                work(i, w);
                if (progress)
                    progress->advance();
            }
            --running;
        });
    }
    // The calling thread keeps the progress display alive meanwhile.
    while (running.load() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (progress)
            progress->refresh();
    }
    for (std::thread &t : threads)
        t.join();
    if (progress)
        progress->finish();
}

void Indexer::setCommunicator(const CACommunicator *comm)
{
    m_communicator = comm;
    m_distribution = comm ? std::make_shared<IndexDistribution>(*comm) : nullptr;
}

void Indexer::report(ProgressReporter *progress, const QString &line, int image)
{
    {
        std::lock_guard<std::mutex> lock(m_problemMutex);
        m_summary.problems.append(line);
        m_problemImages.push_back(image);
    }
    if (progress)
        progress->problem(line);
    else
        std::fprintf(stderr, "%s\n", qPrintable(line));
}

void Indexer::skip(ProgressReporter *progress, const QString &kind, const QString &path,
                   const QString &reason, int image)
{
    {
        std::lock_guard<std::mutex> lock(m_problemMutex);
        m_skippedLines.append(kind + QLatin1Char('\t') + path + QLatin1Char('\t') + reason);
        m_skippedImages.push_back(image);
    }
    QString line;
    if (kind == QLatin1String("no keypoints"))
        line = QStringLiteral("no keypoint in '%1': left out of the table").arg(path);
    else if (kind == QLatin1String("blank"))
        line = QStringLiteral("blank image '%1' left out of the table: %2").arg(path, reason);
    else
        line = QStringLiteral("skipped '%1': %2").arg(path, reason);
    report(progress, line, image);
}

bool Indexer::stopped(IndexWriter &writer, QString *error)
{
    if (!interrupted())
        return false;
    writer.abandon();
    m_summary.interrupted = true;
    // Results the solver may have finished are gone with the unfinished
    // index: the summary must not claim them.
    m_summary.solved = false;
    *error = QStringLiteral("interrupted; the unfinished index was removed and '%1' is as it "
                            "was before")
                 .arg(m_options.output);
    return true;
}

bool Indexer::run(QString *error)
{
    ImageCollection collection;
    if (!collection.load(m_options.input, m_options.output, error))
        return false;
    return run(collection, error);
}

namespace {

enum : int { Pending = 0, Indexed = 1, Skipped = -1 };

QString kindOf(DecodedImage::Status status)
{
    switch (status) {
    case DecodedImage::TooLarge: return QStringLiteral("too large");
    case DecodedImage::TooSmall: return QStringLiteral("too small");
    default: return QStringLiteral("unreadable");
    }
}

bool loadVocabulary(Vocabulary &v, const QString &path, int dimension, const char *kind,
                    QString *error)
{
    if (!v.load(path, error))
        return false;
    if (v.dimension() != dimension) {
        *error = QStringLiteral("the vocabulary '%1' holds descriptors of size %2; %3 "
                                "descriptors have %4 values")
                     .arg(path).arg(v.dimension()).arg(QLatin1String(kind)).arg(dimension);
        return false;
    }
    return true;
}

} // namespace

void Indexer::appendSoftVotes(std::vector<int> &row, const int *words, const float *d2, int k)
{
    // Weights fall with the squared distance relative to the nearest's:
    // a word as near as the nearest weighs as much, one half again as far
    // (squared) about a third as much.
    double w[8], total = 0;
    k = std::min(k, 8);
    const double nearest = std::max(1e-6, double(d2[0]));
    for (int j = 0; j < k; ++j) {
        w[j] = words[j] >= 0 ? std::exp(-2.0 * (double(d2[j]) / nearest - 1.0)) : 0.0;
        total += w[j];
    }
    // Whole votes by largest remainder, so that every record casts exactly
    // softVotes of them.
    int given = 0, votes[8];
    double rest[8];
    for (int j = 0; j < k; ++j) {
        const double share = softVotes * w[j] / total;
        votes[j] = int(share);
        rest[j] = share - votes[j];
        given += votes[j];
    }
    while (given < softVotes) {
        int best = 0;
        for (int j = 1; j < k; ++j)
            if (rest[j] > rest[best])
                best = j;
        ++votes[best];
        rest[best] = -1;
        ++given;
    }
    for (int j = 0; j < k; ++j)
        row.insert(row.end(), size_t(votes[j]), words[j]);
}

bool Indexer::run(const ImageCollection &collection, QString *error)
{
    QElapsedTimer clock;
    clock.start();
    m_summary = IndexSummary();
    m_skippedLines.clear();
    m_skippedImages.clear();
    m_problemImages.clear();
    const IndexOptions &o = m_options;
    // Shared among processes: the lead alone writes the index's own files.
    IndexDistribution *const shared = m_distribution.get();
    const bool lead = !shared || shared->lead();

    if (o.maxKeypoints < 1 || o.axes < 1 || (o.vocabulary.isEmpty() && o.words < 1)) {
        *error = QStringLiteral("--words, --max-keypoints and --axes must be at least 1");
        return false;
    }
    QString solver;
    if (o.solve) {
        // Checked first: a missing solver should not cost a whole indexing run.
        solver = solverPath(o);
        const QFileInfo info(solver);
        if (!info.exists() || !info.isFile() || !info.isExecutable()) {
            *error = QStringLiteral("the solver '%1' is missing or not executable; build the "
                                    "target ca, or index without --solve and let the viewer "
                                    "run it")
                         .arg(solver);
            return false;
        }
    }

    FeatureOptions features = featureOptions(o);
    Vocabulary grey, colour;
    const bool reuse = !o.vocabulary.isEmpty();
    if (reuse) {
        if (!loadVocabulary(grey, o.vocabulary, KeypointDetector::descriptorSize, "SIFT", error))
            return false;
        // The vocabulary decides: colour words exactly when it has them.
        const QString colourPath = IndexWriter::colourVocabularyPath(o.vocabulary);
        features.colour = QFileInfo::exists(colourPath);
        if (features.colour && !loadVocabulary(colour, colourPath, features.colourLayout > 0 ? FeatureExtractor::colourLayoutSize : FeatureExtractor::colourSize,
                                               "colour", error))
            return false;
    }

    IndexWriter writer;
    QStringList leftovers;
    if (!shared) {
        if (!writer.begin(o.output, error, &leftovers))
            return false;
    } else {
        // The lead makes the staging folder; the others write their images'
        // files into it.
        const bool begun = !lead || writer.begin(o.output, error, &leftovers);
        if (!shared->agree(begun, error))
            return false;
        const QString staging = shared->broadcast(writer.stagingFolder());
        if (!lead)
            writer.join(o.output, staging);
    }
    const QString output = writer.outputFolder();
    for (const QString &path : std::as_const(leftovers))
        report(nullptr, QStringLiteral("removed '%1', the unfinished index of a run that ended "
                                       "without finishing").arg(path));

    const QVector<ImageEntry> &entries = collection.entries();
    const int n = int(entries.size());
    m_summary.found = n;
    if (n == 0) {
        *error = QStringLiteral("there is no image to index");
        return false;
    }
    for (const ImageCollection::Passed &p : collection.passedOver()) {
        ++m_summary.passedOver;
        if (!lead)
            continue;
        m_skippedImages.push_back(-1);
        m_skippedLines.append(QStringLiteral("passed over\t%1\t%2").arg(p.path, p.reason));
        report(nullptr, QStringLiteral("passed over '%1': %2").arg(p.path, p.reason));
    }

    // The image list cannot hold names with blanks: such images are listed
    // under a link with a blank-free name, and the user is told.
    std::vector<int> status(size_t(n), Pending);
    QStringList names, paths;
    for (int i = 0; i < n; ++i) {
        paths << entries[i].path;
        names << listName(entries[i].path, output);
        if (!hasBlank(names.last()) || !lead)
            continue;
        QString linked, e;
        if (writer.linkImage(i, entries[i].path, &linked, &e)) {
            names.last() = linked;
            ++m_summary.renamed;
            report(nullptr, QStringLiteral("renamed '%1': listed as '%2', since the image list "
                                           "cannot hold names with blanks")
                                .arg(entries[i].path, linked));
        } else {
            status[size_t(i)] = Skipped;
            ++m_summary.refusedNames;
            skip(nullptr, QStringLiteral("name with blanks"), entries[i].path,
                 QStringLiteral("its name has blanks, which the image list cannot hold, and %1").arg(e), -1);
        }
    }
    if (shared) {
        names = shared->broadcast(names);
        shared->broadcast(status);
    }
    // Lines recorded from here on concern one image each.
    const int skippedBefore = int(m_skippedLines.size()), problemsBefore = int(m_summary.problems.size());

    // Copies are looked for among the files that may be read: one refused
    // for its size from its header alone is never read in full.
    QVector<QVector<int>> duplicates;
    if (lead) {
        std::vector<bool> eligible(size_t(n), true);
        for (int i = 0; i < n; ++i) {
            DecodedImage::Status refusal;
            QString reason;
            if (status[size_t(i)] != Skipped
                && !ImageReader::checkHeaderOnly(paths[i], features.limits, &refusal, &reason))
                eligible[size_t(i)] = false;
        }
        const int toHash = filesToHash(paths, eligible);
        ProgressReporter progress(QStringLiteral("Looking for copies"), toHash, o.quiet || toHash == 0);
        duplicates = findDuplicateFiles(paths, eligible, &progress, [&progress] {
            progress.refresh();
            return interrupted();
        });
        progress.finish();
    }
    if (shared && !shared->agree(!interrupted(), error))
        return false;
    if (stopped(writer, error))
        return false;
    QByteArray duplicateText;
    for (int g = 0; g < duplicates.size(); ++g) {
        m_summary.duplicateFiles += duplicates[g].size();
        for (int i : duplicates[g])
            duplicateText += QByteArray::number(g + 1) + '\t' + paths[i].toUtf8() + '\n';
    }
    m_summary.duplicateGroups = int(duplicates.size());

    const int jobs = o.jobs;
    const DescriptorSpill spill(writer.stagingPath(IndexWriter::spillFolder));
    std::vector<std::vector<int>> rowWords(static_cast<size_t>(n)); // words of each indexed image
    std::vector<cv::Mat> greySample(static_cast<size_t>(n)), colourSample(static_cast<size_t>(n));
    std::vector<FeatureExtractor> extractors;
    for (int w = 0; w < jobs; ++w)
        extractors.emplace_back(features);
    const int sample = o.sampleSize > 0 ? o.sampleSize : o.words * Vocabulary::samplesPerWord;
    const int colourSampleSize = std::max(o.colourWords, 1) * Vocabulary::samplesPerWord;
    // Twice the share of each image, so that images with fewer descriptors
    // than their share leave room for the others.
    const int keepGrey = std::max(1, int((2.0 * sample + n - 1) / n));
    const int keepColour = std::max(1, int((2.0 * colourSampleSize + n - 1) / n));
    std::atomic<bool> writeFailed{false};
    QString writeError;
    std::mutex writeErrorMutex;
    auto failWrite = [&](const QString &e) {
        std::lock_guard<std::mutex> lock(writeErrorMutex);
        if (!writeFailed.exchange(true))
            writeError = e;
    };

    // Words, keypoint file and word list of one image. With soft words,
    // each record casts votesPerRecord votes (the table is the same up to
    // scale when they all go to one word).
    const int greyWords = reuse ? grey.size() : o.words;
    const int soft = std::max(1, o.softWords);
    const int votesPerRecord = soft > 1 ? softVotes : 1;
    auto finishImage = [&](int i, std::vector<Sift> &kps, const cv::Mat &desc, const cv::Mat &cdesc) {
        std::vector<int> words, colourWords;
        const size_t count = kps.size();
        const bool withColour = !cdesc.empty() && colour.size() > 0;
        if (desc.empty() && withColour) {
            // Described by its colours alone: one colour record per patch.
            colour.assign(cdesc, colourWords);
            for (size_t k = 0; k < count; ++k)
                kps[k].word = greyWords + colourWords[k];
        } else if (soft > 1) {
            // The keypoint file names the nearest word; the table shares the
            // record's votes among the nearest few by closeness.
            std::vector<float> d2;
            grey.assignNearest(desc, soft, words, d2);
            std::vector<int> &row = rowWords[size_t(i)];
            row.reserve(size_t(votesPerRecord) * 2 * count);
            for (size_t k = 0; k < count; ++k) {
                const int *w = words.data() + k * size_t(soft);
                const float *d = d2.data() + k * size_t(soft);
                kps[k].word = w[0];
                appendSoftVotes(row, w, d, soft);
            }
        } else {
            grey.assign(desc, words); // one word per descriptor row, so per keypoint
            for (size_t k = 0; k < words.size(); ++k)
                kps[k].word = words[k];
        }
        if (!desc.empty()) {
            if (withColour) {
                // A colour word is one more record of the same region, so
                // that every count of the table is a keypoint the viewer can
                // show.
                colour.assign(cdesc, colourWords);
                kps.reserve(2 * count);
                for (size_t k = 0; k < count; ++k) {
                    Sift s = kps[k];
                    s.id = int(count + k);
                    s.word = greyWords + colourWords[k];
                    kps.push_back(s);
                }
            }
        }
        std::vector<int> &row = rowWords[size_t(i)];
        const size_t firstPlain = soft > 1 && !desc.empty() ? count : 0;
        row.reserve(row.size() + (kps.size() - firstPlain) * size_t(votesPerRecord));
        for (size_t k = firstPlain; k < kps.size(); ++k)
            row.insert(row.end(), size_t(votesPerRecord), kps[k].word);
        QString e;
        if (!writer.writeKeypoints(i, kps, &e))
            failWrite(e);
    };

    {
        OpenCvThreads single(0);
        ProgressReporter progress(QStringLiteral("Describing images"), n, o.quiet);
        parallelFor(n, jobs, &progress, [&](int i, int w) {
            if (status[size_t(i)] == Skipped || writeFailed || (shared && !shared->owns(i)))
                return;
            ImageFeatures f;
            try {
                f = extractors[size_t(w)].extract(entries[i].path);
            } catch (const cv::Exception &e) {
                // One image that OpenCV cannot handle is listed; the run goes on.
                f = ImageFeatures();
                f.reason = QStringLiteral("cannot be described: %1").arg(QString::fromStdString(e.msg).trimmed());
            } catch (const std::bad_alloc &) {
                f = ImageFeatures();
                f.status = DecodedImage::TooLarge;
                f.reason = QStringLiteral("too large: not enough memory to describe it");
            }
            if (f.status != DecodedImage::Ok) {
                status[size_t(i)] = Skipped;
                skip(&progress, kindOf(f.status), entries[i].path, f.reason, i);
                return;
            }
            if (f.blank) {
                status[size_t(i)] = Skipped;
                skip(&progress, QStringLiteral("blank"), entries[i].path, f.reason, i);
                return;
            }
            if (f.keypoints.empty()) {
                status[size_t(i)] = Skipped;
                skip(&progress, QStringLiteral("no keypoints"), entries[i].path,
                     QStringLiteral("no keypoint found (a blank or flat image)"), i);
                return;
            }
            status[size_t(i)] = Indexed;
            if (reuse) {
                finishImage(i, f.keypoints, f.descriptors, f.colourDescriptors);
                return;
            }
            greySample[size_t(i)] = Vocabulary::sampleRows(f.descriptors, i, keepGrey, o.seed);
            if (!f.colourDescriptors.empty())
                colourSample[size_t(i)] = Vocabulary::sampleRows(f.colourDescriptors, i,
                                                                 keepColour, o.seed);
            QString e;
            if (!spill.write(i, f.keypoints, f.descriptors, f.colourDescriptors, &e))
                failWrite(e);
        });
    }
    if (stopped(writer, error))
        return false;
    if (shared && !shared->agree(!writeFailed, &writeError))
        writeFailed = true;
    if (writeFailed) {
        *error = writeError;
        return false;
    }
    if (shared) {
        // What the others found: the images' fates, the lines about them
        // in image order, and the vocabulary's samples.
        shared->shareOwned(status);
        shareLines(skippedBefore, problemsBefore);
        if (!reuse) {
            shared->shareOwned(greySample);
            shared->shareOwned(colourSample);
        }
    }

    for (int i = 0; i < n; ++i) {
        if (status[size_t(i)] == Indexed)
            ++m_summary.indexed;
        else
            ++m_summary.skipped;
    }
    if (m_summary.indexed == 0) {
        *error = QStringLiteral("none of the %1 images could be indexed (see the reasons above)").arg(n);
        return false;
    }

    if (!reuse) {
        {
            OpenCvThreads parallel(jobs);
            if (!o.quiet) {
                qint64 total = 0;
                for (const cv::Mat &d : greySample)
                    total += d.rows;
                std::printf("Building a vocabulary of %d words from %lld sampled descriptors...\n",
                            o.words, (long long)std::min<qint64>(total, std::max(sample, o.words)));
                std::fflush(stdout);
            }
            if (!grey.build(greySample, o.words, o.seed, sample, error, m_communicator))
                return false;
            greySample.clear();
            if (features.colour) {
                if (!colour.build(colourSample, o.colourWords, o.seed, colourSampleSize, error,
                                  m_communicator))
                    return false;
                colourSample.clear();
            }
        }
        if (stopped(writer, error))
            return false;
        grey.prepareSearch(o.searchChecks);
        colour.prepareSearch(o.searchChecks);
        OpenCvThreads single(0);
        ProgressReporter progress(QStringLiteral("Assigning words"), n, o.quiet);
        parallelFor(n, jobs, &progress, [&](int i, int) {
            if (status[size_t(i)] != Indexed || writeFailed || (shared && !shared->owns(i)))
                return;
            std::vector<Sift> kps;
            cv::Mat desc, cdesc;
            QString e;
            if (!spill.take(i, kps, desc, cdesc, &e)) {
                failWrite(e);
                return;
            }
            finishImage(i, kps, desc, cdesc);
        });
        if (stopped(writer, error))
            return false;
        if (shared && !shared->agree(!writeFailed, &writeError))
            writeFailed = true;
        if (writeFailed) {
            *error = writeError;
            return false;
        }
    }
    if (shared) {
        shared->shareOwned(rowWords);
        if (!lead) {
            // The lead writes the rest; the others wait for its word.
            QString e;
            if (!shared->agree(true, &e)) {
                *error = e;
                return false;
            }
            return true;
        }
    }

    // Table, lists and vocabulary, in image-list order.
    const int cols = grey.size() + colour.size();
    const int rows = m_summary.indexed;
    std::vector<int> counts(size_t(rows) * size_t(cols), 0);
    std::vector<int> categories;
    QStringList listNames, keypointFiles;
    int row = 0;
    for (int i = 0; i < n; ++i) {
        if (status[size_t(i)] != Indexed)
            continue;
        for (int word : rowWords[size_t(i)])
            ++counts[size_t(row) * size_t(cols) + size_t(word)];
        m_summary.keypoints += qint64(rowWords[size_t(i)].size()) / (o.softWords > 1 ? softVotes : 1);
        categories.push_back(entries[i].category);
        listNames << names[i];
        keypointFiles << IndexWriter::keypointFileName(i);
        ++row;
    }
    m_summary.words = cols;
    for (int c = 0; c < cols; ++c) {
        for (int r = 0; r < rows; ++r) {
            if (counts[size_t(r) * size_t(cols) + size_t(c)]) {
                ++m_summary.wordsUsed;
                break;
            }
        }
    }
    for (const QString &line : std::as_const(m_skippedLines)) {
        const QString kind = line.section(QLatin1Char('\t'), 0, 0);
        if (kind == QLatin1String("too large")) ++m_summary.tooLarge;
        else if (kind == QLatin1String("too small")) ++m_summary.tooSmall;
        else if (kind == QLatin1String("no keypoints")) ++m_summary.withoutKeypoints;
        else if (kind == QLatin1String("unreadable")) ++m_summary.unreadable;
        else if (kind == QLatin1String("blank")) {
            ++m_summary.blank;
            if (line.contains(QLatin1String("flat colour")))
                ++m_summary.blankWithColour;
        }
    }

    // Category names, when the folder names gave them.
    QByteArray categoryText;
    const QStringList categoryNames = collection.categoryNames();
    if (categoryNames.size() > 1) {
        std::vector<bool> used(size_t(categoryNames.size()), false);
        for (int c : categories)
            if (c >= 0 && c < categoryNames.size())
                used[size_t(c)] = true;
        for (int c = 0; c < categoryNames.size(); ++c) {
            if (!used[size_t(c)])
                continue;
            const QString name = c == 0 ? QFileInfo(o.input).fileName() : categoryNames[c];
            categoryText += QByteArray::number(c) + ' ' + name.toUtf8() + '\n';
        }
    }

    m_summary.seconds = clock.elapsed() / 1000.0;
    QByteArray log = m_summary.problems.join(QLatin1Char('\n')).toUtf8();
    if (!log.isEmpty())
        log += '\n';
    log += summaryText().toUtf8() + '\n';
    QByteArray skippedText = m_skippedLines.join(QLatin1Char('\n')).toUtf8();
    if (!skippedText.isEmpty())
        skippedText += '\n';
    // The others wait for the lead's outcome.
    auto finish = [&](bool ok) {
        if (shared)
            shared->agree(ok, error);
        return ok;
    };
    if (!writer.writeTable(counts, rows, cols, o.counts, error)
        || !writer.writeImageList(categories, listNames, error)
        || !writer.writeKeypointList(keypointFiles, error)
        || !writer.writeVocabulary(grey, error)
        || (colour.size() > 0 && !writer.writeColourVocabulary(colour, error))
        || (!categoryText.isEmpty() && !writer.writeFile(IndexWriter::categoriesName, categoryText, error))
        || !writer.writeFile(IndexWriter::skippedName, skippedText, error)
        || (!duplicateText.isEmpty() && !writer.writeFile(IndexWriter::duplicatesName, duplicateText, error))
        || !writer.writeFile(IndexWriter::logName, log, error))
        return finish(false);

    QString solveError;
    if (o.solve) {
        m_summary.solved = runSolver(solver, writer.stagingPath(IndexWriter::tableName),
                                     &solveError);
        if (m_summary.solved) {
            reportAxisShares(writer.stagingPath(IndexWriter::tableName), grey.size(), colour,
                             listNames);
            m_summary.seconds = clock.elapsed() / 1000.0;
            QByteArray solvedLog = m_summary.problems.join(QLatin1Char('\n')).toUtf8();
            if (!solvedLog.isEmpty())
                solvedLog += '\n';
            solvedLog += summaryText().toUtf8() + '\n';
            if (!writer.writeFile(IndexWriter::logName, solvedLog, error))
                return finish(false);
        }
    }
    if (stopped(writer, error))
        return finish(false);
    if (!writer.commit(o.axes, m_summary.solved, error))
        return finish(false);
    m_summary.seconds = clock.elapsed() / 1000.0;
    if (o.solve && !m_summary.solved) {
        *error = solveError + QStringLiteral("; the index was written without the results, "
                                             "so the viewer runs the solver when it opens it");
        return finish(false);
    }
    return finish(true);
}

void Indexer::shareLines(int skippedBefore, int problemsBefore)
{
    // The lines about single images, everybody's, in image order, after
    // those the lead wrote before the images were shared out.
    QStringList skipped = m_skippedLines.mid(skippedBefore), problems = m_summary.problems.mid(problemsBefore);
    std::vector<int> skippedImages(m_skippedImages.begin() + skippedBefore, m_skippedImages.end());
    std::vector<int> problemImages(m_problemImages.begin() + problemsBefore, m_problemImages.end());
    m_distribution->shareLines(skipped, skippedImages);
    m_distribution->shareLines(problems, problemImages);
    m_skippedLines = m_skippedLines.mid(0, skippedBefore) + skipped;
    m_skippedImages.resize(size_t(skippedBefore));
    m_skippedImages.insert(m_skippedImages.end(), skippedImages.begin(), skippedImages.end());
    m_summary.problems = m_summary.problems.mid(0, problemsBefore) + problems;
    m_problemImages.resize(size_t(problemsBefore));
    m_problemImages.insert(m_problemImages.end(), problemImages.begin(), problemImages.end());
}

bool Indexer::runSolver(const QString &solver, const QString &table, QString *error)
{
    if (!m_options.quiet) {
        std::printf("Running the solver on %d x %d table...\n", m_summary.indexed, m_summary.words);
        std::fflush(stdout);
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setWorkingDirectory(QFileInfo(table).absolutePath());
    process.start(solver, {QStringLiteral("-k"), QString::number(m_options.axes), table, table});
    if (!process.waitForStarted(-1)) {
        *error = QStringLiteral("the solver '%1' could not be started: %2")
                     .arg(solver, process.errorString());
        return false;
    }
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QStringLiteral("the solver '%1' failed (exit code %2)")
                     .arg(solver).arg(process.exitCode());
        return false;
    }
    for (const QString &suffix : IndexWriter::resultSuffixes) {
        if (!QFileInfo::exists(table + suffix)) {
            *error = QStringLiteral("the solver '%1' did not write '%2'").arg(solver, table + suffix);
            return false;
        }
    }
    return true;
}

void Indexer::reportAxisShares(const QString &table, int greyWords, const Vocabulary &colour,
                               const QStringList &rowNames)
{
    AxisReport shares;
    QString e;
    if (!shares.compute(table, axesReported, shareReported, &e)) {
        report(nullptr, QStringLiteral("could not check the axes for dominant words: %1").arg(e));
        return;
    }
    auto wordName = [&](int j) {
        if (j < greyWords)
            return QStringLiteral("word %1").arg(j);
        const cv::Mat &c = colour.centres();
        const int r = j - greyWords;
        double lab[3] = {0, 0, 0};
        if (r < c.rows && c.cols == FeatureExtractor::colourSize) {
            // The mean of the four quarters of the patch.
            for (int q = 0; q < 4; ++q)
                for (int k = 0; k < 3; ++k)
                    lab[k] += c.at<float>(r, 3 * q + k) / 4;
        }
        return QStringLiteral("colour word %1 (%2)").arg(j).arg(AxisReport::colourName(lab[0], lab[1], lab[2]));
    };
    auto rowName = [&](int r) { return r < rowNames.size() ? rowNames[r] : QString::number(r); };
    m_summary.axisShares = shares.lines(wordName, rowName);
}

QString Indexer::summaryText() const
{
    const IndexSummary &s = m_summary;
    QStringList reasons;
    auto add = [&reasons](int count, const char *what) {
        if (count)
            reasons << QStringLiteral("%1 %2").arg(count).arg(QLatin1String(what));
    };
    add(s.unreadable, "unreadable");
    add(s.tooLarge, "too large");
    add(s.tooSmall, "too small");
    add(s.withoutKeypoints, "without keypoints");
    add(s.blank, "blank");
    if (s.blankWithColour)
        reasons.last() += QStringLiteral(" (%1 of one flat colour)").arg(s.blankWithColour);
    add(s.refusedNames, "with blanks in their names");
    QString text = QStringLiteral("Indexed %1 of %2 images (%3 skipped%4), %5 keypoints, "
                                  "%6 of %7 words used, %8 s")
                       .arg(s.indexed).arg(s.found).arg(s.skipped)
                       .arg(reasons.isEmpty() ? QString() : QStringLiteral(": ") + reasons.join(QStringLiteral(", ")))
                       .arg(s.keypoints).arg(s.wordsUsed).arg(s.words)
                       .arg(s.seconds, 0, 'f', 1);
    if (s.skipped || s.passedOver)
        text += QStringLiteral("; see %1").arg(IndexWriter::skippedName);
    if (s.passedOver)
        text += QStringLiteral("; %1 links or folders passed over").arg(s.passedOver);
    if (s.duplicateGroups)
        text += QStringLiteral("; %1 files are exact copies of another, in %2 groups (%3)")
                    .arg(s.duplicateFiles).arg(s.duplicateGroups).arg(IndexWriter::duplicatesName);
    if (s.renamed)
        text += QStringLiteral(", %1 listed under blank-free links").arg(s.renamed);
    if (s.solved)
        text += QStringLiteral("; solved");
    for (const QString &line : s.axisShares)
        text += QLatin1Char('\n') + line;
    return text;
}
