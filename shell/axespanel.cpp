#include "shell/axespanel.h"

#include "data/formats/atomicfile.h"
#include "data/model/cadata.h"
#include "data/statistics/contributions.h"
#include "data/formats/counttable.h"
#include "data/formats/wordatlas.h"
#include "detail/thumbnailcache.h"
#include "map/caview.h"
#include "shell/contributiondelegate.h"
#include "shell/grouppanel.h"
#include "shell/wordkind.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

enum Column { PointColumn, ContributionColumn, Cos2Column, CoordinateColumn, CategoryColumn };
enum ItemRole { FamilyRole = Qt::UserRole, IndexRole };

// Large enough to read a word's patches (3 x 2 of them, some 21 pixels each)
// and a line drawing's thumbnail.
constexpr int ThumbnailBox = 64;

QString percent(double share)
{
    // Two significant digits for the small shares most points have.
    return share >= 0.01 ? QStringLiteral("%1 %").arg(100 * share, 0, 'f', 1)
                         : QStringLiteral("%1 %").arg(100 * share, 0, 'g', 2);
}

} // namespace

AxesPanel::AxesPanel(QWidget *parent) : QWidget(parent), m_thumbnails(std::make_unique<ThumbnailCache>())
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    auto *bar = new QHBoxLayout;
    bar->addWidget(new QLabel(tr("Top")));
    topCount = new QSpinBox;
    topCount->setRange(1, 200);
    topCount->setValue(8);
    topCount->setToolTip(tr("Words and images listed per pole of each axis"));
    bar->addWidget(topCount);
    bar->addStretch();
    auto *copyButton = new QPushButton(tr("Copy"));
    copyButton->setToolTip(tr("Copy the table shown as CSV"));
    auto *exportButton = new QPushButton(tr("Export..."));
    exportButton->setToolTip(tr("Save the table shown as a CSV file"));
    bar->addWidget(copyButton);
    bar->addWidget(exportButton);
    layout->addLayout(bar);
    connect(copyButton, &QPushButton::clicked, this, &AxesPanel::copy);
    connect(exportButton, &QPushButton::clicked, this, &AxesPanel::exportCsv);
    connect(topCount, &QSpinBox::valueChanged, this, [this] { refresh(false); });

    tabs = new QTabWidget;
    auto *axesPage = new QWidget;
    auto *axesLayout = new QVBoxLayout(axesPage);
    axesLayout->setContentsMargins(0, 0, 0, 0);
    note = new QLabel;
    note->setWordWrap(true);
    axesLayout->addWidget(note);
    tree = new QTreeWidget;
    tree->setColumnCount(5);
    tree->setHeaderLabels({tr("Point"), tr("Contribution"), tr("cos\u00B2"), tr("Coordinate"), tr("Category")});
    // Room for a word's mosaic (3 x 2 patches) as well as a square thumbnail.
    tree->setIconSize(QSize(ThumbnailBox * 3 / 2, ThumbnailBox));
    tree->setItemDelegateForColumn(ContributionColumn, new ContributionDelegate(tree));
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree->header()->setMinimumSectionSize(60);
    // Room for the bars whatever the width of their text.
    tree->header()->setSectionResizeMode(ContributionColumn, QHeaderView::Interactive);
    tree->header()->resizeSection(ContributionColumn, 140);
    axesLayout->addWidget(tree);
    connect(tree, &QTreeWidget::itemClicked, this, &AxesPanel::activated);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree, &QTreeWidget::customContextMenuRequested, this, &AxesPanel::rowMenu);
    tabs->addTab(axesPage, tr("Axes"));

    groups = new GroupPanel(&m_tables);
    tabs->addTab(groups, tr("Group"));
    connect(groups, &GroupPanel::wordImagesRequested, this, &AxesPanel::wordImagesRequested);
    connect(groups, &GroupPanel::wordActivated, this, [this](int word) {
        if (m_view && m_view->data)
            m_view->flyTo(CAView::WordLayer, word);
    });
    layout->addWidget(tabs);
    // The table is read on a worker thread the first time the dock shows an
    // analysis; the page says so until it is there.
    connect(&m_tables, &TableStore::ready, this, [this](const CAData *data) {
        if (m_view && m_view->data == data)
            refresh(true);
    });
    connect(&m_tables, &TableStore::progressed, this, [this](int permille) {
        if (m_view && m_view->data && !m_tables.isReady(m_view->data))
            showReading(permille);
    });
    setView(nullptr);
}

