#include "index/rtree.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace {

// A node with this many ids or fewer is not split.
constexpr int kLeafSize = 9;

// Largest block of nodes allocated at once (about 400 KB).
constexpr int kMaxBlock = 4096;

} // namespace

RTree::RTree() = default;

RTree::~RTree()
{
    destroy();
}

void RTree::beginSetData()
{
    destroy();
    points.clear();
}

void RTree::addPoint(const Point& p)
{
    points.push_back(p);
}

void RTree::endSetData()
{
    construct();
}

void RTree::construct()
{
    // endSetData again without beginSetData (points added on top) rebuilds
    // from scratch.
    destroy();
    if (points.empty())
        return;

    const int n = static_cast<int>(points.size());
    root = newNode();
    root->lo = Point(points[0].x, points[0].y, 0);
    root->hi = root->lo;
    for (int i = 1; i < n; ++i) {
        const Point& p = points[i];
        if (root->lo.x > p.x)
            root->lo.x = p.x;
        else if (p.x > root->hi.x)
            root->hi.x = p.x;
        if (root->lo.y > p.y)
            root->lo.y = p.y;
        else if (p.y > root->hi.y)
            root->hi.y = p.y;
    }
    root->ids.resize(n);
    for (int i = 0; i < n; ++i)
        root->ids[i] = i;

    work[0].reset(new Entry[n]);
    work[1].reset(new Entry[n]);
    for (int i = 0; i < n; ++i)
        work[0][i] = Entry{points[i].x, points[i].y, i, points[i].id};
    scratch.reset(new double[n]);
    leafPoints.reserve(n);

    construct(root, true, 0, 0);

    work[0].reset();
    work[1].reset();
    scratch.reset();
}

void RTree::construct(Node* node, bool splitOnY, int begin, int side)
{
    const int n = static_cast<int>(node->ids.size());
    const Entry* entries = work[side].get() + begin;
    if (n <= kLeafSize) {
        makeLeaf(node, entries);
        return;
    }

    double* values = scratch.get();
    if (splitOnY) {
        for (int i = 0; i < n; ++i)
            values[i] = entries[i].y;
    } else {
        for (int i = 0; i < n; ++i)
            values[i] = entries[i].x;
    }
    const double m = quick_select(values, n);

    // Count first: a split that would leave one side empty keeps the node a
    // leaf (only the other axis could help, and that is not tried), and
    // knowing both sizes lets each child's list be allocated once. The
    // selection only permuted the values, so counting them still works.
    int leftCount = 0;
    for (int i = 0; i < n; ++i)
        leftCount += values[i] < m;
    if (leftCount == 0 || leftCount == n) {
        makeLeaf(node, entries);
        return;
    }

    Node* left = newNode();
    Node* right = newNode();
    left->lo = right->lo = node->lo;
    left->hi = right->hi = node->hi;
    if (splitOnY) {
        left->hi.y = m;
        right->lo.y = m;
    } else {
        left->hi.x = m;
        right->lo.x = m;
    }
    left->ids.resize(leftCount);
    right->ids.resize(n - leftCount);
    node->left = left;
    node->right = right;

    // Stable partition into the other side keeps each child's entries, and
    // so its ids, in ascending order. The destination is chosen by
    // arithmetic, not by a branch: the comparison's outcome is random and a
    // branch on it would mispredict half the time.
    Entry* const to = work[1 - side].get() + begin;
    int* const leftIds = left->ids.data();
    int* const rightIds = right->ids.data();
    int l = 0;
    int r = 0;
    for (int i = 0; i < n; ++i) {
        const Entry& e = entries[i];
        const bool below = (splitOnY ? e.y : e.x) < m;
        to[below ? l : leftCount + r] = e;
        *(below ? leftIds + l : rightIds + r) = e.index;
        l += below;
        r += !below;
    }

    construct(left, !splitOnY, begin, 1 - side);
    construct(right, !splitOnY, begin + leftCount, 1 - side);
}

void RTree::makeLeaf(Node* node, const Entry* entries)
{
    const int n = static_cast<int>(node->ids.size());
    node->first = static_cast<int>(leafPoints.size());
    for (int i = 0; i < n; ++i)
        leafPoints.emplace_back(entries[i].x, entries[i].y, entries[i].id);
}

RTree::Node* RTree::newNode()
{
    if (blockUsed == blockSize) {
        blockSize = blockSize == 0 ? 16 : std::min(2 * blockSize, kMaxBlock);
        nodeBlocks.emplace_back(new Node[blockSize]);
        blockUsed = 0;
    }
    return &nodeBlocks.back()[blockUsed++];
}

void RTree::destroy()
{
    root = nullptr;
    // Every node, with its ids, lives in the blocks: freeing them frees the
    // whole tree without walking it.
    nodeBlocks.clear();
    blockSize = 0;
    blockUsed = 0;
    leafPoints.clear();
}

double quick_select(double* values, int n)
{
    if (!values || n <= 0)
        return std::numeric_limits<double>::quiet_NaN();

    const int k = (n - 1) / 2;
    int low = 0;
    int high = n - 1;
    for (;;) {
        if (high <= low)
            return values[k];
        if (high == low + 1) {
            if (values[low] > values[high])
                std::swap(values[low], values[high]);
            return values[k];
        }

        // Median of three ends up at low, the smallest of the three at
        // low + 1 and the largest at high: they stop both scans below
        // without bounds checks.
        const int middle = (low + high) / 2;
        if (values[middle] > values[high])
            std::swap(values[middle], values[high]);
        if (values[low] > values[high])
            std::swap(values[low], values[high]);
        if (values[middle] > values[low])
            std::swap(values[middle], values[low]);
        std::swap(values[middle], values[low + 1]);

        int ll = low + 1;
        int hh = high;
        for (;;) {
            do
                ++ll;
            while (values[low] > values[ll]);
            do
                --hh;
            while (values[hh] > values[low]);
            if (hh < ll)
                break;
            std::swap(values[ll], values[hh]);
        }

        std::swap(values[low], values[hh]);
        if (hh <= k)
            low = ll;
        if (hh >= k)
            high = hh - 1;
    }
}
