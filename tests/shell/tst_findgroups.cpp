// The main window's Find field and named groups: matches gone through with
// F3 / Shift+F3 and counted in the status bar; "Keep selection as..." and
// groups kept by a session.
#include "data/model/cadata.h"
#include "data/model/console.h"
#include "document/camdichild.h"
#include "tests/document/documentfixture.h"
#include "map/caview.h"
#include "shell/camainwindow.h"
#include "shell/findbar.h"
#include "document/analysissaver.h"
#include "shell/groupspanel.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCompleter>
#include <QKeyEvent>
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
    void enterTakesTheListsLine_data();
    void enterTakesTheListsLine();
    void keepSelection_data();
    void keepSelection();
    void sessionKeepsGroups();
    void groupsAreBounded_data();
    void groupsAreBounded();

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

void TestFindGroups::enterTakesTheListsLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("row"); // the line chosen in the open list, -1 for none
    QTest::addColumn<int>("focus");
    // The list is in alphabetical order: "img_12.png" comes before
    // "img_2.png", though image 2 is the first image whose name holds "2.png".
    QTest::newRow("none chosen: the first line") << QStringLiteral("2.png") << -1 << 12;
    QTest::newRow("none chosen, other text") << QStringLiteral("5.png") << -1 << 15;
    QTest::newRow("a line chosen") << QStringLiteral("2.png") << 1 << 2;
}

void TestFindGroups::enterTakesTheListsLine()
{
    QFETCH(QString, text);
    QFETCH(int, row);
    QFETCH(int, focus);
    Console::Capture capture;
    CAMainWindow w;
    w.resize(1200, 800);
    QVERIFY(w.open(m_project));
    w.show();
    CAView *view = w.activeView();
    QVERIFY(view);
    QLineEdit *field = w.findBar->field;
    QCompleter *completer = field->completer();
    QVERIFY(completer);
    field->setFocus();
    field->setText(text);
    completer->setCompletionPrefix(text);
    completer->complete();
    QAbstractItemView *list = completer->popup();
    QTRY_VERIFY(list->isVisible());
    if (row >= 0)
        list->setCurrentIndex(completer->completionModel()->index(row, 0));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(list, &enter);
    QCOMPARE(view->focusImage, focus);
    if (row < 0)
        QCOMPARE(field->text(), DocumentFixture::imageFile(focus));
    QVERIFY(!list->isVisible());
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

void TestFindGroups::groupsAreBounded_data()
{
    QTest::addColumn<int>("written"); // groups in the file beside the project
    QTest::newRow("none") << 0;
    QTest::newRow("three") << 3;
    QTest::newRow("at the limit") << NamedGroup::MaxGroups;
    QTest::newRow("one beyond") << NamedGroup::MaxGroups + 1;
    QTest::newRow("200,000") << 200000;
}

// A groups file of many groups: a map takes the first NamedGroup::MaxGroups
// and says how many it left out; the Groups list shows them, and showing
// them again (at every window activation) changes only what differs.
void TestFindGroups::groupsAreBounded()
{
    QFETCH(int, written);
    const QString project =
        DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("g%1").arg(written)), {});
    QByteArray json = "[";
    for (int k = 0; k < written; ++k)
        json += (k ? ",{\"name\":\"g" : "{\"name\":\"g") + QByteArray::number(k) + "\",\"images\":[" +
                QByteArray::number(k % 60) + "]}";
    json += "]";
    QFile file(AnalysisSaver::groupsFile(project));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(json);
    file.close();

    Console::Capture capture;
    CAMainWindow w;
    QVERIFY(w.open(project));
    CAView *view = w.activeView();
    QVERIFY(view);
    const int kept = std::min(written, int(NamedGroup::MaxGroups));
    QCOMPARE(view->groups().size(), kept);
    if (kept > 0)
        QCOMPARE(view->groups().at(kept - 1).name, QStringLiteral("g%1").arg(kept - 1));
    const QString err = capture.err().join('\n');
    if (written > kept)
        QVERIFY2(err.contains(QStringLiteral("(%1): the first %1 are read, %2 left out")
                                  .arg(NamedGroup::MaxGroups).arg(written - kept)),
                 qPrintable(err));
    else
        QVERIFY2(!err.contains(QStringLiteral("left out")), qPrintable(err));

    w.groupsPanel->setView(view);
    QCOMPARE(w.groupsPanel->list->count(), kept);
    if (kept == 0)
        return;
    QCOMPARE(w.groupsPanel->list->item(kept - 1)->text(),
             QStringLiteral("g%1 (1 images, 0 words)").arg(kept - 1));
    // Shown again unchanged: the same lines; after a change, that line.
    QListWidgetItem *first = w.groupsPanel->list->item(0);
    view->groups().setName(0, QStringLiteral("renamed"));
    view->groups().setVisible(0, false);
    w.groupsPanel->setView(view);
    QCOMPARE(w.groupsPanel->list->item(0), first);
    QCOMPARE(first->text(), QStringLiteral("renamed (1 images, 0 words)"));
    QCOMPARE(first->checkState(), Qt::Unchecked);
    view->groups().removeAt(view->groups().size() - 1);
    w.groupsPanel->refresh();
    QCOMPARE(w.groupsPanel->list->count(), kept - 1);

    // At the limit, no group more is kept, and the reason names it.
    QVector<NamedGroup> full = view->groups().list();
    while (full.size() < NamedGroup::MaxGroups) {
        NamedGroup g;
        g.name = QStringLiteral("more %1").arg(full.size());
        full.append(g);
    }
    view->groups().setList(full);
    view->selectedImages = {1};
    QString why;
    QVERIFY(!GroupsPanel::keepSelection(*view, QStringLiteral("one more"), &why));
    QVERIFY2(why.contains(QString::number(NamedGroup::MaxGroups)), qPrintable(why));
}

QTEST_MAIN(TestFindGroups)
#include "tst_findgroups.moc"
