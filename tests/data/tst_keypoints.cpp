#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/model/sift.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QtTest>

#include <sys/stat.h>

#include <cmath>
#include <cstring>

class TestKeypoints : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    static Sift record(int id, int word, float x = 10, float y = 10, float r = 4)
    {
        return Sift{id, word, x, y, r, 0, 0, r};
    }

    QString writeRecords(const QString &name, const QList<Sift> &records, int extraBytes = 0)
    {
        QByteArray bytes(records.size() * 32 + extraBytes, '\0');
        for (int i = 0; i < records.size(); ++i)
            records[i].toLittleEndian(reinterpret_cast<uchar *>(bytes.data()) + 32 * i);
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write fixture");
        f.write(bytes);
        return name;
    }

    // An analysis of `n` images whose keypoint files are named k0.sift, ...
    std::unique_ptr<CAData> analysis(int images, int words)
    {
        auto d = std::make_unique<CAData>(true);
        d->baseDir = dir.path();
        d->nbImages = images;
        d->nbWords = words;
        d->descriptors.reset(new QString[images]);
        for (int i = 0; i < images; ++i)
            d->descriptors[i] = QStringLiteral("k%1.sift").arg(i);
        for (int j = 0; j < words; ++j)
            d->wordSet.insert(j);
        return d;
    }

