#include "tools/featureextractor.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

FeatureExtractor::FeatureExtractor(const FeatureOptions &options)
    : m_options(options), m_detector(options.maxKeypoints)
{
    m_detector.setGridScales(options.gridScales);
    // The size floor is that of the image as described.
    m_options.limits.workSide = options.workSide;
}

namespace {

cv::Mat drawnColourDescriptors(const cv::Mat &bgr, const std::vector<cv::KeyPoint> &keypoints,
                               const cv::Mat &alpha);

// Sum of a CV_64F integral image over [x0, x1) x [y0, y1), channel c.
template <int N>
double boxSum(const cv::Mat &sum, int x0, int y0, int x1, int y1, int c)
{
    using V = cv::Vec<double, N>;
    return sum.at<V>(y1, x1)[c] - sum.at<V>(y0, x1)[c] - sum.at<V>(y1, x0)[c]
           + sum.at<V>(y0, x0)[c];
}

// The square the colour of a keypoint is read from: the patch SIFT
// describes reaches about 2.5 sizes across.
void patchBox(const cv::KeyPoint &kp, int w, int h, int *x0, int *y0, int *x1, int *y1)
{
    const float r = std::max(2.0f, 1.25f * kp.size);
    *x0 = std::clamp(int(kp.pt.x - r), 0, w - 1);
    *x1 = std::clamp(int(kp.pt.x + r) + 1, 1, w);
    *y0 = std::clamp(int(kp.pt.y - r), 0, h - 1);
    *y1 = std::clamp(int(kp.pt.y + r) + 1, 1, h);
}

// Keypoints whose patch holds no drawn pixel at all describe the background
// only: they go, with their descriptor rows, and the ranks close up.
void dropUndrawn(const cv::Mat &alpha, std::vector<Sift> &keypoints, cv::Mat &descriptors,
                 std::vector<cv::KeyPoint> &working)
{
    cv::Mat drawn;
    cv::integral(alpha, drawn, CV_64F);
    std::vector<int> keep;
    keep.reserve(working.size());
    for (size_t i = 0; i < working.size(); ++i) {
        int x0, y0, x1, y1;
        patchBox(working[i], alpha.cols, alpha.rows, &x0, &y0, &x1, &y1);
        // Below one pixel in a hundred drawn: nothing of the picture.
        const double share = boxSum<1>(drawn, x0, y0, x1, y1, 0)
                             / (255.0 * double(x1 - x0) * double(y1 - y0));
        if (share >= 0.01)
            keep.push_back(int(i));
    }
    if (keep.size() == working.size())
        return;
    std::vector<Sift> k;
    std::vector<cv::KeyPoint> w;
    cv::Mat d(int(keep.size()), descriptors.cols, descriptors.type());
    for (size_t j = 0; j < keep.size(); ++j) {
        const int i = keep[j];
        k.push_back(keypoints[size_t(i)]);
        k.back().id = int(j);
        w.push_back(working[size_t(i)]);
        if (!descriptors.empty())
            descriptors.row(i).copyTo(d.row(int(j)));
    }
    keypoints.swap(k);
    working.swap(w);
    descriptors = descriptors.empty() ? cv::Mat() : d;
}

} // namespace

bool FeatureExtractor::isBlank(const DecodedImage &image, QString *reason, bool *hasColour,
                               cv::Vec3b *colour)
{
    *hasColour = false;
    if (image.colour.empty())
        return false;
    // Opacity below 8 of 255 does not show: nothing is drawn.
    double highest = 255;
    if (!image.alpha.empty())
        cv::minMaxLoc(image.alpha, nullptr, &highest);
    if (highest < 8) {
        *reason = QStringLiteral("transparent everywhere: nothing is drawn");
        return true;
    }
    // One colour as seen, over white: a shape drawn in one colour on a
    // transparent background is a picture, and is not flat here.
    cv::Scalar mean, deviation;
    cv::meanStdDev(image.colour, mean, deviation);
    for (int k = 0; k < 3; ++k) {
        // A standard deviation below 2 levels: the eye sees one colour.
        if (deviation[k] >= 2.0)
            return false;
    }
    *hasColour = true;
    for (int k = 0; k < 3; ++k)
        (*colour)[k] = cv::saturate_cast<uchar>(mean[k]);
    *reason = QStringLiteral("a single flat colour (#%1%2%3): nothing is drawn on it")
                  .arg(int((*colour)[2]), 2, 16, QLatin1Char('0'))
                  .arg(int((*colour)[1]), 2, 16, QLatin1Char('0'))
                  .arg(int((*colour)[0]), 2, 16, QLatin1Char('0'));
    return true;
}

ImageFeatures FeatureExtractor::extract(const QString &path)
{
    return describe(ImageReader::read(path, m_options.limits));
}

