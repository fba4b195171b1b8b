#include "shell/camainwindow.h"

#include "document/camdichild.h"

#include <QAction>
#include <QActionGroup>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSlider>
#include <QToolBar>

namespace {

QAction *makeAction(QObject *parent, const QString &text, const char *icon,
                    const QString &tip, bool checkable = false, bool checked = false)
{
    auto *action = icon ? new QAction(QIcon(QString::fromLatin1(icon)), text, parent)
                        : new QAction(text, parent);
    action->setStatusTip(tip);
    if (checkable) {
        action->setCheckable(true);
        action->setChecked(checked);
    }
    return action;
}

QSlider *makeSlider(int minimum, int maximum, int step, int tickInterval)
{
    auto *slider = new QSlider(Qt::Horizontal);
    slider->setTickPosition(QSlider::TicksBothSides);
    if (tickInterval > 0)
        slider->setTickInterval(tickInterval);
    slider->setRange(minimum, maximum);
    slider->setSingleStep(step);
    return slider;
}

} // namespace

void CAMainWindow::createActions()
{
    // Checkable actions get their initial state before any connection, so
    // building them sends nothing to a map.
    openAct = makeAction(this, tr("&Open..."), ":/images/open.png", tr("Open an existing file"));
    openAct->setShortcut(tr("Ctrl+O"));
    connect(openAct, &QAction::triggered, this, qOverload<>(&CAMainWindow::open));

    exitAct = makeAction(this, tr("E&xit"), nullptr, tr("Exit the application"));
    exitAct->setShortcut(tr("Ctrl+Q"));
    connect(exitAct, &QAction::triggered, this, &QWidget::close);

    showImageAct = makeAction(this, tr("&Show/Hide metakeys"), ":/images/eyes.png",
                              tr("Show or hide the image under cursor with metakeys"), true, false);
    showLensAct = makeAction(this, tr("&Show/Hide magic lens"), ":/images/dragon.png",
                             tr("Show or hide the magic lens"), true, false);
    showWordPointAct = makeAction(this, tr("&Show/Hide word points"), ":/images/show_word.png",
                                  tr("Show or hide word points"), true, true);
    showImagePointAct = makeAction(this, tr("&Show/Hide image points"), ":/images/show_image.png",
                                   tr("Show or hide image points"), true, true);
    showInfoAct = makeAction(this, tr("&Show/Hide Information"), ":/images/show_info.png",
                             tr("Show or hide the infomation of selected image/word"), true, false);
    neighbourAct = makeAction(this, tr("&Change neighbour structure"), ":/images/find.png",
                              tr("Change neighbour structure"), true, true);

    normalModeAct = makeAction(this, tr("&Normal mode"), ":/images/arrow.png",
                               tr("Normal mode"), true, true);
    handModeAct = makeAction(this, tr("&Hand mode"), ":/images/hand.png",
                             tr("Drag to move the canvas"), true, false);
    selectionModeAct = makeAction(this, tr("&selection mode"), ":/images/select.png",
                                  tr("Selection mode"), true, false);
    modeGroup = new QActionGroup(this);
    modeGroup->addAction(normalModeAct);
    modeGroup->addAction(handModeAct);
    modeGroup->addAction(selectionModeAct);
    measureAct = makeAction(this, tr("&Measure distance"), nullptr,
                            tr("Click two points to measure the distance between them, in map "
                               "units of the two axes shown"),
                            true, false);
    modeGroup->addAction(measureAct);
    connect(modeGroup, &QActionGroup::triggered, this, &CAMainWindow::setMode);
    // Acts on the last outline of the active map.
    setAsideAct = makeAction(this, tr("Make selected images &supplementary"), nullptr,
                             tr("Analyse again without the images of the last outline (or of "
                                "the next one, with none drawn), placing them as supplementary "
                                "images, in a new window"));
    connect(setAsideAct, &QAction::triggered, this, [this] {
        // With no outline yet, the next one is for this, not an extraction.
        if (CAMdiChild *child = activeMdiChild(); child && child->setAsideNextOutline())
            selectionModeAct->trigger();
    });

    normalProjectionAct = makeAction(this, tr("&Normal projection mode"), nullptr,
                                     tr("Normal projection mode"), true, true);
    rowsBarycenterAct = makeAction(this, tr("&Rows as barycenters"), nullptr,
                                   tr("Rows as barycenters"), true, false);
    columnsBarycenterAct = makeAction(this, tr("&Columns as barycenters"), nullptr,
                                      tr("Columns as barycenters"), true, false);
    projectionGroup = new QActionGroup(this);
    projectionGroup->addAction(normalProjectionAct);
    projectionGroup->addAction(rowsBarycenterAct);
    projectionGroup->addAction(columnsBarycenterAct);
    connect(projectionGroup, &QActionGroup::triggered, this, &CAMainWindow::setProjectionMode);

    aboutAct = makeAction(this, tr("&About"), nullptr, tr("Show the application's About box"));
    connect(aboutAct, &QAction::triggered, this, &CAMainWindow::about);

    zoomOutAct = makeAction(this, tr("Zoom &out"), ":/images/zoom_out.png", tr("Zoom out the view"));
    zoomInAct = makeAction(this, tr("Zoom &in"), ":/images/zoom_in.png", tr("Zoom in the view"));
    refreshAct = makeAction(this, tr("Refresh"), ":/images/refresh.png", tr("Redraw after changing axis"));

    connect(refreshAct, &QAction::triggered, this, &CAMainWindow::refresh);
    connect(showImageAct, &QAction::toggled, this, &CAMainWindow::showHideImage);
    connect(showLensAct, &QAction::toggled, this, &CAMainWindow::showHideLens);
    connect(showWordPointAct, &QAction::toggled, this, &CAMainWindow::showHideWordPoint);
    connect(showImagePointAct, &QAction::toggled, this, &CAMainWindow::showHideImagePoint);
    connect(showInfoAct, &QAction::toggled, this, &CAMainWindow::showHideInformation);
    connect(zoomOutAct, &QAction::triggered, this, &CAMainWindow::zoomOut);
    connect(zoomInAct, &QAction::triggered, this, &CAMainWindow::zoomIn);
    connect(neighbourAct, &QAction::toggled, this, &CAMainWindow::changeNeigbbourStructure);
}

