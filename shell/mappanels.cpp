#include "shell/mappanels.h"

#include "data/model/cadata.h"
#include "data/formats/wordatlas.h"
#include "data/model/wordatlasbuilder.h"
#include "data/statistics/inertiashares.h"
#include "map/caview.h"
#include "shell/axespanel.h"
#include "shell/camainwindow.h"
#include "shell/categorylegend.h"
#include "shell/grouppanel.h"
#include "shell/screepanel.h"
#include "shell/wordimageswindow.h"
#include "shell/wordtooltip.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>

MapPanels::MapPanels(CAMainWindow *window) : QObject(window), m_window(window)
{
    fitAct = new QAction(tr("&Fit all"), this);
    fitAct->setShortcut(tr("Ctrl+0"));
    fitAct->setStatusTip(tr("Show the bulk of the images, as large as the map allows; "
                            "markers at the edge count the points off the map"));
    connect(fitAct, &QAction::triggered, this, &MapPanels::fitAll);
    fitAllPointsAct = new QAction(tr("Fit all &points"), this);
    fitAllPointsAct->setShortcut(tr("Shift+Ctrl+0"));
    fitAllPointsAct->setStatusTip(tr("Show every drawn point, as large as the map allows"));
    connect(fitAllPointsAct, &QAction::triggered, this, [this] {
        if (m_view && m_view->data)
            m_view->fitAllPoints();
    });

    colourAct = new QAction(tr("Colour images by &category"), this);
    colourAct->setCheckable(true);
    colourAct->setChecked(true);
    colourAct->setStatusTip(tr("Colour image points by category, or all in the single red"));
    connect(colourAct, &QAction::toggled, this, &MapPanels::setColours);

    legend = new CategoryLegend;
    legend->addSwitch(colourAct);
    legendDock = new QDockWidget(tr("Categories"), window);
    legendDock->setObjectName(QStringLiteral("categoriesDock"));
    legendDock->setWidget(legend);
    window->addDockWidget(Qt::RightDockWidgetArea, legendDock);

    scree = new ScreePanel;
    screeDock = new QDockWidget(tr("Scree plot"), window);
    screeDock->setObjectName(QStringLiteral("screeDock"));
    screeDock->setWidget(scree);
    window->addDockWidget(Qt::RightDockWidgetArea, screeDock);
    connect(scree, &ScreePanel::axesPicked, this, &MapPanels::pickAxes);
    // Both open, one above the other, with the first map (refresh()); both
    // are in the View menu.
    legendDock->hide();
    screeDock->hide();

    window->viewMenu->addSeparator();
    window->viewMenu->addAction(fitAct);
    window->viewMenu->addAction(fitAllPointsAct);
    window->viewMenu->addAction(colourAct);
    window->viewMenu->addAction(legendDock->toggleViewAction());
    window->viewMenu->addAction(screeDock->toggleViewAction());

    axes = new AxesPanel;
    axesDock = new QDockWidget(tr("Axes"), window);
    axesDock->setObjectName(QStringLiteral("axesDock"));
    axesDock->setWidget(axes);
    window->addDockWidget(Qt::RightDockWidgetArea, axesDock);
    axesDock->hide();
    window->viewMenu->addAction(axesDock->toggleViewAction());
    // Its tables want room: the first time it opens under the legend and
    // the scree plot, it takes most of the column, leaving them enough to
    // stay readable.
    connect(axesDock, &QDockWidget::visibilityChanged, this, [this, window](bool visible) {
        if (!visible || m_axesSized)
            return;
        m_axesSized = true;
        if (axesDock->isFloating())
            return;
        QList<QDockWidget *> column;
        QList<int> shares;
        for (QDockWidget *dock : {legendDock, screeDock})
            if (dock->isVisible() && !dock->isFloating()
                && window->dockWidgetArea(dock) == window->dockWidgetArea(axesDock)) {
                column.append(dock);
                shares.append(dock == legendDock ? 2 : 3);
            }
        if (column.isEmpty())
            return;
        column.append(axesDock);
        shares.append(7);
        // Once the new dock is laid out: before, the column does not hold it.
        QTimer::singleShot(0, window, [window, column, shares] {
            window->resizeDocks(column, shares, Qt::Vertical);
        });
    });
    connect(legend, &CategoryLegend::describeRequested, this, &MapPanels::describeCategory);
    connect(axes, &AxesPanel::wordImagesRequested, this, &MapPanels::openWordImages);
    wordTips = new WordToolTip(&axes->atlases, this);

    buildAtlasAct = new QAction(tr("Build word &atlas..."), this);
    buildAtlasAct->setStatusTip(tr("Make the pictures of the words from the keypoint files and the images"));
    connect(buildAtlasAct, &QAction::triggered, this, &MapPanels::buildAtlas);
    // Beside the other commands that write files, above Exit.
    const QList<QAction *> fileEntries = window->fileMenu->actions();
    window->fileMenu->insertAction(fileEntries.contains(window->exitAct) ? window->exitAct : nullptr, buildAtlasAct);

    // Fit all beside the zoom buttons.
    const QList<QAction *> tools = window->editToolBar->actions();
    const int zoomOut = int(tools.indexOf(window->zoomOutAct));
    window->editToolBar->insertAction(zoomOut >= 0 && zoomOut + 1 < tools.size() ? tools.at(zoomOut + 1)
                                                                                 : nullptr,
                                      fitAct);

    // Each value with its unit, and what it is of in the tooltips.
    radiusValue = valueLabel(window->radiusSlider, tr("%1 px"));
    thresholdValue = valueLabel(window->thresholdSlider, tr("%1 \u00d7"));
    cellSizeValue = valueLabel(window->cellSizeSlider, tr("%1 px"));
    window->radiusSlider->setToolTip(
        tr("Radius, in pixels of the map: the images within it of the cursor fill the panes "
           "(with the other neighbour structure, the number of most similar images shown)"));
    window->thresholdSlider->setToolTip(
        tr("Threshold, in times the mean contribution: a point is drawn when its contribution "
           "to one of the two axes shown reaches it (0 draws every point)"));
    window->cellSizeSlider->setToolTip(
        tr("Cell size, in pixels of the map: images closer together than this share one square "
           "in the image pane"));
    for (QSlider *slider : {window->radiusSlider, window->thresholdSlider, window->cellSizeSlider})
        if (QLabel *label = valueLabelOf(slider))
            label->setToolTip(slider->toolTip());

    shownLabel = new QLabel;
    window->statusBar()->addPermanentWidget(shownLabel);

    // After the main window's own handlers (connected earlier): new axes or
    // a new projection are shown whole.
    connect(window->refreshAct, &QAction::triggered, this, &MapPanels::fitIfLayoutChanged);
    connect(window->projectionGroup, &QActionGroup::triggered, this, &MapPanels::fitIfLayoutChanged);

    setView(nullptr);
}

