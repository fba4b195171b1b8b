// Sessions: every window comes back with its project, frame, panes and map
// state; an extracted view never saved is named as missing; extracted views
// ask before the program ends, and leave nothing in the temporary folder.
#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/formats/folderowner.h"
#include "document/camdichild.h"
#include "map/caview.h"
#include "map/mapstate.h"
#include "shell/axespanel.h"
#include "shell/camainwindow.h"
#include "shell/findbar.h"
#include "shell/grouppanel.h"
#include "shell/mappanels.h"
#include "shell/problemlist.h"
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
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QDockWidget>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
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
    void restoresWhatWasSet_data();
    void restoresWhatWasSet();
    void badSessionFiles_data();
    void badSessionFiles();
    void windowCap_data();
    void windowCap();
    void longProblemLists_data();
    void longProblemLists();
    void exitAsksForUnsavedViewsAndCleansUp();
    void startRemovesDeadViewersFolders();
    void windowMenuNamesExtractedViews();
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

void TestSession::restoresWhatWasSet_data()
{
    QTest::addColumn<QString>("setting");
    QTest::newRow("labels") << QStringLiteral("labels");
    QTest::newRow("Axes dock on its group page") << QStringLiteral("axes");
    QTest::newRow("docks closed") << QStringLiteral("docks");
    QTest::newRow("A and B of the group test") << QStringLiteral("groups");
}

void TestSession::restoresWhatWasSet()
{
    QFETCH(QString, setting);
    const QString sessionPath = m_dir.filePath(QStringLiteral("sessions/%1.json").arg(setting));
    QVERIFY(QDir().mkpath(QFileInfo(sessionPath).absolutePath()));
    const int sources = CAView::LabelSelection | CAView::LabelGroups;
    const QVector<int> a{1, 2, 3}, b{7, 8};
    {
        CAMainWindow main;
        main.resize(1400, 900);
        main.show();
        QVERIFY(main.open(m_projectA));
        QVERIFY(main.open(m_projectB));
        AxesPanel *axes = main.mapPanels->axes;
        if (setting == QLatin1String("labels")) {
            main.activeView()->labelling().setSources(sources);
            main.activeView()->labelling().setColumn(CAView::LabelCategory);
        } else if (setting == QLatin1String("axes")) {
            main.mapPanels->axesDock->show();
            axes->tabs->setCurrentWidget(axes->groups);
            axes->topCount->setValue(7);
        } else if (setting == QLatin1String("docks")) {
            QVERIFY(main.mapPanels->screeDock->isVisible());
            main.mapPanels->screeDock->hide();
            main.mapPanels->legendDock->hide();
        } else {
            axes->groups->keepGroup(0, QStringLiteral("first"), a);
            axes->groups->keepGroup(1, QStringLiteral("second"), b);
        }
        QString error;
        QVERIFY2(main.saveSessionTo(sessionPath, true, &error), qPrintable(error));
    }
    CAMainWindow main;
    main.resize(1400, 900);
    main.show();
    QStringList missing;
    QString error;
    QVERIFY2(main.openSessionFrom(sessionPath, &missing, &error), qPrintable(error));
    QCOMPARE(documents(main).size(), 2);
    CAView *view = main.activeView();
    QVERIFY(view);
    AxesPanel *axes = main.mapPanels->axes;
    if (setting == QLatin1String("labels")) {
        QCOMPARE(view->labelling().sources(), sources);
        QCOMPARE(view->labelling().column(), int(CAView::LabelCategory));
        // The menu shows what the map does.
        QVERIFY(main.findBar->labelSelectionAct->isChecked());
        QVERIFY(!main.findBar->labelFoundAct->isChecked());
        // The other window kept the defaults.
        QCOMPARE(documents(main).first()->caView->labelling().sources(), int(CAView::LabelFound));
    } else if (setting == QLatin1String("axes")) {
        QVERIFY(main.mapPanels->axesDock->isVisible());
        QCOMPARE(axes->tabs->currentWidget(), static_cast<QWidget *>(axes->groups));
        QCOMPARE(axes->topCount->value(), 7);
    } else if (setting == QLatin1String("docks")) {
        QVERIFY(!main.mapPanels->screeDock->isVisible());
        QVERIFY(!main.mapPanels->legendDock->isVisible());
        // Opening another map does not bring them back.
        QVERIFY(main.open(m_projectA));
        QVERIFY(!main.mapPanels->screeDock->isVisible());
    } else {
        QCOMPARE(axes->groups->keptImages(0), a);
        QCOMPARE(axes->groups->keptImages(1), b);
        QVERIFY(axes->groups->keptName(0).contains(QStringLiteral("first")));
        QVERIFY(axes->groups->compareButton->isEnabled());
    }
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

void TestSession::windowCap_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<qint64>("reserve");
    QTest::addColumn<int>("named");
    QTest::addColumn<int>("gone");
    QTest::addColumn<int>("opened");
    QTest::addColumn<QString>("leftOut");
    const qint64 usual = CAMainWindow::sessionMemoryReserve;
    QTest::newRow("under the cap") << 4 << usual << 3 << 0 << 3 << QString();
    QTest::newRow("over the cap") << 3 << usual << 7 << 2 << 3
                                  << QStringLiteral("4 more window(s) left out after 3 restored: "
                                                    "a session restores at most 3 windows.");
    // A reserve no machine has: nothing opens, and one line says why.
    QTest::newRow("no memory left") << 64 << (qint64(1) << 60) << 5 << 1 << 0
                                    << QStringLiteral("5 more window(s) left out after 0 restored: only ");
}

