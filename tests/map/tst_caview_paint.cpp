// Map repaint: canvas placement, hover and focus marks, magic lens,
// selection overlay, thumbnails of the focused image with their keypoints.

#include "tst_caview_fixture.h"

#include "data/model/sift.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using fixture::at;
using fixture::count;
using fixture::makeData;
using fixture::near;
using fixture::shot;

namespace {

// View of 400 x 300: a map point (x, y) lands on widget pixel
// (200 + trunc(200 x), 150 - trunc(200 y)).
std::unique_ptr<CAData> smallData()
{
    return makeData({{-0.25, -0.25}, {0.5, 0.5}, {-0.5, 0.5}},
                    {{0.25, 0.25}, {0.25, -0.5}, {-0.5, -0.5}, {0.5, -0.25}}, {1, 1});
}

void attach(CAView &view, CAData *d, int w = 400, int h = 300)
{
    fixture::resizeNow(view, w, h);
    view.setData(d);
}

const QColor darkGreen(Qt::darkGreen);
const QColor purple(120, 40, 200);

} // namespace

class TestCAViewPaint : public QObject
{
    Q_OBJECT

private slots:
    void noDataPaintsNothing();
    void canvasFollowsOriginAndPan();
    void neighbourhoodAndHoverCircle();
    void imageFocusIsCircled();
    void wordFocusIsBoxed();
    void lensMagnifiesUpToRadius();
    void lensFocusAtRadiusIsNotMagnified();
    void lensFocusInsideRadiusIsMagnified();
    void lensReplacesHoverCircle();
    void selectionOverlay();
    void selectionOverlayOnlyInSelectionMode();
    void thumbnailsAndKeypoints();
    void thumbnailsNeedFocusAndSwitch();
    void unreadableImageDrawsNoThumbnail();
    void noCardWithoutImageFocus();
};

void TestCAViewPaint::noDataPaintsNothing()
{
    CAView view(0, 1, 2);
    fixture::resizeNow(view, 100, 80);
    view.showLens = true;
    const QImage image = shot(view);
    QCOMPARE(count(image, image.rect(), fixture::untouched()), 100 * 80);
}

void TestCAViewPaint::canvasFollowsOriginAndPan()
{
    auto d = smallData();
    CAView view(0, 1, 2);
    attach(view, d.get());
    QImage image = shot(view);
    QCOMPARE(count(image, image.rect(), fixture::untouched()), 0);
    QCOMPARE(at(image, 200, 20), QColor(Qt::gray));
    QCOMPARE(at(image, 20, 150), QColor(Qt::gray));
    QCOMPARE(at(image, 201, 20), QColor(Qt::white));

    view.panX = 10;
    view.panY = -20;
    image = shot(view);
    QCOMPARE(at(image, 210, 20), QColor(Qt::gray));
    QCOMPARE(at(image, 20, 130), QColor(Qt::gray));
    QCOMPARE(at(image, 200, 20), QColor(Qt::white));

    // A widget larger than the canvas: white fill around it.
    attach(view, d.get(), 2100, 1600);
    image = shot(view);
    QCOMPARE(at(image, 10, 10), QColor(Qt::white));
    QCOMPARE(at(image, 2090, 1590), QColor(Qt::white));
    QCOMPARE(at(image, 1050, 10), QColor(Qt::white));  // above the canvas
    QCOMPARE(at(image, 1050, 60), QColor(Qt::gray));   // vertical axis
}

void TestCAViewPaint::neighbourhoodAndHoverCircle()
{
    auto d = smallData();
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.hoverWords = {0};   // (250, 100)
    view.imageList = {0, 1}; // (150, 200) and (300, 50)
    view.cursorX = 300;
    view.cursorY = 200;
    view.radius = 30;
    const QImage image = shot(view);
    QCOMPARE(at(image, 250, 100), QColor(Qt::blue));
    QCOMPARE(at(image, 248, 100), QColor(Qt::black));
    QCOMPARE(at(image, 150, 200), QColor(Qt::green));
    QCOMPARE(at(image, 148, 198), QColor(Qt::black));
    QCOMPARE(at(image, 300, 50), QColor(Qt::green));
    // Word 1 at (250, 250) is not in the neighbourhood: no filled mark.
    QVERIFY(!near(image, 250, 250, Qt::blue, 0));
    // Hover circle of radius 30 around the cursor, empty inside.
    QVERIFY(near(image, 270, 200, Qt::blue));
    QVERIFY(near(image, 330, 200, Qt::blue));
    QVERIFY(near(image, 300, 170, Qt::blue));
    QCOMPARE(at(image, 300, 200), QColor(Qt::white));
    QCOMPARE(count(image, image.rect(), Qt::yellow), 0);
}

