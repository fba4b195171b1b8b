#ifndef MAPEXPORTER_H
#define MAPEXPORTER_H

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

class CAView;
class QPainter;
struct MapTransform;

// The map as a figure: what the view shows in its window (axes and their
// titles, the image and word points that pass the thresholds on the layers
// shown, the selection outline while it is drawn, the labels of found
// points), painted as vectors so
// that an enlarged PNG stays sharp and an SVG holds one mark per point. The
// hover overlays (neighbourhood, lens, thumbnails, card) follow the mouse and
// are left out.
class MapExporter
{
public:
    explicit MapExporter(const CAView &view);

    // A legend drawn in a corner of the figure, one line per entry (the
    // named groups and the categories shown, with their colours); none when
    // empty. The exporter starts with the view's own legend (legendOf). It
    // goes top right unless another corner hides fewer marks and no axis
    // title (top left, bottom right, bottom left, in that order).
    struct LegendEntry
    {
        QColor colour;
        QString text;
    };
    void setLegend(const QList<LegendEntry> &entries) { m_legend = entries; }
    // The categories the view shows in colour, in legend order; empty while
    // images are drawn in the single colour.
    static QList<LegendEntry> legendOf(const CAView &view);
    // The key of the marks above the categories (drawn with them): one line per point family
    // shown, its mark and how many of its points the figure draws
    // ("Images: 594 of 3044", "Words: 190 of 1200").
    struct KeyEntry
    {
        int layer = 0;
        QColor colour;
        QString text;
    };
    static QList<KeyEntry> keyOf(const CAView &view);

    struct Marks
    {
        int images = 0;
        int words = 0;
        int others = 0; // points of any further family
        QRect legend; // where the legend went; null without one
    };

    // Paints into a device that covers the view's rectangle (scale the
    // painter for a larger device). Returns how many marks were drawn.
    Marks paint(QPainter &painter) const;

    QImage image(int factor) const;
    QByteArray svg() const;

    // PNG at `factor` times the view's size, or SVG; written atomically.
    bool writePng(const QString &path, int factor, bool replace, QString *error) const;
    bool writeSvg(const QString &path, bool replace, QString *error) const;

    // Title of a map axis: its number from 1 and its share of the inertia.
    static QString axisTitle(const CAView &view, int axis);

private:
    QRect paintLegend(QPainter &painter, const MapTransform &t, const QRect &horizontalTitle,
                      const QRect &verticalTitle) const;

    const CAView &m_view;
    QList<LegendEntry> m_legend;
};

#endif // MAPEXPORTER_H
