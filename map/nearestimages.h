#ifndef NEARESTIMAGES_H
#define NEARESTIMAGES_H

#include <QtGlobal>

#include <utility>
#include <vector>

class CAData;

// The images most similar to one image, by ascending CAData::distance, for
// the map's hover: one scan of every image per movement, so it must stay a
// few milliseconds at a million images.
//
// The scan reads a one-byte-per-value copy of the rows scaled to unit length,
// laid out so that one pass computes sixteen images' dot products side by
// side, and measures exactly only the images whose estimate comes within the
// proven quantisation error of the list; the answer is the one the exact scan
// of every image gives.
class NearestImages
{
public:
    // Images side by side in one pass of the scan.
    static constexpr int kLanes = 16;

    // The `count` images nearest to `focus`, nearest first. Each distance
    // value is taken once: an image whose distance equals that of a
    // lower-numbered image is left out. An image whose distance is not a
    // number is never a neighbour.
    void find(const CAData &data, int focus, int count, std::vector<int> &out);

    // Forgets the copy: the next search builds it for the data it is given.
    // Needed when another analysis is loaded at the same address.
    void reset();

    // Whether the last search could use the quantised copy (false when the
    // rows were too many to copy, or the focus row cannot be scaled).
    bool lastUsedEstimates() const { return usedEstimates; }

private:
    using Entry = std::pair<double, int>;

    void build(const CAData &data);
    void findSorted(const CAData &data, int focus, int count);
    void findBounded(const CAData &data, int focus, int count);
    // Offers image `i` at exact distance `d` to the bounded list; returns
    // whether the list changed.
    bool offer(double d, int i, int count);

    const CAData *builtFor = nullptr;
    int images = 0;
    int axes = 0;
    // Per group of kLanes images: axes x kLanes values, axis by axis.
    std::vector<qint8> rows;
    // Per group: the images whose estimate cannot be trusted (no finite
    // length, or one so large or small that the exact distance overflows);
    // they are always measured exactly.
    std::vector<quint16> irregular;
    // The focus image's scaled row, widened once per search.
    std::vector<qint16> focusRow;
    std::vector<Entry> best;
    bool usedEstimates = false;
};

#endif // NEARESTIMAGES_H