void CAMainWindow::createMenus()
{
    fileMenu = menuBar()->addMenu(tr("&File"));
    fileMenu->addAction(openAct);
    fileMenu->addSeparator();
    fileMenu->addAction(exitAct);

    editMenu = menuBar()->addMenu(tr("&Edit"));
    editMenu->addAction(showImageAct);
    editMenu->addAction(showWordPointAct);
    editMenu->addAction(showInfoAct);
    editMenu->addAction(neighbourAct);
    editMenu->addAction(showLensAct);

    menuBar()->addSeparator();

    viewMenu = menuBar()->addMenu(tr("&View"));
    QMenu *selection = viewMenu->addMenu(tr("&Selection"));
    selection->addAction(normalModeAct);
    selection->addAction(handModeAct);
    selection->addAction(selectionModeAct);
    selection->addAction(measureAct);
    selection->addSeparator();
    selection->addAction(setAsideAct);
    QMenu *projection = viewMenu->addMenu(tr("&Projection"));
    projection->addAction(normalProjectionAct);
    projection->addAction(rowsBarycenterAct);
    projection->addAction(columnsBarycenterAct);

    helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addAction(aboutAct);
}

void CAMainWindow::createToolBars()
{
    fileToolBar = addToolBar(tr("File"));
    fileToolBar->addAction(openAct);

    editToolBar = addToolBar(tr("Edit"));
    editToolBar->addAction(showImageAct);
    editToolBar->addAction(showWordPointAct);
    editToolBar->addAction(showImagePointAct);
    editToolBar->addAction(showInfoAct);
    editToolBar->addAction(neighbourAct);
    editToolBar->addAction(zoomInAct);
    editToolBar->addAction(zoomOutAct);
    editToolBar->addAction(showLensAct);
    editToolBar->addAction(normalModeAct);
    editToolBar->addAction(handModeAct);
    editToolBar->addAction(selectionModeAct);
    editToolBar->addSeparator();

    radiusSlider = makeSlider(1, 200, 2, 10);
    thresholdSlider = makeSlider(0, 6, 1, 0);
    cellSizeSlider = makeSlider(1, 10, 1, 1);
    axisValidator = new QIntValidator(this);
    xAxisEdit = new QLineEdit;
    xAxisEdit->setMaximumWidth(50);
    yAxisEdit = new QLineEdit;
    yAxisEdit->setMaximumWidth(50);

    editToolBar->addWidget(new QLabel(QStringLiteral("Radius: ")));
    editToolBar->addWidget(radiusSlider);
    editToolBar->addSeparator();
    editToolBar->addWidget(new QLabel(QStringLiteral("Threshold: ")));
    editToolBar->addWidget(thresholdSlider);
    editToolBar->addWidget(new QLabel(QStringLiteral("Cell size: ")));
    editToolBar->addWidget(cellSizeSlider);
    editToolBar->addWidget(new QLabel(QStringLiteral("[x axis]: ")));
    editToolBar->addWidget(xAxisEdit);
    editToolBar->addWidget(new QLabel(QStringLiteral("[y axis]: ")));
    editToolBar->addWidget(yAxisEdit);
    editToolBar->addAction(refreshAct);
}
