#include "detail/imageview.h"
#include "detail/wordview.h"

#include "detailfixture.h"

#include <QApplication>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

// The cell pane: the fit rule, the grid of a cell, keypoints, the outline,
// clicks and scrolling.
class TestImageView : public QObject
{
    Q_OBJECT

private slots:
    void fitRule_data();
    void fitRule();
    void fourImagesMakeTwoRows();
    void centreOutsideTheCell();
    void clickPicksTheThumbnailUnderIt_data();
    void clickPicksTheThumbnailUnderIt();
    void secondClickIsIgnored();
    void keypointsClippedToTheirSquare();
    void missingPictureGetsUnscaledKeypoints();
    void nullCellEmptiesTheView();
    void cellOutlivesTheWordViewRebuild();
};

namespace {

QColor pictureColour(int i)
{
    return QColor(30 + 12 * i, 50, 100 - 4 * i);
}

WordView::CellType cellOf(QVector<int> images)
{
    WordView::CellType c;
    c.images = images;
    c.center = images.value(0, -1);
    return c;
}

} // namespace

void TestImageView::fitRule_data()
{
    QTest::addColumn<double>("boxW");
    QTest::addColumn<double>("boxH");
    QTest::addColumn<double>("imgW");
    QTest::addColumn<double>("imgH");
    QTest::addColumn<double>("s");
    QTest::addColumn<double>("ox");
    QTest::addColumn<double>("oy");
    QTest::newRow("wide image reduced") << 200.0 << 200.0 << 400.0 << 100.0 << 0.5 << 0.0 << 75.0;
    QTest::newRow("small image enlarged") << 120.0 << 120.0 << 60.0 << 30.0 << 2.0 << 0.0 << 30.0;
    QTest::newRow("zero width") << 160.0 << 160.0 << 0.0 << 50.0 << 1.0 << 0.0 << 0.0;
    QTest::newRow("zero height") << 160.0 << 160.0 << 50.0 << 0.0 << 1.0 << 0.0 << 0.0;
    QTest::newRow("tall image") << 120.0 << 120.0 << 256.0 << 512.0 << 0.234375 << 30.0 << 0.0;
    QTest::newRow("square image") << 160.0 << 160.0 << 640.0 << 640.0 << 0.25 << 0.0 << 0.0;
    QTest::newRow("wide box") << 300.0 << 100.0 << 100.0 << 100.0 << 1.0 << 100.0 << 0.0;
    QTest::newRow("photo in 160") << 160.0 << 160.0 << 640.0 << 480.0 << 0.25 << 0.0 << 20.0;
}

void TestImageView::fitRule()
{
    QFETCH(double, boxW);
    QFETCH(double, boxH);
    QFETCH(double, imgW);
    QFETCH(double, imgH);
    QFETCH(double, s);
    QFETCH(double, ox);
    QFETCH(double, oy);
    double gotOx = -7, gotOy = -7, gotS = -7;
    ImageView::map2view(boxW, boxH, imgW, imgH, gotOx, gotOy, gotS);
    QCOMPARE(gotS, s);
    QCOMPARE(gotOx, ox);
    QCOMPARE(gotOy, oy);
}

void TestImageView::fourImagesMakeTwoRows()
{
    DetailFixture f(4);
    for (int i = 0; i < 4; ++i)
        f.writePicture(i, pictureColour(i), QSize(64, 32));
    WordView::CellType cell = cellOf({3, 1, 0, 2});
    ImageView view(nullptr, nullptr);
    view.changeCell(&cell, &f.words, &f.data, 0);

    QCOMPARE(view.size(), QSize(486, 324));
    QCOMPARE(view.selected, 2);
    const QImage img = view.rendered();
    // 64 x 32 enlarged to 160 x 80, centred: gray above and below.
    QCOMPARE(img.pixelColor(80, 80), pictureColour(3));
    QCOMPARE(img.pixelColor(80, 30), QColor(Qt::gray));
    QCOMPARE(img.pixelColor(162 + 80, 80), pictureColour(1));
    QCOMPARE(img.pixelColor(324 + 80, 80), pictureColour(0));
    QCOMPARE(img.pixelColor(80, 162 + 80), pictureColour(2));
    QCOMPARE(img.pixelColor(160, 80), QColor(Qt::cyan));
    QCOMPARE(img.pixelColor(162 + 80, 162 + 80), QColor(Qt::cyan));
    // Index badge in each bottom-right corner.
    QPixmap badge(40, 16);
    badge.fill(Qt::yellow);
    QPainter painter(&badge);
    painter.drawText(QRect(0, 0, 40, 16), Qt::AlignCenter, QStringLiteral("2"));
    painter.end();
    QCOMPARE(img.copy(120, 162 + 144, 40, 16), badge.toImage());

    view.rendered(); // every picture decoded
    const QImage shot = view.grab().toImage();
    QCOMPARE(shot.pixelColor(324, 80), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(324 + 160, 80), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(0, 20), QColor(Qt::gray));

    QSignalSpy focusSpy(&view, &ImageView::focusChanged);
    DetailFixture::click(&view, QPoint(162 + 10, 162 + 10));
    DetailFixture::click(&view, QPoint(324 + 10, 162 + 10));
    QCOMPARE(focusSpy.count(), 0);
    QCOMPARE(view.selected, 2);
}

