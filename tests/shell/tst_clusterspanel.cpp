#include "data/model/cadata.h"
#include "document/camdichild.h"
#include "map/caview.h"
#include "shell/camainwindow.h"
#include "shell/clusterspanel.h"
#include "shell/gainchart.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "tests/shell/threegroupsproject.h"

#include <set>

// Analysis > Find clusters... in the real main window offscreen, on an
// analysis of a table whose images fall in three groups of two points each:
// image i leans on words 3 (i % 3) .. 3 (i % 3) + 2, and its other words
// follow the parity of i.
class TestClustersPanel : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString project;
    static constexpr int Images = ThreeGroupsProject::Images;
    static QString bin(const QString &name) { return ThreeGroupsProject::bin(name); }

    static CAView *openShown(CAMainWindow &w, const QString &file)
    {
        w.resize(1400, 900);
        w.show();
        if (!QTest::qWaitForWindowExposed(&w) || !w.open(file))
            return nullptr;
        QDeadlineTimer deadline(20000);
        while (!(w.activeMdiChild() && w.activeMdiChild()->caView && w.activeMdiChild()->caView->isVisible())
               && !deadline.hasExpired())
            QTest::qWait(20);
        return w.activeMdiChild() ? w.activeMdiChild()->caView : nullptr;
    }

    // The group (image % 3) of every image of each cluster found.
    static std::vector<std::set<int>> groupsOf(const ClusterAnalysis &a)
    {
        std::vector<std::set<int>> out;
        for (const ClusterAnalysis::Cluster &c : a.clusters()) {
            out.emplace_back();
            for (const int i : c.rows)
                out.back().insert(i % 3);
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        project = ThreeGroupsProject::make(QDir(dir.path()));
        QVERIFY2(!project.isEmpty(), "the solver did not make the fixture's analysis");
    }

    void find_data()
    {
        QTest::addColumn<int>("bar");      // the bar clicked after the first run; -1 none
        QTest::addColumn<int>("clusters");
        QTest::newRow("the suggested cut") << -1 << 6;
        QTest::newRow("a click on the second bar") << 1 << 3;
        QTest::newRow("a click on the fourth bar") << 3 << 5;
    }

    // The menu command finds the suggested cut; a click on bar k cuts into
    // k + 2. Every cluster lies inside one group, and the list shows them.
    void find()
    {
        QFETCH(int, bar);
        QFETCH(int, clusters);
        CAMainWindow w;
        QVERIFY(openShown(w, project));
        auto *panel = w.findChild<ClustersPanel *>();
        QVERIFY(panel);
        QVERIFY(w.menuBar()->actions().size() > 1);
        QSignalSpy finished(panel, &ClustersPanel::finished);
        panel->findAct->trigger();
        QVERIFY(finished.wait(20000));
        QVERIFY(panel->dock->isVisible());
        QVERIFY(panel->result());
        QCOMPARE(panel->result()->suggested(), 6);
        if (bar >= 0) {
            const QPoint at = panel->chart->barRect(bar).center();
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), panel->chart->mapToGlobal(QPointF(at)),
                              Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(panel->chart, &press);
            QVERIFY(finished.wait(20000));
        }
        QCOMPARE(int(panel->result()->clusters().size()), clusters);
        QCOMPARE(panel->list->topLevelItemCount(), clusters);
        QCOMPARE(panel->chart->cut(), clusters);
        int total = 0;
        for (int k = 0; k < clusters; ++k)
            total += panel->list->topLevelItem(k)->text(1).toInt();
        QCOMPARE(total, Images);
        const std::vector<std::set<int>> groups = groupsOf(*panel->result());
        for (int k = 0; k < clusters; ++k) {
            QCOMPARE(int(groups[std::size_t(k)].size()), 1);
            // Its words, by the group test on the table, are its group's.
            const QStringList words = panel->list->topLevelItem(k)->text(4).split(QStringLiteral(", "));
            QCOMPARE(words.size(), 3);
            for (const QString &word : words)
                QCOMPARE(word.toInt() / 3, *groups[std::size_t(k)].begin());
            QVERIFY(panel->list->topLevelItem(k)->toolTip(0).contains(QStringLiteral("img")));
        }
        QVERIFY(panel->summary->text().contains(QStringLiteral("%1 clusters").arg(clusters)));
    }

    // Kept as groups of the map, twice: the second time under names of
    // their own.
    void keepAsGroups()
    {
        CAMainWindow w;
        CAView *view = openShown(w, project);
        QVERIFY(view);
        auto *panel = w.findChild<ClustersPanel *>();
        QSignalSpy finished(panel, &ClustersPanel::finished);
        panel->find(3);
        QVERIFY(finished.wait(20000));
        QVERIFY(panel->keepButton->isEnabled());
        const int before = view->groups().size();
        panel->keepButton->click();
        panel->keepButton->click();
        QCOMPARE(view->groups().size(), before + 6);
        std::set<int> seen;
        for (int k = 0; k < 3; ++k) {
            const NamedGroup &g = view->groups().at(before + k);
            QCOMPARE(g.name, QStringLiteral("Cluster %1").arg(k + 1));
            QCOMPARE(view->groups().at(before + 3 + k).name, QStringLiteral("Cluster %1 (2)").arg(k + 1));
            QCOMPARE(view->groups().at(before + 3 + k).images, g.images);
            QVERIFY(g.words.isEmpty());
            std::set<int> groups;
            for (const int i : g.images) {
                QVERIFY(seen.insert(i).second);
                groups.insert(i % 3);
            }
            QCOMPARE(int(groups.size()), 1);
            QCOMPARE(int(g.images.size()), Images / 3);
        }
        QCOMPARE(int(seen.size()), Images);
    }

    // Closing the window while a run is under way waits for it: no crash.
    void closeWhileRunning()
    {
        auto *w = new CAMainWindow;
        QVERIFY(openShown(*w, project));
        auto *panel = w->findChild<ClustersPanel *>();
        panel->find(0);
        // Under way until the event loop hears of its end.
        QVERIFY(!panel->progress->isHidden());
        delete w;
    }
};

QTEST_MAIN(TestClustersPanel)
#include "tst_clusterspanel.moc"
