#ifndef KEYPOINTDETECTOR_H
#define KEYPOINTDETECTOR_H

#include "data/model/sift.h"

#include <QString>

#include <opencv2/core.hpp>
#include <opencv2/features2d.hpp>

#include <vector>

// SIFT keypoints and descriptors of one image, strongest first. One detector
// per worker thread: the OpenCV object is not shared between threads.
class KeypointDetector
{
public:
    // `maxSide` > 0 scales larger images down before detection; positions and
    // shapes are given in pixels of the original image all the same.
    explicit KeypointDetector(int maxKeypoints, int maxSide = 0);

    // Reads the image and detects its keypoints. `keypoints` get `id` = rank
    // and `word` = -1; row i of `descriptors` (CV_8U, 128 columns) belongs
    // to keypoints[i]. An image without keypoints succeeds with both empty.
    // Returns false, with `error` set, when the image cannot be read.
    bool detect(const QString &path, std::vector<Sift> &keypoints, cv::Mat &descriptors,
                QString *error);

    // Same on an image already in memory (8-bit grey).
    bool detect(const cv::Mat &grey, std::vector<Sift> &keypoints, cv::Mat &descriptors,
                QString *error);

    // Same on an image already at the working scale, whose pixels are
    // `back` pixels of the original each. With a grid step, keypoints on a
    // regular grid of that step (working pixels) follow the detected ones,
    // except where the patch is blank: flat clip art has few blobs and
    // corners, but its shapes and strokes still describe it. An image
    // where neither finds anything (a smooth gradient, a flat colour) is
    // described by its blank patches, and `blankOnly` says so.
    // With an `alpha` (CV_8U, same size; empty: all opaque), grid patches
    // that are mostly transparent are left out like blank ones: over white
    // they show the background, not the drawing.
    bool detectScaled(const cv::Mat &work, float back, int gridStep, std::vector<Sift> &keypoints,
                      cv::Mat &descriptors, std::vector<cv::KeyPoint> *atWorkingScale,
                      QString *error, bool *blankOnly = nullptr,
                      const cv::Mat &alpha = cv::Mat());

    // Grid keypoints of `grey` at `step` pixels whose patch is not flat
    // (every patch with `keepBlank`) and, given an `alpha`, not mostly
    // transparent, in raster order. None reaches closer than a patch to the
    // border.
    static std::vector<cv::KeyPoint> gridKeypoints(const cv::Mat &grey, int step,
                                                   bool keepBlank = false,
                                                   const cv::Mat &alpha = cv::Mat());

    // RootSIFT: each descriptor divided by its sum and square-rooted, so
    // that Euclidean distances between them compare like the Hellinger
    // kernel; stored as bytes (x 512, like SIFT's own bytes).
    static void toRootSift(cv::Mat &descriptors);

    // The keypoint as a record: a round region of radius size/2 turned by the
    // keypoint's angle (degrees, clockwise on screen as y grows downwards).
    static Sift toSift(const cv::KeyPoint &keypoint, int id, float scale = 1.0f);

    // Decodes an image to 8-bit grey with OpenCV, or with Qt for the formats
    // only Qt reads. An empty matrix means the file could not be decoded.
    static cv::Mat readGrey(const QString &path, QString *error);

    // Grid patches at this many sizes: the step, twice and four times it.
    void setGridScales(int scales) { m_gridScales = scales; }

    static constexpr int descriptorSize = 128;
    // Smaller images are not given to SIFT.
    static constexpr int minimumSide = 16;

private:
    int m_maxKeypoints;
    int m_maxSide;
    int m_gridScales = 1;
    cv::Ptr<cv::SIFT> m_sift;
};

#endif // KEYPOINTDETECTOR_H
