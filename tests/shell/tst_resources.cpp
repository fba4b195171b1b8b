// The icon and cursor images compiled into ortelis_resources: every path the
// program refers to must load, at its size, as a picture on a transparent
// background; the cursors must show something at their hot spots and carry
// both dark strokes and a light outline so they read on any background.

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QPoint>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QtTest>

namespace {

struct Expected {
    const char *name;
    QSize size;
};

const Expected kImages[] = {
    {"open.png", QSize(32, 32)},
    {"eyes.png", QSize(32, 28)},
    {"dragon.png", QSize(32, 32)},
    {"show_word.png", QSize(32, 32)},
    {"show_image.png", QSize(32, 32)},
    {"show_info.png", QSize(32, 32)},
    {"find.png", QSize(32, 32)},
    {"arrow.png", QSize(32, 32)},
    {"hand.png", QSize(32, 32)},
    {"select.png", QSize(32, 32)},
    {"zoom_out.png", QSize(32, 32)},
    {"zoom_in.png", QSize(32, 32)},
    {"refresh.png", QSize(32, 32)},
    {"ca_icon.png", QSize(32, 32)},
    {"locked.png", QSize(32, 32)},
    {"image_locked.png", QSize(32, 32)},
};

int luminance(QRgb p)
{
    return (qRed(p) * 299 + qGreen(p) * 587 + qBlue(p) * 114) / 1000;
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void listedImagesAreExactlyTheCompiledOnes();
    void loadsWithSizeAndTransparentBackground_data();
    void loadsWithSizeAndTransparentBackground();
    void loadsAsPixmap_data();
    void loadsAsPixmap();
    void cursorShowsItsHotSpotOnAnyBackground_data();
    void cursorShowsItsHotSpotOnAnyBackground();
};

void TestResources::listedImagesAreExactlyTheCompiledOnes()
{
    QSet<QString> expected;
    for (const Expected &e : kImages)
        expected.insert(QString::fromLatin1(e.name));

    const QDir dir(QStringLiteral(":/images"));
    QVERIFY2(dir.exists(), "no :/images folder: the resource library is not linked in");
    const QStringList entries = dir.entryList(QDir::Files);
    const QSet<QString> compiled(entries.cbegin(), entries.cend());
    QCOMPARE(compiled, expected);
}

void TestResources::loadsWithSizeAndTransparentBackground_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    for (const Expected &e : kImages)
        QTest::newRow(e.name) << QStringLiteral(":/images/") + QString::fromLatin1(e.name) << e.size;
}

void TestResources::loadsWithSizeAndTransparentBackground()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(path + QStringLiteral(": ") + reader.errorString()));
    QCOMPARE(image.size(), size);
    QVERIFY2(image.hasAlphaChannel(), qPrintable(path + QStringLiteral(" has no alpha channel")));

    // A background shows through around the drawing, and the drawing itself
    // is solid: neither an empty picture nor an opaque tile.
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int clear = 0;
    int solid = 0;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const int a = qAlpha(argb.pixel(x, y));
            if (a == 0)
                ++clear;
            else if (a == 255)
                ++solid;
        }
    }
    const int total = argb.width() * argb.height();
    QVERIFY2(clear >= total / 10,
             qPrintable(QStringLiteral("%1: only %2 transparent pixels").arg(path).arg(clear)));
    QVERIFY2(solid >= total / 10,
             qPrintable(QStringLiteral("%1: only %2 opaque pixels").arg(path).arg(solid)));
}

void TestResources::loadsAsPixmap_data()
{
    loadsWithSizeAndTransparentBackground_data();
}

void TestResources::loadsAsPixmap()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    // Actions and cursors take their images as pixmaps.
    const QPixmap pixmap(path);
    QVERIFY2(!pixmap.isNull(), qPrintable(path));
    QCOMPARE(pixmap.size(), size);
    QVERIFY(pixmap.hasAlphaChannel());
}

void TestResources::cursorShowsItsHotSpotOnAnyBackground_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QPoint>("hotSpot");
    QTest::newRow("select") << QStringLiteral(":/images/select.png") << QPoint(0, 1);
    QTest::newRow("hand") << QStringLiteral(":/images/hand.png") << QPoint(15, 9);
    QTest::newRow("locked") << QStringLiteral(":/images/locked.png") << QPoint(15, 16);
    QTest::newRow("image_locked") << QStringLiteral(":/images/image_locked.png") << QPoint(0, 1);
}

void TestResources::cursorShowsItsHotSpotOnAnyBackground()
{
    QFETCH(QString, path);
    QFETCH(QPoint, hotSpot);

    const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QVERIFY(image.rect().contains(hotSpot));

    // The pixel that acts must be part of the drawing, not the background.
    QCOMPARE(qAlpha(image.pixel(hotSpot)), 255);

    // Dark strokes for white maps and a light outline for dark areas.
    int dark = 0;
    int light = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            // Outlines run along slanted edges, so most of their pixels are
            // partly covered: count anything at least half opaque.
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) < 128)
                continue;
            const int l = luminance(p);
            if (l < 64)
                ++dark;
            else if (l > 224)
                ++light;
        }
    }
    QVERIFY2(dark >= 40, qPrintable(QStringLiteral("%1: %2 dark pixels").arg(path).arg(dark)));
    QVERIFY2(light >= 40, qPrintable(QStringLiteral("%1: %2 light pixels").arg(path).arg(light)));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
