#include "shell/findbar.h"

#include "data/model/cadata.h"
#include "map/caview.h"
#include "map/maplabels.h"
#include "shell/camainwindow.h"

#include <QAction>
#include <QActionGroup>
#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStringListModel>
#include <QToolBar>

FindBar::FindBar(CAMainWindow *window) : QObject(window), m_window(window)
{
    field = new QLineEdit;
    field->setPlaceholderText(tr("Find image, category, w<word>"));
    field->setClearButtonEnabled(true);
    field->setMaximumWidth(260);
    field->setToolTip(tr("Part of a file name, an image number, a category name, or w and a "
                         "word number; Enter flies the map there (Ctrl+F, F3, Shift+F3)"));
    m_names = new QStringListModel(this);
    m_completer = new QCompleter(m_names, this);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setFilterMode(Qt::MatchContains);
    m_completer->setMaxVisibleItems(12);
    field->setCompleter(m_completer);
    // Installed after the completer's own filter, so it sees the keys first.
    m_completer->popup()->installEventFilter(this);
    // Enter on the field, or on a completion chosen with it.
    connect(field, &QLineEdit::returnPressed, this, [this] { find(field->text()); });
    connect(m_completer, qOverload<const QString &>(&QCompleter::activated), this,
            [this](const QString &text) { find(text); });

    findAct = new QAction(tr("&Find..."), this);
    findAct->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    findAct->setStatusTip(tr("Find an image or a word on the map"));
    connect(findAct, &QAction::triggered, this, [this] {
        field->setFocus(Qt::ShortcutFocusReason);
        field->selectAll();
    });
    nextAct = new QAction(tr("Find &next"), this);
    nextAct->setShortcut(QKeySequence(Qt::Key_F3));
    nextAct->setStatusTip(tr("Fly to the next match"));
    connect(nextAct, &QAction::triggered, this, [this] { step(1); });
    previousAct = new QAction(tr("Find &previous"), this);
    previousAct->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    previousAct->setStatusTip(tr("Fly to the previous match"));
    connect(previousAct, &QAction::triggered, this, [this] { step(-1); });

    QToolBar *bar = window->addToolBar(tr("Find"));
    bar->setObjectName(QStringLiteral("findToolBar"));
    bar->addWidget(field);
    window->editMenu->addSeparator();
    window->editMenu->addAction(findAct);
    window->editMenu->addAction(nextAct);
    window->editMenu->addAction(previousAct);

    QMenu *labels = window->viewMenu->addMenu(tr("&Labels"));
    labelFoundAct = labels->addAction(tr("&Found points"));
    labelFocusAct = labels->addAction(tr("F&ocused image"));
    labelSelectionAct = labels->addAction(tr("&Selection"));
    labelGroupsAct = labels->addAction(tr("Named &groups"));
    for (QAction *a : {labelFoundAct, labelFocusAct, labelSelectionAct, labelGroupsAct}) {
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, &FindBar::applyLabels);
    }
    labels->addSeparator();
    labelColumnGroup = new QActionGroup(this);
    const QString columns[] = {tr("File &name"), tr("&Number in the collection"), tr("&Category")};
    for (int c = 0; c < 3; ++c) {
        QAction *a = labels->addAction(columns[c]);
        a->setCheckable(true);
        a->setData(c);
        labelColumnGroup->addAction(a);
    }
    connect(labelColumnGroup, &QActionGroup::triggered, this, &FindBar::applyLabels);
    setView(nullptr);
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    QAbstractItemView *popup = m_completer->popup();
    if (watched != popup || event->type() != QEvent::KeyPress || !popup->isVisible())
        return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    if ((key != Qt::Key_Return && key != Qt::Key_Enter) || popup->currentIndex().isValid()
        || m_completer->completionCount() == 0)
        return QObject::eventFilter(watched, event);
    // The list's order is the one the user reads: its first line is what
    // Enter means, not the first match of the text typed so far.
    m_completer->setCurrentRow(0);
    const QString first = m_completer->currentCompletion();
    popup->hide();
    field->setText(first);
    find(first);
    return true;
}