void TestSession::windowCap()
{
    QFETCH(int, limit);
    QFETCH(qint64, reserve);
    QFETCH(int, named);
    QFETCH(int, gone);
    QFETCH(int, opened);
    QFETCH(QString, leftOut);
    QByteArray windows;
    for (int i = 0; i < named + gone; ++i) {
        if (i)
            windows += ',';
        windows += i < named ? QByteArray("{\"project\": \"a/project.xml\", \"name\": \"project.xml\"}")
                             : QByteArray("{\"project\": \"gone/p") + QByteArray::number(i)
                                   + "/project.xml\", \"name\": \"project.xml\"}";
    }
    const QString path = m_dir.filePath(QStringLiteral("cap_%1.json").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')));
    QVERIFY(DocumentFixture::writeFile(path, "{\"format\": \"ortelis-session\", \"version\": 1, \"windows\": ["
                                                 + windows + "]}"));
    const int oldLimit = CAMainWindow::sessionWindowLimit;
    const qint64 oldReserve = CAMainWindow::sessionMemoryReserve;
    CAMainWindow::sessionWindowLimit = limit;
    CAMainWindow::sessionMemoryReserve = reserve;
    CAMainWindow main;
    QStringList missing;
    QString error;
    const bool ok = main.openSessionFrom(path, &missing, &error);
    CAMainWindow::sessionWindowLimit = oldLimit;
    CAMainWindow::sessionMemoryReserve = oldReserve;
    QVERIFY2(ok, qPrintable(error));
    QCOMPARE(int(documents(main).size()), opened);
    // The projects that have gone are each named; the windows left out are
    // counted on one line, whatever their number.
    QCOMPARE(int(missing.size()), gone + (leftOut.isEmpty() ? 0 : 1));
    if (!leftOut.isEmpty())
        QVERIFY2(missing.first().startsWith(leftOut), qPrintable(missing.first()));
}

void TestSession::longProblemLists_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("more");
    QTest::addColumn<int>("detailLines");
    QTest::addColumn<QString>("lastDetail");
    QTest::newRow("short") << 3 << QString() << 0 << QString();
    QTest::newRow("some") << 40 << QStringLiteral("\n38 more (see the details).") << 40 << QStringLiteral("p39: gone");
    QTest::newRow("many") << 20000 << QStringLiteral("\n19,998 more (see the details).") << 2001
                          << QStringLiteral("... and 18,000 more.");
}

