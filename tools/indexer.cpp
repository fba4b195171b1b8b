#include "tools/indexer.h"

#include "tools/imagecollection.h"
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
            for (int i = next++; i < count; i = next++) {
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

void Indexer::report(ProgressReporter *progress, const QString &line)
{
    {
        std::lock_guard<std::mutex> lock(m_problemMutex);
        m_summary.problems.append(line);
    }
    if (progress)
        progress->problem(line);
    else
        std::fprintf(stderr, "%s\n", qPrintable(line));
}

bool Indexer::run(QString *error)
{
    ImageCollection collection;
    if (!collection.load(m_options.input, m_options.output, error))
        return false;
    return run(collection, error);
}

bool Indexer::run(const ImageCollection &collection, QString *error)
{
    QElapsedTimer clock;
    clock.start();
    m_summary = IndexSummary();
    const IndexOptions &o = m_options;

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

    Vocabulary vocabulary;
    const bool reuse = !o.vocabulary.isEmpty();
    if (reuse) {
        if (!vocabulary.load(o.vocabulary, error))
            return false;
        if (vocabulary.dimension() != KeypointDetector::descriptorSize) {
            *error = QStringLiteral("the vocabulary '%1' holds descriptors of size %2; SIFT "
                                    "descriptors have %3 values")
                         .arg(o.vocabulary).arg(vocabulary.dimension())
                         .arg(KeypointDetector::descriptorSize);
            return false;
        }
    }

    IndexWriter writer;
    if (!writer.begin(o.output, error))
        return false;
    const QString output = writer.outputFolder();

    const QVector<ImageEntry> &entries = collection.entries();
    const int n = int(entries.size());
    m_summary.found = n;
    if (n == 0) {
        *error = QStringLiteral("there is no image to index");
        return false;
    }

    // The image list cannot hold names with blanks: such images are listed
    // under a link with a blank-free name, and the user is told.
    std::vector<int> status(size_t(n), 0); // 0 pending, 1 indexed, -1 skipped
    QStringList names;
    for (int i = 0; i < n; ++i) {
        names << listName(entries[i].path, output);
        if (!hasBlank(names.last()))
            continue;
        QString linked, e;
        if (writer.linkImage(i, entries[i].path, &linked, &e)) {
            names.last() = linked;
            ++m_summary.renamed;
            report(nullptr, QStringLiteral("renamed '%1': listed as '%2', since the image list "
                                           "cannot hold names with blanks")
                                .arg(entries[i].path, linked));
        } else {
            status[size_t(i)] = -1;
            report(nullptr, QStringLiteral("skipped '%1': its name has blanks, which the image "
                                           "list cannot hold, and %2")
                                .arg(entries[i].path, e));
        }
    }

    const int jobs = o.jobs;
    std::vector<std::vector<Sift>> keypoints(static_cast<size_t>(n));
    std::vector<cv::Mat> descriptors(static_cast<size_t>(n));
    std::vector<KeypointDetector> detectors;
    for (int w = 0; w < jobs; ++w)
        detectors.emplace_back(o.maxKeypoints, o.maxSide);
    std::atomic<bool> writeFailed{false};
    QString writeError;
    std::mutex writeErrorMutex;

    // Words, keypoint file and release of the descriptors of one image.
    auto finishImage = [&](int i) {
        std::vector<int> words;
        vocabulary.assign(descriptors[size_t(i)], words);
        std::vector<Sift> &kps = keypoints[size_t(i)];
        for (size_t k = 0; k < kps.size(); ++k)
            kps[k].word = words[k];
        descriptors[size_t(i)].release();
        QString e;
        if (!writer.writeKeypoints(i, kps, &e)) {
            std::lock_guard<std::mutex> lock(writeErrorMutex);
            if (!writeFailed.exchange(true))
                writeError = e;
        }
    };

    {
        OpenCvThreads single(0);
        ProgressReporter progress(QStringLiteral("Detecting keypoints"), n, o.quiet);
        parallelFor(n, jobs, &progress, [&](int i, int w) {
            if (status[size_t(i)] < 0 || writeFailed)
                return;
            QString e;
            if (!detectors[size_t(w)].detect(entries[i].path, keypoints[size_t(i)],
                                             descriptors[size_t(i)], &e)) {
                status[size_t(i)] = -1;
                report(&progress, QStringLiteral("skipped '%1': %2").arg(entries[i].path, e));
                return;
            }
            status[size_t(i)] = 1;
            if (keypoints[size_t(i)].empty())
                report(&progress, QStringLiteral("no keypoint in '%1': kept with an empty "
                                                 "keypoint file")
                                      .arg(entries[i].path));
            if (reuse)
                finishImage(i);
        });
    }
    if (writeFailed) {
        *error = writeError;
        return false;
    }

    for (int i = 0; i < n; ++i) {
        if (status[size_t(i)] > 0)
            ++m_summary.indexed;
        else
            ++m_summary.skipped;
    }
    if (m_summary.indexed == 0) {
        *error = QStringLiteral("none of the %1 images could be read").arg(n);
        return false;
    }

    if (!reuse) {
        qint64 total = 0;
        for (const cv::Mat &d : descriptors)
            total += d.rows;
        const int sample = o.sampleSize > 0 ? o.sampleSize : o.words * Vocabulary::samplesPerWord;
        if (!o.quiet) {
            std::printf("Building a vocabulary of %d words from %lld of %lld descriptors...\n",
                        o.words, (long long)std::min<qint64>(total, std::max(sample, o.words)),
                        (long long)total);
            std::fflush(stdout);
        }
        OpenCvThreads parallel(jobs);
        if (!vocabulary.build(descriptors, o.words, o.seed, sample, error))
            return false;
        OpenCvThreads single(0);
        ProgressReporter progress(QStringLiteral("Assigning words"), n, o.quiet);
        parallelFor(n, jobs, &progress, [&](int i, int) {
            if (status[size_t(i)] > 0 && !writeFailed)
                finishImage(i);
        });
        if (writeFailed) {
            *error = writeError;
            return false;
        }
    }

    // Table, lists and vocabulary, in image-list order.
    const int cols = vocabulary.size();
    const int rows = m_summary.indexed;
    std::vector<int> counts(size_t(rows) * size_t(cols), 0);
    std::vector<int> categories;
    QStringList listNames, keypointFiles;
    int row = 0;
    for (int i = 0; i < n; ++i) {
        if (status[size_t(i)] <= 0)
            continue;
        const std::vector<Sift> &kps = keypoints[size_t(i)];
        if (kps.empty())
            ++m_summary.withoutKeypoints;
        m_summary.keypoints += qint64(kps.size());
        for (const Sift &s : kps)
            ++counts[size_t(row) * size_t(cols) + size_t(s.word)];
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
    if (!writer.writeTable(counts, rows, cols, error)
        || !writer.writeImageList(categories, listNames, error)
        || !writer.writeKeypointList(keypointFiles, error)
        || !writer.writeVocabulary(vocabulary, error))
        return false;

    QString solveError;
    if (o.solve) {
        m_summary.solved = runSolver(solver, writer.stagingPath(IndexWriter::tableName),
                                     &solveError);
    }
    if (!writer.commit(o.axes, m_summary.solved, error))
        return false;
    m_summary.seconds = clock.elapsed() / 1000.0;
    if (o.solve && !m_summary.solved) {
        *error = solveError + QStringLiteral("; the index was written without the results, "
                                             "so the viewer runs the solver when it opens it");
        return false;
    }
    return true;
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

QString Indexer::summaryText() const
{
    const IndexSummary &s = m_summary;
    QString text = QStringLiteral("Indexed %1 of %2 images (%3 skipped, %4 without keypoints), "
                                  "%5 keypoints, %6 of %7 words used, %8 s")
                       .arg(s.indexed).arg(s.found).arg(s.skipped).arg(s.withoutKeypoints)
                       .arg(s.keypoints).arg(s.wordsUsed).arg(s.words)
                       .arg(s.seconds, 0, 'f', 1);
    if (s.renamed)
        text += QStringLiteral(", %1 listed under blank-free links").arg(s.renamed);
    if (s.solved)
        text += QStringLiteral("; solved");
    return text;
}
