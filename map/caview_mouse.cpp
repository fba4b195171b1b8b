#include "map/caview.h"

#include "data/cadata.h"
#include "data/console.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// Position of a mouse event in whole widget pixels.
QPoint eventPoint(const QMouseEvent *event)
{
    return event->position().toPoint();
}

// Up to this many neighbours the nearest images are kept in a small sorted
// array while scanning; beyond it one sort of all distances is cheaper than
// the insertions could become.
constexpr int kBoundedNeighbours = 512;

} // namespace

void CAView::setMode(int m)
{
    const bool changed = mode != m;
    mode = m;
    setMouseTracking((mode & ModeNormal) != 0);
    setCursor();
    trail.clear();
    if (changed)
        emit modeChanged(mode);
}

void CAView::setCursor()
{
    // First matching row wins: the drag modes, then the arrow of any mode
    // without hover, then the two locks.
    if (mode & ModeSelection)
        QWidget::setCursor(QCursor(QPixmap(QStringLiteral(":/images/select.png")), 0, 1));
    else if (mode & ModeHand)
        QWidget::setCursor(QCursor(QPixmap(QStringLiteral(":/images/hand.png")), 15, 9));
    else if (!(mode & ModeNormal))
        QWidget::setCursor(QCursor(Qt::ArrowCursor));
    else if (mode & ModeLocked)
        QWidget::setCursor(QCursor(QPixmap(QStringLiteral(":/images/locked.png")), 15, 16));
    else if (mode & ModeImageLocked)
        QWidget::setCursor(QCursor(QPixmap(QStringLiteral(":/images/image_locked.png")), 0, 1));
    else
        QWidget::setCursor(QCursor(Qt::ArrowCursor));
}

void CAView::mousePressEvent(QMouseEvent *event)
{
    if (!data)
        return;
    const QPoint p = eventPoint(event);
    if (mode & ModeSelection) {
        polygon.clear();
        polygon.append(QPointF(p));
        Console::out(QStringLiteral("Selection mode begin"));
        selectedImages.clear();
        selectedWords.clear();
    } else if (mode & ModeHand) {
        dragX = p.x();
        dragY = p.y();
    } else if (mode & ModeNormal) {
        toggleLock(event->button());
    }
}

void CAView::toggleLock(Qt::MouseButton button)
{
    if (button == Qt::LeftButton) {
        mode ^= ModeLocked;
    } else if (button == Qt::RightButton) {
        // A full lock already freezes the images too.
        if (mode & ModeLocked)
            return;
        mode ^= ModeImageLocked;
    } else {
        return;
    }
    setMouseTracking(true);
    setCursor();
    trail.clear();
    emit modeChanged(mode);
}

// The second press of a double click arrives here instead of in
// mousePressEvent; ignoring it makes a double click toggle a lock once.
void CAView::mouseDoubleClickEvent(QMouseEvent *) {}

void CAView::mouseMoveEvent(QMouseEvent *event)
{
    if (!data)
        return;
    const QPoint p = eventPoint(event);
    if (mode & ModeSelection) {
        polygon.append(QPointF(p));
        repaint();
    } else if (mode & ModeHand) {
        pan(p.x(), p.y());
        recentreIfUncovered(false);
        repaint();
        dragX = p.x();
        dragY = p.y();
    } else if ((mode & ModeNormal) && !(mode & ModeLocked)) {
        hover(p.x(), p.y());
    }
}

void CAView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!data)
        return;
    const QPoint p = eventPoint(event);
    if (mode & ModeSelection) {
        finishSelection();
        repaint();
    } else if (mode & ModeHand) {
        // Each movement already moved the map up to dragX, dragY; only the
        // rest since the last movement is added here.
        pan(p.x(), p.y());
        recentreIfUncovered(true);
        repaint();
    }
}

void CAView::pan(int ex, int ey)
{
    panX += ex - dragX;
    panY += ey - dragY;
    fitted = false;
}

void CAView::changeFocus(int focus)
{
    focusOnImage = true;
    focusImage = focus;
    repaint();
}

