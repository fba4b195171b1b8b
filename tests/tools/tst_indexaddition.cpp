// Supplementary images from the indexer: images added to a solved project
// (--add-to) without changing any of its files, blank images of one flat
// colour placed by their colour words, images made passive with --passive,
// and the errors of a project that images cannot be added to. Coordinates
// are checked against the transition formula worked out here from the
// result files.
#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/model/xmlparser.h"
#include "tools/democollection.h"
#include "tools/indexer.h"
#include "tools/indexwriter.h"
#include "tools/projectaddition.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <vector>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList lines(const QString &path)
{
    return QString::fromUtf8(readAll(path)).split('\n', Qt::SkipEmptyParts);
}

// A matrix file: "rows cols" then the values (tables and Z alike), or
// "n" then n values when `vector`.
struct Matrix
{
    int rows = 0, cols = 0;
    std::vector<double> v;
    double at(int r, int c) const { return v[size_t(r) * size_t(cols) + size_t(c)]; }
};

Matrix readMatrix(const QString &path, bool vector = false)
{
    const QList<QByteArray> t = readAll(path).simplified().split(' ');
    Matrix m;
    m.rows = t.value(0).toInt();
    m.cols = vector ? 1 : t.value(1).toInt();
    for (int i = vector ? 1 : 2; i < t.size(); ++i)
        m.v.push_back(t[i].toDouble());
    return m;
}

// The transition formula, from the files: row s of `table` at
// sum_j (n_sj / n_s.) W_ja / sqrt(lambda_a).
std::vector<double> transition(const Matrix &table, const Matrix &W, const Matrix &lambda, int axes)
{
    std::vector<double> out(size_t(table.rows) * size_t(axes), 0.0);
    for (int s = 0; s < table.rows; ++s) {
        double total = 0;
        for (int j = 0; j < table.cols; ++j)
            total += table.at(s, j);
        for (int a = 0; a < axes; ++a) {
            double sum = 0;
            for (int j = 0; j < table.cols; ++j)
                sum += table.at(s, j) / total * W.at(j, a);
            out[size_t(s) * size_t(axes) + size_t(a)] = sum / std::sqrt(lambda.v[size_t(a)]);
        }
    }
    return out;
}

// Every file under `folder` (staging folders aside) with the digest of its bytes.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(folder).relativeFilePath(path);
        if (name.startsWith(".ortelis-index-"))
            continue;
        files.insert(name, QCryptographicHash::hash(readAll(path), QCryptographicHash::Sha256));
    }
    return files;
}

QString solverPath()
{
    return QDir(qEnvironmentVariable("ORTELIS_BIN_DIR", QCoreApplication::applicationDirPath())).filePath("ca.exe");
}

IndexOptions options(const QString &input, const QString &output)
{
    IndexOptions o;
    o.input = input;
    o.output = output;
    o.words = 16;
    o.colourWords = 6;
    o.maxKeypoints = 40;
    o.workSide = 128;
    o.axes = 4;
    o.jobs = 2;
    o.quiet = true;
    o.solve = true;
    o.solver = solverPath();
    return o;
}

QImage flatImage(QColor colour)
{
    QImage image(64, 64, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// Twelve drawings in six category folders, a flat yellow image and a fully
// transparent one.
void drawCollection(const QString &folder)
{
    QString error;
    QVERIFY2(DemoCollection(2, 128, 7).write(folder, 2, &error), qPrintable(error));
    QVERIFY(flatImage(QColor(250, 200, 20)).save(folder + "/1-stripes/flat.png"));
    QVERIFY(flatImage(Qt::transparent).save(folder + "/2-checkerboards/clear.png"));
}

double relativeDifference(double a, double b)
{
    return std::abs(a - b) / std::max(1.0, std::max(std::abs(a), std::abs(b)));
}

} // namespace

class TestIndexAddition : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void flatColourImagesArePlaced_data();
    void flatColourImagesArePlaced();
    void passiveImagesAreSupplementary();
    void addToLeavesTheProjectAsItWas_data();
    void addToLeavesTheProjectAsItWas();
    void ownRowsLandOnTheirOwnCoordinates();
    void projectsImagesCannotBeAddedTo_data();
    void projectsImagesCannotBeAddedTo();
    void newFoldersNameTheirCategories_data();
    void newFoldersNameTheirCategories();

private:
    bool m_solver = false;
};

