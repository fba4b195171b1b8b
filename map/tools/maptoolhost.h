#ifndef MAPTOOLHOST_H
#define MAPTOOLHOST_H

#include "map/maptransform.h"

#include <QPoint>
#include <QPointF>
#include <QSet>
#include <QVector>

#include <vector>

class CAData;
class CAView;

// All a map tool may reach of its map: where the map lies (the transform),
// which points lie where (hit tests), and the setters of the state the
// mouse changes (focus, neighbourhood, outline, selection, pan, locks).
// A tool never touches the view's fields itself. The setters of the
// interaction state (focus, neighbourhood, outline) only store: the tool
// repaints when its step is complete (repaintNow, update) and signals the
// panes with emitNeighbourhood; the others (mode, pan) take their own step.
class MapToolHost
{
public:
    explicit MapToolHost(CAView &view) : m_view(view) {}

    // --- reading ---------------------------------------------------------
    const CAData *data() const;
    MapTransform transform() const;
    // The mode word (interaction bit and locks).
    int mode() const;
    int radius() const;
    bool circleNeighbour() const;
    bool showsImages() const;
    bool showsWords() const;
    bool showsSupImages() const;
    int focusImage() const;
    int focusWord() const;
    bool focusOnImage() const;
    QPoint hoverPosition() const;
    QPoint dragPosition() const;
    const QVector<QPointF> &outline() const;
    const QVector<int> &selectedImages() const;
    const QVector<int> &selectedWords() const;
    // Widget positions of points as drawn (supplementary image s is image
    // nbImages + s, as in the panes).
    QPoint imagePosition(int image) const;
    QPoint wordPosition(int word) const;
    // Axis numbers shown horizontally and vertically, counted from 1.
    int shownAxis(int k) const;

    // --- hit tests (canvas pixels; see CAView::findImages) ----------------
    void findImages(std::vector<int> &out, double cx, double cy, double r) const;
    void findWords(std::vector<int> &out, double cx, double cy, double r) const;
    void findSupImages(std::vector<int> &out, double cx, double cy, double r) const;
    // The `count` images most similar to `image`, nearest first.
    void nearestImages(int image, int count, std::vector<int> &out) const;

    // --- setters -----------------------------------------------------------
    // Sets the mode word (a lock toggled by a click).
    void setMode(int mode);
    void setFocus(bool onImage, int image, int word);
    void setHoverPosition(const QPoint &pos);
    void setDragPosition(const QPoint &pos);
    // The neighbourhood containers the view's signals hand out, filled in
    // place by the hover.
    QVector<int> &imageList();
    QSet<int> &wordList();
    QSet<int> &hoverWords();
    // Emits the neighbourhood to the panes: wordsChanged while the images
    // are locked, imagesChanged otherwise.
    void emitNeighbourhood();
    // Moves the map by (dx, dy) widget pixels; `settled` at the end of a
    // drag, when the canvas is re-rendered around the window if needed.
    void panBy(int dx, int dy, bool settled);
    // The selection outline: restarted at `p` (the selections emptied),
    // extended by a vertex, and evaluated (selectionFinished is emitted).
    void startOutline(const QPointF &p);
    void extendOutline(const QPointF &p);
    void finishOutline();
    // Repaints now (the hover's synchronous repaint) or at the next frame.
    void repaintNow();
    void update();

private:
    CAView &m_view;
};

#endif // MAPTOOLHOST_H
