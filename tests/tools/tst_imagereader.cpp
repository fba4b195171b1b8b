// Reading images for indexing: sizes refused from the header alone, images
// too small for SIFT, transparency over white in every PNG layout, 16-bit
// samples, CMYK and truncated JPEGs, row-by-row reduction, the size floor
// at the described size, colours of the drawn pixels only, and blank images.
#include "tools/duplicatefinder.h"
#include "tools/featureextractor.h"
#include "tools/imagereader.h"
#include "tools/keypointdetector.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <sys/stat.h>
#include <vector>
#include <zlib.h>

#include <jpeglib.h>
#include <png.h>

namespace {

QByteArray chunk(const char *type, const QByteArray &data)
{
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), out.data());
    const QByteArray body = QByteArray(type, 4) + data;
    out += body;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()),
                                        uInt(body.size()))),
                          crc.data());
    return out + crc;
}

// Black strokes on a fully transparent canvas: what clip art looks like
// when its alpha channel is dropped is black on black.
QImage lineArt(QImage::Format format)
{
    QImage image(160, 120, format);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(Qt::black, 3));
    p.drawRect(20, 20, 50, 40);
    p.drawEllipse(QPoint(115, 60), 25, 25);
    p.drawLine(20, 100, 140, 90);
    p.setBrush(Qt::black);
    p.drawRect(30, 75, 12, 12);
    return image;
}

ImageReader::Limits limits(int maxSide = 1024)
{
    ImageReader::Limits l;
    l.maxSide = maxSide;
    return l;
}

} // namespace

class TestImageReader : public QObject
{
    Q_OBJECT
private slots:
    void hugeHeaderIsRefusedUnread();
    void tooSmallNeverReachesSift();
    void transparencyOverWhite_data();
    void transparencyOverWhite();
    void cmykJpeg();
    void truncatedJpegIsDamaged();
    void largeImagesAreReducedRowByRow();
    void sizeFloorAtDescribedSize_data();
    void sizeFloorAtDescribedSize();
    void coloursOfDrawnPixelsOnly_data();
    void coloursOfDrawnPixelsOnly();
    void blankImages_data();
    void blankImages();
    void decodedWithinBudget_data();
    void decodedWithinBudget();
    void colourLayout_data();
    void colourLayout();
    void copiesLookedForAmongReadableOnly_data();
    void copiesLookedForAmongReadableOnly();

private:
    QTemporaryDir m_dir;
};

void TestImageReader::hugeHeaderIsRefusedUnread()
{
    // A valid header announcing 100,000 x 100,000 RGBA pixels and no image
    // data at all: decoding would take 40 GB, or fail as damaged; neither
    // may happen before the size is refused.
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(100000, ihdr.data());
    qToBigEndian<quint32>(100000, ihdr.data() + 4);
    ihdr[8] = 8; // bit depth
    ihdr[9] = 6; // RGBA
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr)
                           + chunk("IEND", QByteArray());
    const QString path = m_dir.filePath("poster.png");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(png);
    f.close();

    QSize size;
    QString error;
    QVERIFY2(ImageReader::readSize(path, &size, &error), qPrintable(error));
    QCOMPARE(size, QSize(100000, 100000));
    const DecodedImage d = ImageReader::read(path, limits());
    QCOMPARE(d.status, DecodedImage::TooLarge);
    QVERIFY2(d.reason.contains("100000 x 100000"), qPrintable(d.reason));
    QVERIFY(d.colour.empty());
    // Full size asked for: the limit on what detection may take applies.
    ImageReader::Limits full = limits(0);
    full.maxPixels = qint64(20000) * 20000;
    QCOMPARE(ImageReader::read(path, full).status, DecodedImage::TooLarge);
}

