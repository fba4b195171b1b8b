#include "shell/camainwindow.h"

#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/formats/folderowner.h"
#include "document/camdichild.h"
#include "document/errorbox.h"
#include "map/caview.h"
#include "map/tools/measuretool.h"
#include "shell/recentfiles.h"
#include "shell/titletips.h"
#include "shell/mappanels.h"
#include "shell/findbar.h"
#include "shell/clusterspanel.h"
#include "shell/groupspanel.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIntValidator>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QSlider>
#include <QStatusBar>

CAMainWindow::CAMainWindow(const char *fileName) : QMainWindow(nullptr)
{
    workspace = new QMdiArea(this);
    setCentralWidget(workspace);
    titleTips = new TitleTips(this);
    connect(workspace, &QMdiArea::subWindowActivated, this, &CAMainWindow::updateMenus);

    createActions();
    createMenus();
    createToolBars();
    createFileActions();
    createImageActions();
    createWindowCommands();
    mapPanels = new MapPanels(this);
    findBar = new FindBar(this);
    groupsPanel = new GroupsPanel(this);
    new ClustersPanel(this);
    statusBar()->showMessage(tr("Ready"));

    connect(radiusSlider, &QSlider::valueChanged, this, &CAMainWindow::changeRadius);
    connect(thresholdSlider, &QSlider::valueChanged, this, &CAMainWindow::changeThreshold);
    connect(cellSizeSlider, &QSlider::valueChanged, this, &CAMainWindow::changeCellSize);

    updateMenus();
    // The extracted views of a viewer that was killed or crashed stay in the
    // temporary folder; those of viewers still running are theirs.
    for (const QString &gone : FolderOwner::removeAbandoned(QDir::tempPath(), {QStringLiteral("ortelis-*")}))
        Console::out(QStringLiteral("Removed '%1', left by a viewer that has ended.").arg(gone));
    // Sized before the first project opens, so its window fits the
    // workspace it gets.
    placeWindow();
    if (fileName)
        open(QFile::decodeName(fileName));
    setWindowIcon(QIcon(QStringLiteral(":/images/ca_icon.png")));
}

CAMainWindow::~CAMainWindow()
{
    // Written before the base class destroys the workspace and the document
    // windows still in it.
    Console::out(QStringLiteral("detruct .."));
    // The base class's destructor hides the workspace, which then reports
    // that no window is active; this object's part is gone by then, so its
    // slots must no longer be called.
    disconnect(workspace, nullptr, this, nullptr);
}

CAMdiChild *CAMainWindow::activeMdiChild() const
{
    // The current window is the active one while the application is active,
    // and stays known while another application has the focus.
    if (QMdiSubWindow *sub = workspace->currentSubWindow())
        return qobject_cast<CAMdiChild *>(sub->widget());
    return nullptr;
}

CAView *CAMainWindow::activeView() const
{
    CAMdiChild *w = activeMdiChild();
    return w ? w->caView : nullptr;
}

void CAMainWindow::open()
{
    const QString fileName = QFileDialog::getOpenFileName(
        this, tr("Choose a file XML to view"), recentFiles->lastFolder(),
        tr("XML files (*.xml);;All files (*)"));
    if (!fileName.isEmpty())
        open(fileName);
}

CAMdiChild *CAMainWindow::addChild()
{
    auto *child = new CAMdiChild;
    QMdiSubWindow *frame = workspace->addSubWindow(child);
    fitInWorkspace(frame);
    return child;
}

void CAMainWindow::finishChild(CAMdiChild *child, bool filled)
{
    QWidget *frame = child->parentWidget();
    if (!filled) {
        // The document window deletes itself and its data model on close;
        // its frame goes with it.
        if (frame)
            frame->setAttribute(Qt::WA_DeleteOnClose);
        child->close();
        if (frame)
            frame->close();
        return;
    }
    child->show();
    connect(child, &CAMdiChild::createChildView, this, &CAMainWindow::createChildView);
    connect(child->caView, &CAView::modeChanged, this, &CAMainWindow::showLockState);
}

bool CAMainWindow::open(const QString &fileName)
{
    if (fileName.isEmpty())
        return false;
    QMdiSubWindow *inUse = workspace->currentSubWindow();
    CAMdiChild *child = addChild();
    const bool loaded = child->loadFile(fileName);
    finishChild(child, loaded);
    if (loaded) {
        recentFiles->add(fileName);
        updateMenus();
        updateFileActions();
        reportMissingImages(child);
    } else {
        // The window the user was working in comes back, not the first one.
        if (!QFileInfo::exists(fileName))
            recentFiles->remove(fileName);
        if (inUse && workspace->subWindowList().contains(inUse))
            workspace->setActiveSubWindow(inUse);
    }
    return loaded;
}

