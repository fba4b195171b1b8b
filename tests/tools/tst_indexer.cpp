// Indexing runs on a tiny generated collection: the table against the
// keypoint files, reuse of a vocabulary, bad images, determinism, and the
// failures that must leave no project behind.
#include "data/model/sift.h"
#include "data/formats/wordatlas.h"
#include "tools/democollection.h"
#include "tools/imagecollection.h"
#include "tools/indexer.h"
#include "tools/indexwriter.h"
#include "tools/vocabulary.h"

#include "tests/filesizelimit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <csignal>

#include <sys/stat.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QByteArray> tokens(const QString &path)
{
    return readAll(path).simplified().split(' ');
}

std::vector<Sift> readKeypoints(const QString &path)
{
    const QByteArray bytes = readAll(path);
    std::vector<Sift> out;
    for (int i = 0; i + 32 <= bytes.size(); i += 32)
        out.push_back(Sift::fromLittleEndian(reinterpret_cast<const uchar *>(bytes.constData() + i)));
    return out;
}

// Twelve 128-pixel images in six category folders.
void drawCollection(const QString &folder)
{
    DemoCollection demo(2, 128, 7);
    QString error;
    QVERIFY2(demo.write(folder, 2, &error), qPrintable(error));
}

IndexOptions smallOptions(const QString &input, const QString &output)
{
    IndexOptions o;
    o.input = input;
    o.output = output;
    o.words = 12;
    o.maxKeypoints = 40;
    o.gridStep = 0; // detected keypoints only, unless a test asks for the grid
    o.workSide = 0; // the images at the size drawn, and plain counts, likewise
    o.counts = TableCounts::Raw;
    o.colourWords = 0;
    o.jobs = 2;
    o.quiet = true;
    return o;
}

} // namespace

class TestIndexer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void tableMatchesKeypointFiles_data();
    void tableMatchesKeypointFiles();
    void wordAtlasHasEveryWord_data();
    void wordAtlasHasEveryWord();
    void categoriesFollowFolderNames();
    void reusedVocabularyGivesSameWords();
    void badImagesAreReportedAndSkipped();
    void featurelessImagesKeptWithTheGrid();
    void sameSeedSameOutput();
    void listFileInput();
    void indexIntoTheImageFolder();
    void failures_data();
    void failures();
    void failedRunKeepsEarlierIndex();
    void solverResultsJoinTheProject();
    void vocabularyRoundTrip();
    void failedWritesAreReported();
    void demoIsReproducible();
    void everyFileIndexedOrListed();
    void outputFolderErrorSaysWhy();
    void fifosAreRefusedNotWaitedFor();
    void interruptedRunLeavesEarlierIndex_data();
    void interruptedRunLeavesEarlierIndex();
    void interruptDuringSolverIsNotSolved();
    void skippedLineIsOneRecord_data();
    void skippedLineIsOneRecord();

private:
    QTemporaryDir m_dir;
    QString m_images;
};

void TestIndexer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_images = m_dir.filePath("images");
    drawCollection(m_images);
}

void TestIndexer::tableMatchesKeypointFiles_data()
{
    QTest::addColumn<int>("grid");
    QTest::addColumn<int>("colourWords");
    QTest::addColumn<int>("workSide");
    QTest::addColumn<int>("counts");
    const int raw = int(TableCounts::Raw);
    QTest::newRow("detected keypoints") << 0 << 0 << 0 << raw;
    // Grid keypoints follow the detected ones; each keypoint's colour word
    // is one more record of the same region, in columns after the grey words.
    QTest::newRow("grid and colour words") << 16 << 5 << 0 << raw;
    // Described enlarged, the keypoints still lie in the file's pixels; the
    // table holds the square roots of the counts.
    QTest::newRow("enlarged, square roots") << 16 << 0 << 300 << int(TableCounts::Sqrt);
    QTest::newRow("presence") << 0 << 0 << 0 << int(TableCounts::Presence);
}

