#ifndef HOVERTOOL_H
#define HOVERTOOL_H

#include "map/tools/maptool.h"

#include <QElapsedTimer>
#include <QSet>
#include <QVector>

#include <deque>
#include <vector>

// Normal mode: the neighbourhood and the focus follow the cursor; the left
// button locks everything, the right one the images only. Leaving the map
// for the panes undoes the hover steps of the quick final stroke on the way
// out, so the panes show where the cursor last rested.
class HoverTool : public MapTool
{
public:
    using MapTool::MapTool;

    int modeBit() const override;
    bool tracksMouse() const override { return true; }
    void press(QMouseEvent *event) override;
    void move(QMouseEvent *event) override;
    void leave() override;
    void reset() override { m_trail.clear(); }

    // One hover step at widget position (ex, ey).
    void hover(int ex, int ey, int forcedImage = -1, int forcedWord = -1);

private:
    void toggleLock(int button);
    void nearestImages(int focus);
    void rememberHover();
    void returnToRestingHover();

    // Recent hover steps, so that leaving the map can undo the ones made on
    // the way out.
    struct HoverStep
    {
        qint64 time;
        int cursorX, cursorY;
        int focusImage, focusWord;
        bool focusOnImage;
        QVector<int> imageList;
        QSet<int> wordList, hoverWords;
    };
    std::deque<HoverStep> m_trail;
    QElapsedTimer m_clock;
    // Answer buffers of the point queries and the nearest-images search,
    // reused by every movement so that hovering does not allocate.
    std::vector<int> m_found;
    std::vector<int> m_neighbours;
};

#endif // HOVERTOOL_H
