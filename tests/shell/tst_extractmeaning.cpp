// What an analysis means, carried to its parts: the word atlas of a project
// in its extracted views and their saved copies, the images' numbers in the
// whole collection kept by "Save analysis as", and the named groups described
// and compared by the group test.
#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/statistics/grouptest.h"
#include "data/formats/wordatlas.h"
#include "document/camdichild.h"
#include "map/caview.h"
#include "map/mapsearch.h"
#include "shell/axespanel.h"
#include "shell/camainwindow.h"
#include "shell/grouppanel.h"
#include "shell/groupspanel.h"
#include "shell/mappanels.h"
#include "shell/wordtooltip.h"

#include "tests/document/documentfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QDockWidget>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>

namespace {

constexpr int Images = 60;
constexpr int Words = 60;
// Words with a picture in the atlas; the others have none.
constexpr int Pictured = 40;

// The analysed table: whole counts.
int count(int i, int j)
{
    return (i * 31 + j * 7) % 10 + (j % 6 == i % 6 ? 9 : 0);
}

// The picture of word label `label` in the atlas: one flat colour of its own.
QColor pictureColour(int label)
{
    return QColor::fromHsv((label * 37) % 360, 255, 100 + (label * 13) % 150);
}

QList<CAMdiChild *> documents(CAMainWindow &w)
{
    QList<CAMdiChild *> out;
    for (QMdiSubWindow *frame : w.workspace->subWindowList(QMdiArea::CreationOrder))
        if (auto *c = qobject_cast<CAMdiChild *>(frame->widget()))
            out << c;
    return out;
}

// Triggers the entry `text` of the next popup menu.
void pickFromMenu(const QString &text, bool *found)
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

} // namespace

