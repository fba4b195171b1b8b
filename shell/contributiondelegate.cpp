#include "shell/contributiondelegate.h"

#include <QPainter>

void ContributionDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    const QVariant value = index.data(ValueRole);
    const double max = index.data(MaxRole).toDouble();
    if (value.isValid() && max > 0) {
        const QRect r = option.rect.adjusted(2, 3, -2, -3);
        const double v = std::min(1.0, value.toDouble() / max);
        painter->save();
        painter->fillRect(QRect(r.left(), r.top(), int(v * r.width()), r.height()), QColor(120, 160, 220, 110));
        const double mean = index.data(MeanRole).toDouble();
        if (mean > 0 && mean <= max) {
            const int x = r.left() + int(mean / max * r.width());
            painter->setPen(QPen(QColor(200, 30, 30), 1, Qt::DashLine));
            painter->drawLine(x, option.rect.top(), x, option.rect.bottom());
        }
        painter->restore();
    }
    QStyledItemDelegate::paint(painter, option, index);
}
