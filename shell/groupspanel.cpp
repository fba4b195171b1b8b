#include "shell/groupspanel.h"

#include "document/camdichild.h"
#include "map/caview.h"
#include "shell/axespanel.h"
#include "shell/camainwindow.h"
#include "shell/grouppanel.h"
#include "shell/mappanels.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The colour an item's swatch shows, to tell whether it must be drawn again.
constexpr int ColourRole = Qt::UserRole + 1;

QIcon swatch(const QColor &colour)
{
    QPixmap p(14, 14);
    p.fill(colour);
    return QIcon(p);
}

} // namespace

GroupsPanel::GroupsPanel(CAMainWindow *window) : QObject(window), m_window(window)
{
    keepAct = new QAction(tr("&Keep selection as..."), this);
    keepAct->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    keepAct->setStatusTip(tr("Name the images and words of the last outline as a group"));
    connect(keepAct, &QAction::triggered, this, &GroupsPanel::keep);
    window->editMenu->addAction(keepAct);

    dock = new QDockWidget(tr("Groups"), window);
    dock->setObjectName(QStringLiteral("groupsDock"));
    auto *body = new QWidget(dock);
    list = new QListWidget(body);
    list->setToolTip(tr("Tick to show a group's rings on the map"));
    renameButton = new QPushButton(tr("Rename"), body);
    colourButton = new QPushButton(tr("Colour"), body);
    deleteButton = new QPushButton(tr("Delete"), body);
    analyseButton = new QPushButton(tr("Analyse"), body);
    analyseButton->setToolTip(tr("Analyse the group's images and words on their own, in a new "
                                 "window, as for a selection"));
    describeButton = new QPushButton(tr("Describe"), body);
    describeButton->setToolTip(tr("The words over- and under-represented in the group's images against "
                                  "the whole collection, in the Axes dock (right-click a group to "
                                  "compare two)"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {describeButton, renameButton, colourButton, deleteButton, analyseButton})
        buttons->addWidget(b);
    outlineBox = new QCheckBox(tr("Draw as an outline"), body);
    outlineBox->setToolTip(tr("Draw the selected group as an outline around its points instead of a ring "
                              "around each, on the map and in exported figures"));
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(list);
    layout->addWidget(outlineBox);
    layout->addLayout(buttons);
    dock->setWidget(body);
    window->addDockWidget(Qt::RightDockWidgetArea, dock);
    window->viewMenu->addAction(dock->toggleViewAction());
    // Out of the way until there is a group: the workspace keeps its room.
    dock->hide();

    connect(renameButton, &QPushButton::clicked, this, &GroupsPanel::rename);
    connect(colourButton, &QPushButton::clicked, this, &GroupsPanel::recolour);
    connect(deleteButton, &QPushButton::clicked, this, &GroupsPanel::remove);
    connect(analyseButton, &QPushButton::clicked, this, &GroupsPanel::analyse);
    connect(describeButton, &QPushButton::clicked, this, [this] { describe(currentGroup()); });
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QListWidget::customContextMenuRequested, this, &GroupsPanel::contextMenu);
    connect(list, &QListWidget::itemChanged, this, &GroupsPanel::itemChanged);
    connect(list, &QListWidget::itemDoubleClicked, this, &GroupsPanel::rename);
    connect(list, &QListWidget::currentRowChanged, this, &GroupsPanel::showCurrent);
    connect(outlineBox, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_filling)
            setOutline(currentGroup(), on);
    });
    setView(nullptr);
}

bool GroupsPanel::keepSelection(CAView &view, const QString &name, QString *why)
{
    const QString n = name.trimmed();
    auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (n.isEmpty())
        return fail(tr("A group needs a name."));
    if (view.selectedImages.isEmpty() && view.selectedWords.isEmpty())
        return fail(tr("Draw an outline in selection mode first: the group is what it holds."));
    if (view.groups().size() >= NamedGroup::MaxGroups)
        return fail(tr("A map holds at most %1 groups; delete one to keep another.").arg(NamedGroup::MaxGroups));
    for (const NamedGroup &g : view.groups())
        if (g.name.compare(n, Qt::CaseInsensitive) == 0)
            return fail(tr("There is already a group named \"%1\".").arg(n));
    NamedGroup g;
    g.name = n;
    g.colour = NamedGroup::colourFor(view.groups().size());
    g.images = view.selectedImages;
    g.words = view.selectedWords;
    std::sort(g.images.begin(), g.images.end());
    std::sort(g.words.begin(), g.words.end());
    view.groups().append(g);
    return true;
}