QLabel *MapPanels::valueLabelOf(QSlider *slider) const
{
    return slider == m_window->radiusSlider      ? radiusValue
           : slider == m_window->thresholdSlider ? thresholdValue
           : slider == m_window->cellSizeSlider  ? cellSizeValue
                                                 : nullptr;
}

QLabel *MapPanels::valueLabel(QSlider *slider, const QString &format)
{
    // Right after the slider in the tool bar.
    QToolBar *bar = m_window->editToolBar;
    const QList<QAction *> actions = bar->actions();
    QAction *before = nullptr;
    for (int i = 0; i < actions.size(); ++i)
        if (bar->widgetForAction(actions.at(i)) == slider && i + 1 < actions.size())
            before = actions.at(i + 1);
    auto *label = new QLabel(format.arg(slider->value()));
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(format.arg(QStringLiteral("000"))) + 6);
    label->setAlignment(Qt::AlignCenter);
    bar->insertWidget(before, label);
    connect(slider, &QSlider::valueChanged, label,
            [label, format](int value) { label->setText(format.arg(value)); });
    return label;
}

QString MapPanels::shownText(const CAView *view)
{
    if (!view || !view->data)
        return QString();
    return tr("Images shown: %1 of %2 \u00B7 Words shown: %3 of %4")
        .arg(view->shownImages())
        .arg(view->data->nbImages)
        .arg(view->shownWords())
        .arg(view->data->nbWords);
}

void MapPanels::setView(CAView *view)
{
    if (view != m_view || !m_layer) {
        QObject::disconnect(m_layer);
        QObject::disconnect(m_wordMenu);
        m_layer = {};
        m_wordMenu = {};
        m_view = view;
        if (view) {
            view->installEventFilter(this);
            m_layer = connect(view, &CAView::layerChanged, this, &MapPanels::refresh);
            m_wordMenu = connect(view, &CAView::wordMenuRequested, this, &MapPanels::showWordMenu);
        }
    }
    refresh();
}

void MapPanels::refresh()
{
    CAView *view = (m_view && m_view->data) ? m_view.data() : nullptr;
    fitAct->setEnabled(view);
    buildAtlasAct->setEnabled(view && view->data->labels && view->data->descriptors);
    fitAllPointsAct->setEnabled(view);
    colourAct->setEnabled(view && !view->categoryList().isEmpty());
    shownLabel->setText(shownText(view));
    legend->setView(view);
    axes->setView(view);
    wordTips->setView(view);
    if (!view) {
        scree->setShares({}, 0, 0, 1);
        return;
    }
    {
        const QSignalBlocker block(colourAct);
        colourAct->setChecked(view->categoryColoursOn());
    }
    // Once, for the first map, the scree plot, and for the first map with
    // categories (a single named one is enough: an extract of one category
    // still has its name and colour), the legend above it in the otherwise
    // empty column;
    // after that the docks are where the user leaves them.
    const QVector<int> &categories = view->categoryList();
    if (!m_legendOffered
        && (categories.size() > 1
            || (categories.size() == 1 && view->data->categoryNames.contains(categories.first())))) {
        m_legendOffered = true;
        legendDock->show();
    }
    if (!m_screeOffered) {
        m_screeOffered = true;
        screeDock->show();
    }
    QVector<double> shares;
    for (int a = 0; a < view->data->nbLambda; ++a)
        shares << view->axisShare(a);
    scree->setShares(shares, view->data->nbAxis, view->axis1, view->axis2,
                     InertiaShares::basis(*view->data));
}

