#include "data/formats/wordatlas.h"

#include "tests/addressspacelimit.h"

#include <QBuffer>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>

// The word atlas: what is written reads back; a damaged or hostile file is
// refused before anything large is read; the size stays within its bound.
class TestWordAtlas : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // A mosaic of 3 x 2 patches of 28 px, as the indexer makes them.
    static QImage mosaic(int word)
    {
        QImage image(3 * 28, 2 * 28, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        for (int k = 0; k < 6; ++k) {
            p.setBrush(QColor::fromHsv((word * 37 + k * 50) % 360, 200, 200));
            p.drawEllipse(QRect((k % 3) * 28 + 4, (k / 3) * 28 + 4, 20, 12 + k));
        }
        return image;
    }

    static QByteArray header(quint32 n)
    {
        QByteArray b("ORTWATL1");
        char w[4];
        qToLittleEndian<quint32>(n, w);
        b.append(w, 4);
        qToLittleEndian<quint32>(0, w);
        b.append(w, 4);
        return b;
    }

    static QByteArray entry(qint32 word, quint64 offset, quint32 length)
    {
        char b[16];
        qToLittleEndian<qint32>(word, b);
        qToLittleEndian<quint64>(offset, b + 4);
        qToLittleEndian<quint32>(length, b + 12);
        return QByteArray(b, 16);
    }

    static QByteArray png(const QImage &image)
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG", 0); // the strongest compression
        return bytes;
    }

    // The start of a PNG whose header announces `w` x `h` pixels, without
    // the pixels.
    static QByteArray announced(quint32 w, quint32 h)
    {
        QImage one(1, 1, QImage::Format_RGB32);
        one.fill(Qt::black);
        QByteArray bytes = png(one);
        qToBigEndian<quint32>(w, bytes.data() + 16);
        qToBigEndian<quint32>(h, bytes.data() + 20);
        // The header chunk's checksum, over its type and data.
        quint32 crc = 0xffffffffu;
        for (int i = 12; i < 12 + 4 + 13; ++i) {
            crc ^= uchar(bytes.at(i));
            for (int b = 0; b < 8; ++b)
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
        qToBigEndian<quint32>(~crc, bytes.data() + 29);
        return bytes;
    }

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<int>("words");
        QTest::newRow("one") << 1;
        QTest::newRow("1200") << 1200;
    }

    void roundTrip()
    {
        QFETCH(int, words);
        QMap<int, QImage> mosaics;
        for (int k = 0; k < words; ++k)
            mosaics.insert(k * 3 + 1, mosaic(k));
        const QString path = dir.filePath(QStringLiteral("a%1.atlas").arg(words));
        QString error;
        QVERIFY2(WordAtlas::write(path, mosaics, &error), qPrintable(error));
        // A few kilobytes per word.
        QVERIFY2(QFileInfo(path).size() <= qint64(words) * 4096, qPrintable(QString::number(QFileInfo(path).size())));
        WordAtlas atlas;
        QVERIFY2(atlas.open(path, &error), qPrintable(error));
        QCOMPARE(atlas.count(), words);
        for (int k : {0, words / 2, words - 1}) {
            const QImage back = atlas.mosaic(k * 3 + 1);
            QCOMPARE(back.size(), mosaics.value(k * 3 + 1).size());
            QCOMPARE(back.convertToFormat(QImage::Format_RGB32), mosaics.value(k * 3 + 1));
        }
        QVERIFY(atlas.mosaic(2).isNull()); // not in the atlas
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("says");
        QTest::newRow("not an atlas") << QByteArray("PNG.....") << "not a word atlas";
        QTest::newRow("count beyond the file") << header(4000000) + entry(1, 32, 4) << "more than the file holds";
        QTest::newRow("picture past the end") << header(1) + entry(5, 32, 100) + QByteArray(10, 'x') << "outside the file";
        QTest::newRow("picture inside the index") << header(1) + entry(5, 4, 8) + QByteArray(10, 'x') << "outside the file";
        QTest::newRow("picture too large") << header(1) + entry(5, 32, 300000) << "more than the";
        // Opened without blocking: a FIFO would hold the caller in open().
        QTest::newRow("a FIFO") << QByteArray("FIFO") << "cannot be read: it is a FIFO, not a regular file";
        QTest::newRow("a folder") << QByteArray("FOLDER") << "cannot be read: it is a folder";
        QTest::newRow("absent") << QByteArray("ABSENT") << "not found";
    }

    void damaged()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, says);
        const QString path = dir.filePath(QStringLiteral("bad%1.atlas").arg(QTest::currentDataTag()));
        if (bytes == "FIFO") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (bytes == "FOLDER") {
            QVERIFY(QDir().mkdir(path));
        } else if (bytes != "ABSENT") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        }
        WordAtlas atlas;
        QString error;
        QVERIFY(!atlas.open(path, &error));
        QVERIFY2(error.contains(says), qPrintable(error));
        QVERIFY(!atlas.isOpen());
    }

    // Mosaics that are small files but large pictures: a few kilobytes of
    // PNG announcing thousands of pixels a side. Each is decoded within the
    // decode budget and kept reduced, so that all of them together stay
    // within an address space of 1.5 GB (the 70 pictures of 5600 px would
    // take 8.8 GB kept whole); one whose decoding alone is beyond the
    // budget is refused from its header.
    void largePictures_data()
    {
        QTest::addColumn<QByteArray>("png");
        QTest::addColumn<int>("words");
        QTest::addColumn<QSize>("shown"); // invalid: refused
        QTest::newRow("a true mosaic") << png(mosaic(1)) << 70 << QSize(84, 56);
        QImage wide(5600, 5600, QImage::Format_ARGB32);
        wide.fill(QColor(10, 120, 200, 128));
        QTest::newRow("20 of 5600 px") << png(wide) << 20 << QSize(WordAtlas::MaxMosaicSide, WordAtlas::MaxMosaicSide);
        QImage tall(1000, 4000, QImage::Format_RGB32);
        tall.fill(Qt::red);
        QTest::newRow("tall") << png(tall) << 3 << QSize(WordAtlas::MaxMosaicSide / 4, WordAtlas::MaxMosaicSide);
        QTest::newRow("announces 30000 px") << announced(30000, 30000) << 70 << QSize();
        QTest::newRow("not a picture") << QByteArray(2000, 'x') << 3 << QSize();
    }

    void largePictures()
    {
        QFETCH(QByteArray, png);
        QFETCH(int, words);
        QFETCH(QSize, shown);
        QVERIFY(quint64(png.size()) <= WordAtlas::MaxMosaicBytes);
        QMap<int, QByteArray> pngs;
        for (int k = 0; k < words; ++k)
            pngs.insert(k, png);
        const QString path = dir.filePath(QStringLiteral("large.atlas"));
        QString error;
        QVERIFY2(WordAtlas::writeEncoded(path, pngs, &error), qPrintable(error));
        // Every word's picture, the first three asked for again, in a child process
        // of limited address space: 0 when all are as expected.
        const int status = AddressSpaceLimit::run(qint64(1536) << 20, [&]() {
            WordAtlas atlas;
            QString why;
            if (!atlas.open(path, &why))
                return 1;
            for (int round = 0; round < 2; ++round)
                for (int k = 0; k < (round == 0 ? words : 3); ++k) {
                    const QImage image = atlas.mosaic(k);
                    if (shown.isValid() ? image.size() != shown : !image.isNull())
                        return 2;
                    if (atlas.cachedBytes() > WordAtlas::CacheBytes)
                        return 3;
                }
            return 0;
        });
        QCOMPARE(status, 0);
    }

    void tooLargeToWrite()
    {
        QMap<int, QByteArray> pngs;
        pngs.insert(1, QByteArray(int(WordAtlas::MaxMosaicBytes) + 1, 'x'));
        QString error;
        QVERIFY(!WordAtlas::writeEncoded(dir.filePath(QStringLiteral("big.atlas")), pngs, &error));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("big.atlas"))));
    }
};

QTEST_MAIN(TestWordAtlas)
#include "tst_wordatlas.moc"
