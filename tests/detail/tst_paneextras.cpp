// What the panes offer beyond their grids: tooltips naming the image, the
// full-size window opened by a double click, pictures too large to decode
// whole, and the titled scroll areas.

#include "data/model/keypointpalette.h"
#include "detail/imageview.h"
#include "detail/thumbnailcache.h"
#include "detail/imagewindow.h"
#include "detail/panearea.h"
#include "detail/wordview.h"

#include "data/model/imagefile.h"
#include "detailfixture.h"

#include <QCheckBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QImageWriter>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QToolTip>
#include <QtTest>

class TestPaneExtras : public QObject
{
    Q_OBJECT

private slots:
    void tooltipsNameFileAndCategory();
    void doubleClickOpensFullSizeWindow();
    void keypointsSwitchInTheWindow();
    void hugePictureIsReadReduced();
    void paneAreaShowsItsTitle();
    void windowSaysMissingOrUnreadable_data();
    void windowSaysMissingOrUnreadable();
    void transparentPicturesOverWhite();
    void paneSwitchHidesKeypoints();
};

namespace {

void doubleClick(QWidget *w, QPoint pos)
{
    DetailFixture::click(w, pos);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(pos), w->mapToGlobal(QPointF(pos)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(pos), w->mapToGlobal(QPointF(pos)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &dbl);
}

} // namespace

void TestPaneExtras::tooltipsNameFileAndCategory()
{
    DetailFixture f(3);
    f.data.labels[0].imageFile = QStringLiteral("birds/owl.png");
    f.data.labels[0].category = 2;
    f.data.labels[1].imageFile = QStringLiteral("cats/tabby.png");
    f.data.labels[1].category = 4;
    f.map.cellSize = 10;
    f.place(0, 1001, 701);
    f.place(1, 1050, 701);
    f.place(2, 1002, 702); // with image 0 in one cell
    f.neighbourhood = {0, 1, 2};
    WordView words(nullptr, nullptr);
    words.changeImages(&f.neighbourhood, &f.words, &f.data, -1, &f.map);
    QCOMPARE(words.cells.size(), 2);
    QCOMPARE(words.toolTipOf(0), QStringLiteral("birds/owl.png\nCategory 2 \u00b7 image 0\n"
                                                "2 images in this map cell"));
    QCOMPARE(words.toolTipOf(1), QStringLiteral("cats/tabby.png\nCategory 4 \u00b7 image 1"));
    // Named categories are shown by name.
    f.data.categoryNames.insert(4, QStringLiteral("cats"));
    QCOMPARE(words.toolTipOf(1), QStringLiteral("cats/tabby.png\nCategory cats (4) \u00b7 image 1"));
    f.data.categoryNames.clear();

    WordView::CellType cell{{2, 0}, 0};
    ImageView images(nullptr, nullptr);
    images.changeCell(&cell, &f.words, &f.data, 0);
    QCOMPARE(images.toolTipOf(1), QStringLiteral("birds/owl.png\nCategory 2 \u00b7 image 0"));

    // A tooltip event over a square shows that text; over the gap beside
    // the grid nothing.
    words.show();
    QHelpEvent over(QEvent::ToolTip, QPoint(130, 10), words.mapToGlobal(QPoint(130, 10)));
    QCoreApplication::sendEvent(&words, &over);
    QTRY_COMPARE(QToolTip::text(), words.toolTipOf(1));
    QHelpEvent outside(QEvent::ToolTip, QPoint(400, 10), words.mapToGlobal(QPoint(400, 10)));
    QCoreApplication::sendEvent(&words, &outside);
    QTRY_VERIFY(!QToolTip::isVisible());
}

void TestPaneExtras::doubleClickOpensFullSizeWindow()
{
    DetailFixture f(2);
    f.writePicture(0, Qt::darkRed, QSize(300, 200));
    f.writePicture(1, Qt::darkBlue, QSize(64, 48));
    f.neighbourhood = {0, 1};
    WordView words(nullptr, nullptr);
    words.changeImages(&f.neighbourhood, &f.words, &f.data, -1, &f.map);
    QSignalSpy opened(&words, &ThumbnailPane::imageOpened);
    QSignalSpy focus(&words, &WordView::focusChanged);

    doubleClick(&words, QPoint(130, 20));
    QCOMPARE(focus.count(), 1); // the first press still focuses the image
    QCOMPARE(opened.count(), 1);
    ImageWindow *window = words.lastOpened();
    QVERIFY(window);
    QVERIFY(window->isWindow());
    QVERIFY(window->isVisible());
    QCOMPARE(window->image(), 1);
    QCOMPARE(window->pictureSize(), QSize(64, 48));
    QCOMPARE(window->shownSize(), QSize(64, 48)); // full size, not the thumbnail
    QVERIFY(window->windowTitle().startsWith(QStringLiteral("img1.png")));

    // A double click beside the grid opens nothing.
    doubleClick(&words, QPoint(400, 20));
    QCOMPARE(opened.count(), 1);

    // The cell pane opens its images the same way.
    WordView::CellType cell{{0, 1}, 0};
    ImageView images(nullptr, nullptr);
    images.changeCell(&cell, &f.words, &f.data, 0);
    QSignalSpy openedHere(&images, &ThumbnailPane::imageOpened);
    doubleClick(&images, QPoint(20, 20));
    QCOMPARE(openedHere.count(), 1);
    QCOMPARE(images.lastOpened()->pictureSize(), QSize(300, 200));
    // Windows go with the pane that opened them.
}

void TestPaneExtras::keypointsSwitchInTheWindow()
{
    DetailFixture f(1);
    f.writePicture(0, Qt::black, QSize(200, 200));
    f.writeKeypoints(0, {DetailFixture::keypoint(4, 100, 100, 30),
                         DetailFixture::keypoint(5, 40, 40, 10)});
    QSet<int> hovered{4};
    ImageWindow window(f.data, 0, &hovered);
    window.show();
    QCOMPARE(window.keypointsDrawn(), 2);
    QImage shot = window.grab().toImage();
    QVERIFY(DetailFixture::hasColourIn(shot, shot.rect(), QColor(Qt::blue)));
    QVERIFY(DetailFixture::hasColourIn(shot, shot.rect(), QColor(Qt::magenta)));

    window.hoveredOnlyBox->setChecked(true);
    QCOMPARE(window.keypointsDrawn(), 1);
    shot = window.grab().toImage();
    QVERIFY(DetailFixture::hasColourIn(shot, shot.rect(), QColor(Qt::blue)));
    QVERIFY(!DetailFixture::hasColourIn(shot, shot.rect(), QColor(Qt::magenta)));

    window.setKeypointsShown(false);
    QCOMPARE(window.keypointsDrawn(), 0);
    shot = window.grab().toImage();
    QVERIFY(!DetailFixture::hasColourIn(shot, shot.rect(), QColor(Qt::blue)));
    QVERIFY(!DetailFixture::hasColourIn(shot, shot.rect(), QColor(Qt::red)));
}

void TestPaneExtras::hugePictureIsReadReduced()
{
    DetailFixture f(1, false);
    // 12,000 x 12,000 pixels: 550 MB decoded whole, far beyond Qt's
    // allocation limit. Written as a two-colour picture so the test itself
    // stays small.
    QImage huge(12000, 12000, QImage::Format_Mono);
    huge.setColorTable({QColor(Qt::darkRed).rgb(), QColor(Qt::darkBlue).rgb()});
    huge.fill(0);
    QVERIFY(huge.save(f.picturePath(0), "PNG"));
    huge = QImage();

    QSize original;
    const QImage read = ImageFile::read(f.picturePath(0), QSize(160, 160), &original);
    QCOMPARE(original, QSize(12000, 12000));
    QCOMPARE(read.size(), QSize(160, 160));
    QCOMPARE(QColor(read.pixel(80, 80)), QColor(Qt::darkRed));
    // Without a bound it is still read, reduced to the largest side kept.
    QCOMPARE(f.data.getImage(0).size(), QSize(ImageFile::kLargestSide, ImageFile::kLargestSide));

    // The panes show it like any other picture.
    WordView::CellType cell{{0}, 0};
    ImageView view(nullptr, nullptr);
    view.changeCell(&cell, &f.words, &f.data, 0);
    const QImage img = view.rendered();
    QCOMPARE(img.pixelColor(80, 80), QColor(Qt::darkRed));
    QSize size;
    view.thumbnailCache.square(f.data, 0, 160, &size);
    QCOMPARE(size, QSize(12000, 12000));
}

void TestPaneExtras::paneAreaShowsItsTitle()
{
    PaneArea area(QStringLiteral("Around the cursor"), QStringLiteral("badges"));
    auto *inner = new QWidget;
    inner->resize(400, 400);
    area.setWidget(inner);
    area.resize(300, 200);
    area.show();
    QCOMPARE(area.title(), QStringLiteral("Around the cursor"));
    QCOMPARE(area.titleLabel()->toolTip(), QStringLiteral("badges"));
    // The title sits above the viewport, not over the grid.
    const QRect title = area.titleLabel()->geometry();
    QVERIFY(title.height() > 0);
    QVERIFY(area.viewport()->geometry().top() >= title.bottom());
}

void TestPaneExtras::windowSaysMissingOrUnreadable_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::addColumn<QString>("said");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("img0.png: not found");
    QTest::newRow("there, not a picture") << QByteArray("not a picture at all")
                                          << QStringLiteral("img0.png: cannot be read (");
}

