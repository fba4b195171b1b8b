// Information card: placement and flips, texts, the two bar charts and the
// number of topics.

#include "tst_caview_fixture.h"
#include "tst_caview_textrecorder.h"

#include <QtTest>

#include <algorithm>

using fixture::at;
using fixture::count;
using fixture::DrawnText;
using fixture::makeData;
using fixture::shot;

namespace {

const QString mu = QString(QChar(0x00B5));

// Four images (mean contribution 0.25) and five words (0.2). Image 1 and
// word 2 carry the given coordinates; every other point sits at the origin.
std::unique_ptr<CAData> cardData(const std::vector<double> &image,
                                 const std::vector<double> &word,
                                 const std::vector<double> &lambda)
{
    const size_t axes = lambda.size();
    std::vector<std::vector<double>> z(4, std::vector<double>(axes, 0.0));
    std::vector<std::vector<double>> w(5, std::vector<double>(axes, 0.0));
    z[1] = image;
    w[2] = word;
    auto d = makeData(z, w, lambda);
    return d;
}

void showCard(CAView &view, CAData *d, int cursorX, int cursorY, QSize size = QSize(800, 600))
{
    fixture::resizeNow(view, size.width(), size.height());
    view.setData(d);
    view.focusImage = 1;
    view.focusOnImage = true;
    view.focusWord = 2;
    view.cursorX = cursorX;
    view.cursorY = cursorY;
    view.showHideInformation(true);
}

QList<DrawnText> textsOf(CAView &view)
{
    return fixture::TextRecorder::record(view);
}

bool has(const QList<DrawnText> &texts, const QString &text, QPointF position)
{
    return std::any_of(texts.begin(), texts.end(), [&](const DrawnText &t) {
        return t.text == text && t.position == position;
    });
}

bool has(const QList<DrawnText> &texts, const QString &text)
{
    return std::any_of(texts.begin(), texts.end(),
                       [&](const DrawnText &t) { return t.text == text; });
}

// Texts drawn on one baseline, left to right.
QStringList row(const QList<DrawnText> &texts, double y)
{
    QList<DrawnText> on;
    for (const DrawnText &t : texts)
        if (t.position.y() == y)
            on.append(t);
    std::sort(on.begin(), on.end(), [](const DrawnText &a, const DrawnText &b) {
        return a.position.x() < b.position.x();
    });
    QStringList out;
    for (const DrawnText &t : on)
        out << t.text;
    return out;
}

QString topicsLine(const QList<DrawnText> &texts)
{
    for (const DrawnText &t : texts)
        if (t.text.contains(QLatin1String("topics")))
            return t.text;
    return QString();
}

// The card's translucent yellow and its darker fold, over the white canvas.
bool isPaper(const QColor &c)
{
    return c.red() == 255 && c.green() == 255 && qAbs(c.blue() - 51) <= 1;
}

bool isFold(const QColor &c)
{
    return qAbs(c.red() - 153) <= 3 && qAbs(c.green() - 153) <= 3 && qAbs(c.blue() - 51) <= 1;
}

bool isBar(const QColor &c)
{
    return c == QColor(Qt::green) || c == QColor(Qt::red);
}

} // namespace

class TestCAViewInfo : public QObject
{
    Q_OBJECT

private slots:
    void imageCardTexts();
    void longFileNameIsShortened();
    void imageCardWithoutImageList();
    void wordCardTexts();
    void topicsCount_data();
    void topicsCount();
    void onlyTenAxesAreCharted();
    void tiesInAxisOrder();
    void qualityBarsGeometry();
    void contributionCappedAtTenMeans();
    void placementAndFlips_data();
    void placementAndFlips();
    void pointAtOriginDrawsNoBars();
    void axisWithoutInertiaContributesNothing();
};

