// Hovering, and leaving the map for the detail panes. The panes sit beside
// the map, so the cursor crosses the map's edge on its way to them, and every
// movement on the way is a hover that replaces the neighbourhood the user
// wanted to look at. The tool therefore remembers its last hover steps; when
// the cursor leaves, the steps of the final quick stroke are undone and the
// neighbourhood where the cursor last rested is shown again, on the map and
// in the panes.

#include "map/tools/hovertool.h"

#include "data/model/cadata.h"
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

int HoverTool::modeBit() const
{
    return CAView::ModeNormal;
}

void HoverTool::press(QMouseEvent *event)
{
    toggleLock(event->button());
}

void HoverTool::toggleLock(int button)
{
    MapToolHost &h = host();
    int mode = h.mode();
    if (button == Qt::LeftButton) {
        mode ^= CAView::ModeLocked;
    } else if (button == Qt::RightButton) {
        // A full lock already freezes the images too.
        if (mode & CAView::ModeLocked)
            return;
        mode ^= CAView::ModeImageLocked;
    } else {
        return;
    }
    // Tracking stays on, the cursor follows and modeChanged is emitted.
    h.setMode(mode);
    m_trail.clear();
}

void HoverTool::move(QMouseEvent *event)
{
    if (host().mode() & CAView::ModeLocked)
        return;
    const QPoint p = event->position().toPoint();
    hover(p.x(), p.y());
}

void HoverTool::hover(int ex, int ey, int forcedImage, int forcedWord)
{
    MapToolHost &h = host();
    const CAData &data = *h.data();
    // Queries are made in canvas pixels.
    const QPointF c = h.transform().canvasFromWidget(QPointF(ex, ey));
    const double cx = c.x(), cy = c.y();
    const int radius = h.radius();
    bool onImage = h.focusOnImage();
    int focusImage = h.focusImage();
    int focusWord = h.focusWord();

    if (h.showsWords()) {
        QSet<int> &hoverWords = h.hoverWords();
        QSet<int> &wordList = h.wordList();
        hoverWords.clear();
        wordList.clear();
        m_found.clear();
        h.findWords(m_found, cx, cy, radius);
        for (const int w : m_found) {
            hoverWords.insert(w);
            wordList.insert(data.wordLabel(w));
        }
    }

    h.setHoverPosition(QPoint(ex, ey));

    bool imageHit = false;
    if (!(h.mode() & CAView::ModeImageLocked)) {
        m_found.clear();
        h.findImages(m_found, cx, cy, 2);
        if (!m_found.empty()) {
            // The tree's first answer, which is not necessarily the nearest.
            imageHit = true;
            onImage = true;
            focusImage = m_found.front();
        }
        // Supplementary images come after the images, numbered after them;
        // one is hit only where no image is.
        const int firstSup = data.nbImages;
        bool supHit = false;
        if (!imageHit && h.showsSupImages()) {
            m_found.clear();
            h.findSupImages(m_found, cx, cy, 2);
            if (!m_found.empty()) {
                supHit = true;
                onImage = true;
                focusImage = firstSup + m_found.front();
            }
        }
        // A point flown to is the focus, whatever else lies under it.
        if (forcedImage >= 0) {
            imageHit = forcedImage < firstSup;
            supHit = !imageHit;
            onImage = true;
            focusImage = forcedImage;
        } else if (forcedWord >= 0) {
            imageHit = false;
            supHit = false;
        }
        if (h.circleNeighbour()) {
            QVector<int> &imageList = h.imageList();
            m_found.clear();
            h.findImages(m_found, cx, cy, radius);
            imageList.clear();
            imageList.reserve(qsizetype(m_found.size()));
            for (const int i : m_found)
                imageList.append(i);
            if (h.showsSupImages()) {
                m_found.clear();
                h.findSupImages(m_found, cx, cy, radius);
                for (const int s : m_found)
                    imageList.append(firstSup + s);
            }
        } else if (imageHit) {
            // Similarity is measured among the images of the analysis.
            nearestImages(focusImage);
        }
        // A point flown to that the threshold hides is in no search tree:
        // the panes show it first all the same, since it is what was asked
        // for.
        if (forcedImage >= 0 && !h.imageList().contains(forcedImage))
            h.imageList().prepend(forcedImage);
        imageHit = imageHit || supHit;
    }

    if (forcedWord >= 0) {
        onImage = false;
        focusWord = forcedWord;
    } else if (!imageHit && h.showsWords()) {
        m_found.clear();
        h.findWords(m_found, cx, cy, 2);
        if (!m_found.empty()) {
            onImage = false;
            focusWord = m_found.front();
        }
    }
    h.setFocus(onImage, focusImage, focusWord);

    h.repaintNow();
    rememberHover();

    h.emitNeighbourhood();
}

// The `radius` images most similar to the focused image, by ascending
// distance. Each distance value is taken once: an image whose distance equals
// that of a lower-numbered image is left out. An image whose distance is not
// a number (coordinates that are NaN or overflow) cannot be ordered and is
// never a neighbour.
void HoverTool::nearestImages(int focus)
{
    MapToolHost &h = host();
    h.nearestImages(focus, h.radius(), m_neighbours);
    QVector<int> &imageList = h.imageList();
    imageList.clear();
    imageList.reserve(qsizetype(m_neighbours.size()));
    for (const int i : m_neighbours)
        imageList.append(i);
}

void HoverTool::rememberHover()
{
    MapToolHost &h = host();
    if (!m_clock.isValid())
        m_clock.start();
    const QPoint at = h.hoverPosition();
    HoverStep step{m_clock.elapsed(), at.x(),        at.y(),       h.focusImage(), h.focusWord(),
                   h.focusOnImage(),  h.imageList(), h.wordList(), h.hoverWords()};
    m_trail.push_back(std::move(step));
    while (m_trail.size() > kTrailSteps)
        m_trail.pop_front();
}

void HoverTool::leave()
{
    if (!(host().mode() & CAView::ModeLocked))
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
    MapToolHost &h = host();
    h.setHoverPosition(QPoint(s.cursorX, s.cursorY));
    h.setFocus(s.focusOnImage, s.focusImage, s.focusWord);
    h.imageList() = s.imageList;
    h.wordList() = s.wordList;
    h.hoverWords() = s.hoverWords;
    h.repaintNow();
    h.emitNeighbourhood();
}