void TestImageReader::tooSmallNeverReachesSift()
{
    QImage tiny(3, 2, QImage::Format_RGB32);
    tiny.fill(Qt::red);
    tiny.setPixel(1, 1, qRgb(0, 0, 255));
    const QString path = m_dir.filePath("tiny.png");
    QVERIFY(tiny.save(path));
    const DecodedImage d = ImageReader::read(path, limits());
    QCOMPARE(d.status, DecodedImage::TooSmall);
    QVERIFY2(d.reason.contains("3 x 2"), qPrintable(d.reason));

    // Described on a grid, as dense sampling does: OpenCV would abort the
    // whole process on these pixels; the detector refuses them instead.
    FeatureOptions o;
    o.gridStep = 1;
    FeatureExtractor extractor(o);
    const ImageFeatures f = extractor.extract(path);
    QCOMPARE(f.status, DecodedImage::TooSmall);
    KeypointDetector detector(10);
    std::vector<Sift> kps;
    cv::Mat desc;
    QString error;
    cv::Mat grey(2, 3, CV_8U, cv::Scalar(40));
    QVERIFY(!detector.detectScaled(grey, 1.0f, 1, kps, desc, nullptr, &error));
    QVERIFY2(error.contains("too small"), qPrintable(error));

    // A banner that becomes too thin once scaled is listed the same way.
    QImage banner(4000, 30, QImage::Format_RGB32);
    banner.fill(Qt::white);
    QVERIFY(banner.save(m_dir.filePath("banner.png")));
    const DecodedImage b = ImageReader::read(m_dir.filePath("banner.png"), limits(1024));
    QCOMPARE(b.status, DecodedImage::TooSmall);
}

void TestImageReader::transparencyOverWhite_data()
{
    QTest::addColumn<QString>("layout");
    QTest::newRow("RGBA") << "rgba";
    QTest::newRow("grey and alpha") << "ga";
    QTest::newRow("palette with transparency") << "palette";
    QTest::newRow("16-bit RGBA") << "rgba16";
}

void TestImageReader::transparencyOverWhite()
{
    QFETCH(QString, layout);
    const QImage art = lineArt(QImage::Format_ARGB32);
    const QString path = m_dir.filePath(layout + ".png");
    if (layout == "rgba") {
        QVERIFY(art.save(path));
    } else if (layout == "rgba16") {
        QVERIFY(art.convertToFormat(QImage::Format_RGBA64).save(path));
    } else if (layout == "palette") {
        QImage indexed(art.size(), QImage::Format_Indexed8);
        indexed.setColorTable({qRgba(0, 0, 0, 0), qRgba(0, 0, 0, 255)});
        for (int y = 0; y < art.height(); ++y)
            for (int x = 0; x < art.width(); ++x)
                indexed.setPixel(x, y, qAlpha(art.pixel(x, y)) > 127 ? 1 : 0);
        QVERIFY(indexed.save(path));
    } else {
        std::vector<png_byte> ga(size_t(art.width()) * art.height() * 2);
        for (int y = 0; y < art.height(); ++y)
            for (int x = 0; x < art.width(); ++x) {
                const QRgb p = art.pixel(x, y);
                ga[2 * (size_t(y) * art.width() + x)] = png_byte(qGray(p));
                ga[2 * (size_t(y) * art.width() + x) + 1] = png_byte(qAlpha(p));
            }
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = png_uint_32(art.width());
        image.height = png_uint_32(art.height());
        image.format = PNG_FORMAT_GA;
        QVERIFY(png_image_write_to_file(&image, QFile::encodeName(path).constData(), 0,
                                        ga.data(), 0, nullptr));
    }
    // The file really is of the layout under test.
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(26);
    const int colourType = uchar(head[25]), depth = uchar(head[24]);
    if (layout == "ga") QCOMPARE(colourType, 4);
    if (layout == "palette") QCOMPARE(colourType, 3);
    if (layout == "rgba") QCOMPARE(colourType, 6);
    if (layout == "rgba16") QCOMPARE(depth, 16);

    const DecodedImage d = ImageReader::read(path, limits());
    QCOMPARE(d.status, DecodedImage::Ok);
    QCOMPARE(d.grey.cols, 160);
    // Background white, strokes black.
    QCOMPARE(int(d.grey.at<uchar>(5, 5)), 255);
    QCOMPARE(int(d.grey.at<uchar>(80, 35)), 0);
    QCOMPARE(d.colour.at<cv::Vec3b>(5, 5), cv::Vec3b(255, 255, 255));
    FeatureExtractor extractor{FeatureOptions()};
    const ImageFeatures features = extractor.describe(d);
    QVERIFY(features.keypoints.size() >= 5);
}