AxesPanel::~AxesPanel() = default;

void AxesPanel::setView(CAView *view)
{
    m_view = view;
    groups->setView(view);
    refresh(false);
}

void AxesPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh(false);
}

void AxesPanel::refresh(bool force)
{
    const CAData *data = m_view ? m_view->data : nullptr;
    if (!data) {
        m_shownData = nullptr;
        m_rows.clear();
        tree->clear();
        note->setText(tr("No map."));
        return;
    }
    // The description costs a pass over every point: made only for a visible
    // dock, and again only when what it shows changed.
    if (!isVisible())
        return;
    if (!force && data == m_shownData && m_view->axis1 == m_shownX && m_view->axis2 == m_shownY
        && topCount->value() == m_shownTop)
        return;
    groups->setAtlas(atlases.atlas(data));
    if (!m_tables.request(m_view->data)) {
        m_shownData = nullptr;
        showReading(m_tables.progress());
        return;
    }
    m_shownData = data;
    m_shownX = m_view->axis1;
    m_shownY = m_view->axis2;
    m_shownTop = topCount->value();
    fill();
}

double AxesPanel::poleShare(const AxisDescription &description, int family, int axis, int pole)
{
    double sum = 0;
    for (const AxisDescription::Point &p : description.top(family, axis, pole, description.count(family)))
        sum += p.contribution;
    return sum;
}

QString AxesPanel::axisHeading(int axis, const CountTable *table) const
{
    const CAData *data = m_view->data;
    const double lambda = data->lambda[std::size_t(axis)];
    QString share;
    if (table && table->inertia() > 0) {
        share = tr("%1 of the total inertia").arg(percent(lambda / table->inertia()));
    } else {
        double sum = 0;
        for (int a = 0; a < data->nbLambda; ++a)
            sum += data->lambda[std::size_t(a)];
        share = tr("%1 of the %2 axes computed").arg(percent(sum > 0 ? lambda / sum : 0)).arg(data->nbLambda);
    }
    return tr("Axis %1 \u00B7 eigenvalue %2 \u00B7 %3").arg(axis + 1).arg(lambda, 0, 'g', 4).arg(share);
}

