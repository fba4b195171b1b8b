#ifndef FINDBAR_H
#define FINDBAR_H

#include "map/mapsearch.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

class CAData;
class CAMainWindow;
class CAView;
class QAction;
class QActionGroup;
class QCompleter;
class QLineEdit;
class QStringListModel;

// Find in the tool bar: a field (Ctrl+F) that completes file and category
// names as one types; Enter flies the active map to the first match (the
// first line of the completion list while it is open), F3 and
// Shift+F3 go through the others, and the status bar says which one is
// shown. Also the View > Labels menu: which points carry labels on the map
// and what they say.
class FindBar : public QObject
{
    Q_OBJECT

public:
    explicit FindBar(CAMainWindow *window);

    // Looks for `text` in the active map and flies to the first match.
    void find(const QString &text);
    // The next (by = 1) or previous (by = -1) match, wrapping round.
    void step(int by);
    // Which match is shown, from 0, and how many there are.
    int current() const { return m_at; }
    int count() const { return int(m_hits.size()); }
    const QVector<SearchHit> &hits() const { return m_hits; }
    // The active map changed: completion and the matches follow it.
    void setView(CAView *view);

    QLineEdit *field = nullptr;
    QAction *findAct = nullptr;
    QAction *nextAct = nullptr;
    QAction *previousAct = nullptr;
    QAction *labelFoundAct = nullptr;
    QAction *labelFocusAct = nullptr;
    QAction *labelSelectionAct = nullptr;
    QAction *labelGroupsAct = nullptr;
    QActionGroup *labelColumnGroup = nullptr;

protected:
    // Enter on the completion list with no line chosen takes its first line.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void show();
    void updateLabelActions();
    void applyLabels();
    CAMainWindow *m_window;
    QCompleter *m_completer = nullptr;
    QStringListModel *m_names = nullptr;
    QPointer<CAView> m_view;
    const CAData *m_namesOf = nullptr;
    QString m_text;
    QVector<SearchHit> m_hits;
    int m_at = -1;
};

#endif // FINDBAR_H