void CAView::hover(int ex, int ey)
{
    // Queries are made in canvas pixels.
    const double cx = double(ex) - originX - panX;
    const double cy = double(ey) - originY - panY;

    if (showWordPoint) {
        hoverWords.clear();
        wordList.clear();
        found.clear();
        findWords(found, cx, cy, radius);
        for (const int w : found) {
            hoverWords.insert(w);
            wordList.insert(data->wordLabel(w));
        }
    }

    cursorX = ex;
    cursorY = ey;

    bool imageHit = false;
    if (!(mode & ModeImageLocked)) {
        found.clear();
        findImages(found, cx, cy, 2);
        if (!found.empty()) {
            // The tree's first answer, which is not necessarily the nearest.
            imageHit = true;
            focusOnImage = true;
            focusImage = found.front();
        }
        if (circleNeighbour) {
            found.clear();
            findImages(found, cx, cy, radius);
            imageList.clear();
            imageList.reserve(qsizetype(found.size()));
            for (const int i : found)
                imageList.append(i);
        } else if (imageHit) {
            nearestImages();
        }
    }

    if (!imageHit && showWordPoint) {
        found.clear();
        findWords(found, cx, cy, 2);
        if (!found.empty()) {
            focusOnImage = false;
            focusWord = found.front();
        }
    }

    repaint();
    rememberHover();

    if (mode & ModeImageLocked)
        emit wordsChanged(&wordList);
    else
        emit imagesChanged(&imageList, &wordList, data, focusImage, this);
}

// The `radius` images most similar to the focused image, by ascending
// distance. Each distance value is taken once: an image whose distance equals
// that of a lower-numbered image is left out. An image whose distance is not
// a number (coordinates that are NaN or overflow) cannot be ordered and is
// never a neighbour.
void CAView::nearestImages()
{
    const int n = data->nbImages;
    const int k = radius;
    using Entry = std::pair<double, int>;
    std::vector<Entry> best;

    if (k > 0 && k < kBoundedNeighbours) {
        // Sorted by distance, distinct distances, at most k entries. Images
        // come in ascending order, so an equal distance already kept belongs
        // to a lower index and the newcomer is dropped. Once the array is
        // full its largest distance only decreases, so a distance that was
        // pushed out can never come back in through a later equal one.
        best.reserve(std::size_t(k) + 1);
        // A float copy of the rows, scaled to unit length, gives each
        // image's distance to within far less than kSlack; only the images
        // that could enter the list are measured exactly, so the list is the
        // one the exact scan would give.
        if (unitRowsData != data)
            buildNearestRows();
        const int axes = data->nbAxis;
        const bool approximate = !unitRows.empty() && axes <= 512;
        const float *uf = approximate ? unitRows.data() + std::size_t(focusImage) * std::size_t(axes)
                                      : nullptr;
        constexpr double kSlack = 1e-4;
        for (int i = 0; i < n; ++i) {
            if (approximate && best.size() == std::size_t(k)) {
                const float *u = unitRows.data() + std::size_t(i) * std::size_t(axes);
                // Four running sums: independent chains the processor overlaps.
                float s0 = 0, s1 = 0, s2 = 0, s3 = 0;
                int a = 0;
                for (; a + 4 <= axes; a += 4) {
                    s0 += uf[a] * u[a];
                    s1 += uf[a + 1] * u[a + 1];
                    s2 += uf[a + 2] * u[a + 2];
                    s3 += uf[a + 3] * u[a + 3];
                }
                for (; a < axes; ++a)
                    s0 += uf[a] * u[a];
                const double dot = double((s0 + s1) + (s2 + s3));
                if (-dot > best.back().first + kSlack)
                    continue;
            }
            const double d = data->distance(focusImage, i);
            if (std::isnan(d))
                continue;
            const std::size_t size = best.size();
            if (size == std::size_t(k) && !(d < best.back().first))
                continue;
            const auto pos = std::lower_bound(best.begin(), best.end(), d,
                                              [](const Entry &e, double v) { return e.first < v; });
            if (pos != best.end() && pos->first == d)
                continue;
            const std::ptrdiff_t at = pos - best.begin();
            if (size == std::size_t(k))
                best.pop_back();
            best.insert(best.begin() + at, Entry(d, i));
        }
    } else if (k > 0) {
        best.reserve(std::size_t(n));
        for (int i = 0; i < n; ++i) {
            const double d = data->distance(focusImage, i);
            if (!std::isnan(d))
                best.emplace_back(d, i);
        }
        // Pairs order by distance, then index: the first of a run of equal
        // distances is the lowest index, the one to keep.
        std::sort(best.begin(), best.end());
        std::size_t kept = 0;
        for (std::size_t r = 0; r < best.size() && kept < std::size_t(k); ++r) {
            if (kept > 0 && best[r].first == best[kept - 1].first)
                continue;
            best[kept++] = best[r];
        }
        best.resize(kept);
    }

    imageList.clear();
    imageList.reserve(qsizetype(best.size()));
    for (const Entry &e : best)
        imageList.append(e.second);
}