void TestCAViewInfo::imageCardTexts()
{
    auto d = cardData({1.2, -0.6, 0.2}, {0, 0, 0}, {1, 1, 1});
    for (int i = 0; i < 4; ++i)
        d->P[i] = 0.5; // contributions 0.72, 0.18, 0.02 against 2 x 0.25
    d->labels.reset(new ImageLabel[4]);
    d->labels[1].category = 7;
    d->labels[1].imageFile = "cat.png";
    CAView view(0, 1, 2);
    showCard(view, d.get(), 100, 50);
    const QList<DrawnText> texts = textsOf(view);
    // Contents frame at (120, 70).
    QVERIFY(has(texts, "Image: #1 - cat.png", QPointF(140, 75)));
    QVERIFY(has(texts, "Category: #7 - nb. topics: 1", QPointF(140, 95)));
    QVERIFY(has(texts, "Representation quality", QPointF(190, 125)));
    QVERIFY(has(texts, "Contribution (" + mu + ": mean)", QPointF(190, 273)));
    QCOMPARE(row(texts, 70 + 158), (QStringList{"1", "2", "3"}));
    QCOMPARE(row(texts, 70 + 316), (QStringList{"1", "2", "3"}));
    QVERIFY(has(texts, "1", QPointF(146, 228)));
    for (const QString &tick : {QString("0.5"), "10" + mu, "5" + mu, "2" + mu})
        QVERIFY2(has(texts, tick), qPrintable(tick));
    // Texts are never mirrored.
    for (const DrawnText &t : texts)
        QVERIFY(t.transform.m11() > 0 && t.transform.m22() > 0);
}

void TestCAViewInfo::longFileNameIsShortened()
{
    auto d = cardData({1, 0}, {0, 0}, {1, 1});
    d->labels.reset(new ImageLabel[4]);
    d->labels[1].imageFile = "abcdefghijklmnopqrstuvwxyz.png";
    CAView view(0, 1, 2);
    showCard(view, d.get(), 100, 50);
    QVERIFY(has(textsOf(view), "Image: #1 - ...mnopqrstuvwxyz.png", QPointF(140, 75)));
}

void TestCAViewInfo::imageCardWithoutImageList()
{
    // No file name and no category to show: the card names the image by
    // its number only and counts its topics.
    auto d = cardData({1, 0}, {0, 0}, {1, 1});
    CAView view(0, 1, 2);
    showCard(view, d.get(), 100, 50);
    const QList<DrawnText> texts = textsOf(view);
    QVERIFY(has(texts, "Image: #1", QPointF(140, 75)));
    QVERIFY(has(texts, "Number of topics: 1", QPointF(140, 95)));
    QVERIFY(!topicsLine(texts).contains("Category"));
}

void TestCAViewInfo::wordCardTexts()
{
    // Word 2: contributions 1 and 0.25 against the word mean 0.2.
    auto d = cardData({0, 0}, {1, 0.5}, {1, 1});
    d->labels.reset(new ImageLabel[4]);
    d->labels[1].category = 7;
    CAView view(0, 1, 2);
    showCard(view, d.get(), 100, 50);
    view.focusOnImage = false;
    view.imageThreshold = 0; // the image factor plays no part
    QList<DrawnText> texts = textsOf(view);
    QVERIFY(has(texts, "Word: #2", QPointF(140, 75)));
    QVERIFY(has(texts, "Number of topics: 1", QPointF(140, 95)));
    QVERIFY(!has(texts, "Image: #1 - "));
    view.wordThreshold = 1;
    QCOMPARE(topicsLine(textsOf(view)), QString("Number of topics: 2"));
}

void TestCAViewInfo::topicsCount_data()
{
    QTest::addColumn<double>("coordinate");
    QTest::addColumn<double>("lambda");
    QTest::addColumn<int>("factor");
    QTest::addColumn<int>("topics");
    // Mass 0.5, mean 0.25: contribution 0.5 x c^2 / lambda.
    QTest::newRow("exactly 2 means") << 1.0 << 1.0 << 2 << 0;
    QTest::newRow("just above 2 means") << 1.01 << 1.0 << 2 << 1;
    QTest::newRow("factor 0, contribution 0") << 0.0 << 1.0 << 0 << 0;
    QTest::newRow("factor 0, tiny contribution") << 0.01 << 1.0 << 0 << 1;
    QTest::newRow("100 means, factor 9") << 1.0 << 0.02 << 9 << 1;
    QTest::newRow("100 means capped at 10, factor 10") << 1.0 << 0.02 << 10 << 0;
}

void TestCAViewInfo::topicsCount()
{
    QFETCH(double, coordinate);
    QFETCH(double, lambda);
    QFETCH(int, factor);
    QFETCH(int, topics);
    auto d = cardData({coordinate, 0}, {0, 0}, {lambda, 1});
    for (int i = 0; i < 4; ++i)
        d->P[i] = 0.5;
    CAView view(0, 1, 2);
    showCard(view, d.get(), 100, 50);
    view.imageThreshold = factor;
    QCOMPARE(topicsLine(textsOf(view)), QString("Number of topics: %1").arg(topics));
}

