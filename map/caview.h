#ifndef CAVIEW_H
#define CAVIEW_H

#include "index/rtree.h"

#include <QColor>
#include <QElapsedTimer>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QSet>
#include <QVector>
#include <QWidget>

#include <deque>

class CAData;
class QPainter;
class QPixmap;

// The map of one analysis: images (rows) and visual words (columns) as points
// on two factorial axes. The points are drawn once into `background`; each
// repaint copies it and paints the live overlays (neighbourhood, focus, lens,
// selection, thumbnails, information card).
//
// The implementation is split by concern:
//   caview.cpp            state, coordinates, projection, zoom, cell grid
//   caview_points.cpp     point layer (canvas, R-trees, half-axis sets), palette
//   caview_paint.cpp      repaint and overlays
//   caview_info.cpp       information card
//   caview_mouse.cpp      modes, cursors, hover, panning
//   caview_selection.cpp  polygon selection
//   caview_travel.cpp     hover kept while the cursor leaves for the panes
class CAView : public QWidget
{
    Q_OBJECT

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
    void setMode(int mode);
    // Picks the widget cursor from the mode word.
    void setCursor();

    double getZ(int image, int axis) const;
    double getW(int word, int axis) const;
    void transform(double x, double y, int &px, int &py) const;
    // Widget position of an image or a word as drawn on the map.
    QPoint imagePosition(int image) const;
    QPoint wordPosition(int word) const;
    // Truncation toward zero that cannot overflow: values beyond the pixel
    // range saturate and NaN lands far off the canvas.
    static int truncate(double v);
    void id2cell(int image, int &cx, int &cy) const;

    void drawBackground();
    void createColor();
    void finishSelection();

    // Keypoint palette shared by every map and detail pane: the colour of a
    // keypoint of word label k is colors[k % colors.size()].
    static QList<QColor> colors;

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
    int scale = 200;
    int mapWidth = 2000;
    int mapHeight = 1500;
    int originX = 0;
    int originY = 0;
    int panX = 0;
    int panY = 0;
    int focusImage = -1;
    int focusWord = -1;
    bool focusOnImage = true;
    int projectionMode = 0;
    int axis1;
    int axis2;
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
    RTree imageTree;
    RTree wordTree;
    int cellSize = 1;
    QVector<int> selectedImages;
    QVector<int> selectedWords;

signals:
    void imagesChanged(QVector<int> *image_list, QSet<int> *word_list, CAData *data,
                       int focus, CAView *caview);
    void wordsChanged(QSet<int> *word_list);
    void selectionFinished();
    // The mode word changed (interaction mode or lock), by a command or a click.
    void modeChanged(int mode);

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
    void changeFocus(int focus);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void draw(QPainter *painter);
    void showInformation(QPainter *painter);
    void showWordInformation(QPainter *painter);
    void hover(int ex, int ey);
    void nearestImages();

    // Interaction helpers
    void toggleLock(Qt::MouseButton button);
    void pan(int ex, int ey);
    // Answer buffer of the point-index queries, reused by every movement so
    // that hovering does not allocate.
    std::vector<int> found;

    // Recent hover steps, so that leaving the map can undo the ones made on
    // the way out (caview_travel.cpp).
    struct HoverStep
    {
        qint64 time;
        int cursorX, cursorY;
        int focusImage, focusWord;
        bool focusOnImage;
        QVector<int> imageList;
        QSet<int> wordList, hoverWords;
    };
    void rememberHover();
    void returnToRestingHover();
    std::deque<HoverStep> trail;
    QElapsedTimer clock;
};

#endif // CAVIEW_H
