// Saving an analysis as a project folder: an extracted view saved and
// reopened gives the same analysis value by value and the same map; the
// folder is written whole or not at all; unsaved extracted views ask before
// they close, and their temporary folders go with them.
#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/formats/folderowner.h"
#include "document/analysissaver.h"
#include "document/camdichild.h"
#include "map/caview.h"

#include "documentfixture.h"
#include "messageboxanswer.h"
#include "modelsink.h"
#include "tests/filesizelimit.h"

#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <unistd.h>

class TestAnalysisSaver : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void extractedViewRoundTrip_data();
    void extractedViewRoundTrip();
    void projectViewRoundTrip();
    void supplementaryImagesAreSaved();
    void groupsGoWithTheSavedAnalysis();
    void refusesAndReplaces();
    void writeFailureLeavesNothing();
    void unsavedViewAsksBeforeClosing();
    void leftoversOfKilledSavesGo_data();
    void leftoversOfKilledSavesGo();

private:
    // An extracted view of `project`, as the main window would open it.
    CAMdiChild *extract(const QString &project);
    void compareModels(const CAData &a, const CAData &b);

    QTemporaryDir m_dir;
    QString m_tmp;
    QList<QPointer<CAMdiChild>> m_windows;
};

void TestAnalysisSaver::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_tmp = DocumentFixture::useScratchFolders(m_dir.path());
    QVERIFY(QFileInfo(m_tmp).isDir());
}

void TestAnalysisSaver::cleanup()
{
    for (const QPointer<CAMdiChild> &w : std::as_const(m_windows))
        delete w.data();
    m_windows.clear();
    // Deleting the windows removed every extraction folder.
    QCOMPARE(DocumentFixture::entries(m_tmp), QStringList());
}

CAMdiChild *TestAnalysisSaver::extract(const QString &project)
{
    auto *parent = new CAMdiChild;
    parent->setAttribute(Qt::WA_DeleteOnClose, false);
    m_windows.append(parent);
    if (!parent->loadFile(project))
        return nullptr;
    parent->caView->selectedImages = DocumentFixture::selectedImages();
    parent->caView->selectedWords = DocumentFixture::selectedWords();
    ModelSink sink;
    sink.watch(parent);
    parent->finishSelection();
    if (!QTest::qWaitFor([&sink] { return !sink.models.isEmpty(); }, 30000))
        return nullptr;
    auto *child = new CAMdiChild;
    child->setAttribute(Qt::WA_DeleteOnClose, false);
    m_windows.append(child);
    child->resize(900, 700);
    if (!child->setData(sink.take()))
        return nullptr;
    return child;
}

void TestAnalysisSaver::compareModels(const CAData &a, const CAData &b)
{
    QCOMPARE(b.nbImages, a.nbImages);
    QCOMPARE(b.nbWords, a.nbWords);
    QCOMPARE(b.zCols, a.zCols);
    QCOMPARE(b.wCols, a.wCols);
    QCOMPARE(b.nbAxis, a.nbAxis);
    QCOMPARE(b.nbLambda, a.nbLambda);
    for (qint64 k = 0; k < qint64(a.nbImages) * a.zCols; ++k)
        QVERIFY2(a.Z[k] == b.Z[k], qPrintable(QStringLiteral("Z[%1]").arg(k)));
    for (qint64 k = 0; k < qint64(a.nbWords) * a.wCols; ++k)
        QVERIFY2(a.W[k] == b.W[k], qPrintable(QStringLiteral("W[%1]").arg(k)));
    for (int i = 0; i < a.nbImages; ++i)
        QVERIFY(a.P[i] == b.P[i]);
    for (int j = 0; j < a.nbWords; ++j)
        QVERIFY(a.Q[j] == b.Q[j]);
    for (int l = 0; l < a.nbLambda; ++l)
        QVERIFY(a.lambda[l] == b.lambda[l]);
    QVERIFY(b.labels && b.descriptors);
    for (int i = 0; i < a.nbImages; ++i) {
        QCOMPARE(b.labels[i].category, a.labels[i].category);
        QCOMPARE(QDir::cleanPath(b.resolve(b.labels[i].imageFile)),
                 QDir::cleanPath(a.resolve(a.labels[i].imageFile)));
        QCOMPARE(QDir::cleanPath(b.resolve(b.descriptors[i])), QDir::cleanPath(a.resolve(a.descriptors[i])));
    }
    // Keypoints are filtered and coloured by the first project's vocabulary.
    for (int j = 0; j < a.nbWords; ++j)
        QCOMPARE(b.wordLabel(j), a.wordLabel(j));
    QCOMPARE(b.wordSet, a.wordSet);
    QCOMPARE(b.categoryNames, a.categoryNames);
    // The total inertia goes with the results, or stays unknown with them.
    QCOMPARE(std::isnan(b.totalInertia), std::isnan(a.totalInertia));
    if (!std::isnan(a.totalInertia))
        QCOMPARE(b.totalInertia, a.totalInertia);
}

