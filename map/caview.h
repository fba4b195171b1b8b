#ifndef CAVIEW_H
#define CAVIEW_H

#include "map/categoryagreement.h"
#include "map/mapextent.h"
#include "map/mapgeometry.h"
#include "map/mapgroups.h"
#include "map/maplabelling.h"
#include "map/maptransform.h"
#include "map/namedgroup.h"
#include "map/nearestimages.h"
#include "map/pointlayer.h"

#include <QColor>
#include <QList>
#include <QPointer>
#include <QPoint>
#include <QPointF>
#include <QSet>
#include <QVector>
#include <QWidget>

#include <memory>
#include <tuple>
#include <vector>

class CAData;
class HoverTool;
class MapTool;
class PanTool;
class QPainter;
class QPixmap;
class SelectionTool;

// The map of one analysis: images (rows) and visual words (columns) as points
// on two factorial axes. The points are drawn once into `background`; each
// repaint copies it and paints the live overlays (neighbourhood, focus, lens,
// selection, thumbnails, information card).
//
// The implementation is split by concern:
//   caview.cpp            state, coordinates, projection, zoom, cell grid
//   caview_view.cpp       where the map looks: wheel and key zoom, fit, re-centring
//   caview_points.cpp     point layer (canvas, drawn points, half-axis sets), palette
//   caview_categories.cpp category colours, counts and hidden categories
//   caview_index.cpp      point indexes in map units and their pixel queries
//   caview_paint.cpp      repaint and overlays (axis titles included)
//   caview_info.cpp       information card
//   caview_mouse.cpp      modes, cursors, the active tool, and the mouse and keys
//                         handed to it
//   caview_selection.cpp  polygon selection
//   caview_find.cpp       flying to a found point, keyboard focus steps
//   tools/                the mouse tools, each behind MapToolHost: hover
//                         (with its locks and the way back from the panes),
//                         pan, free-hand selection, measuring
//
// The geometry (scale, canvas placement, pan, axes, projection) is declared
// once in MapGeometry; the view's fields of it are that structure's, and
// the transform is built from them.
class CAView : public QWidget, private MapGeometry
{
    Q_OBJECT
    // Reads and restores the whole map state (sessions).
    friend struct MapState;

public:
    enum Mode {
        ModeNormal = 0x01,
        ModeLocked = 0x02,
        ModeImageLocked = 0x04,
        ModeHand = 0x08,
        ModeSelection = 0x10
    };

    CAView(int x1, int x2, int x3, QWidget *parent = nullptr);
    ~CAView() override;

    void setProjectionMode(int mode);
    // Stores the mode word and hands the mouse to the tool of its
    // interaction bit (hover, pan or selection; none without one).
    void setMode(int mode);
    // Picks the widget cursor from the mode word (or the active tool's own
    // cursor, for a tool the mode word has no bit for).
    void setCursor();

    // Hands the mouse, the keys and an overlay to `tool` (a tool made for
    // this view; null: the hover). The mode word becomes the tool's
    // interaction bit with the locks kept, so the mode checks hold.
    void setMapTool(MapTool *tool);
    // The tool the mouse goes to: the one set, unless the mode word was
    // written since and names another (then the tool of its bit).
    MapTool *mapTool() const;

    // The view's geometry (scale, axes, projection, canvas placement) as one
    // value, built from the view's own geometry each time it is asked for.
    MapTransform mapTransform() const;
    // The geometry itself (not QWidget::geometry, the widget's rectangle).
    const MapGeometry &mapGeometry() const { return *this; }
    // Canvas offset in pixels (see MapGeometry); setting it puts the canvas
    // where a session left it.
    QPoint canvasShift() const { return QPoint(shiftX, shiftY); }
    void setCanvasShift(const QPoint &shift);
    // Moves the map by (dx, dy) widget pixels, as a drag does; `settled` at
    // the end of the drag re-renders the canvas around the window if an
    // edge came into view. The map is no longer fitted.
    void panBy(int dx, int dy, bool settled);

    double getZ(int image, int axis) const;
    double getW(int word, int axis) const;
    void transform(double x, double y, int &px, int &py) const;
    // Widget position of an image or a word as drawn on the map.
    // Supplementary image s is image nbImages + s here, as in the panes.
    QPoint imagePosition(int image) const;
    QPoint wordPosition(int word) const;
    // Truncation toward zero that cannot overflow: values beyond the pixel
    // range saturate and NaN lands far off the canvas.
    static int truncate(double v);
    void id2cell(int image, int &cx, int &cy) const;

