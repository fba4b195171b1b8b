#include "detail/imageview.h"
#include "detail/wordview.h"

#include "data/model/console.h"
#include "detailfixture.h"

#include <QApplication>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(WordView::CellType *)

// The neighbourhood pane: grouping by map cell, the thumbnail grid and its
// badges, the keypoint layer, the outline, clicks and scrolling.
class TestWordView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<WordView::CellType *>();
        qRegisterMetaType<QSet<int> *>();
        qRegisterMetaType<CAData *>();
    }
    void fiveCellsMakeTwoRows();
    void imagesOfOneCellShareASquare_data();
    void imagesOfOneCellShareASquare();
    void focusedSquareIsOutlinedAndSentAtOnce();
    void noFocusClearsTheImageView();
    void clickPicksTheSquareUnderIt_data();
    void clickPicksTheSquareUnderIt();
    void secondClickOnOutlinedSquareIsIgnored();
    void clickThatBringsANewNeighbourhood();
    void keypointsOfHoveredWordsOnly();
    void keypointsStayInsideTheirSquare();
    void emptyNeighbourhoodLeavesNothing();
    void focusedSquareIsScrolledIntoView();
    void changedPictureIsShownOnNextHover();
};

namespace {

const QColor kCyan(Qt::cyan);
const QColor kGray(Qt::gray);

QColor pictureColour(int i)
{
    // Dark, distinct, and none of the badge, gap or palette colours.
    return QColor(20 + 10 * i, 40, 90 - 3 * i);
}

void writePictures(DetailFixture &f)
{
    for (int i = 0; i < f.data.nbImages; ++i)
        f.writePicture(i, pictureColour(i));
}

// A badge as the pane draws it: a filled box with centred text.
QImage badge(QSize size, const QColor &fill, const QString &text)
{
    QPixmap box(size);
    box.fill(fill);
    QPainter painter(&box);
    painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, text);
    painter.end();
    return box.toImage();
}

// The whole grid once every picture has been decoded.
QImage displayOf(WordView &v)
{
    return v.rendered();
}

} // namespace

void TestWordView::fiveCellsMakeTwoRows()
{
    DetailFixture f(5);
    writePictures(f);
    f.neighbourhood = {0, 1, 2, 3, 4};
    WordView view(nullptr, nullptr);
    QSignalSpy cellSpy(&view, &WordView::cellChanged);
    QSignalSpy focusSpy(&view, &WordView::focusChanged);

    view.changeImages(&f.neighbourhood, &f.words, &f.data, -1, &f.map);

    QCOMPARE(view.cells.size(), 5);
    QCOMPARE(view.size(), QSize(488, 244));
    const QImage img = displayOf(view);
    QCOMPARE(img.size(), QSize(488, 244));
    // Each square shows its own picture, in neighbourhood order.
    for (int k = 0; k < 5; ++k)
        QCOMPARE(img.pixelColor((k % 4) * 122 + 60, (k / 4) * 122 + 50), pictureColour(k));
    // Yellow index badge in the bottom-right corner; no count badge alone.
    QCOMPARE(img.pixelColor(122 + 81, 105), QColor(Qt::yellow));
    QCOMPARE(img.pixelColor(122 + 119, 119), QColor(Qt::yellow));
    QCOMPARE(img.copy(4 * 0 + 80, 122 + 104, 40, 16), badge(QSize(40, 16), Qt::yellow, "4"));
    QCOMPARE(img.pixelColor(122 + 1, 1), pictureColour(1));
    // Gaps and the unused part of row 2 are cyan.
    QCOMPARE(img.pixelColor(120, 60), kCyan);
    QCOMPARE(img.pixelColor(121, 60), kCyan);
    QCOMPARE(img.pixelColor(300, 180), kCyan);

    QCOMPARE(cellSpy.count(), 1);
    QCOMPARE(cellSpy.at(0).at(0).value<WordView::CellType *>(), nullptr);
    QCOMPARE(cellSpy.at(0).at(3).toInt(), -1);

    DetailFixture::click(&view, QPoint(300, 180));
    QCOMPARE(focusSpy.count(), 0);
    DetailFixture::click(&view, QPoint(10, 130));
    QCOMPARE(focusSpy.count(), 1);
    QCOMPARE(focusSpy.at(0).at(0).toInt(), 4);
}