void TestAnalysisSaver::extractedViewRoundTrip_data()
{
    QTest::addColumn<QString>("projectFolder");
    QTest::addColumn<QString>("savedFolder");
    QTest::newRow("plain names") << QStringLiteral("plain") << QStringLiteral("saved/one");
    // Image names with a blank cannot go in an image list: the saved project
    // then keeps the original base folder.
    QTest::newRow("blank in the image folder") << QStringLiteral("my images \u00e9t\u00e9")
                                               << QStringLiteral("r\u00e9sultats/s\u00e9lection 1");
}

void TestAnalysisSaver::extractedViewRoundTrip()
{
    QFETCH(QString, projectFolder);
    QFETCH(QString, savedFolder);
    // With category names, which go with the saved analysis.
    DocumentFixture::Options options;
    options.categoriesName = QStringLiteral("classes.txt");
    options.categoriesText = QStringLiteral("100 Ciel bleu\n101 \u00c9t\u00e9, plage\n104 Nuit\n").toUtf8();
    const QString project = DocumentFixture::writeProject(m_dir.filePath(projectFolder), options);
    CAMdiChild *view = extract(project);
    QVERIFY(view);
    QVERIFY(view->isWindowModified());
    const QString scratch = view->data->scratchDir;
    QVERIFY(QFileInfo(scratch).isDir());

    // The test's stand-in solver writes no manifest: the loader worked the
    // total inertia out from the extracted table, and the saved set keeps it.
    QVERIFY(std::isfinite(view->data->totalInertia) && view->data->totalInertia > 0);
    const QString folder = m_dir.filePath(savedFolder);
    QString error;
    QVERIFY2(view->saveAnalysisTo(folder, false, &error), qPrintable(error));
    QVERIFY(!view->isWindowModified());
    QCOMPARE(view->curFile, AnalysisSaver::projectFile(folder));
    // Saving does not pull the temporary folder from under the window.
    QVERIFY(QFileInfo(scratch).isDir());
    const QStringList files = DocumentFixture::entries(folder);
    for (const char *name : {"project.xml", "table.txt", "categories.txt", "table.txt_Z.txt", "table.txt_W.txt",
                             "table.txt_P.txt", "table.txt_Q.txt", "table.txt_Lambda.txt",
                             "table.txt_Inertia.txt", "images.txt", "keypoints.txt", "words.txt"})
        QVERIFY2(files.contains(QString::fromLatin1(name)), name);
    // Nothing left beside it from the way it was written.
    QCOMPARE(DocumentFixture::entries(QFileInfo(folder).absolutePath()), QStringList{QFileInfo(folder).fileName()} + [&] {
        QStringList inside;
        for (const QString &f : files)
            inside << QFileInfo(folder).fileName() + QLatin1Char('/') + f;
        return inside;
    }());

    auto *reopened = new CAMdiChild;
    reopened->setAttribute(Qt::WA_DeleteOnClose, false);
    m_windows.append(reopened);
    reopened->resize(900, 700);
    QVERIFY(reopened->loadFile(AnalysisSaver::projectFile(folder)));
    QVERIFY(!reopened->isWindowModified());
    QVERIFY(reopened->data->scratchDir.isEmpty());
    QCOMPARE(reopened->data->categoryNames.value(101), QStringLiteral("\u00c9t\u00e9, plage"));
    compareModels(*view->data, *reopened->data);

    // The same map, point by point.
    for (int i = 0; i < view->data->nbImages; ++i)
        QCOMPARE(reopened->caView->imagePosition(i), view->caView->imagePosition(i));
    for (int j = 0; j < view->data->nbWords; ++j)
        QCOMPARE(reopened->caView->wordPosition(j), view->caView->wordPosition(j));

    // The saved table can be extracted from again.
    QCOMPARE(QDir::cleanPath(reopened->data->resolve(reopened->data->fileF)),
             QDir(folder).filePath(QStringLiteral("table.txt")));
    QFile a(view->data->fileF), b(reopened->data->resolve(reopened->data->fileF));
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), a.readAll());
}