void TestPaneExtras::windowSaysMissingOrUnreadable()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, said);
    DetailFixture f(1, false);
    if (!content.isNull()) {
        QFile file(f.picturePath(0));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    ImageWindow window(f.data, 0, nullptr);
    QStringList texts;
    for (const QLabel *label : window.findChildren<QLabel *>())
        texts << label->text();
    QVERIFY2(std::any_of(texts.cbegin(), texts.cend(), [&](const QString &t) { return t.startsWith(said); }),
             qPrintable(texts.join(QLatin1Char('|'))));
}

// Transparent parts of a picture show over white in the panes, never over
// black (nor the gray of the empty square).
void TestPaneExtras::transparentPicturesOverWhite()
{
    DetailFixture f(2, false);
    QImage clear(64, 64, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    QVERIFY(clear.save(f.picturePath(0), "PNG"));
    // Half opaque red, half transparent.
    QImage half(64, 64, QImage::Format_ARGB32);
    half.fill(Qt::transparent);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 32; ++x)
            half.setPixelColor(x, y, Qt::red);
    QVERIFY(half.save(f.picturePath(1), "PNG"));
    ThumbnailCache cache;
    for (int image : {0, 1}) {
        QSize size;
        const QImage square = cache.square(f.data, image, 80, &size).toImage();
        QCOMPARE(size, QSize(64, 64));
        // The picture fills the square (80 px for 64): its centre and the
        // right half are transparent in the file.
        QCOMPARE(square.pixelColor(60, 40), QColor(Qt::white));
        if (image == 1)
            QCOMPARE(square.pixelColor(15, 40), QColor(Qt::red));
    }
}