void TestIndexAddition::init()
{
    m_solver = QFileInfo(solverPath()).isExecutable();
    if (!m_solver)
        QSKIP("the solver ca.exe is not built");
}

void TestIndexAddition::flatColourImagesArePlaced_data()
{
    QTest::addColumn<bool>("place");
    QTest::addColumn<int>("colourWords");
    QTest::addColumn<bool>("placed");
    QTest::newRow("by default") << true << 6 << true;
    QTest::newRow("--flat-blanks skip") << false << 6 << false;
    QTest::newRow("no colour words to place it by") << true << 0 << false;
}

void TestIndexAddition::flatColourImagesArePlaced()
{
    QFETCH(bool, place);
    QFETCH(int, colourWords);
    QFETCH(bool, placed);
    QTemporaryDir dir;
    drawCollection(dir.filePath("in"));
    IndexOptions o = options(dir.filePath("in"), dir.filePath("out"));
    o.placeFlat = place;
    o.colourWords = colourWords;
    Indexer indexer(o);
    QString error;
    QVERIFY2(indexer.run(&error), qPrintable(error));
    const QString out = dir.filePath("out/");
    const IndexSummary &s = indexer.summary();
    QCOMPARE(s.indexed, 12);
    QCOMPARE(s.supplementary, placed ? 1 : 0);
    QCOMPARE(s.supplementaryFlat, placed ? 1 : 0);
    // The transparent image has no profile at all: always listed.
    const QString skipped = QString::fromUtf8(readAll(out + "skipped.txt"));
    QVERIFY(skipped.contains("blank\t" + dir.filePath("in/2-checkerboards/clear.png") + "\ttransparent everywhere"));
    QCOMPARE(skipped.contains("flat.png"), !placed);
    QCOMPARE(lines(out + "images.txt").size(), 12);
    QVERIFY(!readAll(out + "images.txt").contains("flat.png"));
    const QByteArray project = readAll(out + "project.xml");
    QCOMPARE(project.contains("<FILE name='FSUP' path='table-sup.txt'/>"), placed);
    QCOMPARE(project.contains("<FILE name='ZSUP' path='table.txt_ZSup.txt'/>"), placed);
    QCOMPARE(QFileInfo::exists(out + "keypoints-sup"), placed);
    if (!placed)
        return;
    QCOMPARE(lines(out + "images-sup.txt"), QStringList{"1 ../in/1-stripes/flat.png"});
    QVERIFY2(indexer.summaryText().contains("1 placed as supplementary images (1 blank of one flat colour)"),
             qPrintable(indexer.summaryText()));
    QVERIFY(readAll(out + "index.log").contains("1 placed as supplementary images"));
    // Its row is made of colour words alone, and it lies where its row's
    // profile puts it.
    const Matrix sup = readMatrix(out + "table-sup.txt");
    QCOMPARE(sup.rows, 1);
    QCOMPARE(sup.cols, 16 + colourWords);
    for (int j = 0; j < 16; ++j)
        QCOMPARE(sup.at(0, j), 0.0);
    const Matrix W = readMatrix(out + "table.txt_W.txt"), lambda = readMatrix(out + "table.txt_Lambda.txt", true);
    const Matrix zsup = readMatrix(out + "table.txt_ZSup.txt");
    const std::vector<double> expected = transition(sup, W, lambda, zsup.cols);
    for (int a = 0; a < zsup.cols; ++a)
        QVERIFY2(relativeDifference(zsup.at(0, a), expected[size_t(a)]) < 1e-9, qPrintable(QString::number(a)));
    // The viewer opens it with the supplementary image.
    Console::Capture quiet;
    XMLParser parser(dir.filePath("out"));
    QFile file(out + "project.xml");
    QVERIFY(parser.parse(&file));
    std::unique_ptr<CAData> data(parser.data);
    QVERIFY(data->read());
    QCOMPARE(data->nbSupImages, 1);
    QCOMPARE(data->supLabels[0].imageFile, QString("../in/1-stripes/flat.png"));
}