void TestImageReader::cmykJpeg()
{
    // Written the way Adobe's software writes CMYK: inks inverted, with the
    // Adobe marker. Left half pure red (M and Y full), right half white.
    const int w = 64, h = 32;
    std::vector<unsigned char> cmyk(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char *p = &cmyk[4 * (size_t(y) * w + x)];
            const bool red = x < w / 2;
            p[0] = 255;             // no cyan
            p[1] = red ? 0 : 255;   // magenta
            p[2] = red ? 0 : 255;   // yellow
            p[3] = 255;             // no black
        }
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    c.write_Adobe_marker = TRUE;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = &cmyk[size_t(c.next_scanline) * w * 4];
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    const QString path = m_dir.filePath("cmyk.jpg");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char *>(buffer), qint64(size));
    f.close();
    std::free(buffer);

    const DecodedImage d = ImageReader::read(path, limits());
    QCOMPARE(d.status, DecodedImage::Ok);
    const cv::Vec3b left = d.colour.at<cv::Vec3b>(16, 8), right = d.colour.at<cv::Vec3b>(16, 56);
    QVERIFY2(left[2] > 230 && left[1] < 30 && left[0] < 30,
             qPrintable(QStringLiteral("left %1 %2 %3").arg(left[0]).arg(left[1]).arg(left[2])));
    QVERIFY(right[0] > 230 && right[1] > 230 && right[2] > 230);
}

void TestImageReader::truncatedJpegIsDamaged()
{
    QImage photo(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            photo.setPixel(x, y, qRgb((x * 7) % 256, (y * 5) % 256, (x * y) % 256));
    const QString whole = m_dir.filePath("whole.jpg");
    QVERIFY(photo.save(whole, "JPEG", 90));
    QCOMPARE(ImageReader::read(whole, limits()).status, DecodedImage::Ok);

    QFile in(whole);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    const QString cut = m_dir.filePath("cut.jpg");
    QFile out(cut);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bytes.left(bytes.size() / 2));
    out.close();
    const DecodedImage d = ImageReader::read(cut, limits());
    QCOMPARE(d.status, DecodedImage::Unreadable);
    QVERIFY2(d.reason.contains("damaged JPEG"), qPrintable(d.reason));
}

void TestImageReader::largeImagesAreReducedRowByRow()
{
    // Stripes and a gradient at 3000 x 2000, reduced to 1000 x 667: the same
    // as reducing the whole image at once, to within rounding.
    QImage big(3000, 2000, QImage::Format_RGB32);
    for (int y = 0; y < big.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(big.scanLine(y));
        for (int x = 0; x < big.width(); ++x)
            line[x] = ((x / 60) % 2) ? qRgb(255, y * 255 / 2000, 0) : qRgb(0, 0, x * 255 / 3000);
    }
    for (const char *format : {"PNG", "JPEG"}) {
        const QString path = m_dir.filePath(QStringLiteral("big.%1").arg(QString(format).toLower()));
        QVERIFY(big.save(path, format, format == QByteArray("JPEG") ? 95 : -1));
        const DecodedImage d = ImageReader::read(path, limits(1000));
        QCOMPARE(d.status, DecodedImage::Ok);
        QCOMPARE(d.fileSize, QSize(3000, 2000));
        QCOMPARE(d.colour.cols, 1000);
        QCOMPARE(d.colour.rows, 667);
        QVERIFY(std::abs(d.scale - 3.0) < 1e-9);
        const QImage rgb = big.convertToFormat(QImage::Format_RGB888);
        cv::Mat whole(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar *>(rgb.constBits()),
                      size_t(rgb.bytesPerLine())), reference;
        cv::cvtColor(whole, whole, cv::COLOR_RGB2BGR);
        cv::resize(whole, reference, cv::Size(1000, 667), 0, 0, cv::INTER_AREA);
        cv::Mat diff;
        cv::absdiff(reference, d.colour, diff);
        const double mean = cv::mean(diff)[0];
        QVERIFY2(mean < (format == QByteArray("PNG") ? 2.0 : 6.0), qPrintable(QString::number(mean)));
    }
}

