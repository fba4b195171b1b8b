#include "data/model/cadata.h"
#include "data/model/console.h"
#include "document/camdichild.h"
#include "map/categoryagreement.h"
#include "map/caview.h"
#include "shell/camainwindow.h"
#include "shell/findbar.h"
#include "shell/categorylegend.h"
#include "shell/mappanels.h"
#include "shell/screepanel.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <QToolTip>

#include <vector>

// The panels beside the map, in the real main window driven offscreen: the
// counts in the status bar, the slider values, Fit all, the legend and the
// scree plot, and the fits that follow new axes and projections.
class TestMapPanels : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString project;

    void write(const QString &name, const QByteArray &text)
    {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write fixture");
        f.write(text);
    }

    static CAView *activeView(CAMainWindow &w)
    {
        return w.activeMdiChild() ? w.activeMdiChild()->caView : nullptr;
    }

    // Opens the project in a shown window and lets the first paint fit it.
    static void openShown(CAMainWindow &w, const QString &file)
    {
        w.resize(1400, 900);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.open(file));
        QTRY_VERIFY(activeView(w) && activeView(w)->isVisible());
        activeView(w)->repaint();
    }

    // Drawn points counted from the data, as the status bar must show them.
    static QString expectedStatus(const CAView *v)
    {
        int images = 0, words = 0;
        for (int i = 0; i < v->data->nbImages; ++i)
            images += v->imageDrawn(i);
        for (int j = 0; j < v->data->nbWords; ++j)
            words += v->wordDrawn(j);
        return QStringLiteral("Images shown: %1 of %2 \u00B7 Words shown: %3 of %4")
            .arg(images).arg(v->data->nbImages).arg(words).arg(v->data->nbWords);
    }

