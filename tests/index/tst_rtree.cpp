// RTree: shape of the built tree, query results and their order, refills.
#include "index/rtree.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

// Ids differ from insertion indices so that mixing the two up shows.
int idOf(int index)
{
    return 1000 + 7 * index;
}

void fill(RTree& tree, const std::vector<Point>& pts)
{
    tree.beginSetData();
    for (const Point& p : pts)
        tree.addPoint(p);
    tree.endSetData();
}

std::vector<Point> withIds(const std::vector<std::pair<double, double>>& xy)
{
    std::vector<Point> pts;
    for (size_t i = 0; i < xy.size(); ++i)
        pts.emplace_back(xy[i].first, xy[i].second, idOf(static_cast<int>(i)));
    return pts;
}

std::vector<int> query(const RTree& tree, double x, double y, double r)
{
    std::vector<int> out;
    tree.find(out, x, y, r);
    return out;
}

std::vector<int> iota(int n)
{
    std::vector<int> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = i;
    return v;
}

double coordinate(const Point& p, bool onY)
{
    return onY ? p.y : p.x;
}

// Walks a built tree, checks every structural rule against an independent
// median, and records the leaves in depth-first order.
struct TreeWalk
{
    explicit TreeWalk(const RTree& t) : tree(t) {}

    const RTree& tree;
    QString error;
    int height = 0;
    int leafPointCount = 0;
    std::vector<const RTree::Node*> leaves;

    void fail(const QString& what)
    {
        if (error.isEmpty())
            error = what;
    }

    double lowerMedian(const std::vector<int>& ids, bool onY) const
    {
        std::vector<double> v;
        for (int i : ids)
            v.push_back(coordinate(tree.points[i], onY));
        const size_t k = (v.size() - 1) / 2;
        std::nth_element(v.begin(), v.begin() + k, v.end());
        return v[k];
    }

    void walk(const RTree::Node* node, bool onY, int depth)
    {
        if (!error.isEmpty())
            return;
        height = std::max(height, depth);
        const std::vector<int>& ids = node->ids;
        if (ids.empty())
            return fail("empty node");
        if (!std::is_sorted(ids.begin(), ids.end())
            || std::adjacent_find(ids.begin(), ids.end()) != ids.end())
            return fail(QString("ids not ascending at depth %1").arg(depth));
        for (int i : ids) {
            const Point& p = tree.points[i];
            if (p.x < node->lo.x || p.x > node->hi.x || p.y < node->lo.y || p.y > node->hi.y)
                return fail(QString("point %1 outside its cell at depth %2").arg(i).arg(depth));
        }
        if (node->lo.id != 0 || node->hi.id != 0)
            return fail("cell corner carries an id");
        if (!node->left != !node->right)
            return fail("node with one child");

        const double m = lowerMedian(ids, onY);
        std::vector<int> below, atOrAbove;
        for (int i : ids)
            (coordinate(tree.points[i], onY) < m ? below : atOrAbove).push_back(i);

        if (!node->left) {
            // The query reads a leaf's points from its run of leafPoints.
            if (node->first != leafPointCount
                || tree.leafPoints.size() < static_cast<size_t>(node->first) + ids.size())
                return fail(QString("leaf run misplaced at depth %1").arg(depth));
            for (size_t j = 0; j < ids.size(); ++j) {
                const Point& copy = tree.leafPoints[node->first + j];
                const Point& p = tree.points[ids[j]];
                if (copy.x != p.x || copy.y != p.y || copy.id != p.id)
                    return fail(QString("leaf run differs from point %1").arg(ids[j]));
            }
            leafPointCount += static_cast<int>(ids.size());
            leaves.push_back(node);
            if (ids.size() > 9 && !below.empty())
                fail(QString("leaf of %1 ids could have been split").arg(ids.size()));
            return;
        }
        if (ids.size() <= 9)
            return fail("split node of 9 ids or fewer");
        if (node->left->ids != below || node->right->ids != atOrAbove)
            return fail(QString("ids not distributed by %1 at depth %2").arg(m).arg(depth));

        Point leftHi = node->hi;
        Point rightLo = node->lo;
        (onY ? leftHi.y : leftHi.x) = m;
        (onY ? rightLo.y : rightLo.x) = m;
        const auto same = [](const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; };
        if (!same(node->left->lo, node->lo) || !same(node->left->hi, leftHi)
            || !same(node->right->lo, rightLo) || !same(node->right->hi, node->hi))
            return fail(QString("child cells wrong at depth %1").arg(depth));

        walk(node->left, !onY, depth + 1);
        walk(node->right, !onY, depth + 1);
    }

