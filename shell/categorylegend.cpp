#include "shell/categorylegend.h"

#include "data/model/cadata.h"
#include "map/caview.h"
#include "map/pointfamily.h"

#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

// A swatch drawn like the map's mark, on white, so that the legend reads as
// the map does.
QIcon swatch(const QColor &colour)
{
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.fillRect(QRect(2, 2, 10, 10), colour);
    painter.setPen(QColor(120, 120, 120));
    painter.drawRect(QRect(2, 2, 9, 9));
    return QIcon(pixmap);
}

// The supplementary images' entry: a hollow diamond, as on the map.
QIcon diamondSwatch(const QColor &colour)
{
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 1.5));
    const QPointF corners[4] = {QPointF(7, 2), QPointF(12, 7), QPointF(7, 12), QPointF(2, 7)};
    painter.drawPolygon(corners, 4);
    return QIcon(pixmap);
}

// Marks the supplementary images' entry among the categories.
constexpr int kSupplementaryRole = Qt::UserRole + 1;

} // namespace

CategoryLegend::CategoryLegend(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_empty = new QLabel(tr("No categories: the project has no image list."));
    m_empty->setWordWrap(true);
    list = new QListWidget;
    list->setSelectionMode(QAbstractItemView::NoSelection);
    layout->addWidget(m_empty);
    layout->addWidget(list);
    connect(list, &QListWidget::itemChanged, this, &CategoryLegend::itemChanged);
    list->viewport()->installEventFilter(this);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QListWidget::customContextMenuRequested, this, &CategoryLegend::contextMenu);
    setView(nullptr);
}

void CategoryLegend::addSwitch(QAction *action)
{
    auto *button = new QToolButton;
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    static_cast<QVBoxLayout *>(layout())->insertWidget(0, button);
}

void CategoryLegend::setView(CAView *view)
{
    const QVector<int> categories = view ? view->categoryList() : QVector<int>();
    const int sups = view && view->data ? view->supImageCount() : 0;
    const bool any = view && view->data && (!categories.isEmpty() || sups > 0);
    const int items = int(categories.size()) + (sups > 0 ? 1 : 0);
    m_filling = true;
    if (view == m_view && view && view->data == m_data && list->count() == items) {
        // Same list: only checks and colours follow (the items stay, so an
        // item whose check started this change is never deleted under it).
        const QSet<int> hidden = view->hiddenCategorySet();
        const bool coloured = view->categoryColoursOn();
        for (int k = 0; k < list->count(); ++k) {
            QListWidgetItem *item = list->item(k);
            item->setCheckState(hidden.contains(categories.at(k)) ? Qt::Unchecked : Qt::Checked);
            if (k < categories.size())
                item->setIcon(swatch(coloured ? view->categoryColourAt(k) : QColor(Qt::red)));
            else
                item->setCheckState(view->supImagePointsShown() ? Qt::Checked : Qt::Unchecked);
        }
        m_filling = false;
        return;
    }
    m_view = view;
    m_data = view ? view->data : nullptr;
    list->clear();
    m_empty->setVisible(view && view->data && !any);
    list->setVisible(any);
    if (any) {
        const QVector<int> &counts = view->categoryCountList();
        const QSet<int> hidden = view->hiddenCategorySet();
        const bool coloured = view->categoryColoursOn();
        for (int k = 0; k < categories.size(); ++k) {
            const int category = categories.at(k);
            const QString name = view->data->categoryName(category);
            // A category only supplementary images have counts no image of
            // the analysis: said as such rather than as an empty one.
            const bool supOnly = counts.at(k) == 0;
            auto *item = new QListWidgetItem(
                supOnly ? tr("%1  (supplementary images only)").arg(name)
                        : QStringLiteral("%1  (%2)").arg(name).arg(counts.at(k)));
            item->setIcon(swatch(coloured ? view->categoryColourAt(k) : QColor(Qt::red)));
            item->setData(Qt::UserRole, category);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            item->setCheckState(hidden.contains(category) ? Qt::Unchecked : Qt::Checked);
            // Named as the list names it; a category without a name by its number.
            const QString title = view->data->categoryNames.contains(category) ? name
                                                                               : tr("Category %1").arg(name);
            item->setToolTip(supOnly ? tr("%1: no image of the analysis, only supplementary images "
                                          "(hollow diamonds)").arg(title)
                                     : tr("%1: %2 of the %3 images of the analysis")
                                           .arg(title).arg(counts.at(k)).arg(view->data->nbImages));
            list->addItem(item);
        }
        // The images placed without taking part in the axes, with their
        // own switch; by category like the others, and also outside them.
        if (sups > 0) {
            auto *item = new QListWidgetItem(tr("Supplementary images  (%1)").arg(sups));
            item->setIcon(diamondSwatch(PointFamily::supplementaryImages().colour));
            item->setData(kSupplementaryRole, true);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            item->setCheckState(view->supImagePointsShown() ? Qt::Checked : Qt::Unchecked);
            item->setToolTip(tr("%1 images placed on the axes without taking part in them "
                                "(hollow diamonds); they never count toward the thresholds")
                                 .arg(sups));
            list->addItem(item);
        }
    }
    m_filling = false;
}

