// Setting images aside in an analysis that has supplementary images of its
// own: those stay supplementary in the new analysis, after the images set
// aside, with their image-list entries, keypoint files and category names,
// at the coordinates a direct solver run on the remaining table, given the
// same supplementary rows, writes.
#include "data/model/cadata.h"
#include "data/model/console.h"
#include "document/camdichild.h"
#include "map/caview.h"

#include "modelsink.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <vector>

namespace {

using Table = std::vector<std::vector<double>>;

// As the stack table of the set-aside test: 10 identical "stack" images on
// words 0, 1 and 10 (a little of 2 and 5), then groups B (words 2-5) and
// C (words 5-9) of 12 images each.
Table makeTable()
{
    Table t;
    for (int i = 0; i < 10; ++i)
        t.push_back({9, 7, 1, 0, 0, 2, 0, 0, 0, 0, 3});
    for (int i = 0; i < 12; ++i)
        t.push_back({0, 0, double(2 + i % 3), double(3 + i % 2), 2, double(1 + i % 4), 1, 0, 0, 0, 0});
    for (int i = 0; i < 12; ++i)
        t.push_back({0, 0, 0, 0, 0, 1, double(1 + i % 3), double(2 + i % 4), 3, double(2 + i % 2), 0});
    return t;
}

QByteArray tableText(const Table &t)
{
    QByteArray text = QByteArray::number(int(t.size())) + ' ' + QByteArray::number(t.empty() ? 0 : int(t[0].size())) + '\n';
    for (const auto &r : t) {
        for (double v : r)
            text += QByteArray::number(v) + ' ';
        text += '\n';
    }
    return text;
}

void write(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(text), text.size());
}

// "rows cols" then the values.
std::vector<double> readValues(const QString &path, int *rows, int *cols)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> t = f.readAll().simplified().split(' ');
    *rows = t.value(0).toInt();
    *cols = t.value(1).toInt();
    std::vector<double> v;
    for (int i = 2; i < t.size(); ++i)
        v.push_back(t[i].toDouble());
    return v;
}

// Columns 2 to 9: the words an analysis without the stack keeps.
std::vector<double> withoutStackWords(const std::vector<double> &row)
{
    return std::vector<double>(row.begin() + 2, row.begin() + 10);
}

} // namespace

Q_DECLARE_METATYPE(Table)

class TestSetAsideSupplementary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void parentsSupplementaryImagesGoAlong_data();
    void parentsSupplementaryImagesGoAlong();

private:
    QTemporaryDir m_tmp;
    QString m_solver;
};

void TestSetAsideSupplementary::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
    m_solver = qEnvironmentVariable("ORTELIS_BIN_DIR") + QStringLiteral("/ca.exe");
}

void TestSetAsideSupplementary::parentsSupplementaryImagesGoAlong_data()
{
    // The parent's supplementary rows (over its 11 words), which of them
    // the new analysis places (those with something in words 2-9), and how
    // many it cannot.
    QTest::addColumn<Table>("sup");
    QTest::addColumn<QList<int>>("placed");
    QTest::addColumn<int>("unplaced");
    QTest::newRow("two placed") << Table{{0, 0, 2, 1, 0, 1, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 2, 1, 1, 0, 0}}
                                << QList<int>{0, 1} << 0;
    QTest::newRow("one only on the stack's words")
        << Table{{3, 2, 0, 0, 0, 0, 0, 0, 0, 0, 1}, {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 0}, {1, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0}}
        << QList<int>{1, 2} << 1;
    QTest::newRow("none") << Table{} << QList<int>{} << 0;
}

