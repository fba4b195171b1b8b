// Make selected images supplementary: the table is analysed again without the
// images of the outline, which come back as supplementary rows. On a table
// built so that a stack of identical images takes axis 1, setting the stack
// aside leaves the axis that separates the two other groups, with the
// eigenvalue an independent decomposition of the remaining table gives.
#include "data/model/cadata.h"
#include "document/camdichild.h"
#include "map/caview.h"

#include "modalcloser.h"
#include "modelsink.h"

#include <Eigen/Dense>

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <vector>

namespace {

using Table = std::vector<std::vector<double>>;

// 10 identical "stack" images using mostly words 0, 1 and 10 (and a little of
// words 2 and 5, so that the table is connected), then two groups of 12
// images, B on words 2-5 and C on words 5-9. Words 0, 1 and 10 are used only
// by the stack: setting the stack aside leaves them without mass.
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

// The largest eigenvalue of the correspondence analysis of `t`, from the
// singular values of its standardised residuals (computed here, apart from
// the solver).
double firstEigenvalue(const Table &t)
{
    const int rows = int(t.size()), cols = int(t[0].size());
    double total = 0;
    for (const auto &r : t)
        for (double v : r)
            total += v;
    Eigen::VectorXd rm = Eigen::VectorXd::Zero(rows), cm = Eigen::VectorXd::Zero(cols);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) {
            rm(i) += t[i][j] / total;
            cm(j) += t[i][j] / total;
        }
    Eigen::MatrixXd s(rows, cols);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j)
            s(i, j) = (t[i][j] / total - rm(i) * cm(j)) / std::sqrt(rm(i) * cm(j));
    Eigen::JacobiSVD<Eigen::MatrixXd> svd(s);
    const double sigma = svd.singularValues()(0);
    return sigma * sigma;
}

void write(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(text), text.size());
}

} // namespace

class TestSetAside : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stackLeavesAxisOne();
    void emptyOutlineIsRefused();
    void outlineGoesWhereAsked_data();
    void outlineGoesWhereAsked();
    void closePromptNamesTheTitle();

private:
    QTemporaryDir m_dir;
    QString m_project;
    QString m_solver;
};

void TestSetAside::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString tmp = m_dir.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(tmp));
    qputenv("TMPDIR", QFile::encodeName(tmp));

    const Table t = makeTable();
    QByteArray table = QByteArray::number(int(t.size())) + ' ' + QByteArray::number(int(t[0].size())) + '\n';
    QByteArray labels;
    for (std::size_t i = 0; i < t.size(); ++i) {
        for (double v : t[i])
            table += QByteArray::number(v) + ' ';
        table += '\n';
        labels += QByteArray::number(i < 10 ? 1 : i < 22 ? 2 : 3) + " img" + QByteArray::number(int(i)) + ".png\n";
    }
    write(m_dir.filePath(QStringLiteral("table.txt")), table);
    write(m_dir.filePath(QStringLiteral("images.txt")), labels);
    write(m_dir.filePath(QStringLiteral("categories.txt")), "1 stack\n2 groupB\n3 groupC\n");
    m_project = m_dir.filePath(QStringLiteral("project.xml"));
    write(m_project, "<XML><BASE href='.'/><AXIS number='3'/><FILE name='F' path='table.txt'/>"
                     "<FILE name='LABEL' path='images.txt'/>"
                     "<FILE name='CATEGORIES' path='categories.txt'/></XML>");

    const QString bin = qEnvironmentVariable("ORTELIS_BIN_DIR");
    m_solver = bin + QStringLiteral("/ca.exe");
}

