// The phases of an indexing run, in order: collect the images and their
// names, describe them, build the vocabulary, assign their words, and write
// the index. One process runs them alone; each process of an MPI job runs
// the same ones, sharing its part inside them.
#include "tools/indexer.h"

#include "tools/axisreport.h"
#include "tools/duplicatefinder.h"
#include "tools/imagecollection.h"
#include "tools/indexatlas.h"
#include "tools/indexdistribution.h"
#include "tools/indexoptionsrecord.h"
#include "tools/indexrun.h"
#include "tools/keypointdetector.h"
#include "tools/progressreporter.h"
#include "tools/supplementaryrows.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <opencv2/core.hpp>

#include <cstdio>

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

constexpr int Pending = IndexRun::Pending, Indexed = IndexRun::Indexed, Skipped = IndexRun::Skipped,
              Passive = IndexRun::Passive, Flat = IndexRun::Flat;

bool supplementary(int status)
{
    return IndexRun::supplementary(status);
}

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

void IndexRun::failWrite(const QString &e)
{
    std::lock_guard<std::mutex> lock(writeErrorMutex);
    if (!writeFailed.exchange(true))
        writeError = e;
}

bool IndexRun::writesFailed(QString *error)
{
    if (shared && !shared->agree(!writeFailed, &writeError))
        writeFailed = true;
    if (writeFailed)
        *error = writeError;
    return writeFailed;
}

