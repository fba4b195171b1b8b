#ifndef CAMAINWINDOW_H
#define CAMAINWINDOW_H

#include <QMainWindow>

class CAData;
class CAMdiChild;
class CAView;
class FindBar;
class GroupsPanel;
class MapPanels;
class QAction;
class QActionGroup;
class HelpDialog;
class QIntValidator;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class RecentFiles;
class TitleTips;
class WorkspaceFitter;
class QMenu;
class QSlider;
class QToolBar;

// The program's single top-level window: a workspace of document windows and
// the commands that act on the map of the active one. Controls are brought in
// line with the active map whenever the workspace activates another window.
class CAMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit CAMainWindow(const char *fileName = nullptr);
    ~CAMainWindow() override;

    // Opens a project file into a new document window; false when it does
    // not load (the document window has reported why and is closed).
    bool open(const QString &fileName);
    // Open Recent: brings the window already showing the project to the
    // front, or opens it.
    bool openOrActivate(const QString &fileName);
    CAMdiChild *activeMdiChild() const;
    // The map of the active document window, or null.
    CAView *activeView() const;

    QSlider *radiusSlider = nullptr;
    QSlider *thresholdSlider = nullptr;
    QSlider *cellSizeSlider = nullptr;
    QLineEdit *xAxisEdit = nullptr;
    QLineEdit *yAxisEdit = nullptr;
    QIntValidator *axisValidator = nullptr;
    QMdiArea *workspace = nullptr;
    QMenu *fileMenu = nullptr;
    QMenu *editMenu = nullptr;
    QMenu *viewMenu = nullptr;
    QMenu *helpMenu = nullptr;
    QToolBar *fileToolBar = nullptr;
    QToolBar *editToolBar = nullptr;
    QAction *openAct = nullptr;
    QAction *exitAct = nullptr;
    QAction *showImageAct = nullptr;
    QAction *showWordPointAct = nullptr;
    QAction *showImagePointAct = nullptr;
    QAction *showInfoAct = nullptr;
    QAction *showLensAct = nullptr;
    QAction *handModeAct = nullptr;
    QAction *selectionModeAct = nullptr;
    QAction *setAsideAct = nullptr;
    QAction *normalModeAct = nullptr;
    // The measuring tool of the active map, beside the three modes.
    QAction *measureAct = nullptr;
    QActionGroup *modeGroup = nullptr;
    QAction *normalProjectionAct = nullptr;
    QAction *columnsBarycenterAct = nullptr;
    QAction *rowsBarycenterAct = nullptr;
    QActionGroup *projectionGroup = nullptr;
    QAction *neighbourAct = nullptr;
    QAction *aboutAct = nullptr;
    QAction *zoomInAct = nullptr;
    QAction *zoomOutAct = nullptr;
    QAction *refreshAct = nullptr;
    // Fit all, colours, legend, scree plot, counts and slider values.
    MapPanels *mapPanels = nullptr;
    // Find in the tool bar, and the labels' menu.
    FindBar *findBar = nullptr;
    // Named groups: "Keep selection as..." and the Groups list.
    GroupsPanel *groupsPanel = nullptr;

    // Keeping and sharing the work (camainwindow_files.cpp).
    QAction *saveAnalysisAct = nullptr;
    QAction *exportMapAct = nullptr;
    QAction *exportPointsAct = nullptr;
    QAction *exportSelectionAct = nullptr;
    QAction *copyNamesAct = nullptr;
    QAction *saveSessionAct = nullptr;
    QAction *openSessionAct = nullptr;
    // The same commands without their dialogs. Opening a session adds its
    // windows; `missing` receives one line per window it could not restore.
    bool saveSessionTo(const QString &path, bool replace, QString *error);
    bool openSessionFrom(const QString &path, QStringList *missing, QString *error);
    // A session restores at most this many windows, and stops earlier when
    // the memory left would fall below the reserve (or below twice what the
    // largest window so far took): each window holds its analysis and its
    // pixmaps, and a session file may name thousands.
    static int sessionWindowLimit;
    static qint64 sessionMemoryReserve;
    // Images not found where the project says (camainwindow_images.cpp).
    QAction *locateImagesAct = nullptr;
    QAction *paneKeypointsAct = nullptr;
    // Says in the status bar how many images of `child` are not found, and
    // where they were looked for; nothing when all are there.
    void reportMissingImages(CAMdiChild *child);
    // Takes the images of `child` under `from` from `to` instead. False,
    // with the reason, when none of them is there (nothing then changes).
    bool relocateImages(CAMdiChild *child, const QString &from, const QString &to,
                        QString *error = nullptr);
    // Window menu, recent projects, lock state and help
    // (camainwindow_windows.cpp).
    QMenu *windowMenu = nullptr;
    QMenu *recentMenu = nullptr;
    QAction *tileAct = nullptr;
    QAction *cascadeAct = nullptr;
    QAction *nextAct = nullptr;
    QAction *previousAct = nullptr;
    QAction *closeAct = nullptr;
    QAction *closeAllAct = nullptr;
    QAction *gettingStartedAct = nullptr;
    QLabel *lockLabel = nullptr;
    RecentFiles *recentFiles = nullptr;
    HelpDialog *helpDialog = nullptr;

public slots:
    void createChildView(CAData *data, CAMdiChild *parent_view);

protected:
    // Extracted views never saved ask before the program ends.
    void closeEvent(QCloseEvent *event) override;

private slots:
    void open();
    void about();
    void refresh();
    void updateMenus();
    void changeThreshold(int thres);
    void changeCellSize(int size);
    void changeRadius(int value);
    void showHideLens(bool show);
    void showHideImage(bool show);
    void showHideInformation(bool show);
    void showHideWordPoint(bool show);
    void showHideImagePoint(bool show);
    void changeNeigbbourStructure(bool circleNeighbour);
    void zoomIn();
    void zoomOut();
    void setMode(QAction *action);
    void setProjectionMode(QAction *action);
    void saveAnalysisAs();
    void exportMap();
    void exportPoints();
    void exportSelection();
    void copyNames();
    void saveSession();
    void openSession();
    void updateFileActions();
    void updateWindowMenu();
    void updateRecentMenu();
    void showLockState();
    void showGettingStarted();
    void locateImages();

protected:
    void changeEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createWindowCommands();
    // Remembers where the window is, for the next start.
    void saveWindowPlace();
    // First run: about 85 % of the screen's available area, centred; then
    // where the user left it.
    void placeWindow();
    // Sizes and places a new document window inside the workspace.
    void fitInWorkspace(QMdiSubWindow *frame);
    WorkspaceFitter *workspaceFitter = nullptr;
    // Tooltips over the title bars of extracted views.
    TitleTips *titleTips = nullptr;
    // The title copied from the active document window, kept against the
    // workspace's own rewriting of it while a window is maximised.
    QString documentTitle;
    void createActions();
    void createMenus();
    void createToolBars();
    void createFileActions();
    void createImageActions();
    bool confirmReplace(const QString &path);
    void exportPointsOf(bool selectionOnly);
    // Adds a new document window to the workspace; `filled` tells whether
    // loading succeeded: shown and wired on success, closed otherwise.
    CAMdiChild *addChild();
    void finishChild(CAMdiChild *child, bool filled);
};

#endif // CAMAINWINDOW_H
