#include "shell/clusterspanel.h"

#include "data/model/cadata.h"
#include "data/formats/counttable.h"
#include "data/statistics/groupdescription.h"
#include "document/camdichild.h"
#include "map/caview.h"
#include "shell/camainwindow.h"
#include "shell/gainchart.h"
#include "shell/groupspanel.h"

#include <QAction>
#include <QDockWidget>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <algorithm>

namespace {

// The map's axes beyond these are never clustered on by default.
constexpr int AxesCopied = 10;

QString percent(double share)
{
    return QString::number(100 * share, 'f', 1) + QStringLiteral(" %");
}

} // namespace

ClustersPanel::ClustersPanel(CAMainWindow *window)
    : QObject(window)
    , m_window(window)
{
    findAct = new QAction(tr("Find &clusters..."), window);
    findAct->setStatusTip(tr("Ward's clusters of the images on the first axes, with the cut the gains of "
                             "between-cluster inertia suggest"));
    connect(findAct, &QAction::triggered, this, [this] { find(0); });
    auto *menu = new QMenu(tr("&Analysis"), window);
    menu->addAction(findAct);
    window->menuBar()->insertMenu(window->helpMenu ? window->helpMenu->menuAction() : nullptr, menu);

    dock = new QDockWidget(tr("Clusters"), window);
    dock->setObjectName(QStringLiteral("clustersDock"));
    auto *body = new QWidget(dock);
    auto *layout = new QVBoxLayout(body);
    summary = new QLabel(tr("Analysis > Find clusters... groups the images of the active map."), body);
    summary->setWordWrap(true);
    layout->addWidget(summary);
    auto *running = new QHBoxLayout;
    progress = new QProgressBar(body);
    progress->setRange(0, 100);
    cancelButton = new QPushButton(tr("Cancel"), body);
    running->addWidget(progress);
    running->addWidget(cancelButton);
    layout->addLayout(running);
    progress->hide();
    cancelButton->hide();
    auto *chartTitle = new QLabel(tr("Gain in between-cluster inertia by number of clusters, as a share of the "
                                     "inertia on the axes used (click a bar to cut there):"),
                                  body);
    chartTitle->setWordWrap(true);
    layout->addWidget(chartTitle);
    chart = new GainChart(body);
    layout->addWidget(chart);
    list = new QTreeWidget(body);
    list->setRootIsDecorated(false);
    list->setHeaderLabels({tr("Cluster"), tr("Images"), tr("% of images"), tr("% of inertia within"), tr("Words")});
    list->headerItem()->setToolTip(4, tr("Its most over-represented words by the group test (vocabulary numbers); "
                                         "the tooltip of a row names its paragons and specific images"));
    list->headerItem()->setToolTip(2, tr("The cluster's images, as a share of the images clustered"));
    list->headerItem()->setToolTip(3, tr("The inertia of the cluster's images about its centre, as a share of the "
                                         "inertia on the axes used"));
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(list, 1);
    keepButton = new QPushButton(tr("Keep as groups"), body);
    keepButton->setToolTip(tr("Each cluster becomes a named group of the map: rings or outlines, colours, "
                              "sessions and exports"));
    keepButton->setEnabled(false);
    layout->addWidget(keepButton);
    dock->setWidget(body);
    window->addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->hide();

    connect(cancelButton, &QPushButton::clicked, this, &ClustersPanel::cancel);
    connect(keepButton, &QPushButton::clicked, this, &ClustersPanel::keepAsGroups);
    connect(chart, &GainChart::cutChosen, this, [this](int clusters) { find(clusters); });
    connect(&m_watcher, &QFutureWatcher<ClusterAnalysis::Status>::finished, this, &ClustersPanel::runFinished);
    if (auto *area = window->findChild<QMdiArea *>())
        connect(area, &QMdiArea::subWindowActivated, this, [this] {
            CAMdiChild *child = m_window->activeMdiChild();
            setView(child && child->data ? child->caView : nullptr);
        });
}

