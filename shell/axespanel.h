#ifndef AXESPANEL_H
#define AXESPANEL_H

#include "data/statistics/axistable.h"
#include "map/caview.h"
#include "shell/atlasstore.h"
#include "shell/tablestore.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class CAData;
class CAView;
class CountTable;
class GroupPanel;
class QLabel;
class QSpinBox;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class ThumbnailCache;

// What the map means: the "Axes" dock. Its first page describes the two axes
// shown, pole by pole: the words and then the images that contribute most,
// with their contribution (a bar, and a line at the mean contribution),
// quality and coordinate; the second page tells what sets a group of images
// apart (GroupPanel). A click on a row brings that point to the middle of
// the map and focuses it. Follows the active map and its axes.
class AxesPanel : public QWidget
{
    Q_OBJECT

public:
    explicit AxesPanel(QWidget *parent = nullptr);
    ~AxesPanel() override;

    // The map of the active document window, or null. Called again whenever
    // the map's layer changes; the description is made again only when the
    // analysis, its axes or the count asked for changed.
    void setView(CAView *view);

    // The table of the page shown, as CSV.
    QByteArray csv() const;
    void copy();
    void exportCsv();

    // The rows listed on the axes page.
    const QVector<AxisTable::Row> &rows() const { return m_rows; }
    // The exemplars of the words, when the project has a word atlas.
    const WordAtlas *atlas() { return m_view ? atlases.atlas(m_view->data) : nullptr; }
    // Describes the axes again (a word atlas was just made).
    void reload();

    // The word atlases, shared with the map's word tooltips.
    AtlasStore atlases;
    // The analysed tables, shared with the windows of a word's images.
    TableStore &tables() { return m_tables; }

    QTabWidget *tabs = nullptr;
    QTreeWidget *tree = nullptr;
    QLabel *note = nullptr;
    QSpinBox *topCount = nullptr;
    GroupPanel *groups = nullptr;

signals:
    // "Images with this word" from a word's row (a column of the analysis).
    void wordImagesRequested(int word);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refresh(bool force);
    void fill();
    // While the table is read: what the page will show, and how far along.
    void showReading(int permille);
    void activated(QTreeWidgetItem *item);
    void rowMenu(const QPoint &pos);
    QString axisHeading(int axis, const CountTable *table) const;
    // The share of `axis`'s inertia the points of `family` on one pole carry.
    static double poleShare(const AxisDescription &description, int family, int axis, int pole);

    QPointer<CAView> m_view;
    const CAData *m_shownData = nullptr;
    int m_shownX = -1;
    int m_shownY = -1;
    int m_shownTop = -1;
    TableStore m_tables;
    QVector<AxisTable::Row> m_rows;
    std::unique_ptr<ThumbnailCache> m_thumbnails;
};

#endif // AXESPANEL_H