void TestSession::longProblemLists()
{
    QFETCH(int, lines);
    QFETCH(QString, more);
    QFETCH(int, detailLines);
    QFETCH(QString, lastDetail);
    QStringList list;
    for (int i = 0; i < lines; ++i)
        list << QStringLiteral("p%1: gone").arg(i);
    const ProblemList::Text t = ProblemList::summarise(QStringLiteral("Heading:"), list);
    const QStringList shown = t.text.split(QLatin1Char('\n'));
    // Never taller than a few lines, whatever the list.
    QVERIFY2(shown.size() <= 4, qPrintable(t.text));
    QCOMPARE(shown.first(), QStringLiteral("Heading:"));
    QCOMPARE(shown.at(1), QStringLiteral("p0: gone"));
    if (more.isEmpty()) {
        QCOMPARE(shown.size(), lines + 1);
        QVERIFY(t.details.isEmpty());
        return;
    }
    QVERIFY2(t.text.endsWith(more), qPrintable(t.text));
    const QStringList details = t.details.split(QLatin1Char('\n'));
    QCOMPARE(int(details.size()), detailLines);
    QCOMPARE(details.last(), lastDetail);

    // Shown in one box that holds the summary, not the list.
    MessageBoxAnswer ok(QMessageBox::Ok);
    ProblemList::warn(nullptr, QStringLiteral("Heading:"), list);
    QCOMPARE(ok.texts, QStringList{t.text});
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

// A viewer that starts removes the extraction folders of viewers that have
// ended (killed, crashed) and names them; those of a viewer still running
// stay, as do folders it cannot tell the owner of.
void TestSession::startRemovesDeadViewersFolders()
{
    const QString dead = QDir(m_tmp).filePath(QStringLiteral("ortelis-dead01"));
    const QString live = QDir(m_tmp).filePath(QStringLiteral("ortelis-live01"));
    const QString unknown = QDir(m_tmp).filePath(QStringLiteral("ortelis-old001"));
    for (const QString &f : {dead, live, unknown})
        QVERIFY(QDir().mkpath(f));
    const auto lockOf = [](const QString &folder) { return QDir(folder).filePath(FolderOwner::lockName()); };
    QCOMPARE(QProcess::execute(QStringLiteral("flock"), {lockOf(dead), QStringLiteral("true")}), 0);
    QProcess other;
    other.start(QStringLiteral("flock"), {lockOf(live), QStringLiteral("cat")});
    QVERIFY(other.waitForStarted());
    QTRY_VERIFY(QFileInfo::exists(lockOf(live)));
    QTest::qWait(200);

    Console::Capture capture;
    {
        CAMainWindow main;
    }
    // It ends when its input does.
    other.closeWriteChannel();
    QVERIFY(other.waitForFinished());
    QVERIFY(!QFileInfo::exists(dead));
    QVERIFY(QFileInfo::exists(live));
    QVERIFY(QFileInfo::exists(unknown));
    QVERIFY2(capture.out().contains(QStringLiteral("Removed '%1', left by a viewer that has ended.").arg(dead)),
             qPrintable(capture.out().join(QLatin1Char('\n'))));
    // Once that viewer has ended too, the next start removes its folder.
    {
        CAMainWindow main;
    }
    QVERIFY(!QFileInfo::exists(live));
    QDir(unknown).removeRecursively();
}

// An extracted view keeps the title it was given; the Window menu marks it
// unsaved and adds its parent and size.
void TestSession::windowMenuNamesExtractedViews()
{
    CAMainWindow main;
    main.show();
    QVERIFY(main.open(m_projectA));
    CAMdiChild *view = extractFrom(main, documents(main).at(0));
    QVERIFY(view);
    QVERIFY(view->windowTitle().startsWith(QStringLiteral("Extracted view [")));
    const QString origin = QStringLiteral("from a/project.xml: %1 images \u00d7 %2 words")
                               .arg(view->data->nbImages)
                               .arg(view->data->nbWords);
    QCOMPARE(view->origin, origin);
    emit main.windowMenu->aboutToShow();
    QStringList entries;
    for (QAction *a : main.windowMenu->actions())
        entries << a->text();
    const QString name = view->curFile;
    QVERIFY2(entries.contains(QStringLiteral("&2 %1* - Ortelis (%2)").arg(name, origin)),
             qPrintable(entries.join(QLatin1Char('|'))));
    QVERIFY2(entries.contains(QStringLiteral("&1 a/project.xml - Ortelis")), qPrintable(entries.join(QLatin1Char('|'))));
    MessageBoxAnswer discard(QMessageBox::Discard);
    main.close();
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