    // Map point at the canvas centre, pan folded in.
    QPointF canvasCentre() const;
    void setCanvasCentre(const QPointF &centre);
    // Sets the scale keeping the canvas centre where it is on the map.
    void setScale(double newScale);
    // Map coordinates of a widget position (the inverse of the projection,
    // up to the pixel truncation).
    QPointF mapAt(const QPointF &widgetPos) const;

    // Zooms by `factor` keeping the map point under `widgetPos` there.
    void zoomAt(double factor, const QPointF &widgetPos);
    // The largest scale at which the bulk of the images is in view (the
    // points holding 98 % of their mass), with a margin; the drawn points
    // off the window are counted by markers at its edge.
    void fitAll();
    // The largest scale at which every drawn point is in view, with a margin.
    void fitAllPoints();
    // Zooms out just enough to show the points of `box` (map units) beside
    // what is in view now (a click on an edge marker).
    void bringIntoView(const QRectF &box);
    // The boxes the two fits show, in map units of the shown axes.
    QRectF bulkBox() const;
    QRectF everyPointBox() const;
    // The edge markers of the last paint, for their clicks.
    const std::vector<MapExtent::Marker> &edgeMarkers() const { return markers; }
    // The marker whose box holds a widget position, or -1.
    int markerAt(const QPoint &pos) const;
    // Fits at the next paint, when the widget has its final size; the fit
    // then follows resizes until the user zooms or pans.
    void requestFit();
    // Fits again when the axes or the projection changed since the last fit.
    void fitIfLayoutChanged();
    // Whether the map shows the last fit (made, and not zoomed or panned since).
    bool isFitted() const { return fitted && !fitPending; }
    // Whether the map shows its fit or makes it again at the next paint (a
    // resize): the user has not zoomed or panned since.
    bool keepsFit() const { return fitted; }

    // Images coloured by category instead of the single red cross.
    void setCategoryColours(bool on);
    bool categoryColoursOn() const { return categoryColours; }
    void setCategoryHidden(int category, bool hidden);
    void setHiddenCategories(const QSet<int> &hidden);
    QSet<int> hiddenCategorySet() const { return hiddenCategories; }
    void setAxisTitles(bool on);
    // Distinct category numbers of the image list, ascending, with the
    // number of images of each; empty without an image list.
    const QVector<int> &categoryList() const { return categories; }
    const QVector<int> &categoryCountList() const { return categoryCounts; }
    // The colour image i is drawn in.
    QColor imageColour(int image) const;
    // Colour of the k-th category of categoryList(): the same for a
    // category in every map of the collection, extracted ones included.
    QColor categoryColourAt(int k) const;
    // The palette's k-th colour.
    static QColor categoryColour(int k);
    // How well the images of the k-th category of categoryList() keep
    // together on the two axes drawn: of each one's ten nearest images as
    // drawn, the share in the same category (see CategoryAgreement). The
    // nearest-image index is built at the first question for a pair of
    // axes and kept until they change.
    CategoryAgreement::Share categoryAgreement(int k) const;
    // Share of axis a in the sum of the eigenvalues, in [0, 1].
    double axisShare(int axis) const;
    QString axisTitle(int axis) const;

    // Points drawn by the last rebuild (threshold, switches, legend).
    int shownImages() const { return layer(ImageLayer).shown(); }
    int shownWords() const { return layer(WordLayer).shown(); }
    int shownSupImages() const { return layer(SupImageLayer).shown(); }
    // Supplementary images of the analysis (drawn or not).
    int supImageCount() const;
    bool imageDrawn(int image) const;
    bool wordDrawn(int word) const;
    // Drawn images / words whose canvas pixel lies within r canvas pixels of
    // (cx, cy), in index order (the first is the one taken as under the
    // cursor). The indexes are kept in map units, built once per axis pair
    // and projection; a zoom, a pan or a threshold never rebuilds them.
    void findImages(std::vector<int> &out, double cx, double cy, double r) const;
    void findWords(std::vector<int> &out, double cx, double cy, double r) const;
    // The same for the supplementary images, by their own number.
    void findSupImages(std::vector<int> &out, double cx, double cy, double r) const;
    // The `count` images most similar to `image` (distance neighbourhood).
    void findNearestImages(int image, int count, std::vector<int> &out);
    // The drawn word nearest a widget position within `r` pixels, or -1.
    int wordAt(const QPoint &pos, double r = 6) const;

