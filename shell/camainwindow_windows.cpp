// The main window's frame around the documents: where it opens, how document
// windows fit the workspace, the Window menu, recent projects, dropped files,
// the lock state in the status bar and the Getting started page.

#include "shell/camainwindow.h"

#include "data/model/cadata.h"
#include "document/camdichild.h"
#include "map/caview.h"
#include "shell/axisvalidator.h"
#include "shell/helpdialog.h"
#include "shell/recentfiles.h"
#include "shell/workspacefitter.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>

namespace {

const char kGeometryKey[] = "mainWindow/geometry";

// The project files among dropped URLs.
QStringList projectFiles(const QMimeData *mime)
{
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl &url : mime->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && QFileInfo(path).isFile()
            && path.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
            files << path;
    }
    return files;
}

// Enter in an axis field applies the axes as Refresh does, also when the
// field holds no acceptable number (QLineEdit then stays silent), so the user
// learns why nothing changed.
class EnterApplies : public QObject
{
public:
    EnterApplies(CAMainWindow *window, void (CAMainWindow::*slot)())
        : QObject(window), m_window(window), m_slot(slot)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                (m_window->*m_slot)();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    CAMainWindow *m_window;
    void (CAMainWindow::*m_slot)();
};

} // namespace

void CAMainWindow::createWindowCommands()
{
    recentFiles = new RecentFiles(this);

    // Axis numbers beyond the number of axes are refused as they are typed,
    // and Enter applies them as Refresh does.
    delete axisValidator;
    axisValidator = new AxisValidator(this);
    auto *enter = new EnterApplies(this, &CAMainWindow::refresh);
    xAxisEdit->installEventFilter(enter);
    yAxisEdit->installEventFilter(enter);

    // File > Open Recent, after Open.
    recentMenu = new QMenu(tr("Open &Recent"), this);
    const QList<QAction *> entries = fileMenu->actions();
    const int openAt = int(entries.indexOf(openAct));
    QAction *afterOpen = openAt >= 0 && openAt + 1 < entries.size() ? entries.at(openAt + 1)
                                                                    : nullptr;
    fileMenu->insertMenu(afterOpen, recentMenu);
    connect(recentFiles, &RecentFiles::changed, this, &CAMainWindow::updateRecentMenu);
    updateRecentMenu();

    tileAct = new QAction(tr("&Tile"), this);
    tileAct->setStatusTip(tr("Arrange the windows side by side"));
    connect(tileAct, &QAction::triggered, workspace, &QMdiArea::tileSubWindows);
    cascadeAct = new QAction(tr("&Cascade"), this);
    cascadeAct->setStatusTip(tr("Arrange the windows one over the other"));
    connect(cascadeAct, &QAction::triggered, workspace, &QMdiArea::cascadeSubWindows);
    nextAct = new QAction(tr("Ne&xt"), this);
    nextAct->setShortcuts(QKeySequence::NextChild);
    nextAct->setStatusTip(tr("Go to the next window"));
    connect(nextAct, &QAction::triggered, workspace, &QMdiArea::activateNextSubWindow);
    previousAct = new QAction(tr("Pre&vious"), this);
    previousAct->setShortcuts(QKeySequence::PreviousChild);
    previousAct->setStatusTip(tr("Go to the previous window"));
    connect(previousAct, &QAction::triggered, workspace, &QMdiArea::activatePreviousSubWindow);
    closeAct = new QAction(tr("Cl&ose"), this);
    closeAct->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    closeAct->setStatusTip(tr("Close the active window"));
    connect(closeAct, &QAction::triggered, workspace, &QMdiArea::closeActiveSubWindow);
    closeAllAct = new QAction(tr("Close &All"), this);
    closeAllAct->setStatusTip(tr("Close all the windows"));
    connect(closeAllAct, &QAction::triggered, workspace, &QMdiArea::closeAllSubWindows);

    windowMenu = new QMenu(tr("&Window"), this);
    menuBar()->insertMenu(helpMenu->menuAction(), windowMenu);
    connect(windowMenu, &QMenu::aboutToShow, this, &CAMainWindow::updateWindowMenu);
    connect(workspace, &QMdiArea::subWindowActivated, this, &CAMainWindow::updateWindowMenu);
    updateWindowMenu();

    gettingStartedAct = new QAction(tr("&Getting started"), this);
    gettingStartedAct->setShortcut(QKeySequence::HelpContents);
    gettingStartedAct->setStatusTip(tr("What the map and the panes show, and how to use them"));
    connect(gettingStartedAct, &QAction::triggered, this, &CAMainWindow::showGettingStarted);
    helpMenu->insertAction(aboutAct, gettingStartedAct);

    lockLabel = new QLabel(this);
    statusBar()->addPermanentWidget(lockLabel);

    setAcceptDrops(true);
}

void CAMainWindow::placeWindow()
{
    const QByteArray saved = QSettings().value(QLatin1String(kGeometryKey)).toByteArray();
    if (saved.isEmpty() || !restoreGeometry(saved)) {
        const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            const QRect room = screen->availableGeometry();
            const QSize size = room.size() * 0.85;
            resize(size);
            move(room.center() - QPoint(size.width() / 2, size.height() / 2));
        } else {
            resize(1024, 768);
        }
    }
    // Lays the workspace out now, so a project opened before the window is
    // shown fits the room it will have.
    if (QLayout *l = layout())
        l->activate();
}