void TestImageReader::sizeFloorAtDescribedSize_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("maxSide");
    QTest::addColumn<int>("workSide");
    QTest::addColumn<bool>("described");
    // The floor is 16 pixels on each side of the picture as described:
    // 39 x 7 at 512 is 512 x 92; 4000 x 30 first becomes 1024 x 8 (round
    // 7.68), then 512 x 4.
    QTest::newRow("thin stamp enlarged") << 39 << 7 << 1024 << 512 << true;
    QTest::newRow("small stamp enlarged") << 27 << 15 << 1024 << 512 << true;
    QTest::newRow("thin stamp as read") << 39 << 7 << 1024 << 0 << false;
    QTest::newRow("banner reduced") << 4000 << 30 << 1024 << 512 << false;
    QTest::newRow("strip just enough") << 512 << 16 << 1024 << 512 << true;
    QTest::newRow("strip one short") << 1024 << 30 << 1024 << 512 << false;
}

void TestImageReader::sizeFloorAtDescribedSize()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, maxSide);
    QFETCH(int, workSide);
    QFETCH(bool, described);
    // A dark bar across a light picture, so that there is something to see.
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(230, 230, 230));
    for (int x = width / 4; x < 3 * width / 4; ++x)
        for (int y = height / 3; y < std::max(height / 3 + 1, 2 * height / 3); ++y)
            image.setPixel(x, y, qRgb(20, 20, 80));
    const QString path = m_dir.filePath(QStringLiteral("floor-%1x%2.png").arg(width).arg(height));
    QVERIFY(image.save(path));
    ImageReader::Limits l = limits(maxSide);
    l.workSide = workSide;
    const DecodedImage d = ImageReader::read(path, l);
    QCOMPARE(d.status, described ? DecodedImage::Ok : DecodedImage::TooSmall);
    if (!described) {
        QVERIFY2(d.reason.startsWith("too small"), qPrintable(d.reason));
        return;
    }
    FeatureOptions o;
    o.workSide = workSide;
    o.gridStep = 16;
    o.limits = l;
    FeatureExtractor extractor(o);
    const ImageFeatures f = extractor.extract(path);
    QCOMPARE(f.status, DecodedImage::Ok);
    QVERIFY(!f.blank);
    QVERIFY(!f.keypoints.empty());
}

void TestImageReader::coloursOfDrawnPixelsOnly_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("PNG, read a row at a time") << "png";
    QTest::newRow("TIFF, read whole") << "tiff";
}