    // The point families on the map, in drawing order: images, words, then
    // the supplementary images over both (few, and looked for).
    // Each layer draws, indexes, hit-tests and selects its own points.
    enum LayerId { ImageLayer = 0, WordLayer = 1, SupImageLayer = 2 };
    const PointLayer &layer(int id) const { return *layers[std::size_t(id)]; }
    int layerCount() const { return int(layers.size()); }
    // The layers' ids in the order their marks are painted. Coloured by
    // category, the image crosses go above the word circles, which would
    // otherwise hide most of them; otherwise images, then words.
    std::vector<int> paintOrder() const;

    // Find: centres the map on point `index` of layer `layerId`, zooms in
    // when other points crowd it, and makes it the focus as hovering it
    // would (the panes and the card follow) and labels it. A point the
    // threshold or a hidden category leaves out is shown anyway, marked
    // hidden.
    void flyTo(int layerId, int index);
    // Keyboard: the focus steps through the images of the neighbourhood,
    // nearest the cursor first (backwards with step -1), wrapping round.
    void stepFocus(int step);
    // The neighbourhood's images in the order stepFocus goes through them.
    QVector<int> focusOrder() const;
    // Esc: no focus, no found points, no labels of them.
    void clearFocus();
    // Which points carry labels (LabelSource flags), and what they say.
    enum LabelSource { LabelFound = 0x1, LabelFocus = 0x2, LabelSelection = 0x4, LabelGroups = 0x8 };
    enum LabelColumn { LabelFileName = 0, LabelNumber = 1, LabelCategory = 2 };
    // The labels: their sources and column, the found points (labelled) and
    // the found point drawn although hidden. Changed through its setters.
    MapLabelling &labelling() { return m_labelling; }
    const MapLabelling &labelling() const { return m_labelling; }
    // Named groups of images and words, in the order they were kept.
    MapGroups &groups() { return m_groups; }
    const MapGroups &groups() const { return m_groups; }
    // Carries out what a change of the map's state needs (the one step the
    // setters of the state objects call) and tells with stateChanged.
    void invalidate(MapChange change);

    void drawBackground();
    void createColor();
    void finishSelection();
    // After an outline: "402 images and 89 words selected; 209 images and
    // 111 words inside the outline are hidden by the threshold (2)".
    QString selectionSummary() const;
    // Points inside the last outline left out by the threshold.
    int leftOutImages() const { return leftImages; }
    int leftOutWords() const { return leftWords; }
    // Makes these images and words the selection, as if an outline had held
    // them (a named group analysed); repaints.
    void setSelection(const QVector<int> &images, const QVector<int> &words);
    // Supplementary images inside the outline, by their own number: never
    // counted with the selected images, nor extracted with them.
    const QVector<int> &selectedSupImages() const { return m_selectedSupImages; }
    bool supImagePointsShown() const { return showSupImagePoint; }

    // Keypoint palette of this map, read by the detail panes of its window:
    // the colour of a keypoint of word label k is colors[k % colors.size()].
    // Each map has its own, so opening another analysis recolours nothing
    // in the windows already open.
    QList<QColor> colors;

    int radius = 20;
    int cursorX = 100;
    int cursorY = 100;
    int imageThreshold = 2;
    int wordThreshold = 2;
    bool showImage = false;
    bool showInfo = false;
    bool showImagePoint = true;
    bool showWordPoint = true;
    bool circleNeighbour = true;
    bool showLens = false;
    int mode = ModeNormal;
    QVector<QPointF> polygon;
    // The geometry's fields (MapGeometry), by their names.
    using MapGeometry::scale;
    using MapGeometry::mapWidth;
    using MapGeometry::mapHeight;
    using MapGeometry::originX;
    using MapGeometry::originY;
    using MapGeometry::panX;
    using MapGeometry::panY;
    int focusImage = -1;
    int focusWord = -1;
    bool focusOnImage = true;
    using MapGeometry::projectionMode;
    using MapGeometry::axis1;
    using MapGeometry::axis2;
    int axis3;
    CAData *data = nullptr;
    QPixmap *background = nullptr;
    int dragX = 0;
    int dragY = 0;
    QSet<int> hoverWords;
    QVector<int> imageList;
    QSet<int> axis1PosLabels;
    QSet<int> axis1NegLabels;
    QSet<int> axis2PosLabels;
    QSet<int> axis2NegLabels;
    QSet<int> wordList;
    int cellSize = 1;
    QVector<int> selectedImages;
    QVector<int> selectedWords;