void CAMainWindow::createChildView(CAData *data, CAMdiChild *parent_view)
{
    CAMdiChild *child = addChild();
    const bool filled = child->setData(data);
    // The parent may have closed while the extraction ran: it is looked for
    // among the open windows before it is asked anything.
    CAMdiChild *from = nullptr;
    for (QMdiSubWindow *frame : workspace->subWindowList())
        if (frame->widget() == parent_view)
            from = parent_view;
    if (filled && from) {
        // The parent as its title names it, without the program's name.
        QString parent = from->windowTitle();
        parent.remove(QLatin1String("[*]"));
        parent.remove(tr(" - %1").arg(tr("Ortelis")));
        child->origin = tr("from %1: %2 images \u00d7 %3 words")
                            .arg(parent)
                            .arg(child->data->nbImages)
                            .arg(child->data->nbWords);
    }
    if (filled && data->setAsideImages > 0) {
        // Named after its parent and what it leaves out; the map shows the
        // images taken as supplementary points.
        QString parent = from ? from->windowTitle() : child->windowTitle();
        parent.remove(QLatin1String("[*]"));
        parent.remove(tr(" - %1").arg(tr("Ortelis")));
        child->setWindowTitle(tr("%1 without %2 images[*] - %3")
                                  .arg(parent)
                                  .arg(data->setAsideImages)
                                  .arg(tr("Ortelis")));
        child->origin = data->setAsideSummary;
        statusBar()->showMessage(data->setAsideSummary, 15000);
    }
    finishChild(child, filled);
    if (filled && !child->origin.isEmpty())
        if (QWidget *frame = child->parentWidget())
            titleTips->watch(frame, child->origin);
}

void CAMainWindow::updateMenus()
{
    CAMdiChild *w = activeMdiChild();
    const bool usable = w && w->data && w->caView;
    QWidget *widgets[] = {radiusSlider, thresholdSlider, cellSizeSlider, xAxisEdit, yAxisEdit};
    for (QWidget *widget : widgets)
        widget->setEnabled(usable);
    QAction *actions[] = {zoomInAct, zoomOutAct, showImageAct, showInfoAct, showLensAct,
                          showWordPointAct, showImagePointAct, refreshAct, neighbourAct};
    for (QAction *action : actions)
        action->setEnabled(usable);
    modeGroup->setEnabled(usable);
    projectionGroup->setEnabled(usable);
    if (mapPanels)
        mapPanels->setView(usable ? w->caView : nullptr);
    if (findBar)
        findBar->setView(usable ? w->caView : nullptr);
    if (groupsPanel)
        groupsPanel->setView(usable ? w->caView : nullptr);
    if (!usable)
        return;

    CAView *v = w->caView;
    axisValidator->setRange(1, w->data->nbAxis);
    xAxisEdit->setText(QString::number(v->axis1 + 1));
    yAxisEdit->setText(QString::number(v->axis2 + 1));
    xAxisEdit->setValidator(axisValidator);
    yAxisEdit->setValidator(axisValidator);

    radiusSlider->setValue(v->radius);
    thresholdSlider->setValue(v->imageThreshold);
    cellSizeSlider->setValue(v->cellSize);

    showImageAct->setChecked(v->showImage);
    showInfoAct->setChecked(v->showInfo);
    showImagePointAct->setChecked(v->showImagePoint);
    showWordPointAct->setChecked(v->showWordPoint);
    neighbourAct->setChecked(v->circleNeighbour);
    showLensAct->setChecked(v->showLens);
    handModeAct->setChecked(v->mode & CAView::ModeHand);
    selectionModeAct->setChecked(v->mode & CAView::ModeSelection);
    normalModeAct->setChecked(v->mode & CAView::ModeNormal);
    measureAct->setChecked(qobject_cast<MeasureTool *>(v->mapTool()) != nullptr);
    normalProjectionAct->setChecked(v->projectionMode == 0);
    rowsBarycenterAct->setChecked(v->projectionMode == 2);
    columnsBarycenterAct->setChecked(v->projectionMode == 1);

    documentTitle = w->windowTitle();
    setWindowTitle(documentTitle);
    showLockState();
}

