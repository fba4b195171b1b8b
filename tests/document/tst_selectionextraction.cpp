// Extraction of a selection on a worker thread: the extracted table, the new
// data model, extracted views and their numbering, bad source tables, and
// windows closed or reselected while an extraction runs.
#include "data/model/cadata.h"
#include "data/model/console.h"
#include "document/camdichild.h"
#include "document/qprocessthread.h"
#include "map/caview.h"

#include "documentfixture.h"
#include "modalcloser.h"
#include "modelsink.h"
#include "rowgate.h"
#include "tests/filesizelimit.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <cstring>
#include <sys/stat.h>

namespace {

const QVector<int> &kImages = DocumentFixture::selectedImages();
const QVector<int> &kWords = DocumentFixture::selectedWords();

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// The extracted table the selection must give from the generated table.
QByteArray expectedTable(const QVector<int> &images, const QVector<int> &words)
{
    QByteArray text = QByteArray::number(images.size()) + ' ' + QByteArray::number(words.size()) + '\n';
    for (int image : images) {
        for (int word : words)
            text += DocumentFixture::cellText(image, word).toUtf8() + ' ';
        text += '\n';
    }
    return text;
}

QVector<int> compose(const QVector<int> &outer, const QVector<int> &inner)
{
    QVector<int> result;
    for (int i : inner)
        result.append(outer.at(i));
    return result;
}

} // namespace

class TestSelectionExtraction : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void extractedTableAndModel();
    void extractedViewsExtractAgainAndAreNumbered();
    void badSourceTable_data();
    void badSourceTable();
    void unwritableTemporaryFolder();
    void fullTemporaryFolder();
    void newSelectionDuringExtractionIsIgnored();
    void closingDuringExtractionStopsCleanly();
    void realSolverEndToEnd();

private:
    QStringList tempFiles() const;
    // Opens `model` as an extracted view; the window is checked to be titled
    // with the next view number.
    CAMdiChild *openExtract(CAData *model);

    QTemporaryDir m_dir;
    QString m_tmp;
    QString m_project;
    QString m_big;
    QString m_solver;
    int m_opened = 0; // extracted views loaded so far in this process
    QList<QPointer<CAMdiChild>> m_windows;
};

void TestSelectionExtraction::initTestCase()
{
    std::signal(SIGPIPE, SIG_IGN);
    QVERIFY(m_dir.isValid());
    // Extracted tables land in the temporary folder: make it ours.
    m_tmp = m_dir.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(m_tmp));
    qputenv("TMPDIR", QFile::encodeName(m_tmp));
    QCOMPARE(QDir::tempPath(), m_tmp);

    m_project = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("p")), {});

    DocumentFixture::Options big;
    big.images = 2000;
    big.words = 1000;
    m_big = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("big")), big);

    m_solver = DocumentFixture::writeFakeSolver(m_dir.path());
}

void TestSelectionExtraction::init()
{
    CAData::casolver = m_solver;
}