    // Waits for what the view builds from its data on other threads (the
    // nearest-images copy of the rows) and forgets it: called before the
    // data goes while the view stays.
    void releaseData();
    // Waits until the nearest-images search of the data shown works from its
    // copy of the rows (benchmarks measure the search, not the build).
    void waitForNearestImages();

signals:
    void imagesChanged(QVector<int> *image_list, QSet<int> *word_list, CAData *data,
                       int focus, CAView *caview);
    void wordsChanged(QSet<int> *word_list);
    void selectionFinished();
    // The mode word changed (interaction mode or lock), by a command or a click.
    void modeChanged(int mode);
    // Enter on a focused image: open it at full size.
    void openImageRequested(int image);
    // The point layer was rebuilt: counts, categories or axes may differ.
    void layerChanged();
    // The map's own state changed (a MapChange): the panels showing it may
    // refresh.
    void stateChanged(int change);
    // Another tool took the mouse (setMapTool, or a mode command).
    void mapToolChanged(MapTool *tool);
    // The commands on a word (its images...) asked for at `globalPos`: Shift
    // with the right button on the word (the right button alone keeps its
    // lock), or the menu key while a word has the focus.
    void wordMenuRequested(int word, const QPoint &globalPos);

public slots:
    void setData(CAData *data);
    void changeThreshold(int thres);
    void changeCellSize(int size);
    void zoomIn();
    void zoomOut();
    void changeRadius(int value);
    void changeNeigbbourStructure(bool circleNeighbour);
    void showHideLens(bool show);
    void showHideImage(bool show);
    void showHideInformation(bool show);
    void changeAxis(int x1, int x2, int x3);
    void showHideWordPoint(bool show);
    void showHideImagePoint(bool show);
    void showHideSupImagePoint(bool show);
    void changeFocus(int focus);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // Tab and Shift+Tab step the focus instead of leaving the map.
    bool event(QEvent *event) override;

private:
    void draw(QPainter *painter);
    void drawAxisTitles(QPainter *painter);
    // Moves the canvas so that it is centred on what the widget shows again,
    // when panning has brought one of its edges into view.
    void recentreIfUncovered(bool force);
    void rebuildCategories();
    void updateIndexes();
    void showInformation(QPainter *painter);
    void showWordInformation(QPainter *painter);
    // The found points: their labels, and the marks of hidden ones.
    void drawFound(QPainter *painter);
    // The tool the mouse goes to (mapTool), none without a mode.
    MapTool *activeTool() const { return mapTool(); }
    // The tool of an interaction bit of the mode word; none without one.
    MapTool *toolOfMode(int mode) const;
    // The tools of the mode word, children of the view.
    HoverTool *hoverTool = nullptr;
    PanTool *panTool = nullptr;
    SelectionTool *selectionTool = nullptr;
    // The tool set last; a tool deleted while set leaves the hover.
    QPointer<MapTool> m_tool;
    QMetaObject::Connection m_toolGone;

    MapGroups m_groups;
    MapLabelling m_labelling;
    bool showSupImagePoint = true;
    QVector<int> m_selectedSupImages;
    int leftImages = 0;
    int leftWords = 0;

    bool categoryColours = false;
    bool axisTitles = false;
    QSet<int> hiddenCategories;
    QVector<int> categories;
    QVector<int> categoryCounts;
    QVector<int> categoryPaletteIndex; // per entry of `categories`
    std::vector<int> imageCategory; // per image: its entry in `categories`
    // The index categoryAgreement() measures with, and what it was built
    // for: the analysis, the two axes and their drawn scales.
    mutable std::unique_ptr<CategoryAgreement> agreement;
    mutable std::tuple<const CAData *, int, int, double, double, std::size_t> agreementKey;
    std::vector<int> supImageCategory; // the same per supplementary image
    // The layers' styles from the view's switches, thresholds and categories.
    void styleLayers();
    std::vector<std::unique_ptr<PointLayer>> layers;

    bool fitPending = false;
    bool fitted = false;
    // What the last fit showed; a resize or a new layout fits the same way.
    enum FitKind { FitBulk, FitEvery };
    FitKind fitKind = FitBulk;
    void refit();
    void fitBox(const QRectF &box);
    std::vector<MapExtent::Marker> markers;
    int fitKey[3] = {-1, -1, -1};

    // The stacks and edge markers read every drawn point; a hover repaint
    // moves none, so they are worked out again only after a rebuild of the
    // point layer (stacks, in map units) or when the map moved in the
    // window (markers).
    void updateExtentFigures();
    quint64 layerGeneration = 0;
    quint64 stacksGeneration = 0;
    int stacksKey[3] = {-1, -1, -1}; // axes and projection they were taken on
    quint64 markersGeneration = 0;
    MapTransform markersTransform;
    QRect markersWindow;
    std::vector<MapExtent::Stack> stacks;

    // The nearest-images search of the hover; its copy of the rows is built
    // on first use for the data shown (in the background for large data).
    NearestImages nearest;
};

#endif // CAVIEW_H
