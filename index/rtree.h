#ifndef ORTELIS_RTREE_H
#define ORTELIS_RTREE_H

#include "index/point.h"

#include <memory>
#include <vector>

// 2-d median-split point index: answers "which points lie within r of
// (x, y)". Every interior node splits its cell at the lower median of its
// points on one axis, alternating y, x, y, ... from the root down. The tree is
// rebuilt whole on every refill (beginSetData, addPoint..., endSetData) and
// never updated in place.
//
// Results come depth-first, left subtree before right, and inside a leaf in
// insertion order. Callers rely on that order (the first reported point is the
// one under the cursor), so it is part of the interface.
class RTree
{
public:
    // A cell of the tree. Nodes belong to the tree, which allocates them in
    // blocks; never delete one.
    struct Node
    {
        Point lo;              // minimum corner of the cell (id unused)
        Point hi;              // maximum corner of the cell (id unused)
        Node* left = nullptr;  // coordinates below the split value; null in a leaf
        Node* right = nullptr; // coordinates at or above the split value
        std::vector<int> ids;  // indices into points, ascending
        int first = 0;         // leaf only: where its points start in leafPoints
    };

    RTree();
    ~RTree();
    RTree(const RTree&) = delete;
    RTree& operator=(const RTree&) = delete;

    void beginSetData();
    void addPoint(const Point& p);
    void endSetData();

    // Appends the id of every point within r of (x, y); out is not cleared.
    void find(std::vector<int>& out, double x, double y, double r) const;

    std::vector<Point> points; // in insertion order; nodes refer to them by index
    Node* root = nullptr;      // null while empty or being refilled

    // Copies of the points, leaf after leaf in depth-first order and in ids
    // order inside each leaf, so that a query reads each leaf's points from
    // one contiguous run instead of chasing ids through points. Written by
    // endSetData; points must not be edited while the tree is built.
    std::vector<Point> leafPoints;

private:
    // A point as the build moves it around: coordinates next to the index
    // and the caller's id, so that splits read memory in order.
    struct Entry
    {
        double x;
        double y;
        int index;
        int id;
    };

    Node* newNode();
    void construct();
    // Splits node and recurses. Its points lie in order of its ids in
    // work[side][begin .. begin + ids.size()).
    void construct(Node* node, bool splitOnY, int begin, int side);
    void makeLeaf(Node* node, const Entry* entries);
    void find(const Node* node, std::vector<int>& out, double x, double y, double r) const;
    void destroy();

    // Nodes are carved out of blocks in build order, which is depth-first,
    // left before right: a query walking down reads neighbouring memory,
    // and a refill frees a few blocks rather than one allocation per node.
    // Blocks grow geometrically, so a small tree stays small.
    std::vector<std::unique_ptr<Node[]>> nodeBlocks;
    int blockSize = 0; // nodes in the last block
    int blockUsed = 0; // of which handed out

    // Build workspace, released when the build ends: each split reads its
    // node's entries from one side and writes both children's to the other
    // side at the same place, so a subtree never disturbs its siblings'.
    // Left uninitialised (new[] of plain structs): every slot is written
    // before it is read.
    std::unique_ptr<Entry[]> work[2];
    // Split coordinates of the node being split; quick_select permutes them.
    std::unique_ptr<double[]> scratch;
};

// Lower median of values[0..n-1] (rank (n-1)/2); permutes the array. Returns
// NaN when there is no value to pick.
double quick_select(double* values, int n);

// Whether the circle of radius r around (cx, cy) reaches the rectangle
// [xmin, xmax] x [ymin, ymax]. A rectangle at exactly distance r is not
// reached; one containing the centre always is.
bool Check_Intersect(double xmin, double ymin, double xmax, double ymax,
                     double cx, double cy, double r);

#endif
