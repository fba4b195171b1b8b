#include "detail/thumbnailcache.h"

#include "detailfixture.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QtTest>

// The kept thumbnail squares: reused while a file is unchanged, made again
// from the file as soon as it changes on disk.
class TestThumbnailCache : public QObject
{
    Q_OBJECT

private slots:
    void squareFitsThePicture();
    void unchangedFileIsNotDecodedAgain();
    void rewrittenFileIsReadAgain_data();
    void rewrittenFileIsReadAgain();
    void missingFileThenCreated();
    void boxSizesAreKeptApart();
    void nothingKeptWithoutRoom();
};

void TestThumbnailCache::squareFitsThePicture()
{
    DetailFixture f(1, false);
    f.writePicture(0, Qt::darkRed, QSize(64, 32));
    ThumbnailCache cache;
    QSize size;
    const QImage sq = cache.square(f.data, 0, 120, &size).toImage();
    QCOMPARE(size, QSize(64, 32));
    QCOMPARE(sq.size(), QSize(120, 120));
    // Enlarged to 120 x 60, centred: rows 30 to 89.
    QCOMPARE(sq.pixelColor(0, 29), QColor(Qt::gray));
    QCOMPARE(sq.pixelColor(0, 30), QColor(Qt::darkRed));
    QCOMPARE(sq.pixelColor(119, 89), QColor(Qt::darkRed));
    QCOMPARE(sq.pixelColor(119, 90), QColor(Qt::gray));
}

void TestThumbnailCache::unchangedFileIsNotDecodedAgain()
{
    DetailFixture f(2, false);
    f.writePicture(0, Qt::darkRed);
    f.writePicture(1, Qt::darkBlue);
    ThumbnailCache cache;
    cache.square(f.data, 0, 120);
    cache.square(f.data, 1, 120);
    QCOMPARE(cache.decodes(), 2);
    QSize size;
    const QImage again = cache.square(f.data, 0, 120, &size).toImage();
    QCOMPARE(cache.decodes(), 2);
    QCOMPARE(size, QSize(256, 256));
    QCOMPARE(again.pixelColor(60, 60), QColor(Qt::darkRed));
}

void TestThumbnailCache::rewrittenFileIsReadAgain_data()
{
    QTest::addColumn<QSize>("newSize");
    QTest::addColumn<bool>("keepModificationTime");
    QTest::newRow("same size, new time") << QSize(256, 256) << false;
    QTest::newRow("other size") << QSize(100, 50) << false;
    // Tools that copy files keep their modification time; the status change
    // time still moves.
    QTest::newRow("same size, time put back") << QSize(256, 256) << true;
}

void TestThumbnailCache::rewrittenFileIsReadAgain()
{
    QFETCH(QSize, newSize);
    QFETCH(bool, keepModificationTime);
    DetailFixture f(1, false);
    f.writePicture(0, Qt::darkRed);
    const QString path = f.picturePath(0);
    const QDateTime modified = QFileInfo(path).lastModified();
    const QDateTime changed = QFileInfo(path).metadataChangeTime();
    ThumbnailCache cache;
    QCOMPARE(cache.square(f.data, 0, 160).toImage().pixelColor(80, 80), QColor(Qt::darkRed));

    QThread::msleep(20); // so the change is visible in the file's times
    f.writePicture(0, Qt::darkGreen, newSize);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(keepModificationTime ? modified : modified.addSecs(3),
                             QFileDevice::FileModificationTime));
    file.close();
    if (QFileInfo(path).metadataChangeTime() == changed && keepModificationTime)
        QSKIP("this file system does not record status changes finely enough");

    QSize size;
    const QImage sq = cache.square(f.data, 0, 160, &size).toImage();
    QCOMPARE(cache.decodes(), 2);
    QCOMPARE(size, newSize);
    QCOMPARE(sq.pixelColor(80, 80), QColor(Qt::darkGreen));
}

void TestThumbnailCache::missingFileThenCreated()
{
    DetailFixture f(1, false);
    ThumbnailCache cache;
    QSize size(1, 1);
    QCOMPARE(cache.square(f.data, 0, 120, &size).toImage().pixelColor(60, 60), QColor(Qt::gray));
    QVERIFY(size.isEmpty());
    f.writePicture(0, Qt::darkMagenta);
    QCOMPARE(cache.square(f.data, 0, 120, &size).toImage().pixelColor(60, 60),
             QColor(Qt::darkMagenta));
    QCOMPARE(size, QSize(256, 256));
    QVERIFY(QFile::remove(f.picturePath(0)));
    QCOMPARE(cache.square(f.data, 0, 120, &size).toImage().pixelColor(60, 60), QColor(Qt::gray));
}

void TestThumbnailCache::boxSizesAreKeptApart()
{
    DetailFixture f(1, false);
    f.writePicture(0, Qt::darkCyan, QSize(40, 40));
    ThumbnailCache cache;
    QCOMPARE(cache.square(f.data, 0, 120).size(), QSize(120, 120));
    QCOMPARE(cache.square(f.data, 0, 160).size(), QSize(160, 160));
    QCOMPARE(cache.square(f.data, 0, 120).size(), QSize(120, 120));
    QCOMPARE(cache.decodes(), 2);
}

void TestThumbnailCache::nothingKeptWithoutRoom()
{
    DetailFixture f(1, false);
    f.writePicture(0, Qt::darkYellow);
    ThumbnailCache cache(0);
    QCOMPARE(cache.square(f.data, 0, 120).toImage().pixelColor(60, 60), QColor(Qt::darkYellow));
    QCOMPARE(cache.square(f.data, 0, 120).toImage().pixelColor(60, 60), QColor(Qt::darkYellow));
    QCOMPARE(cache.decodes(), 2);
    // Room for one square only: the older one goes.
    cache.setMaxBytes(160 * 160 * 4);
    cache.square(f.data, 0, 120);
    cache.square(f.data, 0, 160);
    cache.square(f.data, 0, 120);
    QCOMPARE(cache.decodes(), 5);
}

QTEST_MAIN(TestThumbnailCache)
#include "tst_thumbnailcache.moc"
