#ifndef GROUPSPANEL_H
#define GROUPSPANEL_H

#include <QObject>
#include <QPointer>
#include <QString>

class CAMainWindow;
class CAView;
class QAction;
class QCheckBox;
class QDockWidget;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// Named groups: "Keep selection as..." names the images and words of the
// last outline, and the "Groups" list beside the workspace shows the active
// map's groups (tick to show or hide; rename, recolour, delete, analyse on
// their own).
class GroupsPanel : public QObject
{
    Q_OBJECT

public:
    explicit GroupsPanel(CAMainWindow *window);

    void setView(CAView *view);
    // Keeps the last outline's images and words on `view` as group `name`,
    // in the next group colour; false (nothing kept) when the outline held
    // no point or the name is empty or already taken.
    static bool keepSelection(CAView &view, const QString &name, QString *why = nullptr);

    QAction *keepAct = nullptr;
    QDockWidget *dock = nullptr;
    QListWidget *list = nullptr;
    QPushButton *renameButton = nullptr;
    QPushButton *colourButton = nullptr;
    QPushButton *deleteButton = nullptr;
    QPushButton *analyseButton = nullptr;
    QPushButton *describeButton = nullptr;
    // The selected group drawn as an outline around its marks instead of
    // rings, on the map and in exports.
    QCheckBox *outlineBox = nullptr;
    void setOutline(int k, bool outline);

    // What sets group k apart from the whole collection, in the Axes dock.
    void describe(int k);
    // Keeps group k as A (0) or B (1) of the Axes dock's comparison.
    void keepAs(int k, int slot);

    // Fills the list from the view's groups.
    void refresh();

private:
    void keep();
    void rename();
    void recolour();
    void remove();
    void analyse();
    void itemChanged(QListWidgetItem *item);
    void contextMenu(const QPoint &pos);
    void showCurrent();
    int currentGroup() const;
    CAMainWindow *m_window;
    QPointer<CAView> m_view;
    bool m_filling = false;
};

#endif // GROUPSPANEL_H