void TestIndexer::tableMatchesKeypointFiles()
{
    QFETCH(int, grid);
    QFETCH(int, colourWords);
    QFETCH(int, workSide);
    QFETCH(int, counts);
    const QString out = m_dir.filePath(QStringLiteral("out-table-%1").arg(QTest::currentDataTag()));
    IndexOptions o = smallOptions(m_images, out);
    o.gridStep = grid;
    o.colourWords = colourWords;
    o.workSide = workSide;
    o.counts = TableCounts(counts);
    Indexer indexer(o);
    QString error;
    QVERIFY2(indexer.run(&error), qPrintable(error));
    QCOMPARE(indexer.summary().indexed, 12);
    const int cols = 12 + colourWords;

    const QList<QByteArray> table = tokens(out + "/table.txt");
    QCOMPARE(table[0].toInt(), 12);
    QCOMPARE(table[1].toInt(), cols);
    QCOMPARE(table.size(), 2 + 12 * cols);
    const QList<QByteArray> list = tokens(out + "/keypoints.txt");
    QCOMPARE(list[0].toInt(), 12);
    qint64 total = 0;
    for (int r = 0; r < 12; ++r) {
        const std::vector<Sift> kps = readKeypoints(out + "/" + QString::fromUtf8(list[1 + r]));
        std::vector<int> counted(size_t(cols), 0);
        for (size_t k = 0; k < kps.size(); ++k) {
            QCOMPARE(kps[k].id, int(k));
            QVERIFY(kps[k].word >= 0 && kps[k].word < cols);
            ++counted[size_t(kps[k].word)];
            QVERIFY(kps[k].x >= 0 && kps[k].x < 128 && kps[k].y >= 0 && kps[k].y < 128);
        }
        int rowSum = 0;
        for (int c = 0; c < cols; ++c) {
            const double cell = table[2 + r * cols + c].toDouble();
            const int n = counted[size_t(c)];
            const double expected = counts == int(TableCounts::Sqrt)       ? std::sqrt(double(n))
                                    : counts == int(TableCounts::Presence) ? (n > 0 ? 1.0 : 0.0)
                                                                           : double(n);
            QVERIFY2(std::abs(cell - expected) <= 1e-6 * std::max(1.0, expected),
                     qPrintable(QStringLiteral("row %1 word %2: %3 for %4 keypoints")
                                    .arg(r).arg(c).arg(cell).arg(n)));
            rowSum += n;
        }
        QCOMPARE(rowSum, int(kps.size()));
        if (colourWords) {
            // As many colour records as grey ones, each on its grey twin.
            const size_t half = kps.size() / 2;
            QCOMPARE(kps.size(), 2 * half);
            for (size_t k = 0; k < half; ++k) {
                QVERIFY(kps[k].word < 12 && kps[half + k].word >= 12);
                QCOMPARE(kps[half + k].x, kps[k].x);
                QCOMPARE(kps[half + k].a11, kps[k].a11);
            }
            QVERIFY(half > 40); // the grid adds to the 40 detected keypoints
        } else if (grid == 0) {
            QVERIFY(kps.size() <= 40);
        }
        total += rowSum;
    }
    QCOMPARE(total, indexer.summary().keypoints);
    if (colourWords) {
        QVERIFY(QFileInfo::exists(out + "/vocabulary-colour.txt"));
        // Reused, the pair gives the same words again.
        IndexOptions again = smallOptions(m_images, out + "-again");
        again.vocabulary = out + "/vocabulary.txt";
        again.gridStep = grid;
        QVERIFY2(Indexer(again).run(&error), qPrintable(error));
        QCOMPARE(readAll(out + "-again/table.txt"), readAll(out + "/table.txt"));
        return;
    }

    const QByteArray project = readAll(out + "/project.xml");
    QVERIFY(project.contains("name='F' path='table.txt'"));
    QVERIFY(project.contains("name='LABEL' path='images.txt'"));
    QVERIFY(project.contains("name='DESCRIPTOR' path='keypoints.txt'"));
    QVERIFY(project.contains("name='CATEGORIES' path='categories.txt'"));
    QVERIFY(project.contains("<AXIS number='10'/>"));
    QVERIFY(!project.contains("name='Z'"));
    // The index and its lists, and nothing of the staging folder.
    QCOMPARE(QDir(out).entryList(QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Files),
             QStringList({"categories.txt", "images.txt", "index-options.txt", "index.log", "keypoints",
                          "keypoints.txt", "project.xml", "skipped.txt", "table.txt", "vocabulary.txt",
                          "words.atlas"}));
}

void TestIndexer::wordAtlasHasEveryWord_data()
{
    QTest::addColumn<int>("colourWords");
    QTest::newRow("grey words") << 0;
    QTest::newRow("grey and colour words") << 5;
}

void TestIndexer::wordAtlasHasEveryWord()
{
    QFETCH(int, colourWords);
    const QString out = m_dir.filePath(QStringLiteral("out-atlas-%1").arg(colourWords));
    IndexOptions o = smallOptions(m_images, out);
    o.gridStep = 16;
    o.colourWords = colourWords;
    QString error;
    QVERIFY2(Indexer(o).run(&error), qPrintable(error));
    QVERIFY(readAll(out + "/project.xml").contains("name='WORDATLAS' path='words.atlas'"));

    // The words the keypoint files hold, each with its largest region.
    const QList<QByteArray> list = tokens(out + "/keypoints.txt");
    QSet<int> words;
    for (int r = 0; r < list[0].toInt(); ++r)
        for (const Sift &k : readKeypoints(out + "/" + QString::fromUtf8(list[1 + r])))
            words.insert(k.word);
    QVERIFY(words.size() >= 6);

    WordAtlas atlas;
    QVERIFY2(atlas.open(out + "/words.atlas", &error), qPrintable(error));
    QCOMPARE(atlas.count(), words.size());
    Vocabulary colour;
    if (colourWords)
        QVERIFY2(colour.load(out + "/vocabulary-colour.txt", &error), qPrintable(error));
    int swatches = 0;
    for (int word : std::as_const(words)) {
        QVERIFY(atlas.contains(word));
        const QImage mosaic = atlas.mosaic(word);
        QVERIFY(!mosaic.isNull());
        QVERIFY(mosaic.width() >= 24 && mosaic.height() >= 24);
        if (word < 12)
            continue;
        // The bottom-right cell of a colour word is its colour: four
        // quarters, each the centre's L*a*b* in RGB.
        const int c = word - 12;
        cv::Mat lab(1, 4, CV_8UC3), rgb;
        for (int q = 0; q < 4; ++q)
            for (int k = 0; k < 3; ++k)
                lab.at<cv::Vec3b>(0, q)[k] = cv::saturate_cast<uchar>(colour.centres().at<float>(c, 3 * q + k));
        cv::cvtColor(lab, rgb, cv::COLOR_Lab2RGB);
        for (int q = 0; q < 4; ++q) {
            const QColor got = mosaic.pixelColor(mosaic.width() - 28 + (q % 2) * 14 + 7,
                                                 mosaic.height() - 28 + (q / 2) * 14 + 7);
            const cv::Vec3b want = rgb.at<cv::Vec3b>(0, q);
            QVERIFY2(std::abs(got.red() - want[0]) + std::abs(got.green() - want[1])
                         + std::abs(got.blue() - want[2]) <= 30,
                     qPrintable(QStringLiteral("word %1 quarter %2").arg(word).arg(q)));
        }
        ++swatches;
    }
    QCOMPARE(swatches > 0, colourWords > 0);
    // A few kilobytes per word.
    QVERIFY(QFileInfo(out + "/words.atlas").size() <= qint64(words.size()) * 6 * 1024);
}