void TestCAViewPaint::imageFocusIsCircled()
{
    auto d = smallData();
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.focusOnImage = true;
    view.focusImage = 0; // (150, 200)
    view.focusWord = 0;  // ignored while the focus is on the image
    const QImage image = shot(view);
    QCOMPARE(at(image, 150, 200), QColor(Qt::yellow));
    QVERIFY(near(image, 156, 200, darkGreen));
    QVERIFY(near(image, 144, 200, darkGreen));
    QVERIFY(near(image, 150, 194, darkGreen));
    QVERIFY(!near(image, 144, 194, darkGreen, 0)); // a circle has no corners
    QVERIFY(!near(image, 250, 100, Qt::yellow, 2));
}

void TestCAViewPaint::wordFocusIsBoxed()
{
    auto d = smallData();
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.focusOnImage = false;
    view.focusWord = 0; // (250, 100)
    view.focusImage = 0;
    const QImage image = shot(view);
    QCOMPARE(at(image, 250, 100), QColor(Qt::yellow));
    QVERIFY(near(image, 244, 94, darkGreen));
    QVERIFY(near(image, 256, 106, darkGreen));
    QVERIFY(near(image, 244, 100, darkGreen));
    QVERIFY(!near(image, 150, 200, Qt::yellow, 2));

    view.focusWord = 4; // out of range: no mark
    const QImage none = shot(view);
    QCOMPARE(count(none, none.rect(), Qt::yellow), 0);
    QCOMPARE(count(none, none.rect(), darkGreen), 0);
}

void TestCAViewPaint::lensMagnifiesUpToRadius()
{
    auto d = smallData();
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.showLens = true;
    view.radius = 20;
    // Word 0 at (250, 100), image 0 at (150, 200).
    view.cursorX = 230;
    view.cursorY = 100;
    view.hoverWords = {0};
    QImage image = shot(view);
    // Exactly at radius: magnified, 80 pixels from the centre.
    QCOMPARE(at(image, 310, 100), QColor(Qt::cyan));
    QVERIFY(near(image, 306, 100, Qt::black));
    QVERIFY(!near(image, 250, 100, Qt::cyan, 2));

    view.cursorX = 229; // one pixel farther: not drawn at all
    image = shot(view);
    QCOMPARE(count(image, image.rect(), Qt::cyan), 0);

    view.hoverWords.clear();
    view.imageList = {0};
    view.cursorX = 150;
    view.cursorY = 180; // image exactly at radius, below the cursor
    image = shot(view);
    QCOMPARE(at(image, 150, 260), QColor(Qt::green));
    QCOMPARE(at(image, 153, 263), QColor(Qt::green)); // 8 x 8 mark
    QVERIFY(!near(image, 150, 200, Qt::green, 1));

    view.cursorY = 179; // farther: drawn where it is, not magnified
    image = shot(view);
    QCOMPARE(at(image, 150, 200), QColor(Qt::green));
    QVERIFY(!near(image, 150, 259, Qt::green, 3));
}

void TestCAViewPaint::lensFocusAtRadiusIsNotMagnified()
{
    auto d = smallData();
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.showLens = true;
    view.radius = 20;
    view.focusOnImage = true;
    view.focusImage = 0; // (150, 200)
    view.cursorX = 170;
    view.cursorY = 200;
    QImage image = shot(view);
    QCOMPARE(at(image, 150, 200), QColor(Qt::yellow));
    QVERIFY(near(image, 144, 200, darkGreen));
    QVERIFY(!near(image, 90, 200, Qt::yellow, 4));

    view.focusOnImage = false;
    view.focusWord = 0; // (250, 100)
    view.cursorX = 250;
    view.cursorY = 120;
    image = shot(view);
    QCOMPARE(at(image, 250, 100), QColor(Qt::yellow));
    QVERIFY(near(image, 244, 94, darkGreen)); // square corner
}

