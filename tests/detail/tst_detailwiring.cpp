#include "detail/imageview.h"
#include "detail/wordview.h"

#include "detailfixture.h"

#include <QApplication>
#include <QSignalSpy>
#include <QtTest>

// The panes wired as a document window wires them: the map's neighbourhood
// reaches the word view, whose highlighted cell reaches the image view; the
// hovered words reach both; clicks in either pane ask the map for a focus.
class TestDetailWiring : public QObject
{
    Q_OBJECT

private slots:
    void hoverReachesBothPanes();
    void wordsAloneRedrawOnlyKeypoints();
    void clicksInEitherPaneAskForFocus();
};

namespace {

struct Panes
{
    explicit Panes(DetailFixture &f) : words(nullptr, nullptr), images(nullptr, nullptr)
    {
        QObject::connect(&words, &WordView::cellChanged, &images, &ImageView::changeCell);
        QObject::connect(&f.map, &CAView::imagesChanged, &words, &WordView::changeImages);
        QObject::connect(&f.map, &CAView::wordsChanged, &words, &WordView::changeWords);
        QObject::connect(&f.map, &CAView::wordsChanged, &images, &ImageView::changeWords);
    }
    WordView words;
    ImageView images;
};

// Fills the map's own containers and sends them, as a hover does.
void hover(DetailFixture &f, const QVector<int> &images, const QSet<int> &words, int focus)
{
    f.map.imageList = images;
    f.map.wordList = words;
    emit f.map.imagesChanged(&f.map.imageList, &f.map.wordList, &f.data, focus, &f.map);
}

} // namespace

void TestDetailWiring::hoverReachesBothPanes()
{
    DetailFixture f(5);
    f.map.cellSize = 4;
    for (int i = 0; i < 5; ++i)
        f.writePicture(i, QColor(40 * i, 60, 60));
    // 1, 2 and 4 share a cell.
    f.place(1, 1020, 700);
    f.place(2, 1021, 701);
    f.place(4, 1023, 703);
    Panes p(f);

    hover(f, {0, 1, 2, 3, 4}, {}, 2);
    QCOMPARE(p.words.cells.size(), 3);
    QCOMPARE(p.words.selected, 1);
    QCOMPARE(p.images.cell, &p.words.cells[1]);
    QCOMPARE(p.images.size(), QSize(486, 162));
    QCOMPARE(p.images.selected, 1);
    QCOMPARE(p.images.rendered().pixelColor(162 + 80, 80), QColor(80, 60, 60));

    // The next movement: a neighbourhood without the focused image clears
    // the image view.
    hover(f, {3, 0}, {}, 2);
    QCOMPARE(p.words.cells.size(), 2);
    QVERIFY(p.images.rendered().isNull());
    QCOMPARE(p.images.cell, nullptr);

    // And one with it again brings the new cell.
    hover(f, {4, 3}, {}, 4);
    QCOMPARE(p.images.cell, &p.words.cells[0]);
    QCOMPARE(p.images.size(), QSize(486, 162));
}

void TestDetailWiring::wordsAloneRedrawOnlyKeypoints()
{
    DetailFixture f(2);
    f.writePicture(0, Qt::black);
    f.writePicture(1, Qt::black);
    f.writeKeypoints(0, {DetailFixture::keypoint(5, 128, 128, 64)});
    Panes p(f);
    hover(f, {0, 1}, {}, 0);
    QVERIFY(!DetailFixture::hasColourIn(p.words.rendered(), QRect(0, 0, 120, 120),
                                        QColor(Qt::magenta)));
    p.images.rendered();
    const int wordDecodes = p.words.thumbnailCache.decodes();
    const int imageDecodes = p.images.thumbnailCache.decodes();

    f.map.wordList = {5};
    emit f.map.wordsChanged(&f.map.wordList);
    QVERIFY(DetailFixture::hasColourIn(p.words.rendered(), QRect(0, 0, 120, 120),
                                       QColor(Qt::magenta)));
    QVERIFY(DetailFixture::hasColourIn(p.images.rendered(), QRect(0, 0, 160, 160),
                                       QColor(Qt::magenta)));
    QCOMPARE(p.words.thumbnailCache.decodes(), wordDecodes);
    QCOMPARE(p.images.thumbnailCache.decodes(), imageDecodes);
}

void TestDetailWiring::clicksInEitherPaneAskForFocus()
{
    DetailFixture f(4);
    for (int i = 0; i < 4; ++i)
        f.writePicture(i, QColor(40 * i, 60, 60));
    f.map.cellSize = 10;
    f.place(1, 1020, 700);
    f.place(2, 1050, 700);
    f.place(3, 1051, 701);
    Panes p(f);
    QSignalSpy wordFocus(&p.words, &WordView::focusChanged);
    QSignalSpy imageFocus(&p.images, &ImageView::focusChanged);
    hover(f, {0, 1, 2, 3}, {}, -1);
    QCOMPARE(p.images.cell, nullptr);

    // The group of 2 and 3 is square 2; clicking it fills the image view.
    DetailFixture::click(&p.words, QPoint(2 * 122 + 30, 30));
    QCOMPARE(wordFocus.count(), 1);
    QCOMPARE(wordFocus.at(0).at(0).toInt(), 2);
    QCOMPARE(p.images.cell, &p.words.cells[2]);
    QCOMPARE(p.images.size(), QSize(486, 162));
    QCOMPARE(p.images.selected, 0);

    DetailFixture::click(&p.images, QPoint(162 + 30, 30));
    QCOMPARE(imageFocus.count(), 1);
    QCOMPARE(imageFocus.at(0).at(0).toInt(), 3);
    QCOMPARE(wordFocus.count(), 1);
}

QTEST_MAIN(TestDetailWiring)
#include "tst_detailwiring.moc"