void TestImageReader::coloursOfDrawnPixelsOnly()
{
    QFETCH(QString, format);
    // Red strokes on a transparent canvas, without antialiasing: every
    // drawn pixel is pure red, every other one fully transparent.
    QImage art(200, 160, QImage::Format_ARGB32);
    art.fill(Qt::transparent);
    {
        QPainter p(&art);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor(220, 0, 0), 4));
        p.drawRect(30, 30, 60, 50);
        p.drawEllipse(QPoint(140, 90), 35, 35);
        p.drawLine(20, 140, 180, 120);
    }
    const QString path = m_dir.filePath("red-art." + format);
    QVERIFY(art.save(path, qPrintable(format.toUpper())));
    // The same picture laid over white by hand, as a file without alpha.
    QImage flat(art.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    {
        QPainter p(&flat);
        p.drawImage(0, 0, art);
    }
    const QString flatPath = m_dir.filePath("red-art-flat.png");
    QVERIFY(flat.save(flatPath));

    FeatureOptions o;
    o.workSide = 0;
    o.gridStep = 16;
    o.colour = true;
    FeatureExtractor extractor(o);
    const ImageFeatures f = extractor.extract(path);
    QCOMPARE(f.status, DecodedImage::Ok);
    QVERIFY(!f.blank);
    QVERIFY(!f.keypoints.empty());
    QCOMPARE(f.colourDescriptors.rows, int(f.keypoints.size()));
    // Reference: the stroke colour in Lab as OpenCV converts one pixel.
    cv::Mat red(1, 1, CV_8UC3, cv::Scalar(0, 0, 220)), redLab;
    cv::cvtColor(red, redLab, cv::COLOR_BGR2Lab);
    const cv::Vec3b want = redLab.at<cv::Vec3b>(0, 0);
    for (int r = 0; r < f.colourDescriptors.rows; ++r)
        for (int q = 0; q < 4; ++q)
            for (int c = 0; c < 3; ++c)
                QVERIFY2(std::abs(int(f.colourDescriptors.at<uchar>(r, 3 * q + c)) - int(want[c])) <= 1,
                         qPrintable(QStringLiteral("keypoint %1, quarter %2: %3 where the strokes give %4")
                                        .arg(r).arg(q).arg(f.colourDescriptors.at<uchar>(r, 3 * q + c))
                                        .arg(want[c])));

    // Over white, the same strokes are described with the white around
    // them, and with grid patches that are mostly background.
    const ImageFeatures g = extractor.extract(flatPath);
    QCOMPARE(g.status, DecodedImage::Ok);
    QVERIFY(g.keypoints.size() > f.keypoints.size());
    cv::Mat white(1, 1, CV_8UC3, cv::Scalar(255, 255, 255)), whiteLab;
    cv::cvtColor(white, whiteLab, cv::COLOR_BGR2Lab);
    bool sawWhite = false;
    for (int r = 0; r < g.colourDescriptors.rows && !sawWhite; ++r)
        for (int q = 0; q < 4; ++q)
            sawWhite = sawWhite || g.colourDescriptors.at<uchar>(r, 3 * q) == whiteLab.at<cv::Vec3b>(0, 0)[0];
    QVERIFY(sawWhite);
}

void TestImageReader::blankImages_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("blank");
    QTest::addColumn<bool>("hasColour");
    QTest::addColumn<QString>("hex");
    QTest::newRow("fully transparent") << "transparent" << true << false << "";
    QTest::newRow("flat opaque colour") << "flat" << true << true << "#c82828";
    QTest::newRow("flat colour, half transparent") << "halfflat" << true << true << "#ff8080";
    QTest::newRow("one-colour drawing on transparency") << "drawing" << false << false << "";
    QTest::newRow("smooth gradient") << "gradient" << false << false << "";
}

