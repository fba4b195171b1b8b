// The document window: layout, titles, loading, wiring and the checks made
// before a selection is extracted.
#include "data/model/cadata.h"
#include "data/model/console.h"
#include "detail/imageview.h"
#include "detail/wordview.h"
#include "document/camdichild.h"
#include "document/qprocessthread.h"
#include "map/caview.h"

#include "documentfixture.h"
#include "modalcloser.h"
#include "modelsink.h"

#include <QApplication>
#include <QPointer>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <numeric>

namespace {

QVector<int> range(int n)
{
    QVector<int> v(n);
    std::iota(v.begin(), v.end(), 0);
    return v;
}

} // namespace

class TestCAMdiChild : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void layout();
    void loadSetsTitleAndHandsModelToMap();
    void failingLoad_data();
    void failingLoad();
    void failedRefillKeepsShownModel();
    void wiring();
    void selectionFinishedReachesTheChecks();
    void selectionSize_data();
    void selectionSize();
    void noTableRefused();
    void solverChoice_data();
    void solverChoice();
    void destructorStopsWorkers();
    void categoriesFile_data();
    void categoriesFile();

private:
    QTemporaryDir m_dir;
    QString m_project;
    QString m_noTable;
    QString m_solver;
};

void TestCAMdiChild::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("TMPDIR", QFile::encodeName(m_dir.filePath(QStringLiteral("tmp"))));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("tmp"))));
    m_project = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("p")), {});
    DocumentFixture::Options noTable;
    noTable.withTable = false;
    m_noTable = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("q")), noTable);
    m_solver = DocumentFixture::writeFakeSolver(m_dir.path());
}

void TestCAMdiChild::init()
{
    CAData::casolver = m_solver;
}

void TestCAMdiChild::layout()
{
    CAMdiChild child;
    QVERIFY(child.testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(child.orientation(), Qt::Horizontal);
    QCOMPARE(child.size(), QSize(800, 600));
    QCOMPARE(child.count(), 2);
    QCOMPARE(child.widget(0), static_cast<QWidget *>(child.caView));

    auto *column = qobject_cast<QSplitter *>(child.widget(1));
    QVERIFY(column);
    QCOMPARE(column->orientation(), Qt::Vertical);
    QCOMPARE(column->count(), 2);
    auto *upper = qobject_cast<QScrollArea *>(column->widget(0));
    auto *lower = qobject_cast<QScrollArea *>(column->widget(1));
    QVERIFY(upper && lower);
    QCOMPARE(upper->widget(), static_cast<QWidget *>(child.wordView));
    QCOMPARE(lower->widget(), static_cast<QWidget *>(child.imageView));
    QVERIFY(!child.data);

    child.setAttribute(Qt::WA_DeleteOnClose, false);
    child.show();
    QVERIFY(QTest::qWaitForWindowExposed(&child));
    const QList<int> outer = child.sizes();
    const QList<int> inner = column->sizes();
    QCOMPARE(outer.size(), 2);
    QCOMPARE(inner.size(), 2);
    const double mapShare = double(outer[0]) / (outer[0] + outer[1]);
    const double wordShare = double(inner[0]) / (inner[0] + inner[1]);
    QVERIFY2(qAbs(mapShare - 0.6) < 0.02, qPrintable(QString::number(mapShare)));
    QVERIFY2(qAbs(wordShare - 0.7) < 0.02, qPrintable(QString::number(wordShare)));
}

void TestCAMdiChild::loadSetsTitleAndHandsModelToMap()
{
    Console::Capture capture;
    CAMdiChild child;
    QSignalSpy contents(&child, &CAMdiChild::contentsChanged);
    QVERIFY(child.loadFile(m_project));

    QVERIFY(child.data);
    QCOMPARE(child.data->nbImages, 60);
    QCOMPARE(contents.count(), 1);
    QCOMPARE(contents.at(0).at(0).value<CAData *>(), child.data);
    QCOMPARE(child.caView->data, child.data);
    QCOMPARE(child.curFile, m_project);
    // Named with its folder: projects are mostly all called project.xml.
    QCOMPARE(child.windowTitle(), QStringLiteral("p/project.xml[*] - Ortelis"));
    QCOMPARE(child.windowTitle().remove(QStringLiteral("[*]")),
             QStringLiteral("p/project.xml - Ortelis"));

    const QStringList out = capture.out();
    QCOMPARE(out.value(0), QStringLiteral("PArsing ..."));
    QCOMPARE(out.value(1), QStringLiteral("path = ") + m_dir.filePath(QStringLiteral("p")));
    QCOMPARE(out.value(2), QStringLiteral("XML parser base = ") + m_dir.filePath(QStringLiteral("p")));
    QCOMPARE(out.last(), QStringLiteral("Nb_axis = 3"));

    child.setCurrentFile(QString());
    QCOMPARE(child.windowTitle(), QStringLiteral("untitled.xml[*] - Ortelis"));
    QCOMPARE(child.strippedName(QStringLiteral("/a/b/c.xml")), QStringLiteral("c.xml"));
}

void TestCAMdiChild::failingLoad_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: the file is not written
    // What the error line about the project itself says; empty: no such line.
    QTest::addColumn<QString>("problem");

    QTest::newRow("no such file") << QStringLiteral("absent.xml") << QByteArray()
                                  << QStringLiteral("cannot open the project file '");
    QTest::newRow("a folder") << QStringLiteral("folder.xml/") << QByteArray()
                              << QStringLiteral("cannot open the project file '");
    QTest::newRow("empty file") << QStringLiteral("empty.xml") << QByteArray("")
                                << QStringLiteral("empty.xml: line 1");
    QTest::newRow("result file missing")
        << QStringLiteral("broken.xml")
        << QByteArray("<XML><FILE name='Z' path='nowhere_Z.txt'/><FILE name='W' path='w'/>"
                      "<FILE name='LAMBDA' path='l'/></XML>")
        << QString();
    QTest::newRow("malformed xml") << QStringLiteral("bad.xml") << QByteArray("<XML><AXIS number=")
                                   << QStringLiteral("bad.xml: line 1");
    // A FIFO nobody writes to: refused at once instead of hanging the viewer.
    QTest::newRow("a FIFO") << QStringLiteral("fifo.xml|") << QByteArray()
                            << QStringLiteral("it is a FIFO, not a regular file");
}