void TestIndexer::categoriesFollowFolderNames()
{
    QTemporaryDir dir;
    const QImage img = DemoCollection(1, 64, 1).draw(0);
    QVERIFY(QDir().mkpath(dir.filePath("zebra/deeper")));
    QVERIFY(QDir().mkpath(dir.filePath("Apple")));
    QVERIFY(QDir().mkpath(dir.filePath("mango")));
    QVERIFY(img.save(dir.filePath("zebra/deeper/z.png")));
    QVERIFY(img.save(dir.filePath("Apple/a.png")));
    QVERIFY(img.save(dir.filePath("mango/m.jpg")));
    QVERIFY(img.save(dir.filePath("root.png")));
    QFile note(dir.filePath("mango/notes.txt"));
    QVERIFY(note.open(QIODevice::WriteOnly));
    note.close();
    QVERIFY(QDir().mkpath(dir.filePath("out")));
    QVERIFY(img.save(dir.filePath("out/old.png"))); // the output folder is not a category
    // A link back up the tree must not send the scan round in circles.
    QVERIFY(QFile::link(dir.filePath("zebra"), dir.filePath("zebra/deeper/loop")));

    ImageCollection c;
    QString error;
    QVERIFY2(c.load(dir.path(), dir.filePath("out"), &error), qPrintable(error));
    QCOMPARE(c.entries().size(), 4);
    QCOMPARE(QFileInfo(c.entries()[0].path).fileName(), QString("root.png"));
    QCOMPARE(c.entries()[0].category, 0);
    QCOMPARE(QFileInfo(c.entries()[1].path).fileName(), QString("a.png"));
    QCOMPARE(c.entries()[1].category, 1);
    QCOMPARE(QFileInfo(c.entries()[2].path).fileName(), QString("m.jpg"));
    QCOMPARE(c.entries()[2].category, 2);
    QCOMPARE(QFileInfo(c.entries()[3].path).fileName(), QString("z.png"));
    QCOMPARE(c.entries()[3].category, 3);
}

void TestIndexer::reusedVocabularyGivesSameWords()
{
    const QString first = m_dir.filePath("out-vocab-a");
    const QString second = m_dir.filePath("out-vocab-b");
    QString error;
    Indexer a(smallOptions(m_images, first));
    QVERIFY2(a.run(&error), qPrintable(error));

    // Kept elsewhere, so that the second run cannot just find it in place.
    QVERIFY(QFile::copy(first + "/vocabulary.txt", m_dir.filePath("words.txt")));
    IndexOptions o = smallOptions(m_images, second);
    o.vocabulary = m_dir.filePath("words.txt");
    o.words = 3; // ignored: the vocabulary decides
    o.seed = 99;
    Indexer b(o);
    QVERIFY2(b.run(&error), qPrintable(error));
    QCOMPARE(b.summary().words, 12);
    QCOMPARE(readAll(second + "/table.txt"), readAll(first + "/table.txt"));
    for (int i = 0; i < 12; ++i) {
        const QString name = IndexWriter::keypointFileName(i);
        QCOMPARE(readAll(second + "/" + name), readAll(first + "/" + name));
    }
}