void TestImageReader::blankImages()
{
    QFETCH(QString, kind);
    QFETCH(bool, blank);
    QFETCH(bool, hasColour);
    QFETCH(QString, hex);
    QImage image(120, 90, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    if (kind == "flat") {
        image.fill(QColor(200, 40, 40));
    } else if (kind == "halfflat") {
        // Red at half opacity: pink (255, 128, 128) once over white.
        image.fill(QColor(255, 0, 0, 127));
    } else if (kind == "drawing") {
        QPainter p(&image);
        p.setPen(QPen(Qt::black, 3));
        p.drawEllipse(QPoint(60, 45), 30, 30);
    } else if (kind == "gradient") {
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                image.setPixel(x, y, qRgb(2 * x, 2 * x, 255 - 2 * x));
    }
    const QString path = m_dir.filePath("blank-" + kind + ".png");
    QVERIFY(image.save(path));
    FeatureOptions o;
    o.gridStep = 16;
    o.colour = true;
    FeatureExtractor extractor(o);
    const ImageFeatures f = extractor.extract(path);
    QCOMPARE(f.status, DecodedImage::Ok);
    QCOMPARE(f.blank, blank);
    QCOMPARE(f.blankHasColour, hasColour);
    if (blank) {
        // A flat colour keeps its colour patches (grey says nothing of
        // it), by which it can be placed; half transparent, no patch is
        // drawn enough to count, and nothing is left.
        if (kind == "flat") {
            QVERIFY(!f.keypoints.empty());
            QVERIFY(f.descriptors.empty());
            QCOMPARE(f.colourDescriptors.rows, int(f.keypoints.size()));
        } else {
            QVERIFY(f.keypoints.empty());
        }
        QVERIFY2(hasColour ? f.reason.contains("flat colour (" + hex + ")")
                           : f.reason.contains("transparent everywhere"),
                 qPrintable(f.reason));
    } else {
        QVERIFY(!f.keypoints.empty());
    }
}

namespace {

// A small progressive JPEG whose frame header then announces `side` x
// `side` pixels: the decoder would keep every coefficient of that size.
QByteArray progressiveJpeg(int side)
{
    std::vector<unsigned char> rgb(64 * 48 * 3, 128);
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = 64;
    c.image_height = 48;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = rgb.data() + c.next_scanline * 64 * 3;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    QByteArray out(reinterpret_cast<const char *>(buffer), int(size));
    free(buffer);
    jpeg_destroy_compress(&c);
    const int sof = out.indexOf("\xff\xc2");
    if (sof >= 0 && side > 0) {
        qToBigEndian<quint16>(quint16(side), out.data() + sof + 5);
        qToBigEndian<quint16>(quint16(side), out.data() + sof + 7);
    }
    return out;
}

} // namespace

void TestImageReader::decodedWithinBudget_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason");
    // 30000 x 30000 at 4:2:0: (3750 x 3750 + 2 x 1875 x 1875) blocks of 128
    // bytes, about 2.5 GB of coefficients.
    QTest::newRow("progressive JPEG announcing 30000 x 30000")
        << "huge.jpg" << progressiveJpeg(30000) << int(DecodedImage::TooLarge) << "progressive JPEG";
    QTest::newRow("small progressive JPEG") << "small.jpg" << progressiveJpeg(0)
                                            << int(DecodedImage::Ok) << "";
    QTest::newRow("HDR announcing 20000 x 15000")
        << "huge.hdr" << QByteArray("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 15000 +X 20000\n")
                             + QByteArray(64, '\x02')
        << int(DecodedImage::TooLarge) << "Radiance HDR";
    QTest::newRow("PFM announcing 20000 x 20000")
        << "huge.pfm" << QByteArray("PF\n20000 20000\n-1.0\n") + QByteArray(64, '\0')
        << int(DecodedImage::TooLarge) << "PFM";
    QTest::newRow("unknown format, size unknown") << "mystery.bin" << QByteArray(64, '\x07')
                                                  << int(DecodedImage::Unreadable) << "cannot be read";
}

void TestImageReader::decodedWithinBudget()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(QString, reason);
    const QString path = m_dir.filePath(name);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
    f.close();
    const DecodedImage d = ImageReader::read(path, limits());
    QVERIFY2(int(d.status) == status, qPrintable(d.reason));
    QVERIFY2(d.reason.contains(reason), qPrintable(d.reason));
}

