#include "data/model/cadata.h"
#include "data/model/console.h"
#include "document/camdichild.h"
#include "map/caview.h"
#include "map/tools/measuretool.h"
#include "shell/camainwindow.h"
#include "tests/document/modalcloser.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QMessageBox>
#include <QSlider>
#include <QStatusBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

// The real main window, driven offscreen.
class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString project;

    void write(const QString &name, const QByteArray &text)
    {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write fixture");
        f.write(text);
    }

    // Closes the next modal box or dialog and remembers its title and text.
    void answerNextModal(QString *title, QString *text = nullptr)
    {
        QTimer::singleShot(0, this, [title, text] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            *title = modal->windowTitle();
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                if (text)
                    *text = box->text();
                box->accept();
            } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
                dialog->reject();
            }
        });
    }

    static CAView *activeView(CAMainWindow &w)
    {
        return w.activeMdiChild() ? w.activeMdiChild()->caView : nullptr;
    }

private slots:
    void initTestCase()
    {
        // Recent files and the window's place go to a settings file of the
        // test's own.
        QCoreApplication::setOrganizationName(QStringLiteral("OrtelisTest"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("settings"));
        // Three images and four words on three axes; no images or keypoints.
        write("t_Z.txt", "3 3\n0.5 0.1 0.2\n-0.4 0.3 -0.1\n0.1 -0.6 0.3\n");
        write("t_W.txt", "4 3\n0.2 0.1 0\n-0.3 0.2 0.1\n0.4 -0.2 0.3\n-0.1 -0.1 -0.2\n");
        write("t_P.txt", "3 0.3 0.3 0.4");
        write("t_Q.txt", "4 0.25 0.25 0.25 0.25");
        write("t_Lambda.txt", "3 0.4 0.2 0.1");
        write("project.xml", "<XML><BASE href='.'/>"
                             "<FILE name='Z' path='t_Z.txt'/><FILE name='W' path='t_W.txt'/>"
                             "<FILE name='P' path='t_P.txt'/><FILE name='Q' path='t_Q.txt'/>"
                             "<FILE name='LAMBDA' path='t_Lambda.txt'/></XML>");
        project = dir.filePath("project.xml");
    }

    // A session saved through its dialog: the dialogs of the next run (a
    // new process reads the settings file) open in the folder it went to.
    void saveFolderKeptForTheNextRun()
    {
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("kept work")));
        const QString folder = dir.filePath(QStringLiteral("kept work"));
        const QString target = folder + QStringLiteral("/evening.ortelis.json");
        Console::Capture capture;
        CAMainWindow w;
        QVERIFY(w.open(project));
        {
            ModalCloser closer(target);
            w.saveSessionAct->trigger();
        }
        QVERIFY(QFileInfo::exists(target));
        QSettings settings;
        settings.sync();
        QFile stored(settings.fileName());
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QVERIFY(stored.readAll().contains(folder.toUtf8()));

        CAMainWindow next;
        ModalCloser closer;
        next.openSessionAct->trigger();
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].directory, folder);
    }

    void freshWindow()
    {
        Console::Capture capture;
        CAMainWindow w;
        QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Ready"));
        const QList<QAction *> checked{w.showWordPointAct, w.showImagePointAct, w.neighbourAct,
                                       w.normalModeAct, w.normalProjectionAct};
        const QList<QAction *> unchecked{w.showImageAct, w.showLensAct, w.showInfoAct, w.handModeAct,
                                         w.selectionModeAct, w.rowsBarycenterAct, w.columnsBarycenterAct};
        for (QAction *a : checked)
            QVERIFY2(a->isChecked(), qPrintable(a->text()));
        for (QAction *a : unchecked)
            QVERIFY2(!a->isChecked(), qPrintable(a->text()));
        for (QAction *a : {w.zoomInAct, w.refreshAct, w.showImageAct, w.neighbourAct})
            QVERIFY(!a->isEnabled());
        QVERIFY(!w.modeGroup->isEnabled());
        QVERIFY(!w.radiusSlider->isEnabled());
        QVERIFY(w.openAct->isEnabled() && w.exitAct->isEnabled() && w.aboutAct->isEnabled());
        // Only Open and Exit have shortcuts; image points and zoom are tool-bar only.
        QCOMPARE(w.openAct->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
        QCOMPARE(w.exitAct->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
        QVERIFY(!w.editMenu->actions().contains(w.showImagePointAct));
        QVERIFY(w.editToolBar->actions().contains(w.showImagePointAct));
        QCOMPARE(w.radiusSlider->singleStep(), 2);
        QCOMPARE(w.radiusSlider->maximum(), 200);
        QCOMPARE(w.thresholdSlider->maximum(), 6);
        QCOMPARE(w.cellSizeSlider->minimum(), 1);
    }

    void shortcutsOpenAndQuit()
    {
        Console::Capture capture;
        CAMainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QString title;
        answerNextModal(&title);
        QTest::keySequence(&w, QKeySequence(QStringLiteral("Ctrl+O")));
        QCOMPARE(title, QStringLiteral("Choose a file XML to view"));
        QVERIFY(w.workspace->subWindowList().isEmpty());
        QVERIFY(capture.all().isEmpty()); // cancelling prints nothing
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keySequence(&w, QKeySequence(QStringLiteral("Ctrl+Q")));
        QVERIFY(!w.isVisible());
    }

    void openingShowsTheProjectAndSyncsControls()
    {
        Console::Capture capture;
        CAMainWindow w(QFile::encodeName(project).constData());
        QCOMPARE(w.workspace->subWindowList().size(), 1);
        QVERIFY(capture.out().contains("Nb_axis = 3"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        CAView *v = activeView(w);
        QVERIFY(v);
        QVERIFY(w.radiusSlider->isEnabled());
        QCOMPARE(w.radiusSlider->value(), v->radius);
        QCOMPARE(w.xAxisEdit->text(), QStringLiteral("1"));
        QCOMPARE(w.yAxisEdit->text(), QStringLiteral("2"));
        QCOMPARE(w.windowTitle(), QDir(dir.path()).dirName() + QStringLiteral("/project.xml[*] - Ortelis"));
    }

    void refreshAxes_data()
    {
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("2 and 3") << "2" << "3" << true;
        QTest::newRow("empty field") << "" << "3" << false;
        QTest::newRow("zero") << "0" << "1" << false;
        QTest::newRow("beyond the axes") << "4" << "1" << false;
    }
    void refreshAxes()
    {
        QFETCH(QString, x);
        QFETCH(QString, y);
        QFETCH(bool, accepted);
        Console::Capture capture;
        CAMainWindow w(QFile::encodeName(project).constData());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        CAView *v = activeView(w);
        QVERIFY(v);
        QVERIFY(v);
        w.xAxisEdit->setText(x);
        w.yAxisEdit->setText(y);
        QString title, text;
        answerNextModal(&title, &text);
        w.refreshAct->trigger();
        if (accepted) {
            QCOMPARE(v->axis1, x.toInt() - 1);
            QCOMPARE(v->axis2, y.toInt() - 1);
            QVERIFY(capture.out().contains("Axis changed !"));
            QVERIFY(title.isEmpty());
        } else {
            QCOMPARE(title, QStringLiteral("Error"));
            QCOMPARE(text, QStringLiteral("Axis are not aceptable. Please modify them !"));
            QCOMPARE(v->axis1, 0);
            QCOMPARE(v->axis2, 1);
        }
    }

    void controlsFollowTheActiveWindow()
    {
        Console::Capture capture;
        CAMainWindow w;
        w.show();
        QVERIFY(w.open(project));
        QVERIFY(w.open(project));
        const QList<QMdiSubWindow *> subs = w.workspace->subWindowList();
        QCOMPARE(subs.size(), 2);
        auto *first = qobject_cast<CAMdiChild *>(subs[0]->widget());
        auto *second = qobject_cast<CAMdiChild *>(subs[1]->widget());
        QCOMPARE(first->windowTitle(), second->windowTitle());

        w.workspace->setActiveSubWindow(subs[0]);
        w.radiusSlider->setValue(41);
        QCOMPARE(first->caView->radius, 41);
        QCOMPARE(second->caView->radius, 20);

        w.workspace->setActiveSubWindow(subs[1]);
        QCOMPARE(w.radiusSlider->value(), 20);
        QCOMPARE(first->caView->radius, 41);
        w.workspace->setActiveSubWindow(subs[0]);
        QCOMPARE(w.radiusSlider->value(), 41);
        QCOMPARE(second->caView->radius, 20);
    }

    void modesKeepLocksAndProjectionNumbers()
    {
        Console::Capture capture;
        CAMainWindow w(QFile::encodeName(project).constData());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        CAView *v = activeView(w);
        QVERIFY(v);
        v->setMode(CAView::ModeNormal | CAView::ModeLocked);
        w.handModeAct->trigger();
        QCOMPARE(v->mode, CAView::ModeHand | CAView::ModeLocked);
        w.normalModeAct->trigger();
        QCOMPARE(v->mode, CAView::ModeNormal | CAView::ModeLocked);
        QVERIFY(w.normalModeAct->isChecked());

        w.rowsBarycenterAct->trigger();
        QCOMPARE(v->projectionMode, 2);
        QVERIFY(!w.normalProjectionAct->isChecked());
        w.columnsBarycenterAct->trigger();
        QCOMPARE(v->projectionMode, 1);
        w.normalProjectionAct->trigger();
        QCOMPARE(v->projectionMode, 0);
    }

    // The measuring action hands the map's mouse to its measuring tool (the
    // locks kept); two clicks put the distance in the status bar; a mode
    // action takes the mouse back.
    void measureActionSetsTheTool()
    {
        Console::Capture capture;
        CAMainWindow w(QFile::encodeName(project).constData());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        CAView *v = activeView(w);
        QVERIFY(v);
        v->setMode(CAView::ModeNormal | CAView::ModeImageLocked);
        w.measureAct->trigger();
        QVERIFY(qobject_cast<MeasureTool *>(v->mapTool()));
        QCOMPARE(v->mode, int(CAView::ModeImageLocked));
        QVERIFY(w.measureAct->isChecked() && !w.normalModeAct->isChecked());

        const double scale = v->scale;
        for (const QPoint p : {QPoint(10, 10), QPoint(40, 50)}) {
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(p), QPointF(v->mapToGlobal(p)), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(v, &press);
        }
        // 30 and 40 pixels apart: 50 pixels.
        QCOMPARE(w.statusBar()->currentMessage(),
                 MeasureTool::distanceText(50 / scale, v->axis1 + 1, v->axis2 + 1));

        w.normalModeAct->trigger();
        QVERIFY(!qobject_cast<MeasureTool *>(v->mapTool()));
        QCOMPARE(v->mode, CAView::ModeNormal | CAView::ModeImageLocked);
    }

    void failedOpenLeavesNoWindow()
    {
        Console::Capture capture;
        CAMainWindow w;
        QString title, text;
        answerNextModal(&title, &text);
        QVERIFY(!w.open(dir.filePath("missing.xml")));
        QCOMPARE(text, QStringLiteral("Error in reading data"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(w.workspace->subWindowList().isEmpty());
    }

    void destructionOrder()
    {
        Console::Capture capture;
        {
            CAMainWindow w(QFile::encodeName(project).constData());
            w.open(project);
            capture.clear();
        }
        const QStringList out = capture.out();
        QVERIFY(out.size() >= 3);
        QCOMPARE(out.first(), QStringLiteral("detruct .."));
        QCOMPARE(out.count("MDI Child dies"), 2);
    }

    // Closing a shown main window hides the workspace from the base class's
    // destructor, and the workspace then reports that no window is active.
    // By then the main window's own part is gone: none of its slots may
    // still be connected to the workspace.
    void noCommandSlotAfterDestruction()
    {
        Console::Capture capture;
        auto *w = new CAMainWindow(QFile::encodeName(project).constData());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QMdiArea *workspace = w->workspace;
        const QMetaMethod activated = QMetaMethod::fromSignal(&QMdiArea::subWindowActivated);
        bool sawDestroyedWindow = false;
        bool slotStillConnected = false;
        connect(workspace, &QMdiArea::subWindowActivated, this, [&, w] {
            if (qobject_cast<CAMainWindow *>(static_cast<QObject *>(w)) || sawDestroyedWindow)
                return;
            sawDestroyedWindow = true;
            slotStillConnected = QObject::disconnect(workspace, activated, w, QMetaMethod());
        });
        delete w;
        QVERIFY(sawDestroyedWindow);
        QVERIFY(!slotStillConnected);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
