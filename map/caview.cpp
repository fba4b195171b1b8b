#include "map/caview.h"

#include "data/model/cadata.h"
#include "data/model/console.h"
#include "map/tools/hovertool.h"
#include "map/tools/pantool.h"
#include "map/tools/selectiontool.h"

#include <QPixmap>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

CAView::CAView(int x1, int x2, int x3, QWidget *parent)
    : QWidget(parent), axis3(x3), m_groups([this](MapChange c) { invalidate(c); }),
      m_labelling([this](MapChange c) { invalidate(c); })
{
    axis1 = x1;
    axis2 = x2;
    layers.push_back(std::make_unique<PointLayer>(PointFamily::images()));
    layers.push_back(std::make_unique<PointLayer>(PointFamily::words()));
    layers.push_back(std::make_unique<PointLayer>(PointFamily::supplementaryImages()));
    hoverTool = new HoverTool(this);
    panTool = new PanTool(this);
    selectionTool = new SelectionTool(this);
    m_tool = hoverTool;
    originX = (width() - mapWidth) / 2;
    originY = (height() - mapHeight) / 2;
    createColor();
    projectionMode = 0;
    mode = ModeNormal;
    setMouseTracking(true);
    setCursor();
    // Clicking the map gives it the keyboard, for the + and - keys.
    setFocusPolicy(Qt::ClickFocus);
}

CAView::~CAView()
{
    Console::out(QStringLiteral("CAView destructor"));
    // The tools die with the view's children, after this: none may set
    // itself back on a view that is going.
    disconnect(m_toolGone);
    delete background;
}

void CAView::setData(CAData *d)
{
    data = d;
    if (!data) {
        Console::err(QStringLiteral("Data NULL"));
        return;
    }
    Console::out(QStringLiteral("setdata"));
    focusWord = -1;
    focusImage = -1;
    panX = 0;
    panY = 0;
    shiftX = 0;
    shiftY = 0;
    fitted = false;
    // Another analysis may have been loaded at the same address.
    nearest.reset();
    rebuildCategories();
    createColor();
    drawBackground();
    repaint();
}

void CAView::releaseData()
{
    nearest.reset();
    agreement.reset();
}

void CAView::waitForNearestImages()
{
    if (data)
        nearest.waitForGroups(*data);
}

void CAView::setProjectionMode(int m)
{
    Console::out(QStringLiteral("set mode, mode = %1").arg(m));
    if (!data || m == projectionMode)
        return;
    projectionMode = m;
    drawBackground();
    repaint();
}

void CAView::changeAxis(int x1, int x2, int x3)
{
    if (!data)
        return;
    axis1 = x1;
    axis2 = x2;
    axis3 = x3;
    drawBackground();
    repaint();
}

void CAView::zoomIn()
{
    if (!data)
        return;
    setScale(scale + 5);
}

void CAView::zoomOut()
{
    if (!data)
        return;
    // Below 10 (reached by the wheel or a fit) the button keeps zooming out
    // instead of jumping back up to 10.
    if (scale < 10)
        setScale(scale / 1.25);
    else
        setScale(scale - 5 > 9 ? scale - 5 : 10);
}

void CAView::changeRadius(int value)
{
    radius = value;
    repaint();
}

void CAView::changeNeigbbourStructure(bool circle)
{
    if (data)
        circleNeighbour = circle;
}

void CAView::changeCellSize(int size)
{
    if (!data)
        return;
    cellSize = size;
    Console::out(QStringLiteral("Cell size changed to %1").arg(size));
}

void CAView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Integer division truncates toward zero: a 1999-pixel view gets 0, not -1.
    originX = (width() - mapWidth) / 2;
    originY = (height() - mapHeight) / 2;
    // A fitted map stays fitted to the new size until the user zooms or pans.
    if (fitted)
        fitPending = true;
}

double CAView::getZ(int image, int axis) const
{
    const PointFamily &f = layer(ImageLayer).family();
    return f.row(*data, image)[axis] * mapTransform().projectionFactor(*data, axis, f.rescaledInMode);
}

double CAView::getW(int word, int axis) const
{
    const PointFamily &f = layer(WordLayer).family();
    return f.row(*data, word)[axis] * mapTransform().projectionFactor(*data, axis, f.rescaledInMode);
}

int CAView::truncate(double v)
{
    return MapTransform::truncate(v);
}

MapTransform CAView::mapTransform() const
{
    return MapTransform(mapGeometry());
}

void CAView::setCanvasShift(const QPoint &shift)
{
    // Beyond this the pixel arithmetic of the transform would overflow.
    constexpr int kMax = 1 << 27;
    shiftX = std::clamp(shift.x(), -kMax, kMax);
    shiftY = std::clamp(shift.y(), -kMax, kMax);
    update();
}

void CAView::invalidate(MapChange change)
{
    if (change == MapChange::Rebuild && data)
        drawBackground();
    update();
    emit stateChanged(int(change));
}

void CAView::findNearestImages(int image, int count, std::vector<int> &out)
{
    if (!data) {
        out.clear();
        return;
    }
    nearest.find(*data, image, count, out);
}

void CAView::transform(double x, double y, int &px, int &py) const
{
    const QPoint p = mapTransform().canvasPixel(x, y);
    px = p.x();
    py = p.y();
}

QPoint CAView::imagePosition(int image) const
{
    if (image >= data->nbImages)
        return layer(SupImageLayer).widgetPixel(*data, mapTransform(), image - data->nbImages);
    return layer(ImageLayer).widgetPixel(*data, mapTransform(), image);
}

QPoint CAView::wordPosition(int word) const
{
    return layer(WordLayer).widgetPixel(*data, mapTransform(), word);
}

int CAView::supImageCount() const
{
    return data ? layer(SupImageLayer).count(*data) : 0;
}

void CAView::id2cell(int image, int &cx, int &cy) const
{
    const MapTransform t = mapTransform();
    // Supplementary images come after the images in the panes' numbering.
    const QPointF m = image >= data->nbImages
                          ? layer(SupImageLayer).position(*data, t, image - data->nbImages)
                          : layer(ImageLayer).position(*data, t, image);
    const QPoint p = t.canvasPixel(m.x(), m.y());
    const int px = p.x(), py = p.y();
    // A cell of size 0 or less would divide by zero; such a grid degenerates
    // to one pixel per cell.
    const int size = cellSize > 0 ? cellSize : 1;
    cx = px / size;
    cy = py / size;
}
