#ifndef POINTLAYER_H
#define POINTLAYER_H

#include "index/rtree.h"
#include "map/markshape.h"
#include "map/maptransform.h"
#include "map/pointfamily.h"

#include <QColor>
#include <QFuture>
#include <QPointF>
#include <QRect>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

class CAData;
class QImage;
class QPainter;
class QPolygonF;

// What the information card shows of one point.
struct PointCard
{
    QString title;
    QString topicsPrefix; // second line, followed by the number of topics
    std::vector<double> coords; // stored coordinate on each axis in use
    double mass = 0;
    const double *lambda = nullptr;
    double mean = 0; // mean contribution
    int thresholdFactor = 0;
    // False for a point that took no part in the axes: the card says so in
    // place of a count of topics.
    bool contributes = true;
};

// One family of map points (images, words, ...) as the map shows it: which
// points pass the threshold and the category switches, their marks on the
// canvas and in exported figures, the index behind hovering, the hit test,
// the selection by outline, the card and the rows of the point table. Every
// family is an instance of this class with its own PointFamily.
class PointLayer
{
public:
    // How the points are to be drawn, set by the view before a rebuild.
    struct Style
    {
        bool visible = true; // the layer's switch
        int thresholdFactor = 2; // a multiple of the mean contribution
        // Per point: its entry in the colour and hidden tables below (the
        // view's category list); empty when points are not by category.
        const std::vector<int> *slot = nullptr;
        std::vector<QRgb> slotColour;
        std::vector<quint8> slotHidden;
    };

    explicit PointLayer(const PointFamily &family);
    ~PointLayer();
    PointLayer(const PointLayer &) = delete;
    PointLayer &operator=(const PointLayer &) = delete;

    const PointFamily &family() const { return *m_family; }
    const MarkShape &mark() const { return m_mark; }
    void setStyle(const Style &style) { m_style = style; }
    const Style &style() const { return m_style; }

    int count(const CAData &data) const { return m_family->count(data); }
    // Map position of point i on the transform's axes, in its projection.
    QPointF position(const CAData &data, const MapTransform &t, int i) const;
    // Widget pixel the point is drawn at.
    QPoint widgetPixel(const CAData &data, const MapTransform &t, int i) const
    {
        const QPointF p = position(data, t, i);
        return t.widgetPixel(p.x(), p.y());
    }
    // Contribution of point i to `axis` (stored coordinates, never rescaled).
    double contribution(const CAData &data, int i, int axis) const;
    // The threshold as a contribution: the factor times the mean 1/count.
    double threshold(const CAData &data) const;
    // Whether point i passes the threshold on the two shown axes and its
    // category is not hidden: it is drawn while the layer is visible, and
    // selectable whether visible or not.
    bool candidate(const CAData &data, const MapTransform &t, int i) const;

    // Decides which points are drawn and stamps them into the canvas.
    void draw(const CAData &data, const MapTransform &t, QImage &canvas);
    bool drawn(int i) const { return i >= 0 && std::size_t(i) < m_drawn.size() && m_drawn[std::size_t(i)]; }
    int shown() const { return m_shown; }
    // The colour point i is drawn in.
    QColor colour(int i) const;

    // Rebuilds the index when the data, the axes or the family's projection
    // changed since it was built; a zoom, a pan or a threshold never does.
    // The positions are taken here; the tree is built on another thread
    // while the map is painted, and the first query waits for it.
    void updateIndex(const CAData &data, const MapTransform &t);
    // Drawn points whose canvas pixel lies within r canvas pixels of (cx, cy),
    // in index order.
    void find(std::vector<int> &out, const CAData &data, const MapTransform &t, double cx,
              double cy, double r) const;
    // Candidates whose widget pixel lies inside `outline` (even-odd), ascending.
    void select(QVector<int> &out, const CAData &data, const MapTransform &t,
                const QPolygonF &outline) const;
    // Points inside `outline` that would be candidates but for the
    // threshold: what an outline leaves behind, for the user to be told.
    int belowThreshold(const CAData &data, const MapTransform &t, const QPolygonF &outline) const;

    // Paints the drawn marks that fall within `window` (widget pixels) as
    // one vector path each; returns how many.
    int paintMarks(QPainter &painter, const CAData &data, const MapTransform &t,
                   const QRect &window) const;

    PointCard card(const CAData &data, int i) const;
    // Point table row: kind, index, the family's fields, the coordinates on
    // the `axes` axes in use, mass, quality and contribution on the two shown
    // axes, drawn.
    QStringList tableRow(const CAData &data, int i, int axes, int axis1, int axis2) const;

    // The index in map units, vertical axis down (tests, benchmarks).
    const RTree &index() const
    {
        waitForIndex();
        return *m_index;
    }

private:
    // Usable (finite, with mass) and of a category not hidden.
    bool admitted(const CAData &data, int i) const;
    // Passes the threshold on the two shown axes (always, for a family
    // that took no part in the axes).
    bool reachesThreshold(const CAData &data, const MapTransform &t, int i) const;
    // The admitted points inside `outline` (even-odd, at their widget
    // pixels) that reach the threshold, or with `reaching` false those it
    // leaves out: appended to `out` when given, counted.
    int inside(const CAData &data, const MapTransform &t, const QPolygonF &outline, bool reaching,
               QVector<int> *out) const;

    const PointFamily *m_family;
    MarkShape m_mark;
    Style m_style;
    std::vector<quint8> m_drawn;
    int m_shown = 0;
    void waitForIndex() const { m_building.waitForFinished(); }
    std::unique_ptr<RTree> m_index;
    mutable QFuture<void> m_building;
    const CAData *m_indexData = nullptr;
    int m_indexKey[3] = {-1, -1, -1};
    mutable std::vector<int> m_candidates;
};

#endif // POINTLAYER_H
