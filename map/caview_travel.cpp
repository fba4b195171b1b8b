// Leaving the map for the detail panes. The panes sit beside the map, so the
// cursor crosses the map's edge on its way to them, and every movement on the
// way is a hover that replaces the neighbourhood the user wanted to look at.
// The map therefore remembers its last hover steps; when the cursor leaves,
// the steps of the final quick stroke are undone and the neighbourhood where
// the cursor last rested is shown again, on the map and in the panes.

#include "map/caview.h"

namespace {

// A pause this long between two movements means the cursor rested.
constexpr qint64 kRestMs = 150;
// A stroke out of the map takes at most this long; a slower exit was a walk
// across the map, and what it shows last is what the user looked at.
constexpr qint64 kStrokeMs = 800;
// Steps remembered: enough for a stroke of kStrokeMs.
constexpr std::size_t kTrailSteps = 64;

} // namespace

void CAView::rememberHover()
{
    if (!clock.isValid())
        clock.start();
    HoverStep step{clock.elapsed(), cursorX, cursorY, focusImage, focusWord, focusOnImage,
                   imageList, wordList, hoverWords};
    trail.push_back(std::move(step));
    while (trail.size() > kTrailSteps)
        trail.pop_front();
}

void CAView::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (data && (mode & ModeNormal) && !(mode & ModeLocked))
        returnToRestingHover();
    trail.clear();
}

void CAView::returnToRestingHover()
{
    if (trail.size() < 2 || !clock.isValid())
        return;
    const qint64 now = clock.elapsed();
    // The cursor rested on its last step before leaving: that is the
    // neighbourhood it chose.
    if (now - trail.back().time >= kRestMs)
        return;
    // Walk back through the stroke to the step the cursor rested on: the
    // last one followed by a pause.
    std::size_t start = trail.size() - 1;
    while (start > 0 && trail[start].time - trail[start - 1].time < kRestMs)
        --start;
    // No pause among the steps kept: the cursor crossed without stopping.
    if (start == 0)
        return;
    if (now - trail[start].time > kStrokeMs)
        return;
    const std::size_t rest = start - 1;

    const HoverStep &s = trail[rest];
    cursorX = s.cursorX;
    cursorY = s.cursorY;
    focusImage = s.focusImage;
    focusWord = s.focusWord;
    focusOnImage = s.focusOnImage;
    imageList = s.imageList;
    wordList = s.wordList;
    hoverWords = s.hoverWords;
    repaint();
    if (mode & ModeImageLocked)
        emit wordsChanged(&wordList);
    else
        emit imagesChanged(&imageList, &wordList, data, focusImage, this);
}
