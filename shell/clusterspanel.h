#ifndef CLUSTERSPANEL_H
#define CLUSTERSPANEL_H

#include "data/statistics/clusteranalysis.h"
#include "data/statistics/grouptest.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <memory>
#include <string>

class CAData;
class CAMainWindow;
class CountTable;
class CAView;
class GainChart;
class QAction;
class QDockWidget;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// Analysis > Find clusters...: Ward's clusters of the active map's images,
// found on a worker thread, in a dock with the gains of between-cluster
// inertia (a click on a bar cuts there) and the list of clusters; the
// clusters can be kept as named groups of the map.
class ClustersPanel : public QObject
{
    Q_OBJECT

public:
    explicit ClustersPanel(CAMainWindow *window);
    ~ClustersPanel() override;

    void setView(CAView *view);
    // Clusters the active map's images into `count` clusters (0: the
    // suggested cut), replacing a run under way.
    void find(int count = 0);
    void cancel();
    bool running() const { return m_watcher.isRunning(); }
    // The clusters as groups "Cluster 1", "Cluster 2"... of the map they were
    // found on, in new colours.
    void keepAsGroups();
    // The last clustering finished, and the map it is of.
    const ClusterAnalysis *result() const { return m_done ? &m_job->analysis : nullptr; }

    QAction *findAct = nullptr;
    QDockWidget *dock = nullptr;
    GainChart *chart = nullptr;
    QTreeWidget *list = nullptr;
    QLabel *summary = nullptr;
    QProgressBar *progress = nullptr;
    QPushButton *cancelButton = nullptr;
    QPushButton *keepButton = nullptr;

signals:
    // A run ended: done, cancelled or refused (the summary says which).
    void finished();

private:
    // What a run works on: copies of the map's coordinates and masses, so
    // that closing the map while it runs frees nothing the worker reads.
    struct Job {
        std::vector<double> z, masses, lambda;
        // The analysed table for the words of each cluster: the one kept
        // from the last run on the same analysis, or read by the worker
        // from `tablePath`; null without one.
        std::shared_ptr<const CountTable> table;
        std::string tablePath;
        std::vector<std::vector<GroupTest::Word>> words;
        ClusterAnalysis::Input input;
        ClusterAnalysis::Options options;
        ClusterAnalysis analysis;
        std::atomic<bool> cancel{false};
    };
    void runFinished();
    void fill();
    CAMainWindow *m_window;
    QPointer<CAView> m_view;
    QPointer<CAView> m_resultView;
    std::shared_ptr<Job> m_job;
    QPointer<CAData> m_tableData;
    bool m_done = false;
    QFutureWatcher<ClusterAnalysis::Status> m_watcher;
};

#endif // CLUSTERSPANEL_H
