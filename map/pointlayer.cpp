#include "map/pointlayer.h"

#include "data/model/cadata.h"
#include "data/statistics/contributions.h"
#include "data/formats/csvwriter.h"
#include "map/pnpoly.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPolygonF>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

PointLayer::PointLayer(const PointFamily &family)
    : m_family(&family), m_mark(family.mark), m_index(std::make_unique<RTree>())
{
}

PointLayer::~PointLayer()
{
    waitForIndex();
}

QPointF PointLayer::position(const CAData &data, const MapTransform &t, int i) const
{
    const double *c = m_family->row(data, i);
    return QPointF(c[t.axis1] * t.projectionFactor(data, t.axis1, m_family->rescaledInMode),
                   c[t.axis2] * t.projectionFactor(data, t.axis2, m_family->rescaledInMode));
}

double PointLayer::contribution(const CAData &data, int i, int axis) const
{
    return Contributions::contribution(m_family->mass(data, i), m_family->row(data, i)[axis],
                                       data.lambda[axis]);
}

double PointLayer::threshold(const CAData &data) const
{
    return double(m_style.thresholdFactor) / count(data);
}

bool PointLayer::admitted(const CAData &data, int i) const
{
    if (m_family->usable && !m_family->usable(data, i))
        return false;
    return !(m_style.slot && m_style.slotHidden[std::size_t((*m_style.slot)[std::size_t(i)])]);
}

bool PointLayer::reachesThreshold(const CAData &data, const MapTransform &t, int i) const
{
    return !m_family->thresholded ||
           Contributions::reaches(threshold(data), contribution(data, i, t.axis1), contribution(data, i, t.axis2));
}

bool PointLayer::candidate(const CAData &data, const MapTransform &t, int i) const
{
    return admitted(data, i) && reachesThreshold(data, t, i);
}

void PointLayer::draw(const CAData &data, const MapTransform &t, QImage &canvas)
{
    const int n = std::max(0, count(data));
    m_drawn.assign(std::size_t(n), 0);
    m_shown = 0;
    if (!m_style.visible)
        return;
    const QRgb single = m_family->colour.rgb();
    const bool byCategory = m_style.slot != nullptr;
    // The loop runs over every point of the analysis at each rebuild: the
    // per-axis factors are taken out of it.
    const int a1 = t.axis1, a2 = t.axis2;
    const double l1 = data.lambda[a1], l2 = data.lambda[a2];
    const double f1 = t.projectionFactor(data, a1, m_family->rescaledInMode);
    const double f2 = t.projectionFactor(data, a2, m_family->rescaledInMode);
    const bool thresholded = m_family->thresholded;
    const double th = threshold(data);
    const auto usable = m_family->usable;
    for (int i = 0; i < n; ++i) {
        // Values the loader found unusable (not finite, no mass) give no point.
        if (usable && !usable(data, i))
            continue;
        const double *c = m_family->row(data, i);
        if (thresholded) {
            const double m = m_family->mass(data, i);
            if (!Contributions::reaches(th, Contributions::contribution(m, c[a1], l1),
                                        Contributions::contribution(m, c[a2], l2)))
                continue;
        }
        QRgb colour = single;
        if (byCategory) {
            const std::size_t k = std::size_t((*m_style.slot)[std::size_t(i)]);
            if (m_style.slotHidden[k])
                continue;
            colour = m_style.slotColour[k];
        }
        const QPoint p = t.canvasPixel(c[a1] * f1, c[a2] * f2);
        m_mark.stamp(canvas, p.x(), p.y(), colour);
        m_drawn[std::size_t(i)] = 1;
        ++m_shown;
    }
}

QColor PointLayer::colour(int i) const
{
    if (!m_style.slot || i < 0 || std::size_t(i) >= m_style.slot->size())
        return m_family->colour;
    return QColor(m_style.slotColour[std::size_t((*m_style.slot)[std::size_t(i)])]);
}

void PointLayer::updateIndex(const CAData &data, const MapTransform &t)
{
    // A new analysis invalidates the index, even at the same address.
    if (m_indexData != &data) {
        m_indexData = &data;
        m_indexKey[0] = -1;
    }
    const int key[3] = {t.axis1, t.axis2, t.projectionMode == m_family->rescaledInMode};
    if (std::equal(key, key + 3, m_indexKey))
        return;
    // Map units with the vertical axis pointing down like canvas rows, so
    // that the tree splits (and reports) the way a tree over pixels would.
    // The positions are read from the data now (the data may go once this
    // returns); only the tree is built in the background.
    waitForIndex();
    const int n = count(data);
    const double f1 = t.projectionFactor(data, t.axis1, m_family->rescaledInMode);
    const double f2 = t.projectionFactor(data, t.axis2, m_family->rescaledInMode);
    std::vector<Point> points;
    points.reserve(std::size_t(std::max(0, n)));
    for (int i = 0; i < n; ++i) {
        const double *c = m_family->row(data, i);
        const double x = c[t.axis1] * f1, y = c[t.axis2] * f2;
        if (std::isfinite(x) && std::isfinite(y))
            points.emplace_back(x, -y, i);
    }
    RTree *tree = m_index.get();
    tree->beginSetData();
    m_building = QtConcurrent::run([tree, points = std::move(points)] {
        for (const Point &p : points)
            tree->addPoint(p);
        tree->endSetData();
    });
    std::copy(key, key + 3, m_indexKey);
}