void TestSetAsideSupplementary::parentsSupplementaryImagesGoAlong()
{
    QFETCH(Table, sup);
    QFETCH(QList<int>, placed);
    QFETCH(int, unplaced);
    if (!QFileInfo(m_solver).isExecutable())
        QSKIP("the CA solver has not been built");
    CAData::casolver = m_solver;

    QTemporaryDir dir;
    const Table t = makeTable();
    QByteArray labels, keypoints = QByteArray::number(int(t.size())) + '\n';
    for (std::size_t i = 0; i < t.size(); ++i) {
        labels += QByteArray::number(i < 10 ? 1 : i < 22 ? 2 : 3) + " img" + QByteArray::number(int(i)) + ".png\n";
        keypoints += "k" + QByteArray::number(int(i)) + ".sift\n";
    }
    write(dir.filePath("table.txt"), tableText(t));
    write(dir.filePath("images.txt"), labels);
    write(dir.filePath("keypoints.txt"), keypoints);
    write(dir.filePath("categories.txt"), "1 stack\n2 groupB\n3 groupC\n");
    QByteArray project = "<XML><BASE href='.'/><AXIS number='3'/><FILE name='F' path='table.txt'/>"
                         "<FILE name='LABEL' path='images.txt'/><FILE name='DESCRIPTOR' path='keypoints.txt'/>"
                         "<FILE name='CATEGORIES' path='categories.txt'/>";
    if (!sup.empty()) {
        // Category 4 is named by the supplementary images' own file.
        QByteArray supLabels, supKeypoints = QByteArray::number(int(sup.size())) + '\n';
        for (std::size_t s = 0; s < sup.size(); ++s) {
            supLabels += "4 new" + QByteArray::number(int(s)) + ".png\n";
            supKeypoints += "n" + QByteArray::number(int(s)) + ".sift\n";
        }
        write(dir.filePath("table-sup.txt"), tableText(sup));
        write(dir.filePath("images-sup.txt"), supLabels);
        write(dir.filePath("keypoints-sup.txt"), supKeypoints);
        write(dir.filePath("categories-sup.txt"), "4 newcomers\n");
        project += "<FILE name='FSUP' path='table-sup.txt'/><FILE name='LABELSUP' path='images-sup.txt'/>"
                   "<FILE name='DESCRIPTORSUP' path='keypoints-sup.txt'/>"
                   "<FILE name='CATEGORIESSUP' path='categories-sup.txt'/>";
    }
    write(dir.filePath("project.xml"), project + "</XML>");

    CAMdiChild child;
    QVERIFY(child.loadFile(dir.filePath("project.xml")));
    QCOMPARE(child.data->nbSupImages, int(sup.size()));
    child.caView->selectedImages = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    ModelSink sink;
    sink.watch(&child);
    QVERIFY(child.setSelectionAside());
    QTRY_COMPARE_WITH_TIMEOUT(sink.models.size(), 1, 30000);
    CAMdiChild view;
    QVERIFY(view.setData(sink.take()));
    const CAData &d = *view.data;
    QCOMPARE(d.nbImages, 24);
    QCOMPARE(d.nbWords, 8);

    // The stack, then the parent's placed supplementary images.
    QCOMPARE(d.nbSupImages, 10 + int(placed.size()));
    QVERIFY(d.supLabels);
    for (int k = 0; k < placed.size(); ++k) {
        const int s = 10 + k;
        QCOMPARE(d.supLabels[s].category, 4);
        QCOMPARE(d.supLabels[s].imageFile, QStringLiteral("new%1.png").arg(placed[k]));
        QCOMPARE(d.keypointFile(d.nbImages + s), QStringLiteral("n%1.sift").arg(placed[k]));
    }
    // The stack's own keypoint files go with it.
    QCOMPARE(d.keypointFile(d.nbImages + 3), QStringLiteral("k3.sift"));
    QCOMPARE(d.categoryName(4), sup.empty() ? QStringLiteral("#4") : QStringLiteral("newcomers"));
    QCOMPARE(d.setAsideSummary.contains(QStringLiteral("supplementary images use none of the words left")),
             unplaced > 0);
    if (unplaced > 0)
        QVERIFY2(d.setAsideSummary.contains(QStringLiteral("; %1 supplementary").arg(unplaced)),
                 qPrintable(d.setAsideSummary));

    // A direct solver run on the table without the stack and its words,
    // given the stack's rows and the placed ones as supplementary rows.
    QTemporaryDir direct;
    Table rest, rows;
    for (std::size_t i = 10; i < t.size(); ++i)
        rest.push_back(withoutStackWords(t[i]));
    for (std::size_t i = 0; i < 10; ++i)
        rows.push_back(withoutStackWords(t[i]));
    for (const int p : placed)
        rows.push_back(withoutStackWords(sup[std::size_t(p)]));
    write(direct.filePath("rest.txt"), tableText(rest));
    write(direct.filePath("rows.txt"), tableText(rows));
    QString reason;
    {
        Console::Capture quiet;
        CAData::launchCA(direct.filePath("rest.txt"), 3, &reason, direct.filePath("rows.txt"));
    }
    QVERIFY2(reason.isEmpty(), qPrintable(reason));
    int zr = 0, zc = 0;
    const std::vector<double> z = readValues(direct.filePath("rest.txt_ZSup.txt"), &zr, &zc);
    QCOMPARE(zr, d.nbSupImages);
    QCOMPARE(zc, d.supCols);
    for (int i = 0; i < zr * zc; ++i)
        QVERIFY2(std::abs(d.ZSup[i] - z[std::size_t(i)]) <= 1e-9 * (1 + std::abs(z[std::size_t(i)])),
                 qPrintable(QStringLiteral("value %1: %2 vs %3").arg(i).arg(d.ZSup[i]).arg(z[std::size_t(i)])));

    // Saved and opened again, they keep their keypoint files and names.
    QString error;
    const QString saved = dir.filePath("saved");
    QVERIFY2(view.saveAnalysisTo(saved, false, &error), qPrintable(error));
    CAMdiChild reopened;
    QVERIFY(reopened.loadFile(QDir(saved).filePath("project.xml")));
    const CAData &r = *reopened.data;
    QCOMPARE(r.nbSupImages, d.nbSupImages);
    for (int s = 0; s < r.nbSupImages; ++s)
        QCOMPARE(QFileInfo(r.resolve(r.keypointFile(r.nbImages + s))).absoluteFilePath(),
                 QFileInfo(d.resolve(d.keypointFile(d.nbImages + s))).absoluteFilePath());
    QCOMPARE(r.categoryName(4), d.categoryName(4));
    QCOMPARE(r.categoryName(2), QStringLiteral("groupB"));

    // The parent is as it was.
    QCOMPARE(child.data->nbImages, 34);
    QCOMPARE(child.data->nbSupImages, int(sup.size()));
}

QTEST_MAIN(TestSetAsideSupplementary)
#include "tst_setasidesupplementary.moc"