bool MapPanels::eventFilter(QObject *watched, QEvent *event)
{
    auto *view = qobject_cast<CAView *>(watched);
    if (!view || view != m_view || !view->data)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::Enter) {
        QWidget *typing = QApplication::focusWidget();
        const bool editing = qobject_cast<QLineEdit *>(typing) || qobject_cast<QAbstractSpinBox *>(typing)
                             || qobject_cast<QTextEdit *>(typing);
        if (!editing && view->isActiveWindow())
            view->setFocus(Qt::MouseFocusReason);
    } else if (event->type() == QEvent::KeyPress
               && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Menu) {
        int word = !view->focusOnImage ? view->focusWord : -1;
        if ((word < 0 || word >= view->data->nbWords) && view->showWordPoint)
            word = view->wordAt(QPoint(view->cursorX, view->cursorY));
        if (word >= 0 && word < view->data->nbWords) {
            showWordMenu(word, view->mapToGlobal(view->wordPosition(word)));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void MapPanels::showWordMenu(int word, const QPoint &globalPos)
{
    if (!m_view || !m_view->data || word < 0 || word >= m_view->data->nbWords)
        return;
    QMenu menu(m_window);
    QAction *title = menu.addAction(tr("Word #%1").arg(m_view->data->wordLabel(word)));
    title->setEnabled(false);
    menu.addSeparator();
    QAction *images = menu.addAction(tr("Images with this word"));
    images->setStatusTip(tr("The images richest in this word, with its keypoints drawn"));
    connect(images, &QAction::triggered, this, [this, word] { openWordImages(word); });
    menu.exec(globalPos);
}

WordImagesWindow *MapPanels::openWordImages(int word)
{
    if (!m_view || !m_view->data || word < 0 || word >= m_view->data->nbWords)
        return nullptr;
    auto *window = new WordImagesWindow(m_view, word, &axes->tables(), m_window);
    if (const WordAtlas *atlas = axes->atlases.atlas(m_view->data)) {
        const QImage mosaic = atlas->mosaic(m_view->data->wordLabel(word));
        if (!mosaic.isNull()) {
            window->exemplar->setPixmap(QPixmap::fromImage(mosaic));
            window->exemplar->setToolTip(tr("Exemplar patches of the word, from the word atlas"));
            window->exemplar->show();
        }
    }
    window->show();
    lastWordImages = window;
    return window;
}

void MapPanels::fitAll()
{
    if (m_view && m_view->data)
        m_view->fitAll();
}

void MapPanels::fitIfLayoutChanged()
{
    // Only a map that showed its fit gets one for the new axes or
    // projection: a scale the user chose by hand is kept.
    if (m_view && m_view->data && m_view->keepsFit())
        m_view->fitIfLayoutChanged();
}

void MapPanels::setColours(bool on)
{
    if (m_view && m_view->data)
        m_view->setCategoryColours(on);
}

void MapPanels::pickAxes(int x, int y)
{
    if (!m_view || !m_view->data)
        return;
    m_window->xAxisEdit->setText(QString::number(x + 1));
    m_window->yAxisEdit->setText(QString::number(y + 1));
    // Through the tool bar's own command, so the axes are checked and the
    // map fitted exactly as when typed.
    m_window->refreshAct->trigger();
}

void MapPanels::describeCategory(int category)
{
    axesDock->show();
    axesDock->raise();
    axes->tabs->setCurrentWidget(axes->groups);
    axes->groups->describeCategory(category);
}

void MapPanels::buildAtlas()
{
    if (!m_view || !m_view->data)
        return;
    CAData *data = m_view->data;
    const QString path = AtlasStore::pathFor(*data);
    if (QFileInfo::exists(path)
        && QMessageBox::question(m_window, QStringLiteral("Ortelis"),
                                 QStringLiteral("Replace the word atlas %1?").arg(path))
               != QMessageBox::Yes)
        return;
    QProgressDialog progress(tr("Building the word atlas..."), tr("Cancel"), 0, 100, m_window);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    WordAtlasBuilder builder;
    builder.progress = [&progress](int done, int total) {
        progress.setMaximum(total);
        progress.setValue(done);
        return !progress.wasCanceled();
    };
    QMap<int, QImage> mosaics;
    QString error;
    if (!builder.build(*data, mosaics, &error)) {
        if (!progress.wasCanceled())
            QMessageBox::critical(m_window, QStringLiteral("Ortelis"),
                                  QStringLiteral("Cannot build the word atlas: %1").arg(error));
        return;
    }
    progress.setValue(progress.maximum());
    if (!WordAtlas::write(path, mosaics, &error)) {
        QMessageBox::critical(m_window, QStringLiteral("Ortelis"), error);
        return;
    }
    m_window->statusBar()->showMessage(
        tr("Word atlas of %1 words written to %2").arg(mosaics.size()).arg(QDir::toNativeSeparators(path)), 8000);
    axes->reload();
}
