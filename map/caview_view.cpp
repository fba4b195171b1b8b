#include "map/caview.h"

#include "data/model/cadata.h"
#include "map/tools/maptool.h"

#include <QKeyEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Scales beyond these would put ordinary coordinates past the pixel range
// that CAView::truncate keeps exact.
constexpr double kMinScale = 1e-4;
constexpr double kMaxScale = 1e7;
// Canvas offsets stay well inside int, whatever the scale.
constexpr double kMaxShift = double(1 << 27);
// One wheel notch or key press.
constexpr double kZoomStep = 1.25;
// Room left around the fitted points, in widget pixels (marks are 5 wide).
constexpr int kFitMargin = 24;
// The share of the images' mass the first view and "Fit all" show: a few
// far points (a stack of blank pictures, one odd word) must not set the
// extent of the whole cloud; the markers at the edge count them instead.
constexpr double kBulkShare = 0.98;

double clampScale(double s)
{
    if (!(s > kMinScale))
        return kMinScale;
    return std::min(s, kMaxScale);
}

int clampShift(double v)
{
    if (std::isnan(v))
        return 0;
    return int(std::lround(std::clamp(v, -kMaxShift, kMaxShift)));
}

// The map value at the middle of the pixel whose truncated product is k:
// truncation toward zero gives pixel k the products [k, k + 1) when k > 0,
// (k - 1, k] when k < 0 and (-1, 1) when k = 0.
double pixelMiddle(int k)
{
    return k > 0 ? k + 0.5 : (k < 0 ? k - 0.5 : 0.0);
}

} // namespace

QPointF CAView::canvasCentre() const
{
    return mapTransform().canvasCentre();
}

void CAView::setCanvasCentre(const QPointF &centre)
{
    panX = 0;
    panY = 0;
    shiftX = clampShift(centre.x() * scale);
    shiftY = clampShift(-centre.y() * scale);
    fitted = false;
    if (!data)
        return;
    drawBackground();
    repaint();
}

void CAView::setScale(double newScale)
{
    newScale = clampScale(newScale);
    // The map point at the canvas centre stays there; with the canvas on the
    // origin (offset 0) this is the plain scale change of the zoom buttons.
    shiftX = clampShift(shiftX * (newScale / scale));
    shiftY = clampShift(shiftY * (newScale / scale));
    scale = newScale;
    fitted = false;
    if (!data)
        return;
    drawBackground();
    repaint();
}

QPointF CAView::mapAt(const QPointF &p) const
{
    return mapTransform().mapFromWidget(p);
}

void CAView::zoomAt(double factor, const QPointF &p)
{
    if (!data || !(factor > 0))
        return;
    const double newScale = clampScale(scale * factor);
    // The canvas is re-rendered around the widget: the pan is folded into
    // the canvas offset first, which moves nothing on screen.
    shiftX -= panX;
    shiftY -= panY;
    panX = 0;
    panY = 0;
    // Canvas pixel under the cursor, and the map point in its middle.
    int px = int(std::floor(p.x() - originX));
    int py = int(std::floor(p.y() - originY));
    double ax = pixelMiddle(px - mapWidth / 2 + shiftX) / scale;
    double ay = pixelMiddle(mapHeight / 2 - shiftY - py) / scale;
    // A point under the cursor (as hovering finds it) is the anchor itself:
    // it keeps its pixel exactly, however far one zooms into it.
    std::vector<int> under;
    findImages(under, px, py, 2);
    bool image = !under.empty();
    if (!image)
        findWords(under, px, py, 2);
    if (!under.empty()) {
        const int k = under.front();
        ax = image ? getZ(k, axis1) : getW(k, axis1);
        ay = image ? getZ(k, axis2) : getW(k, axis2);
        transform(ax, ay, px, py);
    }
    // That point lands on the same pixel at the new scale.
    shiftX = clampShift(double(mapWidth / 2) + truncate(newScale * ax) - px);
    shiftY = clampShift(double(mapHeight / 2) - truncate(newScale * ay) - py);
    scale = newScale;
    fitted = false;
    drawBackground();
    repaint();
}

void CAView::fitAll()
{
    fitKind = FitBulk;
    refit();
}

void CAView::fitAllPoints()
{
    fitKind = FitEvery;
    refit();
}

QRectF CAView::bulkBox() const
{
    if (!data)
        return QRectF();
    // The images' mass decides what the bulk is; the words passing the
    // threshold that lie among those images are inside its box already.
    // Without drawn images (switched off), the words' own mass does.
    const MapTransform t = mapTransform();
    for (int id : {int(ImageLayer), int(WordLayer)}) {
        const PointLayer &l = layer(id);
        std::vector<QPointF> positions;
        std::vector<double> masses;
        const int n = l.count(*data);
        for (int i = 0; i < n; ++i) {
            if (!l.drawn(i))
                continue;
            positions.push_back(l.position(*data, t, i));
            masses.push_back(l.family().mass(*data, i));
        }
        if (!positions.empty())
            return MapExtent::bulk(positions, masses, kBulkShare);
    }
    return QRectF();
}

QRectF CAView::everyPointBox() const
{
    if (!data)
        return QRectF();
    std::vector<QPointF> positions;
    const MapTransform t = mapTransform();
    for (const auto &l : layers) {
        const int n = l->count(*data);
        for (int i = 0; i < n; ++i)
            if (l->drawn(i))
                positions.push_back(l->position(*data, t, i));
    }
    return MapExtent::bounds(positions);
}

