#include "tools/keypointdetector.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <numeric>

KeypointDetector::KeypointDetector(int maxKeypoints, int maxSide)
    : m_maxKeypoints(maxKeypoints), m_maxSide(maxSide)
{
    // Asking SIFT for the best n lets it drop the weak responses early;
    // the exact count is enforced after sorting.
    m_sift = cv::SIFT::create(maxKeypoints, 3, 0.04, 10, 1.6, CV_8U);
}

Sift KeypointDetector::toSift(const cv::KeyPoint &kp, int id, float scale)
{
    const double r = 0.5 * kp.size * scale;
    const double theta = (kp.angle < 0 ? 0.0 : kp.angle) * M_PI / 180.0;
    const double c = std::cos(theta), s = std::sin(theta);
    Sift sift;
    sift.id = id;
    sift.word = -1;
    // Pixel centres are at integer positions in both images.
    sift.x = float((kp.pt.x + 0.5) * scale - 0.5);
    sift.y = float((kp.pt.y + 0.5) * scale - 0.5);
    // (1, 0) goes to the keypoint's direction, (0, 1) a quarter turn further.
    sift.a11 = float(r * c);
    sift.a12 = float(r * s);
    sift.a21 = float(-r * s);
    sift.a22 = float(r * c);
    return sift;
}

cv::Mat KeypointDetector::readGrey(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("file not found");
        return cv::Mat();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open: %1").arg(file.errorString());
        return cv::Mat();
    }
    // Decoding from memory avoids OpenCV's trouble with non-ASCII paths.
    const QByteArray bytes = file.readAll();
    file.close();
    if (bytes.isEmpty()) {
        *error = QStringLiteral("empty file");
        return cv::Mat();
    }
    cv::Mat grey;
    try {
        const cv::Mat raw(1, int(bytes.size()), CV_8U, const_cast<char *>(bytes.constData()));
        grey = cv::imdecode(raw, cv::IMREAD_GRAYSCALE);
    } catch (const cv::Exception &) {
        grey.release(); // a decoder that throws on a broken file: try Qt below
    }
    if (!grey.empty())
        return grey;

    QImage image;
    if (image.loadFromData(bytes) && !image.isNull()) {
        image = image.convertToFormat(QImage::Format_Grayscale8);
        cv::Mat view(image.height(), image.width(), CV_8U, image.bits(),
                     size_t(image.bytesPerLine()));
        return view.clone();
    }
    *error = QStringLiteral("not a readable image (corrupt or unknown format)");
    return cv::Mat();
}

bool KeypointDetector::detect(const QString &path, std::vector<Sift> &keypoints,
                              cv::Mat &descriptors, QString *error)
{
    keypoints.clear();
    descriptors.release();
    const cv::Mat grey = readGrey(path, error);
    if (grey.empty())
        return false;
    return detect(grey, keypoints, descriptors, error);
}

bool KeypointDetector::detect(const cv::Mat &grey, std::vector<Sift> &keypoints,
                              cv::Mat &descriptors, QString *error)
{
    keypoints.clear();
    descriptors.release();
    if (grey.empty() || grey.type() != CV_8U) {
        *error = QStringLiteral("not an 8-bit grey image");
        return false;
    }
    cv::Mat work = grey;
    float back = 1.0f; // from the detection image back to the original
    const int side = std::max(grey.cols, grey.rows);
    if (m_maxSide > 0 && side > m_maxSide) {
        const double f = double(m_maxSide) / side;
        cv::resize(grey, work, cv::Size(), f, f, cv::INTER_AREA);
        back = float(double(grey.cols) / work.cols);
    }

    std::vector<cv::KeyPoint> found;
    cv::Mat desc;
    try {
        m_sift->detectAndCompute(work, cv::noArray(), found, desc);
    } catch (const cv::Exception &e) {
        *error = QStringLiteral("keypoint detection failed: %1").arg(QString::fromStdString(e.msg));
        return false;
    }
    if (found.empty())
        return true;

    // Strongest first; the tie-breaks make the order independent of how the
    // detector happened to list equal responses.
    std::vector<int> order(found.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const cv::KeyPoint &p = found[size_t(a)], &q = found[size_t(b)];
        if (p.response != q.response) return p.response > q.response;
        if (p.pt.y != q.pt.y) return p.pt.y < q.pt.y;
        if (p.pt.x != q.pt.x) return p.pt.x < q.pt.x;
        if (p.size != q.size) return p.size < q.size;
        if (p.angle != q.angle) return p.angle < q.angle;
        return a < b;
    });
    const int n = std::min<int>(int(order.size()), m_maxKeypoints);
    keypoints.reserve(size_t(n));
    descriptors.create(n, desc.cols, CV_8U);
    for (int i = 0; i < n; ++i) {
        const int k = order[size_t(i)];
        keypoints.push_back(toSift(found[size_t(k)], i, back));
        if (desc.type() == CV_8U)
            desc.row(k).copyTo(descriptors.row(i));
        else
            desc.row(k).convertTo(descriptors.row(i), CV_8U);
    }
    return true;
}
