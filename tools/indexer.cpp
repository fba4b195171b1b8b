#include "tools/indexer.h"

#include "tools/axisreport.h"
#include "tools/descriptorspill.h"
#include "tools/duplicatefinder.h"
#include "tools/imagecollection.h"
#include "tools/indexdistribution.h"
#include "tools/indexrun.h"
#include "tools/indexwriter.h"
#include "tools/keypointdetector.h"
#include "tools/progressreporter.h"
#include "tools/vocabulary.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <opencv2/core.hpp>

#include <atomic>
#include <chrono>
#include <thread>


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

QString Indexer::skippedLine(const QString &kind, const QString &path, const QString &reason)
{
    // A decoder's message may run over several lines or hold tabs; folded,
    // it stays one line of three fields.
    return kind + QLatin1Char('\t') + path + QLatin1Char('\t') + reason.simplified();
}

void Indexer::skip(ProgressReporter *progress, const QString &kind, const QString &path,
                   const QString &reason, int image)
{
    {
        std::lock_guard<std::mutex> lock(m_problemMutex);
        m_skippedLines.append(skippedLine(kind, path, reason));
        m_skippedImages.push_back(image);
    }
    const QString why = reason.simplified();
    QString line;
    if (kind == QLatin1String("no keypoints"))
        line = QStringLiteral("no keypoint in '%1': left out of the table").arg(path);
    else if (kind == QLatin1String("blank"))
        line = QStringLiteral("blank image '%1' left out of the table: %2").arg(path, why);
    else
        line = QStringLiteral("skipped '%1': %2").arg(path, why);
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

void Indexer::startRun(IndexRun &r, const ImageCollection &collection)
{
    r.clock.start();
    m_summary = IndexSummary();
    m_skippedLines.clear();
    m_skippedImages.clear();
    m_problemImages.clear();
    r.collection = &collection;
}

// The summary's counts of skipped images, by the kind each skipped line
// starts with.
void Indexer::tallySkipped()
{
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
        } else if (kind == QLatin1String("already in the project")) ++m_summary.alreadyThere;
        else if (kind == QLatin1String("name with blanks")) ++m_summary.refusedNames;
    }
}

bool Indexer::run(const ImageCollection &collection, QString *error)
{
    IndexRun r;
    startRun(r, collection);
    // Shared among processes: the lead alone writes the index's own files.
    r.shared = m_distribution.get();
    r.lead = !r.shared || r.shared->lead();
    // The same phases for one process and for every process of a job; what
    // the processes share happens inside them.
    if (!collect(r, error) || !describe(r, error))
        return false;
    if (!r.reuse && (!buildVocabulary(r, error) || !assignWords(r, error)))
        return false;
    return write(r, error);
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

bool Indexer::runSolver(const QString &solver, const QString &table, QString *error,
                        const QString &supplementary)
{
    if (!m_options.quiet) {
        std::printf("Running the solver on %d x %d table...\n", m_summary.indexed, m_summary.words);
        std::fflush(stdout);
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setWorkingDirectory(QFileInfo(table).absolutePath());
    QStringList arguments = {QStringLiteral("-k"), QString::number(m_options.axes)};
    if (!supplementary.isEmpty())
        arguments << QStringLiteral("--supplementary") << supplementary;
    process.start(solver, arguments << table << table);
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
    add(s.alreadyThere, "already in the project");
    add(s.notPlaced, "supplementary without any word");
    if (!m_options.addTo.isEmpty()) {
        QString text = QStringLiteral("Added %1 of %2 images to '%3' as supplementary images (%4 skipped%5), "
                                      "%6 keypoints, %7 s")
                           .arg(s.supplementary).arg(s.found).arg(m_options.addTo).arg(s.skipped + s.notPlaced)
                           .arg(reasons.isEmpty() ? QString() : QStringLiteral(": ") + reasons.join(QStringLiteral(", ")))
                           .arg(s.keypoints).arg(s.seconds, 0, 'f', 1);
        if (s.skipped || s.passedOver || s.notPlaced)
            text += QStringLiteral("; see %1").arg(IndexWriter::supSkippedName);
        if (s.supplementaryFlat)
            text += QStringLiteral("; %1 of them blank of one flat colour, placed by their colour").arg(s.supplementaryFlat);
        return text;
    }
    QString placed;
    if (s.supplementary) {
        QStringList kinds;
        if (s.supplementaryFlat)
            kinds << QStringLiteral("%1 blank of one flat colour").arg(s.supplementaryFlat);
        if (s.supplementaryPassive)
            kinds << QStringLiteral("%1 passive").arg(s.supplementaryPassive);
        placed = QStringLiteral("%1 placed as supplementary images (%2); ")
                     .arg(s.supplementary).arg(kinds.join(QStringLiteral(", ")));
    }
    QString text = QStringLiteral("Indexed %1 of %2 images (%3%4 skipped%5), %6 keypoints, "
                                  "%7 of %8 words used, %9 s")
                       .arg(s.indexed).arg(s.found).arg(placed).arg(s.skipped + s.notPlaced)
                       .arg(reasons.isEmpty() ? QString() : QStringLiteral(": ") + reasons.join(QStringLiteral(", ")))
                       .arg(s.keypoints).arg(s.wordsUsed).arg(s.words)
                       .arg(s.seconds, 0, 'f', 1);
    if (s.skipped || s.passedOver || s.notPlaced)
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
