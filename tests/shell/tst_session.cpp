// Sessions: every window comes back with its project, frame, panes and map
// state; an extracted view never saved is named as missing; extracted views
// ask before the program ends, and leave nothing in the temporary folder.
#include "data/cadata.h"
#include "document/camdichild.h"
#include "map/caview.h"
#include "map/mapstate.h"
#include "shell/camainwindow.h"
#include "shell/session.h"

#include "tests/document/documentfixture.h"
#include "tests/document/messageboxanswer.h"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QDirIterator>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QList<CAMdiChild *> documents(CAMainWindow &w)
{
    QList<CAMdiChild *> out;
    for (QMdiSubWindow *frame : w.workspace->subWindowList(QMdiArea::CreationOrder))
        if (auto *c = qobject_cast<CAMdiChild *>(frame->widget()))
            out << c;
    return out;
}

} // namespace

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip();
    void badSessionFiles_data();
    void badSessionFiles();
    void exitAsksForUnsavedViewsAndCleansUp();
    void copyNamesOfTheNeighbourhood();

private:
    // Extracts the fixture's selection from `parent` and waits for the new window.
    CAMdiChild *extractFrom(CAMainWindow &main, CAMdiChild *parent);

    QTemporaryDir m_dir;
    QString m_tmp;
    QString m_projectA;
    QString m_projectB;
};

void TestSession::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_tmp = DocumentFixture::useScratchFolders(m_dir.path());
    QVERIFY(QFileInfo(m_tmp).isDir());
    m_projectA = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("a")), {});
    DocumentFixture::Options b;
    b.axes = 5;
    m_projectB = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("projects/b \u00e9")), b);
}

CAMdiChild *TestSession::extractFrom(CAMainWindow &main, CAMdiChild *parent)
{
    const int before = int(documents(main).size());
    parent->caView->selectedImages = DocumentFixture::selectedImages();
    parent->caView->selectedWords = DocumentFixture::selectedWords();
    parent->finishSelection();
    if (!QTest::qWaitFor([&] { return documents(main).size() > before; }, 30000))
        return nullptr;
    return documents(main).last();
}

void TestSession::roundTrip()
{
    const QString sessionPath = m_dir.filePath(QStringLiteral("sessions/work.json"));
    QVERIFY(QDir().mkpath(QFileInfo(sessionPath).absolutePath()));
    QList<MapState> states;
    QList<QRect> frames;
    QList<QString> projects;
    QList<int> panes;
    {
        CAMainWindow main;
        main.resize(1400, 900);
        main.show();
        QVERIFY(main.open(m_projectA));
        QVERIFY(main.open(m_projectB));
        CAMdiChild *a = documents(main).at(0);
        CAMdiChild *b = documents(main).at(1);
        CAMdiChild *saved = extractFrom(main, a);
        QVERIFY(saved);
        QString error;
        QVERIFY2(saved->saveAnalysisTo(m_dir.filePath(QStringLiteral("kept")), false, &error), qPrintable(error));
        CAMdiChild *unsaved = extractFrom(main, a);
        QVERIFY(unsaved && unsaved->isWindowModified());

        // Each window set up differently.
        b->caView->changeAxis(2, 4, 0);
        b->caView->setProjectionMode(2);
        b->caView->zoomIn();
        b->caView->zoomIn();
        b->caView->panX = 37;
        b->caView->panY = -12;
        b->caView->changeThreshold(4);
        b->caView->changeRadius(55);
        b->caView->changeCellSize(3);
        b->caView->changeNeigbbourStructure(false);
        b->caView->showHideLens(true);
        b->caView->showHideImage(true);
        b->caView->showHideInformation(true);
        b->caView->showHideWordPoint(false);
        a->caView->zoomOut();
        a->caView->showHideImagePoint(false);
        saved->caView->changeAxis(1, 0, 0);
        saved->caView->panX = -80;
        a->parentWidget()->setGeometry(10, 20, 500, 400);
        b->parentWidget()->setGeometry(300, 60, 640, 480);
        saved->parentWidget()->setGeometry(200, 250, 700, 420);
        b->setSizes({300, 340});
        main.workspace->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(b->parentWidget()));

        panes = b->sizes();
        for (CAMdiChild *c : {a, b, saved}) {
            states << MapState::of(*c->caView);
            frames << c->parentWidget()->geometry();
            projects << c->curFile;
        }
        QVERIFY2(main.saveSessionTo(sessionPath, false, &error), qPrintable(error));
        // Never over an existing file unless allowed.
        QVERIFY(!main.saveSessionTo(sessionPath, false, &error));
        QVERIFY2(error.contains(QStringLiteral("already exists")), qPrintable(error));

        MessageBoxAnswer discard(QMessageBox::Discard);
        QVERIFY(main.close());
        QCOMPARE(discard.texts.size(), 1); // the unsaved view only
    }
    QVERIFY2(DocumentFixture::entries(m_tmp).isEmpty(), qPrintable(DocumentFixture::entries(m_tmp).join(QLatin1Char(' '))));

    // Saved with paths relative to the session, versioned.
    QFile file(sessionPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray json = file.readAll();
    QVERIFY(json.contains("\"version\": 1"));
    QVERIFY(json.contains("\"project\": \"../a/project.xml\""));

    CAMainWindow main;
    main.resize(1400, 900);
    main.show();
    QStringList missing;
    QString error;
    QVERIFY2(main.openSessionFrom(sessionPath, &missing, &error), qPrintable(error));
    QCOMPARE(missing.size(), 1);
    QVERIFY2(missing[0].startsWith(QStringLiteral("Extracted view [")) && missing[0].contains(QStringLiteral("never saved")),
             qPrintable(missing[0]));
    const QList<CAMdiChild *> restored = documents(main);
    QCOMPARE(restored.size(), 3);
    for (int k = 0; k < 3; ++k) {
        CAMdiChild *c = restored[k];
        QCOMPARE(c->curFile, projects[k]);
        QVERIFY(!c->isWindowModified());
        QCOMPARE(MapState::of(*c->caView), states[k]);
        QCOMPARE(c->parentWidget()->geometry(), frames[k]);
    }
    QCOMPARE(restored[1]->sizes(), panes);
    QCOMPARE(main.activeMdiChild(), restored[1]);
    // The map is redrawn for the restored state: hidden layers stay hidden.
    QCOMPARE(restored[0]->caView->shownImages(), 0);
    QCOMPARE(restored[1]->caView->shownWords(), 0);
    QCOMPARE(restored[1]->caView->axis1, 2);
    // The controls follow the restored active map.
    QCOMPARE(main.radiusSlider->value(), 55);
    QCOMPARE(main.xAxisEdit->text(), QStringLiteral("3"));
}