void TestIndexer::badImagesAreReportedAndSkipped()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("in/cat")));
    const QImage good = DemoCollection(1, 128, 3).draw(0);
    QVERIFY(good.save(dir.filePath("in/cat/a-good.png")));
    QVERIFY(good.save(dir.filePath("in/cat/d-good.png")));
    QFile broken(dir.filePath("in/cat/b-broken.png"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("\x89PNG\r\n\x1a\n this is not the rest of a png file");
    broken.close();
    QImage flat(64, 64, QImage::Format_RGB32);
    flat.fill(Qt::gray);
    QVERIFY(flat.save(dir.filePath("in/cat/c-flat.png")));
    QVERIFY(good.save(dir.filePath("in/cat/e good.png")));

    const QString out = dir.filePath("out");
    IndexOptions o = smallOptions(dir.filePath("in"), out);
    o.words = 4;
    Indexer indexer(o);
    QString error;
    QVERIFY2(indexer.run(&error), qPrintable(error));
    const IndexSummary &s = indexer.summary();
    QCOMPARE(s.found, 5);
    QCOMPARE(s.skipped, 2);
    QCOMPARE(s.unreadable, 1);
    QCOMPARE(s.indexed, 3);
    QCOMPARE(s.renamed, 1);
    QCOMPARE(s.blank, 1);
    QCOMPARE(s.withoutKeypoints, 0);
    QCOMPARE(s.problems.size(), 3);
    QVERIFY(s.problems.filter("b-broken.png").size() == 1);
    QVERIFY(s.problems.filter("c-flat.png").size() == 1);
    QVERIFY(s.problems.filter("e good.png").size() == 1);

    const QList<QByteArray> list = readAll(out + "/images.txt").split('\n');
    QCOMPARE(list.size(), 4); // three lines and the final newline
    QCOMPARE(list[0], QByteArray("1 ../in/cat/a-good.png"));
    QCOMPARE(list[1], QByteArray("1 ../in/cat/d-good.png"));
    // The blank-free name leads to the image.
    QCOMPARE(list[2], QByteArray("1 linked/000004-e_good.png"));
    QCOMPARE(QImage(out + "/linked/000004-e_good.png"), QImage(dir.filePath("in/cat/e good.png")));

    // The flat image has nothing to describe: it is left out of the table
    // and the keypoint list, and listed with its reason instead.
    const QList<QByteArray> kp = tokens(out + "/keypoints.txt");
    QCOMPARE(kp[0].toInt(), 3);
    const QList<QByteArray> table = tokens(out + "/table.txt");
    QCOMPARE(table[0].toInt(), 3);
    for (int r = 0; r < 3; ++r) {
        int sum = 0;
        for (int c = 0; c < 4; ++c)
            sum += table[2 + 4 * r + c].toInt();
        QVERIFY(sum > 0);
    }
    const QByteArray skipped = readAll(out + "/skipped.txt");
    QVERIFY(skipped.contains("blank\t" + dir.filePath("in/cat/c-flat.png").toUtf8()));
    QVERIFY(skipped.contains("unreadable\t" + dir.filePath("in/cat/b-broken.png").toUtf8()));
}

void TestIndexer::featurelessImagesKeptWithTheGrid()
{
    // Smooth gradients have neither blobs nor a patch that is not blank;
    // with the grid on they are still described, and so kept. A single flat
    // colour shows nothing at all: it is listed as blank.
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("in/a")));
    QVERIFY(DemoCollection(1, 128, 3).draw(0).save(dir.filePath("in/a/drawing.png")));
    QImage flat(64, 64, QImage::Format_RGB32);
    flat.fill(QColor(200, 40, 40));
    QVERIFY(flat.save(dir.filePath("in/a/flat.png")));
    // A quarter of a grey level per pixel: no 16-pixel patch of it varies.
    QImage gradient(400, 90, QImage::Format_RGB32);
    for (int x = 0; x < gradient.width(); ++x)
        for (int y = 0; y < gradient.height(); ++y)
            gradient.setPixel(x, y, qRgb(x / 4, x / 4, 255 - x / 4));
    QVERIFY(gradient.save(dir.filePath("in/a/gradient.png")));
    QImage small(20, 17, QImage::Format_RGB32);
    small.fill(Qt::white);
    QVERIFY(small.save(dir.filePath("in/a/small.png")));

    const QString out = dir.filePath("out");
    IndexOptions o = smallOptions(dir.filePath("in"), out);
    o.words = 3;
    o.colourWords = 4;
    o.gridStep = 16;
    // Listed rather than placed by their colour words (the default).
    o.placeFlat = false;
    Indexer indexer(o);
    QString error;
    QVERIFY2(indexer.run(&error), qPrintable(error));
    QCOMPARE(indexer.summary().found, 4);
    QCOMPARE(indexer.summary().indexed, 2);
    QCOMPARE(indexer.summary().withoutKeypoints, 0);
    QCOMPARE(indexer.summary().blank, 2);
    QCOMPARE(indexer.summary().blankWithColour, 2);
    QStringList skipped = QString::fromUtf8(readAll(out + "/skipped.txt")).split('\n', Qt::SkipEmptyParts);
    skipped.sort();
    QCOMPARE(skipped, QStringList({"blank\t" + dir.filePath("in/a/flat.png")
                                       + "\ta single flat colour (#c82828): nothing is drawn on it",
                                   "blank\t" + dir.filePath("in/a/small.png")
                                       + "\ta single flat colour (#ffffff): nothing is drawn on it"}));
    const QList<QByteArray> table = tokens(out + "/table.txt");
    QCOMPARE(table[0].toInt(), 2);
    QCOMPARE(table[1].toInt(), 7);
    for (int r = 0; r < 2; ++r) {
        double sum = 0;
        for (int c = 0; c < 7; ++c)
            sum += table[2 + 7 * r + c].toDouble();
        QVERIFY2(sum > 0, qPrintable(QStringLiteral("row %1 is empty").arg(r)));
    }
    // Blank patches alike in grey would be words of these images alone;
    // they are described by their colours, and the drawing by both.
    const QList<QByteArray> list = tokens(out + "/keypoints.txt");
    for (int r = 0; r < 2; ++r) {
        const std::vector<Sift> kps = readKeypoints(out + "/" + QString::fromUtf8(list[1 + r]));
        QVERIFY(!kps.empty());
        int colourRecords = 0;
        for (const Sift &k : kps)
            colourRecords += k.word >= o.words ? 1 : 0;
        if (r == 0)
            QCOMPARE(2 * colourRecords, int(kps.size()));
        else
            QVERIFY2(colourRecords == int(kps.size()),
                     qPrintable(QStringLiteral("row %1: %2 of %3 records are colour words")
                                    .arg(r).arg(colourRecords).arg(kps.size())));
    }
}

void TestIndexer::sameSeedSameOutput()
{
    // One worker against two: scheduling must not show in the result.
    IndexOptions o1 = smallOptions(m_images, m_dir.filePath("out-seed-1"));
    o1.jobs = 1;
    o1.seed = 5;
    IndexOptions o2 = smallOptions(m_images, m_dir.filePath("out-seed-2"));
    o2.jobs = 2;
    o2.seed = 5;
    QString error;
    Indexer a(o1), b(o2);
    QVERIFY2(a.run(&error), qPrintable(error));
    QVERIFY2(b.run(&error), qPrintable(error));
    for (const QString &name : {QString("table.txt"), QString("vocabulary.txt"),
                                QString("images.txt"), QString("keypoints.txt"),
                                IndexWriter::keypointFileName(0), IndexWriter::keypointFileName(11)}) {
        const QByteArray x = readAll(o1.output + "/" + name);
        QVERIFY2(!x.isEmpty(), qPrintable(name));
        QVERIFY2(x == readAll(o2.output + "/" + name), qPrintable(name));
    }

    // Another seed draws another vocabulary.
    IndexOptions o3 = smallOptions(m_images, m_dir.filePath("out-seed-3"));
    o3.seed = 6;
    Indexer c(o3);
    QVERIFY2(c.run(&error), qPrintable(error));
    QVERIFY(readAll(o3.output + "/vocabulary.txt") != readAll(o1.output + "/vocabulary.txt"));
}