void TestImageView::centreOutsideTheCell()
{
    DetailFixture f(9);
    for (int i = 0; i < 9; ++i)
        f.writePicture(i, pictureColour(i));
    WordView::CellType cell = cellOf({0, 1, 2, 3, 4, 5, 6, 7, 8});
    QScrollArea area;
    auto *view = new ImageView(&area, nullptr);
    area.setWidget(view);
    area.resize(200, 200);
    area.show();

    view->changeCell(&cell, &f.words, &f.data, 8);
    QCOMPARE(view->selected, 8);
    QVERIFY(area.verticalScrollBar()->value() > 0);
    QVERIFY(area.horizontalScrollBar()->value() > 0);

    // No thumbnail outlined, and back to the top-left corner.
    view->changeCell(&cell, &f.words, &f.data, 42);
    QCOMPARE(view->selected, -1);
    QCOMPARE(area.verticalScrollBar()->value(), 0);
    QCOMPARE(area.horizontalScrollBar()->value(), 0);
    view->rendered(); // every picture decoded
    const QImage shot = view->grab().toImage();
    QVERIFY(!DetailFixture::hasColourIn(shot, shot.rect(), QColor(Qt::red)));
}

void TestImageView::clickPicksTheThumbnailUnderIt_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("index");
    QTest::newRow("first") << QPoint(1, 1) << 0;
    QTest::newRow("gap after the first") << QPoint(161, 20) << 0;
    QTest::newRow("second") << QPoint(162, 20) << 1;
    QTest::newRow("third, gap below") << QPoint(330, 161) << 2;
    QTest::newRow("fourth, row 2") << QPoint(10, 170) << 3;
    QTest::newRow("empty square") << QPoint(170, 170) << -1;
    QTest::newRow("right of the grid") << QPoint(490, 10) << -1;
    QTest::newRow("left of the grid, row 2") << QPoint(-5, 170) << -1;
    QTest::newRow("above the grid") << QPoint(10, -1) << -1;
}

void TestImageView::clickPicksTheThumbnailUnderIt()
{
    QFETCH(QPoint, pos);
    QFETCH(int, index);
    DetailFixture f(4);
    for (int i = 0; i < 4; ++i)
        f.writePicture(i, pictureColour(i));
    WordView::CellType cell = cellOf({2, 3, 0, 1});
    ImageView view(nullptr, nullptr);
    view.changeCell(&cell, &f.words, &f.data, -1);
    view.resize(700, 500);
    QSignalSpy focusSpy(&view, &ImageView::focusChanged);

    DetailFixture::click(&view, pos, Qt::RightButton);
    if (index < 0) {
        QCOMPARE(focusSpy.count(), 0);
        QCOMPARE(view.selected, -1);
        return;
    }
    QCOMPARE(focusSpy.count(), 1);
    QCOMPARE(focusSpy.at(0).at(0).toInt(), cell.images[index]);
    QCOMPARE(view.selected, index);
}

void TestImageView::secondClickIsIgnored()
{
    DetailFixture f(2);
    f.writePicture(0, pictureColour(0));
    f.writePicture(1, pictureColour(1));
    WordView::CellType cell = cellOf({0, 1});
    ImageView view(nullptr, nullptr);
    view.changeCell(&cell, &f.words, &f.data, 0);
    QSignalSpy focusSpy(&view, &ImageView::focusChanged);

    DetailFixture::click(&view, QPoint(50, 50));
    QCOMPARE(focusSpy.count(), 0);
    DetailFixture::click(&view, QPoint(200, 50));
    DetailFixture::click(&view, QPoint(210, 60));
    QCOMPARE(focusSpy.count(), 1);
    QCOMPARE(focusSpy.at(0).at(0).toInt(), 1);
    view.rendered(); // every picture decoded
    QCOMPARE(view.grab().toImage().pixelColor(162, 80), QColor(Qt::red));
}