private slots:
    void recordLayoutIsLittleEndian()
    {
        const Sift s{0x01020304, -2, 1.5f, -0.25f, 3.0f, 0.5f, -0.5f, 2.0f};
        uchar bytes[32];
        s.toLittleEndian(bytes);
        QCOMPARE(bytes[0], uchar(0x04));
        QCOMPARE(bytes[3], uchar(0x01));
        QCOMPARE(bytes[4], uchar(0xFE));
        QCOMPARE(bytes[7], uchar(0xFF));
        float x;
        std::memcpy(&x, bytes + 8, 4); // host is little-endian on every target we build
        QCOMPARE(x, 1.5f);
        const Sift back = Sift::fromLittleEndian(bytes);
        QCOMPARE(back.id, s.id);
        QCOMPARE(back.word, -2);
        QCOMPARE(back.a21, -0.5f);
        QCOMPARE(back.a22, 2.0f);
    }

    void fileSizes_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("extra");
        QTest::addColumn<int>("found");
        QTest::addColumn<bool>("complains");
        QTest::newRow("empty file") << 0 << 0 << 0 << false;
        QTest::newRow("33 bytes") << 1 << 1 << 0 << true;
        QTest::newRow("two records") << 2 << 0 << 2 << false;
    }
    void fileSizes()
    {
        QFETCH(int, records);
        QFETCH(int, extra);
        QFETCH(int, found);
        QFETCH(bool, complains);
        auto d = analysis(1, 10);
        QList<Sift> recs;
        for (int i = 0; i < records; ++i)
            recs << record(i, i);
        writeRecords("k0.sift", recs, extra);
        Console::Capture capture;
        QList<Sift> out;
        d->getSifts(0, out, nullptr);
        QCOMPARE(out.size(), found);
        QCOMPARE(capture.err(), complains ? QStringList{"Wrong file format: '" + dir.filePath("k0.sift") + "'"}
                                          : QStringList{});
    }

    void missingFileIsReportedLikeABadOne()
    {
        auto d = analysis(2, 10);
        Console::Capture capture;
        QList<Sift> out;
        d->getSifts(1, out, nullptr);
        QVERIFY(out.isEmpty());
        QCOMPARE(capture.err(), QStringList{"Wrong file format: '" + dir.filePath("k1.sift") + "'"});
    }

    void filterKeepsFileOrderAndAppends()
    {
        auto d = analysis(1, 10);
        writeRecords("k0.sift", {record(0, 5), record(1, 7), record(2, 5)});
        const QSet<int> words{5};
        QList<Sift> out{record(99, 1)};
        d->getSifts(0, out, &words);
        QCOMPARE(out.size(), 3);
        QCOMPARE(out[0].id, 99);
        QCOMPARE(out[1].id, 0);
        QCOMPARE(out[2].id, 2);
    }

    void withoutSetTheVocabularyFilters()
    {
        auto d = analysis(1, 6);
        writeRecords("k0.sift", {record(0, 5), record(1, 6), record(2, -1), record(3, 0)});
        QList<Sift> out;
        d->getSifts(0, out, nullptr);
        QCOMPARE(out.size(), 2);
        QCOMPARE(out[1].word, 0);
    }

    void noKeypointListGivesNothingSilently()
    {
        CAData d(true);
        d.nbImages = 1;
        Console::Capture capture;
        QList<Sift> out;
        d.getSifts(0, out, nullptr);
        QVERIFY(out.isEmpty());
        QVERIFY(capture.all().isEmpty());
    }

    void wordLabels()
    {
        CAData d(false);
        d.nbWords = 3;
        QCOMPARE(d.wordLabel(2), 2);
        const int first[] = {40, 41, 42};
        d.setWordLabel(3, first);
        QCOMPARE(d.wordLabel(1), 41);
        const int second[] = {7, 7, 9};
        d.setWordLabel(3, second);
        QCOMPARE(d.wordLabel(2), 9);
        QCOMPARE(d.wordSet, (QSet<int>{7, 9}));
    }

    // Draws one keypoint of radius 8 at (20, 20) on a white image at half size:
    // the cross is red at (10, 10), the circle (radius 4) passes through (14, 10)
    // in the given colour, and lines stay one pixel wide.
    void drawScalesShapeNotPen()
    {
        QImage image(40, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setPen(Qt::black);
        const Sift s = record(0, 0, 20, 20, 8);
        s.draw(painter, 0, 0, 0.5, 0.5, Qt::blue);
        QCOMPARE(painter.pen().color(), QColor(Qt::black));
        QCOMPARE(painter.transform(), QTransform());
        painter.end();
        QCOMPARE(image.pixelColor(10, 10), QColor(Qt::red));
        QCOMPARE(image.pixelColor(14, 10), QColor(Qt::blue));
        QCOMPARE(image.pixelColor(10, 14), QColor(Qt::blue));
        QCOMPARE(image.pixelColor(15, 10), QColor(Qt::white));
        QCOMPARE(image.pixelColor(13, 10), QColor(Qt::white));
        QCOMPARE(image.pixelColor(10, 10 + 7), QColor(Qt::white));
    }

    void drawFollowsAffineShape()
    {
        // An ellipse 6 wide and 2 high, then rotated a quarter turn: 2 wide, 6 high.
        QImage image(40, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        const Sift s{0, 0, 20, 20, 0, 6, -2, 0};
        s.draw(painter, 0, 0, 1, 1, Qt::green);
        painter.end();
        QCOMPARE(image.pixelColor(20, 26), QColor(Qt::green));
        QCOMPARE(image.pixelColor(22, 20), QColor(Qt::green));
        QCOMPARE(image.pixelColor(26, 20), QColor(Qt::white));
    }

    // Files read block by block: a file of many blocks gives every matching
    // record, in file order, and a FIFO is refused at once like a bad file.
    void largeFileAndFifo()
    {
        QList<Sift> records;
        for (int i = 0; i < 5000; ++i)
            records << record(i, i % 7);
        writeRecords("k0.sift", records);
        const QString fifo = dir.filePath("k1.sift");
        QFile::remove(fifo);
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        auto d = analysis(2, 7);
        const QSet<int> three{3};
        QList<Sift> out;
        Console::Capture capture;
        d->getSifts(0, out, &three);
        QCOMPARE(out.size(), 714);
        for (int k = 0; k < out.size(); ++k)
            QCOMPARE(out[k].id, 3 + 7 * k);
        QElapsedTimer clock;
        clock.start();
        d->getSifts(1, out, nullptr);
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(out.size(), 714);
        QCOMPARE(capture.err(), QStringList{"Wrong file format: '" + fifo + "'"});
    }

    // A keypoint file beyond the bound is refused unread and named once,
    // however often its image is hovered; one at the bound is read.
    void fileOverTheBound_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<int>("found");
        QTest::addColumn<int>("lines");
        // 64 MB = 2,097,152 records of 32 bytes.
        QTest::newRow("at the bound") << qint64(64) * 1024 * 1024 << 2097152 << 0;
        QTest::newRow("one record over") << qint64(64) * 1024 * 1024 + 32 << 0 << 1;
        QTest::newRow("2 GB") << qint64(2) * 1024 * 1024 * 1024 << 0 << 1;
    }

    void fileOverTheBound()
    {
        QFETCH(qint64, bytes);
        QFETCH(int, found);
        QFETCH(int, lines);
        const QString name = QStringLiteral("big_%1.sift").arg(bytes);
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(bytes)); // sparse: zero records, word 0
        f.close();
        auto d = analysis(1, 1);
        d->descriptors[0] = name;
        Console::Capture capture;
        QList<Sift> out;
        d->getAllSifts(0, out);
        QCOMPARE(out.size(), found);
        out.clear();
        d->getSifts(0, out, nullptr);
        QCOMPARE(out.size(), found);
        QCOMPARE(int(capture.err().size()), lines);
        if (lines) {
            const QString line = capture.err().first();
            QVERIFY2(line.contains(f.fileName()) && line.contains(QString::number(bytes / 32))
                         && line.contains(QStringLiteral("2097152")) && line.contains(QStringLiteral("without keypoints")),
                     qPrintable(line));
        }
    }

    // Records from a keypoint file are drawn only as far as they make
    // sense: a centre that is not a number draws nothing, and a region far
    // larger than any screen only its cross, at once (found by fuzzing: one
    // such record held the rasteriser for seconds).
    void absurdRecordsDrawQuickly()
    {
        QImage canvas(64, 64, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        QElapsedTimer clock;
        clock.start();
        Sift{1, 1, 30, 30, 0, 0, 0, 134217728.0f}.draw(painter, 0, 0, 0.25, 0.25, Qt::blue);
        Sift{2, 1, 2e8f, 2e8f, 2e8f, 2e8f, 2e8f, 2e8f}.draw(painter, 0, 0, 0.25, 0.25, Qt::blue);
        QVERIFY(clock.elapsed() < 2000);
        painter.end();
        // The cross of the first record, at (30, 30) / 4, is drawn in red.
        QCOMPARE(canvas.pixelColor(7, 7), QColor(Qt::red));
        QImage blank(64, 64, QImage::Format_ARGB32_Premultiplied);
        blank.fill(Qt::white);
        QPainter again(&blank);
        Sift{3, 1, std::nanf(""), 10, 4, 0, 0, 4}.draw(again, 0, 0, 1, 1, Qt::blue);
        again.end();
        QImage white(64, 64, QImage::Format_ARGB32_Premultiplied);
        white.fill(Qt::white);
        QCOMPARE(blank, white);
    }
};

QTEST_MAIN(TestKeypoints)
#include "tst_keypoints.moc"