void TestImageReader::colourLayout_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::addColumn<int>("weight");
    QTest::addColumn<int>("across");
    QTest::addColumn<int>("down");
    // On a 101 x 51 picture, position p of the side s is 255 p / (s - 1),
    // drawn towards the middle (128) by the weight: 128 + w (v - 128).
    QTest::newRow("top left, full weight") << 0.0f << 0.0f << 100 << 0 << 0;
    QTest::newRow("bottom right, full weight") << 100.0f << 50.0f << 100 << 255 << 255;
    QTest::newRow("middle") << 50.0f << 25.0f << 100 << 128 << 128;
    QTest::newRow("top left, half weight") << 0.0f << 0.0f << 50 << 64 << 64;
    QTest::newRow("right edge, double weight") << 100.0f << 25.0f << 200 << 255 << 128;
}

void TestImageReader::colourLayout()
{
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(int, weight);
    QFETCH(int, across);
    QFETCH(int, down);
    cv::Mat colour(1, FeatureExtractor::colourSize, CV_8U, cv::Scalar(77));
    const std::vector<cv::KeyPoint> kps = {cv::KeyPoint(x, y, 8)};
    FeatureExtractor::appendLayout(colour, kps, cv::Size(101, 51), weight);
    QCOMPARE(colour.cols, FeatureExtractor::colourLayoutSize);
    for (int c = 0; c < FeatureExtractor::colourSize; ++c)
        QCOMPARE(int(colour.at<uchar>(0, c)), 77);
    QVERIFY(std::abs(int(colour.at<uchar>(0, 12)) - across) <= 1);
    QVERIFY(std::abs(int(colour.at<uchar>(0, 13)) - down) <= 1);
}

void TestImageReader::copiesLookedForAmongReadableOnly_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("eligible"); // checked for copies (read in full)
    QTest::addColumn<QString>("reason");
    QTest::newRow("a PNG") << "png" << true << QString();
    QTest::newRow("a BMP") << "bmp" << true << QString();
    QTest::newRow("zeros named .png") << "zeros" << false << QString();
    QTest::newRow("a PNG signature alone") << "signature" << false << "damaged PNG";
    QTest::newRow("a FIFO named .png") << "fifo" << false << "not a regular file";
}

// Two copies of a file: looked for as copies (hashed whole) only when its
// header is one a decoder recognises; a file of zeros, however large, is
// refused from its first bytes.
void TestImageReader::copiesLookedForAmongReadableOnly()
{
    QFETCH(QString, kind);
    QFETCH(bool, eligible);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QStringList paths;
    for (int copy = 0; copy < 2; ++copy) {
        const QString path = dir.filePath(QStringLiteral("copy%1.%2").arg(copy).arg(kind == "bmp" ? QStringLiteral("bmp") : QStringLiteral("png")));
        paths << path;
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(QColor(30, 90, 160));
        if (kind == "png" || kind == "bmp") {
            QVERIFY(image.save(path));
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(kind == "zeros" ? QByteArray(1 << 20, '\0') : QByteArray("\x89PNG\r\n\x1a\n", 8));
        }
    }
    std::vector<bool> readable;
    for (const QString &path : std::as_const(paths)) {
        DecodedImage::Status status = DecodedImage::Ok;
        QString why;
        readable.push_back(ImageReader::checkHeaderOnly(path, limits(), &status, &why));
        QCOMPARE(bool(readable.back()), eligible);
        if (!eligible) {
            QCOMPARE(status, DecodedImage::Unreadable);
            QVERIFY2(!why.isEmpty() && why.contains(reason), qPrintable(why));
            // What reading it says agrees: it cannot be read.
            if (kind != "fifo")
                QCOMPARE(ImageReader::read(path, limits()).status, DecodedImage::Unreadable);
        }
    }
    const QVector<QVector<int>> expected = eligible ? QVector<QVector<int>>{{0, 1}} : QVector<QVector<int>>{};
    QCOMPARE(findDuplicateFiles(paths, readable), expected);
    QCOMPARE(filesToHash(paths, readable), eligible ? 2 : 0);
}

QTEST_GUILESS_MAIN(TestImageReader)
#include "tst_imagereader.moc"