void TestCAViewInfo::onlyTenAxesAreCharted()
{
    // 25 axes, the first twelve with contribution 2 means.
    std::vector<double> coords(25, 0.0), lambda(25, 1.0);
    for (int a = 0; a < 12; ++a)
        coords[a] = 1.0;
    auto d = cardData(coords, std::vector<double>(25, 0.0), lambda);
    for (int i = 0; i < 4; ++i)
        d->P[i] = 0.5;
    CAView view(0, 1, 2);
    showCard(view, d.get(), 100, 50);
    view.imageThreshold = 1;
    const QList<DrawnText> texts = textsOf(view);
    QCOMPARE(topicsLine(texts), QString("Number of topics: 10"));
    const QStringList ten = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
    QCOMPARE(row(texts, 70 + 158), ten);
    QCOMPARE(row(texts, 70 + 316), ten);
}

void TestCAViewInfo::tiesInAxisOrder()
{
    auto d = cardData({0.5, 0.5, -0.5}, {0, 0, 0}, {1, 1, 1});
    CAView view(0, 1, 2);
    showCard(view, d.get(), 100, 50);
    const QList<DrawnText> texts = textsOf(view);
    QCOMPARE(row(texts, 70 + 158), (QStringList{"1", "2", "3"}));
    QCOMPARE(row(texts, 70 + 316), (QStringList{"1", "2", "3"}));
    // Bars 0 and 1 positive (green), bar 2 negative (red); each third of
    // the quality chart: top int(2/3 x 88 + 55) = 113 in the frame at (120, 70).
    const QImage image = shot(view);
    QCOMPARE(at(image, 148, 70 + 120), QColor(Qt::green));
    QCOMPARE(at(image, 168, 70 + 120), QColor(Qt::green));
    QCOMPARE(at(image, 188, 70 + 120), QColor(Qt::red));
    QVERIFY(isPaper(at(image, 148, 70 + 110)));
}

void TestCAViewInfo::qualityBarsGeometry()
{
    // Shares 0.64 (axis 2, positive) and 0.36 (axis 1, negative).
    auto d = cardData({-0.6, 0.8}, {0, 0}, {1, 1});
    CAView view(0, 1, 2);
    showCard(view, d.get(), 100, 50);
    const QImage image = shot(view);
    const int fx = 120, fy = 70;
    // Bar 0: x 20..37, top int(0.36 x 88 + 55) = 86, 56 high.
    QCOMPARE(at(image, fx + 28, fy + 88), QColor(Qt::green));
    QCOMPARE(at(image, fx + 28, fy + 140), QColor(Qt::green));
    QVERIFY(isPaper(at(image, fx + 28, fy + 83)));
    QCOMPARE(at(image, fx + 20, fy + 110), QColor(Qt::blue)); // outline
    // Bar 1: x 40..57, top int(0.64 x 88 + 55) = 111, 31 high.
    QCOMPARE(at(image, fx + 48, fy + 114), QColor(Qt::red));
    QVERIFY(isPaper(at(image, fx + 48, fy + 108)));
    // Nothing at a third place.
    QVERIFY(!isBar(at(image, fx + 68, fy + 130)));
}

void TestCAViewInfo::contributionCappedAtTenMeans()
{
    // Contribution 100 means on axis 1 (capped), 5 means on axis 2.
    auto d = cardData({1.0, -1.0}, {0, 0}, {0.02, 0.4});
    for (int i = 0; i < 4; ++i)
        d->P[i] = 0.5;
    CAView view(0, 1, 2);
    showCard(view, d.get(), 100, 50);
    const QImage image = shot(view);
    const int fx = 120, fy = 70, B = 213;
    QCOMPARE(at(image, fx + 28, fy + B + 2), QColor(Qt::green)); // full height
    QCOMPARE(at(image, fx + 28, fy + B + 86), QColor(Qt::green));
    QVERIFY(!isBar(at(image, fx + 28, fy + B - 3)));             // not above the scale
    // Half height for 5 means: top int(213 + 5 x 0.25 x 88 / 2.5) = 257.
    QCOMPARE(at(image, fx + 48, fy + 260), QColor(Qt::red));
    QVERIFY(isPaper(at(image, fx + 48, fy + 253)));
}