    // Position of each point (by insertion index) in the leaves' order.
    std::vector<int> leafPositions() const
    {
        std::vector<int> pos(tree.points.size(), -1);
        int next = 0;
        for (const RTree::Node* leaf : leaves)
            for (int i : leaf->ids)
                pos[i] = next++;
        return pos;
    }
};

QString checkRoot(const RTree& tree)
{
    const RTree::Node* root = tree.root;
    if (!root)
        return "no root";
    double lx = tree.points[0].x, hx = lx, ly = tree.points[0].y, hy = ly;
    for (const Point& p : tree.points) {
        lx = std::min(lx, p.x);
        hx = std::max(hx, p.x);
        ly = std::min(ly, p.y);
        hy = std::max(hy, p.y);
    }
    if (root->lo.x != lx || root->lo.y != ly || root->hi.x != hx || root->hi.y != hy)
        return "root cell is not the bounding box";
    if (root->ids != iota(static_cast<int>(tree.points.size())))
        return "root ids are not 0..n-1";
    if (tree.leafPoints.size() != tree.points.size())
        return "leaf runs do not hold every point once";
    return QString();
}

std::vector<Point> makePoints(const QString& kind, int n, std::mt19937& rng)
{
    std::vector<Point> pts;
    pts.reserve(n);
    std::uniform_real_distribution<double> ux(0.0, 2000.0), uy(0.0, 1500.0);
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (int i = 0; i < n; ++i) {
        double x = 0, y = 0;
        if (kind == "uniform real") {
            x = ux(rng);
            y = uy(rng);
        } else if (kind == "uniform pixels") {
            x = std::floor(ux(rng));
            y = std::floor(uy(rng));
        } else if (kind == "clustered pixels") {
            const int blob = static_cast<int>(rng() % 5);
            const double sigma = 3.0 + 10.0 * blob;
            x = std::trunc(300.0 + 350.0 * blob + sigma * gauss(rng));
            y = std::trunc(750.0 - 120.0 * blob + sigma * gauss(rng));
        } else if (kind == "few positions") {
            x = static_cast<double>(rng() % 4) * 10.0;
            y = static_cast<double>(rng() % 3) * 10.0;
        } else if (kind == "lines") {
            if (rng() % 2) {
                x = std::floor(ux(rng));
                y = 100.0;
            } else {
                x = 50.0;
                y = std::floor(uy(rng));
            }
        } else if (kind == "geometric ties") {
            std::geometric_distribution<int> geo(0.3);
            x = geo(rng);
            y = geo(rng);
        }
        pts.emplace_back(x, y, idOf(i));
    }
    return pts;
}

} // namespace

class TestRTree : public QObject
{
    Q_OBJECT

private slots:
    void emptyTreeReportsNothing();
    void smallTreeIsOneLeaf_data();
    void smallTreeIsOneLeaf();
    void tenPointsOnOneRowStayOneLeaf();
    void tenRowsSplitAtLowerMedian();
    void pointAtExactlyRadius();
    void samePositionSharesLeaf();
    void zeroRadiusFindsExactPosition();
    void negativeRadiusFindsNothing();
    void unorderedCoordinates();
    void findAppends();
    void queryWhileFilling();
    void refillReplacesEverything();
    void endSetDataTwiceRebuilds();

    void matchesBruteForce_data();
    void matchesBruteForce();

    void degenerateInputStaysShallow_data();
    void degenerateInputStaysShallow();
};

void TestRTree::emptyTreeReportsNothing()
{
    RTree tree;
    QVERIFY(tree.root == nullptr);
    QVERIFY(query(tree, 0, 0, 1e9).empty());

    tree.beginSetData();
    tree.endSetData();
    QVERIFY(tree.root == nullptr);
    QVERIFY(tree.points.empty());
    QVERIFY(query(tree, 0, 0, 1e9).empty());
}

