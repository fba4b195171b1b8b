// Pictures are decoded within the memory budget or refused unread, with the
// reason: headers that announce huge pictures are judged before any pixel is
// read, and honest pictures of every kind still open.
#include "data/model/console.h"
#include "data/formats/decodebudget.h"
#include "data/model/imagefile.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A JPEG's start: SOI, then a frame header (`sof` = 0xC0 baseline, 0xC2
// progressive) of w x h with three components sampled 2x2, 1x1, 1x1, then
// the end. No scan follows: a decoder that trusts the header would have to
// allocate for the whole picture first.
QByteArray jpegHeader(int sof, int w, int h)
{
    QByteArray b("\xFF\xD8", 2);
    // An APP1 block, skipped by its length on the way to the frame.
    b += QByteArray("\xFF\xE1\x00\x10", 4) + QByteArray(14, 'x');
    b += char(0xFF);
    b += char(sof);
    b += QByteArray("\x00\x11\x08", 3);
    b += char(h >> 8);
    b += char(h & 0xff);
    b += char(w >> 8);
    b += char(w & 0xff);
    b += QByteArray("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 10);
    b += QByteArray("\xFF\xD9", 2);
    return b;
}

QByteArray hdrHeader(int w, int h)
{
    return "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\nEXPOSURE=1.0\n\n-Y " + QByteArray::number(h) + " +X "
        + QByteArray::number(w) + "\n" + QByteArray(64, '\x02');
}

QByteArray encoded(const QImage &image, const char *format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

} // namespace

class TestDecodeBudget : public QObject
{
    Q_OBJECT

private slots:
    void judgedBeforeDecoding_data();
    void judgedBeforeDecoding();
    void progressiveCostFollowsTheHeader();
};

void TestDecodeBudget::judgedBeforeDecoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("refusal"); // empty: the picture opens; "*": any reason
    QTest::addColumn<QSize>("shown");

    QImage small(300, 200, QImage::Format_RGB32);
    small.fill(Qt::darkCyan);
    // 30,000 x 30,000 progressive, 4:2:0: 1.5 x 900 M coefficients of 2 bytes.
    QTest::newRow("progressive JPEG header, 30000 px")
        << jpegHeader(0xC2, 30000, 30000)
        << QStringLiteral("a progressive JPEG of 30000 \u00d7 30000 pixels would take 2.6 GB to decode, more than the 256 MB a picture may take")
        << QSize();
    // Baseline is decoded at 1/8 while it is read: no refusal for its size
    // (the file holds no scan, so it then fails as unreadable).
    QTest::newRow("baseline JPEG header, 30000 px")
        << jpegHeader(0xC0, 30000, 30000) << QStringLiteral("*") << QSize();
    // A real progressive JPEG whose frame header says 30,000 pixels a side:
    // its scans start a decode that would take the whole budget and more.
    QByteArray patched = encoded(small, "jpeg", true);
    const qsizetype sof = patched.indexOf("\xFF\xC2");
    QVERIFY(sof > 0);
    for (int k : {5, 7}) {
        patched[sof + k] = char(30000 >> 8);
        patched[sof + k + 1] = char(30000 & 0xff);
    }
    QTest::newRow("progressive JPEG with scans, 30000 px")
        << patched
        << QStringLiteral("a progressive JPEG of 30000 \u00d7 30000 pixels would take")
        << QSize();
    QTest::newRow("Radiance HDR header, 60000 px")
        << hdrHeader(60000, 60000)
        << QStringLiteral("a Radiance HDR picture of 60000 \u00d7 60000 pixels would take 40 GB to decode, more than the 256 MB a picture may take")
        << QSize();
    QTest::newRow("Radiance HDR, small") << hdrHeader(40, 30)
        << QStringLiteral("a Radiance HDR picture of 40 \u00d7 30 pixels, which this viewer does not show") << QSize();
    QTest::newRow("progressive JPEG, honest") << encoded(small, "jpeg", true) << QString() << QSize(96, 64);
    QTest::newRow("baseline JPEG, honest") << encoded(small, "jpeg") << QString() << QSize(96, 64);
    QTest::newRow("PNG, honest") << encoded(small, "png") << QString() << QSize(96, 64);
}

void TestDecodeBudget::judgedBeforeDecoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, refusal);
    QFETCH(QSize, shown);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();

    Console::Capture capture;
    QString why;
    QSize original;
    const QImage image = ImageFile::read(path, QSize(96, 96), &original, &why);
    if (refusal.isEmpty()) {
        QVERIFY2(!image.isNull(), qPrintable(why));
        QCOMPARE(image.size(), shown);
        QCOMPARE(original, QSize(300, 200));
        QVERIFY(capture.err().isEmpty());
        return;
    }
    QVERIFY(image.isNull());
    // "*": refused by the decoder itself, for its own reason.
    if (refusal == QLatin1String("*")) {
        QVERIFY(!why.isEmpty() && !why.contains(QStringLiteral("more than")));
        return;
    }
    QVERIFY2(why.startsWith(refusal), qPrintable(why));
    if (why.contains(QStringLiteral("Radiance")) || why.contains(QStringLiteral("more than"))) {
        // Named once on the console, however often it is asked for.
        ImageFile::read(path, QSize(96, 96));
        QCOMPARE(capture.err(), QStringList{QStringLiteral("Warning: '%1' is not shown: %2.").arg(path, why)});
    }
}

// The estimate of a progressive decode is the picture's coefficients,
// whatever size it is shown at: counted here block by block for a 4:4:4
// picture (three full planes) and a 4:2:0 one (one full, two quarter).
void TestDecodeBudget::progressiveCostFollowsTheHeader()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.jpg"));
    QByteArray header = jpegHeader(0xC2, 8000, 6000);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(header);
    f.close();
    // 4:2:0: Y 1000 x 750 blocks, Cb and Cr 500 x 375 blocks, 128 bytes each,
    // plus the picture at 1/8 (1000 x 750 x 4 bytes).
    const qint64 blocks = 1000 * 750 + 2 * 500 * 375;
    const DecodeBudget::Cost cost = DecodeBudget::of(path, "jpeg", QSize(8000, 6000), QSize(96, 72));
    QCOMPARE(cost.bytes, blocks * 128 + qint64(1000) * 750 * 4);
    QVERIFY(cost.refusal.isEmpty());
}

QTEST_MAIN(TestDecodeBudget)
#include "tst_decodebudget.moc"