void TestCAMdiChild::failingLoad()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, problem);
    QString path = m_dir.filePath(name);
    if (path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
        QVERIFY(QDir().mkpath(path));
    }
    if (path.endsWith(QLatin1Char('|'))) {
        path.chop(1);
        QFile::remove(path);
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    if (!content.isNull())
        QVERIFY(DocumentFixture::writeFile(path, content));

    Console::Capture capture;
    CAMdiChild child;
    QSignalSpy contents(&child, &CAMdiChild::contentsChanged);
    ModalCloser closer;
    QVERIFY(!child.loadFile(path));

    QCOMPARE(closer.seen.size(), 1);
    QCOMPARE(closer.seen[0].className, QStringLiteral("QMessageBox"));
    QCOMPARE(closer.seen[0].title, QStringLiteral("Ortelis"));
    QCOMPARE(closer.seen[0].text, QStringLiteral("Error in reading data"));
    QCOMPARE(contents.count(), 0);
    QVERIFY(child.windowTitle().isEmpty());
    QVERIFY(child.curFile.isEmpty());
    QVERIFY(!child.caView->data);
    // The model the handler made stays with the window, which frees it.
    QVERIFY(child.data);

    const QStringList projectErrors = capture.err().filter(QStringLiteral("Error: ") + path)
        + capture.err().filter(QStringLiteral("project file '") + path + QLatin1Char('\''));
    if (problem.isEmpty()) {
        QVERIFY2(projectErrors.isEmpty(), qPrintable(projectErrors.join('\n')));
    } else {
        QCOMPARE(projectErrors.size(), 1);
        QVERIFY2(projectErrors[0].contains(problem), qPrintable(projectErrors[0]));
    }
}

