// The main window's Find field and named groups: matches gone through with
// F3 / Shift+F3 and counted in the status bar; "Keep selection as..." and
// groups kept by a session.
#include "data/cadata.h"
#include "data/console.h"
#include "document/camdichild.h"
#include "tests/document/documentfixture.h"
#include "map/caview.h"
#include "shell/camainwindow.h"
#include "shell/findbar.h"
#include "shell/groupspanel.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

class TestFindGroups : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void findGoesThroughMatches_data();
    void findGoesThroughMatches();
    void keepSelection_data();
    void keepSelection();
    void sessionKeepsGroups();

private:
    QTemporaryDir m_dir;
    QString m_project;
};

void TestFindGroups::initTestCase()
{
    QVERIFY(m_dir.isValid());
    DocumentFixture::useScratchFolders(m_dir.path());
    m_project = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("p")), {});
}

void TestFindGroups::findGoesThroughMatches_data()
{
    // The fixture's images are img_0.png ... img_59.png.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("keys"); // +1 F3, -1 Shift+F3
    QTest::addColumn<QList<int>>("focus"); // after Enter, then after each key
    QTest::addColumn<int>("total");
    // Names starting with img_5 (img_5, then img_50..59) in the list's order.
    QTest::newRow("forward") << QStringLiteral("img_5") << QList<int>{1, 1}
                             << QList<int>{5, 50, 51} << 11;
    QTest::newRow("back wraps") << QStringLiteral("IMG_5") << QList<int>{-1, -1}
                                << QList<int>{5, 59, 58} << 11;
    // The image numbered 7 before the names holding a 7 (img_17 ... img_57).
    QTest::newRow("number first") << QStringLiteral("7") << QList<int>{1}
                                  << QList<int>{7, 17} << 6;
    QTest::newRow("one match wraps onto itself") << QStringLiteral("img_42.png") << QList<int>{1}
                                                 << QList<int>{42, 42} << 1;
}

void TestFindGroups::findGoesThroughMatches()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, keys);
    QFETCH(QList<int>, focus);
    QFETCH(int, total);
    Console::Capture capture;
    CAMainWindow w;
    w.resize(1200, 800);
    QVERIFY(w.open(m_project));
    CAView *view = w.activeView();
    QVERIFY(view);
    w.findBar->field->setText(text);
    emit w.findBar->field->returnPressed();
    QCOMPARE(w.findBar->count(), total);
    QCOMPARE(view->focusImage, focus[0]);
    QVERIFY2(w.statusBar()->currentMessage().startsWith(
                 QStringLiteral("1 of %1 matches").arg(total)),
             qPrintable(w.statusBar()->currentMessage()));
    for (int k = 0; k < keys.size(); ++k) {
        (keys[k] > 0 ? w.findBar->nextAct : w.findBar->previousAct)->trigger();
        const int at = w.findBar->current();
        QCOMPARE(view->focusImage, focus[k + 1]);
        QVERIFY(w.statusBar()->currentMessage().startsWith(
            QStringLiteral("%1 of %2 matches").arg(at + 1).arg(total)));
    }
}

void TestFindGroups::keepSelection_data()
{
    QTest::addColumn<QVector<int>>("images");
    QTest::addColumn<QVector<int>>("words");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("kept");
    QTest::newRow("kept, rows sorted") << QVector<int>{9, 3, 4} << QVector<int>{2} << QStringLiteral("B") << true;
    QTest::newRow("words only") << QVector<int>{} << QVector<int>{1, 0} << QStringLiteral("W") << true;
    QTest::newRow("nothing selected") << QVector<int>{} << QVector<int>{} << QStringLiteral("E") << false;
    QTest::newRow("no name") << QVector<int>{1} << QVector<int>{} << QStringLiteral("  ") << false;
    QTest::newRow("name taken") << QVector<int>{1} << QVector<int>{} << QStringLiteral("first") << false;
}

void TestFindGroups::keepSelection()
{
    QFETCH(QVector<int>, images);
    QFETCH(QVector<int>, words);
    QFETCH(QString, name);
    QFETCH(bool, kept);
    auto data = std::make_unique<CAData>(true);
    CAView view(0, 1, 2);
    NamedGroup first;
    first.name = QStringLiteral("First");
    first.images = {0};
    view.groups().setList({first});
    view.selectedImages = images;
    view.selectedWords = words;
    QString why;
    QCOMPARE(GroupsPanel::keepSelection(view, name, &why), kept);
    QCOMPARE(why.isEmpty(), kept);
    QCOMPARE(view.groups().size(), kept ? 2 : 1);
    if (!kept)
        return;
    const NamedGroup &g = view.groups().list().last();
    QCOMPARE(g.name, name.trimmed());
    QVector<int> sortedImages = images, sortedWords = words;
    std::sort(sortedImages.begin(), sortedImages.end());
    std::sort(sortedWords.begin(), sortedWords.end());
    QCOMPARE(g.images, sortedImages);
    QCOMPARE(g.words, sortedWords);
    QVERIFY(g.visible);
    QVERIFY(g.colour.isValid());
}

void TestFindGroups::sessionKeepsGroups()
{
    Console::Capture capture;
    const QString session = m_dir.filePath(QStringLiteral("groups.ortelis-session"));
    QVector<NamedGroup> groups;
    {
        CAMainWindow w;
        QVERIFY(w.open(m_project));
        CAView *view = w.activeView();
        view->selectedImages = {1, 2, 3};
        view->selectedWords = {4};
        QVERIFY(GroupsPanel::keepSelection(*view, QStringLiteral("one")));
        view->selectedImages = {10, 11};
        view->selectedWords = {};
        QVERIFY(GroupsPanel::keepSelection(*view, QStringLiteral("two")));
        view->groups().setVisible(1, false);
        groups = view->groups().list();
        QString error;
        QVERIFY2(w.saveSessionTo(session, false, &error), qPrintable(error));
    }
    CAMainWindow w;
    QStringList missing;
    QString error;
    QVERIFY2(w.openSessionFrom(session, &missing, &error), qPrintable(error));
    QVERIFY(missing.isEmpty());
    CAView *view = w.activeView();
    QVERIFY(view);
    QCOMPARE(view->groups().list(), groups);
    // The list shows them once the window is the active one.
    w.groupsPanel->setView(view);
    QCOMPARE(w.groupsPanel->list->count(), 2);
    QCOMPARE(w.groupsPanel->list->item(1)->checkState(), Qt::Unchecked);
}

QTEST_MAIN(TestFindGroups)
#include "tst_findgroups.moc"