ImageFeatures FeatureExtractor::describe(const DecodedImage &decoded)
{
    ImageFeatures out;
    out.status = decoded.status;
    out.reason = decoded.reason;
    if (decoded.status != DecodedImage::Ok)
        return out;
    const DecodedImage image = toWorkSide(decoded, m_options.workSide);
    if (isBlank(image, &out.reason, &out.blankHasColour, &out.blankColour)) {
        out.blank = true;
        // A flat colour still has a profile in colour words, by which the
        // indexer can place it without letting it take part in the axes:
        // its patches are described below.
        if (!out.blankHasColour || !m_options.colour)
            return out;
    }
    std::vector<cv::KeyPoint> working;
    QString error;
    bool blankOnly = false;
    if (!m_detector.detectScaled(image.grey, float(image.scale), m_options.gridStep, out.keypoints,
                                 out.descriptors, &working, &error, &blankOnly, image.alpha)) {
        if (out.blank) { // still a blank image, only without a profile
            out.keypoints.clear();
            out.descriptors.release();
            return out;
        }
        out.status = DecodedImage::Unreadable;
        out.reason = error;
        out.keypoints.clear();
        out.descriptors.release();
        return out;
    }
    if (!image.alpha.empty() && !working.empty())
        dropUndrawn(image.alpha, out.keypoints, out.descriptors, working);
    if (m_options.rootSift && !out.descriptors.empty())
        KeypointDetector::toRootSift(out.descriptors);
    if (m_options.colour && !working.empty()) {
        out.colourDescriptors = colourDescriptors(image.colour, working, image.alpha);
        if (m_options.colourLayout > 0)
            appendLayout(out.colourDescriptors, working, image.colour.size(), m_options.colourLayout);
        // Blank patches all look alike in grey; words made of them would be
        // these images' alone and pull them far from everything else on the
        // map. Their colours are what they share with other pictures.
        if (blankOnly)
            out.descriptors.release();
    }
    return out;
}

DecodedImage FeatureExtractor::toWorkSide(const DecodedImage &image, int side)
{
    const int longer = std::max(image.grey.cols, image.grey.rows);
    if (side <= 0 || longer <= 0 || longer == side)
        return image;
    // Every image at the same size: a grid step and a keypoint size then
    // cover the same share of any drawing, whatever the file's resolution,
    // and a large file no longer outweighs a small one in the table.
    const double f = double(side) / longer;
    const int interpolation = f < 1 ? cv::INTER_AREA : cv::INTER_LINEAR;
    DecodedImage out = image;
    cv::resize(image.grey, out.grey, cv::Size(), f, f, interpolation);
    if (!image.colour.empty())
        cv::resize(image.colour, out.colour, out.grey.size(), 0, 0, interpolation);
    if (!image.alpha.empty())
        cv::resize(image.alpha, out.alpha, out.grey.size(), 0, 0, interpolation);
    out.scale = image.scale * double(image.grey.cols) / out.grey.cols;
    return out;
}

cv::Mat FeatureExtractor::colourDescriptors(const cv::Mat &bgr,
                                            const std::vector<cv::KeyPoint> &keypoints,
                                            const cv::Mat &alpha)
{
    if (!alpha.empty())
        return drawnColourDescriptors(bgr, keypoints, alpha);
    cv::Mat lab, sum;
    cv::cvtColor(bgr, lab, cv::COLOR_BGR2Lab);
    cv::integral(lab, sum, CV_64F);
    cv::Mat out(int(keypoints.size()), colourSize, CV_8U);
    const int w = bgr.cols, h = bgr.rows;
    for (size_t i = 0; i < keypoints.size(); ++i) {
        const cv::KeyPoint &kp = keypoints[i];
        // The patch SIFT describes reaches about 2.5 sizes across.
        const float r = std::max(2.0f, 1.25f * kp.size);
        const int x0 = std::clamp(int(kp.pt.x - r), 0, w - 1), x1 = std::clamp(int(kp.pt.x + r) + 1, 1, w);
        const int y0 = std::clamp(int(kp.pt.y - r), 0, h - 1), y1 = std::clamp(int(kp.pt.y + r) + 1, 1, h);
        const int xm = std::clamp(int(kp.pt.x + 0.5f), x0 + 1, std::max(x0 + 1, x1 - 1));
        const int ym = std::clamp(int(kp.pt.y + 0.5f), y0 + 1, std::max(y0 + 1, y1 - 1));
        const int xs[3] = {x0, std::min(xm, x1), x1}, ys[3] = {y0, std::min(ym, y1), y1};
        uchar *row = out.ptr<uchar>(int(i));
        for (int q = 0; q < 4; ++q) {
            const int ax = xs[q % 2], bx = std::max(xs[q % 2 + 1], ax + 1);
            const int ay = ys[q / 2], by = std::max(ys[q / 2 + 1], ay + 1);
            const int cx = std::min(bx, w), cy = std::min(by, h);
            const double n = double(cx - ax) * (cy - ay);
            for (int c = 0; c < 3; ++c) {
                const double s = sum.at<cv::Vec3d>(cy, cx)[c] - sum.at<cv::Vec3d>(ay, cx)[c]
                                 - sum.at<cv::Vec3d>(cy, ax)[c] + sum.at<cv::Vec3d>(ay, ax)[c];
                row[q * 3 + c] = cv::saturate_cast<uchar>(n > 0 ? s / n : 0);
            }
        }
    }
    return out;
}

