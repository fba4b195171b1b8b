#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/formats/counttable.h"
#include "detail/wordimagespane.h"
#include "document/camdichild.h"
#include "map/caview.h"
#include "shell/axespanel.h"
#include "shell/camainwindow.h"
#include "shell/mappanels.h"
#include "shell/tablestore.h"
#include "shell/wordimageswindow.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <cmath>

// "Images with this word": the images of a map richest in one word, from its
// menu on the map or its row in the Axes dock, on analyses the solver made of
// small tables written here.
class TestWordImages : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    // 14 images x 5 words with many ties: image i holds (i * (j + 2)) % 5 of
    // word j, and none of word 4 in the even images.
    static int count(int i, int j) { return j == 4 && i % 2 == 0 ? 0 : (i * (j + 2) + j) % 5; }
    static constexpr int Images = 14;
    static constexpr int Words = 5;

    void write(const QString &name, const QByteArray &text)
    {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write fixture");
        f.write(text);
    }

    static QString bin(const QString &name) { return qEnvironmentVariable("ORTELIS_BIN_DIR") + QLatin1Char('/') + name; }
    static CAView *activeView(CAMainWindow &w) { return w.activeMdiChild() ? w.activeMdiChild()->caView : nullptr; }

    // A project over the table `name`, its cells the counts or their square roots.
    void makeProject(const QString &name, bool roots)
    {
        QByteArray table = QByteArray::number(Images) + ' ' + QByteArray::number(Words) + '\n';
        for (int i = 0; i < Images; ++i) {
            for (int j = 0; j < Words; ++j)
                table += (roots ? QByteArray::number(std::sqrt(double(count(i, j))), 'g', 7)
                                : QByteArray::number(count(i, j)))
                    + ' ';
            table += '\n';
        }
        write(name + ".txt", table);
        QProcess solver;
        solver.setWorkingDirectory(dir.path());
        solver.start(bin(QStringLiteral("ca.exe")), {"-k", "0", dir.filePath(name + ".txt"), dir.filePath(name + ".txt")});
        QVERIFY(solver.waitForFinished(60000));
        QCOMPARE(solver.exitCode(), 0);
        const QByteArray t = name.toLatin1() + ".txt";
        write(name + ".xml", "<XML><BASE href='.'/><FILE name='F' path='" + t + "'/>"
                             "<FILE name='Z' path='" + t + "_Z.txt'/><FILE name='W' path='" + t + "_W.txt'/>"
                             "<FILE name='P' path='" + t + "_P.txt'/><FILE name='Q' path='" + t + "_Q.txt'/>"
                             "<FILE name='LAMBDA' path='" + t + "_Lambda.txt'/>"
                             "<FILE name='LABEL' path='images.txt'/>"
                             "<FILE name='DESCRIPTOR' path='keypoints.txt'/></XML>");
    }

    static void openShown(CAMainWindow &w, const QString &file)
    {
        w.resize(1400, 900);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.open(file));
        QTRY_VERIFY(activeView(w) && activeView(w)->isVisible());
        activeView(w)->repaint();
    }

    // The reference ranking: images holding the word, by count descending
    // and then image number, the first `top`.
    static QVector<QPair<int, double>> expected(int word, int top)
    {
        QVector<QPair<int, double>> all;
        for (int i = 0; i < Images; ++i)
            if (count(i, word) > 0)
                all.append({i, double(count(i, word))});
        std::stable_sort(all.begin(), all.end(),
                         [](const QPair<int, double> &a, const QPair<int, double> &b) { return a.second > b.second; });
        return all.mid(0, top);
    }

    static QVector<QPair<int, double>> listed(const WordImagesWindow *window)
    {
        QVector<QPair<int, double>> out;
        for (const WordImages::Image &i : window->images())
            out.append({i.image, i.value});
        return out;
    }

    // Triggers the entry `text` of the next popup menu.
    static void pickFromMenu(const QString &text, bool *found)
    {
        QTimer::singleShot(50, [text, found] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *a : menu->actions())
                if (a->text() == text && a->isEnabled()) {
                    *found = true;
                    a->trigger();
                }
            menu->close();
        });
    }

