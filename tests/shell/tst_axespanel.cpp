#include "data/model/cadata.h"
#include "data/model/console.h"
#include "document/camdichild.h"
#include "map/caview.h"
#include "shell/axespanel.h"
#include "shell/camainwindow.h"
#include "shell/categorylegend.h"
#include "shell/grouppanel.h"
#include "shell/mappanels.h"
#include "shell/wordkind.h"
#include "shell/wordtooltip.h"
#include "data/formats/wordatlas.h"
#include "data/model/sift.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QProcess>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QHelpEvent>
#include <QSlider>
#include <QSpinBox>
#include <QToolTip>
#include <QTreeWidget>
#include <QtTest>

// The Axes dock in the real main window driven offscreen, on an analysis the
// solver made of a small table, and the same descriptions from the command
// line.
class TestAxesPanel : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString project;
    QString atlasProject;
    // The table: 12 images x 6 words; images i % 3 == k lean on words 2k and
    // 2k + 1.
    int count(int i, int j) const { return (j / 2 == i % 3 ? 6 + (i + j) % 4 : (i * 7 + j * 3) % 3); }

    void write(const QString &name, const QByteArray &text)
    {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write fixture");
        f.write(text);
    }

    static QString bin(const QString &name) { return qEnvironmentVariable("ORTELIS_BIN_DIR") + QLatin1Char('/') + name; }

    static CAView *activeView(CAMainWindow &w) { return w.activeMdiChild() ? w.activeMdiChild()->caView : nullptr; }

    static void openShown(CAMainWindow &w, const QString &file)
    {
        w.resize(1500, 950);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.open(file));
        QTRY_VERIFY(activeView(w) && activeView(w)->isVisible());
        activeView(w)->repaint();
        w.mapPanels->axesDock->show();
    }

    // The axes the dock's rows are about, in order of appearance.
    static QVector<int> listedAxes(const AxesPanel *panel)
    {
        QVector<int> axes;
        for (const AxisTable::Row &r : panel->rows())
            if (axes.isEmpty() || axes.last() != r.axis)
                axes << r.axis;
        return axes;
    }

    static QTreeWidgetItem *firstRow(QTreeWidget *tree, const QString &group)
    {
        for (int s = 0; s < tree->topLevelItemCount(); ++s)
            for (int g = 0; g < tree->topLevelItem(s)->childCount(); ++g)
                if (tree->topLevelItem(s)->child(g)->text(0).startsWith(group) && tree->topLevelItem(s)->child(g)->childCount())
                    return tree->topLevelItem(s)->child(g)->child(0);
        return nullptr;
    }

    int run(const QStringList &args, QByteArray *err = nullptr)
    {
        QProcess p;
        p.start(bin(QStringLiteral("ortelis")), args);
        if (!p.waitForFinished(60000))
            return -1;
        if (err)
            *err = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QList<QByteArray> lines(const QString &file)
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return f.readAll().trimmed().split('\n');
    }

