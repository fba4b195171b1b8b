// The keypoint files the indexer writes: record layout, byte order, and the
// affine shape given to a SIFT keypoint.
#include "data/model/sift.h"
#include "tools/indexwriter.h"
#include "tools/keypointdetector.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>

#include <opencv2/imgproc.hpp>

#include <cmath>

class TestKeypointRecord : public QObject
{
    Q_OBJECT
private slots:
    void fileLayoutIsLittleEndian();
    void emptyImageGivesEmptyFile();
    void affineShape_data();
    void affineShape();
    void detectedKeypointsAreRankedAndInsideImage();
    void orientationFollowsBrightening_data();
    void orientationFollowsBrightening();
};

void TestKeypointRecord::fileLayoutIsLittleEndian()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    IndexWriter writer;
    QString error;
    QVERIFY2(writer.begin(dir.path(), &error), qPrintable(error));

    Sift a{7, 0x01020304, 1.5f, -2.0f, 3.0f, 0.25f, -0.25f, 3.0f};
    Sift b{8, 999, 100.0f, 200.0f, 1.0f, 0.0f, 0.0f, 1.0f};
    QVERIFY2(writer.writeKeypoints(3, {a, b}, &error), qPrintable(error));

    QFile file(writer.stagingPath(IndexWriter::keypointFileName(3)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size(), 64);
    // id 7, then the word 0x01020304 lowest byte first.
    QCOMPARE(bytes.left(8), QByteArray::fromHex("0700000004030201"));
    // x = 1.5f is 0x3FC00000, y = -2.0f is 0xC0000000, a11 = 3.0f is 0x40400000.
    QCOMPARE(bytes.mid(8, 12), QByteArray::fromHex("0000c03f000000c000004040"));
    // 0.25f = 0x3E800000, -0.25f = 0xBE800000.
    QCOMPARE(bytes.mid(20, 12), QByteArray::fromHex("0000803e000080be00004040"));
    const Sift back = Sift::fromLittleEndian(reinterpret_cast<const uchar *>(bytes.constData() + 32));
    QCOMPARE(back.id, 8);
    QCOMPARE(back.word, 999);
    QCOMPARE(back.x, 100.0f);
    QCOMPARE(back.y, 200.0f);
}

void TestKeypointRecord::emptyImageGivesEmptyFile()
{
    QTemporaryDir dir;
    IndexWriter writer;
    QString error;
    QVERIFY(writer.begin(dir.path(), &error));
    QVERIFY(writer.writeKeypoints(0, {}, &error));
    QFile file(writer.stagingPath(IndexWriter::keypointFileName(0)));
    QVERIFY(file.exists());
    QCOMPARE(file.size(), 0);
}

void TestKeypointRecord::affineShape_data()
{
    QTest::addColumn<float>("size");
    QTest::addColumn<float>("angle");
    // Where (1, 0) of the unit circle lands, relative to the centre.
    QTest::addColumn<QPointF>("along");
    QTest::newRow("no angle") << 10.0f << 0.0f << QPointF(5, 0);
    // Angles turn clockwise on screen: y grows downwards.
    QTest::newRow("quarter turn") << 10.0f << 90.0f << QPointF(0, 5);
    QTest::newRow("half turn") << 4.0f << 180.0f << QPointF(-2, 0);
    QTest::newRow("three quarters") << 8.0f << 270.0f << QPointF(0, -4);
    QTest::newRow("diagonal") << 2.0f * float(M_SQRT2) << 45.0f << QPointF(1, 1);
    QTest::newRow("no orientation") << 6.0f << -1.0f << QPointF(3, 0);
}

void TestKeypointRecord::affineShape()
{
    QFETCH(float, size);
    QFETCH(float, angle);
    QFETCH(QPointF, along);
    const cv::KeyPoint kp(40.0f, 30.0f, size, angle, 0.5f);
    const Sift s = KeypointDetector::toSift(kp, 12);
    QCOMPARE(s.id, 12);
    QCOMPARE(s.x, 40.0f);
    QCOMPARE(s.y, 30.0f);

    // The same map Sift::draw uses for the region.
    const QTransform shape(s.a11, s.a12, s.a21, s.a22, s.x, s.y);
    const QPointF u = shape.map(QPointF(1, 0)) - QPointF(40, 30);
    const QPointF v = shape.map(QPointF(0, 1)) - QPointF(40, 30);
    QVERIFY2(std::abs(u.x() - along.x()) < 1e-4 && std::abs(u.y() - along.y()) < 1e-4,
             qPrintable(QStringLiteral("(1,0) -> (%1, %2)").arg(u.x()).arg(u.y())));
    // A round region: (0, 1) a quarter turn clockwise from (1, 0), same radius.
    QVERIFY(std::abs(v.x() + along.y()) < 1e-4 && std::abs(v.y() - along.x()) < 1e-4);
    QVERIFY(std::abs(shape.determinant() - size * size / 4.0) < 1e-3);
}

