#include "shell/grouppanel.h"

#include "data/model/cadata.h"
#include "data/formats/counttable.h"
#include "data/statistics/groupdescription.h"
#include "data/formats/wordatlas.h"
#include "map/caview.h"
#include "shell/tablestore.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

GroupPanel::GroupPanel(TableStore *tables, QWidget *parent) : QWidget(parent), m_tables(tables)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *buttons = new QHBoxLayout;
    auto *selection = new QPushButton(tr("Selection"));
    selection->setToolTip(tr("The images taken by the last outline drawn on the map"));
    auto *around = new QPushButton(tr("Around cursor"));
    around->setToolTip(tr("The images around the cursor's last position on the map "
                          "(click the map to lock them first)"));
    keepA = new QPushButton(tr("Keep as A"));
    keepB = new QPushButton(tr("Keep as B"));
    keepA->setToolTip(tr("Keep this selection as A"));
    keepB->setToolTip(tr("Keep this selection as B"));
    compareButton = new QPushButton(tr("A against B"));
    compareButton->setToolTip(tr("The words that set A apart from A and B together"));
    for (QPushButton *b : {selection, around, keepA, keepB, compareButton})
        buttons->addWidget(b);
    // The count a kept group adds to its button must not widen the dock (and
    // so move the map): the buttons have room for it from the start.
    for (QPushButton *b : {keepA, keepB}) {
        const QString widest = tr("Keep as A (%1)").arg(QStringLiteral("0000000"));
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(widest) + 2 * b->fontMetrics().averageCharWidth() + 12);
        b->setSizePolicy(QSizePolicy::Fixed, b->sizePolicy().verticalPolicy());
    }
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(selection, &QPushButton::clicked, this, &GroupPanel::describeSelection);
    connect(around, &QPushButton::clicked, this, &GroupPanel::describeNeighbourhood);
    connect(keepA, &QPushButton::clicked, this, [this] { keep(0); });
    connect(keepB, &QPushButton::clicked, this, [this] { keep(1); });
    connect(compareButton, &QPushButton::clicked, this, &GroupPanel::compare);

    title = new QLabel(tr("Describe a selection, a category (right-click it in the legend) "
                          "or the images around the cursor."));
    title->setWordWrap(true);
    layout->addWidget(title);
    tree = new QTreeWidget;
    tree->setColumnCount(7);
    tree->setHeaderLabels({tr("Word"), tr("In group"), tr("In reference"), tr("% of group"), tr("% of reference"),
                           tr("v-test"), tr("p-value")});
    QTreeWidgetItem *header = tree->headerItem();
    header->setToolTip(1, tr("Occurrences of the word in the group's images"));
    header->setToolTip(2, tr("Occurrences of the word in the reference (the whole collection, or A and B)"));
    header->setToolTip(3, tr("The word's occurrences as a share of all word occurrences in the group"));
    header->setToolTip(4, tr("The word's occurrences as a share of all word occurrences in the reference"));
    header->setToolTip(5, tr("Normal test value: positive when the word is more frequent in the group"));
    header->setToolTip(6, tr("Two-sided probability of a deviation as large under the hypergeometric law"));
    tree->setRootIsDecorated(true);
    tree->setIconSize(QSize(48, 48));
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(tree);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QTreeWidgetItem *item = tree->itemAt(pos);
        const QVariant word = item ? item->data(0, Qt::UserRole) : QVariant();
        if (!word.isValid())
            return;
        QMenu menu(this);
        QAction *images = menu.addAction(tr("Images with this word"));
        connect(images, &QAction::triggered, this, [this, w = word.toInt()] { emit wordImagesRequested(w); });
        menu.exec(tree->viewport()->mapToGlobal(pos));
    });
    connect(tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        const QVariant word = item->data(0, Qt::UserRole);
        if (word.isValid())
            emit wordActivated(word.toInt());
    });
    // A description asked for while the table is read is made when it is in.
    connect(m_tables, &TableStore::ready, this, [this](const CAData *data) {
        if (!m_pending || data != m_data)
            return;
        const std::function<void()> pending = std::move(m_pending);
        m_pending = nullptr;
        pending();
    });
    updateButtons();
}