void AxesPanel::fill()
{
    CAData *data = m_view->data;
    const CountTable *table = m_tables.table(data);
    const AxisDescription description(*data, table);
    const QVector<int> axes = m_view->axis1 == m_view->axis2 ? QVector<int>{m_view->axis1}
                                                             : QVector<int>{m_view->axis1, m_view->axis2};
    m_rows = AxisTable::rows(description, axes, topCount->value());
    note->setText(tr("Contribution: share of the axis's inertia; the dashed line marks the mean contribution "
                     "(1/%1 for an image, 1/%2 for a word). Rows in grey contribute less than the mean: they say "
                     "little about the axis. A pole's share is the part of the axis's inertia its words, and "
                     "its images, carry. %3.")
                      .arg(data->nbImages)
                      .arg(data->nbWords)
                      .arg(description.cos2Basis()));
    const WordKind::Counts kinds = WordKind::of(*data);

    tree->clear();
    // One bar scale per pole and family, so the mean line stands at one
    // place down a family's rows (a single far point can hold most of an
    // axis; one scale per axis would flatten the other pole's bars).
    QHash<QPair<int, int>, double> largest;
    auto key = [](const AxisTable::Row &r) { return qMakePair(r.axis * 2 + (r.pole > 0), r.point.family); };
    for (const AxisTable::Row &r : std::as_const(m_rows)) {
        double &m = largest[key(r)];
        m = std::max({m, r.point.contribution, 2 * description.meanContribution(r.point.family)});
    }
    QTreeWidgetItem *section = nullptr;
    QTreeWidgetItem *group = nullptr;
    int sectionAxis = -1, sectionPole = 0, groupFamily = -1;
    for (const AxisTable::Row &r : std::as_const(m_rows)) {
        const AxisDescription::Point &p = r.point;
        if (!section || r.axis != sectionAxis || r.pole != sectionPole) {
            section = new QTreeWidgetItem(tree);
            const QString side = r.axis == m_view->axis1 ? (r.pole < 0 ? tr("left") : tr("right"))
                                                         : (r.pole < 0 ? tr("bottom") : tr("top"));
            section->setText(PointColumn, tr("%1 \u00B7 %2 pole (%3): %4 of the axis from its words, %5 from its images")
                                              .arg(axisHeading(r.axis, table), r.pole < 0 ? QStringLiteral("\u2212")
                                                                                   : QStringLiteral("+"),
                                                   side,
                                                   percent(poleShare(description, AxisDescription::Words, r.axis, r.pole)),
                                                   percent(poleShare(description, AxisDescription::Images, r.axis, r.pole))));
            // The heading runs wider than a narrow dock: whole in its tooltip.
            section->setToolTip(PointColumn, section->text(PointColumn));
            section->setFirstColumnSpanned(true);
            sectionAxis = r.axis;
            sectionPole = r.pole;
            groupFamily = -1;
        }
        if (p.family != groupFamily) {
            // Said at the head of the list when none of it reaches the mean.
            const double mean = description.meanContribution(p.family);
            bool anyAbove = false;
            for (const AxisTable::Row &o : std::as_const(m_rows))
                if (o.axis == r.axis && o.pole == r.pole && o.point.family == p.family && o.point.contribution >= mean)
                    anyAbove = true;
            QString heading = p.family == AxisDescription::Words ? tr("Words") : tr("Images");
            if (!anyAbove)
                heading += p.family == AxisDescription::Words
                               ? tr(" \u2014 none above the mean contribution: this pole is not made by its words")
                               : tr(" \u2014 none above the mean contribution: this pole is not made by its images");
            group = new QTreeWidgetItem(section, {heading});
            group->setFirstColumnSpanned(true);
            groupFamily = p.family;
        }
        auto *item = new QTreeWidgetItem(group);
        item->setData(PointColumn, FamilyRole, p.family);
        item->setData(PointColumn, IndexRole, p.index);
        if (p.family == AxisDescription::Words) {
            const int label = data->wordLabel(p.index);
            const QString name = WordKind::name(kinds, label);
            item->setText(PointColumn, name);
            if (const WordAtlas *atlas = atlases.atlas(data)) {
                const QImage mosaic = atlas->mosaic(label);
                if (!mosaic.isNull()) {
                    // Enlarged whole pixels: the patches are small pictures
                    // to read, not to smooth.
                    const QImage large = mosaic.scaled(tree->iconSize(), Qt::KeepAspectRatio, Qt::FastTransformation);
                    item->setIcon(PointColumn, QIcon(QPixmap::fromImage(large)));
                    item->setToolTip(PointColumn, tr("%1: exemplar patches from the word atlas").arg(name));
                }
            }
        } else {
            item->setText(PointColumn, data->labels ? QStringLiteral("#%1 %2").arg(p.index).arg(data->getImageName(p.index))
                                                    : tr("Image #%1").arg(p.index));
            if (data->labels)
                item->setToolTip(PointColumn, data->labels[std::size_t(p.index)].imageFile);
            if (data->labels) {
                item->setIcon(PointColumn, QIcon(m_thumbnails->square(*data, p.index, ThumbnailBox)));
                item->setText(CategoryColumn, data->categoryName(data->labels[std::size_t(p.index)].category));
            }
        }
        item->setText(ContributionColumn, percent(p.contribution));
        item->setData(ContributionColumn, ContributionDelegate::ValueRole, p.contribution);
        item->setData(ContributionColumn, ContributionDelegate::MaxRole, largest.value(key(r)));
        item->setData(ContributionColumn, ContributionDelegate::MeanRole, description.meanContribution(p.family));
        item->setToolTip(ContributionColumn,
                         tr("%1 of axis %2's inertia; %3 times the mean contribution")
                             .arg(percent(p.contribution))
                             .arg(r.axis + 1)
                             .arg(p.contribution / description.meanContribution(p.family), 0, 'f', 1));
        if (p.contribution < description.meanContribution(p.family))
            for (int c = 0; c < tree->columnCount(); ++c)
                item->setForeground(c, tree->palette().brush(QPalette::Disabled, QPalette::Text));
        item->setText(Cos2Column, QString::number(p.cos2, 'f', 3));
        item->setToolTip(Cos2Column, description.cos2Basis());
        item->setText(CoordinateColumn, QString::number(p.coordinate, 'g', 4));
        for (int c : {ContributionColumn, Cos2Column, CoordinateColumn})
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    tree->expandAll();
}

void AxesPanel::showReading(int permille)
{
    m_rows.clear();
    tree->clear();
    note->setText(tr("Reading the analysed table for the qualities and the group tests: %1 % of its rows read...")
                      .arg(permille / 10));
}

void AxesPanel::reload()
{
    atlases.forget();
    refresh(true);
}

void AxesPanel::activated(QTreeWidgetItem *item)
{
    const QVariant family = item->data(PointColumn, FamilyRole);
    if (!family.isValid() || !m_view || !m_view->data)
        return;
    m_view->flyTo(family.toInt() == AxisDescription::Words ? CAView::WordLayer : CAView::ImageLayer,
                  item->data(PointColumn, IndexRole).toInt());
}

void AxesPanel::rowMenu(const QPoint &pos)
{
    QTreeWidgetItem *item = tree->itemAt(pos);
    if (!item || item->data(PointColumn, FamilyRole).toInt() != AxisDescription::Words
        || !item->data(PointColumn, FamilyRole).isValid())
        return;
    const int word = item->data(PointColumn, IndexRole).toInt();
    QMenu menu(this);
    QAction *images = menu.addAction(tr("Images with this word"));
    connect(images, &QAction::triggered, this, [this, word] { emit wordImagesRequested(word); });
    menu.exec(tree->viewport()->mapToGlobal(pos));
}

QByteArray AxesPanel::csv() const
{
    if (!m_view || !m_view->data)
        return QByteArray();
    if (tabs->currentWidget() == groups)
        return groups->csv();
    return AxisTable::csv(*m_view->data, m_rows);
}

void AxesPanel::copy()
{
    const QByteArray bytes = csv();
    if (bytes.isEmpty())
        return;
    auto *mime = new QMimeData;
    mime->setText(QString::fromUtf8(bytes));
    mime->setData(QStringLiteral("text/csv"), bytes);
    QApplication::clipboard()->setMimeData(mime);
}

void AxesPanel::exportCsv()
{
    const QByteArray bytes = csv();
    if (bytes.isEmpty())
        return;
    const bool group = tabs->currentWidget() == groups;
    const QString path = QFileDialog::getSaveFileName(this, group ? tr("Export the group test") : tr("Export the axes"),
                                                      group ? QStringLiteral("group.csv") : QStringLiteral("axes.csv"),
                                                      tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!AtomicFile::write(path, bytes, AtomicFile::ReplaceExisting, &error))
        QMessageBox::critical(this, QStringLiteral("Ortelis"), error);
}
