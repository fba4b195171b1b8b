#ifndef WORDATLASBUILDER_H
#define WORDATLASBUILDER_H

#include <QImage>
#include <QMap>
#include <QString>

#include <QList>

#include <functional>

class CAData;
struct Sift;

// Makes the pictures of a word atlas from an analysis's keypoint files and
// images: for each word, a mosaic of patches cut around keypoints assigned
// to it, each from a different image, drawn in the keypoint's own frame
// (its affine region scaled to the patch), so that the patches of a word
// line up as the detector saw them.
class WordAtlasBuilder
{
public:
    int patchSize = 28;   // pixels of one patch
    int columns = 3;      // patches per row
    int patches = 6;      // patches per word, at most
    double context = 2.0; // patch half-width in units of the region's radius
    int maxImages = 4000; // images visited at most, spread over the collection

    // Called after each image visited with (visited, to visit); returning
    // false stops the build (false then, with `error` saying so).
    std::function<bool(int, int)> progress;

    // Mosaics of the words (vocabulary numbers) found in the images visited.
    // False with `error` set when the analysis has no images or keypoint
    // files, or the build was stopped.
    bool build(const CAData &data, QMap<int, QImage> &mosaics, QString *error) const;

    // Where the patches come from when there is no analysis yet (the indexer,
    // before its project exists): `images` images, the keypoints and the
    // picture of each, and the number of words (0: unknown), so the visit
    // stops once every word has its patches.
    struct Source
    {
        int images = 0;
        int words = 0;
        std::function<QList<Sift>(int)> keypoints;
        std::function<QImage(int)> picture;
    };
    bool build(const Source &source, QMap<int, QImage> &mosaics, QString *error) const;

    // The patch of a keypoint of shape (a11, a12, a21, a22) at (x, y).
    QImage patch(const QImage &image, double x, double y, double a11, double a12, double a21, double a22) const;
};

#endif // WORDATLASBUILDER_H