void TestIndexAddition::passiveImagesAreSupplementary()
{
    QTemporaryDir dir;
    drawCollection(dir.filePath("in"));
    // A path alone and a "category path" line, relative to the list; a line
    // naming no image of the input is reported and passed over.
    QFile list(dir.filePath("passive.txt"));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("in/3-dots/dots-000.png\n5 in/6-blotches/blotches-001.png\nin/missing.png\n");
    list.close();
    QVERIFY(QFileInfo::exists(dir.filePath("in/3-dots/dots-000.png")));
    QVERIFY(QFileInfo::exists(dir.filePath("in/6-blotches/blotches-001.png")));
    IndexOptions o = options(dir.filePath("in"), dir.filePath("out"));
    o.passive = dir.filePath("passive.txt");
    Indexer indexer(o);
    QString error;
    QVERIFY2(indexer.run(&error), qPrintable(error));
    const IndexSummary &s = indexer.summary();
    QCOMPARE(s.indexed, 10);
    QCOMPARE(s.supplementaryPassive, 2);
    QCOMPARE(s.supplementary, 3); // and the flat image
    QCOMPARE(s.problems.filter("missing.png").size(), 1);
    const QString out = dir.filePath("out/");
    QCOMPARE(readMatrix(out + "table.txt").rows, 10);
    QVERIFY(!readAll(out + "images.txt").contains("dots-000.png"));
    // In image order; each keeps its own category.
    QCOMPARE(lines(out + "images-sup.txt"),
             (QStringList{"1 ../in/1-stripes/flat.png", "3 ../in/3-dots/dots-000.png", "6 ../in/6-blotches/blotches-001.png"}));
    QCOMPARE(lines(out + "keypoints-sup.txt").size(), 4);
    for (const QString &name : lines(out + "keypoints-sup.txt").mid(1))
        QVERIFY2(QFileInfo(out + name).size() > 0, qPrintable(name));
    const Matrix sup = readMatrix(out + "table-sup.txt");
    const Matrix W = readMatrix(out + "table.txt_W.txt"), lambda = readMatrix(out + "table.txt_Lambda.txt", true);
    const Matrix zsup = readMatrix(out + "table.txt_ZSup.txt");
    QCOMPARE(zsup.rows, 3);
    const std::vector<double> expected = transition(sup, W, lambda, zsup.cols);
    for (int i = 0; i < zsup.rows * zsup.cols; ++i)
        QVERIFY(relativeDifference(zsup.v[size_t(i)], expected[size_t(i)]) < 1e-9);
}

void TestIndexAddition::addToLeavesTheProjectAsItWas_data()
{
    QTest::addColumn<bool>("listFile");
    QTest::newRow("a folder of images") << false;
    QTest::newRow("a list file") << true;
}