void TestWordView::imagesOfOneCellShareASquare_data()
{
    QTest::addColumn<int>("focus");
    QTest::addColumn<int>("shown");
    QTest::newRow("no focus: first of the cell") << -1 << 0;
    QTest::newRow("focus in the cell") << 2 << 2;
    QTest::newRow("focus in the other cell") << 3 << 0;
}

void TestWordView::imagesOfOneCellShareASquare()
{
    QFETCH(int, focus);
    QFETCH(int, shown);
    DetailFixture f(4);
    writePictures(f);
    f.map.cellSize = 10;
    // 0, 1 and 2 fall into cell (100, 70), 3 into a cell of its own.
    f.place(0, 1001, 701);
    f.place(1, 1009, 709);
    f.place(2, 1005, 700);
    f.place(3, 1010, 700);
    f.neighbourhood = {0, 3, 1, 2};
    WordView view(nullptr, nullptr);
    view.changeImages(&f.neighbourhood, &f.words, &f.data, focus, &f.map);

    QCOMPARE(view.cells.size(), 2);
    QCOMPARE(view.cells[0].images, QVector<int>({0, 1, 2}));
    QCOMPARE(view.cells[0].center, shown);
    QCOMPARE(view.cells[1].images, QVector<int>({3}));
    QCOMPARE(view.size(), QSize(488, 122));

    const QImage img = displayOf(view);
    QCOMPARE(img.pixelColor(60, 60), pictureColour(shown));
    // The count badge: green, top-left, with the count written in it.
    QCOMPARE(img.pixelColor(1, 1), QColor(Qt::green));
    QCOMPARE(img.pixelColor(19, 15), QColor(Qt::green));
    QCOMPARE(img.pixelColor(21, 1), pictureColour(shown));
    QCOMPARE(img.copy(0, 0, 20, 16), badge(QSize(20, 16), Qt::green, QStringLiteral("3")));
    QCOMPARE(img.copy(80, 104, 40, 16), badge(QSize(40, 16), Qt::yellow, QString::number(shown)));
    QCOMPARE(img.pixelColor(122 + 1, 1), pictureColour(3));
}

void TestWordView::focusedSquareIsOutlinedAndSentAtOnce()
{
    DetailFixture f(6);
    writePictures(f);
    f.neighbourhood = {5, 4, 3, 2, 1, 0};
    WordView view(nullptr, nullptr);
    QSignalSpy cellSpy(&view, &WordView::cellChanged);
    view.changeImages(&f.neighbourhood, &f.words, &f.data, 3, &f.map);

    QCOMPARE(view.selected, 2);
    QCOMPARE(cellSpy.count(), 1);
    QCOMPARE(cellSpy.at(0).at(0).value<WordView::CellType *>(), &view.cells[2]);
    QCOMPARE(cellSpy.at(0).at(1).value<QSet<int> *>(), &f.words);
    QCOMPARE(cellSpy.at(0).at(2).value<CAData *>(), &f.data);
    QCOMPARE(cellSpy.at(0).at(3).toInt(), 3);

    view.rendered(); // every picture decoded
    const QImage shot = view.grab().toImage();
    // Red three-pixel outline on the edge of square 2, and only there.
    QCOMPARE(shot.pixelColor(244, 60), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(245, 60), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(246, 60), pictureColour(3));
    QCOMPARE(shot.pixelColor(244 + 120, 60), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(304, 0), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(0, 60), pictureColour(5));
    QCOMPARE(shot.pixelColor(122, 60), pictureColour(4));
    // The kept square itself stays without the outline.
    QCOMPARE(view.thumbnailCache.square(f.data, 3, 120).toImage().pixelColor(0, 60),
             pictureColour(3));
}

void TestWordView::noFocusClearsTheImageView()
{
    DetailFixture f(3);
    writePictures(f);
    f.neighbourhood = {0, 1, 2};
    WordView words(nullptr, nullptr);
    ImageView images(nullptr, nullptr);
    connect(&words, &WordView::cellChanged, &images, &ImageView::changeCell);

    words.changeImages(&f.neighbourhood, &f.words, &f.data, 1, &f.map);
    QVERIFY(!images.rendered().isNull());
    QCOMPARE(images.cell, &words.cells[1]);

    words.changeImages(&f.neighbourhood, &f.words, &f.data, -1, &f.map);
    QCOMPARE(words.selected, -1);
    QCOMPARE(images.cell, nullptr);
    QVERIFY(images.rendered().isNull());
    QCOMPARE(images.size(), QSize(0, 0));
    words.rendered(); // every picture decoded
    const QImage shot = words.grab().toImage();
    QVERIFY(!DetailFixture::hasColourIn(shot, shot.rect(), QColor(Qt::red)));
}