void TestCAMdiChild::failedRefillKeepsShownModel()
{
    CAMdiChild child;
    QVERIFY(child.loadFile(m_project));
    QPointer<CAData> first = child.data;

    {
        ModalCloser closer;
        QVERIFY(!child.loadFile(m_dir.filePath(QStringLiteral("absent.xml"))));
        QCOMPARE(closer.seen.size(), 1);
    }
    // The map still shows a live model: the one it was given.
    QVERIFY(first);
    QCOMPARE(child.data, first.data());
    QCOMPARE(child.caView->data, first.data());
    QCOMPARE(child.windowTitle(), QStringLiteral("p/project.xml[*] - Ortelis"));

    QVERIFY(child.loadFile(m_project));
    QVERIFY(!first); // replaced, and freed
    QCOMPARE(child.caView->data, child.data);
}

void TestCAMdiChild::wiring()
{
    CAMdiChild child;
    QVERIFY(child.loadFile(m_project));
    QVector<int> images{1, 2, 3};
    QSet<int> words{3, 4};

    // The map's neighbourhood reaches the word view, its words both panes.
    emit child.caView->imagesChanged(&images, &words, child.data, 2, child.caView);
    QCOMPARE(child.wordView->imageList, &images);
    QCOMPARE(child.wordView->data, child.data);
    QCOMPARE(child.wordView->caview, child.caView);
    QSet<int> other{5};
    emit child.caView->wordsChanged(&other);
    QCOMPARE(child.wordView->wordList, &other);
    QCOMPARE(child.imageView->wordList, &other);

    // A click in either pane focuses the image on the map.
    emit child.wordView->focusChanged(7);
    QCOMPARE(child.caView->focusImage, 7);
    emit child.imageView->focusChanged(9);
    QCOMPARE(child.caView->focusImage, 9);

    // Each connection of the window exists exactly once: disconnecting it
    // succeeds the first time only.
    QVERIFY(QObject::disconnect(child.caView, &CAView::imagesChanged, child.wordView, &WordView::changeImages));
    QVERIFY(!QObject::disconnect(child.caView, &CAView::imagesChanged, child.wordView, &WordView::changeImages));
    QVERIFY(QObject::disconnect(child.caView, &CAView::wordsChanged, child.wordView, &WordView::changeWords));
    QVERIFY(!QObject::disconnect(child.caView, &CAView::wordsChanged, child.wordView, &WordView::changeWords));
    QVERIFY(QObject::disconnect(child.caView, &CAView::wordsChanged, child.imageView, &ImageView::changeWords));
    QVERIFY(!QObject::disconnect(child.caView, &CAView::wordsChanged, child.imageView, &ImageView::changeWords));
    QVERIFY(QObject::disconnect(child.wordView, &WordView::focusChanged, child.caView, &CAView::changeFocus));
    QVERIFY(!QObject::disconnect(child.wordView, &WordView::focusChanged, child.caView, &CAView::changeFocus));
    QVERIFY(QObject::disconnect(child.imageView, &ImageView::focusChanged, child.caView, &CAView::changeFocus));
    QVERIFY(!QObject::disconnect(child.imageView, &ImageView::focusChanged, child.caView, &CAView::changeFocus));
    QVERIFY(QObject::disconnect(child.wordView, &WordView::cellChanged, child.imageView, &ImageView::changeCell));
    QVERIFY(!QObject::disconnect(child.wordView, &WordView::cellChanged, child.imageView, &ImageView::changeCell));
    QVERIFY(QObject::disconnect(&child, &CAMdiChild::contentsChanged, child.caView, &CAView::setData));
    QVERIFY(!QObject::disconnect(&child, &CAMdiChild::contentsChanged, child.caView, &CAView::setData));
    QVERIFY(QObject::disconnect(child.caView, &CAView::selectionFinished, &child, &CAMdiChild::finishSelection));
    QVERIFY(!QObject::disconnect(child.caView, &CAView::selectionFinished, &child, &CAMdiChild::finishSelection));
}