void TestRTree::smallTreeIsOneLeaf_data()
{
    QTest::addColumn<int>("n");
    for (int n = 1; n <= 9; ++n)
        QTest::addRow("%d points", n) << n;
}

void TestRTree::smallTreeIsOneLeaf()
{
    QFETCH(int, n);
    // Spatially in reverse insertion order, so a distance or coordinate
    // order would differ from the insertion order that must come out.
    std::vector<std::pair<double, double>> xy;
    for (int i = 0; i < n; ++i)
        xy.emplace_back(100.0 - 10.0 * i, 50.0 - 3.0 * i);
    RTree tree;
    fill(tree, withIds(xy));

    QVERIFY(tree.root);
    QVERIFY(!tree.root->left && !tree.root->right);
    QCOMPARE(tree.root->ids, iota(n));
    QCOMPARE(checkRoot(tree), QString());

    std::vector<int> expected;
    for (int i = 0; i < n; ++i)
        expected.push_back(idOf(i));
    QCOMPARE(query(tree, 0, 0, 1000), expected);
    QCOMPARE(query(tree, 100, 50, 0), std::vector<int>{idOf(0)});
    QVERIFY(query(tree, 100, 60, 9.99).empty());
}

void TestRTree::tenPointsOnOneRowStayOneLeaf()
{
    std::vector<std::pair<double, double>> xy;
    for (int i = 0; i < 10; ++i)
        xy.emplace_back(9.0 - i, 7.0); // distinct x would split, but y goes first
    RTree tree;
    fill(tree, withIds(xy));

    QVERIFY(!tree.root->left && !tree.root->right);
    QCOMPARE(tree.root->ids, iota(10));
    const std::vector<int> got = query(tree, 4.5, 7.0, 100);
    QCOMPARE(got.size(), size_t(10));
    QCOMPARE(got.front(), idOf(0));
    QCOMPARE(got.back(), idOf(9));
}

void TestRTree::tenRowsSplitAtLowerMedian()
{
    // y 0..9 in scrambled insertion order.
    const int ys[10] = {7, 2, 9, 0, 4, 5, 1, 8, 3, 6};
    std::vector<std::pair<double, double>> xy;
    for (int i = 0; i < 10; ++i)
        xy.emplace_back(10.0 * i, ys[i]);
    RTree tree;
    fill(tree, withIds(xy));

    TreeWalk walk(tree);
    walk.walk(tree.root, true, 0);
    QVERIFY2(walk.error.isEmpty(), qPrintable(walk.error));

    const RTree::Node* root = tree.root;
    QVERIFY(root->left && root->right);
    QCOMPARE(root->lo.y, 0.0);
    QCOMPARE(root->hi.y, 9.0);
    QCOMPARE(root->left->hi.y, 4.0);
    QCOMPARE(root->right->lo.y, 4.0);
    QCOMPARE(root->left->lo.y, 0.0);
    QCOMPARE(root->right->hi.y, 9.0);
    QCOMPARE(root->left->lo.x, 0.0);
    QCOMPARE(root->left->hi.x, 90.0);
    QCOMPARE(root->left->ids, (std::vector<int>{1, 3, 6, 8}));
    QCOMPARE(root->right->ids, (std::vector<int>{0, 2, 4, 5, 7, 9}));
    QVERIFY(!root->left->left && !root->right->left);
    QCOMPARE(root->ids, iota(10)); // kept after the split

    // Left subtree first, insertion order inside each leaf.
    const std::vector<int> expected = {idOf(1), idOf(3), idOf(6), idOf(8), idOf(0),
                                       idOf(2), idOf(4), idOf(5), idOf(7), idOf(9)};
    QCOMPARE(query(tree, 45, 4.5, 1000), expected);
}