void TestSetAside::stackLeavesAxisOne()
{
    if (!QFileInfo(m_solver).isExecutable())
        QSKIP("the CA solver has not been built");
    CAData::casolver = m_solver;
    const Table t = makeTable();

    CAMdiChild child;
    QVERIFY(child.loadFile(m_project));
    const CAData &parent = *child.data;
    QCOMPARE(parent.nbImages, 34);
    // Before: axis 1 is the stack, all on one side, everything else on the other.
    const double stackSide = parent.Z[0 * parent.zCols];
    for (int i = 0; i < 34; ++i)
        QVERIFY2((parent.Z[i * parent.zCols] > 0) == (i < 10 ? stackSide > 0 : stackSide < 0),
                 qPrintable(QStringLiteral("image %1").arg(i)));
    QVERIFY(std::abs(parent.lambda[0] - firstEigenvalue(t)) < 1e-6 * firstEigenvalue(t));

    // The outline took the stack.
    child.caView->selectedImages = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    ModelSink sink;
    sink.watch(&child);
    QVERIFY(child.setSelectionAside());
    QTRY_COMPARE_WITH_TIMEOUT(sink.models.size(), 1, 30000);

    CAMdiChild view;
    QVERIFY(view.setData(sink.take()));
    const CAData &d = *view.data;
    QCOMPARE(d.nbImages, 24);
    // Words 0, 1 and 10 were the stack's only: gone from the analysis.
    QCOMPARE(d.nbWords, 8);
    QCOMPARE(d.setAsideImages, 10);
    QVERIFY(d.setAsideSummary.contains(QStringLiteral("10 stack")));
    // The images left keep their numbers in the collection: image i of the
    // new analysis is image 10 + i of the parent, img(10 + i).png.
    for (int i = 0; i < 24; ++i) {
        QCOMPARE(d.collectionNumber(i), 10 + i);
        QCOMPARE(d.labels[i].imageFile, QStringLiteral("img%1.png").arg(10 + i));
    }

    // After: the first eigenvalue is that of the table without the stack and
    // its own words, and axis 1 separates group B from group C.
    Table rest(t.begin() + 10, t.end());
    for (auto &r : rest)
        r = std::vector<double>(r.begin() + 2, r.begin() + 10);
    const double expected = firstEigenvalue(rest);
    QVERIFY2(std::abs(d.lambda[0] - expected) < 1e-6 * expected,
             qPrintable(QStringLiteral("%1 vs %2").arg(d.lambda[0]).arg(expected)));
    const double bSide = d.Z[0];
    for (int i = 0; i < 24; ++i)
        QVERIFY((d.Z[i * d.zCols] > 0) == (i < 12 ? bSide > 0 : bSide < 0));

    // The stack is placed as supplementary images, in its category, by the
    // transition formula: each row's profile times the words' standard
    // coordinates, W / sqrt(lambda).
    QCOMPARE(d.nbSupImages, 10);
    QVERIFY(d.supLabels);
    QCOMPARE(d.supLabels[3].category, 1);
    QCOMPARE(d.supLabels[3].imageFile, QStringLiteral("img3.png"));
    // What is left of a stack row: 1 of word 2 (now column 0) and 2 of word
    // 5 (column 3).
    for (int a = 0; a < 2; ++a) {
        const double f = (1 * d.W[0 * d.wCols + a] + 2 * d.W[3 * d.wCols + a]) / 3.0 / std::sqrt(d.lambda[a]);
        for (int s = 0; s < 10; ++s)
            QVERIFY2(std::abs(d.ZSup[s * d.supCols + a] - f) < 1e-6 * (1 + std::abs(f)),
                     qPrintable(QStringLiteral("row %1 axis %2: %3 vs %4").arg(s).arg(a)
                                    .arg(d.ZSup[s * d.supCols + a]).arg(f)));
    }

    // The parent is unchanged.
    QCOMPARE(child.data->nbImages, 34);
    QCOMPARE(child.data->nbSupImages, 0);

    // Saved and opened again, the supplementary images are there, with
    // their coordinates and their image list.
    const QString folder = m_dir.filePath(QStringLiteral("saved"));
    QString error;
    QVERIFY2(view.saveAnalysisTo(folder, false, &error), qPrintable(error));
    CAMdiChild reopened;
    QVERIFY(reopened.loadFile(QDir(folder).filePath(QStringLiteral("project.xml"))));
    const CAData &r = *reopened.data;
    QCOMPARE(r.nbSupImages, 10);
    QVERIFY(r.supLabels);
    for (int s = 0; s < 10; ++s) {
        QCOMPARE(r.supLabels[s].category, 1);
        QCOMPARE(QFileInfo(r.resolve(r.supLabels[s].imageFile)).absoluteFilePath(),
                 m_dir.filePath(QStringLiteral("img%1.png").arg(s)));
        for (int a = 0; a < 2; ++a)
            QCOMPARE(r.ZSup[s * r.supCols + a], d.ZSup[s * d.supCols + a]);
    }
}

