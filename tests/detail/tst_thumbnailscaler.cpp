// Small thumbnails: reductions average the picture's areas over white, and
// faint line art is darkened until it shows, in the squares the panes and
// the Axes dock draw as well.
#include "detail/thumbnailcache.h"
#include "detail/thumbnailscaler.h"
#include "detailfixture.h"

#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

enum Pattern { FaintLines, Stripes, HalfRed, Gradient, DarkLines, Blank };

// One-pixel lines on a transparent ground (a square outline and a
// diagonal, as thin clip-art is drawn), 1-pixel stripes, a half-opaque red,
// a photograph-like ramp, lines of opaque black, nothing at all.
QRgb colourOf(Pattern p, int x, int y)
{
    const bool line = x == 10 || x == 89 || y == 10 || y == 89 || x == y;
    switch (p) {
    case FaintLines:
        return line ? qRgba(0, 0, 0, 148) : qRgba(0, 0, 0, 0);
    case Stripes:
        return x % 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    case HalfRed:
        return qRgba(255, 0, 0, 128);
    case Gradient:
        return qRgb((x * 255) / 99, (y * 255) / 99, 90);
    case DarkLines:
        return line ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    case Blank:
        break;
    }
    return qRgb(255, 255, 255);
}

QImage picture(Pattern p, QSize size = QSize(100, 100))
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, colourOf(p, x, y));
    return image;
}

// A colour over white, channel by channel.
double overWhite(int channel, int alpha)
{
    return channel * alpha / 255.0 + (255 - alpha);
}

// The area average worked out by cutting each picture pixel into dw x dh
// equal parts, so that each thumbnail pixel covers sw x sh whole parts:
// the mean of the parts it covers.
QVector<double> referenceAverage(const QImage &source, QSize size, int tx, int ty)
{
    const int sw = source.width(), sh = source.height();
    const int dw = size.width(), dh = size.height();
    QVector<double> sum(3, 0.0);
    for (int v = ty * sh; v < (ty + 1) * sh; ++v)
        for (int u = tx * sw; u < (tx + 1) * sw; ++u) {
            const QRgb c = source.pixel(u / dw, v / dh);
            sum[0] += overWhite(qRed(c), qAlpha(c));
            sum[1] += overWhite(qGreen(c), qAlpha(c));
            sum[2] += overWhite(qBlue(c), qAlpha(c));
        }
    for (double &s : sum)
        s /= double(sw) * sh;
    return sum;
}

// The median grey level of the pixels of `image` that `drawn` (a picture
// of the same size) has darker than white: how dark its lines look.
int lineLevel(const QImage &image, const QImage &drawn)
{
    QVector<int> levels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(drawn.pixel(x, y)) < 250)
                levels << qGray(image.pixel(x, y));
    if (levels.isEmpty())
        return 255;
    std::sort(levels.begin(), levels.end());
    return levels.at(levels.size() / 2);
}

} // namespace

class TestThumbnailScaler : public QObject
{
    Q_OBJECT

private slots:
    void reductionAveragesAreas_data();
    void reductionAveragesAreas();
    void faintLineArtShows_data();
    void faintLineArtShows();
    void squaresShowFaintDrawings();
};

void TestThumbnailScaler::reductionAveragesAreas_data()
{
    QTest::addColumn<int>("pattern");
    QTest::addColumn<QSize>("from");
    QTest::addColumn<QSize>("to");
    QTest::newRow("faint lines 100 to 40") << int(FaintLines) << QSize(100, 100) << QSize(40, 40);
    QTest::newRow("stripes 100 to 40") << int(Stripes) << QSize(100, 100) << QSize(40, 40);
    QTest::newRow("stripes 100 to 33 x 17") << int(Stripes) << QSize(100, 100) << QSize(33, 17);
    QTest::newRow("half-opaque red 60 to 20") << int(HalfRed) << QSize(60, 60) << QSize(20, 20);
    QTest::newRow("ramp 100 x 70 to 30 x 21") << int(Gradient) << QSize(100, 70) << QSize(30, 21);
}