void CAMainWindow::refresh()
{
    QString x = xAxisEdit->text();
    QString y = yAxisEdit->text();
    int pos = 0;
    if (axisValidator->validate(x, pos) == QValidator::Acceptable
        && axisValidator->validate(y, pos) == QValidator::Acceptable) {
        const int a = x.toInt(nullptr, 10);
        const int b = y.toInt(nullptr, 10);
        CAMdiChild *w = activeMdiChild();
        if (w && w->data && w->caView) {
            // A map showing its fit is fitted to the new axes; a scale the
            // user chose by hand is kept.
            const bool fitted = w->caView->keepsFit();
            w->caView->changeAxis(a - 1, b - 1, 0);
            if (fitted)
                w->caView->fitIfLayoutChanged();
            Console::out(QStringLiteral("Axis changed !"));
        }
        return;
    }
    // The box names the numbers that would be accepted.
    ErrorBox::critical(this, QStringLiteral("Error"),
                       QStringLiteral("Axis are not aceptable. Please modify them !"),
                       Console::errorMark(),
                       tr("Each axis is a number from %1 to %2.")
                           .arg(axisValidator->bottom())
                           .arg(axisValidator->top()));
}

void CAMainWindow::about()
{
    QMessageBox::about(this, tr("About Ortelis"),
                       tr("<p><b>Ortelis</b> shows the Correspondence Analysis of an image "
                          "collection described by visual words: images and words on two "
                          "factorial axes, their neighbourhoods, keypoints and contributions, "
                          "and the re-analysis of any selection.</p>"
                          "<p>Written by the Ortelis developers.</p>"));
}

// Each command below acts on the map of the active document window only.

void CAMainWindow::changeThreshold(int thres)
{
    if (CAView *v = activeView())
        v->changeThreshold(thres);
}

void CAMainWindow::changeCellSize(int size)
{
    if (CAView *v = activeView())
        v->changeCellSize(size);
}

void CAMainWindow::changeRadius(int value)
{
    if (CAView *v = activeView())
        v->changeRadius(value);
}

void CAMainWindow::showHideLens(bool show)
{
    if (CAView *v = activeView())
        v->showHideLens(show);
}

void CAMainWindow::showHideImage(bool show)
{
    if (CAView *v = activeView())
        v->showHideImage(show);
}

void CAMainWindow::showHideInformation(bool show)
{
    if (CAView *v = activeView())
        v->showHideInformation(show);
}

void CAMainWindow::showHideWordPoint(bool show)
{
    if (CAView *v = activeView())
        v->showHideWordPoint(show);
}

void CAMainWindow::showHideImagePoint(bool show)
{
    if (CAView *v = activeView())
        v->showHideImagePoint(show);
}

void CAMainWindow::changeNeigbbourStructure(bool circleNeighbour)
{
    if (CAView *v = activeView())
        v->changeNeigbbourStructure(circleNeighbour);
}

void CAMainWindow::zoomIn()
{
    if (CAView *v = activeView())
        v->zoomIn();
}

void CAMainWindow::zoomOut()
{
    if (CAView *v = activeView())
        v->zoomOut();
}

void CAMainWindow::setMode(QAction *action)
{
    CAView *v = activeView();
    if (!v)
        return;
    if (action == measureAct) {
        // One measuring tool per map, made at its first use; its result
        // also goes to the status bar.
        MeasureTool *tool = v->findChild<MeasureTool *>();
        if (!tool) {
            tool = new MeasureTool(v);
            connect(tool, &MeasureTool::measured, this,
                    [this](double, const QString &text) { statusBar()->showMessage(text); });
        }
        v->setMapTool(tool);
        return;
    }
    // The lock bits survive a trip through hand or selection mode.
    int mode = v->mode;
    const int kinds = CAView::ModeNormal | CAView::ModeHand | CAView::ModeSelection;
    if (action == normalModeAct)
        mode = (mode & ~kinds) | CAView::ModeNormal;
    else if (action == handModeAct)
        mode = (mode & ~kinds) | CAView::ModeHand;
    else if (action == selectionModeAct)
        mode = (mode & ~kinds) | CAView::ModeSelection;
    v->setMode(mode);
}

void CAMainWindow::setProjectionMode(QAction *action)
{
    CAView *v = activeView();
    if (!v)
        return;
    int projection = v->projectionMode;
    if (action == normalProjectionAct)
        projection = 0;
    else if (action == columnsBarycenterAct)
        projection = 1;
    else if (action == rowsBarycenterAct)
        projection = 2;
    v->setProjectionMode(projection);
}