void TestCAMdiChild::selectionFinishedReachesTheChecks()
{
    CAMdiChild child;
    QVERIFY(child.loadFile(m_project));
    ModalCloser closer;
    emit child.caView->selectionFinished();
    QCOMPARE(closer.seen.size(), 1);
    QCOMPARE(closer.seen[0].text, QStringLiteral("Try to select more datapoints"));
}

void TestCAMdiChild::selectionSize_data()
{
    QTest::addColumn<int>("images");
    QTest::addColumn<int>("words");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("9 images, 50 words") << 9 << 50 << false;
    QTest::newRow("50 images, 9 words") << 50 << 9 << false;
    QTest::newRow("nothing") << 0 << 0 << false;
    QTest::newRow("10 and 10") << 10 << 10 << true;
}

void TestCAMdiChild::selectionSize()
{
    QFETCH(int, images);
    QFETCH(int, words);
    QFETCH(bool, accepted);

    CAMdiChild child;
    QVERIFY(child.loadFile(m_project));
    child.caView->selectedImages = range(images);
    child.caView->selectedWords = range(words);
    ModelSink sink;
    sink.watch(&child);

    Console::Capture capture;
    ModalCloser closer;
    child.finishSelection();

    if (accepted) {
        QVERIFY2(closer.seen.isEmpty(), qPrintable(closer.seen.value(0).className + QLatin1Char(' ')
                                                   + closer.seen.value(0).title + QLatin1Char(' ')
                                                   + closer.seen.value(0).text));
        QCOMPARE(child.threads.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(sink.models.size(), 1, 30000);
        QCOMPARE(sink.parents.at(0), &child);
        QVERIFY(capture.err().isEmpty());
    } else {
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, QStringLiteral("Ortelis"));
        QCOMPARE(closer.seen[0].text, QStringLiteral("Try to select more datapoints"));
        QCOMPARE(closer.seen[0].parent, static_cast<QWidget *>(&child));
        QCOMPARE(capture.err(), QStringList{QStringLiteral("Try to select more datapoints")});
        QVERIFY(child.threads.isEmpty());
    }
}

void TestCAMdiChild::noTableRefused()
{
    CAMdiChild child;
    QVERIFY(child.loadFile(m_noTable));
    child.caView->selectedImages = range(20);
    child.caView->selectedWords = range(20);

    Console::Capture capture;
    ModalCloser closer;
    child.finishSelection();
    QCOMPARE(closer.seen.size(), 1);
    QCOMPARE(closer.seen[0].text, QStringLiteral("Original data is missing"));
    QCOMPARE(closer.seen[0].parent, static_cast<QWidget *>(&child));
    QCOMPARE(capture.err(), QStringList{QStringLiteral("Original data is missing")});
    QVERIFY(child.threads.isEmpty());
}

void TestCAMdiChild::solverChoice_data()
{
    QTest::addColumn<QString>("pick"); // "": cancel; "plain": a non-executable file
    QTest::addColumn<bool>("started");
    QTest::newRow("cancelled") << QString() << false;
    QTest::newRow("not executable") << QStringLiteral("plain") << false;
    QTest::newRow("executable") << QStringLiteral("solver") << true;
}

void TestCAMdiChild::solverChoice()
{
    QFETCH(QString, pick);
    QFETCH(bool, started);

    QString file;
    if (pick == QLatin1String("plain")) {
        file = m_dir.filePath(QStringLiteral("plain.txt"));
        QVERIFY(DocumentFixture::writeFile(file, "not a program\n"));
    } else if (pick == QLatin1String("solver")) {
        file = m_solver;
    }

    CAMdiChild child;
    QVERIFY(child.loadFile(m_project));
    child.caView->selectedImages = range(12);
    child.caView->selectedWords = range(12);
    ModelSink sink;
    sink.watch(&child);
    CAData::casolver = m_dir.filePath(QStringLiteral("no_such_solver"));

    Console::Capture capture;
    {
        ModalCloser closer(file);
        child.finishSelection();
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].title, QStringLiteral("Choose CA application file"));
        QCOMPARE(closer.seen[0].parent, static_cast<QWidget *>(&child));
    }
    QVERIFY(capture.err().isEmpty()); // nothing is reported
    QCOMPARE(child.threads.size(), started ? 1 : 0);
    if (started) {
        QCOMPARE(CAData::casolver, m_solver);
        QTRY_COMPARE_WITH_TIMEOUT(sink.models.size(), 1, 30000);
        // The choice holds for the next extraction: no dialog this time.
        ModalCloser closer;
        child.finishSelection();
        QCOMPARE(child.threads.size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(sink.models.size(), 2, 30000);
        QCOMPARE(closer.seen.size(), 0);
    } else {
        QCOMPARE(CAData::casolver, m_dir.filePath(QStringLiteral("no_such_solver")));
    }
}

