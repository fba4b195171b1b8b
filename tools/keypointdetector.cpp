#include "tools/keypointdetector.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <new>
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
    return detectScaled(work, back, 0, keypoints, descriptors, nullptr, error);
}

std::vector<cv::KeyPoint> KeypointDetector::gridKeypoints(const cv::Mat &grey, int step,
                                                         bool keepBlank, const cv::Mat &alpha)
{
    std::vector<cv::KeyPoint> grid;
    if (step <= 0 || grey.empty())
        return grid;
    // A keypoint of size s is described from about 2.5 s around it; the
    // size is the step, so neighbouring patches overlap a little.
    const float size = float(step);
    const int margin = step;
    if (grey.cols <= 2 * margin || grey.rows <= 2 * margin)
        return grid;
    cv::Mat sum, sqsum;
    cv::integral(grey, sum, sqsum, CV_64F, CV_64F);
    cv::Mat drawn;
    if (!alpha.empty())
        cv::integral(alpha, drawn, CV_64F);
    const int half = step / 2;
    // The octave whose blur matches the size, as SIFT would have found it.
    const int octave = std::max(0, int(std::floor(std::log2(size / (2 * 1.6f)))));
    for (int y = margin; y <= grey.rows - margin; y += step) {
        for (int x = margin; x <= grey.cols - margin; x += step) {
            const int x0 = x - half, y0 = y - half, x1 = x0 + step, y1 = y0 + step;
            const double n = double(step) * step;
            const double s = sum.at<double>(y1, x1) - sum.at<double>(y0, x1)
                             - sum.at<double>(y1, x0) + sum.at<double>(y0, x0);
            const double q = sqsum.at<double>(y1, x1) - sqsum.at<double>(y0, x1)
                             - sqsum.at<double>(y1, x0) + sqsum.at<double>(y0, x0);
            const double variance = q / n - (s / n) * (s / n);
            if (!keepBlank && variance < 4.0) // blank: a standard deviation below 2 grey levels
                continue;
            if (!drawn.empty()) {
                const double a = drawn.at<double>(y1, x1) - drawn.at<double>(y0, x1)
                                 - drawn.at<double>(y1, x0) + drawn.at<double>(y0, x0);
                if (a < 0.5 * 255.0 * n) // mostly transparent
                    continue;
            }
            cv::KeyPoint kp(float(x), float(y), size, -1, 0, octave);
            grid.push_back(kp);
        }
    }
    return grid;
}

void KeypointDetector::toRootSift(cv::Mat &descriptors)
{
    cv::Mat f;
    descriptors.convertTo(f, CV_32F);
    for (int r = 0; r < f.rows; ++r) {
        float *row = f.ptr<float>(r);
        double total = 0;
        for (int c = 0; c < f.cols; ++c)
            total += row[c];
        const double k = total > 0 ? 1.0 / total : 0.0;
        for (int c = 0; c < f.cols; ++c)
            row[c] = float(512.0 * std::sqrt(row[c] * k));
    }
    f.convertTo(descriptors, CV_8U);
}

bool KeypointDetector::detectScaled(const cv::Mat &work, float back, int gridStep,
                                    std::vector<Sift> &keypoints, cv::Mat &descriptors,
                                    std::vector<cv::KeyPoint> *atWorkingScale, QString *error,
                                    bool *blankOnly, const cv::Mat &alpha)
{
    keypoints.clear();
    descriptors.release();
    if (atWorkingScale)
        atWorkingScale->clear();
    if (work.empty() || work.type() != CV_8U) {
        *error = QStringLiteral("not an 8-bit grey image");
        return false;
    }
    // SIFT's scale space needs a few octaves of image; on a handful of
    // pixels OpenCV aborts the process instead of failing.
    if (std::min(work.cols, work.rows) < minimumSide) {
        *error = QStringLiteral("too small: %1 x %2 pixels (at least %3 on each side)")
                     .arg(work.cols).arg(work.rows).arg(minimumSide);
        return false;
    }

    std::vector<cv::KeyPoint> found;
    cv::Mat desc;
    try {
        m_sift->detectAndCompute(work, cv::noArray(), found, desc);
    } catch (const cv::Exception &e) {
        // Out of memory is no fault of the image: said as what it is by the
        // caller, which lists the image as too large to describe.
        if (e.code == cv::Error::StsNoMem)
            throw std::bad_alloc();
        *error = QStringLiteral("keypoint detection failed: %1").arg(QString::fromStdString(e.msg));
        return false;
    }

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

    std::vector<cv::KeyPoint> grid = gridKeypoints(work, gridStep, false, alpha);
    for (int s = 1; s < m_gridScales && gridStep > 0; ++s) {
        const std::vector<cv::KeyPoint> coarser = gridKeypoints(work, gridStep << s, false, alpha);
        grid.insert(grid.end(), coarser.begin(), coarser.end());
    }
    if (blankOnly)
        *blankOnly = false;
    if (n == 0 && grid.empty() && gridStep > 0) {
        // Nothing stands out (a flat colour, a smooth gradient): the blank
        // patches describe it, at a finer step where the image is too small
        // for the usual one, so that the smallest accepted image still gets
        // a patch.
        const int step = std::min(gridStep, std::min(work.cols, work.rows) / 3);
        grid = gridKeypoints(work, step, true, alpha);
        if (blankOnly)
            *blankOnly = !grid.empty();
    }
    cv::Mat gridDesc;
    if (!grid.empty()) {
        try {
            // Upright patches: the grid has no orientation of its own, and
            // the same shape should give the same word wherever it lies.
            for (cv::KeyPoint &kp : grid)
                kp.angle = 0;
            std::vector<cv::KeyPoint> described = grid;
            m_sift->compute(work, described, gridDesc);
            if (described.size() != grid.size() || gridDesc.rows != int(grid.size()))
                grid = described;
        } catch (const cv::Exception &e) {
            if (e.code == cv::Error::StsNoMem)
                throw std::bad_alloc();
            *error = QStringLiteral("keypoint description failed: %1").arg(QString::fromStdString(e.msg));
            return false;
        }
    }
    const int total = n + int(grid.size());
    if (total == 0)
        return true;
    const int cols = !desc.empty() ? desc.cols : gridDesc.cols;
    keypoints.reserve(size_t(total));
    descriptors.create(total, cols, CV_8U);
    auto copyRow = [&](const cv::Mat &from, int r, int to) {
        if (from.type() == CV_8U)
            from.row(r).copyTo(descriptors.row(to));
        else
            from.row(r).convertTo(descriptors.row(to), CV_8U);
    };
    for (int i = 0; i < n; ++i) {
        const int k = order[size_t(i)];
        keypoints.push_back(toSift(found[size_t(k)], i, back));
        copyRow(desc, k, i);
        if (atWorkingScale)
            atWorkingScale->push_back(found[size_t(k)]);
    }
    for (size_t g = 0; g < grid.size(); ++g) {
        const int i = n + int(g);
        keypoints.push_back(toSift(grid[g], i, back));
        copyRow(gridDesc, int(g), i);
        if (atWorkingScale)
            atWorkingScale->push_back(grid[g]);
    }
    return true;
}