void CAMainWindow::fitInWorkspace(QMdiSubWindow *frame)
{
    // Ctrl+W is the Window menu's Close; the frame's own menu would make the
    // key ambiguous, and then it does nothing.
    if (QMenu *menu = frame->systemMenu()) {
        const QKeySequence close(Qt::CTRL | Qt::Key_W);
        for (QAction *a : menu->actions()) {
            QList<QKeySequence> keys = a->shortcuts();
            if (keys.removeAll(close) > 0)
                a->setShortcuts(keys);
        }
    }
    // Cascaded from the top-left corner, filling the rest of the workspace,
    // and kept so while docks come and go beside it.
    if (!workspaceFitter)
        workspaceFitter = new WorkspaceFitter(workspace);
    workspaceFitter->fit(frame);
}

void CAMainWindow::updateWindowMenu()
{
    if (!windowMenu)
        return;
    windowMenu->clear();
    windowMenu->addAction(tileAct);
    windowMenu->addAction(cascadeAct);
    windowMenu->addSeparator();
    windowMenu->addAction(nextAct);
    windowMenu->addAction(previousAct);
    windowMenu->addSeparator();
    windowMenu->addAction(closeAct);
    windowMenu->addAction(closeAllAct);

    const QList<QMdiSubWindow *> windows = workspace->subWindowList();
    const bool any = !windows.isEmpty();
    for (QAction *a : {tileAct, cascadeAct, nextAct, previousAct, closeAct, closeAllAct})
        a->setEnabled(any);
    if (!any)
        return;
    windowMenu->addSeparator();
    auto *group = new QActionGroup(windowMenu);
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow *frame = windows.at(i);
        QWidget *document = frame->widget();
        QString title = document ? document->windowTitle() : frame->windowTitle();
        // The mark of an unsaved view, as its title bar shows it.
        title.replace(QLatin1String("[*]"), document && document->isWindowModified() ? QStringLiteral("*")
                                                                                       : QString());
        // An extracted view says where it comes from.
        if (auto *child = qobject_cast<CAMdiChild *>(document); child && !child->origin.isEmpty())
            title += QStringLiteral(" (%1)").arg(child->origin);
        const QString text = i < 9 ? tr("&%1 %2").arg(i + 1).arg(title)
                                   : tr("%1 %2").arg(i + 1).arg(title);
        QAction *action = windowMenu->addAction(text);
        action->setCheckable(true);
        action->setChecked(frame == workspace->activeSubWindow()
                           || (!workspace->activeSubWindow()
                               && frame == workspace->currentSubWindow()));
        group->addAction(action);
        connect(action, &QAction::triggered, workspace,
                [this, frame] { workspace->setActiveSubWindow(frame); });
    }
}

void CAMainWindow::updateRecentMenu()
{
    recentMenu->clear();
    const QStringList files = recentFiles->files();
    for (int i = 0; i < files.size(); ++i) {
        const QFileInfo info(files.at(i));
        const QString shown = info.absoluteDir().dirName() + QLatin1Char('/') + info.fileName();
        QAction *action = recentMenu->addAction(tr("&%1 %2").arg(i + 1).arg(shown));
        action->setData(files.at(i));
        action->setStatusTip(QDir::toNativeSeparators(files.at(i)));
        const QString path = files.at(i);
        connect(action, &QAction::triggered, this, [this, path] { openOrActivate(path); });
    }
    recentMenu->setEnabled(!files.isEmpty());
}

void CAMainWindow::showLockState()
{
    if (!lockLabel)
        return;
    const CAView *v = activeView();
    QString text;
    if (v && (v->mode & CAView::ModeNormal)) {
        if (v->mode & CAView::ModeLocked)
            text = tr("Locked \u2014 click the map to unlock");
        else if (v->mode & CAView::ModeImageLocked)
            text = tr("Images locked \u2014 right-click the map to unlock");
    }
    lockLabel->setText(text);
}

void CAMainWindow::showGettingStarted()
{
    if (!helpDialog)
        helpDialog = new HelpDialog(this);
    helpDialog->show();
    helpDialog->raise();
    helpDialog->activateWindow();
}

void CAMainWindow::saveWindowPlace()
{
    QSettings().setValue(QLatin1String(kGeometryKey), saveGeometry());
}

void CAMainWindow::changeEvent(QEvent *event)
{
    // A maximised document window rewrites the main window's title as
    // "title - [document title]", which names the document twice: the
    // title stays the document's own.
    if (event->type() == QEvent::WindowTitleChange && !documentTitle.isEmpty()
        && windowTitle() != documentTitle)
        setWindowTitle(documentTitle);
    QMainWindow::changeEvent(event);
}

void CAMainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!projectFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CAMainWindow::dropEvent(QDropEvent *event)
{
    const QStringList files = projectFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    for (const QString &file : files)
        open(file);
}

bool CAMainWindow::openOrActivate(const QString &fileName)
{
    // The window already showing this project, as saved (an unsaved
    // extracted view shows no file).
    const QString wanted = QFileInfo(fileName).absoluteFilePath();
    for (QMdiSubWindow *frame : workspace->subWindowList()) {
        auto *child = qobject_cast<CAMdiChild *>(frame->widget());
        if (child && child->data && !child->isWindowModified()
            && QFileInfo(child->curFile).absoluteFilePath() == wanted) {
            if (frame->isMinimized())
                frame->showNormal();
            workspace->setActiveSubWindow(frame);
            return true;
        }
    }
    return open(fileName);
}
