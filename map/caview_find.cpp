// Flying to a found point, and the keyboard's focus steps.
#include "map/caview.h"

#include "data/model/cadata.h"
#include "map/tools/hovertool.h"

#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// A found point is crowded while more than this many other drawn points lie
// within kCrowdRadius widget pixels of it; the flight zooms in until not.
constexpr int kCrowdCount = 3;
constexpr double kCrowdRadius = 12;
// The flight zooms in by at most this factor, so that a point on top of
// others (same coordinates) does not send the map to the largest scale.
constexpr double kMaxFlightZoom = 256;

} // namespace

void CAView::flyTo(int layerId, int index)
{
    if (!data || layerId < 0 || layerId >= layerCount())
        return;
    const PointLayer &l = layer(layerId);
    if (index < 0 || index >= l.count(*data))
        return;
    const MapTransform t = mapTransform();
    const QPointF target = l.position(*data, t, index);
    if (!std::isfinite(target.x()) || !std::isfinite(target.y()))
        return;

    // The distance to the (kCrowdCount+1)-th nearest drawn point of any
    // layer: at a scale where it spans kCrowdRadius pixels, at most
    // kCrowdCount others are that close.
    std::vector<double> near;
    for (int id = 0; id < layerCount(); ++id) {
        const PointLayer &other = layer(id);
        const int n = other.count(*data);
        for (int i = 0; i < n; ++i) {
            if ((id == layerId && i == index) || !other.drawn(i))
                continue;
            const QPointF p = other.position(*data, t, i);
            const double d = std::hypot(p.x() - target.x(), p.y() - target.y());
            if (std::isfinite(d))
                near.push_back(d);
        }
    }
    double newScale = scale;
    if (near.size() > std::size_t(kCrowdCount)) {
        std::nth_element(near.begin(), near.begin() + kCrowdCount, near.end());
        const double d = near[std::size_t(kCrowdCount)];
        const double wanted = d > 0 ? kCrowdRadius / d : scale * kMaxFlightZoom;
        if (wanted > scale)
            newScale = std::min(wanted, scale * kMaxFlightZoom);
    }
    setScale(newScale);

    // The point lands on the middle of the widget (as fitAll places the
    // middle of the points).
    panX = 0;
    panY = 0;
    shiftX = int(std::lround(double(originX + mapWidth / 2) + truncate(scale * target.x())
                             - width() / 2));
    shiftY = int(std::lround(double(originY + mapHeight / 2) - truncate(scale * target.y())
                             - height() / 2));
    // A fit still waiting for the first paint would undo the flight.
    fitted = false;
    fitPending = false;

    const bool word = layerId == WordLayer;
    m_labelling.setFound(word, index, word ? !wordDrawn(index) : !imageDrawn(index));
    // The image locks would keep the focus where it was.
    if (mode & ModeImageLocked) {
        mode &= ~ModeImageLocked;
        setCursor();
        emit modeChanged(mode);
    }
    drawBackground();
    const QPoint at = word ? wordPosition(index) : imagePosition(index);
    hoverTool->hover(at.x(), at.y(), word ? -1 : index, word ? index : -1);
}

QVector<int> CAView::focusOrder() const
{
    QVector<int> order = imageList;
    std::vector<double> dist(std::size_t(data ? data->nbImages : 0), 0.0);
    for (int i : std::as_const(order)) {
        if (i < 0 || std::size_t(i) >= dist.size())
            continue;
        const QPoint p = imagePosition(i);
        dist[std::size_t(i)] = std::hypot(double(p.x() - cursorX), double(p.y() - cursorY));
    }
    order.erase(std::remove_if(order.begin(), order.end(),
                               [&](int i) { return i < 0 || std::size_t(i) >= dist.size(); }),
                order.end());
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const double da = dist[std::size_t(a)], db = dist[std::size_t(b)];
        return da != db ? da < db : a < b;
    });
    return order;
}

void CAView::stepFocus(int step)
{
    if (!data)
        return;
    const QVector<int> order = focusOrder();
    if (order.isEmpty())
        return;
    const int at = focusOnImage ? int(order.indexOf(focusImage)) : -1;
    int next;
    if (at < 0)
        next = step > 0 ? 0 : int(order.size()) - 1;
    else
        next = int((at + step + order.size()) % order.size());
    focusOnImage = true;
    focusImage = order.at(next);
    repaint();
    emit imagesChanged(&imageList, &wordList, data, focusImage, this);
}

void CAView::clearFocus()
{
    focusImage = -1;
    focusWord = -1;
    focusOnImage = true;
    m_labelling.clearFound();
    update();
}

bool CAView::event(QEvent *e)
{
    if (e->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(e);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            stepFocus(key->key() == Qt::Key_Tab ? 1 : -1);
            return true;
        }
    }
    return QWidget::event(e);
}

void CAView::drawFound(QPainter *painter)
{
    if (!data)
        return;
    painter->save();
    // Hidden found points get a hollow grey mark: shown, but not as drawn.
    painter->setPen(QPen(Qt::darkGray, 1.5, Qt::DashLine));
    painter->setBrush(Qt::NoBrush);
    if (m_labelling.forcedImage() >= 0 && m_labelling.forcedImage() < data->nbImages) {
        const QPoint p = imagePosition(m_labelling.forcedImage());
        painter->drawEllipse(p, 5, 5);
    }
    if (m_labelling.forcedWord() >= 0 && m_labelling.forcedWord() < data->nbWords) {
        const QPoint p = wordPosition(m_labelling.forcedWord());
        painter->drawRect(p.x() - 5, p.y() - 5, 10, 10);
    }
    painter->restore();
}
