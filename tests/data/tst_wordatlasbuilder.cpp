#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/model/sift.h"
#include "data/formats/wordatlas.h"
#include "data/model/wordatlasbuilder.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

// The patches of a word atlas: cut in the keypoint's frame, one per image,
// and small enough for the atlas to stay within a few kilobytes per word.
class TestWordAtlasBuilder : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // Quadrants around (100, 100): blue top left, green top right, yellow
    // bottom left, magenta bottom right; a red disk at the centre.
    static QImage picture()
    {
        QImage image(200, 200, QImage::Format_RGB32);
        QPainter p(&image);
        p.fillRect(0, 0, 100, 100, Qt::blue);
        p.fillRect(100, 0, 100, 100, Qt::green);
        p.fillRect(0, 100, 100, 100, Qt::yellow);
        p.fillRect(100, 100, 100, 100, Qt::magenta);
        p.setBrush(Qt::red);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(100, 100), 6, 6);
        return image;
    }

    static Sift keypoint(int word, float x, float y, float a11, float a12, float a21, float a22)
    {
        return Sift{0, word, x, y, a11, a12, a21, a22};
    }

private slots:
    void patchFrame_data()
    {
        QTest::addColumn<double>("a11");
        QTest::addColumn<double>("a12");
        QTest::addColumn<double>("a21");
        QTest::addColumn<double>("a22");
        QTest::addColumn<QColor>("topLeft");
        // The patch's top-left corner is (u, v) = (-1, -1) times the context;
        // in the picture it is (a11 u + a21 v, a12 u + a22 v) from the centre.
        QTest::newRow("upright") << 10.0 << 0.0 << 0.0 << 10.0 << QColor(Qt::blue);
        QTest::newRow("half a turn") << -10.0 << 0.0 << 0.0 << -10.0 << QColor(Qt::magenta);
        QTest::newRow("quarter turn") << 0.0 << 10.0 << -10.0 << 0.0 << QColor(Qt::green);
        QTest::newRow("mirrored") << -10.0 << 0.0 << 0.0 << 10.0 << QColor(Qt::green);
        QTest::newRow("stretched") << 20.0 << 0.0 << 0.0 << 4.0 << QColor(Qt::blue);
    }

    void patchFrame()
    {
        QFETCH(double, a11);
        QFETCH(double, a12);
        QFETCH(double, a21);
        QFETCH(double, a22);
        QFETCH(QColor, topLeft);
        WordAtlasBuilder b;
        const QImage patch = b.patch(picture(), 100, 100, a11, a12, a21, a22);
        QCOMPARE(patch.size(), QSize(b.patchSize, b.patchSize));
        // The centre is the keypoint's centre (the red disk).
        QCOMPARE(QColor(patch.pixel(b.patchSize / 2, b.patchSize / 2)), QColor(Qt::red));
        QCOMPARE(QColor(patch.pixel(2, 2)), topLeft);
    }

    // A collection of images with keypoints: each word gets one patch per
    // image it appears in, up to the count asked for; the atlas written from
    // them reads back and stays within a few kilobytes per word.
    void build()
    {
        Console::Capture capture;
        const int images = 5;
        CAData data(true);
        data.baseDir = dir.path();
        data.nbImages = images;
        data.labels.reset(new ImageLabel[images]);
        data.descriptors.reset(new QString[images]);
        for (int i = 0; i < images; ++i) {
            const QString name = QStringLiteral("i%1.png").arg(i);
            QImage image = picture();
            image.setPixel(i, i, qRgb(i, i, i));
            QVERIFY(image.save(dir.filePath(name)));
            data.labels[i].category = 1;
            data.labels[i].imageFile = name;
            data.descriptors[i] = QStringLiteral("i%1.sift").arg(i);
            // Word 7 in every image, word 8 in image 0 only (twice), word 9
            // nowhere in the analysis's words.
            QList<Sift> ks{keypoint(7, 100, 100, 10, 0, 0, 10), keypoint(9, 50, 50, 5, 0, 0, 5)};
            if (i == 0)
                ks << keypoint(8, 60, 60, 4, 0, 0, 4) << keypoint(8, 140, 60, 8, 0, 0, 8);
            QByteArray bytes(ks.size() * 32, 0);
            for (int k = 0; k < ks.size(); ++k)
                ks[k].toLittleEndian(reinterpret_cast<uchar *>(bytes.data()) + 32 * k);
            QFile f(dir.filePath(data.descriptors[i]));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        data.wordSet = {7, 8};
        WordAtlasBuilder b;
        b.patches = 4;
        b.columns = 2;
        int calls = 0;
        b.progress = [&calls](int done, int total) {
            ++calls;
            return done <= total;
        };
        QMap<int, QImage> mosaics;
        QString error;
        QVERIFY2(b.build(data, mosaics, &error), qPrintable(error));
        QVERIFY(calls >= 1);
        QCOMPARE(mosaics.keys(), (QList<int>{7, 8}));
        QCOMPARE(mosaics.value(7).size(), QSize(2 * b.patchSize + 1, 2 * b.patchSize + 1));
        // Word 7: four patches (of five images), each centred on the red disk.
        for (int n = 0; n < 4; ++n)
            QCOMPARE(QColor(mosaics.value(7).pixel((n % 2) * (b.patchSize + 1) + b.patchSize / 2,
                                                   (n / 2) * (b.patchSize + 1) + b.patchSize / 2)),
                     QColor(Qt::red));
        // Word 8: one patch (one image), the rest of the mosaic left grey.
        QCOMPARE(QColor(mosaics.value(8).pixel(b.patchSize + 1 + b.patchSize / 2, b.patchSize / 2)),
                 QColor(200, 200, 200));
        const QString path = dir.filePath(QStringLiteral("words.atlas"));
        QVERIFY2(WordAtlas::write(path, mosaics, &error), qPrintable(error));
        QVERIFY(QFileInfo(path).size() < 2 * 4096);
        WordAtlas atlas;
        QVERIFY(atlas.open(path, &error));
        QCOMPARE(atlas.mosaic(7).size(), mosaics.value(7).size());

        // Stopped from the progress callback: no atlas, and a reason.
        b.progress = [](int, int) { return false; };
        QVERIFY(!b.build(data, mosaics, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TestWordAtlasBuilder)
#include "tst_wordatlasbuilder.moc"