void CategoryLegend::itemChanged(QListWidgetItem *item)
{
    if (m_filling || !m_view)
        return;
    if (item->data(kSupplementaryRole).toBool()) {
        m_view->showHideSupImagePoint(item->checkState() == Qt::Checked);
        return;
    }
    const int category = item->data(Qt::UserRole).toInt();
    // The view rebuilds its layer and tells the panels, which refill this
    // list: keep the item's pointer out of use from here on.
    m_view->setCategoryHidden(category, item->checkState() != Qt::Checked);
}

void CategoryLegend::contextMenu(const QPoint &pos)
{
    QListWidgetItem *item = list->itemAt(pos);
    if (!item)
        return;
    const int category = item->data(Qt::UserRole).toInt();
    QMenu menu(this);
    connect(menu.addAction(tr("What sets this category apart")), &QAction::triggered, this,
            [this, category] { emit describeRequested(category); });
    menu.exec(list->viewport()->mapToGlobal(pos));
}

QString CategoryLegend::toolTipFor(int row) const
{
    QListWidgetItem *item = row >= 0 && row < list->count() ? list->item(row) : nullptr;
    if (!item)
        return QString();
    const QString base = item->toolTip();
    if (!m_view || !m_view->data || item->data(kSupplementaryRole).toBool() || row >= m_view->categoryList().size())
        return base;
    const CategoryAgreement::Share s = m_view->categoryAgreement(row);
    if (s.measured == 0 || s.images < 2)
        return base;
    // Paragraphs, so that the tooltip wraps instead of running across the
    // screen.
    QString text = QStringLiteral("<p>%1</p><p>").arg(base.toHtmlEscaped())
                   + tr("On axes %1 and %2 as drawn, %3\u00A0% of each image's 10 nearest images are in this "
                        "category too, on average (%4\u00A0% were the images placed at random).")
                         .arg(m_view->axis1 + 1)
                         .arg(m_view->axis2 + 1)
                         .arg(QString::number(100.0 * s.alike, 'f', 0), QString::number(100.0 * s.chance, 'f', 0));
    if (s.measured < s.images)
        text += QLatin1Char(' ') + tr("Measured on %1 of its %2 images.").arg(s.measured).arg(s.images);
    return text + QStringLiteral("</p>");
}

bool CategoryLegend::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == list->viewport() && event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        QListWidgetItem *item = list->itemAt(help->pos());
        if (!item) {
            QToolTip::hideText();
            return true;
        }
        QToolTip::showText(help->globalPos(), toolTipFor(list->row(item)), list->viewport(),
                           list->visualItemRect(item));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
