#include "map/maplabels.h"

#include "data/model/cadata.h"
#include "map/caview.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

// Room between a point and its label, and around the text in its box.
constexpr int kGap = 6;
constexpr int kPad = 2;

} // namespace

QVector<MapLabels::Placed> MapLabels::place(const QVector<Label> &labels,
                                            const QFontMetrics &metrics, const QRect &bounds)
{
    QVector<Placed> placed;
    for (const Label &l : labels) {
        if (l.text.isEmpty())
            continue;
        const QSize size(metrics.horizontalAdvance(l.text) + 2 * kPad, metrics.height() + 2 * kPad);
        const QPoint a = l.anchor;
        const QRect spots[] = {
            QRect(QPoint(a.x() + kGap, a.y() - size.height() / 2), size),
            QRect(QPoint(a.x() - kGap - size.width(), a.y() - size.height() / 2), size),
            QRect(QPoint(a.x() - size.width() / 2, a.y() - kGap - size.height()), size),
            QRect(QPoint(a.x() - size.width() / 2, a.y() + kGap), size),
        };
        for (const QRect &spot : spots) {
            if (!bounds.contains(spot))
                continue;
            bool free = true;
            for (const Placed &p : std::as_const(placed))
                if (p.box.intersects(spot)) {
                    free = false;
                    break;
                }
            if (free) {
                placed.append({a, spot, l.text});
                break;
            }
        }
    }
    return placed;
}

QFont MapLabels::font()
{
    QFont f;
    f.setPointSizeF(9);
    return f;
}

void MapLabels::paintView(QPainter &painter, const CAView &view)
{
    const QFont f = font();
    const QVector<Placed> placed = place(of(view), QFontMetrics(f), view.rect());
    if (placed.isEmpty())
        return;
    painter.save();
    painter.setFont(f);
    paint(painter, placed);
    painter.restore();
}

void MapLabels::paint(QPainter &painter, const QVector<Placed> &placed)
{
    painter.save();
    for (const Placed &p : placed) {
        painter.setPen(QPen(QColor(0, 0, 0, 120), 1));
        const QPoint edge(p.box.center().x() < p.anchor.x() ? p.box.right() : p.box.left(),
                          p.box.center().y());
        painter.drawLine(p.anchor, edge);
        painter.setBrush(QColor(255, 255, 225, 230));
        painter.drawRect(p.box.adjusted(0, 0, -1, -1));
        painter.setPen(Qt::black);
        painter.drawText(p.box, Qt::AlignCenter, p.text);
    }
    painter.restore();
}

QString MapLabels::imageText(const CAView &view, int image)
{
    const CAData *d = view.data;
    if (!d || image < 0 || image >= d->nbImages)
        return QString();
    if (view.labelling().column() == CAView::LabelNumber || !d->labels)
        return QStringLiteral("#%1").arg(d->collectionNumber(image));
    if (view.labelling().column() == CAView::LabelCategory)
        return d->categoryName(d->labels[image].category);
    const QString &path = d->labels[image].imageFile;
    const int slash = int(std::max(path.lastIndexOf(QLatin1Char('/')),
                                   path.lastIndexOf(QLatin1Char('\\'))));
    return path.mid(slash + 1);
}

QVector<MapLabels::Label> MapLabels::of(const CAView &view)
{
    QVector<Label> labels;
    const CAData *d = view.data;
    if (!d)
        return labels;
    const bool found = view.labelling().sources() & CAView::LabelFound;
    for (int i : found ? view.labelling().foundImages() : QVector<int>()) {
        QString text = imageText(view, i);
        if (i == view.labelling().forcedImage())
            text += QStringLiteral(" (hidden)");
        labels.append({view.imagePosition(i), text});
    }
    for (int j : found ? view.labelling().foundWords() : QVector<int>()) {
        if (j < 0 || j >= d->nbWords)
            continue;
        QString text = QStringLiteral("word %1").arg(d->wordLabel(j));
        if (j == view.labelling().forcedWord())
            text += QStringLiteral(" (hidden)");
        labels.append({view.wordPosition(j), text});
    }
    if ((view.labelling().sources() & CAView::LabelSelection) && (view.mode & CAView::ModeSelection)) {
        for (int i : view.selectedImages)
            labels.append({view.imagePosition(i), imageText(view, i)});
    }
    if (view.labelling().sources() & CAView::LabelGroups) {
        for (const NamedGroup &g : view.groups())
            if (g.visible)
                for (int i : g.images)
                    if (view.imageDrawn(i))
                        labels.append({view.imagePosition(i), imageText(view, i)});
    }
    if ((view.labelling().sources() & CAView::LabelFocus) && view.focusOnImage && view.focusImage >= 0 && view.focusImage < d->nbImages
        && !(found && view.labelling().foundImages().contains(view.focusImage)))
        labels.append({view.imagePosition(view.focusImage), imageText(view, view.focusImage)});
    return labels;
}