void GroupsPanel::setView(CAView *view)
{
    m_view = view && view->data ? view : nullptr;
    keepAct->setEnabled(m_view);
    refresh();
    if (m_view && !m_view->groups().isEmpty())
        dock->show();
}

void GroupsPanel::refresh()
{
    // Called at every window activation: only what differs from the list
    // shown is changed, and the lines a map's groups add come in one batch.
    m_filling = true;
    const int n = m_view ? int(m_view->groups().size()) : 0;
    while (list->count() > n)
        delete list->takeItem(list->count() - 1);
    if (list->count() < n) {
        QStringList added;
        for (int k = list->count(); k < n; ++k)
            added << QString();
        const int first = list->count();
        list->addItems(added);
        for (int k = first; k < n; ++k)
            list->item(k)->setFlags(list->item(k)->flags() | Qt::ItemIsUserCheckable);
    }
    for (int k = 0; k < n; ++k) {
        const NamedGroup &g = m_view->groups().at(k);
        QListWidgetItem *item = list->item(k);
        const QString text = tr("%1 (%2 images, %3 words)").arg(g.name).arg(g.images.size()).arg(g.words.size());
        if (item->text() != text)
            item->setText(text);
        if (item->data(ColourRole).value<QColor>() != g.colour || item->icon().isNull()) {
            item->setData(ColourRole, g.colour);
            item->setIcon(swatch(g.colour));
        }
        const Qt::CheckState state = g.visible ? Qt::Checked : Qt::Unchecked;
        if (item->data(Qt::CheckStateRole).isNull() || item->checkState() != state)
            item->setCheckState(state);
    }
    m_filling = false;
    const bool any = n > 0;
    for (QPushButton *b : {describeButton, renameButton, colourButton, deleteButton, analyseButton})
        b->setEnabled(any);
    showCurrent();
}

void GroupsPanel::showCurrent()
{
    const int k = currentGroup();
    const bool was = m_filling;
    m_filling = true;
    outlineBox->setEnabled(k >= 0);
    outlineBox->setChecked(k >= 0 && m_view->groups().at(k).outline);
    m_filling = was;
}

void GroupsPanel::setOutline(int k, bool outline)
{
    if (!m_view || k < 0 || k >= m_view->groups().size())
        return;
    m_view->groups().setOutline(k, outline);
    showCurrent();
}

int GroupsPanel::currentGroup() const
{
    if (!m_view)
        return -1;
    const int row = list->currentRow() >= 0 ? list->currentRow() : (list->count() == 1 ? 0 : -1);
    return row < m_view->groups().size() ? row : -1;
}

void GroupsPanel::keep()
{
    if (!m_view)
        return;
    bool ok = false;
    const QString name = QInputDialog::getText(
        m_window, tr("Keep selection as"),
        tr("Name of the group (%1 images, %2 words):")
            .arg(m_view->selectedImages.size())
            .arg(m_view->selectedWords.size()),
        QLineEdit::Normal, tr("Group %1").arg(m_view->groups().size() + 1), &ok);
    if (!ok)
        return;
    QString why;
    if (!keepSelection(*m_view, name, &why)) {
        QMessageBox::warning(m_window, QStringLiteral("Ortelis"), why);
        return;
    }
    refresh();
    dock->show();
}

void GroupsPanel::rename()
{
    const int k = currentGroup();
    if (k < 0)
        return;
    bool ok = false;
    const QString name = QInputDialog::getText(m_window, tr("Rename group"), tr("New name:"),
                                               QLineEdit::Normal, m_view->groups().at(k).name, &ok)
                             .trimmed();
    if (!ok || name.isEmpty())
        return;
    m_view->groups().setName(k, name);
    refresh();
}

void GroupsPanel::recolour()
{
    const int k = currentGroup();
    if (k < 0)
        return;
    const QColor c = QColorDialog::getColor(m_view->groups().at(k).colour, m_window, tr("Group colour"));
    if (!c.isValid())
        return;
    m_view->groups().setColour(k, c);
    refresh();
}

