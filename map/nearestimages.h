#ifndef NEARESTIMAGES_H
#define NEARESTIMAGES_H

#include "map/directiontree.h"

#include <QFuture>
#include <QtGlobal>

#include <memory>
#include <utility>
#include <vector>

class CAData;

// The images most similar to one image, by ascending CAData::distance, for
// the map's hover: a search per movement, so it must stay well under a
// millisecond at a million images.
//
// The images are grouped by direction (DirectionTree): the groups are
// visited most promising first, and the search stops at the first group
// whose bound cannot beat the list. Inside a group it reads a
// one-byte-per-value copy of the rows scaled to unit length, sixteen images'
// dot products side by side, and measures exactly only the images whose
// estimate comes within the proven quantisation error of the list; the
// answer is the one the exact scan of every image gives.
//
// From `kBackgroundFrom` images on, the groups are built on a worker thread
// (about a second at a million images); until they are ready each search
// measures every image exactly (some 25 ms at a million), so the first hover
// never waits for the build. The data must then stay as it is until reset()
// or the destructor, which wait for the build.
class NearestImages
{
public:
    static constexpr int kBackgroundFrom = 200000;

    NearestImages() = default;
    ~NearestImages();
    NearestImages(const NearestImages &) = delete;
    NearestImages &operator=(const NearestImages &) = delete;

    // Images side by side in one pass of the scan.
    static constexpr int kLanes = DirectionTree::kLanes;

    // The `count` images nearest to `focus`, nearest first. Each distance
    // value is taken once: an image whose distance equals that of a
    // lower-numbered image is left out. An image whose distance is not a
    // number is never a neighbour.
    void find(const CAData &data, int focus, int count, std::vector<int> &out);

    // Forgets the copy: the next search builds it for the data it is given.
    // Needed when another analysis is loaded at the same address, and before
    // the data searched goes away.
    void reset();

    // Analyses of at least this many images get their groups built in the
    // background (tests lower it).
    void setBackgroundFrom(int images) { m_backgroundFrom = images; }
    // Waits for a build in the background, if any, and takes its result:
    // the next search of `data` uses the groups.
    void waitForGroups(const CAData &data);

    // Whether the last search could use the quantised copy (false when the
    // rows were too many to copy, or the focus row cannot be scaled).
    bool lastUsedEstimates() const { return usedEstimates; }
    // Images the last search looked at (estimated or measured), for the
    // benchmarks: all of them without the copy.
    int lastScanned() const { return scanned; }

private:
    using Entry = std::pair<double, int>;

    void findSorted(const CAData &data, int focus, int count);
    // Whether the groups of `data` are ready; else starts building them in
    // the background when the analysis is large enough, or builds them now.
    bool groupsReady(const CAData &data);
    bool adoptBuilt(const CAData &data);
    void findBounded(const CAData &data, int focus, int count);
    // Estimates the images of the tree's groups [first, end) and measures
    // those that may enter the list.
    void scanGroups(const CAData &data, int focus, int count, int first, int end);
    void tighten();
    // Offers image `i` at exact distance `d` to the bounded list; returns
    // whether the list changed.
    bool offer(double d, int i, int count);

    DirectionTree tree;
    // A tree being built on a worker thread, for `m_nextFor`; moved into
    // `tree` once finished.
    std::unique_ptr<DirectionTree> m_next;
    const CAData *m_nextFor = nullptr;
    QFuture<void> m_building;
    int m_backgroundFrom = kBackgroundFrom;
    // The focus image's unit row, and its stored bytes widened.
    std::vector<double> focusUnit;
    std::vector<qint16> focusRow;
    // Estimates at or above this may enter the list.
    qint16 threshold = 0;
    double slack = 0;
    // Nodes to visit, by their bound, largest on top.
    std::vector<std::pair<double, int>> pending;
    std::vector<Entry> best;
    bool usedEstimates = false;
    int scanned = 0;
};

#endif // NEARESTIMAGES_H