void TestWordView::clickPicksTheSquareUnderIt_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("square");
    QTest::newRow("inside square 0") << QPoint(5, 5) << 0;
    QTest::newRow("gap after square 0") << QPoint(121, 60) << 0;
    QTest::newRow("first pixel of square 1") << QPoint(122, 60) << 1;
    QTest::newRow("gap below square 1") << QPoint(130, 121) << 1;
    QTest::newRow("square 5, row 2") << QPoint(130, 130) << 5;
    QTest::newRow("empty square of row 2") << QPoint(250, 130) << -1;
    QTest::newRow("below the grid") << QPoint(10, 300) << -1;
    QTest::newRow("left of the grid") << QPoint(-3, 10) << -1;
    QTest::newRow("above and left") << QPoint(-3, -130) << -1;
    QTest::newRow("above the grid") << QPoint(130, -2) << -1;
    QTest::newRow("right of column 4, row 1") << QPoint(490, 10) << -1;
    QTest::newRow("far right of column 4") << QPoint(600, 10) << -1;
}

void TestWordView::clickPicksTheSquareUnderIt()
{
    QFETCH(QPoint, pos);
    QFETCH(int, square);
    DetailFixture f(6);
    writePictures(f);
    f.neighbourhood = {0, 1, 2, 3, 4, 5};
    WordView view(nullptr, nullptr);
    view.changeImages(&f.neighbourhood, &f.words, &f.data, 3, &f.map);
    // A wider widget than the grid, as a layout may make it.
    view.resize(700, 400);
    QSignalSpy focusSpy(&view, &WordView::focusChanged);
    QSignalSpy cellSpy(&view, &WordView::cellChanged);

    DetailFixture::click(&view, pos, Qt::RightButton);

    if (square < 0) {
        QCOMPARE(focusSpy.count(), 0);
        QCOMPARE(cellSpy.count(), 0);
        QCOMPARE(view.selected, 3);
        return;
    }
    QCOMPARE(view.selected, square);
    QCOMPARE(focusSpy.count(), 1);
    QCOMPARE(focusSpy.at(0).at(0).toInt(), f.neighbourhood[square]);
    QCOMPARE(cellSpy.count(), 1);
    QCOMPARE(cellSpy.at(0).at(0).value<WordView::CellType *>(), &view.cells[square]);
    QCOMPARE(cellSpy.at(0).at(3).toInt(), f.neighbourhood[square]);
}

void TestWordView::secondClickOnOutlinedSquareIsIgnored()
{
    DetailFixture f(3);
    writePictures(f);
    f.neighbourhood = {0, 1, 2};
    WordView view(nullptr, nullptr);
    view.changeImages(&f.neighbourhood, &f.words, &f.data, -1, &f.map);
    QSignalSpy focusSpy(&view, &WordView::focusChanged);
    QSignalSpy cellSpy(&view, &WordView::cellChanged);

    DetailFixture::click(&view, QPoint(130, 10));
    DetailFixture::click(&view, QPoint(200, 100), Qt::MiddleButton);
    QCOMPARE(focusSpy.count(), 1);
    QCOMPARE(cellSpy.count(), 1);
    view.rendered(); // every picture decoded
    QCOMPARE(view.grab().toImage().pixelColor(122, 60), QColor(Qt::red));

    DetailFixture::click(&view, QPoint(10, 10));
    QCOMPARE(focusSpy.count(), 2);
    QCOMPARE(focusSpy.at(1).at(0).toInt(), 0);
}

void TestWordView::clickThatBringsANewNeighbourhood()
{
    DetailFixture f(6);
    writePictures(f);
    f.neighbourhood = {0, 1, 2, 3, 4, 5};
    QVector<int> nearer{5, 1};
    WordView view(nullptr, nullptr);
    view.changeImages(&f.neighbourhood, &f.words, &f.data, -1, &f.map);
    // A map that answers a focus with the neighbourhood of the new focus.
    connect(&view, &WordView::focusChanged, &view, [&](int image) {
        view.changeImages(&nearer, &f.words, &f.data, image, &f.map);
    });
    QSignalSpy cellSpy(&view, &WordView::cellChanged);

    DetailFixture::click(&view, QPoint(130, 130)); // square 5, image 5
    // Only the rebuild's own cell goes out, pointing into the new cells.
    QCOMPARE(cellSpy.count(), 1);
    QCOMPARE(cellSpy.at(0).at(0).value<WordView::CellType *>(), &view.cells[0]);
    QCOMPARE(view.cells.size(), 2);
    QCOMPARE(view.selected, 0);
}