void TestAnalysisSaver::projectViewRoundTrip()
{
    // A project without a table, masses or an extraction: saved as it is.
    DocumentFixture::Options o;
    o.withTable = false;
    const QString project = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("notable")), o);
    CAMdiChild view;
    QVERIFY(view.loadFile(project));
    QVERIFY(!view.isWindowModified());
    const QString folder = m_dir.filePath(QStringLiteral("notable-copy"));
    QString error;
    QVERIFY2(view.saveAnalysisTo(folder, false, &error), qPrintable(error));
    QVERIFY(!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("table.txt"))));
    CAMdiChild reopened;
    QVERIFY(reopened.loadFile(AnalysisSaver::projectFile(folder)));
    compareModels(*view.data, *reopened.data);
}

// Supplementary images go with the analysis: their coordinates in the
// result set, their image list beside it, both named in the project.
void TestAnalysisSaver::supplementaryImagesAreSaved()
{
    DocumentFixture::Options o;
    const QString project = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("withsup")), o);
    CAMdiChild view;
    QVERIFY(view.loadFile(project));
    CAData &d = *view.data;
    d.nbSupImages = 2;
    d.supCols = d.zCols;
    d.ZSup.reset(new double[std::size_t(2 * d.zCols)]);
    for (int k = 0; k < 2 * d.zCols; ++k)
        d.ZSup[k] = 0.125 * k - 0.3;
    d.supLabels.reset(new ImageLabel[2]);
    d.supLabels[0].category = 7;
    d.supLabels[0].imageFile = QStringLiteral("new/one.png");
    d.supLabels[1].category = 8;
    d.supLabels[1].imageFile = QStringLiteral("new/two.png");
    const QString folder = m_dir.filePath(QStringLiteral("withsup-copy"));
    QString error;
    QVERIFY2(view.saveAnalysisTo(folder, false, &error), qPrintable(error));
    QFile xml(AnalysisSaver::projectFile(folder));
    QVERIFY(xml.open(QIODevice::ReadOnly));
    const QByteArray text = xml.readAll();
    QVERIFY2(text.contains("name='ZSUP'") && text.contains("name='LABELSUP'"), text.constData());
    CAMdiChild reopened;
    QVERIFY(reopened.loadFile(AnalysisSaver::projectFile(folder)));
    const CAData &r = *reopened.data;
    QCOMPARE(r.nbSupImages, 2);
    QCOMPARE(r.supCols, d.zCols);
    for (int k = 0; k < 2 * d.zCols; ++k)
        QCOMPARE(r.ZSup[k], d.ZSup[k]);
    QVERIFY(r.supLabels);
    QCOMPARE(r.supLabels[1].category, 8);
    QCOMPARE(QDir::cleanPath(r.resolve(r.supLabels[1].imageFile)), QDir::cleanPath(d.resolve(QStringLiteral("new/two.png"))));
}

// Named groups are saved beside the analysis and are on its map when the
// saved project opens; a project saved without groups has no groups file.
void TestAnalysisSaver::groupsGoWithTheSavedAnalysis()
{
    DocumentFixture::Options o;
    o.withTable = false;
    const QString project = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("grouped")), o);
    CAMdiChild view;
    QVERIFY(view.loadFile(project));
    QVERIFY(view.caView->groups().isEmpty());
    const int n = view.data->nbImages;
    QVERIFY(n >= 3);
    NamedGroup a;
    a.name = QStringLiteral("first rows");
    a.colour = QColor(0x12, 0x34, 0x56);
    a.images = {0, 1};
    a.words = {0};
    NamedGroup b;
    b.name = QStringLiteral("last row, hidden");
    b.colour = QColor(Qt::magenta);
    b.images = {n - 1};
    b.visible = false;
    view.caView->groups().setList({a, b});

    QString error;
    const QString folder = m_dir.filePath(QStringLiteral("grouped-copy"));
    QVERIFY2(view.saveAnalysisTo(folder, false, &error), qPrintable(error));
    QVERIFY(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("groups.json"))));
    CAMdiChild reopened;
    QVERIFY(reopened.loadFile(AnalysisSaver::projectFile(folder)));
    QCOMPARE(reopened.caView->groups().list(), (QVector<NamedGroup>{a, b}));

    view.caView->groups().setList({});
    const QString bare = m_dir.filePath(QStringLiteral("grouped-bare"));
    QVERIFY2(view.saveAnalysisTo(bare, false, &error), qPrintable(error));
    QVERIFY(!QFileInfo::exists(QDir(bare).filePath(QStringLiteral("groups.json"))));
}