private slots:
    void initTestCase()
    {
        // Twelve images in three categories (two named), six words, four
        // axes; one image far away from the others.
        QByteArray z = "12 4\n", p = "12\n", labels;
        for (int i = 0; i < 12; ++i) {
            const double x = i == 11 ? 9.0 : 0.6 * (i % 5) - 1.2;
            const double y = i == 11 ? -7.0 : 0.5 * (i % 4) - 0.75;
            z += QByteArray::number(x) + ' ' + QByteArray::number(y) + " 0.05 -0.03\n";
            p += "0.0833333\n";
            labels += QByteArray::number(1 + i % 3) + " img" + QByteArray::number(i) + ".png\n";
        }
        write("t_Z.txt", z);
        write("t_P.txt", p);
        write("t_W.txt", "6 4\n0.2 0.1 0 0.1\n-0.3 0.2 0.1 0\n0.4 -0.2 0.3 0\n-0.1 -0.1 -0.2 0\n"
                         "0.3 0.3 0.3 0.3\n-0.2 0.25 0 0\n");
        write("t_Q.txt", "6 0.2 0.2 0.2 0.2 0.1 0.1");
        write("t_Lambda.txt", "4 0.4 0.3 0.2 0.1");
        write("images.txt", labels);
        write("names.txt", "1 red pandas\n2 bicycles\n");
        write("project.xml", "<XML><BASE href='.'/>"
                             "<FILE name='Z' path='t_Z.txt'/><FILE name='W' path='t_W.txt'/>"
                             "<FILE name='P' path='t_P.txt'/><FILE name='Q' path='t_Q.txt'/>"
                             "<FILE name='LAMBDA' path='t_Lambda.txt'/>"
                             "<FILE name='LABEL' path='images.txt'/>"
                             "<FILE name='CATEGORIES' path='names.txt'/></XML>");
        project = dir.filePath("project.xml");
    }

    void newAnalysisIsFittedAndColoured()
    {
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, project);
        CAView *v = activeView(w);
        QTRY_VERIFY(v->isFitted());
        QVERIFY(v->categoryColoursOn());
        QVERIFY(v->scale < 200); // the far image pulls the fit out
        for (int i = 0; i < v->data->nbImages; ++i)
            if (v->imageDrawn(i))
                QVERIFY(v->rect().contains(v->imagePosition(i)));
        QVERIFY(w.mapPanels->fitAct->isEnabled());
        QCOMPARE(w.mapPanels->fitAct->shortcut(), QKeySequence(QStringLiteral("Ctrl+0")));
        QVERIFY(w.viewMenu->actions().contains(w.mapPanels->fitAct));
        QVERIFY(w.editToolBar->actions().contains(w.mapPanels->fitAct));

        // Zoomed away, Fit all brings everything back.
        v->zoomIn();
        QVERIFY(!v->isFitted());
        w.mapPanels->fitAct->trigger();
        QVERIFY(v->isFitted());
    }

    void statusCountsFollowEveryChange()
    {
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, project);
        CAView *v = activeView(w);
        QLabel *status = w.mapPanels->shownLabel;
        QCOMPARE(status->text(), expectedStatus(v));
        for (int t : {0, 4, 1}) {
            w.thresholdSlider->setValue(t);
            QCOMPARE(w.mapPanels->thresholdValue->text(), QStringLiteral("%1 \u00d7").arg(t));
            QCOMPARE(status->text(), expectedStatus(v));
        }
        w.showImagePointAct->toggle();
        QVERIFY(status->text().startsWith(QStringLiteral("Images shown: 0 of 12")));
        w.showImagePointAct->toggle();
        w.showWordPointAct->toggle();
        QVERIFY(status->text().endsWith(QStringLiteral("Words shown: 0 of 6")));
        w.showWordPointAct->toggle();
        QCOMPARE(status->text(), expectedStatus(v));

        w.radiusSlider->setValue(37);
        QCOMPARE(w.mapPanels->radiusValue->text(), QStringLiteral("37 px"));
        w.cellSizeSlider->setValue(4);
        QCOMPARE(w.mapPanels->cellSizeValue->text(), QStringLiteral("4 px"));
    }

    void legendNamesCountsAndHides()
    {
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, project);
        CAView *v = activeView(w);
        w.thresholdSlider->setValue(0);
        w.mapPanels->legendDock->show();
        QListWidget *list = w.mapPanels->legend->list;
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(0)->text(), QStringLiteral("red pandas  (4)"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("bicycles  (4)"));
        QCOMPARE(list->item(2)->text(), QStringLiteral("#3  (4)"));
        QCOMPARE(v->shownImages(), 12);

        list->item(1)->setCheckState(Qt::Unchecked);
        QCOMPARE(v->hiddenCategorySet(), QSet<int>{2});
        QCOMPARE(v->shownImages(), 8);
        QCOMPARE(w.mapPanels->shownLabel->text(), expectedStatus(v));
        QCOMPARE(list->item(1)->checkState(), Qt::Unchecked);
        list->item(1)->setCheckState(Qt::Checked);
        QCOMPARE(v->shownImages(), 12);

        // The switch back to the map's single default colour.
        w.mapPanels->colourAct->toggle();
        QVERIFY(!v->categoryColoursOn());
        w.mapPanels->colourAct->toggle();
        QVERIFY(v->categoryColoursOn());
    }

    // A category's tooltip says how well its images keep together on the
    // axes drawn (the measure itself is checked against a plain search
    // elsewhere), and follows new axes and a new projection: 60 images whose
    // three categories lie apart on axis 1 only, with axis 2 nearly flat.
    void legendTooltipMeasuresTheAxesDrawn()
    {
        QByteArray z = "60 4\n", p = "60\n", labels;
        for (int i = 0; i < 60; ++i) {
            z += QByteArray::number(0.2 * (i % 3) + 0.002 * i) + ' ' + QByteArray::number(0.001 * ((i * 7) % 11))
                 + ' ' + QByteArray::number(0.1 * ((i * 5) % 13)) + ' ' + QByteArray::number(0.1 * ((i * 3) % 7))
                 + '\n';
            p += "0.0166667\n";
            labels += QByteArray::number(1 + i % 3) + " img" + QByteArray::number(i) + ".png\n";
        }
        write("apart_Z.txt", z);
        write("apart_P.txt", p);
        write("apart_images.txt", labels);
        write("apart.xml", "<XML><BASE href='.'/>"
                           "<FILE name='Z' path='apart_Z.txt'/><FILE name='W' path='t_W.txt'/>"
                           "<FILE name='P' path='apart_P.txt'/><FILE name='Q' path='t_Q.txt'/>"
                           "<FILE name='LAMBDA' path='t_Lambda.txt'/>"
                           "<FILE name='LABEL' path='apart_images.txt'/></XML>");
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, dir.filePath("apart.xml"));
        CAView *v = activeView(w);
        w.mapPanels->legendDock->show();
        QListWidget *list = w.mapPanels->legend->list;
        QTRY_VERIFY(list->isVisible());
        auto tooltip = [&](int row) {
            const QRect r = list->visualItemRect(list->item(row));
            QHelpEvent help(QEvent::ToolTip, r.center(), list->viewport()->mapToGlobal(r.center()));
            QCoreApplication::sendEvent(list->viewport(), &help);
            return QToolTip::text();
        };
        auto expected = [&](int row) {
            std::vector<double> x, y;
            std::vector<int> category;
            for (int i = 0; i < 60; ++i) {
                x.push_back(v->getZ(i, v->axis1));
                y.push_back(v->getZ(i, v->axis2));
                category.push_back(v->data->labels[i].category - 1);
            }
            return QStringLiteral("On axes %1 and %2 as drawn, ").arg(v->axis1 + 1).arg(v->axis2 + 1)
                   + QString::number(100.0 * CategoryAgreement(x, y, category).of(row).alike, 'f', 0)
                   + QStringLiteral("\u00A0%");
        };
        const QString first = tooltip(0);
        QVERIFY2(first.contains(QStringLiteral("Category #1: 20 of the 60 images of the analysis")), qPrintable(first));
        QVERIFY2(first.contains(QStringLiteral("On axes 1 and 2 as drawn, 100\u00A0%")), qPrintable(first));
        // At random, 19 of the 59 others would be of its category.
        QVERIFY2(first.contains(QStringLiteral("(32\u00A0% were the images placed at random)")), qPrintable(first));
        w.xAxisEdit->setText(QStringLiteral("2"));
        w.yAxisEdit->setText(QStringLiteral("3"));
        w.refreshAct->trigger();
        QVERIFY2(tooltip(1).contains(expected(1)), qPrintable(tooltip(1) + " / " + expected(1)));
        QVERIFY(!tooltip(1).contains(QStringLiteral("100\u00A0%")));
        // Axes 1 and 4, then scaled by their eigenvalues (0.4 and 0.1) in
        // another projection: other distances, another figure.
        w.xAxisEdit->setText(QStringLiteral("1"));
        w.yAxisEdit->setText(QStringLiteral("4"));
        w.refreshAct->trigger();
        const QString plain = expected(2);
        QVERIFY2(tooltip(2).contains(plain), qPrintable(tooltip(2) + " / " + plain));
        w.rowsBarycenterAct->trigger();
        QVERIFY2(tooltip(2).contains(expected(2)), qPrintable(tooltip(2) + " / " + expected(2)));
        QVERIFY2(expected(2) != plain, qPrintable(plain));
    }

    void screeBarsPickTheAxes()
    {
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, project);
        CAView *v = activeView(w);
        ScreePanel *scree = w.mapPanels->scree;
        w.mapPanels->screeDock->show();
        scree->resize(300, 200);
        QVERIFY(!scree->barRect(3).isEmpty());
        QVERIFY(scree->barRect(0).height() > scree->barRect(3).height());

        QTest::mouseClick(scree, Qt::LeftButton, {}, scree->barRect(2).center());
        QCOMPARE(scree->pending(), 2);
        QTest::mouseClick(scree, Qt::LeftButton, {}, scree->barRect(0).center());
        QCOMPARE(v->axis1, 2);
        QCOMPARE(v->axis2, 0);
        QCOMPARE(w.xAxisEdit->text(), QStringLiteral("3"));
        QCOMPARE(w.yAxisEdit->text(), QStringLiteral("1"));
        QVERIFY(v->isFitted()); // new axes are shown whole

        // Refresh with new axes typed in fits too; a projection change also.
        w.xAxisEdit->setText(QStringLiteral("2"));
        w.refreshAct->trigger();
        QCOMPARE(v->axis1, 1);
        QVERIFY(v->isFitted());
        w.rowsBarycenterAct->trigger();
        QCOMPARE(v->projectionMode, 2);
        QVERIFY(v->isFitted());
        // A scale chosen by hand is kept through new axes.
        v->zoomIn();
        const double chosen = v->scale;
        w.xAxisEdit->setText(QStringLiteral("1"));
        w.yAxisEdit->setText(QStringLiteral("3"));
        w.refreshAct->trigger();
        QCOMPARE(v->axis2, 2);
        QVERIFY(!v->isFitted());
        QCOMPARE(v->scale, chosen);
    }

    // The closing cumulative figure stays clear of every bar and share label,
    // whatever the shape of the shares: the last bars may reach the line
    // (a real collection's 10 axes at a quarter of the inertia), stay far
    // below it, or the line may end near the top.
    void screeCumulativeLabelClear_data()
    {
        QTest::addColumn<QVector<double>>("shares");
        QTest::addColumn<QSize>("size");
        const QVector<double> realCollection{0.067, 0.033, 0.027, 0.024, 0.021,
                                             0.020, 0.017, 0.014, 0.014, 0.013};
        QTest::newRow("last bars reach the line") << realCollection << QSize(300, 200);
        QTest::newRow("same, narrow dock") << realCollection << QSize(250, 160);
        QTest::newRow("same, tall dock") << realCollection << QSize(300, 420);
        QTest::newRow("even shares") << QVector<double>(10, 0.02) << QSize(300, 200);
        QTest::newRow("line near the top")
            << QVector<double>{0.5, 0.2, 0.1, 0.08, 0.05} << QSize(300, 200);
        QTest::newRow("two axes") << QVector<double>{0.3, 0.25} << QSize(300, 200);
    }

    void screeCumulativeLabelClear()
    {
        QFETCH(QVector<double>, shares);
        QFETCH(QSize, size);
        ScreePanel scree;
        scree.resize(size);
        scree.setShares(shares, int(shares.size()), 0, 1);
        const QRectF label = scree.cumulativeLabelRect();
        QVERIFY(!label.isEmpty());
        QVERIFY2(QRectF(scree.rect()).contains(label), qPrintable(QStringLiteral("%1,%2 %3x%4")
            .arg(label.x()).arg(label.y()).arg(label.width()).arg(label.height())));
        for (int a = 0; a < shares.size(); ++a) {
            QVERIFY2(!label.intersects(scree.barRect(a)), qPrintable(QString::number(a + 1)));
            QVERIFY2(!label.intersects(scree.shareLabelRect(a)), qPrintable(QString::number(a + 1)));
        }
        // Beside the line's end, on its left, not anywhere free.
        const QPointF end = scree.cumulativePoint(int(shares.size()) - 1);
        QVERIFY(label.right() <= end.x());
    }

    // The legend and the scree plot open with the first map that has
    // categories, and the document windows fitted to the workspace follow it
    // as docks come and go; windows placed by hand stay where they are.
    void docksOpenBesideFittedWindows()
    {
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, project);
        QMdiSubWindow *first = w.workspace->currentSubWindow();
        QDockWidget *legend = w.mapPanels->legendDock;
        QDockWidget *scree = w.mapPanels->screeDock;
        QTRY_VERIFY(legend->isVisible() && scree->isVisible());
        QVERIFY(w.mapPanels->legend->list->isVisible());
        QCOMPARE(w.mapPanels->legend->list->count(), 3);
        // Fitted to what the workspace has left: filling it, beside the docks.
        QTRY_COMPARE(first->geometry(), w.workspace->viewport()->rect());
        const QRect frameOnScreen(first->mapToGlobal(QPoint(0, 0)), first->size());
        QVERIFY(!frameOnScreen.intersects(QRect(legend->mapToGlobal(QPoint(0, 0)), legend->size())));
        QVERIFY(!frameOnScreen.intersects(QRect(scree->mapToGlobal(QPoint(0, 0)), scree->size())));
        QVERIFY(legend->geometry().top() < scree->geometry().top()); // one above the other

        // Docks closed: the window takes the room back; opened again: it
        // gives it up. The map inside stays fitted.
        int room = w.workspace->viewport()->width();
        legend->close();
        scree->close();
        QTRY_VERIFY(w.workspace->viewport()->width() > room);
        QTRY_COMPARE(first->geometry(), w.workspace->viewport()->rect());
        room = w.workspace->viewport()->width();
        legend->toggleViewAction()->trigger();
        QTRY_VERIFY(w.workspace->viewport()->width() < room);
        QTRY_COMPARE(first->geometry(), w.workspace->viewport()->rect());
        QTRY_VERIFY(activeView(w)->isFitted());

        // A second window cascades and follows too; the first, restored from
        // maximised after the workspace changed, fits the new room.
        QVERIFY(w.open(project));
        QMdiSubWindow *second = w.workspace->currentSubWindow();
        QVERIFY(second != first);
        QCOMPARE(second->pos(), QPoint(24, 24));
        first->showMaximized();
        room = w.workspace->viewport()->width();
        legend->close();
        QTRY_VERIFY(w.workspace->viewport()->width() > room);
        QTRY_COMPARE(second->geometry(),
                     w.workspace->viewport()->rect().adjusted(24, 24, 0, 0));
        first->showNormal();
        QTRY_COMPARE(first->geometry(), w.workspace->viewport()->rect());

        // Moved by hand: left alone when the workspace changes.
        second->setGeometry(60, 50, 400, 300);
        room = w.workspace->viewport()->width();
        legend->show();
        QTRY_VERIFY(w.workspace->viewport()->width() < room);
        QTRY_COMPARE(first->geometry(), w.workspace->viewport()->rect());
        QCOMPARE(second->geometry(), QRect(60, 50, 400, 300));

        // The user closed the legend: the next project leaves it closed.
        legend->close();
        QVERIFY(w.open(project));
        QTest::qWait(50);
        QVERIFY(!legend->isVisible());
    }

    // The legend and the scree plot for the first map: the scree plot
    // always, the legend from one named category on; each entry named and
    // counted, a category of supplementary images only said as such.
    void legendForFewCategories_data()
    {
        QTest::addColumn<QByteArray>("labels");     // category of each of the 12 images
        QTest::addColumn<QByteArray>("names");      // the categories file
        QTest::addColumn<QByteArray>("supLabels");  // supplementary images, if any
        QTest::addColumn<bool>("legendShown");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("tooltips");
        const QByteArray ones = QByteArray("1 ").repeated(12);
        const QByteArray three = "1 2 3 1 2 3 1 2 3 1 2 3";
        QTest::newRow("one named category") << ones << QByteArray("1 red pandas\n") << QByteArray() << true
                                            << QStringList{"red pandas  (12)"}
                                            << QStringList{"red pandas: 12 of the 12 images of the analysis"};
        QTest::newRow("one unnamed category") << ones << QByteArray("\n") << QByteArray() << false
                                              << QStringList{"#1  (12)"}
                                              << QStringList{"Category #1: 12 of the 12 images of the analysis"};
        QTest::newRow("three, one unnamed") << three << QByteArray("1 red pandas\n2 bicycles\n") << QByteArray()
                                            << true << QStringList{"red pandas  (4)", "bicycles  (4)", "#3  (4)"}
                                            << QStringList{"red pandas: 4 of the 12 images of the analysis",
                                                           "bicycles: 4 of the 12 images of the analysis",
                                                           "Category #3: 4 of the 12 images of the analysis"};
        QTest::newRow("a category of supplementary images only")
            << ones << QByteArray("1 red pandas\n5 tux vehicles\n") << QByteArray("5 s0.png\n5 s1.png\n") << true
            << QStringList{"red pandas  (12)", "tux vehicles  (supplementary images only)",
                           "Supplementary images  (2)"}
            << QStringList{"red pandas: 12 of the 12 images of the analysis",
                           "tux vehicles: no image of the analysis, only supplementary images (hollow diamonds)",
                           "2 images placed on the axes without taking part in them (hollow diamonds); they never "
                           "count toward the thresholds"};
    }

    void legendForFewCategories()
    {
        QFETCH(QByteArray, labels);
        QFETCH(QByteArray, names);
        QFETCH(QByteArray, supLabels);
        QFETCH(bool, legendShown);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, tooltips);
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
        QByteArray list;
        const QList<QByteArray> categories = labels.split(' ');
        for (int i = 0; i < 12; ++i)
            list += categories.at(i) + " img" + QByteArray::number(i) + ".png\n";
        write(tag + "_images.txt", list);
        write(tag + "_names.txt", names);
        QByteArray xml = "<XML><BASE href='.'/>"
                         "<FILE name='Z' path='t_Z.txt'/><FILE name='W' path='t_W.txt'/>"
                         "<FILE name='P' path='t_P.txt'/><FILE name='Q' path='t_Q.txt'/>"
                         "<FILE name='LAMBDA' path='t_Lambda.txt'/>"
                         "<FILE name='LABEL' path='" + tag.toUtf8() + "_images.txt'/>"
                         "<FILE name='CATEGORIES' path='" + tag.toUtf8() + "_names.txt'/>";
        if (!supLabels.isEmpty()) {
            write(tag + "_zsup.txt", "2 4\n0.5 0.5 0 0\n-0.5 0.25 0 0\n");
            write(tag + "_sup.txt", supLabels);
            xml += "<FILE name='ZSUP' path='" + tag.toUtf8() + "_zsup.txt'/>"
                   "<FILE name='LABELSUP' path='" + tag.toUtf8() + "_sup.txt'/>";
        }
        write(tag + ".xml", xml + "</XML>");
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, dir.filePath(tag + ".xml"));
        QTRY_VERIFY(w.mapPanels->screeDock->isVisible());
        QTest::qWait(50);
        QCOMPARE(w.mapPanels->legendDock->isVisible(), legendShown);
        QListWidget *l = w.mapPanels->legend->list;
        QStringList texts, tips;
        for (int k = 0; k < l->count(); ++k) {
            texts << l->item(k)->text();
            tips << l->item(k)->toolTip();
        }
        QCOMPARE(texts, entries);
        QCOMPARE(tips, tooltips);
    }

    void menuKeyOpensWordMenu_data()
    {
        QTest::addColumn<int>("how"); // 0 word focused, 1 image focused with a word under the cursor, 2 no word
        QTest::addColumn<bool>("opened");
        QTest::newRow("word focused by hovering") << 0 << true;
        QTest::newRow("word under the cursor") << 1 << true;
        QTest::newRow("no word near") << 2 << false;
    }

    // The map takes the keyboard when the mouse comes over it, and the Menu
    // key then opens the word's menu: no click, which would lock the hover.
    void menuKeyOpensWordMenu()
    {
        QFETCH(int, how);
        QFETCH(bool, opened);
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, project);
        CAView *v = activeView(w);
        // Every word drawn.
        w.thresholdSlider->setValue(0);
        if (!w.showWordPointAct->isChecked())
            w.showWordPointAct->trigger();
        w.activateWindow();
        QTRY_VERIFY(w.isActiveWindow());
        w.findBar->field->clearFocus();
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(v, &enter);
        QVERIFY(v->hasFocus());
        int word = 0;
        while (word < v->data->nbWords && (!v->wordDrawn(word) || v->wordAt(v->wordPosition(word)) != word))
            ++word;
        QVERIFY(word < v->data->nbWords);
        v->focusOnImage = how != 0;
        v->focusWord = how == 0 ? word : -1;
        v->focusImage = 0;
        const QPoint at = how == 1 ? v->wordPosition(word) : QPoint(-500, -500);
        v->cursorX = at.x();
        v->cursorY = at.y();
        QString title;
        QTimer::singleShot(0, this, [&title] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                title = menu->actions().value(0) ? menu->actions().value(0)->text() : QString();
                menu->close();
            }
        });
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Menu, Qt::NoModifier);
        QCoreApplication::sendEvent(v, &press);
        QCoreApplication::processEvents();
        QCOMPARE(title, opened ? QStringLiteral("Word #%1").arg(v->data->wordLabel(word)) : QString());
        // Nothing was locked on the way.
        QVERIFY(!(v->mode & CAView::ModeLocked));
    }

    // A map without categories opens the scree plot only, beside the
    // window fitted to what is left.
    void noCategoriesNoLegend()
    {
        Console::Capture capture;
        write("plain.xml", "<XML><BASE href='.'/>"
                           "<FILE name='Z' path='t_Z.txt'/><FILE name='W' path='t_W.txt'/>"
                           "<FILE name='P' path='t_P.txt'/><FILE name='Q' path='t_Q.txt'/>"
                           "<FILE name='LAMBDA' path='t_Lambda.txt'/></XML>");
        CAMainWindow w;
        openShown(w, dir.filePath("plain.xml"));
        QTest::qWait(50);
        QVERIFY(!w.mapPanels->legendDock->isVisible());
        QTRY_VERIFY(w.mapPanels->screeDock->isVisible());
        QTRY_COMPARE(w.workspace->currentSubWindow()->geometry(), w.workspace->viewport()->rect());
    }
};

QTEST_MAIN(TestMapPanels)
#include "tst_mappanels.moc"