void TestIndexAddition::addToLeavesTheProjectAsItWas()
{
    QFETCH(bool, listFile);
    QTemporaryDir dir;
    drawCollection(dir.filePath("in"));
    Indexer first(options(dir.filePath("in"), dir.filePath("out")));
    QString error;
    QVERIFY2(first.run(&error), qPrintable(error));
    const QString out = dir.filePath("out/");
    const QMap<QString, QByteArray> before = snapshot(out);
    QVERIFY(before.contains("index-options.txt"));

    // New drawings (another seed), one of them in a category the project
    // has, a flat blue one, a transparent one and one image of the project.
    const DemoCollection more(1, 128, 99);
    QVERIFY(QDir().mkpath(dir.filePath("more/4-rings")));
    QVERIFY(QDir().mkpath(dir.filePath("more/new")));
    QVERIFY(more.draw(3).save(dir.filePath("more/4-rings/a.png")));
    QVERIFY(more.draw(0).save(dir.filePath("more/new/b.png")));
    QVERIFY(flatImage(QColor(20, 20, 200)).save(dir.filePath("more/new/blue.png")));
    QVERIFY(flatImage(Qt::transparent).save(dir.filePath("more/new/clear.png")));
    QVERIFY(QFile::copy(dir.filePath("in/5-stars/stars-000.png"), dir.filePath("more/new/copy.png")));
    QString input = dir.filePath("more");
    if (listFile) {
        QFile list(dir.filePath("more.txt"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("4 more/4-rings/a.png\n7 more/new/b.png\n7 more/new/blue.png\n7 more/new/clear.png\n"
                   "5 in/5-stars/stars-000.png\n");
        list.close();
        input = list.fileName();
    }
    IndexOptions o;
    o.addTo = out + "project.xml";
    o.input = input;
    o.jobs = 2;
    o.quiet = true;
    Indexer adding(o);
    QVERIFY2(adding.addTo(&error), qPrintable(error));
    const IndexSummary &s = adding.summary();
    QCOMPARE(s.supplementary, listFile ? 3 : 4); // a copy is another file, placed like any
    QCOMPARE(s.alreadyThere, listFile ? 1 : 0);
    QCOMPARE(s.blank, 1);

    // Every file the project had is as it was, but its project file and
    // its supplementary set, which the added images extend.
    const QMap<QString, QByteArray> after = snapshot(out);
    const QStringList rewritten = {"project.xml", "table-sup.txt", "images-sup.txt", "keypoints-sup.txt"};
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        QVERIFY2(after.contains(it.key()), qPrintable(it.key()));
        if (!rewritten.contains(it.key()))
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key() + " changed"));
    }
    const QByteArray project = readAll(out + "project.xml");
    QVERIFY(project.contains("<FILE name='ZSUP' path='table-sup.txt_ZSup.txt'/>"));
    QVERIFY(project.contains("<FILE name='FSUP' path='table-sup.txt'/>"));
    QVERIFY(project.contains("<FILE name='LABELSUP' path='images-sup.txt'/>"));
    QVERIFY(project.contains("<FILE name='Z' path='table.txt_Z.txt'/>"));

    // The earlier supplementary image first, then the added ones; the
    // category by folder name where the project has it.
    const QStringList list = lines(out + "images-sup.txt");
    QCOMPARE(list.size(), 1 + s.supplementary);
    QCOMPARE(list[0], QString("1 ../in/1-stripes/flat.png"));
    QCOMPARE(list[1], QString("4 ../more/4-rings/a.png"));
    if (!listFile)
        QVERIFY2(list[2].startsWith("7 ../more/new/"), qPrintable(list[2])); // after the project's six
    const Matrix sup = readMatrix(out + "table-sup.txt"), zsup = readMatrix(out + "table-sup.txt_ZSup.txt");
    QCOMPARE(sup.rows, list.size());
    QCOMPARE(zsup.rows, list.size());
    const Matrix W = readMatrix(out + "table.txt_W.txt"), lambda = readMatrix(out + "table.txt_Lambda.txt", true);
    const std::vector<double> expected = transition(sup, W, lambda, zsup.cols);
    for (int i = 0; i < zsup.rows * zsup.cols; ++i)
        QVERIFY(relativeDifference(zsup.v[size_t(i)], expected[size_t(i)]) < 1e-9);
    QVERIFY(readAll(out + "skipped-sup.txt").contains("blank\t" + dir.filePath("more/new/clear.png").toUtf8()));

    // A second addition keeps the first one's images, and those of the
    // project are refused again.
    QVERIFY(DemoCollection(1, 128, 55).draw(2).save(dir.filePath("third.png")));
    QFile third(dir.filePath("third.txt"));
    QVERIFY(third.open(QIODevice::WriteOnly));
    third.write("2 third.png\n2 in/2-checkerboards/checkerboards-000.png\n");
    third.close();
    o.input = third.fileName();
    Indexer again(o);
    QVERIFY2(again.addTo(&error), qPrintable(error));
    QCOMPARE(again.summary().supplementary, 1);
    QCOMPARE(again.summary().alreadyThere, 1);
    const QStringList longer = lines(out + "images-sup.txt");
    QCOMPARE(longer.mid(0, list.size()), list);
    QCOMPARE(longer.last(), QString("2 ../third.png"));
    const Matrix zsup2 = readMatrix(out + "table-sup.txt_ZSup.txt");
    QCOMPARE(zsup2.rows, zsup.rows + 1);
    for (int i = 0; i < zsup.rows * zsup.cols; ++i)
        QCOMPARE(zsup2.v[size_t(i)], zsup.v[size_t(i)]);
    const QMap<QString, QByteArray> last = snapshot(out);
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (it.key().startsWith("keypoints") && !it.key().endsWith(".txt"))
            QVERIFY2(last.value(it.key()) == it.value(), qPrintable(it.key() + " changed"));

    // The viewer opens the project with every supplementary image.
    Console::Capture quiet;
    XMLParser parser(dir.filePath("out"));
    QFile file(out + "project.xml");
    QVERIFY(parser.parse(&file));
    std::unique_ptr<CAData> data(parser.data);
    QVERIFY(data->read());
    QCOMPARE(data->nbSupImages, longer.size());
    QCOMPARE(data->nbImages, 12);
}