void TestSelectionExtraction::cleanup()
{
    for (const QPointer<CAMdiChild> &w : std::as_const(m_windows))
        delete w.data();
    m_windows.clear();
    for (const QString &f : QDir(m_tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        QDir(m_tmp + QLatin1Char('/') + f).removeRecursively() || QFile::remove(m_tmp + QLatin1Char('/') + f);
}

QStringList TestSelectionExtraction::tempFiles() const
{
    // Each extraction has a folder of its own; list what is in them too.
    return DocumentFixture::entries(m_tmp);
}

CAMdiChild *TestSelectionExtraction::openExtract(CAData *model)
{
    auto *child = new CAMdiChild;
    child->setAttribute(Qt::WA_DeleteOnClose, false);
    m_windows.append(child);
    if (!child->setData(model))
        return nullptr;
    ++m_opened;
    if (child->windowTitle() != QStringLiteral("Extracted view [%1][*] - Ortelis").arg(m_opened)) {
        qWarning() << "unexpected title" << child->windowTitle() << "for view" << m_opened;
        return nullptr;
    }
    return child;
}

void TestSelectionExtraction::extractedTableAndModel()
{
    CAMdiChild child;
    QVERIFY(child.loadFile(m_project));
    child.caView->selectedImages = kImages;
    child.caView->selectedWords = kWords;
    ModelSink sink;
    sink.watch(&child);

    Console::Capture capture;
    child.finishSelection();
    QTRY_COMPARE_WITH_TIMEOUT(sink.models.size(), 1, 30000);
    QCOMPARE(sink.parents.at(0), &child);
    std::unique_ptr<CAData> model(sink.take());

    // The table: header, then one line per image, each value followed by a
    // blank, in the general 6-digit format.
    QVERIFY(QFileInfo(model->fileF).isAbsolute());
    const QString folder = QFileInfo(model->fileF).absolutePath();
    QCOMPARE(QFileInfo(folder).absolutePath(), m_tmp);
    QCOMPARE(model->scratchDir, folder);
    // The table, and the lock that tells a later viewer this one owns it.
    QStringList expected{QFileInfo(folder).fileName(),
                         QFileInfo(folder).fileName() + QStringLiteral("/table.txt"),
                         QFileInfo(folder).fileName() + QStringLiteral("/.ortelis-owner.lock")};
    QStringList listed = tempFiles();
    expected.sort();
    listed.sort();
    QCOMPARE(listed, expected);
    const QByteArray table = readAll(model->fileF);
    QCOMPARE(table, expectedTable(kImages, kWords));
    const QList<QByteArray> lines = table.split('\n');
    QCOMPARE(lines.size(), 14); // header, 12 rows, nothing after the last line end
    QVERIFY(lines.last().isEmpty());
    QCOMPARE(lines[1].split(' ').size(), 16); // 15 values, each followed by a blank
    QVERIFY(lines[1].endsWith(' '));
    QCOMPARE(lines[4].split(' ').value(0), QByteArray("0.5"));          // image 2, word 3
    QCOMPARE(lines[5].split(' ').value(1), QByteArray("1.23457e+06"));  // image 4, word 5
    QCOMPARE(lines[6].split(' ').value(2), QByteArray("3"));            // image 6, word 7
    QCOMPARE(lines[7].split(' ').value(3), QByteArray("1e-05"));        // image 8, word 9

    QCOMPARE(capture.out(), (QStringList{QStringLiteral("rows = 60 cols = 60"),
                                         QStringLiteral("temp file: ") + model->fileF}));
    QVERIFY(capture.err().isEmpty());

    // The model: unread, with everything the solver run and the views need.
    QCOMPARE(model->nbImages, 0);
    QVERIFY(!model->identityLabels);
    QCOMPARE(model->baseDir, child.data->baseDir);
    QCOMPARE(model->nbAxis, 3);
    QVERIFY(model->fileZ.isEmpty() && model->fileW.isEmpty() && model->fileLambda.isEmpty());
    QVERIFY(model->labels && model->descriptors && model->wordLabels);
    for (int k = 0; k < kImages.size(); ++k) {
        QCOMPARE(model->labels[k].imageFile, DocumentFixture::imageFile(kImages[k]));
        QCOMPARE(model->labels[k].category, DocumentFixture::category(kImages[k]));
        QCOMPARE(model->descriptors[k], DocumentFixture::keypointFile(kImages[k]));
    }
    for (int l = 0; l < kWords.size(); ++l)
        QCOMPARE(model->wordLabel(l), kWords[l]);
    QCOMPARE(model->wordSet, QSet<int>(kWords.cbegin(), kWords.cend()));
    QCOMPARE(model->thread(), QThread::currentThread());

    // The folder goes with the model.
    model.reset();
    QVERIFY2(tempFiles().isEmpty(), qPrintable(tempFiles().join(QLatin1Char(' '))));
}

void TestSelectionExtraction::extractedViewsExtractAgainAndAreNumbered()
{
    CAMdiChild child;
    QVERIFY(child.loadFile(m_project));
    // Names the parent read from its categories file.
    child.data->categoriesPath = m_dir.filePath(QStringLiteral("p/names.txt"));
    child.data->categoryNames = {{100, QStringLiteral("cats")}, {103, QStringLiteral("red pandas")}};
    child.caView->selectedImages = kImages;
    child.caView->selectedWords = kWords;
    ModelSink sink;
    sink.watch(&child);
    child.finishSelection();
    QTRY_COMPARE_WITH_TIMEOUT(sink.models.size(), 1, 30000);

    // First extracted view: the solver runs on the table, image k is the
    // parent's selectedImages[k], word l keeps the parent's label.
    CAMdiChild *first = openExtract(sink.take());
    QVERIFY(first);
    CAData *d1 = first->data;
    QCOMPARE(d1->nbImages, 12);
    QCOMPARE(d1->nbWords, 15);
    QCOMPARE(first->caView->data, d1);
    for (int k = 0; k < 12; ++k) {
        QCOMPARE(d1->labels[k].imageFile, DocumentFixture::imageFile(kImages[k]));
        QCOMPARE(d1->getImageName(k), child.data->getImageName(kImages[k]));
        QCOMPARE(d1->descriptors[k], child.data->descriptors[kImages[k]]);
    }
    for (int l = 0; l < 15; ++l)
        QCOMPARE(d1->wordLabel(l), kWords[l]);
    // The parent's category names, kept through the extracted view's load.
    QCOMPARE(d1->categoriesPath, child.data->categoriesPath);
    QCOMPARE(d1->categoryNames, child.data->categoryNames);
    QCOMPARE(d1->categoryName(103), QStringLiteral("red pandas"));

    // A view that fails to load uses no number.
    auto *broken = new CAData(false);
    broken->fileF = m_dir.filePath(QStringLiteral("no_such_table.txt"));
    {
        ModalCloser closer;
        CAMdiChild failed;
        failed.setAttribute(Qt::WA_DeleteOnClose, false);
        QVERIFY(!failed.setData(broken));
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].text, QStringLiteral("Error in reading data"));
        QVERIFY(failed.windowTitle().isEmpty());
    }

    // Second extraction, from the extracted view: values and labels go back
    // to the first project through both selections.
    const QVector<int> images2{11, 0, 3, 4, 5, 6, 7, 8, 9, 1};
    const QVector<int> words2{14, 2, 0, 1, 3, 4, 5, 6, 7, 8};
    first->caView->selectedImages = images2;
    first->caView->selectedWords = words2;
    sink.watch(first);
    first->finishSelection();
    QTRY_COMPARE_WITH_TIMEOUT(sink.models.size(), 1, 30000);
    CAData *model2 = sink.take();
    QCOMPARE(model2->baseDir, child.data->baseDir);
    QCOMPARE(readAll(model2->fileF),
             expectedTable(compose(kImages, images2), compose(kWords, words2)));

    CAMdiChild *second = openExtract(model2);
    QVERIFY(second);
    CAData *d2 = second->data;
    QCOMPARE(d2->nbImages, 10);
    QCOMPARE(d2->nbWords, 10);
    for (int l = 0; l < 10; ++l)
        QCOMPARE(d2->wordLabel(l), kWords[words2[l]]);
    for (int k = 0; k < 10; ++k) {
        QCOMPARE(d2->labels[k].imageFile, DocumentFixture::imageFile(kImages[images2[k]]));
        QCOMPARE(d2->descriptors[k], DocumentFixture::keypointFile(kImages[images2[k]]));
    }
}

