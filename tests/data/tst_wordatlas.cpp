#include "data/wordatlas.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

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
    }

    void damaged()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, says);
        const QString path = dir.filePath(QStringLiteral("bad.atlas"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        WordAtlas atlas;
        QString error;
        QVERIFY(!atlas.open(path, &error));
        QVERIFY2(error.contains(says), qPrintable(error));
        QVERIFY(!atlas.isOpen());
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