ClustersPanel::~ClustersPanel()
{
    if (m_job)
        m_job->cancel = true;
    m_watcher.waitForFinished();
}

void ClustersPanel::setView(CAView *view)
{
    m_view = view && view->data ? view : nullptr;
    keepButton->setEnabled(m_done && m_resultView && m_resultView == m_view);
}

void ClustersPanel::cancel()
{
    if (m_job)
        m_job->cancel = true;
}

void ClustersPanel::find(int count)
{
    // The map shown now, whether or not its window was activated after its
    // analysis was read.
    CAMdiChild *child = m_window->activeMdiChild();
    if (child && child->data && child->caView)
        m_view = child->caView;
    if (!m_view || !m_view->data) {
        summary->setText(tr("Open an analysis first: the clusters are of its images."));
        dock->show();
        return;
    }
    if (running()) {
        m_job->cancel = true;
        m_watcher.waitForFinished();
    }
    const CAData &data = *m_view->data;
    auto job = std::make_shared<Job>();
    const int cols = std::max(0, std::min({data.nbAxis, data.zCols, AxesCopied}));
    job->z.resize(std::size_t(data.nbImages) * std::size_t(cols));
    for (int i = 0; i < data.nbImages; ++i)
        std::copy_n(&data.Z[std::size_t(i) * std::size_t(data.zCols)], cols, &job->z[std::size_t(i) * std::size_t(cols)]);
    job->masses.assign(data.P.get(), data.P.get() + data.nbImages);
    job->lambda.assign(data.lambda.get(), data.lambda.get() + data.nbLambda);
    job->input.coordinates = job->z.data();
    job->input.rows = data.nbImages;
    job->input.stride = cols;
    job->input.axes = cols;
    job->input.masses = job->masses.data();
    job->input.inertias = job->lambda.data();
    job->input.inertiaCount = int(job->lambda.size());
    job->input.totalInertia = data.totalInertia;
    job->options.count = count;
    if (m_job && m_job->table && m_tableData == &data)
        job->table = m_job->table;
    else if (!data.fileF.isEmpty())
        job->tablePath = QFile::encodeName(data.resolve(data.fileF)).toStdString();
    m_tableData = m_view->data;
    m_job = job;
    m_resultView = m_view;
    m_done = false;
    keepButton->setEnabled(false);
    summary->setText(tr("Finding clusters..."));
    progress->setValue(0);
    progress->show();
    cancelButton->show();
    dock->show();
    dock->raise();
    QPointer<QProgressBar> bar = progress;
    auto shown = std::make_shared<std::atomic<int>>(-1);
    auto report = [bar, shown](const QString &stage, double done) {
        const int value = int(100 * done);
        if (shown->exchange(value) == value)
            return;
        QMetaObject::invokeMethod(
            bar,
            [bar, stage, value] {
                if (bar) {
                    bar->setValue(value);
                    bar->setFormat(stage + QStringLiteral(": %p%"));
                }
            },
            Qt::QueuedConnection);
    };
    m_watcher.setFuture(QtConcurrent::run(
        [job, report] {
            const ClusterAnalysis::Status status = job->analysis.run(job->input, job->options, &job->cancel, report);
            if (status != ClusterAnalysis::Done)
                return status;
            if (!job->table && !job->tablePath.empty()) {
                auto table = std::make_shared<CountTable>();
                table->progress = [job](long long, long long) { return !job->cancel.load(); };
                if (table->read(job->tablePath) && table->rows() == job->input.rows)
                    job->table = table;
            }
            if (job->table)
                for (const ClusterAnalysis::Cluster &c : job->analysis.clusters())
                    job->words.push_back(GroupDescription::describe(*job->table, c.rows));
            return job->cancel.load() ? ClusterAnalysis::Cancelled : status;
        }));
}