void TestRTree::pointAtExactlyRadius()
{
    // In a leaf whose cell is entered the bound is inclusive.
    RTree small;
    fill(small, {Point(0, 0, 1), Point(3, 4, 2), Point(3, 4.001, 3)});
    QCOMPARE(query(small, 0, 0, 5), (std::vector<int>{1, 2}));

    // A cell at exactly r is not entered: the point at y 4 sits on the edge
    // of the right cell, 2 away from (0, 2), and is not reported, while the
    // one at y 0, also 2 away but in the entered left cell, is.
    std::vector<std::pair<double, double>> xy;
    for (int i = 0; i < 10; ++i)
        xy.emplace_back(0.0, i);
    RTree tree;
    fill(tree, withIds(xy));
    QCOMPARE(tree.root->right->lo.y, 4.0);
    QCOMPARE(query(tree, 0, 2, 2), (std::vector<int>{idOf(0), idOf(1), idOf(2), idOf(3)}));
    QCOMPARE(query(tree, 0, 2, 2.0001).size(), size_t(5));
}

void TestRTree::samePositionSharesLeaf()
{
    std::mt19937 rng(99);
    std::vector<Point> pts = makePoints("uniform pixels", 3000, rng);
    pts[2000] = Point(pts[17].x, pts[17].y, idOf(2000));
    RTree tree;
    fill(tree, pts);

    TreeWalk walk(tree);
    walk.walk(tree.root, true, 0);
    QVERIFY2(walk.error.isEmpty(), qPrintable(walk.error));
    const RTree::Node* holder = nullptr;
    for (const RTree::Node* leaf : walk.leaves)
        if (std::count(leaf->ids.begin(), leaf->ids.end(), 17))
            holder = leaf;
    QVERIFY(holder);
    QCOMPARE(std::count(holder->ids.begin(), holder->ids.end(), 2000), 1);

    const std::vector<int> got = query(tree, pts[17].x, pts[17].y, 0.5);
    const auto a = std::find(got.begin(), got.end(), idOf(17));
    const auto b = std::find(got.begin(), got.end(), idOf(2000));
    QVERIFY(a != got.end() && b != got.end());
    QVERIFY(a < b);
}

void TestRTree::zeroRadiusFindsExactPosition()
{
    std::mt19937 rng(5);
    std::vector<Point> pts = makePoints("clustered pixels", 4000, rng);
    RTree tree;
    fill(tree, pts);
    for (int probe : {0, 13, 999, 3999}) {
        const Point& at = pts[probe];
        std::vector<int> expected;
        for (const Point& p : pts)
            if (p.x == at.x && p.y == at.y)
                expected.push_back(p.id);
        std::vector<int> got = query(tree, at.x, at.y, 0);
        std::sort(got.begin(), got.end());
        QCOMPARE(got, expected);
    }
    QVERIFY(query(tree, pts[0].x + 0.5, pts[0].y, 0).empty());
}

void TestRTree::negativeRadiusFindsNothing()
{
    RTree tree;
    fill(tree, {Point(0, 0, 1), Point(1, 0, 2)});
    QVERIFY(query(tree, 0, 0, -1).empty());
    QVERIFY(query(tree, 0, 0, std::nan("")).empty());
}

void TestRTree::unorderedCoordinates()
{
    // NaN positions (a division by a zero eigenvalue upstream) are never
    // within any distance; they must not hide the other points or break the
    // build.
    const double nan = std::nan("");
    std::mt19937 rng(21);
    std::vector<Point> pts = makePoints("uniform pixels", 500, rng);
    for (int i = 0; i < 500; i += 3)
        (i % 2 ? pts[i].x : pts[i].y) = nan;
    pts[0].x = nan; // also as the first point, which seeds the root's cell
    RTree tree;
    fill(tree, pts);
    QVERIFY(tree.root);
    QCOMPARE(tree.leafPoints.size(), pts.size());

    for (int q = 0; q < 200; ++q) {
        const Point& c = pts[1 + rng() % 499];
        const double r = (q % 2) ? 2.0 : 60.0;
        std::vector<int> got = query(tree, c.x, c.y, r);
        std::vector<int> expected;
        for (const Point& p : pts)
            if ((p.x - c.x) * (p.x - c.x) + (p.y - c.y) * (p.y - c.y) <= r * r)
                expected.push_back(p.id);
        std::sort(got.begin(), got.end());
        // Points on a cell edge at exactly r may be left out; none here is
        // closer than that without being found, and nothing extra comes back.
        QVERIFY(std::includes(expected.begin(), expected.end(), got.begin(), got.end()));
        for (int id : expected) {
            const Point& p = pts[(id - 1000) / 7];
            if ((p.x - c.x) * (p.x - c.x) + (p.y - c.y) * (p.y - c.y) < r * r)
                QVERIFY(std::binary_search(got.begin(), got.end(), id));
        }
    }
}