void GroupPanel::setView(CAView *view)
{
    CAData *data = view ? view->data : nullptr;
    m_view = view;
    if (data == m_data)
        return;
    // Groups are rows of one analysis: another one starts afresh.
    m_data = data;
    m_pending = nullptr;
    m_words.clear();
    m_last.clear();
    m_kept[0].clear();
    m_kept[1].clear();
    tree->clear();
    title->setText(tr("Describe a selection, a category (right-click it in the legend) "
                      "or the images around the cursor."));
    updateButtons();
}

void GroupPanel::updateButtons()
{
    keepA->setEnabled(!m_last.empty());
    keepB->setEnabled(!m_last.empty());
    compareButton->setEnabled(!m_kept[0].empty() && !m_kept[1].empty());
    keepA->setText(m_kept[0].empty() ? tr("Keep as A") : tr("Keep as A (%1)").arg(m_kept[0].size()));
    keepB->setText(m_kept[1].empty() ? tr("Keep as B") : tr("Keep as B (%1)").arg(m_kept[1].size()));
    keepA->setToolTip(m_kept[0].empty() ? tr("Keep this selection as A")
                                        : tr("Keep this selection as A\nA now: %1").arg(m_keptName[0]));
    keepB->setToolTip(m_kept[1].empty() ? tr("Keep this selection as B")
                                        : tr("Keep this selection as B\nB now: %1").arg(m_keptName[1]));
}

void GroupPanel::showMessage(const QString &text)
{
    m_words.clear();
    tree->clear();
    title->setText(text);
}

void GroupPanel::describeSelection()
{
    if (!m_view || !m_view->data)
        return;
    const QVector<int> &sel = m_view->selectedImages;
    if (sel.isEmpty()) {
        showMessage(tr("No selection: draw an outline on the map in selection mode first."));
        return;
    }
    describe(tr("the selection (%1 images)").arg(sel.size()), std::vector<int>(sel.begin(), sel.end()), nullptr,
             QString());
}

void GroupPanel::describeCategory(int category)
{
    if (!m_view || !m_view->data)
        return;
    std::vector<int> images;
    QString error;
    if (!GroupDescription::categoryImages(*m_view->data, QString::number(category), images, &error)) {
        showMessage(error);
        return;
    }
    describe(tr("category \"%1\" (%2 images)").arg(m_view->data->categoryName(category)).arg(images.size()), images,
             nullptr, QString());
}

void GroupPanel::describeNeighbourhood()
{
    if (!m_view || !m_view->data)
        return;
    const QVector<int> &around = m_view->imageList;
    if (around.isEmpty()) {
        showMessage(tr("No images around the cursor: move it over the map's images first."));
        return;
    }
    describe(tr("the %1 images around the cursor").arg(around.size()), std::vector<int>(around.begin(), around.end()),
             nullptr, QString());
}

void GroupPanel::describeGroup(const QString &name, const QVector<int> &images)
{
    if (!m_view || !m_view->data)
        return;
    if (images.isEmpty()) {
        showMessage(tr("The group \"%1\" holds no image: its words alone cannot be tested.").arg(name));
        return;
    }
    describe(tr("group \"%1\" (%2 images)").arg(name).arg(images.size()),
             std::vector<int>(images.begin(), images.end()), nullptr, QString());
}

void GroupPanel::keepGroup(int slot, const QString &name, const QVector<int> &images)
{
    if (slot < 0 || slot > 1 || images.isEmpty())
        return;
    m_kept[slot].assign(images.begin(), images.end());
    m_keptName[slot] = tr("group \"%1\" (%2 images)").arg(name).arg(images.size());
    updateButtons();
}

void GroupPanel::restoreKept(int slot, const QString &name, const QVector<int> &images)
{
    if (slot < 0 || slot > 1 || !m_data)
        return;
    std::vector<int> rows;
    for (const int i : images)
        if (i >= 0 && i < m_data->nbImages)
            rows.push_back(i);
    m_kept[slot] = rows;
    m_keptName[slot] = name;
    updateButtons();
}

void GroupPanel::keep(int slot)
{
    if (m_last.empty())
        return;
    m_kept[slot] = m_last;
    m_keptName[slot] = m_lastName;
    updateButtons();
}