void CAView::refit()
{
    if (!data)
        return;
    if (width() <= 0 || height() <= 0) {
        fitPending = true;
        return;
    }
    // drawn() is decided by the layers' last rebuild: make sure there was one.
    if (!background)
        drawBackground();
    const QRectF box = fitKind == FitBulk ? bulkBox() : everyPointBox();
    fitBox(box);
    fitted = true;
    fitPending = false;
    fitKey[0] = axis1;
    fitKey[1] = axis2;
    fitKey[2] = projectionMode;
    drawBackground();
    update();
}

void CAView::fitBox(const QRectF &box)
{
    const int W = width();
    const int H = height();
    const int margin = std::min(kFitMargin, std::min(W, H) / 4);
    double newScale = scale;
    double cx = 0, cy = 0;
    // No point drawn (a null box at the origin) keeps the scale, centred on
    // the origin.
    if (std::isfinite(box.left()) && std::isfinite(box.top()) && std::isfinite(box.width())
        && std::isfinite(box.height())) {
        const double w = box.width(), h = box.height();
        const double sx = w > 0 ? (W - 2 * margin) / w : kMaxScale;
        const double sy = h > 0 ? (H - 2 * margin) / h : kMaxScale;
        // A single point (or several on one spot) keeps the current scale.
        if (w > 0 || h > 0)
            newScale = clampScale(std::min(sx, sy));
        cx = box.center().x();
        cy = box.center().y();
    }
    scale = newScale;
    panX = 0;
    panY = 0;
    // The middle of the box lands on the middle of the widget.
    shiftX = clampShift(double(originX + mapWidth / 2) + truncate(scale * cx) - W / 2);
    shiftY = clampShift(double(originY + mapHeight / 2) - truncate(scale * cy) - H / 2);
}

void CAView::bringIntoView(const QRectF &box)
{
    if (!data)
        return;
    // What is in view now stays in view, with the far points beside it.
    const MapTransform t = mapTransform();
    const QPointF a = t.mapFromWidget(QPointF(0, 0));
    const QPointF b = t.mapFromWidget(QPointF(width(), height()));
    QRectF shown = QRectF(a, b).normalized();
    const double m = std::min(kFitMargin, std::min(width(), height()) / 4) / scale;
    shown.adjust(m, m, -m, -m);
    const QRectF both(QPointF(std::min(shown.left(), box.left()), std::min(shown.top(), box.top())),
                      QPointF(std::max(shown.right(), box.right()), std::max(shown.bottom(), box.bottom())));
    fitBox(both);
    fitted = false;
    drawBackground();
    update();
}

void CAView::requestFit()
{
    fitted = true;
    fitPending = true;
    update();
}

void CAView::fitIfLayoutChanged()
{
    if (fitKey[0] != axis1 || fitKey[1] != axis2 || fitKey[2] != projectionMode)
        refit();
}

void CAView::recentreIfUncovered(bool force)
{
    const bool uncovered = !mapTransform().canvasRect().contains(rect());
    if (!uncovered)
        return;
    // A widget larger than the canvas is never covered: re-render only after
    // a real move, not on every movement of a drag.
    const bool coverable = width() <= mapWidth && height() <= mapHeight;
    if (!coverable && !force && std::abs(panX) + std::abs(panY) < 64)
        return;
    if (panX == 0 && panY == 0)
        return;
    shiftX -= panX;
    shiftY -= panY;
    panX = 0;
    panY = 0;
    drawBackground();
}

void CAView::wheelEvent(QWheelEvent *event)
{
    const int delta = event->angleDelta().y();
    if (!data || delta == 0) {
        event->ignore();
        return;
    }
    zoomAt(std::pow(kZoomStep, delta / 120.0), event->position());
    event->accept();
}

void CAView::keyPressEvent(QKeyEvent *event)
{
    // The active tool sees the keys first (Esc ends a measurement).
    if (MapTool *tool = activeTool(); data && tool && tool->keyPress(event)) {
        event->accept();
        return;
    }
    const QPointF middle(width() / 2.0, height() / 2.0);
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomAt(kZoomStep, middle);
        break;
    case Qt::Key_Minus:
        zoomAt(1 / kZoomStep, middle);
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
        // The view moves the way the arrow points: what lies that way
        // comes into view. A tenth of the view per press, half of it with Shift.
        const bool more = event->modifiers() & Qt::ShiftModifier;
        const int dx = std::max(1, width() / (more ? 2 : 10));
        const int dy = std::max(1, height() / (more ? 2 : 10));
        const int k = event->key();
        panX += k == Qt::Key_Left ? dx : (k == Qt::Key_Right ? -dx : 0);
        panY += k == Qt::Key_Up ? dy : (k == Qt::Key_Down ? -dy : 0);
        fitted = false;
        recentreIfUncovered(true);
        update();
        break;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!data || !focusOnImage || focusImage < 0 || focusImage >= data->nbImages) {
            event->ignore();
            return;
        }
        emit openImageRequested(focusImage);
        break;
    case Qt::Key_Escape:
        clearFocus();
        break;
    case Qt::Key_Menu:
        if (!data || focusOnImage || focusWord < 0 || focusWord >= data->nbWords) {
            event->ignore();
            return;
        }
        emit wordMenuRequested(focusWord, mapToGlobal(wordPosition(focusWord)));
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}