void TestIndexer::listFileInput()
{
    QTemporaryDir dir;
    QFile list(dir.filePath("list.txt"));
    QVERIFY(list.open(QIODevice::WriteOnly));
    const QString rel = QDir(dir.path()).relativeFilePath(m_images);
    list.write(("# two images\n4 " + rel + "/3-dots/dots-000.png\n\n9 " + m_images
                + "/5-stars/stars-001.png\n").toUtf8());
    list.close();
    IndexOptions o = smallOptions(list.fileName(), dir.filePath("out"));
    o.words = 2;
    Indexer indexer(o);
    QString error;
    QVERIFY2(indexer.run(&error), qPrintable(error));
    const QList<QByteArray> labels = tokens(dir.filePath("out/images.txt"));
    QCOMPARE(labels.size(), 4);
    QCOMPARE(labels[0], QByteArray("4"));
    QVERIFY(labels[1].endsWith("dots-000.png"));
    QCOMPARE(labels[2], QByteArray("9"));

    QVERIFY(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
    list.write("4 a.png\nnot-a-number b.png\n");
    list.close();
    QVERIFY(!Indexer(o).run(&error));
    QVERIFY2(error.contains("list.txt:2"), qPrintable(error));
}

void TestIndexer::indexIntoTheImageFolder()
{
    // Run twice in place: the second run must not take the first one's
    // keypoints or links for a category of images.
    QTemporaryDir dir;
    QString error;
    QVERIFY(DemoCollection(1, 128, 4).write(dir.path(), 2, &error));
    QVERIFY(DemoCollection(1, 128, 4).draw(0).save(dir.filePath("1-stripes/with blank.png")));
    IndexOptions o = smallOptions(dir.path(), dir.path());
    o.words = 4;
    QVERIFY2(Indexer(o).run(&error), qPrintable(error));
    const QByteArray labels = readAll(dir.filePath("images.txt"));
    const QByteArray table = readAll(dir.filePath("table.txt"));
    QVERIFY(labels.startsWith("1 1-stripes/"));
    QVERIFY(QFileInfo::exists(dir.filePath("linked")));

    Indexer again(o);
    QVERIFY2(again.run(&error), qPrintable(error));
    QCOMPARE(again.summary().found, 7);
    QCOMPARE(readAll(dir.filePath("images.txt")), labels);
    QCOMPARE(readAll(dir.filePath("table.txt")), table);
}

void TestIndexer::failures_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty folder") << "empty" << "no image file";
    QTest::newRow("missing input") << "missing" << "does not exist";
    QTest::newRow("output is a file") << "output-file" << "is a file";
    QTest::newRow("wrong descriptor size") << "vocabulary-64" << "descriptors of size 64";
    QTest::newRow("not a vocabulary") << "vocabulary-garbage" << "not a vocabulary file";
    QTest::newRow("more words than keypoints") << "too-many-words" << "fewer than the";
    QTest::newRow("missing solver") << "no-solver" << "missing or not executable";
}