void FindBar::setView(CAView *view)
{
    const bool usable = view && view->data;
    for (QAction *a : {nextAct, previousAct, labelFoundAct, labelFocusAct, labelSelectionAct,
                       labelGroupsAct})
        a->setEnabled(usable);
    labelColumnGroup->setEnabled(usable);
    field->setEnabled(usable);
    if (view != m_view) {
        m_view = view;
        m_hits.clear();
        m_at = -1;
    }
    if (!usable) {
        m_names->setStringList({});
        m_namesOf = nullptr;
        return;
    }
    if (m_namesOf != view->data) {
        m_names->setStringList(MapSearch::completions(*view->data));
        m_namesOf = view->data;
    }
    updateLabelActions();
}

void FindBar::updateLabelActions()
{
    if (!m_view)
        return;
    labelFoundAct->setChecked(m_view->labelling().sources() & CAView::LabelFound);
    labelFocusAct->setChecked(m_view->labelling().sources() & CAView::LabelFocus);
    labelSelectionAct->setChecked(m_view->labelling().sources() & CAView::LabelSelection);
    labelGroupsAct->setChecked(m_view->labelling().sources() & CAView::LabelGroups);
    for (QAction *a : labelColumnGroup->actions())
        a->setChecked(a->data().toInt() == m_view->labelling().column());
}

void FindBar::applyLabels()
{
    if (!m_view)
        return;
    int sources = 0;
    if (labelFoundAct->isChecked())
        sources |= CAView::LabelFound;
    if (labelFocusAct->isChecked())
        sources |= CAView::LabelFocus;
    if (labelSelectionAct->isChecked())
        sources |= CAView::LabelSelection;
    if (labelGroupsAct->isChecked())
        sources |= CAView::LabelGroups;
    m_view->labelling().setSources(sources);
    if (QAction *c = labelColumnGroup->checkedAction())
        m_view->labelling().setColumn(c->data().toInt());
}

void FindBar::find(const QString &text)
{
    CAView *view = m_window->activeView();
    setView(view);
    m_text = text.trimmed();
    m_hits.clear();
    m_at = -1;
    if (!view || !view->data || m_text.isEmpty())
        return;
    m_hits = MapSearch::find(*view->data, m_text);
    if (m_hits.isEmpty()) {
        m_window->statusBar()->showMessage(
            tr("No image or word matches \"%1\"").arg(m_text));
        return;
    }
    m_at = 0;
    show();
    // The keys then work the map: Tab through the neighbours, Enter to open.
    if (m_view)
        m_view->setFocus(Qt::OtherFocusReason);
}

void FindBar::step(int by)
{
    // Another window became active since: the same text, looked for there.
    if (m_window->activeView() != m_view || m_hits.isEmpty()) {
        if (!m_text.isEmpty())
            find(m_text);
        return;
    }
    const int n = int(m_hits.size());
    m_at = ((m_at + by) % n + n) % n;
    show();
}

void FindBar::show()
{
    if (!m_view || m_at < 0 || m_at >= m_hits.size())
        return;
    const SearchHit hit = m_hits.at(m_at);
    const bool word = hit.kind == SearchHit::Word;
    m_view->flyTo(word ? CAView::WordLayer : CAView::ImageLayer, hit.index);
    const CAData &d = *m_view->data;
    QString what;
    bool hidden;
    if (word) {
        what = tr("word %1").arg(d.wordLabel(hit.index));
        hidden = !m_view->wordDrawn(hit.index);
    } else {
        what = tr("image #%1 %2").arg(d.collectionNumber(hit.index))
                   .arg(MapLabels::imageText(*m_view, hit.index));
        hidden = !m_view->imageDrawn(hit.index);
    }
    if (hidden)
        what += tr(" (hidden by the threshold or its category; shown anyway)");
    m_window->statusBar()->showMessage(
        tr("%1 of %2 matches for \"%3\": %4").arg(m_at + 1).arg(m_hits.size()).arg(m_text, what));
}
