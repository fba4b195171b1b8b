// The frame around the documents: where the windows open, the Window menu,
// titles, recent projects, dropped files, error boxes that say why, the axis
// fields, the lock state and the Getting started page.

#include "data/model/console.h"
#include "document/camdichild.h"
#include "map/caview.h"
#include "shell/camainwindow.h"
#include "shell/helpdialog.h"
#include "shell/recentfiles.h"
#include "shell/titletips.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QHelpEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <QtTest>

class TestShellWindows : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    void write(const QString &name, const QByteArray &text)
    {
        QDir().mkpath(QFileInfo(dir.filePath(name)).absolutePath());
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write fixture");
        f.write(text);
    }

    // A solved project of three images on three axes in folder `folder`.
    QString project(const QString &folder)
    {
        const QString at = folder + QLatin1Char('/');
        write(at + "t_Z.txt", "3 3\n0.5 0.1 0.2\n-0.4 0.3 -0.1\n0.1 -0.6 0.3\n");
        write(at + "t_W.txt", "4 3\n0.2 0.1 0\n-0.3 0.2 0.1\n0.4 -0.2 0.3\n-0.1 -0.1 -0.2\n");
        write(at + "t_P.txt", "3 0.3 0.3 0.4");
        write(at + "t_Q.txt", "4 0.25 0.25 0.25 0.25");
        write(at + "t_Lambda.txt", "3 0.4 0.2 0.1");
        write(at + "project.xml", "<XML><BASE href='.'/>"
                                  "<FILE name='Z' path='t_Z.txt'/><FILE name='W' path='t_W.txt'/>"
                                  "<FILE name='P' path='t_P.txt'/><FILE name='Q' path='t_Q.txt'/>"
                                  "<FILE name='LAMBDA' path='t_Lambda.txt'/></XML>");
        return dir.filePath(at + "project.xml");
    }

    struct Seen
    {
        QString title, text, informative;
    };
    // Closes the next message box and remembers what it said.
    void answerNextBox(Seen *seen)
    {
        QTimer::singleShot(0, this, [seen] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen->title = box->windowTitle();
                seen->text = box->text();
                seen->informative = box->informativeText();
                box->accept();
            }
        });
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("OrtelisTest"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("settings"));
    }
    void init() { QSettings().clear(); }

    void windowsFitTheScreenAndWorkspace()
    {
        Console::Capture capture;
        const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
        {
            CAMainWindow w(QFile::encodeName(project("a")).constData());
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            // About 85 % of the available area, inside it.
            QVERIFY(room.contains(w.frameGeometry()) || room.contains(w.geometry()));
            QVERIFY(qAbs(w.width() - room.width() * 0.85) < room.width() * 0.05);
            QVERIFY(qAbs(w.height() - room.height() * 0.85) < room.height() * 0.06);
            // The document window opened before the window was shown fits its
            // workspace; so does a second one, cascaded.
            QVERIFY(w.open(project("a")));
            const QRect area = w.workspace->viewport()->rect();
            for (QMdiSubWindow *frame : w.workspace->subWindowList())
                QVERIFY2(area.contains(frame->geometry()),
                         qPrintable(QStringLiteral("%1,%2 %3x%4 outside %5x%6")
                                        .arg(frame->x()).arg(frame->y()).arg(frame->width())
                                        .arg(frame->height()).arg(area.width())
                                        .arg(area.height())));
            w.move(room.topLeft() + QPoint(10, 20));
            w.resize(500, 400);
            w.close();
        }
        // Next time it opens where it was left.
        CAMainWindow again;
        QCOMPARE(again.size(), QSize(500, 400));
    }

    void windowMenuArrangesAndCloses()
    {
        Console::Capture capture;
        CAMainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(!w.closeAct->isEnabled());
        QVERIFY(w.open(project("a")));
        QVERIFY(w.open(project("b")));
        QVERIFY(w.open(project("c")));
        QCOMPARE(w.closeAct->shortcut(), QKeySequence(QStringLiteral("Ctrl+W")));
        emit w.windowMenu->aboutToShow();
        QStringList listed;
        for (QAction *a : w.windowMenu->actions())
            if (a->isCheckable())
                listed << a->text();
        QCOMPARE(listed, (QStringList{"&1 a/project.xml - Ortelis", "&2 b/project.xml - Ortelis",
                                      "&3 c/project.xml - Ortelis"}));
        // The list follows the active window and activates what is chosen.
        for (QAction *a : w.windowMenu->actions())
            if (a->isCheckable() && a->text().startsWith("&1"))
                a->trigger();
        QCOMPARE(w.activeMdiChild()->curFile, project("a"));
        w.nextAct->trigger();
        QCOMPARE(w.activeMdiChild()->curFile, project("b"));
        w.previousAct->trigger();
        QCOMPARE(w.activeMdiChild()->curFile, project("a"));

        w.tileAct->trigger();
        const QRect area = w.workspace->viewport()->rect();
        for (QMdiSubWindow *frame : w.workspace->subWindowList())
            QVERIFY(area.contains(frame->geometry()));

        QTest::keySequence(&w, QKeySequence(QStringLiteral("Ctrl+W")));
        QTRY_COMPARE(w.workspace->subWindowList().size(), 2);
        w.closeAllAct->trigger();
        QTRY_COMPARE(w.workspace->subWindowList().size(), 0);
        QVERIFY(!w.closeAct->isEnabled());
    }

    void titlesNameTheFolderOnce()
    {
        Console::Capture capture;
        CAMainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.open(project("clipart")));
        QCOMPARE(w.windowTitle(), QStringLiteral("clipart/project.xml[*] - Ortelis"));
        QVERIFY(w.open(project("demo")));
        QCOMPARE(w.windowTitle(), QStringLiteral("demo/project.xml[*] - Ortelis"));
        // Maximised, the document's title is still said once.
        w.workspace->activeSubWindow()->showMaximized();
        QCoreApplication::processEvents();
        QCOMPARE(w.windowTitle(), QStringLiteral("demo/project.xml[*] - Ortelis"));
        w.workspace->activatePreviousSubWindow();
        QCoreApplication::processEvents();
        QCOMPARE(w.windowTitle(), QStringLiteral("clipart/project.xml[*] - Ortelis"));
    }

    void recentProjectsAreKeptInOrder()
    {
        Console::Capture capture;
        CAMainWindow w;
        QStringList opened;
        for (int i = 0; i < 10; ++i) {
            opened.prepend(project(QStringLiteral("r%1").arg(i)));
            QVERIFY(w.open(opened.first()));
        }
        QCOMPARE(w.recentFiles->files(), opened.mid(0, RecentFiles::kMaxFiles));
        QCOMPARE(w.recentMenu->actions().size(), RecentFiles::kMaxFiles);
        QCOMPARE(w.recentMenu->actions().first()->text(), QStringLiteral("&1 r9/project.xml"));
        // Opening an older one again brings it first, once.
        QVERIFY(w.open(project("r5")));
        QCOMPARE(w.recentFiles->files().first(), project("r5"));
        QCOMPARE(w.recentFiles->files().count(project("r5")), 1);
        QCOMPARE(w.recentFiles->files().size(), RecentFiles::kMaxFiles);
        // The Open dialog starts in the folder of the last project.
        QCOMPARE(w.recentFiles->lastFolder(), QFileInfo(project("r5")).absolutePath());
        // A recent entry of a project already open brings its window to the
        // front; once that window is closed, the entry opens the project.
        w.show(); // windows are activated only in a shown workspace
        const int before = int(w.workspace->subWindowList().size());
        w.recentMenu->actions().at(1)->trigger();
        QCOMPARE(w.workspace->subWindowList().size(), before);
        QTRY_COMPARE(w.activeMdiChild()->curFile, project("r9"));
        w.workspace->closeActiveSubWindow();
        QCOMPARE(w.workspace->subWindowList().size(), before - 1);
        w.recentMenu->actions().at(1)->trigger();
        QCOMPARE(w.workspace->subWindowList().size(), before);
        QCOMPARE(w.activeMdiChild()->curFile, project("r9"));
    }

    void droppedProjectOpens()
    {
        Console::Capture capture;
        CAMainWindow w;
        w.show();
        auto *mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(project("dropped"))});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &drop);
        QCOMPARE(w.workspace->subWindowList().size(), 1);
        QCOMPARE(w.activeMdiChild()->curFile, project("dropped"));
        delete mime;
    }

    void errorBoxesSayWhy_data()
    {
        QTest::addColumn<QByteArray>("projectText");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing table")
            << QByteArray("<XML><BASE href='.'/>"
                          "<FILE name='Z' path='absent_Z.txt'/><FILE name='W' path='t_W.txt'/>"
                          "<FILE name='P' path='t_P.txt'/><FILE name='Q' path='t_Q.txt'/>"
                          "<FILE name='LAMBDA' path='t_Lambda.txt'/></XML>")
            << QStringLiteral("absent_Z.txt");
        QTest::newRow("not XML") << QByteArray("this is not a project\n")
                                 << QStringLiteral("broken/project.xml");
    }
    void errorBoxesSayWhy()
    {
        QFETCH(QByteArray, projectText);
        QFETCH(QString, reason);
        Console::Capture capture;
        project("broken");
        write("broken/project.xml", projectText);
        CAMainWindow w;
        w.show();
        QVERIFY(w.open(project("good")));
        QVERIFY(w.open(project("other")));
        QMdiSubWindow *inUse = w.workspace->subWindowList().at(0);
        w.workspace->setActiveSubWindow(inUse);

        Seen seen;
        answerNextBox(&seen);
        QVERIFY(!w.open(dir.filePath("broken/project.xml")));
        QCOMPARE(seen.title, QStringLiteral("Ortelis"));
        QCOMPARE(seen.text, QStringLiteral("Error in reading data"));
        QVERIFY2(seen.informative.contains(reason), qPrintable(seen.informative));
        // The reason is the console's: every line of it was printed there.
        for (const QString &line : seen.informative.split('\n'))
            QVERIFY2(capture.err().contains(line), qPrintable(line));
        // The window in use stays the active one.
        QCOMPARE(w.workspace->subWindowList().size(), 2);
        QCOMPARE(w.workspace->activeSubWindow(), inUse);
    }

    void axisFieldsRefuseAndApply()
    {
        Console::Capture capture;
        CAMainWindow w(QFile::encodeName(project("a")).constData());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        CAView *v = w.activeView();
        QVERIFY(v);
        w.xAxisEdit->clear();
        QTest::keyClicks(w.xAxisEdit, QStringLiteral("5")); // three axes
        QCOMPARE(w.xAxisEdit->text(), QString());
        QTest::keyClicks(w.xAxisEdit, QStringLiteral("0"));
        QCOMPARE(w.xAxisEdit->text(), QString());
        QTest::keyClicks(w.xAxisEdit, QStringLiteral("3"));
        QCOMPARE(w.xAxisEdit->text(), QStringLiteral("3"));
        QTest::keyClick(w.xAxisEdit, Qt::Key_Return);
        QCOMPARE(v->axis1, 2);
        QVERIFY(capture.out().contains("Axis changed !"));

        // An empty field is still refused by Refresh, and the box says what
        // would be accepted.
        w.yAxisEdit->clear();
        Seen seen;
        answerNextBox(&seen);
        QTest::keyClick(w.yAxisEdit, Qt::Key_Return);
        QCOMPARE(seen.text, QStringLiteral("Axis are not aceptable. Please modify them !"));
        QCOMPARE(seen.informative, QStringLiteral("Each axis is a number from 1 to 3."));
    }

    void lockStateInTheStatusBar()
    {
        Console::Capture capture;
        CAMainWindow w(QFile::encodeName(project("a")).constData());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        CAView *v = w.activeView();
        QVERIFY(w.lockLabel->text().isEmpty());
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), v->mapToGlobal(QPointF(20, 20)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(v, &press);
        QCOMPARE(w.lockLabel->text(), QStringLiteral("Locked \u2014 click the map to unlock"));
        QCoreApplication::sendEvent(v, &press);
        QVERIFY(w.lockLabel->text().isEmpty());
        QMouseEvent right(QEvent::MouseButtonPress, QPointF(20, 20), v->mapToGlobal(QPointF(20, 20)),
                          Qt::RightButton, Qt::RightButton, Qt::NoModifier);
        QCoreApplication::sendEvent(v, &right);
        QVERIFY(w.lockLabel->text().startsWith(QStringLiteral("Images locked")));
    }

    void gettingStartedExplainsTheMarks()
    {
        CAMainWindow w;
        w.gettingStartedAct->trigger();
        QVERIFY(w.helpDialog);
        QVERIFY(w.helpDialog->isVisible());
        const QString page = w.helpDialog->browser()->toPlainText();
        for (const char *topic : {"Red crosses", "green badge", "yellow badge", "Keypoint colours",
                                  "red outline", "Left click", "Right click", "double click",
                                  "Hand", "outline", "Radius"})
            QVERIFY2(page.contains(QLatin1String(topic), Qt::CaseInsensitive), topic);
        QCOMPARE(w.helpMenu->actions().first(), w.gettingStartedAct);
    }

    // An extracted view's title bar tells its parent and size in a tooltip;
    // the map and panes below keep their own.
    void titleTipOnlyOverTheTitle_data()
    {
        QTest::addColumn<bool>("overTitle");
        QTest::newRow("title bar") << true;
        QTest::newRow("inside the window") << false;
    }
    void titleTipOnlyOverTheTitle()
    {
        QFETCH(bool, overTitle);
        QMdiArea area;
        area.resize(600, 400);
        auto *inside = new QLabel(QStringLiteral("map"));
        QMdiSubWindow *frame = area.addSubWindow(inside);
        area.show();
        frame->resize(300, 200);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        TitleTips tips(&area);
        tips.watch(frame, QStringLiteral("from a/project.xml: 12 images \u00d7 9 words"));
        const QPoint at = overTitle ? QPoint(frame->width() / 2, inside->geometry().top() / 2)
                                    : inside->geometry().center();
        QHelpEvent help(QEvent::ToolTip, at, frame->mapToGlobal(at));
        QToolTip::hideText();
        QCoreApplication::sendEvent(frame, &help);
        QCOMPARE(QToolTip::isVisible() && QToolTip::text().startsWith(QStringLiteral("from a/project.xml")),
                 overTitle);
        QToolTip::hideText();
    }
};

QTEST_MAIN(TestShellWindows)
#include "tst_shellwindows.moc"