void GroupsPanel::remove()
{
    const int k = currentGroup();
    if (k < 0)
        return;
    m_view->groups().removeAt(k);
    refresh();
}

void GroupsPanel::analyse()
{
    const int k = currentGroup();
    CAMdiChild *child = m_window->activeMdiChild();
    if (k < 0 || !child || child->caView != m_view)
        return;
    // The extraction reads the view's selection, as after an outline.
    m_view->setSelection(m_view->groups().at(k).images, m_view->groups().at(k).words);
    child->finishSelection();
}

void GroupsPanel::itemChanged(QListWidgetItem *item)
{
    if (m_filling || !m_view)
        return;
    const int k = list->row(item);
    if (k < 0 || k >= m_view->groups().size())
        return;
    m_view->groups().setVisible(k, item->checkState() == Qt::Checked);
}

void GroupsPanel::describe(int k)
{
    if (!m_view || k < 0 || k >= m_view->groups().size())
        return;
    MapPanels *panels = m_window->mapPanels;
    panels->axesDock->show();
    panels->axesDock->raise();
    panels->axes->tabs->setCurrentWidget(panels->axes->groups);
    const NamedGroup &g = m_view->groups().at(k);
    panels->axes->groups->describeGroup(g.name, g.images);
}

void GroupsPanel::keepAs(int k, int slot)
{
    if (!m_view || k < 0 || k >= m_view->groups().size())
        return;
    MapPanels *panels = m_window->mapPanels;
    const NamedGroup &g = m_view->groups().at(k);
    GroupPanel *groups = panels->axes->groups;
    groups->keepGroup(slot, g.name, g.images);
    panels->axesDock->show();
    panels->axesDock->raise();
    panels->axes->tabs->setCurrentWidget(groups);
    m_window->statusBar()->showMessage(
        tr("Group \"%1\" kept as %2 for \"A against B\" in the Axes dock").arg(g.name, slot ? "B" : "A"), 5000);
}

void GroupsPanel::contextMenu(const QPoint &pos)
{
    QListWidgetItem *item = list->itemAt(pos);
    if (!m_view || !item)
        return;
    const int k = list->row(item);
    if (k < 0 || k >= m_view->groups().size())
        return;
    list->setCurrentRow(k);
    const bool images = !m_view->groups().at(k).images.isEmpty();
    GroupPanel *groups = m_window->mapPanels->axes->groups;
    QMenu menu(list);
    QAction *describeAct = menu.addAction(tr("Describe"));
    describeAct->setEnabled(images);
    connect(describeAct, &QAction::triggered, this, [this, k] { describe(k); });
    menu.addSeparator();
    QAction *asA = menu.addAction(tr("Keep as A"));
    QAction *asB = menu.addAction(tr("Keep as B"));
    asA->setEnabled(images);
    asB->setEnabled(images);
    connect(asA, &QAction::triggered, this, [this, k] { keepAs(k, 0); });
    connect(asB, &QAction::triggered, this, [this, k] { keepAs(k, 1); });
    QAction *compareAct = menu.addAction(tr("A against B"));
    compareAct->setEnabled(groups->compareButton->isEnabled());
    connect(compareAct, &QAction::triggered, this, [this, groups] {
        m_window->mapPanels->axesDock->show();
        m_window->mapPanels->axes->tabs->setCurrentWidget(groups);
        groups->compare();
    });
    menu.addSeparator();
    QAction *outlineAct = menu.addAction(tr("Draw as an outline"));
    outlineAct->setCheckable(true);
    outlineAct->setChecked(m_view->groups().at(k).outline);
    connect(outlineAct, &QAction::toggled, this, [this, k](bool on) { setOutline(k, on); });
    menu.addAction(tr("Rename"), this, &GroupsPanel::rename);
    menu.addAction(tr("Colour"), this, &GroupsPanel::recolour);
    menu.addAction(tr("Delete"), this, &GroupsPanel::remove);
    menu.addAction(tr("Analyse"), this, &GroupsPanel::analyse)->setEnabled(images);
    menu.exec(list->viewport()->mapToGlobal(pos));
}