void TestCAViewPaint::lensFocusInsideRadiusIsMagnified()
{
    auto d = smallData();
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.showLens = true;
    view.radius = 20;
    view.focusOnImage = true;
    view.focusImage = 0; // (150, 200)
    view.cursorX = 160;  // 10 pixels: drawn at 160 - 10 * 0.8 * 100 / 20 = 120
    view.cursorY = 200;
    const QImage image = shot(view);
    QCOMPARE(at(image, 120, 200), QColor(Qt::yellow));
    QCOMPARE(at(image, 123, 203), QColor(Qt::yellow));
    QCOMPARE(count(image, image.rect(), darkGreen), 0);
    QVERIFY(!near(image, 150, 200, Qt::yellow, 1));
}

void TestCAViewPaint::lensReplacesHoverCircle()
{
    auto d = smallData();
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.radius = 30;
    view.cursorX = 320;
    view.cursorY = 200;
    view.hoverWords = {1}; // (250, 250), far outside the lens circle
    view.showHideLens(true);
    QVERIFY(view.showLens);
    const QImage image = shot(view);
    QCOMPARE(count(image, image.rect(), Qt::blue), 0); // no hover circle, no word marks
    // The lens disc: light at its centre, dark near its rim, untouched outside.
    const QColor centre = at(image, 320, 200);
    const QColor rim = at(image, 320 - 99, 200);
    QVERIFY(centre.lightness() > 240);
    QVERIFY(rim.lightness() < 200);
    QCOMPARE(at(image, 320 - 110, 200), QColor(Qt::white));
}

void TestCAViewPaint::selectionOverlay()
{
    auto d = smallData();
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.mode = CAView::ModeSelection;
    view.polygon = {QPointF(20, 250), QPointF(120, 250), QPointF(120, 280)};
    view.selectedImages = {0}; // (150, 200)
    view.selectedWords = {0};  // (250, 100)
    QImage image = shot(view);
    QCOMPARE(at(image, 70, 250), QColor(Qt::black));
    QCOMPARE(at(image, 120, 265), QColor(Qt::black));
    QVERIFY(!near(image, 70, 265, Qt::black, 3)); // the polyline stays open
    QVERIFY(near(image, 154, 202, Qt::blue));
    QVERIFY(near(image, 150, 202, Qt::blue));
    QCOMPARE(at(image, 152, 202), QColor(Qt::white)); // an outline only
    QVERIFY(near(image, 254, 102, Qt::green));
    QVERIFY(near(image, 252, 100, Qt::green));

    view.polygon.clear();
    image = shot(view);
    QCOMPARE(count(image, image.rect(), Qt::black), 0);
    QVERIFY(near(image, 154, 202, Qt::blue));
}

void TestCAViewPaint::selectionOverlayOnlyInSelectionMode()
{
    auto d = smallData();
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.mode = CAView::ModeHand;
    view.polygon = {QPointF(20, 250), QPointF(120, 250)};
    view.selectedImages = {0};
    view.showLens = true; // no hover circle either, so no blue at all
    const QImage image = shot(view);
    QCOMPARE(count(image, QRect(0, 240, 130, 20), Qt::black), 0);
    QCOMPARE(count(image, image.rect(), Qt::blue), 0);
}

namespace {

// An image of 100 x 50 pixels with one round keypoint of word 3 at (50, 25),
// radius 10, and the analysis that names it for image 0.
struct ThumbnailFixture
{
    QTemporaryDir dir;
    std::unique_ptr<CAData> data;

    ThumbnailFixture()
    {
        QImage picture(100, 50, QImage::Format_RGB32);
        picture.fill(purple);
        picture.save(dir.filePath("a.png"));
        Sift sift{1, 3, 50, 25, 10, 0, 0, 10};
        uchar bytes[32];
        sift.toLittleEndian(bytes);
        QFile file(dir.filePath("a.key"));
        file.open(QIODevice::WriteOnly);
        file.write(reinterpret_cast<const char *>(bytes), 32);
        file.close();

        data = smallData();
        data->baseDir = dir.path();
        data->labels.reset(new ImageLabel[3]);
        data->labels[0].imageFile = "a.png";
        data->descriptors.reset(new QString[3]);
        data->descriptors[0] = "a.key";
    }
};

// Copies of a 600 x 500 view, each 200 x 100 after the fit (scale 2,
// vertical offset 50): the top-left corner of each picture.
const QPoint corner(0, 50), left(0, 200), right(400, 200), top(200, 50), bottom(200, 350);

int cyanAround(const QImage &image, QPoint copy)
{
    // The keypoint is drawn at the picture's centre with radius 20.
    return count(image, QRect(copy + QPoint(75, 25), QSize(51, 51)), Qt::cyan);
}

} // namespace

