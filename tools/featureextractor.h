#ifndef FEATUREEXTRACTOR_H
#define FEATUREEXTRACTOR_H

#include "data/model/sift.h"
#include "tools/imagereader.h"
#include "tools/keypointdetector.h"

#include <QString>

#include <opencv2/core.hpp>

#include <vector>

// How one image is described. The defaults are those of the command line.
struct FeatureOptions
{
    int maxKeypoints = 500;  // strongest detected keypoints kept
    int gridStep = 0;        // dense keypoints every N working pixels; 0: none
    int workSide = 0;        // longer side every image is brought to first; 0: as read
    bool rootSift = false;   // RootSIFT instead of plain SIFT descriptors
    bool colour = false;     // a colour descriptor for every keypoint too
    int gridScales = 1;      // grid patch sizes (step, 2 step, 4 step)
    int colourLayout = 0;    // weight (percent) of the position in colour descriptors
    ImageReader::Limits limits;
};

// The per-image work of an indexing run, independent of every other image:
// what the reader made of the file, and its keypoints with their
// descriptors (grey, and colour when asked). Row i of each descriptor
// matrix belongs to keypoints[i].
struct ImageFeatures
{
    DecodedImage::Status status = DecodedImage::Unreadable;
    QString reason;                 // why it cannot be indexed
    std::vector<Sift> keypoints;    // word -1; positions in pixels of the file
    cv::Mat descriptors;            // CV_8U, 128 columns; empty when described by colour alone
    cv::Mat colourDescriptors;      // CV_8U, colourSize columns, or empty
    // Nothing to describe: fully transparent, or a single flat colour.
    // Such an image is left out of the table; `reason` says which.
    bool blank = false;
    bool blankHasColour = false;    // a flat colour, which colour words can still place
    cv::Vec3b blankColour;          // that colour (BGR), when it has one
};

// Decodes an image and describes it. One extractor per worker thread (the
// detector inside is not shared); the result depends on the file and the
// options only.
class FeatureExtractor
{
public:
    explicit FeatureExtractor(const FeatureOptions &options);

    ImageFeatures extract(const QString &path);
    // Same on an image already decoded.
    ImageFeatures describe(const DecodedImage &image);

    // The image scaled so that its longer side is `side` (enlarged when
    // smaller); `scale` still maps its pixels back to the file's. A side
    // of 0 leaves it as it is.
    static DecodedImage toWorkSide(const DecodedImage &image, int side);

    // Mean colour (CIE L*a*b*, bytes) of the four quarters of each
    // keypoint's patch at the working scale: 12 values. Given an `alpha`,
    // the means are of the drawn pixels only (weighted by their opacity),
    // `bgr` being the picture over white: the transparent background gives
    // no colour of its own.
    static cv::Mat colourDescriptors(const cv::Mat &bgr, const std::vector<cv::KeyPoint> &keypoints,
                                     const cv::Mat &alpha = cv::Mat());
    static constexpr int colourSize = 12;
    // With a layout, two more values: the patch's position across and down
    // the picture (0..255) times the layout weight.
    static constexpr int colourLayoutSize = 14;
    static void appendLayout(cv::Mat &colour, const std::vector<cv::KeyPoint> &keypoints,
                             cv::Size picture, int weightPercent);

    // Whether an image at working scale has nothing to describe: every
    // pixel transparent, or every drawn pixel of one colour. `reason` says
    // which; `colour` receives the flat colour (BGR) and `hasColour` whether
    // there is one.
    static bool isBlank(const DecodedImage &image, QString *reason, bool *hasColour,
                        cv::Vec3b *colour);

private:
    FeatureOptions m_options;
    KeypointDetector m_detector;
};

#endif // FEATUREEXTRACTOR_H