void TestRTree::findAppends()
{
    RTree tree;
    fill(tree, {Point(0, 0, 5), Point(50, 0, 6)});
    std::vector<int> out = {-1};
    tree.find(out, 0, 0, 1);
    tree.find(out, 0, 0, 1);
    QCOMPARE(out, (std::vector<int>{-1, 5, 5}));
}

void TestRTree::queryWhileFilling()
{
    RTree tree;
    fill(tree, {Point(0, 0, 1)});
    QCOMPARE(query(tree, 0, 0, 1).size(), size_t(1));

    tree.beginSetData();
    QVERIFY(tree.root == nullptr);
    QVERIFY(query(tree, 0, 0, 1).empty());
    tree.addPoint(Point(0, 0, 2));
    QVERIFY(query(tree, 0, 0, 1).empty());
    tree.endSetData();
    QCOMPARE(query(tree, 0, 0, 1), std::vector<int>{2});
}

void TestRTree::refillReplacesEverything()
{
    std::mt19937 rng(3);
    RTree tree;
    fill(tree, makePoints("uniform pixels", 5000, rng));
    std::vector<Point> second = makePoints("clustered pixels", 700, rng);
    for (Point& p : second)
        p.id = -p.id;
    fill(tree, second);

    QCOMPARE(tree.points.size(), size_t(700));
    QCOMPARE(checkRoot(tree), QString());
    const std::vector<int> all = query(tree, 1000, 750, 1e6);
    QCOMPARE(all.size(), size_t(700));
    QVERIFY(std::all_of(all.begin(), all.end(), [](int id) { return id < 0; }));
}

void TestRTree::endSetDataTwiceRebuilds()
{
    RTree tree;
    tree.beginSetData();
    for (int i = 0; i < 50; ++i)
        tree.addPoint(Point(i, i % 7, i));
    tree.endSetData();
    tree.addPoint(Point(200, 200, 50));
    tree.endSetData();

    QCOMPARE(checkRoot(tree), QString());
    QCOMPARE(query(tree, 200, 200, 0), std::vector<int>{50});
    QCOMPARE(query(tree, 0, 0, 1e6).size(), size_t(51));
}

void TestRTree::matchesBruteForce_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("n");
    for (const char* kind : {"uniform real", "uniform pixels", "clustered pixels",
                             "few positions", "lines", "geometric ties"}) {
        QTest::addRow("%s 10", kind) << QString(kind) << 10;
        QTest::addRow("%s 137", kind) << QString(kind) << 137;
        QTest::addRow("%s 6000", kind) << QString(kind) << 6000;
    }
}