void TestCAViewPaint::thumbnailsAndKeypoints()
{
    ThumbnailFixture f;
    CAView view(0, 1, 2); // default palette: word 3 is cyan
    attach(view, f.data.get(), 600, 500);
    view.focusImage = 0;
    view.showHideImage(true);
    QVERIFY(view.showImage);
    view.wordList = {3};
    view.axis2NegLabels = {3};
    view.axis1PosLabels = {2};
    const QImage image = shot(view);
    for (const QPoint &copy : {corner, left, right, top, bottom}) {
        QCOMPARE(at(image, copy.x() + 30, copy.y() + 20), purple);
        QCOMPARE(at(image, copy.x() + 199, copy.y() + 99), purple);
        QVERIFY(at(image, copy.x() + 100, copy.y() - 1) != purple);
        QVERIFY(at(image, copy.x() + 100, copy.y() + 100) != purple);
    }
    // Keypoint region on the corner copy (words under the cursor) and on
    // the bottom copy (words of the negative half of the vertical axis).
    QVERIFY(cyanAround(image, corner) > 20);
    QVERIFY(cyanAround(image, bottom) > 20);
    QCOMPARE(cyanAround(image, left), 0);
    QCOMPARE(cyanAround(image, right), 0);
    QCOMPARE(cyanAround(image, top), 0);
    QVERIFY(near(image, 120, 100, Qt::cyan));
    QVERIFY(near(image, 100, 80, Qt::cyan));
    QCOMPARE(at(image, 100, 100), QColor(Qt::red)); // centre cross
    QVERIFY(near(image, 320, 400, Qt::cyan));
}

void TestCAViewPaint::thumbnailsNeedFocusAndSwitch()
{
    ThumbnailFixture f;
    CAView view(0, 1, 2);
    attach(view, f.data.get(), 600, 500);
    view.showImage = true;
    view.wordList = {3};
    QImage image = shot(view); // no focus yet
    QCOMPARE(count(image, image.rect(), purple), 0);

    view.focusImage = 0;
    view.showHideImage(false);
    image = shot(view);
    QCOMPARE(count(image, image.rect(), purple), 0);
    QCOMPARE(count(image, image.rect(), Qt::cyan), 0);

    // Without keypoint files the pictures are still shown.
    view.showImage = true;
    f.data->descriptors.reset();
    image = shot(view);
    QCOMPARE(at(image, 30, 70), purple);
    QCOMPARE(count(image, image.rect(), Qt::cyan), 0);
}

void TestCAViewPaint::unreadableImageDrawsNoThumbnail()
{
    ThumbnailFixture f;
    f.data->labels[0].imageFile = "missing.png";
    f.data->descriptors.reset();
    CAView view(0, 1, 2);
    attach(view, f.data.get(), 600, 500);
    view.focusImage = 0;
    view.showImage = true;
    const QImage image = shot(view);
    QCOMPARE(count(image, image.rect(), purple), 0);
    QCOMPARE(at(image, 30, 70), QColor(Qt::white));
}

void TestCAViewPaint::noCardWithoutImageFocus()
{
    auto d = smallData();
    CAView view(0, 1, 2);
    attach(view, d.get());
    view.showInfo = true;
    view.focusOnImage = false;
    view.focusWord = 0;
    view.cursorX = 50;
    view.cursorY = 50;
    const QColor paper(255, 255, 51); // the card's translucent yellow on white
    QImage image = shot(view);
    QCOMPARE(count(image, image.rect(), paper), 0);

    view.focusImage = 2; // a valid image index lets the word card show
    image = shot(view);
    QVERIFY(count(image, image.rect(), paper) > 10000);
}

QTEST_MAIN(TestCAViewPaint)
#include "tst_caview_paint.moc"