void TestImageView::keypointsClippedToTheirSquare()
{
    DetailFixture f(2);
    f.writePicture(0, Qt::black, QSize(320, 320));
    f.writePicture(1, Qt::black, QSize(320, 320));
    // Scale 0.5: the region of radius 60 at (300, 160) spills past the
    // square's right edge; word 9 is 9 mod 6 = 3, cyan; word 1 is not hovered.
    f.writeKeypoints(0, {DetailFixture::keypoint(9, 300, 160, 60),
                         DetailFixture::keypoint(1, 160, 160, 40)});
    f.words = {9};
    WordView::CellType cell = cellOf({0, 1});
    ImageView view(nullptr, nullptr);
    view.changeCell(&cell, &f.words, &f.data, -1);

    const QImage img = view.rendered();
    QCOMPARE(img.pixelColor(150, 80), QColor(Qt::red));
    QVERIFY(DetailFixture::hasColourNear(img, QPoint(120, 80), 2, QColor(Qt::cyan)));
    QVERIFY(DetailFixture::hasColourIn(img, QRect(150, 40, 10, 80), QColor(Qt::cyan)));
    // Nothing of it in the next square (the gap is cyan anyway).
    QVERIFY(!DetailFixture::hasColourIn(img, QRect(162, 0, 160, 160), QColor(Qt::cyan)));
    // The unhovered word draws nothing: its ring would pass (60, 80).
    QVERIFY(!DetailFixture::hasColourNear(img, QPoint(60, 80), 3, QColor(Qt::yellow)));
}

void TestImageView::missingPictureGetsUnscaledKeypoints()
{
    DetailFixture f(1);
    // No picture file: the keypoint stays in picture pixels from the corner.
    f.writeKeypoints(0, {DetailFixture::keypoint(4, 50, 50, 10),
                         DetailFixture::keypoint(4, 150, 50, 40)});
    f.words = {4};
    WordView::CellType cell = cellOf({0});
    ImageView view(nullptr, nullptr);
    view.changeCell(&cell, &f.words, &f.data, 0);

    const QImage img = view.rendered();
    QCOMPARE(img.pixelColor(20, 20), QColor(Qt::gray));
    QCOMPARE(img.pixelColor(50, 50), QColor(Qt::red));
    QVERIFY(DetailFixture::hasColourNear(img, QPoint(60, 50), 1, QColor(Qt::blue)));
    QVERIFY(!DetailFixture::hasColourIn(img, QRect(160, 0, 326, 162), QColor(Qt::blue)));
}

void TestImageView::nullCellEmptiesTheView()
{
    DetailFixture f(2);
    f.writePicture(0, pictureColour(0));
    f.writePicture(1, pictureColour(1));
    WordView::CellType cell = cellOf({0, 1});
    ImageView view(nullptr, nullptr);
    view.changeCell(&cell, &f.words, &f.data, 1);
    QVERIFY(!view.rendered().isNull());

    view.changeCell(nullptr, nullptr, nullptr, -1);
    QVERIFY(view.rendered().isNull());
    QCOMPARE(view.selected, -1);
    QCOMPARE(view.size(), QSize(0, 0));
    QSignalSpy focusSpy(&view, &ImageView::focusChanged);
    view.resize(300, 300);
    DetailFixture::click(&view, QPoint(10, 10));
    QCOMPARE(focusSpy.count(), 0);
    view.changeWords(&f.words);
    const QImage shot = view.grab().toImage();
    QVERIFY(!DetailFixture::hasColourIn(shot, shot.rect(), QColor(Qt::cyan)));

    // An empty cell shows nothing as well.
    WordView::CellType empty;
    view.changeCell(&empty, &f.words, &f.data, -1);
    QVERIFY(view.rendered().isNull());
    QCOMPARE(view.size(), QSize(0, 0));
}

void TestImageView::cellOutlivesTheWordViewRebuild()
{
    DetailFixture f(3);
    for (int i = 0; i < 3; ++i)
        f.writePicture(i, pictureColour(i));
    f.writeKeypoints(1, {DetailFixture::keypoint(2, 128, 128, 40)});
    auto *cell = new WordView::CellType(cellOf({0, 1, 2}));
    ImageView view(nullptr, nullptr);
    view.changeCell(cell, &f.words, &f.data, 2);
    // The owner of the cell rebuilds it before telling the pane.
    delete cell;
    f.words = {2};
    view.changeWords(&f.words);
    QVERIFY(DetailFixture::hasColourIn(view.rendered(), QRect(162, 0, 160, 160),
                                       QColor(Qt::green)));
    QSignalSpy focusSpy(&view, &ImageView::focusChanged);
    DetailFixture::click(&view, QPoint(170, 10));
    QCOMPARE(focusSpy.count(), 1);
    QCOMPARE(focusSpy.at(0).at(0).toInt(), 1);
}

QTEST_MAIN(TestImageView)
#include "tst_imageview.moc"