void TestSession::badSessionFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("problem");
    QTest::newRow("not json") << QByteArray("<XML/>") << QStringLiteral("is not a session file");
    QTest::newRow("other json") << QByteArray("{\"windows\": []}") << QStringLiteral("does not say it is one");
    QTest::newRow("newer version") << QByteArray("{\"format\": \"ortelis-session\", \"version\": 9}")
                                   << QStringLiteral("version 9");
}

void TestSession::badSessionFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, problem);
    const QString path = m_dir.filePath(QStringLiteral("bad_%1.json").arg(QTest::currentDataTag()));
    QVERIFY(DocumentFixture::writeFile(path, content));
    CAMainWindow main;
    QStringList missing;
    QString error;
    QVERIFY(!main.openSessionFrom(path, &missing, &error));
    QVERIFY2(error.contains(path) && error.contains(problem), qPrintable(error));
    QVERIFY(documents(main).isEmpty());

    // A project that has gone is reported, the rest restored.
    const QString moved = m_dir.filePath(QStringLiteral("moved.json"));
    QVERIFY(DocumentFixture::writeFile(moved,
        "{\"format\": \"ortelis-session\", \"version\": 1, \"windows\": ["
        "{\"project\": \"gone/project.xml\", \"name\": \"project.xml\"},"
        "{\"project\": \"a/project.xml\", \"name\": \"project.xml\"}]}"));
    QVERIFY2(main.openSessionFrom(moved, &missing, &error), qPrintable(error));
    QCOMPARE(missing.size(), 1);
    QVERIFY(missing[0].contains(QStringLiteral("gone/project.xml")));
    QCOMPARE(documents(main).size(), 1);
}

void TestSession::exitAsksForUnsavedViewsAndCleansUp()
{
    auto *main = new CAMainWindow;
    main->show();
    QVERIFY(main->open(m_projectA));
    CAMdiChild *view = extractFrom(*main, documents(*main).at(0));
    QVERIFY(view);
    QVERIFY(!DocumentFixture::entries(m_tmp).isEmpty());
    {
        MessageBoxAnswer cancel(QMessageBox::Cancel);
        QVERIFY(!main->close());
        QCOMPARE(cancel.texts.size(), 1);
    }
    QCOMPARE(documents(*main).size(), 2);
    {
        MessageBoxAnswer discard(QMessageBox::Discard);
        QVERIFY(main->close());
    }
    delete main;
    QVERIFY2(DocumentFixture::entries(m_tmp).isEmpty(), qPrintable(DocumentFixture::entries(m_tmp).join(QLatin1Char(' '))));
}

void TestSession::copyNamesOfTheNeighbourhood()
{
    CAMainWindow main;
    main.show();
    QVERIFY(main.open(m_projectA));
    CAMdiChild *child = documents(main).at(0);
    QTRY_COMPARE(main.activeMdiChild(), child);
    QVERIFY(main.copyNamesAct->isEnabled());
    child->caView->imageList = {4, 0, 17};
    QGuiApplication::clipboard()->clear();
    main.copyNamesAct->trigger();
    const QString base = QFileInfo(m_projectA).absolutePath() + QLatin1Char('/');
    QCOMPARE(QGuiApplication::clipboard()->text(),
             base + DocumentFixture::imageFile(4) + QLatin1Char('\n') + base + DocumentFixture::imageFile(0)
                 + QLatin1Char('\n') + base + DocumentFixture::imageFile(17) + QLatin1Char('\n'));
}

QTEST_MAIN(TestSession)
#include "tst_session.moc"
