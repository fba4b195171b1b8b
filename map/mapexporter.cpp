#include "map/mapexporter.h"

#include "data/formats/atomicfile.h"
#include "data/model/cadata.h"
#include "data/statistics/inertiashares.h"
#include "map/axistitles.h"
#include "map/caview.h"
#include "map/maplabels.h"
#include "map/extentoverlay.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The corner of the figure where a legend of `size` hides the fewest drawn
// marks, and no axis title: top right unless another corner is better, so
// that a legend never sits on a cloud that fills one corner while another
// is empty.
QRect legendCorner(const CAView &v, const MapTransform &t, const QSize &size, int line,
                   const QRect &horizontalTitle, const QRect &verticalTitle)
{
    const int W = v.width();
    const int H = v.height();
    const int right = std::max(0, W - size.width() - 8);
    const int bottom = std::max(0, H - size.height() - 8 - line);
    const QRect corners[] = {QRect(QPoint(right, 8 + line), size), QRect(QPoint(8, 8 + line), size),
                             QRect(QPoint(right, bottom), size), QRect(QPoint(8, bottom), size)};
    constexpr int kCorners = 4;
    qint64 hidden[kCorners] = {};
    for (int k = 0; k < kCorners; ++k)
        if (corners[k].intersects(horizontalTitle) || corners[k].intersects(verticalTitle))
            hidden[k] = std::numeric_limits<qint64>::max() / 2;
    if (v.data)
        for (int id : v.paintOrder()) {
            const PointLayer &layer = v.layer(id);
            const int n = layer.count(*v.data);
            for (int i = 0; i < n; ++i) {
                if (!layer.drawn(i))
                    continue;
                const QPoint p = layer.widgetPixel(*v.data, t, i);
                for (int k = 0; k < kCorners; ++k)
                    hidden[k] += corners[k].adjusted(-3, -3, 3, 3).contains(p);
            }
        }
    return corners[std::min_element(hidden, hidden + kCorners) - hidden];
}

} // namespace

MapExporter::MapExporter(const CAView &view) : m_view(view), m_legend(legendOf(view)) {}

QList<MapExporter::LegendEntry> MapExporter::legendOf(const CAView &view)
{
    // Colours only mean something while images are coloured by category;
    // a hidden category has no mark in the figure, so no line either.
    QList<LegendEntry> entries;
    if (!view.data)
        return entries;
    // The named groups shown, by their ring colour, whatever the colouring.
    for (const NamedGroup &g : view.groups())
        if (g.visible)
            entries.append({g.colour, QObject::tr("%1 (group: %2 images, %3 words)")
                                          .arg(g.name)
                                          .arg(g.images.size())
                                          .arg(g.words.size())});
    if (!view.categoryColoursOn())
        return entries;
    const QVector<int> &categories = view.categoryList();
    const QSet<int> hidden = view.hiddenCategorySet();
    for (int k = 0; k < categories.size(); ++k) {
        if (!hidden.contains(categories[k]))
            entries.append({view.categoryColourAt(k), view.data->categoryName(categories[k])});
    }
    return entries;
}

QList<MapExporter::KeyEntry> MapExporter::keyOf(const CAView &view)
{
    QList<KeyEntry> key;
    if (!view.data)
        return key;
    const bool byCategory = !legendOf(view).isEmpty();
    for (int id = 0; id < view.layerCount(); ++id) {
        const PointLayer &l = view.layer(id);
        // A family the analysis has no point of (no supplementary images)
        // has nothing to key.
        if (!l.style().visible || l.count(*view.data) == 0)
            continue;
        const QString name = id == CAView::ImageLayer ? QObject::tr("Images")
            : id == CAView::WordLayer                 ? QObject::tr("Words")
                                                      : QObject::tr("Supplementary images");
        // In category colours the key shows the shape only, in grey.
        const QColor colour = byCategory && l.family().byCategory ? QColor(80, 80, 80) : l.family().colour;
        key.append({id, colour, QObject::tr("%1: %2 of %3").arg(name).arg(l.shown()).arg(l.count(*view.data))});
    }
    return key;
}