void ClustersPanel::runFinished()
{
    progress->hide();
    cancelButton->hide();
    const ClusterAnalysis::Status status = m_watcher.result();
    if (status == ClusterAnalysis::Done) {
        m_done = true;
        fill();
    } else {
        list->clear();
        chart->setGains({}, 0, 0);
        summary->setText(status == ClusterAnalysis::Cancelled
                             ? tr("Clustering cancelled.")
                             : tr("No clusters: %1.").arg(m_job->analysis.error()));
    }
    keepButton->setEnabled(m_done && m_resultView && m_resultView == m_view);
    emit finished();
}

void ClustersPanel::fill()
{
    const ClusterAnalysis &a = m_job->analysis;
    std::vector<double> shares;
    for (const double g : a.gains())
        shares.push_back(g / a.inertia());
    chart->setGains(shares, int(a.clusters().size()), a.suggested());
    int clustered = 0;
    for (const ClusterAnalysis::Cluster &c : a.clusters())
        clustered += int(c.rows.size());
    QString text = tr("%1 clusters (suggested: %2) of %3 images on the first %4 axes; between-cluster inertia: "
                      "%5 of the inertia on those axes.")
                       .arg(a.clusters().size())
                       .arg(a.suggested())
                       .arg(clustered)
                       .arg(a.dims())
                       .arg(percent(a.between() / a.inertia()));
    if (!a.exact())
        text += tr(" The images were first gathered into %1 centres by k-means.").arg(a.leaves());
    if (a.leftOut() > 0)
        text += tr(" %1 images left out: coordinates that are not numbers.").arg(a.leftOut());
    summary->setText(text);
    list->clear();
    for (std::size_t c = 0; c < a.clusters().size(); ++c) {
        const ClusterAnalysis::Cluster &cluster = a.clusters()[c];
        auto *item = new QTreeWidgetItem(list);
        item->setText(0, tr("Cluster %1").arg(c + 1));
        item->setText(1, QString::number(cluster.rows.size()));
        item->setText(2, percent(double(cluster.rows.size()) / std::max(1, clustered)));
        item->setText(3, percent(cluster.within / a.inertia()));
        for (int col = 1; col < 4; ++col)
            item->setTextAlignment(col, Qt::AlignRight | Qt::AlignVCenter);
        QStringList words;
        if (c < m_job->words.size())
            for (const GroupTest::Word &w : m_job->words[c])
                if (words.size() < 3 && w.vTest > 0)
                    words << QString::number(m_view && m_view->data ? m_view->data->wordLabel(w.word) : w.word);
        item->setText(4, m_job->table ? words.join(QStringLiteral(", ")) : tr("no table"));
        auto names = [this](const std::vector<int> &rows) {
            QStringList out;
            for (const int i : rows) {
                const ImageLabel *label = m_resultView && m_resultView->data ? m_resultView->data->imageLabel(i) : nullptr;
                out << (label ? label->imageFile : tr("image %1").arg(i));
            }
            return out.join(QStringLiteral(", "));
        };
        item->setToolTip(0, tr("Paragons (nearest its centre): %1\nSpecific images (farthest from the other "
                               "centres): %2")
                                .arg(names(cluster.paragons), names(cluster.specific)));
    }
}

void ClustersPanel::keepAsGroups()
{
    if (!m_done || !m_resultView)
        return;
    CAView &view = *m_resultView;
    auto taken = [&view](const QString &name) {
        for (const NamedGroup &g : view.groups())
            if (g.name.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    const auto &clusters = m_job->analysis.clusters();
    for (std::size_t c = 0; c < clusters.size() && view.groups().size() < NamedGroup::MaxGroups; ++c) {
        NamedGroup g;
        g.name = tr("Cluster %1").arg(c + 1);
        for (int again = 2; taken(g.name); ++again)
            g.name = tr("Cluster %1 (%2)").arg(c + 1).arg(again);
        g.colour = NamedGroup::colourFor(view.groups().size());
        g.images = QVector<int>(clusters[c].rows.begin(), clusters[c].rows.end());
        view.groups().append(g);
    }
    if (m_window->groupsPanel) {
        m_window->groupsPanel->refresh();
        m_window->groupsPanel->dock->show();
    }
}