void TestSetAside::emptyOutlineIsRefused()
{
    if (!QFileInfo(m_solver).isExecutable())
        QSKIP("the CA solver has not been built");
    CAData::casolver = m_solver;
    CAMdiChild child;
    QVERIFY(child.loadFile(m_project));
    child.caView->selectedImages.clear();
    ModelSink sink;
    sink.watch(&child);
    // The refusal's box is closed as soon as it shows.
    QTimer::singleShot(0, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w))
                box->accept();
    });
    QVERIFY(!child.setSelectionAside());
    QCoreApplication::processEvents();
    QVERIFY(sink.models.isEmpty());
}

void TestSetAside::outlineGoesWhereAsked_data()
{
    QTest::addColumn<bool>("askedFirst");   // Make selected images supplementary before the outline
    QTest::addColumn<bool>("outlineFirst"); // an outline already drawn when it was asked for
    QTest::addColumn<int>("images");        // images in the outline
    QTest::addColumn<int>("setAside");      // images the new window has set aside, -1 for none
    QTest::addColumn<QString>("box");       // the box shown, empty for none
    QTest::newRow("a few outliers, then the outline") << true << false << 4 << 4 << QString();
    QTest::newRow("a few outliers, outline first") << false << true << 3 << 3 << QString();
    QTest::newRow("a few outliers, not asked: the extraction refuses")
        << false << false << 4 << -1 << QStringLiteral("Try to select more datapoints");
}

void TestSetAside::outlineGoesWhereAsked()
{
    QFETCH(bool, askedFirst);
    QFETCH(bool, outlineFirst);
    QFETCH(int, images);
    QFETCH(int, setAside);
    QFETCH(QString, box);
    if (!QFileInfo(m_solver).isExecutable())
        QSKIP("the CA solver has not been built");
    CAData::casolver = m_solver;
    CAMdiChild child;
    QVERIFY(child.loadFile(m_project));
    ModelSink sink;
    sink.watch(&child);
    ModalCloser closer;
    // The outline: the first images of group B, and a few words.
    const auto outline = [&] {
        child.caView->selectedImages.clear();
        for (int i = 0; i < images; ++i)
            child.caView->selectedImages.append(10 + i);
        child.caView->selectedWords = {2, 3, 4};
    };
    if (outlineFirst)
        outline();
    else
        child.caView->selectedImages.clear();
    if (askedFirst || outlineFirst)
        QCOMPARE(child.setAsideNextOutline(), askedFirst);
    if (!outlineFirst) {
        outline();
        child.finishSelection();
    }
    if (setAside >= 0) {
        QTRY_COMPARE_WITH_TIMEOUT(sink.models.size(), 1, 30000);
        QCOMPARE(sink.models.first()->setAsideImages, setAside);
        QVERIFY(closer.seen.isEmpty());
    } else {
        QTRY_COMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen.first().text, box);
        // The box counts what the status bar counts: the images in the
        // outline, and says where setting them aside is.
        QVERIFY2(closer.seen.first().informative.startsWith(
                     QStringLiteral("%1 images and 3 words selected").arg(images)),
                 qPrintable(closer.seen.first().informative));
        QVERIFY(closer.seen.first().informative.contains(QStringLiteral("Make selected images supplementary")));
        QCoreApplication::processEvents();
        QVERIFY(sink.models.isEmpty());
    }
    // Asked once: the next outline extracts again.
    QVERIFY(!child.outlineSetsAside);
}

void TestSetAside::closePromptNamesTheTitle()
{
    CAMdiChild child;
    QVERIFY(child.loadFile(m_project));
    child.setWindowTitle(QStringLiteral("t/project.xml without 4 images[*] - Ortelis"));
    child.setWindowModified(true);
    ModalCloser closer;
    // The prompt is answered with its default button, Save, which asks for
    // a folder: cancelled.
    QVERIFY(!child.maybeSave());
    QVERIFY(!closer.seen.isEmpty());
    QCOMPARE(closer.seen.first().text,
             QStringLiteral("'t/project.xml without 4 images' has not been saved; closing it deletes it. "
                            "Save it first?"));
}

QTEST_MAIN(TestSetAside)
#include "tst_setaside.moc"