QString MapExporter::axisTitle(const CAView &view, int axis)
{
    const CAData *d = view.data;
    QString title = QObject::tr("Axis %1").arg(axis + 1);
    if (!d || axis < 0 || axis >= d->nbLambda)
        return title;
    const double l = d->lambda[axis];
    title += QStringLiteral(" (\u03bb = %1").arg(l, 0, 'g', 4);
    const double share = InertiaShares::share(*d, axis);
    if (share > 0) {
        title += QStringLiteral(", ") + InertiaShares::percent(share);
        const QString of = InertiaShares::basis(*d);
        if (!of.isEmpty())
            title += QLatin1Char(' ') + of;
    }
    return title + QLatin1Char(')');
}

MapExporter::Marks MapExporter::paint(QPainter &painter) const
{
    const CAView &v = m_view;
    Marks marks;
    const int W = v.width();
    const int H = v.height();
    painter.fillRect(QRect(0, 0, W, H), Qt::white);
    if (!v.data)
        return marks;
    // The same transform and layers as the screen: a mark is exported where
    // the screen draws it, and only if the screen draws it.
    const MapTransform t = v.mapTransform();
    const QRect canvas = t.canvasRect();

    painter.save();
    painter.setClipRect(QRect(0, 0, W, H));
    painter.setPen(QPen(Qt::gray, 1));
    // The axes cross at the map's origin, wherever the canvas was rendered.
    const QPoint axes = t.widgetOrigin();
    painter.drawLine(QPointF(canvas.left(), axes.y()), QPointF(canvas.left() + v.mapWidth, axes.y()));
    painter.drawLine(QPointF(axes.x(), canvas.top()), QPointF(axes.x(), canvas.top() + v.mapHeight));

    // Each mark is one path, so a drawing program (or a test) finds one
    // element per point.
    painter.setBrush(Qt::NoBrush);
    const QRect window(0, 0, W, H);
    for (int id : v.paintOrder()) {
        const int n = v.layer(id).paintMarks(painter, *v.data, t, window);
        (id == CAView::ImageLayer ? marks.images : id == CAView::WordLayer ? marks.words : marks.others) += n;
    }

    // The far points and the stacks, as the screen counts them.
    const std::vector<MapExtent::Marker> markers = ExtentOverlay::paint(painter, v, window);
    std::vector<QRect> markerBoxes;
    {
        QFont bold = painter.font();
        bold.setBold(true);
        const QFontMetrics metrics(bold);
        for (const MapExtent::Marker &m : markers)
            markerBoxes.push_back(ExtentOverlay::markerBox(m, metrics));
    }

    if ((v.mode & CAView::ModeSelection) && v.polygon.size() > 1) {
        painter.setPen(QPen(QBrush(Qt::black), 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        painter.drawPolyline(v.polygon.constData(), int(v.polygon.size()));
    }

    // Axis titles placed by the screen's own code: on their axes.
    QFont font = painter.font();
    font.setPointSizeF(9);
    painter.setFont(font);
    // Groups as the screen shows them, by the same code, under the titles;
    // the titles clear the edge markers.
    NamedGroup::paint(painter, v);
    const AxisTitles::Boxes titles =
        AxisTitles::paint(painter, t, QSize(W, H), axisTitle(v, v.axis1), axisTitle(v, v.axis2), markerBoxes);
    MapLabels::paintView(painter, v);
    marks.legend = paintLegend(painter, t, titles.horizontal, titles.vertical);
    painter.restore();
    return marks;
}

QRect MapExporter::paintLegend(QPainter &painter, const MapTransform &t, const QRect &horizontalTitle,
                               const QRect &verticalTitle) const
{
    // The key goes with the legend of the categories: a map in the default
    // single colours keeps its default look.
    if (m_legend.isEmpty())
        return QRect();
    const QList<KeyEntry> key = keyOf(m_view);
    const QFontMetrics fm(painter.font());
    const int line = fm.height() + 2;
    int textWidth = 0;
    for (const LegendEntry &e : m_legend)
        textWidth = std::max(textWidth, fm.horizontalAdvance(e.text));
    for (const KeyEntry &e : key)
        textWidth = std::max(textWidth, fm.horizontalAdvance(e.text));
    const int swatch = fm.ascent() - 2;
    const int width = 8 + swatch + 6 + textWidth + 8;
    const int gap = key.isEmpty() ? 0 : 4;
    const int height = 6 + line * int(m_legend.size() + key.size()) + gap + 4;
    const QRect box = legendCorner(m_view, t, QSize(width, height), line, horizontalTitle, verticalTitle);
    painter.setPen(QPen(Qt::gray, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(box);
    int y = box.top() + 6;
    // The marks first: a cross is an image, a circle a word.
    for (const KeyEntry &e : key) {
        const int cx = box.left() + 8 + swatch / 2;
        const int cy = y + line / 2;
        // Lines and an ellipse, not the marks' paths: a drawing program
        // (or a script counting marks) never takes the key for points.
        painter.setPen(QPen(e.colour, 1.5));
        painter.setBrush(Qt::NoBrush);
        const MarkShape::Kind mark = m_view.layer(e.layer).family().mark;
        if (mark == MarkShape::Cross) {
            painter.drawLine(QLineF(cx - 3, cy, cx + 3, cy));
            painter.drawLine(QLineF(cx, cy - 3, cx, cy + 3));
        } else if (mark == MarkShape::Diamond) {
            painter.drawLine(QLineF(cx - 3, cy, cx, cy - 3));
            painter.drawLine(QLineF(cx, cy - 3, cx + 3, cy));
            painter.drawLine(QLineF(cx + 3, cy, cx, cy + 3));
            painter.drawLine(QLineF(cx, cy + 3, cx - 3, cy));
        } else {
            painter.drawEllipse(QPointF(cx, cy), 3, 3);
        }
        painter.setPen(Qt::black);
        painter.drawText(QPointF(box.left() + 8 + swatch + 6, y + fm.ascent() + 1), e.text);
        y += line;
    }
    y += gap;
    for (const LegendEntry &e : m_legend) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(e.colour);
        painter.drawRect(QRect(box.left() + 8, y + (line - swatch) / 2, swatch, swatch));
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        painter.drawText(QPointF(box.left() + 8 + swatch + 6, y + fm.ascent() + 1), e.text);
        y += line;
    }
    return box;
}

QImage MapExporter::image(int factor) const
{
    factor = std::max(1, factor);
    QImage out(m_view.width() * factor, m_view.height() * factor, QImage::Format_RGB32);
    out.setDevicePixelRatio(1);
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::Antialiasing, factor > 1);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(factor, factor);
    paint(painter);
    painter.end();
    return out;
}

QByteArray MapExporter::svg() const
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(m_view.size());
    generator.setResolution(96); // one map pixel is one CSS pixel
    generator.setViewBox(QRect(QPoint(0, 0), m_view.size()));
    generator.setTitle(QStringLiteral("Ortelis map"));
    generator.setDescription(QStringLiteral("%1 \u00d7 %2").arg(axisTitle(m_view, m_view.axis1),
                                                                axisTitle(m_view, m_view.axis2)));
    QPainter painter(&generator);
    paint(painter);
    painter.end();
    return buffer.data();
}

bool MapExporter::writePng(const QString &path, int factor, bool replace, QString *error) const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image(factor).save(&buffer, "PNG")) {
        if (error)
            *error = QStringLiteral("Cannot write '%1': the image could not be encoded.").arg(path);
        return false;
    }
    return AtomicFile::write(path, bytes, replace ? AtomicFile::ReplaceExisting : AtomicFile::KeepExisting,
                             error);
}

bool MapExporter::writeSvg(const QString &path, bool replace, QString *error) const
{
    return AtomicFile::write(path, svg(), replace ? AtomicFile::ReplaceExisting : AtomicFile::KeepExisting,
                             error);
}