void TestIndexAddition::ownRowsLandOnTheirOwnCoordinates()
{
    QTemporaryDir dir;
    drawCollection(dir.filePath("in"));
    Indexer first(options(dir.filePath("in"), dir.filePath("out")));
    QString error;
    QVERIFY2(first.run(&error), qPrintable(error));
    ProjectAddition project;
    QVERIFY2(project.load(dir.filePath("out/project.xml"), &error), qPrintable(error));
    // The project's own table, given again as supplementary rows.
    std::vector<double> placed;
    int rows = 0;
    QVERIFY2(project.place(dir.filePath("out/table.txt"), placed, &rows, &error), qPrintable(error));
    const Matrix Z = readMatrix(dir.filePath("out/table.txt_Z.txt"));
    QCOMPARE(rows, Z.rows);
    QCOMPARE(placed.size(), Z.v.size());
    // Relative to the row's largest coordinate.
    for (int r = 0; r < rows; ++r) {
        double diff = 0, size = 0;
        for (int a = 0; a < Z.cols; ++a) {
            diff = std::max(diff, std::abs(placed[size_t(r) * size_t(Z.cols) + size_t(a)] - Z.at(r, a)));
            size = std::max(size, std::abs(Z.at(r, a)));
        }
        QVERIFY2(diff <= 1e-9 * size, qPrintable(QStringLiteral("row %1: %2 of %3").arg(r).arg(diff).arg(size)));
    }
}

void TestIndexAddition::projectsImagesCannotBeAddedTo_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("named");    // the file the message names
    QTest::addColumn<QString>("expected"); // and what it says
    QTest::newRow("no project") << "no project" << "out/none.xml" << "does not exist";
    QTest::newRow("not XML") << "not XML" << "out/project.xml" << "is not a project file: line";
    QTest::newRow("no vocabulary") << "no vocabulary" << "out/vocabulary.txt" << "has no vocabulary";
    QTest::newRow("no record of the options") << "no options" << "out/index-options.txt"
                                              << "has no record of how its images were described";
    QTest::newRow("a bad record") << "bad options" << "out/index-options.txt" << "--grid expects";
    // Read as today's defaults, it would describe the added images otherwise.
    QTest::newRow("an empty record") << "empty options" << "out/index-options.txt" << "it does not name --words";
    QTest::newRow("a record of comments") << "comment options" << "out/index-options.txt"
                                          << "it does not name --words";
    QTest::newRow("not solved") << "not solved" << "out/project.xml" << "has no results to place images by";
}

void TestIndexAddition::projectsImagesCannotBeAddedTo()
{
    QFETCH(QString, damage);
    QFETCH(QString, named);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QString error;
    QVERIFY2(DemoCollection(1, 128, 7).write(dir.filePath("in"), 2, &error), qPrintable(error));
    IndexOptions o = options(dir.filePath("in"), dir.filePath("out"));
    o.solve = damage != "not solved";
    Indexer first(o);
    QVERIFY2(first.run(&error), qPrintable(error));
    const QString out = dir.filePath("out/");
    if (damage == "not XML") {
        QFile f(out + "project.xml");
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Append));
        f.write("<FILE name='Z' path=");
    } else if (damage == "no vocabulary") {
        QVERIFY(QFile::remove(out + "vocabulary.txt"));
    } else if (damage == "no options") {
        QVERIFY(QFile::remove(out + "index-options.txt"));
    } else if (damage == "empty options" || damage == "comment options") {
        QFile f(out + "index-options.txt");
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        if (damage == "comment options")
            f.write("# ortelis-index options 1: how this index's images were described.\n");
    } else if (damage == "bad options") {
        QFile f(out + "index-options.txt");
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Append));
        f.write("--grid 2\n");
    }
    const QMap<QString, QByteArray> before = snapshot(out);
    QVERIFY(DemoCollection(1, 128, 8).draw(0).save(dir.filePath("new.png")));
    IndexOptions a;
    a.addTo = damage == "no project" ? out + "none.xml" : out + "project.xml";
    a.input = dir.filePath("new.png").chopped(4) + ".txt";
    QFile list(a.input);
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("1 new.png\n");
    list.close();
    a.quiet = true;
    Indexer adding(a);
    QVERIFY(!adding.addTo(&error));
    QVERIFY2(error.contains(dir.filePath(named)), qPrintable(error));
    QVERIFY2(error.contains(expected), qPrintable(error));
    // Nothing was written.
    QCOMPARE(snapshot(out), before);
}