void TestRTree::matchesBruteForce()
{
    QFETCH(QString, kind);
    QFETCH(int, n);
    std::mt19937 rng(static_cast<unsigned>(qHash(kind)) + n);
    const std::vector<Point> pts = makePoints(kind, n, rng);
    RTree tree;
    fill(tree, pts);

    QCOMPARE(checkRoot(tree), QString());
    TreeWalk walk(tree);
    walk.walk(tree.root, true, 0);
    QVERIFY2(walk.error.isEmpty(), qPrintable(walk.error));
    const std::vector<int> position = walk.leafPositions();

    const double radii[] = {0, 1, 2, 3.5, 5, 20, 100, 700};
    for (int q = 0; q < 400; ++q) {
        double x, y;
        if (q % 3 == 0) { // right on a point
            const Point& p = pts[rng() % pts.size()];
            x = p.x;
            y = p.y;
        } else if (q % 3 == 1) { // whole pixels near a point
            const Point& p = pts[rng() % pts.size()];
            x = std::floor(p.x) + static_cast<int>(rng() % 9) - 4;
            y = std::floor(p.y) + static_cast<int>(rng() % 9) - 4;
        } else {
            x = std::uniform_real_distribution<double>(-50, 2050)(rng);
            y = std::uniform_real_distribution<double>(-50, 1550)(rng);
        }
        const double r = radii[q % 8];
        const std::vector<int> got = query(tree, x, y, r);

        std::vector<char> reported(pts.size(), 0);
        int lastPosition = -1;
        for (int id : got) {
            const int i = (id - 1000) / 7;
            QVERIFY(i >= 0 && i < n && idOf(i) == id);
            QVERIFY2(!reported[i], "reported twice");
            reported[i] = 1;
            const double d2 = (pts[i].x - x) * (pts[i].x - x) + (pts[i].y - y) * (pts[i].y - y);
            QVERIFY2(d2 <= r * r, qPrintable(QString("point %1 outside r %2").arg(i).arg(r)));
            QVERIFY2(position[i] > lastPosition, "not in tree order");
            lastPosition = position[i];
        }
        for (int i = 0; i < n; ++i) {
            const double d2 = (pts[i].x - x) * (pts[i].x - x) + (pts[i].y - y) * (pts[i].y - y);
            if (d2 < r * r && !reported[i])
                QFAIL(qPrintable(QString("missed point %1 at %2 < %3 from (%4, %5)")
                                     .arg(i).arg(std::sqrt(d2)).arg(r).arg(x).arg(y)));
        }
    }
}

void TestRTree::degenerateInputStaysShallow_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("rootLeafSize"); // -1: root must be split
    const int million = 1 << 20;
    QTest::newRow("one position") << "one position" << million << million;
    QTest::newRow("horizontal line") << "horizontal line" << million << million;
    QTest::newRow("vertical line") << "vertical line" << million << -1;
    QTest::newRow("diagonal line") << "diagonal line" << million << -1;
    QTest::newRow("one low, rest on one row") << "one low" << 200000 << -1;
    QTest::newRow("geometric ties") << "geometric ties" << 300000 << -1;
    QTest::newRow("few positions") << "few positions" << 300000 << -1;
    QTest::newRow("clustered pixels") << "clustered pixels" << 300000 << -1;
}

void TestRTree::degenerateInputStaysShallow()
{
    QFETCH(QString, kind);
    QFETCH(int, n);
    QFETCH(int, rootLeafSize);

    std::vector<Point> pts;
    std::mt19937 rng(11);
    if (kind == "one position" || kind.endsWith("line") || kind == "one low") {
        pts.reserve(n);
        for (int i = 0; i < n; ++i) {
            const double t = static_cast<double>((static_cast<long long>(i) * 7919) % n);
            if (kind == "one position")
                pts.emplace_back(5, 5, i);
            else if (kind == "horizontal line")
                pts.emplace_back(t, 3, i);
            else if (kind == "vertical line")
                pts.emplace_back(3, t, i);
            else if (kind == "diagonal line")
                pts.emplace_back(t, t, i);
            else
                pts.emplace_back(t, i == n / 2 ? -1.0 : 0.0, i);
        }
    } else {
        pts = makePoints(kind, n, rng);
    }

    RTree tree;
    fill(tree, pts);
    TreeWalk walk(tree);
    walk.walk(tree.root, true, 0);
    QVERIFY2(walk.error.isEmpty(), qPrintable(walk.error));
    if (rootLeafSize >= 0) {
        QVERIFY(!tree.root->left);
        QCOMPARE(static_cast<int>(tree.root->ids.size()), rootLeafSize);
    } else {
        QVERIFY(tree.root->left);
    }
    // Along any path every third split at least halves the node, whatever
    // the ties, so the recursion stays within about 3 log2 n.
    const int bound = 3 * static_cast<int>(std::ceil(std::log2(n)));
    qInfo("height %d, bound %d", walk.height, bound);
    QVERIFY2(walk.height <= bound,
             qPrintable(QString("height %1 above %2").arg(walk.height).arg(bound)));
    QCOMPARE(query(tree, pts[0].x, pts[0].y, 0).empty(), false);
}

QTEST_APPLESS_MAIN(TestRTree)
#include "tst_rtree.moc"
