#include "tools/featureextractor.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

FeatureExtractor::FeatureExtractor(const FeatureOptions &options)
    : m_options(options), m_detector(options.maxKeypoints)
{
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
    std::vector<cv::KeyPoint> working;
    QString error;
    bool blankOnly = false;
    if (!m_detector.detectScaled(image.grey, float(image.scale), m_options.gridStep, out.keypoints,
                                 out.descriptors, &working, &error, &blankOnly)) {
        out.status = DecodedImage::Unreadable;
        out.reason = error;
        out.keypoints.clear();
        out.descriptors.release();
        return out;
    }
    if (m_options.rootSift && !out.descriptors.empty())
        KeypointDetector::toRootSift(out.descriptors);
    if (m_options.colour && !working.empty()) {
        out.colourDescriptors = colourDescriptors(image.colour, working);
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
    out.scale = image.scale * double(image.grey.cols) / out.grey.cols;
    return out;
}

cv::Mat FeatureExtractor::colourDescriptors(const cv::Mat &bgr,
                                            const std::vector<cv::KeyPoint> &keypoints)
{
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