void TestSelectionExtraction::badSourceTable_data()
{
    QTest::addColumn<QString>("tableText"); // null: no table on disk
    QTest::addColumn<QString>("problem");

    QByteArray shortRows = DocumentFixture::tableHeader(30, 60);
    for (int r = 0; r < 30; ++r)
        shortRows += DocumentFixture::tableRow(r, 60);
    QByteArray narrow = DocumentFixture::tableHeader(60, 40);
    for (int r = 0; r < 60; ++r)
        narrow += DocumentFixture::tableRow(r, 40);
    QByteArray truncated = DocumentFixture::tableHeader(60, 60);
    for (int r = 0; r < 20; ++r)
        truncated += DocumentFixture::tableRow(r, 60);
    QByteArray garbled = DocumentFixture::tableHeader(60, 60) + DocumentFixture::tableRow(0, 60)
        + "1 2 x3 4\n";

    QTest::newRow("missing") << QString() << QStringLiteral("cannot open");
    QTest::newRow("fewer rows") << QString::fromLatin1(shortRows)
                                << QStringLiteral("has 30 rows and 60 columns; the selection needs 60 rows and 60 columns");
    QTest::newRow("fewer columns") << QString::fromLatin1(narrow)
                                   << QStringLiteral("has 60 rows and 40 columns; the selection needs 60 rows and 60 columns");
    QTest::newRow("ends early") << QString::fromLatin1(truncated)
                                << QStringLiteral("ends after 1200 of the 3600 values");
    QTest::newRow("not a number") << QString::fromLatin1(garbled) << QStringLiteral("('x3') is not a number");
    QTest::newRow("no header") << QStringLiteral("rows cols\n1 2\n")
                               << QStringLiteral("does not start with its row and column counts");
    // The count of values a header announces is beyond 64 bits: the message
    // still gives it right.
    QTest::newRow("huge header") << QString::fromLatin1("4000000000 4000000000\n" + DocumentFixture::tableRow(0, 60))
                                 << QStringLiteral("ends after 60 of the 16000000000000000000 values");
    // Replaced by a FIFO nobody writes to: refused at once, not waited on.
    QTest::newRow("FIFO") << QStringLiteral("<fifo>") << QStringLiteral("a FIFO, not a regular file");
}

