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
    const QPointF c = mapTransform().canvasFromWidget(QPointF(ex, ey));
    const double cx = c.x(), cy = c.y();

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
    nearest.find(*data, focusImage, radius, neighbours);
    imageList.clear();
    imageList.reserve(qsizetype(neighbours.size()));
    for (const int i : neighbours)
        imageList.append(i);
}