void TestKeypointRecord::detectedKeypointsAreRankedAndInsideImage()
{
    // A few bright squares on black: corners and blobs for SIFT.
    cv::Mat grey(120, 160, CV_8U, cv::Scalar(0));
    for (int k = 0; k < 5; ++k)
        grey(cv::Rect(10 + 28 * k, 20 + 15 * k, 12 + 2 * k, 12 + 2 * k)).setTo(255);
    KeypointDetector detector(6);
    std::vector<Sift> keypoints;
    cv::Mat descriptors;
    QString error;
    QVERIFY2(detector.detect(grey, keypoints, descriptors, &error), qPrintable(error));
    QVERIFY(!keypoints.empty());
    QVERIFY(keypoints.size() <= 6);
    QCOMPARE(descriptors.rows, int(keypoints.size()));
    QCOMPARE(descriptors.cols, KeypointDetector::descriptorSize);
    for (size_t i = 0; i < keypoints.size(); ++i) {
        QCOMPARE(keypoints[i].id, int(i));
        QVERIFY(keypoints[i].x >= 0 && keypoints[i].x < 160);
        QVERIFY(keypoints[i].y >= 0 && keypoints[i].y < 120);
        QVERIFY(keypoints[i].a11 * keypoints[i].a22 - keypoints[i].a12 * keypoints[i].a21 > 0);
    }

    // Detected on a half-size copy, reported in pixels of the original: the
    // 2x nearest enlargement shrinks back to exactly `grey`.
    cv::Mat big;
    cv::resize(grey, big, cv::Size(), 2.0, 2.0, cv::INTER_NEAREST);
    KeypointDetector halving(6, 160);
    std::vector<Sift> scaled;
    QVERIFY(halving.detect(big, scaled, descriptors, &error));
    QCOMPARE(scaled.size(), keypoints.size());
    for (size_t i = 0; i < scaled.size(); ++i) {
        QVERIFY(std::abs(scaled[i].x - (2 * keypoints[i].x + 0.5f)) < 1e-3f);
        QVERIFY(std::abs(scaled[i].y - (2 * keypoints[i].y + 0.5f)) < 1e-3f);
        QVERIFY(std::abs(scaled[i].a11 - 2 * keypoints[i].a11) < 1e-3f);
        QVERIFY(std::abs(scaled[i].a21 - 2 * keypoints[i].a21) < 1e-3f);
    }
}

void TestKeypointRecord::orientationFollowsBrightening_data()
{
    QTest::addColumn<double>("degrees");
    // On screen: 0 right, 90 down, 180 left, 270 up.
    QTest::newRow("right") << 0.0;
    QTest::newRow("down") << 90.0;
    QTest::newRow("left") << 180.0;
    QTest::newRow("up") << 270.0;
    QTest::newRow("down right") << 45.0;
}

void TestKeypointRecord::orientationFollowsBrightening()
{
    // A round blob on a ramp that brightens towards `degrees`: the blob's
    // own gradients cancel out, the ramp's give the keypoint its direction,
    // which the record's (1, 0) axis must point along.
    QFETCH(double, degrees);
    const double t = degrees * M_PI / 180.0;
    cv::Mat grey(128, 128, CV_8U);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const double ramp = 0.6 * ((x - 64) * std::cos(t) + (y - 64) * std::sin(t));
            const double blob = 120 * std::exp(-((x - 64) * (x - 64) + (y - 64) * (y - 64)) / 72.0);
            grey.at<uchar>(y, x) = cv::saturate_cast<uchar>(80 + ramp + blob);
        }
    KeypointDetector detector(50);
    std::vector<Sift> keypoints;
    cv::Mat descriptors;
    QString error;
    QVERIFY(detector.detect(grey, keypoints, descriptors, &error));
    // SIFT may give the centre several orientations (one keypoint each);
    // one must follow the ramp, and none its mirror image, which is where a
    // turn the wrong way round (counter-clockwise on screen) would put it.
    auto offBy = [](double a, double b) {
        return std::abs(std::remainder(a - b, 2 * M_PI)) * 180.0 / M_PI;
    };
    int atCentre = 0;
    bool along = false, mirrored = false;
    for (const Sift &s : keypoints) {
        if (std::hypot(s.x - 64, s.y - 64) > 2)
            continue;
        ++atCentre;
        const double direction = std::atan2(s.a12, s.a11);
        along = along || offBy(direction, t) < 10;
        mirrored = mirrored || offBy(direction, -t) < 10;
    }
    QVERIFY(atCentre > 0);
    QVERIFY(along);
    if (offBy(t, -t) > 20)
        QVERIFY(!mirrored);
}

QTEST_GUILESS_MAIN(TestKeypointRecord)
#include "tst_keypointrecord.moc"