void GroupPanel::compare()
{
    if (m_kept[0].empty() || m_kept[1].empty())
        return;
    describe(tr("A: %1").arg(m_keptName[0]), m_kept[0], &m_kept[1], tr("A and B together (B: %1)").arg(m_keptName[1]));
}

void GroupPanel::describe(const QString &name, const std::vector<int> &group, const std::vector<int> *other,
                          const QString &otherName)
{
    CAData *data = m_view ? m_view->data : nullptr;
    if (!data)
        return;
    if (!other) {
        m_last = group;
        m_lastName = name;
    }
    updateButtons();
    if (!m_tables->request(data)) {
        // Made again, with the same group, once the table is in.
        const std::vector<int> otherRows = other ? *other : std::vector<int>();
        const bool compared = other != nullptr;
        m_pending = [this, name, group, otherRows, compared, otherName] {
            describe(name, group, compared ? &otherRows : nullptr, otherName);
        };
        showMessage(tr("Reading the analysed table for the group test..."));
        return;
    }
    const CountTable *table = m_tables->table(data);
    if (!table) {
        showMessage(tr("The group test needs the analysed table: %1.").arg(m_tables->why()));
        return;
    }
    m_words = GroupDescription::describe(*table, group, other);
    tree->clear();
    double groupTotal = 0;
    double referenceTotal = 0;
    for (const GroupTest::Word &w : m_words) {
        groupTotal += w.countIn;
        referenceTotal += w.countAll;
    }
    int significant = 0;
    for (const GroupTest::Word &w : m_words)
        significant += w.pValue < Significance;
    title->setText(tr("What sets %1 apart from %2: %3 of %4 words differ (hypergeometric test on the word "
                      "counts, p < %5). The group holds %6 word occurrences.")
                       .arg(name, other ? otherName : tr("the whole collection"))
                       .arg(significant)
                       .arg(m_words.size())
                       .arg(Significance)
                       .arg(groupTotal)
                   + (GroupDescription::countNote(*table).isEmpty()
                          ? QString()
                          : QLatin1Char(' ') + GroupDescription::countNote(*table)));
    auto *over = new QTreeWidgetItem(tree, {tr("Over-represented")});
    auto *under = new QTreeWidgetItem(tree, {tr("Under-represented")});
    auto add = [this, data, groupTotal, referenceTotal](QTreeWidgetItem *parent, const GroupTest::Word &w) {
        auto *item = new QTreeWidgetItem(parent);
        const int label = data->wordLabel(w.word);
        item->setText(0, tr("Word #%1").arg(label));
        item->setData(0, Qt::UserRole, w.word);
        item->setText(1, QString::number(w.countIn));
        item->setText(2, QString::number(w.countAll));
        item->setText(3, QString::number(100 * w.countIn / groupTotal, 'f', 2));
        item->setText(4, QString::number(100 * w.countAll / referenceTotal, 'f', 2));
        item->setText(5, QString::number(w.vTest, 'f', 2));
        // Below the smallest double the probability is only known to be tiny
        // (the test value, from its logarithm, still orders the words).
        item->setText(6, w.pValue > 0 ? QString::number(w.pValue, 'g', 3) : QStringLiteral("< 1e-307"));
        for (int c = 1; c < 7; ++c)
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        if (m_atlas) {
            const QImage mosaic = m_atlas->mosaic(label);
            if (!mosaic.isNull())
                item->setIcon(0, QIcon(QPixmap::fromImage(mosaic)));
        }
    };
    int n = 0;
    for (auto it = m_words.cbegin(); it != m_words.cend() && n < Listed; ++it)
        if (it->vTest > 0 && it->pValue < Significance) {
            add(over, *it);
            ++n;
        }
    n = 0;
    for (auto it = m_words.crbegin(); it != m_words.crend() && n < Listed; ++it)
        if (it->vTest < 0 && it->pValue < Significance) {
            add(under, *it);
            ++n;
        }
    over->setText(0, tr("Over-represented (%1)").arg(over->childCount()));
    under->setText(0, tr("Under-represented (%1)").arg(under->childCount()));
    tree->expandAll();
}

QByteArray GroupPanel::csv() const
{
    if (!m_view || !m_view->data)
        return QByteArray();
    return GroupDescription::csv(*m_view->data, m_words);
}