void TestSelectionExtraction::badSourceTable()
{
    QFETCH(QString, tableText);
    QFETCH(QString, problem);

    DocumentFixture::Options o;
    o.tableText = tableText;
    o.writeTable = !tableText.isNull();
    const QString dir = m_dir.filePath(QStringLiteral("bad_%1").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')));
    const QString project = DocumentFixture::writeProject(dir, o);
    const QString table = dir + QStringLiteral("/table.txt");

    CAMdiChild child;
    QVERIFY(child.loadFile(project));
    if (tableText == QLatin1String("<fifo>")) {
        QFile::remove(table);
        QCOMPARE(::mkfifo(QFile::encodeName(table).constData(), 0600), 0);
    }
    child.caView->selectedImages = kImages;
    child.caView->selectedWords = kWords;
    ModelSink sink;
    sink.watch(&child);

    Console::Capture capture;
    ModalCloser closer;
    child.finishSelection();
    QCOMPARE(child.threads.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(closer.seen.size(), 1, 30000);
    QVERIFY(child.threads.at(0)->wait());

    const QString message = closer.seen[0].text;
    QVERIFY2(message.startsWith(QStringLiteral("Original data is missing: ")), qPrintable(message));
    QVERIFY2(message.contains(table), qPrintable(message));
    QVERIFY2(message.contains(problem), qPrintable(message));
    QCOMPARE(closer.seen[0].title, QStringLiteral("Ortelis"));
    QCOMPARE(closer.seen[0].parent, static_cast<QWidget *>(&child));
    QCOMPARE(capture.err(), QStringList{message});
    QVERIFY(capture.out().isEmpty()); // neither "rows = " nor "temp file: "

    QCoreApplication::processEvents();
    QVERIFY(sink.models.isEmpty());
    QVERIFY(tempFiles().isEmpty());
}

void TestSelectionExtraction::unwritableTemporaryFolder()
{
    // A temporary "folder" that is a plain file: nothing can be created in
    // it, whoever runs the test.
    const QString absent = m_dir.filePath(QStringLiteral("not_a_folder"));
    QVERIFY(DocumentFixture::writeFile(absent, "plain file\n"));
    qputenv("TMPDIR", QFile::encodeName(absent));
    QCOMPARE(QDir::tempPath(), absent);
    CAMdiChild child;
    QVERIFY(child.loadFile(m_project));
    child.caView->selectedImages = kImages;
    child.caView->selectedWords = kWords;
    ModelSink sink;
    sink.watch(&child);

    Console::Capture capture;
    ModalCloser closer;
    child.finishSelection();
    QTRY_COMPARE_WITH_TIMEOUT(closer.seen.size(), 1, 30000);
    QVERIFY(child.threads.at(0)->wait());
    qputenv("TMPDIR", QFile::encodeName(m_tmp));

    const QString message = closer.seen[0].text;
    QVERIFY2(message.startsWith(QStringLiteral("Cannot create the extracted table in '%1'").arg(absent)),
             qPrintable(message));
    QCOMPARE(capture.err(), QStringList{message});
    QVERIFY(!capture.out().join(QLatin1Char('\n')).contains(QStringLiteral("temp file: ")));
    QCoreApplication::processEvents();
    QVERIFY(sink.models.isEmpty());
}

void TestSelectionExtraction::fullTemporaryFolder()
{
    CAMdiChild child;
    QVERIFY(child.loadFile(m_project));
    child.caView->selectedImages = kImages;
    child.caView->selectedWords = kWords;
    ModelSink sink;
    sink.watch(&child);

    Console::Capture capture;
    ModalCloser closer;
    {
        // No file may grow past the header line, as on a full disk: the
        // first row cannot be written.
        bool stopped = false;
        {
            const FileSizeLimit full(16);
            QVERIFY(full.isSet());
            child.finishSelection();
            stopped = child.threads.at(0)->wait(60000);
        }
        QVERIFY(stopped);
    }
    QTRY_COMPARE_WITH_TIMEOUT(closer.seen.size(), 1, 30000);

    const QString message = closer.seen[0].text;
    QVERIFY2(message.startsWith(QStringLiteral("Cannot write the extracted table '%1/").arg(m_tmp)),
             qPrintable(message));
    QVERIFY2(message.endsWith(QString::fromLocal8Bit(std::strerror(EFBIG)) + QLatin1Char('.')),
             qPrintable(message));
    QCOMPARE(capture.err(), QStringList{message});
    QVERIFY(!capture.out().join(QLatin1Char('\n')).contains(QStringLiteral("temp file: ")));
    QVERIFY2(tempFiles().isEmpty(), qPrintable(tempFiles().join(QLatin1Char(' '))));
    QCoreApplication::processEvents();
    QVERIFY(sink.models.isEmpty());
}

void TestSelectionExtraction::newSelectionDuringExtractionIsIgnored()
{
    CAMdiChild child;
    QVERIFY(child.loadFile(m_big));
    const QVector<int> images{1999, 3, 500, 2, 4, 6, 8, 1200, 33, 21, 40, 11};
    child.caView->selectedImages = images;
    child.caView->selectedWords = kWords;
    ModelSink sink;
    sink.watch(&child);

    std::atomic<bool> goOn{false};
    RowGate gate(2000, 10, [&goOn] { return goOn.load(); });
    child.finishSelection();
    QCOMPARE(child.threads.size(), 1);
    gate.waitForGate();

    // While the worker waits for the table: a new selection in the map, and
    // even a new model in the window, freeing the one the selection came from.
    child.caView->selectedImages = QVector<int>{7, 8, 9};
    child.caView->selectedWords.clear();
    QVERIFY(child.loadFile(m_project));
    goOn = true;

    QTRY_COMPARE_WITH_TIMEOUT(sink.models.size(), 1, 60000);
    gate.finish();
    std::unique_ptr<CAData> model(sink.take());
    QCOMPARE(readAll(model->fileF), expectedTable(images, kWords));
    QCOMPARE(model->labels[0].imageFile, DocumentFixture::imageFile(1999));
    QCOMPARE(model->descriptors[7], DocumentFixture::keypointFile(1200));
    QCOMPARE(model->wordLabel(14), 2);
}

void TestSelectionExtraction::closingDuringExtractionStopsCleanly()
{
    auto *child = new CAMdiChild;
    QVERIFY(child->loadFile(m_big));
    child->caView->selectedImages = QVector<int>{1999, 3, 500, 2, 4, 6, 8, 1200, 33, 21};
    child->caView->selectedWords = kWords;
    ModelSink sink;
    sink.watch(child);

    // The gate holds the worker in the table until the window asks it to stop.
    RowGate gate(2000, 10, [] { return QThread::currentThread()->isInterruptionRequested(); });
    child->finishSelection();
    QCOMPARE(child->threads.size(), 1);
    gate.waitForGate();

    Console::Capture capture;
    QPointer<CAMdiChild> guard(child);
    child->close();
    QTRY_VERIFY(!guard);
    gate.finish();

    QStringList lines = capture.all();
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const QString &l) {
                                   return l != QLatin1String("MDI Child dies")
                                       && l != QLatin1String("Thread die")
                                       && !l.startsWith(QLatin1String("terminate thread "))
                                       && !l.startsWith(QLatin1String("temp file: "))
                                       && !l.startsWith(QLatin1String("rows = "))
                                       && !l.startsWith(QLatin1String("err: "));
                               }),
                lines.end());
    QCOMPARE(lines, (QStringList{QStringLiteral("MDI Child dies"),
                                 QStringLiteral("terminate thread 0"),
                                 QStringLiteral("Thread die")}));
    // The worker left in the middle of the table, wrote nothing and emitted
    // nothing.
    QVERIFY(gate.stoppedEarly());
    QVERIFY(gate.rowsReached() < 1999);
    QCoreApplication::processEvents();
    QVERIFY(sink.models.isEmpty());
    QVERIFY(tempFiles().isEmpty());
}

void TestSelectionExtraction::realSolverEndToEnd()
{
    const QString bin = qEnvironmentVariable("ORTELIS_BIN_DIR");
    const QString solver = bin + QStringLiteral("/ca.exe");
    if (bin.isEmpty() || !QFileInfo(solver).isExecutable())
        QSKIP("the CA solver has not been built");
    CAData::casolver = solver;

    CAMdiChild child;
    QVERIFY(child.loadFile(m_project));
    child.caView->selectedImages = kImages;
    child.caView->selectedWords = kWords;
    ModelSink sink;
    sink.watch(&child);
    child.finishSelection();
    QTRY_COMPARE_WITH_TIMEOUT(sink.models.size(), 1, 30000);

    CAMdiChild *view = openExtract(sink.take());
    QVERIFY(view);
    QCOMPARE(view->data->nbImages, 12);
    QCOMPARE(view->data->nbWords, 15);
    QVERIFY(view->data->nbAxis >= 1 && view->data->nbAxis <= 3);
    for (int a = 0; a < view->data->nbAxis; ++a)
        QVERIFY(view->data->lambda[a] > 0);
}

QTEST_MAIN(TestSelectionExtraction)
#include "tst_selectionextraction.moc"
