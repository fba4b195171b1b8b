#ifndef DESCRIPTORSPILL_H
#define DESCRIPTORSPILL_H

#include "data/model/sift.h"

#include <QString>

#include <opencv2/core.hpp>

#include <vector>

// Descriptors of the images waiting for their words, kept on disk rather
// than in memory: a collection of any size is described before the
// vocabulary exists, and only a sample of each image's descriptors stays in
// memory for k-means. One file per image in a folder of the staging area.
class DescriptorSpill
{
public:
    explicit DescriptorSpill(const QString &folder) : m_folder(folder) {}

    // Thread-safe for distinct images.
    bool write(int image, const std::vector<Sift> &keypoints, const cv::Mat &grey,
               const cv::Mat &colour, QString *error) const;
    // Reads and deletes the image's file.
    bool take(int image, std::vector<Sift> &keypoints, cv::Mat &grey, cv::Mat &colour,
              QString *error) const;

private:
    QString path(int image) const;
    QString m_folder;
};

#endif // DESCRIPTORSPILL_H