namespace {

cv::Mat drawnColourDescriptors(const cv::Mat &bgr, const std::vector<cv::KeyPoint> &keypoints,
                               const cv::Mat &alpha)
{
    // Over white, a pixel of colour c and opacity a shows c a + 255 (1 - a):
    // adding a - 255 back gives c a, whose sums over a box divided by the
    // box's opacity are the mean colour of what is drawn there.
    cv::Mat drawn(bgr.size(), CV_32FC4);
    for (int y = 0; y < bgr.rows; ++y) {
        const unsigned char *c = bgr.ptr<unsigned char>(y), *a = alpha.ptr<unsigned char>(y);
        cv::Vec4f *d = drawn.ptr<cv::Vec4f>(y);
        for (int x = 0; x < bgr.cols; ++x, c += 3) {
            const float back = 255.0f - a[x];
            d[x] = cv::Vec4f(std::max(0.0f, c[0] - back), std::max(0.0f, c[1] - back),
                             std::max(0.0f, c[2] - back), float(a[x]));
        }
    }
    cv::Mat sum;
    cv::integral(drawn, sum, CV_64F);
    const int w = bgr.cols, h = bgr.rows;
    cv::Mat means(int(keypoints.size()), 4, CV_8UC3);
    for (size_t i = 0; i < keypoints.size(); ++i) {
        const cv::KeyPoint &kp = keypoints[i];
        int x0, y0, x1, y1;
        patchBox(kp, w, h, &x0, &y0, &x1, &y1);
        const int xm = std::clamp(int(kp.pt.x + 0.5f), x0 + 1, std::max(x0 + 1, x1 - 1));
        const int ym = std::clamp(int(kp.pt.y + 0.5f), y0 + 1, std::max(y0 + 1, y1 - 1));
        const int xs[3] = {x0, std::min(xm, x1), x1}, ys[3] = {y0, std::min(ym, y1), y1};
        // A quarter with nothing drawn takes the colour of the whole patch.
        double whole[3], opacity = boxSum<4>(sum, x0, y0, x1, y1, 3);
        for (int c = 0; c < 3; ++c)
            whole[c] = opacity > 0 ? 255.0 * boxSum<4>(sum, x0, y0, x1, y1, c) / opacity : 255.0;
        for (int q = 0; q < 4; ++q) {
            const int ax = xs[q % 2], bx = std::min(std::max(xs[q % 2 + 1], ax + 1), w);
            const int ay = ys[q / 2], by = std::min(std::max(ys[q / 2 + 1], ay + 1), h);
            const double a = boxSum<4>(sum, ax, ay, bx, by, 3);
            cv::Vec3b &m = means.at<cv::Vec3b>(int(i), q);
            for (int c = 0; c < 3; ++c)
                m[c] = cv::saturate_cast<uchar>(a >= 255.0 ? 255.0 * boxSum<4>(sum, ax, ay, bx, by, c) / a
                                                           : whole[c]);
        }
    }
    cv::Mat lab;
    if (!means.empty())
        cv::cvtColor(means, lab, cv::COLOR_BGR2Lab);
    // Rows of four Lab triples are the 12 values of each keypoint.
    return lab.empty() ? cv::Mat(0, FeatureExtractor::colourSize, CV_8U)
                       : lab.reshape(1, int(keypoints.size()));
}

} // namespace

void FeatureExtractor::appendLayout(cv::Mat &colour, const std::vector<cv::KeyPoint> &keypoints,
                                    cv::Size picture, int weightPercent)
{
    cv::Mat out(colour.rows, colourLayoutSize, CV_8U);
    colour.copyTo(out.colRange(0, colourSize));
    // Centred on 128, so that the weight shrinks positions towards the
    // middle rather than towards a corner.
    const double w = weightPercent / 100.0;
    for (int i = 0; i < colour.rows; ++i) {
        const cv::KeyPoint &kp = keypoints[size_t(i)];
        const double x = 255.0 * kp.pt.x / std::max(1, picture.width - 1);
        const double y = 255.0 * kp.pt.y / std::max(1, picture.height - 1);
        out.at<uchar>(i, colourSize) = cv::saturate_cast<uchar>(128 + w * (x - 128));
        out.at<uchar>(i, colourSize + 1) = cv::saturate_cast<uchar>(128 + w * (y - 128));
    }
    colour = out;
}