void PointLayer::find(std::vector<int> &out, const CAData &data, const MapTransform &t, double cx,
                      double cy, double r) const
{
    if (r < 0)
        return;
    // The cursor mapped back to map units; the index answers a slightly
    // wider circle (truncation moves a mark by less than a pixel on each
    // axis), and the exact test is made on the pixels the marks are drawn at.
    waitForIndex();
    m_candidates.clear();
    const QPointF m = t.mapFromCanvas(QPointF(cx, cy));
    m_index->find(m_candidates, m.x(), -m.y(), (r + 1.5) / t.scale);
    const double r2 = r * r;
    for (const int i : m_candidates) {
        if (!drawn(i))
            continue;
        const QPointF p = position(data, t, i);
        const QPoint px = t.canvasPixel(p.x(), p.y());
        const double dx = px.x() - cx, dy = px.y() - cy;
        if (dx * dx + dy * dy <= r2)
            out.push_back(i);
    }
}

void PointLayer::select(QVector<int> &out, const CAData &data, const MapTransform &t,
                        const QPolygonF &outline) const
{
    inside(data, t, outline, true, &out);
}

int PointLayer::belowThreshold(const CAData &data, const MapTransform &t, const QPolygonF &outline) const
{
    return m_family->thresholded ? inside(data, t, outline, false, nullptr) : 0;
}

int PointLayer::inside(const CAData &data, const MapTransform &t, const QPolygonF &outline,
                       bool reaching, QVector<int> *out) const
{
    // The even-odd test can only answer 1 inside the outline's bounding box,
    // so the box check saves walking the outline for most points. Points are
    // tested where they are drawn on screen, so the pan and the widget
    // placement count.
    const QRectF box = outline.boundingRect();
    const int n = count(data);
    int found = 0;
    for (int i = 0; i < n; ++i) {
        if (!admitted(data, i) || reachesThreshold(data, t, i) != reaching)
            continue;
        const QPoint p = widgetPixel(data, t, i);
        const float x = float(p.x());
        const float y = float(p.y());
        if (x < box.left() || x > box.right() || y < box.top() || y > box.bottom())
            continue;
        if (pnpoly(outline, x, y) == 1) {
            ++found;
            if (out)
                out->append(i);
        }
    }
    return found;
}

int PointLayer::paintMarks(QPainter &painter, const CAData &data, const MapTransform &t,
                           const QRect &window) const
{
    // A mark is drawn where the screen draws it: on the canvas (or just
    // beside it) and inside the window.
    const QRect canvas = QRect(0, 0, t.mapWidth, t.mapHeight).adjusted(-7, -7, 8, 8);
    const QRect inside = window.adjusted(-2, -2, 3, 3);
    int marks = 0;
    const int n = count(data);
    // Pixels without smoothing (a picture at the screen's own scale): the
    // rasteriser fills a 4-pixel ellipse path as a lopsided blob, so the
    // marks are drawn as the screen stamps them. Figures keep one path per
    // mark.
    const bool asScreen = !painter.testRenderHint(QPainter::Antialiasing) && painter.paintEngine()
                          && painter.paintEngine()->type() == QPaintEngine::Raster;
    for (int i = 0; i < n; ++i) {
        if (!drawn(i))
            continue;
        const QPointF m = position(data, t, i);
        const QPoint c = t.canvasPixel(m.x(), m.y());
        if (!canvas.contains(c))
            continue;
        const QPoint w = c + t.canvasTopLeft();
        if (!inside.contains(w))
            continue;
        painter.setPen(QPen(colour(i), 1));
        if (asScreen)
            m_mark.paint(painter, w.x(), w.y());
        else
            painter.drawPath(m_mark.path(w.x(), w.y()));
        ++marks;
    }
    return marks;
}

PointCard PointLayer::card(const CAData &data, int i) const
{
    PointCard s;
    s.title = m_family->cardTitle(data, i);
    s.topicsPrefix = m_family->cardTopicsPrefix(data, i);
    const double *c = m_family->row(data, i);
    s.coords.assign(c, c + std::max(0, data.nbAxis));
    s.mass = m_family->mass(data, i);
    s.lambda = data.lambda.get();
    s.mean = 1.0 / count(data);
    s.thresholdFactor = m_style.thresholdFactor;
    s.contributes = m_family->thresholded;
    return s;
}

QStringList PointLayer::tableRow(const CAData &data, int i, int axes, int axis1, int axis2) const
{
    QStringList row{m_family->kind, QString::number(i)};
    row << m_family->tableFields(data, i);
    const double *c = m_family->row(data, i);
    for (int a = 0; a < axes; ++a)
        row << CsvWriter::number(c[a]);
    const double m = m_family->mass(data, i);
    // A point that took no part in the axes has neither mass nor
    // contribution in this analysis: those cells stay empty.
    const bool active = m_family->thresholded;
    row << (active ? CsvWriter::number(m) : QString())
        << CsvWriter::number(Contributions::quality(c, axes, axis1))
        << CsvWriter::number(Contributions::quality(c, axes, axis2))
        << (active ? CsvWriter::number(Contributions::contribution(m, c[axis1], data.lambda[axis1])) : QString())
        << (active ? CsvWriter::number(Contributions::contribution(m, c[axis2], data.lambda[axis2])) : QString())
        << (drawn(i) ? QStringLiteral("yes") : QStringLiteral("no"));
    return row;
}