bool Indexer::collect(IndexRun &r, QString *error)
{
    const IndexOptions &o = m_options;
    IndexDistribution *const shared = r.shared;
    const bool lead = r.lead;
    const ImageCollection &collection = *r.collection;

    if (o.maxKeypoints < 1 || o.axes < 1 || (o.vocabulary.isEmpty() && o.words < 1)) {
        *error = QStringLiteral("--words, --max-keypoints and --axes must be at least 1");
        return false;
    }
    if (o.solve) {
        // Checked first: a missing solver should not cost a whole indexing run.
        r.solver = solverPath(o);
        const QFileInfo info(r.solver);
        if (!info.exists() || !info.isFile() || !info.isExecutable()) {
            *error = QStringLiteral("the solver '%1' is missing or not executable; build the "
                                    "target ca, or index without --solve and let the viewer "
                                    "run it")
                         .arg(r.solver);
            return false;
        }
    }

    FeatureOptions &features = r.features;
    Vocabulary &grey = r.grey, &colour = r.colour;
    features = featureOptions(o);
    const bool reuse = r.reuse = !o.vocabulary.isEmpty();
    if (reuse) {
        if (!loadVocabulary(grey, o.vocabulary, KeypointDetector::descriptorSize, "SIFT", error))
            return false;
        // The vocabulary decides: colour words exactly when it has them.
        const QString colourPath = IndexWriter::colourVocabularyPath(o.vocabulary);
        features.colour = QFileInfo::exists(colourPath);
        if (features.colour) {
            // Its colour words keep a layout exactly when they have the two
            // position values: older vocabularies describe colour alone.
            if (!colour.load(colourPath, error))
                return false;
            if (colour.dimension() == FeatureExtractor::colourLayoutSize)
                features.colourLayout = o.colourLayout > 0 ? o.colourLayout : IndexOptions().colourLayout;
            else
                features.colourLayout = 0;
            if (!loadVocabulary(colour, colourPath,
                                features.colourLayout > 0 ? FeatureExtractor::colourLayoutSize
                                                          : FeatureExtractor::colourSize,
                                "colour", error))
                return false;
        }
        // The search the options name, as a run that builds its words
        // uses: a record of them then says how every row was made.
        grey.prepareSearch(o.searchChecks);
        colour.prepareSearch(o.searchChecks);
    }

    IndexWriter &writer = r.writer;
    QStringList leftovers;
    if (!shared) {
        if (!writer.begin(o.output, error, &leftovers, r.adding))
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
    const int n = r.n = int(entries.size());
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
    std::vector<int> &status = r.status;
    QStringList &names = r.names, &paths = r.paths;
    status.assign(size_t(n), Pending);
    if (!markPassive(r, error))
        return false;
    for (int i = 0; i < n; ++i) {
        paths << entries[i].path;
        names << listName(entries[i].path, output);
        if (r.adding && r.known.contains(QFileInfo(entries[i].path).canonicalFilePath())) {
            status[size_t(i)] = Skipped;
            if (lead)
                skip(nullptr, QStringLiteral("already in the project"), entries[i].path,
                     QStringLiteral("the project has this image already"), -1);
            continue;
        }
        if (!hasBlank(names.last()) || !lead)
            continue;
        QString linked, e;
        if (writer.linkImage(r.fileOffset + i, entries[i].path, &linked, &e)) {
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
    r.skippedBefore = int(m_skippedLines.size());
    r.problemsBefore = int(m_summary.problems.size());

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
    QByteArray &duplicateText = r.duplicateText;
    for (int g = 0; g < duplicates.size(); ++g) {
        m_summary.duplicateFiles += duplicates[g].size();
        for (int i : duplicates[g])
            duplicateText += QByteArray::number(g + 1) + '\t' + paths[i].toUtf8() + '\n';
    }
    m_summary.duplicateGroups = int(duplicates.size());

    return true;
}

void Indexer::finishImage(IndexRun &r, int i, std::vector<Sift> &kps, const cv::Mat &desc,
                          const cv::Mat &cdesc)
{
    const IndexOptions &o = m_options;
    const Vocabulary &grey = r.grey, &colour = r.colour;
    std::vector<std::vector<int>> &rowWords = r.rowWords;
    IndexWriter &writer = r.writer;
    // Words, keypoint file and word list of one image. With soft words,
    // each record casts votesPerRecord votes (the table is the same up to
    // scale when they all go to one word).
    const int greyWords = r.reuse ? grey.size() : o.words;
    const int soft = std::max(1, o.softWords);
    const int votesPerRecord = soft > 1 ? softVotes : 1;
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
    const QString name = supplementary(r.status[size_t(i)]) ? IndexWriter::supKeypointFileName(r.fileOffset + i)
                                                             : IndexWriter::keypointFileName(i);
    if (!writer.writeKeypointFile(name, kps, &e))
        r.failWrite(e);
}

bool Indexer::describe(IndexRun &r, QString *error)
{
    const IndexOptions &o = m_options;
    IndexDistribution *const shared = r.shared;
    const int n = r.n, jobs = o.jobs;
    const bool reuse = r.reuse;
    const QVector<ImageEntry> &entries = r.collection->entries();
    std::vector<int> &status = r.status;
    IndexWriter &writer = r.writer;
    r.spill = std::make_unique<DescriptorSpill>(writer.stagingPath(IndexWriter::spillFolder));
    r.rowWords.assign(size_t(n), {}); // words of each indexed image
    r.greySample.assign(size_t(n), cv::Mat());
    r.colourSample.assign(size_t(n), cv::Mat());
    for (int w = 0; w < jobs; ++w)
        r.extractors.emplace_back(r.features);
    r.sample = o.sampleSize > 0 ? o.sampleSize : o.words * Vocabulary::samplesPerWord;
    r.colourSampleSize = std::max(o.colourWords, 1) * Vocabulary::samplesPerWord;
    // Twice the share of each image, so that images with fewer descriptors
    // than their share leave room for the others.
    const int keepGrey = std::max(1, int((2.0 * r.sample + n - 1) / n));
    const int keepColour = std::max(1, int((2.0 * r.colourSampleSize + n - 1) / n));

    {
        OpenCvThreads single(0);
        ProgressReporter progress(QStringLiteral("Describing images"), n, o.quiet);
        parallelFor(n, jobs, &progress, [&](int i, int w) {
            if (status[size_t(i)] == Skipped || r.writeFailed || (shared && !shared->owns(i)))
                return;
            ImageFeatures f;
            try {
                f = r.extractors[size_t(w)].extract(entries[i].path);
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
                // One flat colour still has a profile in colour words: it
                // is placed by them, without a say in the axes it would
                // otherwise take (a stack of identical rows).
                if (!o.placeFlat || !f.blankHasColour || f.colourDescriptors.empty() || f.keypoints.empty()) {
                    status[size_t(i)] = Skipped;
                    skip(&progress, QStringLiteral("blank"), entries[i].path, f.reason, i);
                    return;
                }
                status[size_t(i)] = Flat;
                report(&progress,
                       QStringLiteral("blank image '%1' placed as a supplementary image by its colour: %2")
                           .arg(entries[i].path, f.reason),
                       i);
            } else if (f.keypoints.empty()) {
                status[size_t(i)] = Skipped;
                skip(&progress, QStringLiteral("no keypoints"), entries[i].path,
                     QStringLiteral("no keypoint found (a blank or flat image)"), i);
                return;
            } else {
                status[size_t(i)] = r.adding || r.passive[size_t(i)] ? Passive : Indexed;
            }
            if (reuse) {
                finishImage(r, i, f.keypoints, f.descriptors, f.colourDescriptors);
                return;
            }
            QString e;
            if (supplementary(status[size_t(i)])) {
                // Kept out of the vocabulary's sample: the words are the
                // active images' alone.
                if (!r.spill->write(i, f.keypoints, f.descriptors, f.colourDescriptors, &e))
                    r.failWrite(e);
                return;
            }
            r.greySample[size_t(i)] = Vocabulary::sampleRows(f.descriptors, i, keepGrey, o.seed);
            if (!f.colourDescriptors.empty())
                r.colourSample[size_t(i)] = Vocabulary::sampleRows(f.colourDescriptors, i,
                                                                 keepColour, o.seed);
            if (!r.spill->write(i, f.keypoints, f.descriptors, f.colourDescriptors, &e))
                r.failWrite(e);
        });
    }
    if (stopped(writer, error) || r.writesFailed(error))
        return false;
    if (shared) {
        // What the others found: the images' fates, the lines about them
        // in image order, and the vocabulary's samples.
        shared->shareOwned(status);
        shareLines(r.skippedBefore, r.problemsBefore);
        if (!reuse) {
            shared->shareOwned(r.greySample);
            shared->shareOwned(r.colourSample);
        }
    }

    for (int i = 0; i < n; ++i) {
        const int s = status[size_t(i)];
        if (s == Indexed)
            ++m_summary.indexed;
        else if (supplementary(s))
            ++(s == Flat ? m_summary.supplementaryFlat : m_summary.supplementaryPassive);
        else
            ++m_summary.skipped;
    }
    if (r.adding && m_summary.supplementaryFlat + m_summary.supplementaryPassive == 0) {
        *error = QStringLiteral("none of the %1 images could be added (see the reasons above)").arg(n);
        return false;
    }
    if (!r.adding && m_summary.indexed == 0) {
        *error = QStringLiteral("none of the %1 images could be indexed (see the reasons above)").arg(n);
        return false;
    }

    return true;
}

bool Indexer::buildVocabulary(IndexRun &r, QString *error)
{
    const IndexOptions &o = m_options;
    const int jobs = o.jobs;
    {
        OpenCvThreads parallel(jobs);
        if (!o.quiet) {
            qint64 total = 0;
            for (const cv::Mat &d : r.greySample)
                total += d.rows;
            std::printf("Building a vocabulary of %d words from %lld sampled descriptors...\n",
                        o.words, (long long)std::min<qint64>(total, std::max(r.sample, o.words)));
            std::fflush(stdout);
        }
        if (!r.grey.build(r.greySample, o.words, o.seed, r.sample, error, m_communicator))
            return false;
        r.greySample.clear();
        if (r.features.colour) {
            if (!r.colour.build(r.colourSample, o.colourWords, o.seed, r.colourSampleSize, error,
                              m_communicator))
                return false;
            r.colourSample.clear();
        }
    }
    if (stopped(r.writer, error))
        return false;
    return true;
}

bool Indexer::assignWords(IndexRun &r, QString *error)
{
    const IndexOptions &o = m_options;
    IndexDistribution *const shared = r.shared;
    const int n = r.n, jobs = o.jobs;
    r.grey.prepareSearch(o.searchChecks);
    r.colour.prepareSearch(o.searchChecks);
    OpenCvThreads single(0);
    ProgressReporter progress(QStringLiteral("Assigning words"), n, o.quiet);
    parallelFor(n, jobs, &progress, [&](int i, int) {
        const int s = r.status[size_t(i)];
        if ((s != Indexed && !supplementary(s)) || r.writeFailed || (shared && !shared->owns(i)))
            return;
        std::vector<Sift> kps;
        cv::Mat desc, cdesc;
        QString e;
        if (!r.spill->take(i, kps, desc, cdesc, &e)) {
            r.failWrite(e);
            return;
        }
        finishImage(r, i, kps, desc, cdesc);
    });
    if (stopped(r.writer, error) || r.writesFailed(error))
        return false;
    return true;
}

bool Indexer::write(IndexRun &r, QString *error)
{
    const IndexOptions &o = m_options;
    IndexDistribution *const shared = r.shared;
    const bool lead = r.lead;
    const int n = r.n;
    const ImageCollection &collection = *r.collection;
    const QVector<ImageEntry> &entries = collection.entries();
    const std::vector<int> &status = r.status;
    const QStringList &names = r.names;
    std::vector<std::vector<int>> &rowWords = r.rowWords;
    const Vocabulary &grey = r.grey, &colour = r.colour;
    IndexWriter &writer = r.writer;
    const QByteArray &duplicateText = r.duplicateText;
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
    SupplementaryRows sup;
    supplementaryRows(r, cols, sup);
    m_summary.words = cols;
    for (int c = 0; c < cols; ++c) {
        for (int r = 0; r < rows; ++r) {
            if (counts[size_t(r) * size_t(cols) + size_t(c)]) {
                ++m_summary.wordsUsed;
                break;
            }
        }
    }
    tallySkipped();

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

    m_summary.seconds = r.clock.elapsed() / 1000.0;
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
        || !writer.writeFile(IndexWriter::logName, log, error)
        || !writer.writeFile(IndexWriter::optionsName,
                             IndexOptionsRecord::text(o, r.features, grey.size(), colour.size()), error))
        return finish(false);
    if (sup.rows > 0
        && (!writer.writeFile(IndexWriter::supTableName, sup.table(o.counts), error)
            || !writer.writeFile(IndexWriter::supImageListName, sup.imageList(), error)
            || !writer.writeFile(IndexWriter::supKeypointListName, sup.keypointList({}), error)))
        return finish(false);

    // What each word looks like, from the keypoint files just written.
    {
        QStringList stagedKeypoints, images;
        for (int i = 0; i < n; ++i) {
            if (status[size_t(i)] != Indexed)
                continue;
            stagedKeypoints << writer.stagingPath(IndexWriter::keypointFileName(i));
            images << r.paths[i];
        }
        if (!IndexAtlas::write(writer.stagingPath(IndexWriter::atlasName), stagedKeypoints, images,
                               r.reuse ? grey.size() : o.words, colour, error))
            return finish(false);
    }

    QString solveError;
    if (o.solve) {
        m_summary.solved = runSolver(r.solver, writer.stagingPath(IndexWriter::tableName), &solveError,
                                     sup.rows > 0 ? writer.stagingPath(IndexWriter::supTableName) : QString());
        if (m_summary.solved) {
            reportAxisShares(writer.stagingPath(IndexWriter::tableName), grey.size(), colour,
                             listNames);
            m_summary.seconds = r.clock.elapsed() / 1000.0;
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
    m_summary.seconds = r.clock.elapsed() / 1000.0;
    if (o.solve && !m_summary.solved) {
        *error = solveError + QStringLiteral("; the index was written without the results, "
                                             "so the viewer runs the solver when it opens it");
        return finish(false);
    }
    return finish(true);
}