void TestCAMdiChild::destructorStopsWorkers()
{
    auto *child = new CAMdiChild;
    QVERIFY(child->loadFile(m_project));
    child->caView->selectedImages = range(10);
    child->caView->selectedWords = range(10);
    ModelSink sink;
    sink.watch(child);
    child->finishSelection();
    child->finishSelection();
    QCOMPARE(child->threads.size(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(sink.models.size(), 2, 30000);

    Console::Capture capture;
    QPointer<CAMdiChild> guard(child);
    child->close(); // delete on close
    QTRY_VERIFY(!guard);
    QStringList lines = capture.out();
    // The panes may write their own lines as they go.
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const QString &l) {
                                   return l != QLatin1String("MDI Child dies")
                                       && l != QLatin1String("Thread die")
                                       && !l.startsWith(QLatin1String("terminate thread "));
                               }),
                lines.end());
    QCOMPARE(lines, (QStringList{QStringLiteral("MDI Child dies"),
                                 QStringLiteral("terminate thread 0"), QStringLiteral("Thread die"),
                                 QStringLiteral("terminate thread 1"), QStringLiteral("Thread die")}));
}

QTEST_MAIN(TestCAMdiChild)
#include "tst_camdichild.moc"

void TestCAMdiChild::categoriesFile_data()
{
    QTest::addColumn<QByteArray>("text"); // empty: no file on disk
    QTest::addColumn<QString>("name100");
    QTest::addColumn<QString>("name101");
    QTest::addColumn<QString>("warning");
    QTest::newRow("named") << QByteArray("100 red panda\n101 bicycles\n") << "red panda"
                           << "bicycles" << QString();
    QTest::newRow("missing file") << QByteArray() << "#100" << "#101"
                                  << "Warning: cannot open the categories file";
    QTest::newRow("malformed line") << QByteArray("100 cats\nhundred-one dogs\n") << "cats"
                                    << "#101" << ", line 2: ";
}

// A project naming a categories file opens through the loader with the
// names; a missing or bad list is a warning, never a failed load.
void TestCAMdiChild::categoriesFile()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, name100);
    QFETCH(QString, name101);
    QFETCH(QString, warning);
    const QString folder = m_dir.filePath(QStringLiteral("categories"));
    QDir(folder).removeRecursively();
    const QString project = DocumentFixture::writeProject(folder, {});
    QFile xml(project);
    QVERIFY(xml.open(QIODevice::ReadOnly));
    QByteArray content = xml.readAll();
    xml.close();
    content.replace("</XML>", "<FILE name='CATEGORIES' path='names.txt'/>\n</XML>");
    QVERIFY(DocumentFixture::writeFile(project, content));
    if (!text.isEmpty())
        QVERIFY(DocumentFixture::writeFile(folder + QStringLiteral("/names.txt"), text));

    Console::Capture capture;
    CAMdiChild child;
    QVERIFY(child.loadFile(project));
    QCOMPARE(child.data->categoriesPath, folder + QStringLiteral("/names.txt"));
    QCOMPARE(child.data->categoryName(100), name100);
    QCOMPARE(child.data->categoryName(101), name101);
    if (warning.isEmpty()) {
        QVERIFY(capture.err().isEmpty());
    } else {
        QCOMPARE(capture.err().size(), 1);
        QVERIFY2(capture.err().at(0).contains(warning), qPrintable(capture.err().at(0)));
        QVERIFY(capture.err().at(0).contains(folder + QStringLiteral("/names.txt")));
    }
}