void TestIndexer::failures()
{
    QFETCH(QString, setup);
    QFETCH(QString, message);
    QTemporaryDir dir;
    IndexOptions o = smallOptions(m_images, dir.filePath("out"));
    if (setup == "empty") {
        QVERIFY(QDir().mkpath(dir.filePath("empty/sub")));
        o.input = dir.filePath("empty");
    } else if (setup == "missing") {
        o.input = dir.filePath("nowhere");
    } else if (setup == "output-file") {
        QFile f(o.output);
        QVERIFY(f.open(QIODevice::WriteOnly));
    } else if (setup.startsWith("vocabulary")) {
        QFile f(dir.filePath("v.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (setup == "vocabulary-64") {
            f.write("ortelis-vocabulary 1\n2 64\n");
            for (int i = 0; i < 128; ++i)
                f.write("0.5 ");
        } else {
            f.write("words\n");
        }
        f.close();
        o.vocabulary = f.fileName();
    } else if (setup == "too-many-words") {
        o.words = 100000;
    } else if (setup == "no-solver") {
        o.solve = true;
        o.solver = dir.filePath("ca.exe");
    }
    Indexer indexer(o);
    QString error;
    QVERIFY(!indexer.run(&error));
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(!QFileInfo::exists(dir.filePath("out/project.xml")));
    QVERIFY(!QFileInfo::exists(dir.filePath("out/table.txt")));
}

void TestIndexer::failedRunKeepsEarlierIndex()
{
    QTemporaryDir dir;
    IndexOptions o = smallOptions(m_images, dir.filePath("out"));
    QString error;
    QVERIFY2(Indexer(o).run(&error), qPrintable(error));
    const QByteArray table = readAll(dir.filePath("out/table.txt"));
    const QByteArray project = readAll(dir.filePath("out/project.xml"));

    o.words = 100000; // fails after the detection, while files are being made
    QVERIFY(!Indexer(o).run(&error));
    QCOMPARE(readAll(dir.filePath("out/table.txt")), table);
    QCOMPARE(readAll(dir.filePath("out/project.xml")), project);
    QCOMPARE(QDir(dir.filePath("out")).entryList(QDir::Hidden | QDir::AllEntries | QDir::NoDotAndDotDot).size(), 11);
}

void TestIndexer::solverResultsJoinTheProject()
{
    QTemporaryDir dir;
    // A stand-in solver: checks its arguments, leaves the five result files.
    const QString solver = dir.filePath("fake-ca.sh");
    QFile script(solver);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n[ \"$1\" = -k ] && [ \"$2\" = 4 ] && [ \"$3\" = \"$4\" ] || exit 3\n"
                 "for s in Z W P Q Lambda; do echo 1 1 0.5 > \"$3_$s.txt\"; done\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    IndexOptions o = smallOptions(m_images, dir.filePath("out"));
    o.solve = true;
    o.solver = solver;
    o.axes = 4;
    Indexer indexer(o);
    QString error;
    QVERIFY2(indexer.run(&error), qPrintable(error));
    QVERIFY(indexer.summary().solved);
    const QByteArray project = readAll(dir.filePath("out/project.xml"));
    for (const char *key : {"Z", "W", "P", "Q", "LAMBDA"})
        QVERIFY2(project.contains(QByteArray("name='") + key + "'"), key);
    QVERIFY(project.contains("path='table.txt_Lambda.txt'"));
    QVERIFY(QFileInfo::exists(dir.filePath("out/table.txt_Z.txt")));

    // A solver that fails: the index is still written, naming the table only,
    // the old results are gone, and the run reports the failure.
    QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
    script.write("#!/bin/sh\nexit 1\n");
    script.close();
    QVERIFY(!Indexer(o).run(&error));
    QVERIFY2(error.contains("failed"), qPrintable(error));
    QVERIFY(!readAll(dir.filePath("out/project.xml")).contains("name='Z'"));
    QVERIFY(!QFileInfo::exists(dir.filePath("out/table.txt_Z.txt")));
}

void TestIndexer::vocabularyRoundTrip()
{
    cv::Mat centres(3, 128, CV_32F);
    cv::randu(centres, -1000.0f, 1000.0f);
    centres.at<float>(1, 5) = 1.0f / 3.0f;
    Vocabulary v;
    v.setCentres(centres);
    QTemporaryDir dir;
    QString error;
    QVERIFY2(v.save(dir.filePath("v.txt"), &error), qPrintable(error));
    Vocabulary w;
    QVERIFY2(w.load(dir.filePath("v.txt"), &error), qPrintable(error));
    QCOMPARE(w.size(), 3);
    QCOMPARE(w.dimension(), 128);
    QCOMPARE(cv::norm(w.centres(), centres, cv::NORM_INF), 0.0);

    QFile f(dir.filePath("v.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Append));
    f.write("12\n"); // one value too many
    f.close();
    QVERIFY(!w.load(dir.filePath("v.txt"), &error));
    QVERIFY2(error.contains("385 values found"), qPrintable(error));
}

void TestIndexer::failedWritesAreReported()
{
    cv::Mat centres(20, 128, CV_32F);
    cv::randu(centres, -1000.0f, 1000.0f);
    Vocabulary v;
    v.setCentres(centres);
    QTemporaryDir dir;
    QString error;

    IndexWriter writer;
    QVERIFY2(writer.begin(dir.filePath("out"), &error), qPrintable(error));
    QVERIFY2(writer.writeTable({1, 2, 3, 4}, 2, 2, TableCounts::Raw, &error), qPrintable(error));
    {
        // Smaller than the vocabulary's text and than the project file.
        const FileSizeLimit limit(64);
        QVERIFY(limit.isSet());
        QVERIFY(!v.save(dir.filePath("v.txt"), &error));
        QVERIFY2(error.contains("v.txt"), qPrintable(error));
        QVERIFY(!writer.commit(10, false, &error));
        QVERIFY2(error.contains("project.xml"), qPrintable(error));
    }
    QVERIFY(!QFileInfo::exists(dir.filePath("v.txt")));
    QVERIFY(!QFileInfo::exists(dir.filePath("out/project.xml")));
}

void TestIndexer::demoIsReproducible()
{
    const DemoCollection a(2, 64, 11), b(2, 64, 11), other(2, 64, 12);
    for (int i = 0; i < a.count(); ++i)
        QVERIFY(a.draw(i) == b.draw(i));
    QVERIFY(a.draw(0) != a.draw(1));
    QVERIFY(a.draw(0) != other.draw(0));

    // The folders sort in kind order, so the indexer's own numbering of a
    // scanned demo folder agrees with the demo's categories.
    QTemporaryDir dir;
    QString error;
    QVERIFY2(a.write(dir.path(), 2, &error), qPrintable(error));
    ImageCollection scanned;
    QVERIFY2(scanned.scanFolder(dir.path(), {}, &error), qPrintable(error));
    const QVector<ImageEntry> drawn = a.entries(dir.path());
    QCOMPARE(scanned.entries().size(), drawn.size());
    for (int i = 0; i < drawn.size(); ++i) {
        QCOMPARE(scanned.entries()[i].path, drawn[i].path);
        QCOMPARE(scanned.entries()[i].category, drawn[i].category);
    }
    QCOMPARE(drawn.last().category, 6);
    // And its names, which the demo's index writes for the legend.
    QCOMPARE(a.categoryNames(), scanned.categoryNames());
}

void TestIndexer::everyFileIndexedOrListed()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("in/a")));
    QVERIFY(QDir().mkpath(dir.filePath("in/b")));
    const DemoCollection demo(1, 128, 9);
    QVERIFY(demo.draw(0).save(dir.filePath("in/a/good1.png")));
    QVERIFY(demo.draw(3).save(dir.filePath("in/a/good2.png")));
    // Byte copies, one of them in another category.
    QVERIFY(QFile::copy(dir.filePath("in/a/good1.png"), dir.filePath("in/a/same.png")));
    QVERIFY(QFile::copy(dir.filePath("in/a/good1.png"), dir.filePath("in/b/copy.png")));
    QImage tiny(3, 2, QImage::Format_RGB32);
    tiny.fill(Qt::darkGreen);
    QVERIFY(tiny.save(dir.filePath("in/b/tiny.png")));
    QImage flat(64, 64, QImage::Format_RGB32);
    flat.fill(Qt::gray);
    QVERIFY(flat.save(dir.filePath("in/b/flat.png")));
    QVERIFY(demo.draw(1).save(dir.filePath("in/b/whole.jpg"), "JPEG", 90));
    QFile jpeg(dir.filePath("in/b/whole.jpg"));
    QVERIFY(jpeg.open(QIODevice::ReadOnly));
    const QByteArray bytes = jpeg.readAll();
    jpeg.close();
    QVERIFY(jpeg.remove());
    QFile cut(dir.filePath("in/b/cut.jpg"));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() / 2));
    cut.close();
    QVERIFY(QFile::link(dir.filePath("in/b/gone.png"), dir.filePath("in/b/dangling.png")));
    QVERIFY(QFile::link(dir.filePath("in/b"), dir.filePath("in/b/loop")));

    const QString out = dir.filePath("out");
    Indexer indexer(smallOptions(dir.filePath("in"), out));
    QString error;
    QVERIFY2(indexer.run(&error), qPrintable(error));
    const IndexSummary &s = indexer.summary();
    QCOMPARE(s.found, 7);
    QCOMPARE(s.indexed, 4);
    QCOMPARE(s.skipped, 3);
    QCOMPARE(s.unreadable, 1);
    QCOMPARE(s.tooSmall, 1);
    QCOMPARE(s.blank, 1);
    QCOMPARE(s.withoutKeypoints, 0);
    QCOMPARE(s.passedOver, 2);
    QCOMPARE(s.duplicateGroups, 1);
    QCOMPARE(s.duplicateFiles, 3);
    QCOMPARE(s.indexed + s.skipped, s.found);

    const QString text = indexer.summaryText();
    QVERIFY2(text.startsWith("Indexed 4 of 7 images (3 skipped: 1 unreadable, 1 too small, "
                             "1 blank (1 of one flat colour))"), qPrintable(text));
    QVERIFY2(text.contains("see skipped.txt") && text.contains("2 links or folders passed over")
                 && text.contains("3 files are exact copies of another, in 1 groups"),
             qPrintable(text));

    // One line per file or link not in the table: kind, path, reason.
    QStringList lines = QString::fromUtf8(readAll(out + "/skipped.txt")).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    lines.sort();
    QVERIFY2(lines[0].startsWith("blank\t" + dir.filePath("in/b/flat.png")), qPrintable(lines[0]));
    QVERIFY(lines[1].startsWith("passed over\t" + dir.filePath("in/b/dangling.png") + "\t"));
    QVERIFY(lines[2].startsWith("passed over\t" + dir.filePath("in/b/loop") + "\t"));
    QVERIFY2(lines[3].startsWith("too small\t" + dir.filePath("in/b/tiny.png") + "\ttoo small: 3 x 2"),
             qPrintable(lines[3]));
    QVERIFY2(lines[4].startsWith("unreadable\t" + dir.filePath("in/b/cut.jpg") + "\tdamaged JPEG"),
             qPrintable(lines[4]));

    const QByteArray duplicates = readAll(out + "/duplicates.txt");
    QCOMPARE(duplicates, ("1\t" + dir.filePath("in/a/good1.png") + "\n1\t" + dir.filePath("in/a/same.png")
                          + "\n1\t" + dir.filePath("in/b/copy.png") + "\n").toUtf8());
    // The log holds every message and the summary.
    const QByteArray log = readAll(out + "/index.log");
    for (const QString &line : s.problems)
        QVERIFY2(log.contains(line.toUtf8()), qPrintable(line));
    QVERIFY(log.contains("Indexed 4 of 7 images"));
    QCOMPARE(tokens(out + "/images.txt").size(), 8);
    QCOMPARE(readAll(out + "/categories.txt"), QByteArray("1 a\n2 b\n"));
}