void TestAnalysisSaver::refusesAndReplaces()
{
    const QString project = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("r")), {});
    CAMdiChild view;
    QVERIFY(view.loadFile(project));
    QString error;

    // A folder with the user's own files in it is never replaced.
    const QString theirs = m_dir.filePath(QStringLiteral("theirs"));
    QVERIFY(QDir().mkpath(theirs));
    QVERIFY(DocumentFixture::writeFile(theirs + QStringLiteral("/notes.txt"), "mine\n"));
    QCOMPARE(AnalysisSaver::check(theirs), AnalysisSaver::Refused);
    QVERIFY(!view.saveAnalysisTo(theirs, true, &error));
    QVERIFY2(error.contains(theirs), qPrintable(error));
    QCOMPARE(DocumentFixture::entries(theirs), QStringList{QStringLiteral("notes.txt")});
    QVERIFY(!view.saveAnalysisTo(project, true, &error)); // a file
    QVERIFY2(error.contains(QStringLiteral("is a file")), qPrintable(error));

    // An empty folder is used; a saved analysis is replaced only when asked.
    const QString folder = m_dir.filePath(QStringLiteral("again"));
    QVERIFY(QDir().mkpath(folder));
    QCOMPARE(AnalysisSaver::check(folder), AnalysisSaver::NewFolder);
    QVERIFY2(view.saveAnalysisTo(folder, false, &error), qPrintable(error));
    QCOMPARE(AnalysisSaver::check(folder), AnalysisSaver::SavedAnalysis);
    // Shared like any folder the user makes, not private like a temporary one.
    const QString plainFolder = m_dir.filePath(QStringLiteral("made-by-mkdir"));
    QVERIFY(QDir().mkdir(plainFolder));
    QCOMPARE(QFileInfo(folder).permissions(), QFileInfo(plainFolder).permissions());
    QVERIFY(DocumentFixture::writeFile(folder + QStringLiteral("/stale.txt"), "old\n"));
    QVERIFY(!view.saveAnalysisTo(folder, false, &error));
    QVERIFY2(error.contains(QStringLiteral("already exists")), qPrintable(error));
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/stale.txt")));
    QVERIFY2(view.saveAnalysisTo(folder, true, &error), qPrintable(error));
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/stale.txt")));
    QCOMPARE(DocumentFixture::entries(m_dir.filePath(QStringLiteral("again"))).filter(QStringLiteral("project.xml")).size(), 1);
    QVERIFY(DocumentFixture::entries(m_dir.path()).filter(QRegularExpression(QStringLiteral("\\.(part|old)-"))).isEmpty());
}

void TestAnalysisSaver::writeFailureLeavesNothing()
{
    const QString project = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("w")), {});
    CAMdiChild view;
    QVERIFY(view.loadFile(project));
    QString error;

    // Under a plain file nothing can be created, whoever runs the test.
    const QString plain = m_dir.filePath(QStringLiteral("plain-file"));
    QVERIFY(DocumentFixture::writeFile(plain, "x\n"));
    QVERIFY(!view.saveAnalysisTo(plain + QStringLiteral("/saved"), false, &error));
    QVERIFY2(error.contains(plain), qPrintable(error));
    QVERIFY(!view.curFile.contains(QStringLiteral("saved")));

    // A full disk: no file may grow past 64 bytes. The folder is not left
    // half-written, under its name or under a temporary one.
    {
        const QString parent = m_dir.filePath(QStringLiteral("full"));
        QVERIFY(QDir().mkpath(parent));
        error.clear();
        bool saved = true;
        {
            const FileSizeLimit full(64);
            QVERIFY(full.isSet());
            saved = view.saveAnalysisTo(parent + QStringLiteral("/saved"), false, &error);
        }
        QVERIFY(!saved);
        QVERIFY2(error.contains(parent + QStringLiteral("/saved/"))
                     && error.contains(QString::fromLocal8Bit(std::strerror(EFBIG))),
                 qPrintable(error));
        QCOMPARE(DocumentFixture::entries(parent), QStringList());
    }

    // A read-only folder stops everyone but the superuser.
    if (::geteuid() != 0) {
        const QString locked = m_dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(locked));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        error.clear();
        const bool saved = view.saveAnalysisTo(locked + QStringLiteral("/saved"), false, &error);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(!saved);
        QVERIFY2(error.contains(locked) && error.contains(QString::fromLocal8Bit(std::strerror(EACCES))),
                 qPrintable(error));
        QCOMPARE(DocumentFixture::entries(locked), QStringList());
    }
}

