#include "map/tools/maptoolhost.h"

#include "data/model/cadata.h"
#include "data/model/console.h"
#include "map/caview.h"

const CAData *MapToolHost::data() const { return m_view.data; }
MapTransform MapToolHost::transform() const { return m_view.mapTransform(); }
int MapToolHost::mode() const { return m_view.mode; }
int MapToolHost::radius() const { return m_view.radius; }
bool MapToolHost::circleNeighbour() const { return m_view.circleNeighbour; }
bool MapToolHost::showsImages() const { return m_view.showImagePoint; }
bool MapToolHost::showsWords() const { return m_view.showWordPoint; }
bool MapToolHost::showsSupImages() const { return m_view.supImagePointsShown(); }
int MapToolHost::focusImage() const { return m_view.focusImage; }
int MapToolHost::focusWord() const { return m_view.focusWord; }
bool MapToolHost::focusOnImage() const { return m_view.focusOnImage; }
QPoint MapToolHost::hoverPosition() const { return QPoint(m_view.cursorX, m_view.cursorY); }
QPoint MapToolHost::dragPosition() const { return QPoint(m_view.dragX, m_view.dragY); }
const QVector<QPointF> &MapToolHost::outline() const { return m_view.polygon; }
const QVector<int> &MapToolHost::selectedImages() const { return m_view.selectedImages; }
const QVector<int> &MapToolHost::selectedWords() const { return m_view.selectedWords; }
QPoint MapToolHost::imagePosition(int image) const { return m_view.imagePosition(image); }
QPoint MapToolHost::wordPosition(int word) const { return m_view.wordPosition(word); }

int MapToolHost::shownAxis(int k) const
{
    return (k == 0 ? m_view.axis1 : m_view.axis2) + 1;
}

void MapToolHost::findImages(std::vector<int> &out, double cx, double cy, double r) const
{
    m_view.findImages(out, cx, cy, r);
}

void MapToolHost::findWords(std::vector<int> &out, double cx, double cy, double r) const
{
    m_view.findWords(out, cx, cy, r);
}

void MapToolHost::findSupImages(std::vector<int> &out, double cx, double cy, double r) const
{
    m_view.findSupImages(out, cx, cy, r);
}

void MapToolHost::nearestImages(int image, int count, std::vector<int> &out) const
{
    m_view.findNearestImages(image, count, out);
}

void MapToolHost::setMode(int mode) { m_view.setMode(mode); }

void MapToolHost::setFocus(bool onImage, int image, int word)
{
    m_view.focusOnImage = onImage;
    m_view.focusImage = image;
    m_view.focusWord = word;
}

void MapToolHost::setHoverPosition(const QPoint &pos)
{
    m_view.cursorX = pos.x();
    m_view.cursorY = pos.y();
}

void MapToolHost::setDragPosition(const QPoint &pos)
{
    m_view.dragX = pos.x();
    m_view.dragY = pos.y();
}

QVector<int> &MapToolHost::imageList() { return m_view.imageList; }
QSet<int> &MapToolHost::wordList() { return m_view.wordList; }
QSet<int> &MapToolHost::hoverWords() { return m_view.hoverWords; }

void MapToolHost::emitNeighbourhood()
{
    CAView &v = m_view;
    if (v.mode & CAView::ModeImageLocked)
        emit v.wordsChanged(&v.wordList);
    else
        emit v.imagesChanged(&v.imageList, &v.wordList, v.data, v.focusImage, &v);
}

void MapToolHost::panBy(int dx, int dy, bool settled) { m_view.panBy(dx, dy, settled); }

void MapToolHost::startOutline(const QPointF &p)
{
    m_view.polygon.clear();
    m_view.polygon.append(p);
    Console::out(QStringLiteral("Selection mode begin"));
    m_view.selectedImages.clear();
    m_view.selectedWords.clear();
}

void MapToolHost::extendOutline(const QPointF &p) { m_view.polygon.append(p); }
void MapToolHost::finishOutline() { m_view.finishSelection(); }
void MapToolHost::repaintNow() { m_view.repaint(); }
void MapToolHost::update() { m_view.update(); }