class TestExtractMeaning : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_tmp;

    // A project of the fixture with an atlas beside it ("words.atlas", which
    // the project does not name) or named by it in a folder of its own.
    QString makeProject(const QString &name, bool named)
    {
        DocumentFixture::Options o;
        o.images = Images;
        o.words = Words;
        QByteArray table = DocumentFixture::tableHeader(Images, Words);
        for (int i = 0; i < Images; ++i) {
            for (int j = 0; j < Words; ++j)
                table += QByteArray::number(count(i, j)) + ' ';
            table += '\n';
        }
        o.tableText = QString::fromLatin1(table);
        const QString folder = m_dir.filePath(name);
        const QString project = DocumentFixture::writeProject(folder, o);
        QMap<int, QImage> mosaics;
        for (int label = 0; label < Pictured; ++label) {
            QImage mosaic(18, 12, QImage::Format_RGB32);
            mosaic.fill(pictureColour(label));
            mosaics.insert(label, mosaic);
        }
        QString error;
        const QString atlas = named ? QDir(folder).filePath(QStringLiteral("pictures/named.atlas"))
                                    : QDir(folder).filePath(QStringLiteral("words.atlas"));
        QDir().mkpath(QFileInfo(atlas).absolutePath());
        if (!WordAtlas::write(atlas, mosaics, &error))
            qFatal("cannot write the atlas: %s", qPrintable(error));
        if (named) {
            QFile f(project);
            if (!f.open(QIODevice::ReadOnly))
                qFatal("cannot read the project");
            QByteArray text = f.readAll();
            f.close();
            const qsizetype end = text.lastIndexOf("</");
            text.insert(end, "<FILE name=\"WORDATLAS\" path=\"pictures/named.atlas\"/>\n");
            DocumentFixture::writeFile(project, text);
        }
        return project;
    }

    static CAMdiChild *extractFrom(CAMainWindow &main, CAMdiChild *parent)
    {
        const int before = int(documents(main).size());
        parent->caView->selectedImages = DocumentFixture::selectedImages();
        parent->caView->selectedWords = DocumentFixture::selectedWords();
        parent->finishSelection();
        if (!QTest::qWaitFor([&] { return documents(main).size() > before; }, 30000))
            return nullptr;
        return documents(main).last();
    }

    static void openShown(CAMainWindow &w, const QString &file)
    {
        w.resize(1400, 900);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.open(file));
    }

    // Every word of `data` shows the picture the atlas made for its label.
    static void checkExemplars(CAMainWindow &w, CAData *data)
    {
        const WordAtlas *atlas = w.mapPanels->axes->atlases.atlas(data);
        QVERIFY2(atlas, qPrintable(w.mapPanels->axes->atlases.why()));
        for (int k = 0; k < data->nbWords; ++k) {
            const int label = data->wordLabel(k);
            const QImage mosaic = atlas->mosaic(label);
            QCOMPARE(mosaic.isNull(), label >= Pictured);
            if (!mosaic.isNull())
                QCOMPARE(mosaic.pixelColor(5, 5).rgb(), pictureColour(label).rgb());
        }
    }

    // The counts of the test's table over `rows`.
    static std::vector<double> countsOver(const QVector<int> &rows)
    {
        std::vector<double> out(Words, 0.0);
        for (int i : rows)
            for (int j = 0; j < Words; ++j)
                out[std::size_t(j)] += count(i, j);
        return out;
    }

    static void sameWords(const std::vector<GroupTest::Word> &got, const std::vector<GroupTest::Word> &want)
    {
        QCOMPARE(got.size(), want.size());
        for (std::size_t k = 0; k < got.size(); ++k) {
            QCOMPARE(got[k].word, want[k].word);
            QCOMPARE(got[k].countIn, want[k].countIn);
            QCOMPARE(got[k].countAll, want[k].countAll);
            QVERIFY(std::fabs(got[k].vTest - want[k].vTest) < 1e-9);
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_tmp = DocumentFixture::useScratchFolders(m_dir.path());
    }

    void atlasAndNumbersKept_data()
    {
        QTest::addColumn<bool>("named");
        QTest::newRow("atlas beside the project") << false;
        QTest::newRow("atlas named by the project") << true;
    }

    // An extract shows the parent's exemplar for each of its words, and so
    // does the extract saved and opened again; the saved extract still
    // numbers its images as the collection does, in the card and for Find.
    void atlasAndNumbersKept()
    {
        QFETCH(bool, named);
        Console::Capture capture;
        const QString project = makeProject(named ? QStringLiteral("named") : QStringLiteral("beside"), named);
        CAMainWindow w;
        openShown(w, project);
        CAMdiChild *parent = documents(w).first();
        checkExemplars(w, parent->data);
        if (QTest::currentTestFailed())
            return;
        CAMdiChild *extract = extractFrom(w, parent);
        QVERIFY(extract && extract->data);
        QCOMPARE(extract->data->nbWords, int(DocumentFixture::selectedWords().size()));
        checkExemplars(w, extract->data);
        if (QTest::currentTestFailed())
            return;
        // The word's tooltip on the extract's map has the picture.
        w.workspace->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(extract->parentWidget()));
        QTRY_COMPARE(w.activeMdiChild(), extract);
        for (int k = 0; k < extract->data->nbWords; ++k)
            QCOMPARE(w.mapPanels->wordTips->text(k).contains(QLatin1String("data:image/png;base64,")),
                     extract->data->wordLabel(k) < Pictured);

        const QString saved = m_dir.filePath(named ? QStringLiteral("saved-named") : QStringLiteral("saved-beside"));
        QString error;
        QVERIFY2(extract->saveAnalysisTo(saved, false, &error), qPrintable(error));
        QVERIFY(w.open(QDir(saved).filePath(QStringLiteral("project.xml"))));
        CAData *reopened = documents(w).last()->data;
        QVERIFY(reopened != extract->data);
        checkExemplars(w, reopened);
        if (QTest::currentTestFailed())
            return;
        const QVector<int> &rows = DocumentFixture::selectedImages();
        QCOMPARE(reopened->nbImages, int(rows.size()));
        for (int i = 0; i < reopened->nbImages; ++i) {
            const int n = reopened->collectionNumber(i);
            // The image of that number in the collection is the one shown.
            QCOMPARE(QFileInfo(reopened->labels[i].imageFile).fileName(), DocumentFixture::imageFile(n));
            QVERIFY(rows.contains(n));
            const QVector<SearchHit> hits = MapSearch::find(*reopened, QString::number(n));
            QVERIFY(!hits.isEmpty());
            QCOMPARE(hits.first(), (SearchHit{SearchHit::Image, i}));
        }
    }

    void olderSavedExtracts_data()
    {
        QTest::addColumn<QByteArray>("collection");
        QTest::addColumn<bool>("kept");
        QTest::newRow("no numbers file (older save)") << QByteArray() << false;
        QTest::newRow("numbers for too few images") << QByteArray("2\n5 0\n") << false;
        QTest::newRow("a word among the numbers") << QByteArray("12\n5 0 seventeen") << false;
        QTest::newRow("as written") << QByteArray("12\n5 0 17 2 4 6 8 59 33 21 40 11\n") << true;
    }

    // The numbers file is optional: without it, or with one that does not
    // fit, the saved extract opens with its rows as numbers (and the file
    // named on the console).
    void olderSavedExtracts()
    {
        QFETCH(QByteArray, collection);
        QFETCH(bool, kept);
        Console::Capture capture;
        static int n = 0;
        const QString project = makeProject(QStringLiteral("older%1").arg(n), false);
        const QString saved = m_dir.filePath(QStringLiteral("older-saved%1").arg(n++));
        {
            CAMainWindow w;
            openShown(w, project);
            CAMdiChild *extract = extractFrom(w, documents(w).first());
            QVERIFY(extract);
            QString error;
            QVERIFY2(extract->saveAnalysisTo(saved, false, &error), qPrintable(error));
        }
        const QString list = QDir(saved).filePath(QStringLiteral("collection.txt"));
        QVERIFY(QFile::exists(list));
        if (collection.isEmpty()) {
            // As an older viewer wrote it: no numbers file, none named.
            QFile::remove(list);
            QFile f(QDir(saved).filePath(QStringLiteral("project.xml")));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QByteArray text = f.readAll();
            f.close();
            const qsizetype at = text.indexOf("COLLECTION");
            QVERIFY(at > 0);
            const qsizetype start = text.lastIndexOf('<', at);
            const qsizetype end = text.indexOf('>', at);
            text.remove(start, end - start + 1);
            QVERIFY(DocumentFixture::writeFile(f.fileName(), text));
        } else {
            QVERIFY(DocumentFixture::writeFile(list, collection));
        }
        CAMainWindow w;
        openShown(w, QDir(saved).filePath(QStringLiteral("project.xml")));
        CAData *data = documents(w).last()->data;
        QVERIFY(data && data->nbImages == 12);
        for (int i = 0; i < data->nbImages; ++i)
            QCOMPARE(data->collectionNumber(i), kept ? DocumentFixture::selectedImages().at(i) : i);
        if (!kept && !collection.isEmpty())
            QVERIFY(capture.err().join(QLatin1Char('\n')).contains(list));
    }

    void describeGroup_data()
    {
        QTest::addColumn<QVector<int>>("images");
        QTest::newRow("one residue") << QVector<int>{0, 6, 12, 18, 24, 30, 36, 42, 48, 54};
        QTest::newRow("two residues") << QVector<int>{1, 2, 7, 8, 13, 14, 19, 20, 25, 26, 31, 32};
        QTest::newRow("first rows") << QVector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    }

    // "Describe" in the Groups list tests the group's images against the
    // whole collection: the words and their v-tests are those of the group
    // test on the counts of those rows, computed here from the table.
    void describeGroup()
    {
        QFETCH(QVector<int>, images);
        Console::Capture capture;
        static int n = 0;
        CAMainWindow w;
        openShown(w, makeProject(QStringLiteral("groups%1").arg(n++), false));
        CAView *view = w.activeView();
        QVERIFY(view);
        NamedGroup g;
        g.name = QStringLiteral("kept");
        g.colour = Qt::darkGreen;
        g.images = images;
        view->groups().append(g);
        w.groupsPanel->setView(view);
        QCOMPARE(w.groupsPanel->list->count(), 1);
        w.groupsPanel->list->setCurrentRow(0);
        QVERIFY(w.groupsPanel->describeButton->isEnabled());
        w.groupsPanel->describeButton->click();
        GroupPanel *panel = w.mapPanels->axes->groups;
        QVERIFY(w.mapPanels->axesDock->isVisible());
        QCOMPARE(w.mapPanels->axes->tabs->currentWidget(), panel);
        QTRY_VERIFY(!panel->words().empty());
        QVector<int> everyRow;
        for (int i = 0; i < Images; ++i)
            everyRow << i;
        sameWords(panel->words(), GroupTest::run(countsOver(images), countsOver(everyRow)));
        QVERIFY(panel->title->text().contains(QStringLiteral("group \"kept\"")));
    }

    // The Groups list's switch draws the selected group as an outline, and
    // follows the selection.
    void outlineSwitch()
    {
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, makeProject(QStringLiteral("outline"), false));
        CAView *view = w.activeView();
        for (const QString &name : {QStringLiteral("one"), QStringLiteral("two")}) {
            NamedGroup g;
            g.name = name;
            g.colour = Qt::blue;
            g.images = {1, 2, 3};
            view->groups().append(g);
        }
        w.groupsPanel->setView(view);
        QListWidget *list = w.groupsPanel->list;
        list->setCurrentRow(1);
        QVERIFY(w.groupsPanel->outlineBox->isEnabled());
        QVERIFY(!w.groupsPanel->outlineBox->isChecked());
        w.groupsPanel->outlineBox->click();
        QVERIFY(view->groups().at(1).outline);
        QVERIFY(!view->groups().at(0).outline);
        list->setCurrentRow(0);
        QVERIFY(!w.groupsPanel->outlineBox->isChecked());
        list->setCurrentRow(1);
        QVERIFY(w.groupsPanel->outlineBox->isChecked());
    }

    // Two groups chosen in the Groups list's menu as A and B are compared:
    // A against A and B together.
    void compareGroups()
    {
        Console::Capture capture;
        CAMainWindow w;
        openShown(w, makeProject(QStringLiteral("compare"), false));
        CAView *view = w.activeView();
        const QVector<int> a{0, 6, 12, 18, 24, 30, 36, 42, 48, 54};
        const QVector<int> b{3, 9, 15, 21, 27, 33, 39, 45};
        for (const auto &[name, rows] : {std::pair<QString, QVector<int>>{"alpha", a}, {"beta", b}}) {
            NamedGroup g;
            g.name = name;
            g.colour = Qt::blue;
            g.images = rows;
            view->groups().append(g);
        }
        w.groupsPanel->setView(view);
        QListWidget *list = w.groupsPanel->list;
        for (int k = 0; k < 2; ++k) {
            bool found = false;
            pickFromMenu(k == 0 ? QStringLiteral("Keep as A") : QStringLiteral("Keep as B"), &found);
            emit list->customContextMenuRequested(list->visualItemRect(list->item(k)).center());
            QVERIFY(found);
        }
        GroupPanel *panel = w.mapPanels->axes->groups;
        QVERIFY(panel->keptName(0).contains(QStringLiteral("alpha")));
        QVERIFY(panel->keptName(1).contains(QStringLiteral("beta")));
        QVERIFY(panel->compareButton->isEnabled());
        bool found = false;
        pickFromMenu(QStringLiteral("A against B"), &found);
        emit list->customContextMenuRequested(list->visualItemRect(list->item(0)).center());
        QVERIFY(found);
        QTRY_VERIFY(!panel->words().empty());
        std::vector<double> union_ = countsOver(a);
        const std::vector<double> inB = countsOver(b);
        for (int j = 0; j < Words; ++j)
            union_[std::size_t(j)] += inB[std::size_t(j)];
        sameWords(panel->words(), GroupTest::run(countsOver(a), union_));
    }
};

QTEST_MAIN(TestExtractMeaning)
#include "tst_extractmeaning.moc"