private slots:
    void initTestCase()
    {
        QByteArray labels, keypointList = QByteArray::number(Images) + '\n';
        for (int i = 0; i < Images; ++i) {
            labels += "1 img" + QByteArray::number(i) + ".png\n";
            keypointList += "img" + QByteArray::number(i) + ".sift\n";
            QImage picture(48, 48, QImage::Format_RGB32);
            picture.fill(QColor::fromHsv(i * 20, 200, 220));
            QVERIFY(picture.save(dir.filePath(QStringLiteral("img%1.png").arg(i))));
            write(QStringLiteral("img%1.sift").arg(i), QByteArray());
        }
        write("images.txt", labels);
        write("keypoints.txt", keypointList);
        makeProject("counts", false);
        makeProject("roots", true);
    }

    void richest_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("top");
        for (const char *table : {"counts", "roots"})
            for (int word = 0; word < Words; ++word)
                QTest::addRow("%s, word %d", table, word) << QString::fromLatin1(table) << word << 60;
        QTest::newRow("counts, word 1, top 4 (ties cut)") << "counts" << 1 << 4;
        QTest::newRow("roots, word 4, top 2") << "roots" << 4 << 2;
    }

    // The word's images are listed by its count, largest first, ties by image
    // number, the table's square roots squared back; the window says what the
    // number is and draws only that word's keypoints.
    void richest()
    {
        QFETCH(QString, table);
        QFETCH(int, word);
        QFETCH(int, top);
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, dir.filePath(table + ".xml"));
        WordImagesWindow::top = top;
        WordImagesWindow *window = w.mapPanels->openWordImages(word);
        WordImagesWindow::top = WordImages::DefaultTop;
        QVERIFY(window);
        QTRY_VERIFY(window->isFilled());
        QCOMPARE(listed(window), expected(word, top));
        QVERIFY2(window->windowTitle().contains(QStringLiteral("count of word #%1").arg(word)),
                 qPrintable(window->windowTitle()));
        QCOMPARE(window->pane->squareCount(), int(expected(word, top).size()));
        QVERIFY(window->pane->wordList);
        QCOMPARE(*window->pane->wordList, QSet<int>{word});
        QVERIFY(!window->progress->isVisible());
        window->close();
    }

    void fromMapMenu_data()
    {
        QTest::addColumn<int>("word");
        for (int word = 0; word < Words; ++word)
            QTest::addRow("word %d", word) << word;
    }

    // Shift with the right button on a word opens its menu; "Images with this
    // word" opens the window of the word under the cursor. The right button
    // alone keeps its lock of the images.
    void fromMapMenu()
    {
        QFETCH(int, word);
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, dir.filePath("counts.xml"));
        CAView *v = activeView(w);
        w.thresholdSlider->setValue(0);
        QVERIFY(v->wordDrawn(word));
        const QPoint at = v->wordPosition(word);
        // Another word drawn at the same pixel would make the click ambiguous.
        for (int other = 0; other < Words; ++other)
            if (other != word && v->wordDrawn(other) && (v->wordPosition(other) - at).manhattanLength() <= 8)
                QSKIP("two words share this place on the map");
        QSignalSpy asked(v, &CAView::wordMenuRequested);
        const int modeBefore = v->mode;
        bool found = false;
        pickFromMenu(QStringLiteral("Images with this word"), &found);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(v->mapToGlobal(at)), Qt::RightButton,
                          Qt::RightButton, Qt::ShiftModifier);
        QCoreApplication::sendEvent(v, &press);
        QCOMPARE(asked.count(), 1);
        QCOMPARE(asked.first().at(0).toInt(), word);
        QCOMPARE(v->mode, modeBefore);
        QVERIFY(found);
        QVERIFY(w.mapPanels->lastWordImages);
        QCOMPARE(w.mapPanels->lastWordImages->word(), word);
        QTRY_VERIFY(w.mapPanels->lastWordImages->isFilled());
        QCOMPARE(listed(w.mapPanels->lastWordImages), expected(word, WordImages::DefaultTop));
        w.mapPanels->lastWordImages->close();

        // Without Shift the right button locks the images, as before.
        QMouseEvent plain(QEvent::MouseButtonPress, QPointF(at), QPointF(v->mapToGlobal(at)), Qt::RightButton,
                          Qt::RightButton, Qt::NoModifier);
        QCoreApplication::sendEvent(v, &plain);
        QCOMPARE(asked.count(), 1);
        QVERIFY(v->mode & CAView::ModeImageLocked);
    }

    // A word's row in the Axes dock has the same command.
    void fromAxesDock()
    {
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, dir.filePath("counts.xml"));
        w.mapPanels->axesDock->show();
        AxesPanel *panel = w.mapPanels->axes;
        QTRY_VERIFY(!panel->rows().isEmpty());
        QTreeWidgetItem *row = nullptr;
        for (QTreeWidgetItemIterator it(panel->tree); *it && !row; ++it)
            if ((*it)->text(0).startsWith(QStringLiteral("Word #")))
                row = *it;
        QVERIFY(row);
        const int word = row->data(0, Qt::UserRole + 1).toInt();
        panel->tree->scrollToItem(row);
        const QPoint at = panel->tree->visualItemRect(row).center();
        bool found = false;
        pickFromMenu(QStringLiteral("Images with this word"), &found);
        emit panel->tree->customContextMenuRequested(at);
        QVERIFY(found);
        QVERIFY(w.mapPanels->lastWordImages);
        QCOMPARE(w.mapPanels->lastWordImages->word(), word);
        QTRY_VERIFY(w.mapPanels->lastWordImages->isFilled());
        QCOMPARE(listed(w.mapPanels->lastWordImages), expected(word, WordImages::DefaultTop));
    }

    // The table is read on a worker thread: request() answers at once, the
    // table arrives with ready(), as the file says.
    void tableOffThread()
    {
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, dir.filePath("counts.xml"));
        CAData *data = activeView(w)->data;
        TableStore store;
        QSignalSpy ready(&store, &TableStore::ready);
        QVERIFY(!store.request(data));
        QVERIFY(store.isReading());
        QVERIFY(ready.wait(10000));
        QCOMPARE(ready.count(), 1);
        QVERIFY(store.isReady(data));
        const CountTable *table = store.table(data);
        QVERIFY(table);
        for (int j = 0; j < Words; ++j) {
            const std::vector<double> column = table->column(j, true);
            for (int i = 0; i < Images; ++i)
                QCOMPARE(column[std::size_t(i)], double(count(i, j)));
        }
        // Asked again, it is at hand.
        QVERIFY(store.request(data));
    }
};

QTEST_MAIN(TestWordImages)
#include "tst_wordimages.moc"