void TestIndexer::fifosAreRefusedNotWaitedFor()
{
    // A FIFO without a writer blocks whoever opens it for reading: as an
    // image, a list file or a vocabulary it must be refused at once.
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("in/a")));
    QVERIFY(DemoCollection(1, 128, 3).draw(0).save(dir.filePath("in/a/drawing.png")));
    QVERIFY(DemoCollection(1, 128, 3).draw(1).save(dir.filePath("in/a/other.png")));
    const QByteArray pipe = dir.filePath("in/a/pipe.png").toLocal8Bit();
    QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);

    IndexOptions o = smallOptions(dir.filePath("in"), dir.filePath("out"));
    o.words = 4;
    Indexer folder(o);
    QString error;
    QVERIFY2(folder.run(&error), qPrintable(error));
    QCOMPARE(folder.summary().indexed, 2);
    QCOMPARE(folder.summary().passedOver, 1);
    QVERIFY(readAll(dir.filePath("out/skipped.txt"))
                .contains("passed over\t" + pipe + "\tnot a regular file"));

    // Named in a list file, the FIFO is an unreadable image.
    QFile list(dir.filePath("list.txt"));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("1 in/a/drawing.png\n1 in/a/other.png\n1 in/a/pipe.png\n");
    list.close();
    o.input = list.fileName();
    o.output = dir.filePath("out-list");
    Indexer listed(o);
    QVERIFY2(listed.run(&error), qPrintable(error));
    QCOMPARE(listed.summary().unreadable, 1);
    QVERIFY(readAll(dir.filePath("out-list/skipped.txt")).contains("not a regular file"));

    // As the list file itself, or as the vocabulary to reuse.
    o.input = QString::fromLocal8Bit(pipe);
    o.output = dir.filePath("out-pipe");
    QVERIFY(!Indexer(o).run(&error));
    QVERIFY2(error.contains(o.input) && error.contains("FIFO"), qPrintable(error));
    o.input = dir.filePath("in");
    o.vocabulary = o.input + "/a/pipe.png";
    QVERIFY(!Indexer(o).run(&error));
    QVERIFY2(error.contains(o.vocabulary) && error.contains("FIFO"), qPrintable(error));
}