void TestCAViewInfo::placementAndFlips_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<QPoint>("direction");
    QTest::newRow("room on both sides") << QSize(800, 600) << QPoint(100, 50) << QPoint(1, 1);
    QTest::newRow("exactly fits") << QSize(800, 600) << QPoint(500, 250) << QPoint(1, 1);
    QTest::newRow("near the right edge") << QSize(800, 600) << QPoint(700, 50) << QPoint(-1, 1);
    QTest::newRow("near the bottom edge") << QSize(800, 600) << QPoint(100, 500) << QPoint(1, -1);
    QTest::newRow("near both") << QSize(800, 600) << QPoint(700, 500) << QPoint(-1, -1);
    QTest::newRow("overflows from the left half")
        << QSize(500, 600) << QPoint(240, 50) << QPoint(1, 1);
}

void TestCAViewInfo::placementAndFlips()
{
    QFETCH(QSize, size);
    QFETCH(QPoint, cursor);
    QFETCH(QPoint, direction);
    auto d = cardData({1, 0}, {0, 0}, {1, 1});
    CAView view(0, 1, 2);
    showCard(view, d.get(), cursor.x(), cursor.y(), size);
    const QImage image = shot(view);
    const int sx = direction.x(), sy = direction.y();
    auto card = [&](int u, int v) { return at(image, cursor.x() + sx * u, cursor.y() + sy * v); };
    QVERIFY(!isPaper(card(3, 3)) && !isFold(card(3, 3))); // the notch at the cursor
    QVERIFY(isFold(card(17, 17)));
    QVERIFY(isPaper(card(25, 5)));
    QVERIFY(isPaper(card(5, 25)));
    QVERIFY(isPaper(card(5, 345)));
    QVERIFY(!isPaper(card(-3, 100)));
    QVERIFY(!isPaper(card(100, -3)));
    QVERIFY(fixture::near(image, cursor.x(), cursor.y() + sy * 100, Qt::red)); // outline
    if (QRect(QPoint(0, 0), size).contains(cursor + QPoint(sx * 303, sy * 345))) {
        QVERIFY(isPaper(card(295, 345)));
        QVERIFY(!isPaper(card(303, 345)));
    }
    // Contents start 20 pixels inside the card's top-left corner, whichever
    // way it opened.
    const int left = sx > 0 ? cursor.x() : cursor.x() - 300;
    const int top = sy > 0 ? cursor.y() : cursor.y() - 350;
    QVERIFY(has(textsOf(view), "Image: #1", QPointF(left + 40, top + 25)));
}

void TestCAViewInfo::pointAtOriginDrawsNoBars()
{
    // Quality shares are 0 / 0: every bar is empty, nothing is counted.
    auto d = cardData({0, 0, 0}, {0, 0, 0}, {1, 1, 1});
    CAView view(0, 1, 2);
    showCard(view, d.get(), 100, 50);
    view.imageThreshold = 0;
    const QImage image = shot(view);
    QCOMPARE(count(image, QRect(100, 50, 300, 350), Qt::green), 0);
    QCOMPARE(count(image, QRect(130, 70 + 45, 100, 98), Qt::red), 0);
    QCOMPARE(count(image, QRect(130, 70 + 203, 200, 98), Qt::red), 0);
    const QList<DrawnText> texts = textsOf(view);
    QCOMPARE(topicsLine(texts), QString("Number of topics: 0"));
    QCOMPARE(row(texts, 70 + 158), (QStringList{"1", "2", "3"}));
}

void TestCAViewInfo::axisWithoutInertiaContributesNothing()
{
    // Axis 2 has eigenvalue 0: its contribution is 0, not an infinite bar.
    auto d = cardData({1, 1}, {0, 0}, {1, 0});
    for (int i = 0; i < 4; ++i)
        d->P[i] = 0.5;
    CAView view(0, 1, 2);
    showCard(view, d.get(), 100, 50);
    view.imageThreshold = 1;
    const QList<DrawnText> texts = textsOf(view);
    QCOMPARE(row(texts, 70 + 316), (QStringList{"1", "2"}));
    QCOMPARE(topicsLine(texts), QString("Number of topics: 1"));
    const QImage image = shot(view);
    QCOMPARE(count(image, QRect(120 + 40, 70 + 213, 18, 88), Qt::green), 0);
    QCOMPARE(at(image, 120 + 28, 70 + 290), QColor(Qt::green));
}

QTEST_MAIN(TestCAViewInfo)
#include "tst_caview_info.moc"
