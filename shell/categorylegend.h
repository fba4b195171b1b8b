#ifndef CATEGORYLEGEND_H
#define CATEGORYLEGEND_H

#include <QPointer>
#include <QWidget>

class CAData;
class CAView;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QToolButton;

// The categories of the map shown: each with its colour, name and number of
// images, and a check box that shows or hides it on the map.
class CategoryLegend : public QWidget
{
    Q_OBJECT

public:
    explicit CategoryLegend(QWidget *parent = nullptr);

    // Lists the categories of `view` (null: empty). Called again whenever
    // the map's layer changes, so checks follow the view.
    void setView(CAView *view);
    // A button bound to `action` above the list (the colour switch).
    void addSwitch(QAction *action);

    QListWidget *list = nullptr;

    // The tooltip of the list's row: the category, its images, and how well
    // they keep together on the axes drawn (measured when asked).
    QString toolTipFor(int row) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // "What sets it apart" was asked for a category (its context menu).
    void describeRequested(int category);

private:
    void contextMenu(const QPoint &pos);
    void itemChanged(QListWidgetItem *item);

    QPointer<CAView> m_view;
    const CAData *m_data = nullptr;
    QLabel *m_empty = nullptr;
    bool m_filling = false;
};

#endif // CATEGORYLEGEND_H