void TestWordView::keypointsOfHoveredWordsOnly()
{
    DetailFixture f(2);
    f.writePicture(0, Qt::black, QSize(256, 128));
    f.writePicture(1, Qt::black);
    // Word 4 (blue) and word 8 (8 mod 6 = 2: green) around the picture's
    // centre, word 5 (magenta) elsewhere.
    f.writeKeypoints(0, {DetailFixture::keypoint(4, 128, 64, 32),
                         DetailFixture::keypoint(8, 128, 64, 64),
                         DetailFixture::keypoint(5, 40, 40, 16)});
    f.neighbourhood = {0, 1};
    f.words = {4};
    WordView view(nullptr, nullptr);
    view.changeImages(&f.neighbourhood, &f.words, &f.data, -1, &f.map);

    // 256 x 128 fitted into 120: scale 0.46875, offset (0, 30).
    QImage img = displayOf(view);
    QCOMPARE(img.pixelColor(60, 60), QColor(Qt::red)); // centre cross
    QVERIFY(DetailFixture::hasColourNear(img, QPoint(60 + 15, 60), 2, QColor(Qt::blue)));
    QVERIFY(!DetailFixture::hasColourIn(img, QRect(0, 0, 120, 120), QColor(Qt::green)));
    QVERIFY(!DetailFixture::hasColourIn(img, QRect(0, 0, 120, 120), QColor(Qt::magenta)));
    // The kept squares themselves carry no keypoints.
    QVERIFY(!DetailFixture::hasColourIn(view.thumbnailCache.square(f.data, 0, 120).toImage(),
                                        QRect(0, 0, 120, 120), QColor(Qt::blue)));

    // Other hovered words: the keypoints are drawn again over the same
    // squares, and no picture or keypoint file is read again.
    QSet<int> other{8, 5};
    const int decodes = view.thumbnailCache.decodes();
    const int reads = view.keypointCache.reads();
    view.changeWords(&other);
    img = displayOf(view);
    QVERIFY(!DetailFixture::hasColourIn(img, QRect(0, 0, 120, 120), QColor(Qt::blue)));
    QVERIFY(DetailFixture::hasColourNear(img, QPoint(60 + 30, 60), 2, QColor(Qt::green)));
    QVERIFY(DetailFixture::hasColourNear(img, QPoint(26, 49), 2,
                                         QColor(Qt::magenta)));
    QCOMPARE(view.thumbnailCache.decodes(), decodes);
    QCOMPARE(view.keypointCache.reads(), reads);
}

void TestWordView::keypointsStayInsideTheirSquare()
{
    DetailFixture f(2);
    f.writePicture(0, Qt::black);
    f.writePicture(1, Qt::black);
    // A large region at the right edge of picture 0 would spill into the gap
    // and the next square; another one past the bottom edge.
    f.writeKeypoints(0, {DetailFixture::keypoint(4, 250, 128, 100),
                         DetailFixture::keypoint(4, 128, 250, 100)});
    f.neighbourhood = {0, 1};
    f.words = {4};
    WordView view(nullptr, nullptr);
    view.changeImages(&f.neighbourhood, &f.words, &f.data, -1, &f.map);

    const QImage img = displayOf(view);
    QVERIFY(DetailFixture::hasColourIn(img, QRect(100, 0, 20, 120), QColor(Qt::blue)));
    QVERIFY(!DetailFixture::hasColourIn(img, QRect(120, 0, 368, 122), QColor(Qt::blue)));
    QVERIFY(!DetailFixture::hasColourIn(img, QRect(120, 0, 368, 122), QColor(Qt::red)));
    QVERIFY(!DetailFixture::hasColourIn(img, QRect(0, 120, 488, 2), QColor(Qt::blue)));
}

