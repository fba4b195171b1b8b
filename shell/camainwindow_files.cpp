// The File commands that keep and share the work: saving an analysis,
// exporting the map and the points, copying names, and sessions.
#include "shell/camainwindow.h"

#include "data/formats/atomicfile.h"
#include "data/model/cadata.h"
#include "data/formats/regularfile.h"
#include "document/camdichild.h"
#include "detail/wordview.h"
#include "map/caview.h"
#include "map/mapexporter.h"
#include "map/mapstate.h"
#include "map/pointexporter.h"
#include "shell/axespanel.h"
#include "shell/findbar.h"
#include "shell/grouppanel.h"
#include "shell/mappanels.h"
#include "shell/memoryleft.h"
#include "shell/problemlist.h"
#include "shell/session.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>

#include <algorithm>

namespace {

CAMdiChild *childOf(QMdiSubWindow *frame)
{
    return frame ? qobject_cast<CAMdiChild *>(frame->widget()) : nullptr;
}

QString withSuffix(QString path, const QString &suffix)
{
    if (!path.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
        path += QLatin1Char('.') + suffix;
    return path;
}

// Where the last export or session went: the next dialog opens there, in
// this run and the next one (a session is opened again after a restart).
const char kSaveFolderKey[] = "lastSaveFolder";

QString lastFolder()
{
    const QString folder = QSettings().value(QLatin1String(kSaveFolderKey)).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    return QDir::homePath();
}

void remember(const QString &path)
{
    QSettings().setValue(QLatin1String(kSaveFolderKey), QFileInfo(path).absolutePath());
}

} // namespace

int CAMainWindow::sessionWindowLimit = 64;
qint64 CAMainWindow::sessionMemoryReserve = qint64(256) << 20;

void CAMainWindow::createFileActions()
{
    auto make = [this](const QString &text, const QString &tip, void (CAMainWindow::*slot)()) {
        auto *action = new QAction(text, this);
        action->setStatusTip(tip);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    saveAnalysisAct = make(tr("Save &analysis as..."),
                           tr("Save the analysis of this window as a project folder"),
                           &CAMainWindow::saveAnalysisAs);
    saveAnalysisAct->setShortcut(tr("Ctrl+Shift+S"));
    exportMapAct = make(tr("Export &map..."), tr("Save the map as a PNG image or an SVG drawing"),
                        &CAMainWindow::exportMap);
    exportPointsAct = make(tr("Export &points..."),
                           tr("Save the images and words of the map as a CSV table"),
                           &CAMainWindow::exportPoints);
    exportSelectionAct = make(tr("Export s&election..."),
                              tr("Save the images and words inside the last outline as a CSV table"),
                              &CAMainWindow::exportSelection);
    copyNamesAct = make(tr("&Copy names"),
                        tr("Copy the file names of the images around the cursor"),
                        &CAMainWindow::copyNames);
    copyNamesAct->setShortcut(QKeySequence::Copy);
    saveSessionAct = make(tr("Save sessio&n..."),
                          tr("Save the open windows and their maps as a session"),
                          &CAMainWindow::saveSession);
    openSessionAct = make(tr("Open sess&ion..."), tr("Open the windows of a saved session"),
                          &CAMainWindow::openSession);

    // Between Open and Exit.
    QAction *beforeExit = nullptr;
    const QList<QAction *> entries = fileMenu->actions();
    const int exitAt = int(entries.indexOf(exitAct));
    if (exitAt > 0 && entries.at(exitAt - 1)->isSeparator())
        beforeExit = entries.at(exitAt - 1);
    else
        beforeExit = exitAct;
    fileMenu->insertActions(beforeExit, {openSessionAct, saveSessionAct});
    fileMenu->insertSeparator(beforeExit);
    fileMenu->insertActions(beforeExit, {saveAnalysisAct, exportMapAct, exportPointsAct,
                                         exportSelectionAct, copyNamesAct});
    fileMenu->insertSeparator(beforeExit);

    connect(workspace, &QMdiArea::subWindowActivated, this, &CAMainWindow::updateFileActions);
    updateFileActions();
}

void CAMainWindow::updateFileActions()
{
    CAMdiChild *w = activeMdiChild();
    const bool usable = w && w->data && w->caView;
    for (QAction *a : {saveAnalysisAct, exportMapAct, exportPointsAct, exportSelectionAct, copyNamesAct})
        a->setEnabled(usable);
    if (locateImagesAct)
        locateImagesAct->setEnabled(usable && w->data->labels);
    if (paneKeypointsAct) {
        paneKeypointsAct->setEnabled(usable);
        paneKeypointsAct->setChecked(!usable || w->wordView->keypointsShown());
    }
    saveSessionAct->setEnabled(!workspace->subWindowList().isEmpty());
}

bool CAMainWindow::confirmReplace(const QString &path)
{
    if (!QFileInfo::exists(path))
        return true;
    return QMessageBox::question(this, QStringLiteral("Ortelis"),
                                 QStringLiteral("'%1' already exists. Replace it?").arg(path),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void CAMainWindow::saveAnalysisAs()
{
    if (CAMdiChild *w = activeMdiChild()) {
        if (w->saveAnalysisAs()) {
            statusBar()->showMessage(tr("Analysis saved as %1").arg(w->curFile), 5000);
            updateMenus();
        }
    }
}

void CAMainWindow::exportMap()
{
    CAView *v = activeView();
    if (!v || !v->data)
        return;
    const QString png1 = tr("PNG image, window size (*.png)");
    const QString png2 = tr("PNG image, 2\u00d7 for print (*.png)");
    const QString png4 = tr("PNG image, 4\u00d7 for print (*.png)");
    const QString svg = tr("SVG drawing (*.svg)");
    QString filter = svg;
    QString path = QFileDialog::getSaveFileName(this, tr("Export map"), lastFolder() + QStringLiteral("/map.svg"),
                                                QStringList{svg, png1, png2, png4}.join(QStringLiteral(";;")),
                                                &filter, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return;
    // A typed extension wins over the chosen filter; the filter gives the
    // PNG's size.
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool asSvg = suffix == QLatin1String("svg") || (suffix != QLatin1String("png") && filter == svg);
    path = withSuffix(path, asSvg ? QStringLiteral("svg") : QStringLiteral("png"));
    if (!confirmReplace(path))
        return;
    const MapExporter exporter(*v);
    QString error;
    const int factor = filter == png4 ? 4 : filter == png2 ? 2 : 1;
    const bool ok = asSvg ? exporter.writeSvg(path, true, &error) : exporter.writePng(path, factor, true, &error);
    if (!ok) {
        QMessageBox::critical(this, QStringLiteral("Ortelis"), error, QMessageBox::Ok);
        return;
    }
    remember(path);
    statusBar()->showMessage(tr("Map exported to %1").arg(path), 5000);
}

void CAMainWindow::exportPointsOf(bool selectionOnly)
{
    CAView *v = activeView();
    if (!v || !v->data)
        return;
    if (selectionOnly && v->selectedImages.isEmpty() && v->selectedWords.isEmpty()) {
        QMessageBox::information(this, QStringLiteral("Ortelis"),
                                 QStringLiteral("Nothing is selected: draw an outline in selection mode first."),
                                 QMessageBox::Ok);
        return;
    }
    const QString name = selectionOnly ? QStringLiteral("/selection.csv") : QStringLiteral("/points.csv");
    QString path = QFileDialog::getSaveFileName(
        this, selectionOnly ? tr("Export selection") : tr("Export points"), lastFolder() + name,
        tr("CSV table (*.csv);;All files (*)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path = withSuffix(path, QStringLiteral("csv"));
    if (!confirmReplace(path))
        return;
    const QByteArray csv = selectionOnly ? PointExporter::csv(*v, &v->selectedImages, &v->selectedWords,
                                                                            &v->selectedSupImages())
                                         : PointExporter::csv(*v);
    QString error;
    if (!AtomicFile::write(path, csv, AtomicFile::ReplaceExisting, &error)) {
        QMessageBox::critical(this, QStringLiteral("Ortelis"), error, QMessageBox::Ok);
        return;
    }
    remember(path);
    statusBar()->showMessage(tr("Points exported to %1").arg(path), 5000);
}

void CAMainWindow::exportPoints()
{
    exportPointsOf(false);
}

void CAMainWindow::exportSelection()
{
    exportPointsOf(true);
}

void CAMainWindow::copyNames()
{
    CAView *v = activeView();
    if (!v || !v->data || !v->data->labels)
        return;
    QStringList names;
    // The neighbourhood's supplementary images (after the images) too.
    for (int i : std::as_const(v->imageList))
        if (const ImageLabel *label = v->data->imageLabel(i); label && !label->imageFile.isEmpty())
            names << v->data->resolve(label->imageFile);
    QGuiApplication::clipboard()->setText(names.join(QLatin1Char('\n')) + (names.isEmpty() ? QString() : QStringLiteral("\n")));
    statusBar()->showMessage(tr("%n file name(s) copied", nullptr, int(names.size())), 5000);
}

bool CAMainWindow::saveSessionTo(const QString &path, bool replace, QString *error)
{
    Session session;
    session.mainGeometry = saveGeometry();
    session.mainState = saveState();
    AxesPanel *axes = mapPanels ? mapPanels->axes : nullptr;
    if (axes) {
        session.axesPage = axes->tabs->currentIndex();
        session.axesTop = axes->topCount->value();
    }
    QMdiSubWindow *active = workspace->currentSubWindow();
    for (QMdiSubWindow *frame : workspace->subWindowList(QMdiArea::CreationOrder)) {
        CAMdiChild *child = childOf(frame);
        if (!child || !child->data || !child->caView)
            continue;
        Session::Window w;
        if (!child->isWindowModified())
            w.project = QFileInfo(child->curFile).absoluteFilePath();
        w.name = child->isWindowModified() ? child->curFile : QFileInfo(child->curFile).fileName();
        w.maximized = frame->isMaximized();
        w.minimized = frame->isMinimized();
        w.geometry = (w.maximized || w.minimized) ? frame->normalGeometry() : frame->geometry();
        w.active = frame == active;
        w.panes = child->saveState();
        if (auto *column = qobject_cast<QSplitter *>(child->widget(1)))
            w.column = column->saveState();
        w.map = MapState::of(*child->caView);
        w.imagesFrom = child->imagesFrom;
        w.imagesTo = child->imagesTo;
        w.labelSources = child->caView->labelling().sources();
        w.labelColumn = child->caView->labelling().column();
        // The group test's A and B belong to the map the dock follows.
        if (axes && w.active && axes->groups)
            for (int slot = 0; slot < 2; ++slot) {
                w.kept[slot] = axes->groups->keptImages(slot);
                w.keptName[slot] = axes->groups->keptName(slot);
            }
        session.windows.append(w);
    }
    return AtomicFile::write(path, session.toJson(path),
                             replace ? AtomicFile::ReplaceExisting : AtomicFile::KeepExisting, error);
}

bool CAMainWindow::openSessionFrom(const QString &path, QStringList *missing, QString *error)
{
    QFile file(path);
    // Without blocking, and only a regular file: a FIFO chosen as the session
    // would hang the viewer, and a device such as /dev/zero never ends.
    QString why;
    if (!RegularFile::open(file, &why)) {
        if (error)
            *error = QStringLiteral("Cannot open the session '%1': %2.").arg(path, why);
        return false;
    }
    // Sessions are a few kilobytes; anything far larger is not one.
    if (file.size() > 16 * 1024 * 1024) {
        if (error)
            *error = QStringLiteral("'%1' is not a session file: it is far too large.").arg(path);
        return false;
    }
    Session session;
    if (!Session::fromJson(file.readAll(), path, session, error))
        return false;

    if (!session.mainGeometry.isEmpty())
        restoreGeometry(session.mainGeometry);
    QMdiSubWindow *toActivate = nullptr;
    const Session::Window *activeWindow = nullptr;
    int restored = 0;
    qint64 largestWindow = 0;
    QString stoppedBy;
    int leftOut = 0;
    for (const Session::Window &w : std::as_const(session.windows)) {
        if (w.project.isEmpty()) {
            if (missing)
                *missing << QStringLiteral("%1: it was never saved").arg(w.name);
            continue;
        }
        if (!QFileInfo::exists(w.project)) {
            if (missing)
                *missing << QStringLiteral("%1: the project file is not there any more").arg(w.project);
            continue;
        }
        if (!stoppedBy.isEmpty()) {
            ++leftOut;
            continue;
        }
        if (restored >= sessionWindowLimit) {
            stoppedBy = QStringLiteral("a session restores at most %1 windows").arg(sessionWindowLimit);
            ++leftOut;
            continue;
        }
        const qint64 before = memoryLeft();
        if (before >= 0 && before < std::max(sessionMemoryReserve, 2 * largestWindow)) {
            stoppedBy = QStringLiteral("only %1 MB of memory is left").arg(before >> 20);
            ++leftOut;
            continue;
        }
        // Something else in its place (a FIFO, a device, a folder) is named
        // for what it is, and never waited on.
        QFile probe(w.project);
        QString why;
        if (!RegularFile::open(probe, &why)) {
            if (missing)
                *missing << QStringLiteral("%1: %2").arg(w.project, why);
            continue;
        }
        probe.close();
        CAMdiChild *child = addChild();
        const bool loaded = child->loadFile(w.project);
        finishChild(child, loaded);
        if (!loaded) {
            if (missing)
                *missing << QStringLiteral("%1: it could not be read").arg(w.project);
            continue;
        }
        ++restored;
        if (!w.imagesTo.isEmpty())
            relocateImages(child, w.imagesFrom, w.imagesTo);
        else
            reportMissingImages(child);
        const qint64 after = memoryLeft();
        if (before >= 0 && after >= 0)
            largestWindow = std::max(largestWindow, before - after);
        QMdiSubWindow *frame = qobject_cast<QMdiSubWindow *>(child->parentWidget());
        if (frame && w.geometry.isValid())
            frame->setGeometry(w.geometry);
        if (!w.panes.isEmpty())
            child->restoreState(w.panes);
        if (auto *column = qobject_cast<QSplitter *>(child->widget(1)); column && !w.column.isEmpty())
            column->restoreState(w.column);
        w.map.applyTo(*child->caView);
        if (w.labelSources >= 0) {
            child->caView->labelling().setSources(w.labelSources);
            if (w.labelColumn >= 0 && w.labelColumn <= CAView::LabelCategory)
                child->caView->labelling().setColumn(w.labelColumn);
        }
        if (frame && w.maximized)
            frame->showMaximized();
        else if (frame && w.minimized)
            frame->showMinimized();
        if (w.active) {
            toActivate = frame;
            activeWindow = &w;
        }
    }
    // One line, first, however many windows it concerns.
    if (leftOut && missing)
        missing->prepend(QStringLiteral("%1 more window(s) left out after %2 restored: %3.")
                             .arg(ProblemList::count(leftOut)).arg(restored).arg(stoppedBy));
    if (toActivate)
        workspace->setActiveSubWindow(toActivate);
    updateMenus();
    // The docks as they were, once the windows that fill them are open.
    if (!session.mainState.isEmpty() && restoreState(session.mainState) && mapPanels)
        mapPanels->docksPlaced();
    if (AxesPanel *axes = mapPanels ? mapPanels->axes : nullptr) {
        if (session.axesTop > 0)
            axes->topCount->setValue(session.axesTop);
        if (session.axesPage >= 0 && session.axesPage < axes->tabs->count())
            axes->tabs->setCurrentIndex(session.axesPage);
        if (activeWindow && axes->groups && toActivate == workspace->currentSubWindow())
            for (int slot = 0; slot < 2; ++slot)
                if (!activeWindow->kept[slot].isEmpty())
                    axes->groups->restoreKept(slot, activeWindow->keptName[slot], activeWindow->kept[slot]);
    }
    if (findBar)
        findBar->setView(activeView());
    updateFileActions();
    return true;
}

void CAMainWindow::saveSession()
{
    QString path = QFileDialog::getSaveFileName(this, tr("Save session"),
                                                lastFolder() + QStringLiteral("/session.ortelis.json"),
                                                tr("Ortelis sessions (*.json);;All files (*)"), nullptr,
                                                QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path = withSuffix(path, QStringLiteral("json"));
    if (!confirmReplace(path))
        return;
    QString error;
    if (!saveSessionTo(path, true, &error)) {
        QMessageBox::critical(this, QStringLiteral("Ortelis"), error, QMessageBox::Ok);
        return;
    }
    int unsaved = 0;
    for (QMdiSubWindow *frame : workspace->subWindowList())
        if (CAMdiChild *child = childOf(frame); child && child->isWindowModified())
            ++unsaved;
    if (unsaved)
        QMessageBox::warning(this, QStringLiteral("Ortelis"),
                             QStringLiteral("The session is saved, but %1 extracted view(s) were never "
                                            "saved: the session names them as missing. Save them "
                                            "with Save analysis as... and save the session again to "
                                            "keep them.").arg(unsaved),
                             QMessageBox::Ok);
    remember(path);
    statusBar()->showMessage(tr("Session saved as %1").arg(path), 5000);
}

void CAMainWindow::openSession()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open session"), lastFolder(),
                                                      tr("Ortelis sessions (*.json);;All files (*)"));
    if (path.isEmpty())
        return;
    remember(path);
    QStringList missing;
    QString error;
    if (!openSessionFrom(path, &missing, &error)) {
        QMessageBox::critical(this, QStringLiteral("Ortelis"), error, QMessageBox::Ok);
        return;
    }
    if (!missing.isEmpty())
        ProblemList::warn(this, QStringLiteral("Some windows of the session could not be restored:"),
                          missing);
}

void CAMainWindow::closeEvent(QCloseEvent *event)
{
    for (QMdiSubWindow *frame : workspace->subWindowList()) {
        CAMdiChild *child = childOf(frame);
        if (child && !child->maybeSave()) {
            event->ignore();
            return;
        }
    }
    saveWindowPlace();
    event->accept();
}