// K over either pane hides the keypoints in both, as in the full-size
// window; they show by default.
void TestPaneExtras::paneSwitchHidesKeypoints()
{
    DetailFixture f(1);
    f.writePicture(0, Qt::white, QSize(200, 200));
    f.writeKeypoints(0, {DetailFixture::keypoint(4, 100, 100, 60)});
    f.neighbourhood = {0};
    f.words = {4};
    WordView words(nullptr, nullptr);
    words.changeImages(&f.neighbourhood, &f.words, &f.data, -1, &f.map);
    QVERIFY(words.keypointsShown());
    const QColor colour = KeypointPalette::colour(KeypointPalette::defaults(), 4);
    words.rendered();
    QVERIFY(DetailFixture::hasColourIn(words.rendered(), words.rect(), colour));

    QSignalSpy switched(&words, &ThumbnailPane::keypointsShownChanged);
    QKeyEvent k(QEvent::KeyPress, Qt::Key_K, Qt::NoModifier, QStringLiteral("k"));
    QCoreApplication::sendEvent(&words, &k);
    QCOMPARE(switched.count(), 1);
    QCOMPARE(switched.first().first().toBool(), false);
    QVERIFY(!DetailFixture::hasColourIn(words.rendered(), words.rect(), colour));
    QCoreApplication::sendEvent(&words, &k);
    QVERIFY(words.keypointsShown());
    QVERIFY(DetailFixture::hasColourIn(words.rendered(), words.rect(), colour));
}

QTEST_MAIN(TestPaneExtras)
#include "tst_paneextras.moc"