void TestWordView::emptyNeighbourhoodLeavesNothing()
{
    DetailFixture f(5);
    writePictures(f);
    f.neighbourhood = {0, 1, 2, 3, 4};
    WordView view(nullptr, nullptr);
    view.changeImages(&f.neighbourhood, &f.words, &f.data, 2, &f.map);
    QCOMPARE(view.size(), QSize(488, 244));

    QSignalSpy cellSpy(&view, &WordView::cellChanged);
    QSignalSpy focusSpy(&view, &WordView::focusChanged);
    QVector<int> none;
    view.changeImages(&none, &f.words, &f.data, 2, &f.map);
    QVERIFY(view.rendered().isNull());
    QVERIFY(view.cells.isEmpty());
    QCOMPARE(view.size(), QSize(0, 0));
    QCOMPARE(cellSpy.count(), 1);
    QCOMPARE(cellSpy.at(0).at(0).value<WordView::CellType *>(), nullptr);

    view.resize(488, 244);
    DetailFixture::click(&view, QPoint(10, 10));
    QCOMPARE(focusSpy.count(), 0);
    // Words alone bring nothing back either.
    view.changeWords(&f.words);
    QCOMPARE(view.size(), QSize(488, 244));
    QVERIFY(view.cells.isEmpty());
    const QImage shot = view.grab().toImage();
    QVERIFY(!DetailFixture::hasColourIn(shot, shot.rect(), kCyan));
}

void TestWordView::focusedSquareIsScrolledIntoView()
{
    DetailFixture f(20);
    writePictures(f);
    for (int i = 0; i < 20; ++i)
        f.neighbourhood.append(i);
    QScrollArea area;
    auto *view = new WordView(&area, nullptr);
    area.setWidget(view);
    area.resize(520, 220);
    area.show();

    view->changeImages(&f.neighbourhood, &f.words, &f.data, 17, &f.map);
    QCOMPARE(view->selected, 17);
    const int top = 4 * 122;
    const int value = area.verticalScrollBar()->value();
    QVERIFY2(value <= top && value + area.viewport()->height() >= top + 120,
             qPrintable(QStringLiteral("scrolled to %1").arg(value)));

    // Without focus the grid goes back to its top-left corner.
    view->changeImages(&f.neighbourhood, &f.words, &f.data, -1, &f.map);
    QCOMPARE(area.verticalScrollBar()->value(), 0);
    QCOMPARE(area.horizontalScrollBar()->value(), 0);

    // The scroll area may go first; the view must not use it afterwards.
    QScrollArea *other = new QScrollArea;
    WordView orphan(other, nullptr);
    delete other;
    orphan.changeImages(&f.neighbourhood, &f.words, &f.data, 17, &f.map);
    QCOMPARE(orphan.selected, 17);
}

void TestWordView::changedPictureIsShownOnNextHover()
{
    DetailFixture f(2);
    f.writePicture(0, Qt::darkRed);
    f.writePicture(1, Qt::darkBlue);
    f.neighbourhood = {0, 1};
    WordView view(nullptr, nullptr);
    view.changeImages(&f.neighbourhood, &f.words, &f.data, -1, &f.map);
    QCOMPARE(displayOf(view).pixelColor(60, 60), QColor(Qt::darkRed));
    const int decodes = view.thumbnailCache.decodes();

    // An unchanged neighbourhood is drawn again without decoding.
    view.changeImages(&f.neighbourhood, &f.words, &f.data, -1, &f.map);
    QCOMPARE(view.thumbnailCache.decodes(), decodes);

    // The same file rewritten with another picture of the same size.
    f.writePicture(0, Qt::darkGreen);
    QFile file(f.picturePath(0));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(5),
                             QFileDevice::FileModificationTime));
    file.close();
    view.changeImages(&f.neighbourhood, &f.words, &f.data, -1, &f.map);
    QCOMPARE(displayOf(view).pixelColor(60, 60), QColor(Qt::darkGreen));
    QCOMPARE(displayOf(view).pixelColor(122 + 60, 60), QColor(Qt::darkBlue));

    // A deleted file leaves a gray square with its badge.
    QVERIFY(QFile::remove(f.picturePath(1)));
    view.changeImages(&f.neighbourhood, &f.words, &f.data, -1, &f.map);
    QCOMPARE(displayOf(view).pixelColor(122 + 60, 60), kGray);
    QCOMPARE(displayOf(view).pixelColor(122 + 81, 105), QColor(Qt::yellow));
}

QTEST_MAIN(TestWordView)
#include "tst_wordview.moc"
