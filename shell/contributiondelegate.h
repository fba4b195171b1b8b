#ifndef CONTRIBUTIONDELEGATE_H
#define CONTRIBUTIONDELEGATE_H

#include <QStyledItemDelegate>

// Draws a contribution as a bar behind its text, with a dashed line at the
// mean contribution of the point's family, as contribution charts mark it:
// points whose bar passes the line contribute more than an average point.
class ContributionDelegate : public QStyledItemDelegate
{
public:
    enum Role { ValueRole = Qt::UserRole + 10, MaxRole, MeanRole };

    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

#endif // CONTRIBUTIONDELEGATE_H
