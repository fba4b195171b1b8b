#ifndef DIRECTIONTREE_H
#define DIRECTIONTREE_H

#include <QtGlobal>

#include <utility>
#include <vector>

class CAData;

// The images' rows scaled to unit length, grouped by direction, for the
// nearest-images search: the similarity of two images is the cosine of their
// rows, so images pointing the same way are kept together, and a whole group
// can be passed over when no direction inside its box comes close enough.
//
// The images are put in the order of a key that interleaves the bits of
// their unit components, the widest axis first, and the tree splits that
// order where the key's bits change: each node is a cell halved along one
// axis, and it keeps the box of its images' actual unit rows, so its bound
// is tight whatever the cell. The leaves hold a one-byte copy of the unit
// rows, sixteen images side by side per group (padded with empty lanes),
// which the search scans to estimate cosines before measuring them exactly.
//
// Rows that cannot be scaled (not finite, zero, or so long or short that the
// exact distance's products overflow or underflow) are left out of the tree
// and listed apart: the search measures those exactly.
class DirectionTree
{
public:
    static constexpr int kLanes = 16;
    // A unit component u is stored as round(u * kScale) in a byte.
    static constexpr int kScale = 127;

    struct Node
    {
        int firstGroup = 0; // the node's groups, [firstGroup, endGroup)
        int endGroup = 0;
        int left = -1; // children, -1 for a leaf
        int right = -1;
    };

    // Builds the tree of `data`'s image rows. Leaves it empty when the copy
    // would be too large (more than 64 MB of bytes) or the axes too many for
    // the estimates (see NearestImages).
    void build(const CAData &data);
    void clear();
    bool isBuiltFor(const CAData &data) const;
    bool empty() const { return m_nodes.empty(); }

    int axes() const { return m_axes; }
    const std::vector<Node> &nodes() const { return m_nodes; }
    // The largest cosine any image of `node` can have with the unit row `f`
    // (exact arithmetic; the caller leaves room for rounding).
    double cosineBound(int node, const double *f) const;
    // Group g: axes x kLanes bytes, axis by axis.
    const qint8 *group(int g) const { return m_rows.data() + std::size_t(g) * std::size_t(m_axes) * kLanes; }
    // The image in lane `lane` of group g, -1 for an empty lane.
    int image(int g, int lane) const { return m_images[std::size_t(g) * kLanes + std::size_t(lane)]; }
    // Images left out of the tree, ascending.
    const std::vector<int> &irregular() const { return m_irregular; }

    // 1 / |z| for a row that can be scaled, else 0.
    static double inverseLength(const double *z, int axes);
    // Scales `z` (axes values) to unit length into `unit`; false for a row
    // that cannot be scaled (see above), leaving `unit` undefined.
    static bool unitRow(const double *z, int axes, double *unit);
    // The stored bytes of a unit row, `step` bytes apart.
    static void quantise(const double *unit, int axes, qint8 *out, std::size_t step);

private:
    int addNode(const std::vector<quint64> &keys, int begin, int end, int bit);

    const CAData *m_builtFor = nullptr;
    int m_imagesCount = 0;
    int m_axes = 0;
    std::vector<Node> m_nodes;
    // Per node: axes lower bounds, then axes upper bounds of its unit rows.
    std::vector<double> m_boxes;
    std::vector<qint8> m_rows;
    std::vector<int> m_images;
    std::vector<int> m_irregular;
    // While building: the images in key order, and each node's range of it.
    std::vector<int> m_order;
    std::vector<std::pair<int, int>> m_ranges;
    int m_groupsSoFar = 0;
};

#endif // DIRECTIONTREE_H