QTEST_MAIN(TestIndexAddition)
#include "tst_indexaddition.moc"

void TestIndexAddition::newFoldersNameTheirCategories_data()
{
    // Folders of a first addition, of a second one, and the supplementary
    // categories file after both ("" when none is to be written). The
    // project's categories are 1 to 6, so new ones are numbered from 7.
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<QByteArray>("names");
    QTest::newRow("a new folder") << QStringList{"new"} << QStringList{} << QByteArray("7 new\n");
    QTest::newRow("a project's folder") << QStringList{"4-rings"} << QStringList{} << QByteArray();
    QTest::newRow("two new folders") << QStringList{"alpha", "beta"} << QStringList{}
                                     << QByteArray("7 alpha\n8 beta\n");
    QTest::newRow("the same new folder again") << QStringList{"new"} << QStringList{"new", "later"}
                                               << QByteArray("7 new\n8 later\n");
    QTest::newRow("new only the second time") << QStringList{"5-stars"} << QStringList{"late"}
                                              << QByteArray("7 late\n");
}

void TestIndexAddition::newFoldersNameTheirCategories()
{
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    QFETCH(QByteArray, names);
    QTemporaryDir dir;
    drawCollection(dir.filePath("in"));
    Indexer index(options(dir.filePath("in"), dir.filePath("out")));
    QString error;
    QVERIFY2(index.run(&error), qPrintable(error));
    const QString out = dir.filePath("out/");
    const QByteArray categories = readAll(out + "categories.txt");
    QVERIFY(categories.contains("4-rings"));

    int seed = 300;
    for (const QStringList &folders : {first, second}) {
        if (folders.isEmpty())
            continue;
        const QString input = dir.filePath(QStringLiteral("more%1").arg(seed));
        for (const QString &folder : folders) {
            QVERIFY(QDir().mkpath(input + '/' + folder));
            QVERIFY(DemoCollection(1, 128, seed++).draw(1).save(input + '/' + folder + "/x.png"));
        }
        IndexOptions o;
        o.addTo = out + "project.xml";
        o.input = input;
        o.jobs = 2;
        o.quiet = true;
        Indexer adding(o);
        QVERIFY2(adding.addTo(&error), qPrintable(error));
    }

    // The project's own categories file is as it was; the new names are in
    // a file of the supplementary images' own, named when there is one.
    QCOMPARE(readAll(out + "categories.txt"), categories);
    const QByteArray project = readAll(out + "project.xml");
    QCOMPARE(QFileInfo::exists(out + "categories-sup.txt"), !names.isEmpty());
    QCOMPARE(project.contains("<FILE name='CATEGORIESSUP' path='categories-sup.txt'/>"), !names.isEmpty());
    QCOMPARE(readAll(out + "categories-sup.txt"), names);

    // The viewer names every supplementary image's category: none is shown
    // by number.
    Console::Capture quiet;
    XMLParser parser(dir.filePath("out"));
    QFile file(out + "project.xml");
    QVERIFY(parser.parse(&file));
    std::unique_ptr<CAData> data(parser.data);
    QVERIFY(data->read());
    QVERIFY(data->supLabels);
    for (int s = 0; s < data->nbSupImages; ++s) {
        const QString folder = QFileInfo(data->supLabels[s].imageFile).dir().dirName();
        QCOMPARE(data->categoryName(data->supLabels[s].category), s == 0 ? QString("1-stripes") : folder);
    }
}
