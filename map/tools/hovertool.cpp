// Hovering, and leaving the map for the detail panes. The panes sit beside
// the map, so the cursor crosses the map's edge on its way to them, and every
// movement on the way is a hover that replaces the neighbourhood the user
// wanted to look at. The tool therefore remembers its last hover steps; when
// the cursor leaves, the steps of the final quick stroke are undone and the
// neighbourhood where the cursor last rested is shown again, on the map and
// in the panes.

#include "map/tools/hovertool.h"

#include "data/cadata.h"
#include "map/caview.h"

#include <QMouseEvent>

namespace {

// A pause this long between two movements means the cursor rested.
constexpr qint64 kRestMs = 150;
// A stroke out of the map takes at most this long; a slower exit was a walk
// across the map, and what it shows last is what the user looked at.
constexpr qint64 kStrokeMs = 800;
// Steps remembered: enough for a stroke of kStrokeMs.
constexpr std::size_t kTrailSteps = 64;

} // namespace

void HoverTool::press(QMouseEvent *event)
{
    toggleLock(event->button());
}

void HoverTool::toggleLock(int button)
{
    CAView &v = m_view;
    if (button == Qt::LeftButton) {
        v.mode ^= CAView::ModeLocked;
    } else if (button == Qt::RightButton) {
        // A full lock already freezes the images too.
        if (v.mode & CAView::ModeLocked)
            return;
        v.mode ^= CAView::ModeImageLocked;
    } else {
        return;
    }
    v.setMouseTracking(true);
    v.setCursor();
    m_trail.clear();
    emit v.modeChanged(v.mode);
}

void HoverTool::move(QMouseEvent *event)
{
    if (m_view.mode & CAView::ModeLocked)
        return;
    const QPoint p = event->position().toPoint();
    hover(p.x(), p.y());
}

void HoverTool::emitNeighbourhood()
{
    CAView &v = m_view;
    if (v.mode & CAView::ModeImageLocked)
        emit v.wordsChanged(&v.wordList);
    else
        emit v.imagesChanged(&v.imageList, &v.wordList, v.data, v.focusImage, &v);
}

void HoverTool::hover(int ex, int ey, int forcedImage, int forcedWord)
{
    CAView &v = m_view;
    // Queries are made in canvas pixels.
    const QPointF c = v.mapTransform().canvasFromWidget(QPointF(ex, ey));
    const double cx = c.x(), cy = c.y();

    if (v.showWordPoint) {
        v.hoverWords.clear();
        v.wordList.clear();
        m_found.clear();
        v.findWords(m_found, cx, cy, v.radius);
        for (const int w : m_found) {
            v.hoverWords.insert(w);
            v.wordList.insert(v.data->wordLabel(w));
        }
    }

    v.cursorX = ex;
    v.cursorY = ey;

    bool imageHit = false;
    if (!(v.mode & CAView::ModeImageLocked)) {
        m_found.clear();
        v.findImages(m_found, cx, cy, 2);
        if (!m_found.empty()) {
            // The tree's first answer, which is not necessarily the nearest.
            imageHit = true;
            v.focusOnImage = true;
            v.focusImage = m_found.front();
        }
        // Supplementary images come after the images, numbered after them;
        // one is hit only where no image is.
        const int firstSup = v.data->nbImages;
        bool supHit = false;
        if (!imageHit && v.showSupImagePoint) {
            m_found.clear();
            v.findSupImages(m_found, cx, cy, 2);
            if (!m_found.empty()) {
                supHit = true;
                v.focusOnImage = true;
                v.focusImage = firstSup + m_found.front();
            }
        }
        // A point flown to is the focus, whatever else lies under it.
        if (forcedImage >= 0) {
            imageHit = forcedImage < firstSup;
            supHit = !imageHit;
            v.focusOnImage = true;
            v.focusImage = forcedImage;
        } else if (forcedWord >= 0) {
            imageHit = false;
            supHit = false;
        }
        if (v.circleNeighbour) {
            m_found.clear();
            v.findImages(m_found, cx, cy, v.radius);
            v.imageList.clear();
            v.imageList.reserve(qsizetype(m_found.size()));
            for (const int i : m_found)
                v.imageList.append(i);
            if (v.showSupImagePoint) {
                m_found.clear();
                v.findSupImages(m_found, cx, cy, v.radius);
                for (const int s : m_found)
                    v.imageList.append(firstSup + s);
            }
        } else if (imageHit) {
            // Similarity is measured among the images of the analysis.
            nearestImages();
        }
        // A point flown to that the threshold hides is in no search tree:
        // the panes show it first all the same, since it is what was asked
        // for.
        if (forcedImage >= 0 && !v.imageList.contains(forcedImage))
            v.imageList.prepend(forcedImage);
        imageHit = imageHit || supHit;
    }

    if (forcedWord >= 0) {
        v.focusOnImage = false;
        v.focusWord = forcedWord;
    } else if (!imageHit && v.showWordPoint) {
        m_found.clear();
        v.findWords(m_found, cx, cy, 2);
        if (!m_found.empty()) {
            v.focusOnImage = false;
            v.focusWord = m_found.front();
        }
    }

    v.repaint();
    rememberHover();

    emitNeighbourhood();
}

// The `radius` images most similar to the focused image, by ascending
// distance. Each distance value is taken once: an image whose distance equals
// that of a lower-numbered image is left out. An image whose distance is not
// a number (coordinates that are NaN or overflow) cannot be ordered and is
// never a neighbour.
void HoverTool::nearestImages()
{
    CAView &v = m_view;
    v.nearest.find(*v.data, v.focusImage, v.radius, m_neighbours);
    v.imageList.clear();
    v.imageList.reserve(qsizetype(m_neighbours.size()));
    for (const int i : m_neighbours)
        v.imageList.append(i);
}

void HoverTool::rememberHover()
{
    const CAView &v = m_view;
    if (!m_clock.isValid())
        m_clock.start();
    HoverStep step{m_clock.elapsed(), v.cursorX,   v.cursorY, v.focusImage, v.focusWord,
                   v.focusOnImage,    v.imageList, v.wordList, v.hoverWords};
    m_trail.push_back(std::move(step));
    while (m_trail.size() > kTrailSteps)
        m_trail.pop_front();
}

void HoverTool::leave()
{
    if (!(m_view.mode & CAView::ModeLocked))
        returnToRestingHover();
    m_trail.clear();
}

void HoverTool::returnToRestingHover()
{
    if (m_trail.size() < 2 || !m_clock.isValid())
        return;
    const qint64 now = m_clock.elapsed();
    // The cursor rested on its last step before leaving: that is the
    // neighbourhood it chose.
    if (now - m_trail.back().time >= kRestMs)
        return;
    // Walk back through the stroke to the step the cursor rested on: the
    // last one followed by a pause.
    std::size_t start = m_trail.size() - 1;
    while (start > 0 && m_trail[start].time - m_trail[start - 1].time < kRestMs)
        --start;
    // No pause among the steps kept: the cursor crossed without stopping.
    if (start == 0)
        return;
    if (now - m_trail[start].time > kStrokeMs)
        return;
    const HoverStep &s = m_trail[start - 1];
    CAView &v = m_view;
    v.cursorX = s.cursorX;
    v.cursorY = s.cursorY;
    v.focusImage = s.focusImage;
    v.focusWord = s.focusWord;
    v.focusOnImage = s.focusOnImage;
    v.imageList = s.imageList;
    v.wordList = s.wordList;
    v.hoverWords = s.hoverWords;
    v.repaint();
    emitNeighbourhood();
}