void TestAnalysisSaver::unsavedViewAsksBeforeClosing()
{
    const QString project = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("c")), {});
    CAMdiChild *view = extract(project);
    QVERIFY(view);
    const QString scratch = view->data->scratchDir;
    QVERIFY(QFileInfo(scratch).isDir());
    view->setAttribute(Qt::WA_DeleteOnClose, true);
    QPointer<CAMdiChild> guard(view);

    {
        MessageBoxAnswer cancel(QMessageBox::Cancel);
        QVERIFY(!view->close());
        QCOMPARE(cancel.texts.size(), 1);
        QVERIFY2(cancel.texts[0].contains(view->curFile), qPrintable(cancel.texts[0]));
    }
    QVERIFY(guard);
    QVERIFY(QFileInfo(scratch).isDir());

    {
        MessageBoxAnswer discard(QMessageBox::Discard);
        QVERIFY(view->close());
        QCOMPARE(discard.texts.size(), 1);
    }
    QTRY_VERIFY(!guard);
    QVERIFY(!QFileInfo::exists(scratch));

    // A project window closes without a question.
    CAMdiChild *parent = m_windows.first();
    parent->setAttribute(Qt::WA_DeleteOnClose, true);
    QPointer<CAMdiChild> parentGuard(parent);
    MessageBoxAnswer none(QMessageBox::Cancel);
    QVERIFY(parent->close());
    QTRY_VERIFY(!parentGuard);
    QVERIFY(none.texts.isEmpty());
}

void TestAnalysisSaver::leftoversOfKilledSavesGo_data()
{
    QTest::addColumn<QString>("killedName"); // the killed save's staging folder
    QTest::addColumn<bool>("owned");         // it holds its owner's lock file
    QTest::newRow("saving the same name") << ".kept.part-AbC123" << true;
    QTest::newRow("saving another name") << ".earlier.part-Q1w2E3" << true;
    QTest::newRow("no owner's mark: not ours to judge") << ".notes.part-7" << false;
}

// The staging folder of a save that was killed goes at the next save beside
// it, whatever name it was saving, and is named; that of a save still
// running in another program stays, and so does a folder without an
// owner's mark; the saved analysis carries no owner's mark.
void TestAnalysisSaver::leftoversOfKilledSavesGo()
{
    QFETCH(QString, killedName);
    QFETCH(bool, owned);
    DocumentFixture::Options o;
    o.withTable = false;
    const QString project = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("leftovers")), o);
    CAMdiChild view;
    QVERIFY(view.loadFile(project));
    const QString parent = m_dir.filePath(QStringLiteral("saves-%1").arg(QString::fromLatin1(QTest::currentDataTag())).replace(' ', '-'));
    const QString killed = parent + QLatin1Char('/') + killedName;
    const QString running = parent + QStringLiteral("/.kept.part-XyZ789");
    QVERIFY(QDir().mkpath(killed) && QDir().mkpath(running));
    // Owners are other processes: one that has ended, one still holding its
    // lock (flock(1) locks as the viewer does).
    const auto lockOf = [](const QString &folder) { return QDir(folder).filePath(FolderOwner::lockName()); };
    if (owned)
        QCOMPARE(QProcess::execute(QStringLiteral("flock"), {lockOf(killed), QStringLiteral("true")}), 0);
    QProcess holder;
    holder.start(QStringLiteral("flock"), {lockOf(running), QStringLiteral("cat")});
    QVERIFY(holder.waitForStarted());
    QTRY_VERIFY(QFileInfo::exists(lockOf(running)));
    QTest::qWait(200); // the lock is taken right after the file is made

    Console::Capture capture;
    QString error;
    QVERIFY2(view.saveAnalysisTo(parent + QStringLiteral("/kept"), false, &error), qPrintable(error));
    holder.closeWriteChannel(); // its command ends with its input
    QVERIFY(holder.waitForFinished());
    QCOMPARE(QFileInfo::exists(killed), !owned);
    QVERIFY(QFileInfo::exists(running));
    QCOMPARE(capture.out(), owned ? QStringList{QStringLiteral("Removed '%1', left by a save that did not finish.").arg(killed)}
                                  : QStringList{});
    QVERIFY(!QFileInfo::exists(lockOf(parent + QStringLiteral("/kept"))));
}

QTEST_MAIN(TestAnalysisSaver)
#include "tst_analysissaver.moc"