void TestThumbnailScaler::reductionAveragesAreas()
{
    QFETCH(int, pattern);
    QFETCH(QSize, from);
    QFETCH(QSize, to);
    const QImage source = picture(Pattern(pattern), from);
    const QImage small = ThumbnailScaler::scaled(source, to);
    QCOMPARE(small.size(), to);
    QVERIFY(!small.hasAlphaChannel());
    for (int y = 0; y < to.height(); ++y)
        for (int x = 0; x < to.width(); ++x) {
            const QVector<double> want = referenceAverage(source, to, x, y);
            const QRgb got = small.pixel(x, y);
            const int channels[3] = {qRed(got), qGreen(got), qBlue(got)};
            for (int c = 0; c < 3; ++c)
                QVERIFY2(std::abs(channels[c] - want[c]) <= 1.0,
                         qPrintable(QStringLiteral("(%1,%2) channel %3: %4, not %5")
                                        .arg(x).arg(y).arg(c).arg(channels[c]).arg(want[c])));
        }
}

void TestThumbnailScaler::faintLineArtShows_data()
{
    QTest::addColumn<int>("pattern");
    QTest::addColumn<bool>("darkened");
    QTest::newRow("faint lines") << int(FaintLines) << true;
    QTest::newRow("dark lines") << int(DarkLines) << false;
    QTest::newRow("ramp") << int(Gradient) << false;
    QTest::newRow("blank") << int(Blank) << false;
    // Mid-grey all over (no white ground): a texture, not line art.
    QTest::newRow("stripes") << int(Stripes) << false;
}

void TestThumbnailScaler::faintLineArtShows()
{
    QFETCH(int, pattern);
    QFETCH(bool, darkened);
    const QImage reduced = ThumbnailScaler::scaled(picture(Pattern(pattern)), QSize(40, 40));
    const QImage shown = ThumbnailScaler::legible(reduced);
    if (!darkened) {
        QCOMPARE(shown, reduced);
        return;
    }
    // Faint before, legible after: the lines' median grey goes from the
    // light greys to below mid-grey.
    QVERIFY2(lineLevel(reduced, reduced) > 180, qPrintable(QString::number(lineLevel(reduced, reduced))));
    QVERIFY2(lineLevel(shown, reduced) < 128, qPrintable(QString::number(lineLevel(shown, reduced))));
    // The ground stays white, and every pixel keeps its order of lightness.
    // (off the outline and the diagonal)
    QCOMPARE(QColor(shown.pixel(39, 0)), QColor(Qt::white));
    QCOMPARE(QColor(shown.pixel(20, 2)), QColor(Qt::white));
    for (int y = 0; y < 40; ++y)
        for (int x = 1; x < 40; ++x) {
            const int a = qGray(reduced.pixel(x - 1, y)), b = qGray(reduced.pixel(x, y));
            const int sa = qGray(shown.pixel(x - 1, y)), sb = qGray(shown.pixel(x, y));
            QVERIFY(a == b || (a < b) == (sa <= sb));
        }
}

// The square a pane or the Axes dock draws at 40 pixels, from the file.
void TestThumbnailScaler::squaresShowFaintDrawings()
{
    DetailFixture f(1, false);
    QVERIFY(picture(FaintLines).save(f.picturePath(0)));
    ThumbnailCache cache;
    QSize size;
    const QImage square = cache.square(f.data, 0, 40, &size).toImage();
    QCOMPARE(size, QSize(100, 100));
    QVERIFY2(lineLevel(square, square) < 128, qPrintable(QString::number(lineLevel(square, square))));
    // Inside the outline, away from the diagonal: white ground.
    QCOMPARE(QColor(square.pixel(30, 10)), QColor(Qt::white));
}

QTEST_MAIN(TestThumbnailScaler)
#include "tst_thumbnailscaler.moc"