void TestIndexer::outputFolderErrorSaysWhy()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Indexer indexer(smallOptions(m_images, dir.filePath("blocker/new/out")));
    QString error;
    QVERIFY(!indexer.run(&error));
    QVERIFY2(error.contains("cannot create the output folder") && error.contains("blocker")
                 && error.contains("is a file, not a folder"),
             qPrintable(error));
}

void TestIndexer::interruptedRunLeavesEarlierIndex_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("Ctrl-C") << int(SIGINT);
    QTest::newRow("termination") << int(SIGTERM);
}

void TestIndexer::interruptedRunLeavesEarlierIndex()
{
    QFETCH(int, signalNumber);
    const QString program = QDir(qEnvironmentVariable("ORTELIS_BIN_DIR",
                                                      QCoreApplication::applicationDirPath()))
                                .filePath("ortelis-index");
    if (!QFileInfo(program).isExecutable())
        QSKIP("ortelis-index is not built");
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    QString error;
    QVERIFY2(Indexer(smallOptions(m_images, out)).run(&error), qPrintable(error));
    const QByteArray table = readAll(out + "/table.txt");
    const QByteArray project = readAll(out + "/project.xml");

    // Enough work that the signal comes while images are being described:
    // copies of one drawing, cheap to make.
    QVERIFY(QDir().mkpath(dir.filePath("many/a")));
    QVERIFY(DemoCollection(1, 480, 5).draw(0).save(dir.filePath("many/a/0000.png")));
    for (int i = 1; i < 200; ++i)
        QVERIFY(QFile::copy(dir.filePath("many/a/0000.png"),
                            dir.filePath(QStringLiteral("many/a/%1.png").arg(i, 4, 10, QLatin1Char('0')))));
    QProcess child;
    child.start(program, {"--jobs", "1", "--words", "12", dir.filePath("many"), out});
    QVERIFY(child.waitForStarted());
    QElapsedTimer clock;
    clock.start();
    while (QDir(out).entryList({".ortelis-index-*"}, QDir::Hidden | QDir::Dirs).isEmpty()
           && clock.elapsed() < 30000 && child.state() == QProcess::Running)
        QTest::qWait(10);
    QTest::qWait(200);
    QCOMPARE(child.state(), QProcess::Running);
    QCOMPARE(::kill(pid_t(child.processId()), signalNumber), 0);
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 130);
    QVERIFY(child.readAllStandardError().contains("interrupted"));
    QCOMPARE(QDir(out).entryList({".ortelis-index-*"}, QDir::Hidden | QDir::AllEntries), QStringList());
    QCOMPARE(readAll(out + "/table.txt"), table);
    QCOMPARE(readAll(out + "/project.xml"), project);
}

// Ctrl-C while the solver runs: the solver may still finish, but the index
// and its results are removed, and the summary does not say "solved".
void TestIndexer::interruptDuringSolverIsNotSolved()
{
    const QString program = QDir(qEnvironmentVariable("ORTELIS_BIN_DIR",
                                                      QCoreApplication::applicationDirPath()))
                                .filePath("ortelis-index");
    if (!QFileInfo(program).isExecutable())
        QSKIP("ortelis-index is not built");
    QTemporaryDir dir;
    const QString solver = dir.filePath("interrupting-ca.sh");
    QFile script(solver);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nkill -INT $PPID\nsleep 0.3\n"
                 "for s in Z W P Q Lambda; do echo 1 1 0.5 > \"$3_$s.txt\"; done\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess child;
    child.start(program, {"--jobs", "1", "--words", "12", "--solve", "--solver", solver, m_images,
                          dir.filePath("out")});
    QVERIFY(child.waitForFinished(120000));
    QCOMPARE(child.exitCode(), 130);
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    QVERIFY2(child.readAllStandardError().contains("interrupted"), qPrintable(out));
    QVERIFY2(out.contains("Indexed ") && !out.contains("; solved"), qPrintable(out));
}


// A decoder's message over several lines, or holding tabs, must leave
// skipped.txt one record of three fields per image, with the message's words
// in their order.
void TestIndexer::skippedLineIsOneRecord_data()
{
    QTest::addColumn<QString>("reason");
    QTest::newRow("one line") << QStringLiteral("not enough memory to describe it");
    QTest::newRow("line breaks") << QStringLiteral("keypoint detection failed: OpenCV(4.6.0)\n"
                                                   "  error: (-4:Insufficient memory)\nFailed to allocate\n");
    QTest::newRow("CR LF and tabs") << QStringLiteral("first\r\nsecond\tthird");
    QTest::newRow("empty") << QString();
}

void TestIndexer::skippedLineIsOneRecord()
{
    QFETCH(QString, reason);
    const QString line = Indexer::skippedLine(QStringLiteral("unreadable"), QStringLiteral("/a b/c.png"), reason);
    QVERIFY(!line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')));
    const QStringList fields = line.split(QLatin1Char('\t'));
    QCOMPARE(fields.size(), 3);
    QCOMPARE(fields.at(1), QStringLiteral("/a b/c.png"));
    const QStringList words = reason.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    QCOMPARE(fields.at(2).split(QLatin1Char(' '), Qt::SkipEmptyParts), words);
}

QTEST_GUILESS_MAIN(TestIndexer)
#include "tst_indexer.moc"