private slots:
    void initTestCase()
    {
        QByteArray table = "12 6\n", labels;
        for (int i = 0; i < 12; ++i) {
            for (int j = 0; j < 6; ++j)
                table += QByteArray::number(count(i, j)) + ' ';
            table += '\n';
            labels += QByteArray::number(1 + i % 3) + " img" + QByteArray::number(i) + ".png\n";
        }
        write("t.txt", table);
        // Pictures and keypoint files: image i has one keypoint of each word
        // it holds, at its centre.
        QByteArray keypointList = "12\n";
        for (int i = 0; i < 12; ++i) {
            QImage picture(64, 64, QImage::Format_RGB32);
            picture.fill(QColor::fromHsv(i * 30, 200, 220));
            QVERIFY(picture.save(dir.filePath(QStringLiteral("img%1.png").arg(i))));
            QByteArray records;
            for (int j = 0; j < 6; ++j) {
                if (!count(i, j))
                    continue;
                const Sift k{0, j, 32, 32, 8, 0, 0, 8};
                QByteArray record(32, 0);
                k.toLittleEndian(reinterpret_cast<uchar *>(record.data()));
                records += record;
            }
            write(QStringLiteral("img%1.sift").arg(i), records);
            keypointList += "img" + QByteArray::number(i) + ".sift\n";
        }
        write("keypoints.txt", keypointList);
        write("images.txt", labels);
        write("names.txt", "1 red pandas\n2 bicycles\n");
        QProcess solver;
        solver.setWorkingDirectory(dir.path());
        solver.start(bin(QStringLiteral("ca.exe")), {"-k", "0", dir.filePath("t.txt"), dir.filePath("t.txt")});
        QVERIFY(solver.waitForFinished(60000));
        QCOMPARE(solver.exitCode(), 0);
        write("project.xml", "<XML><BASE href='.'/><FILE name='F' path='t.txt'/>"
                             "<FILE name='Z' path='t.txt_Z.txt'/><FILE name='W' path='t.txt_W.txt'/>"
                             "<FILE name='P' path='t.txt_P.txt'/><FILE name='Q' path='t.txt_Q.txt'/>"
                             "<FILE name='LAMBDA' path='t.txt_Lambda.txt'/>"
                             "<FILE name='LABEL' path='images.txt'/>"
                             "<FILE name='CATEGORIES' path='names.txt'/>"
                             "<FILE name='DESCRIPTOR' path='keypoints.txt'/></XML>");
        project = dir.filePath("project.xml");

        // The same analysis with a word atlas holding words 0 to 3 only.
        QMap<int, QImage> mosaics;
        for (int word = 0; word < 4; ++word) {
            QImage mosaic(30, 20, QImage::Format_RGB32);
            mosaic.fill(QColor::fromHsv(word * 60, 255, 255));
            mosaics.insert(word, mosaic);
        }
        QString error;
        QVERIFY2(WordAtlas::write(dir.filePath("named.atlas"), mosaics, &error), qPrintable(error));
        QFile plain(project);
        QVERIFY(plain.open(QIODevice::ReadOnly));
        write("atlas.xml", plain.readAll().replace("</XML>", "<FILE name='WORDATLAS' path='named.atlas'/></XML>"));
        atlasProject = dir.filePath("atlas.xml");
    }

    // Opened beside the legend and the scree plot, the dock takes most of
    // the column and leaves the others readable.
    void opensWithRoom()
    {
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, project);
        QDockWidget *legend = w.mapPanels->legendDock;
        QDockWidget *scree = w.mapPanels->screeDock;
        QDockWidget *axes = w.mapPanels->axesDock;
        QTRY_VERIFY(legend->isVisible() && scree->isVisible() && axes->isVisible());
        QTRY_VERIFY(axes->height() > legend->height() + scree->height());
        QVERIFY(scree->widget()->height() >= scree->widget()->minimumSizeHint().height());
        QVERIFY(legend->height() >= 80);
    }

    // All the numbers of a result file, in order.
    QVector<double> numbers(const QString &name)
    {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QVector<double> out;
        for (const QByteArray &t : f.readAll().simplified().split(' '))
            out << t.toDouble();
        return out;
    }

    void polesSayWhatTheyAreWorth_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::newRow("1 and 2") << 1 << 2;
        QTest::newRow("3 and 4") << 3 << 4;
    }

    // Each pole's heading gives the share of the axis its images carry, and
    // the images below the mean contribution are greyed: checked against
    // contributions worked out here from the table and the solver's files.
    void polesSayWhatTheyAreWorth()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        const QVector<double> z = numbers(QStringLiteral("t.txt_Z.txt"));
        const QVector<double> lambda = numbers(QStringLiteral("t.txt_Lambda.txt"));
        QVERIFY(z.size() > 2 && lambda.size() > 1);
        const int cols = int(z[1]);
        double total = 0;
        QVector<double> mass(12, 0.0);
        for (int i = 0; i < 12; ++i)
            for (int j = 0; j < 6; ++j) {
                mass[i] += count(i, j);
                total += count(i, j);
            }
        auto contribution = [&](int i, int axis) {
            const double c = z[2 + i * cols + axis];
            return mass[i] / total * c * c / lambda[1 + axis];
        };
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, project);
        AxesPanel *panel = w.mapPanels->axes;
        panel->topCount->setValue(50); // every point
        w.xAxisEdit->setText(QString::number(x));
        w.yAxisEdit->setText(QString::number(y));
        w.refreshAct->trigger();
        QTRY_COMPARE(panel->tree->topLevelItemCount(), 4);
        const QRegularExpression share(QStringLiteral("from its words, ([0-9.]+) % from its images"));
        for (int s = 0; s < 4; ++s) {
            QTreeWidgetItem *section = panel->tree->topLevelItem(s);
            const int axis = (s < 2 ? x : y) - 1;
            const int pole = s % 2 ? 1 : -1;
            double want = 0;
            for (int i = 0; i < 12; ++i)
                if ((z[2 + i * cols + axis] > 0) == (pole > 0) && z[2 + i * cols + axis] != 0)
                    want += contribution(i, axis);
            const QRegularExpressionMatch m = share.match(section->text(0));
            QVERIFY2(m.hasMatch(), qPrintable(section->text(0)));
            QVERIFY2(std::abs(m.captured(1).toDouble() - 100 * want) <= 0.051,
                     qPrintable(section->text(0) + QStringLiteral(" / %1").arg(100 * want)));
            for (int g = 0; g < section->childCount(); ++g) {
                QTreeWidgetItem *group = section->child(g);
                if (!group->text(0).startsWith(QLatin1String("Images")))
                    continue;
                for (int k = 0; k < group->childCount(); ++k) {
                    QTreeWidgetItem *row = group->child(k);
                    const int image = row->data(0, Qt::UserRole + 1).toInt();
                    const bool grey = row->foreground(0) == panel->tree->palette().brush(QPalette::Disabled,
                                                                                        QPalette::Text);
                    QCOMPARE(grey, contribution(image, axis) < 1.0 / 12);
                }
            }
        }
    }

    void wordKinds_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QList<int>>("labels");
        QTest::addColumn<QStringList>("names");
        const QByteArray indexed = "# how the images were described\n--words 1000\n--max-keypoints 500\n"
                                   "--colour-words 200\n--counts sqrt\n";
        QTest::newRow("shape and colour") << indexed << QList<int>{0, 999, 1000, 1199, 1200}
                                          << QStringList{"Shape word #0", "Shape word #999", "Colour word #1000",
                                                         "Colour word #1199", "Word #1200"};
        QTest::newRow("no colour words") << QByteArray("--words 50\n--colour-words 0\n") << QList<int>{49, 50}
                                         << QStringList{"Shape word #49", "Word #50"};
        QTest::newRow("no record") << QByteArray() << QList<int>{0, 7} << QStringList{"Word #0", "Word #7"};
        QTest::newRow("not a record") << QByteArray("--words lots\n") << QList<int>{3} << QStringList{"Word #3"};
    }

    // Words named by what they describe, from the record of the indexing.
    void wordKinds()
    {
        QFETCH(QByteArray, record);
        QFETCH(QList<int>, labels);
        QFETCH(QStringList, names);
        const WordKind::Counts counts = WordKind::parse(record);
        QStringList got;
        for (const int label : labels)
            got << WordKind::name(counts, label);
        QCOMPARE(got, names);
    }

    void keepingLeavesTheDockAlone_data()
    {
        QTest::addColumn<int>("images");
        QTest::newRow("3 images") << 3;
        QTest::newRow("213 images") << 213;
        QTest::newRow("123456 images") << 123456;
    }

    // "Keep as A (213)" fits in the button it had: the dock keeps its width
    // and the map does not move.
    void keepingLeavesTheDockAlone()
    {
        QFETCH(int, images);
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, project);
        AxesPanel *panel = w.mapPanels->axes;
        panel->tabs->setCurrentWidget(panel->groups);
        QTRY_VERIFY(w.mapPanels->axesDock->isVisible());
        QTest::qWait(50);
        const int dockWidth = w.mapPanels->axesDock->width();
        const QRect map(activeView(w)->mapTo(&w, QPoint(0, 0)), activeView(w)->size());
        QVector<int> group;
        for (int i = 0; i < images; ++i)
            group << i % 12;
        panel->groups->keepGroup(0, QStringLiteral("g"), group);
        QCOMPARE(panel->groups->keepA->text(), QStringLiteral("Keep as A (%1)").arg(images));
        QTest::qWait(50);
        QCOMPARE(w.mapPanels->axesDock->width(), dockWidth);
        QCOMPARE(QRect(activeView(w)->mapTo(&w, QPoint(0, 0)), activeView(w)->size()), map);
        // The whole text is shown.
        QVERIFY(panel->groups->keepA->width()
                >= panel->groups->keepA->fontMetrics().horizontalAdvance(panel->groups->keepA->text()));
    }

    void tooltipBesideTheCard_data()
    {
        QTest::addColumn<QPoint>("cursor");
        QTest::addColumn<QSize>("view");
        QTest::addColumn<QRect>("bounds");
        QTest::addColumn<bool>("placed"); // false: nowhere fits, at the cursor
        const QSize tip(220, 140);
        QTest::newRow("card opening right and down") << QPoint(200, 150) << QSize(1000, 800) << QRect(0, 0, 1600, 1000) << true;
        QTest::newRow("card flipped at the right edge") << QPoint(900, 150) << QSize(1000, 800) << QRect(0, 0, 1000, 1000) << true;
        QTest::newRow("card flipped at the bottom") << QPoint(200, 700) << QSize(1000, 800) << QRect(0, 0, 1000, 800) << true;
        QTest::newRow("no room beside: below") << QPoint(20, 20) << QSize(340, 800) << QRect(0, 0, 340, 800) << true;
        QTest::newRow("no room at all") << QPoint(5, 5) << QSize(320, 370) << QRect(0, 0, 320, 370) << false;
        Q_UNUSED(tip);
    }

    // A word's tooltip goes beside the information card, never over its
    // title, and stays within the screen.
    void tooltipBesideTheCard()
    {
        QFETCH(QPoint, cursor);
        QFETCH(QSize, view);
        QFETCH(QRect, bounds);
        QFETCH(bool, placed);
        const QSize tip(220, 140);
        const QRect card = WordToolTip::cardAt(cursor, view);
        QCOMPARE(card.size(), QSize(300, 350));
        QVERIFY(card.contains(cursor) || card.adjusted(0, 0, 1, 1).contains(cursor));
        const QPoint at = WordToolTip::placeBeside(card, tip, cursor, bounds);
        if (!placed) {
            QCOMPARE(at, cursor);
            return;
        }
        const QRect r(at, tip);
        QVERIFY(bounds.contains(r));
        QVERIFY2(!r.intersects(card), qPrintable(QStringLiteral("tip at %1,%2").arg(at.x()).arg(at.y())));
        // The card's title line, just inside its top edge, stays clear.
        QVERIFY(!r.intersects(QRect(card.left(), card.top(), card.width(), 50)));
    }

    void followsAxes_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::newRow("3 and 4") << 3 << 4;
        QTest::newRow("2 and 1") << 2 << 1;
        QTest::newRow("4 and 2") << 4 << 2;
    }

    // The dock describes the two axes shown and follows a change of axes.
    void followsAxes()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, project);
        AxesPanel *panel = w.mapPanels->axes;
        QTRY_COMPARE(listedAxes(panel), (QVector<int>{0, 1}));
        QVERIFY(panel->tree->topLevelItem(0)->text(0).startsWith(QStringLiteral("Axis 1 ")));
        w.xAxisEdit->setText(QString::number(x));
        w.yAxisEdit->setText(QString::number(y));
        w.refreshAct->trigger();
        QCOMPARE(activeView(w)->axis1, x - 1);
        QCOMPARE(listedAxes(panel), (QVector<int>{x - 1, y - 1}));
        QCOMPARE(panel->tree->topLevelItemCount(), 4); // two poles of two axes
        QVERIFY(panel->tree->topLevelItem(0)->text(0).startsWith(QStringLiteral("Axis %1 ").arg(x)));
        QVERIFY(panel->tree->topLevelItem(2)->text(0).startsWith(QStringLiteral("Axis %1 ").arg(y)));
        // The table is at hand: shares are of the total inertia.
        QVERIFY(panel->tree->topLevelItem(0)->text(0).contains(QStringLiteral("of the total inertia")));
    }

    void rowFliesToPoint_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<bool>("image");
        QTest::newRow("word") << "Words" << false;
        QTest::newRow("image") << "Images" << true;
    }

    // A click on a row focuses its point and brings it to the map's middle.
    void rowFliesToPoint()
    {
        QFETCH(QString, group);
        QFETCH(bool, image);
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, project);
        AxesPanel *panel = w.mapPanels->axes;
        QTRY_VERIFY(!panel->rows().isEmpty());
        CAView *v = activeView(w);
        v->zoomIn();
        v->zoomIn();
        QTreeWidgetItem *row = firstRow(panel->tree, group);
        QVERIFY(row);
        panel->tree->scrollToItem(row);
        const QRect r = panel->tree->visualItemRect(row);
        QTest::mouseClick(panel->tree->viewport(), Qt::LeftButton, {}, r.center());
        const int index = row->data(0, Qt::UserRole + 1).toInt();
        QCOMPARE(v->focusOnImage, image);
        QCOMPARE(image ? v->focusImage : v->focusWord, index);
        const QPoint at = image ? v->imagePosition(index) : v->wordPosition(index);
        const QPoint middle(v->width() / 2, v->height() / 2);
        QVERIFY2((at - middle).manhattanLength() <= 4,
                 qPrintable(QString("at %1,%2, middle %3,%4").arg(at.x()).arg(at.y()).arg(middle.x()).arg(middle.y())));
    }

    // The CSV of the dock has the columns of the command line, in order.
    void csvColumns()
    {
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, project);
        AxesPanel *panel = w.mapPanels->axes;
        QTRY_VERIFY(!panel->rows().isEmpty());
        const QList<QByteArray> rows = panel->csv().trimmed().split('\n');
        QCOMPARE(rows.first().trimmed(), QByteArray("axis,pole,kind,index,label,coordinate,contribution,cos2"));
        QCOMPARE(rows.size(), panel->rows().size() + 1);
        for (int k = 1; k < rows.size(); ++k) {
            const QList<QByteArray> f = rows.at(k).trimmed().split(',');
            QCOMPARE(f.size(), 8);
            const AxisTable::Row &r = panel->rows().at(k - 1);
            QCOMPARE(f.at(0).toInt(), r.axis + 1);
            QCOMPARE(f.at(1), QByteArray(r.pole < 0 ? "-" : "+"));
            QCOMPARE(f.at(2), QByteArray(r.point.family == 0 ? "image" : "word"));
            QCOMPARE(f.at(3).toInt(), r.point.index);
            if (r.point.family == 0)
                QCOMPARE(f.at(4), "img" + QByteArray::number(r.point.index) + ".png");
            QVERIFY(f.at(6).toDouble() >= 0 && f.at(6).toDouble() <= 1);
        }
    }

    // A category asked for from the legend is tested against the whole
    // collection: its counts are the table's.
    void categoryFromLegend()
    {
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, project);
        emit w.mapPanels->legend->describeRequested(2);
        GroupPanel *groups = w.mapPanels->axes->groups;
        QCOMPARE(w.mapPanels->axes->tabs->currentWidget(), groups);
        // The table is read on a worker thread the first time it is needed.
        QTRY_COMPARE(int(groups->words().size()), 6);
        for (const GroupTest::Word &word : groups->words()) {
            double in = 0, all = 0;
            for (int i = 0; i < 12; ++i) {
                all += count(i, word.word);
                in += i % 3 == 1 ? count(i, word.word) : 0;
            }
            QCOMPARE(word.countIn, in);
            QCOMPARE(word.countAll, all);
        }
        // Category 2 leans on words 2 and 3: they come first.
        QVERIFY(groups->words().at(0).word == 2 || groups->words().at(0).word == 3);
        QVERIFY(groups->title->text().contains(QStringLiteral("bicycles")));
        QCOMPARE(w.mapPanels->axes->csv().split('\n').first().trimmed(),
                 QByteArray("word,count_in,count_all,v_test,p_value"));
        // Kept as A and B, two categories are compared.
        groups->keep(0);
        groups->describeCategory(1);
        groups->keep(1);
        QVERIFY(groups->compareButton->isEnabled());
        groups->compare();
        for (const GroupTest::Word &word : groups->words()) {
            double inA = 0, inAB = 0;
            for (int i = 0; i < 12; ++i) {
                inA += i % 3 == 1 ? count(i, word.word) : 0;
                inAB += i % 3 != 2 ? count(i, word.word) : 0;
            }
            QCOMPARE(word.countIn, inA);
            QCOMPARE(word.countAll, inAB);
        }
    }

    void exemplars_data()
    {
        QTest::addColumn<bool>("withAtlas");
        QTest::newRow("with an atlas") << true;
        QTest::newRow("without") << false;
    }

    // A word of the atlas shows its mosaic in the dock's rows and in its
    // tooltip on the map; a word without one, and a project without an
    // atlas, show none.
    void exemplars()
    {
        QFETCH(bool, withAtlas);
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, withAtlas ? atlasProject : project);
        AxesPanel *panel = w.mapPanels->axes;
        QTRY_VERIFY(!panel->rows().isEmpty());
        QCOMPARE(panel->atlas() != nullptr, withAtlas);
        int iconsShown = 0, wordRows = 0;
        for (int s = 0; s < panel->tree->topLevelItemCount(); ++s)
            for (int g = 0; g < panel->tree->topLevelItem(s)->childCount(); ++g) {
                QTreeWidgetItem *group = panel->tree->topLevelItem(s)->child(g);
                if (!group->text(0).startsWith(QLatin1String("Words")))
                    continue;
                for (int k = 0; k < group->childCount(); ++k) {
                    const int word = group->child(k)->data(0, Qt::UserRole + 1).toInt();
                    ++wordRows;
                    const bool icon = !group->child(k)->icon(0).isNull();
                    QCOMPARE(icon, withAtlas && word < 4);
                    iconsShown += icon;
                }
            }
        QVERIFY(wordRows > 0);
        QCOMPARE(iconsShown > 0, withAtlas);
        WordToolTip *tips = w.mapPanels->wordTips;
        for (int word = 0; word < 6; ++word)
            QCOMPARE(tips->text(word).contains(QLatin1String("data:image/png;base64,")), withAtlas && word < 4);

        // Hovered long enough on the map, a word of the atlas shows it.
        CAView *v = activeView(w);
        w.thresholdSlider->setValue(0);
        bool hovered = false;
        for (int word = 0; word < 4 && !hovered; ++word) {
            if (!v->wordDrawn(word))
                continue;
            const QPoint at = v->wordPosition(word);
            QHelpEvent help(QEvent::ToolTip, at, v->mapToGlobal(at));
            QCoreApplication::sendEvent(v, &help);
            if (withAtlas)
                QTRY_VERIFY(QToolTip::text().contains(QLatin1String("data:image/png;base64,")));
            else
                QVERIFY(!QToolTip::isVisible());
            QToolTip::hideText();
            hovered = true;
        }
        QVERIFY(hovered);
    }

    // File > Build word atlas makes one beside a project without one,
    // leaving the project file as it was, and the dock shows it at once.
    void buildAtlas()
    {
        Console::Capture capture;
        const QString atlas = dir.filePath(QStringLiteral("words.atlas"));
        QFile::remove(atlas);
        QFile before(project);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray projectText = before.readAll();
        CAMainWindow w;
        openShown(w, project);
        AxesPanel *panel = w.mapPanels->axes;
        QTRY_VERIFY(!panel->rows().isEmpty());
        QVERIFY(!panel->atlas());
        QVERIFY(w.fileMenu->actions().contains(w.mapPanels->buildAtlasAct));
        QVERIFY(w.mapPanels->buildAtlasAct->isEnabled());
        w.mapPanels->buildAtlasAct->trigger();
        QVERIFY(QFile::exists(atlas));
        QVERIFY(panel->atlas());
        QCOMPARE(panel->atlas()->count(), 6);
        QFile after(project);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), projectText);
        // A word row has its picture.
        QTreeWidgetItem *row = firstRow(panel->tree, QStringLiteral("Words"));
        QVERIFY(row && !row->icon(0).isNull());
        QFile::remove(atlas);
    }

    void commandLine_data()
    {
        QTest::addColumn<int>("top");
        QTest::newRow("top 1") << 1;
        QTest::newRow("top 3") << 3;
    }

    void commandLine()
    {
        QFETCH(int, top);
        const QString out = dir.filePath(QStringLiteral("axes%1.csv").arg(top));
        QCOMPARE(run({"--describe-axes", out, "--top", QString::number(top), project}), 0);
        const QList<QByteArray> rows = lines(out);
        QCOMPARE(rows.first().trimmed(), QByteArray("axis,pole,kind,index,label,coordinate,contribution,cos2"));
        // 5 axes (min(12, 6) - 1), each pole with its top words and images.
        QMap<QByteArray, int> perPole;
        for (int k = 1; k < rows.size(); ++k) {
            const QList<QByteArray> f = rows.at(k).trimmed().split(',');
            QCOMPARE(f.size(), 8);
            ++perPole[f.at(0) + f.at(1) + f.at(2)];
            QVERIFY(f.at(1) == "-" ? f.at(5).toDouble() < 0 : f.at(5).toDouble() > 0);
            if (f.at(2) == "word")
                QCOMPARE(f.at(4), f.at(3)); // own labels: the vocabulary number is the index
        }
        for (int n : std::as_const(perPole))
            QVERIFY(n >= 1 && n <= top);
        QVERIFY(perPole.contains("1-word") && perPole.contains("5+image"));

        const QString group = dir.filePath(QStringLiteral("group%1.csv").arg(top));
        QCOMPARE(run({"--describe-category", "red pandas", group, project}), 0);
        const QList<QByteArray> words = lines(group);
        QCOMPARE(words.first().trimmed(), QByteArray("word,count_in,count_all,v_test,p_value"));
        QCOMPARE(words.size(), 7);
        // Red pandas (category 1, images 0, 3, 6, 9) lean on words 0 and 1.
        QVERIFY(words.at(1).startsWith("0,") || words.at(1).startsWith("1,"));
    }

    void commandLineFailures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("no project") << QStringList{"--describe-axes", "x.csv", "nothere.xml"} << "nothere.xml";
        QTest::newRow("bad top") << QStringList{"--describe-axes", "x.csv", "--top", "0", "p.xml"} << "--top";
        QTest::newRow("unknown category") << QStringList{"--describe-category", "kites", "x.csv", "PROJECT"} << "kites";
        QTest::newRow("missing argument") << QStringList{"--describe-category", "x.csv", "PROJECT"} << "usage";
    }

    // A failure is one line on standard error and status 1, with no file.
    void commandLineFailures()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        args.replaceInStrings(QStringLiteral("PROJECT"), project);
        args.replaceInStrings(QStringLiteral("x.csv"), dir.filePath(QStringLiteral("x.csv")));
        QByteArray err;
        QCOMPARE(run(args, &err), 1);
        QCOMPARE(err.count('\n'), 1);
        QVERIFY2(err.contains(says.toUtf8()), err.constData());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.csv"))));
    }
};

QTEST_MAIN(TestAxesPanel)
#include "tst_axespanel.moc"
