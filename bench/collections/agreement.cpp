// Neighbour category agreement of an indexed and solved collection: for each
// image of positive mass, the share of its k nearest images (Euclidean on the
// principal coordinates) that have its category, averaged over the images.
// Chance is the sum of the squared category shares.
//
//   bench_agreement INDEX_FOLDER [K]
//
// INDEX_FOLDER holds images.txt and the solver's table.txt_Z.txt and
// table.txt_P.txt. Prints the agreement on axes 1-2 and on all axes, the
// chance level, and the agreement per category on all axes and on axes 1-2; then the same on
// all axes by the viewer's own measure of nearest images, the cosine of the
// angle between two images' coordinates, for comparison.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool readMatrix(const std::string &path, int &rows, int &cols, std::vector<double> &values)
{
    std::ifstream in(path);
    if (!(in >> rows >> cols) || rows < 0 || cols < 0)
        return false;
    values.resize(size_t(rows) * size_t(cols));
    for (double &v : values)
        if (!(in >> v))
            return false;
    return true;
}

bool readVector(const std::string &path, std::vector<double> &values)
{
    std::ifstream in(path);
    long n = 0;
    if (!(in >> n) || n < 0)
        return false;
    values.resize(size_t(n));
    for (double &v : values)
        if (!(in >> v))
            return false;
    return true;
}

// Mean share of same-category neighbours among the k nearest, on `axes`.
double agreement(const std::vector<int> &keep, const std::vector<double> &z, int zCols, int axes,
                 const std::vector<int> &category, int k, std::map<int, double> *perCategory,
                 bool cosine = false)
{
    const size_t n = keep.size();
    std::vector<std::pair<double, int>> d(n);
    double sum = 0;
    std::map<int, int> counts;
    for (size_t a = 0; a < n; ++a) {
        const double *p = &z[size_t(keep[a]) * size_t(zCols)];
        size_t m = 0;
        for (size_t b = 0; b < n; ++b) {
            if (b == a)
                continue;
            const double *q = &z[size_t(keep[b]) * size_t(zCols)];
            double s = 0;
            if (cosine) {
                double pq = 0, pp = 0, qq = 0;
                for (int x = 0; x < axes; ++x) {
                    pq += p[x] * q[x];
                    pp += p[x] * p[x];
                    qq += q[x] * q[x];
                }
                s = pp > 0 && qq > 0 ? -pq / std::sqrt(pp * qq) : 2.0;
            } else {
                for (int x = 0; x < axes; ++x)
                    s += (p[x] - q[x]) * (p[x] - q[x]);
            }
            d[m++] = {s, keep[b]};
        }
        const size_t kk = std::min<size_t>(size_t(k), m);
        std::partial_sort(d.begin(), d.begin() + long(kk), d.begin() + long(m));
        int same = 0;
        for (size_t j = 0; j < kk; ++j)
            same += category[size_t(d[j].second)] == category[size_t(keep[a])];
        const double share = kk ? double(same) / double(kk) : 0.0;
        sum += share;
        if (perCategory) {
            (*perCategory)[category[size_t(keep[a])]] += share;
            ++counts[category[size_t(keep[a])]];
        }
    }
    if (perCategory)
        for (auto &c : *perCategory)
            c.second /= counts[c.first];
    return n ? sum / double(n) : 0.0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s INDEX_FOLDER [K]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const int k = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;

    std::vector<int> category;
    std::vector<std::string> names;
    {
        std::ifstream in(dir + "/images.txt");
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream s(line);
            int c = 0;
            std::string name;
            if (s >> c >> name) {
                category.push_back(c);
                names.push_back(name);
            }
        }
    }
    int rows = 0, cols = 0;
    std::vector<double> z, p;
    if (!readMatrix(dir + "/table.txt_Z.txt", rows, cols, z)
        || !readVector(dir + "/table.txt_P.txt", p) || rows != int(category.size())
        || p.size() != size_t(rows)) {
        std::fprintf(stderr, "cannot read images.txt, table.txt_Z.txt and table.txt_P.txt "
                             "of the same size in %s\n", dir.c_str());
        return 1;
    }
    std::vector<int> keep;
    std::map<int, int> perCategory;
    for (int i = 0; i < rows; ++i) {
        if (p[size_t(i)] > 0) {
            keep.push_back(i);
            ++perCategory[category[size_t(i)]];
        }
    }
    double chance = 0;
    for (const auto &c : perCategory) {
        const double share = double(c.second) / double(keep.size());
        chance += share * share;
    }
    const int axes12 = std::min(2, cols);
    std::map<int, double> byCategory12;
    const double a12 = agreement(keep, z, cols, axes12, category, k, &byCategory12);
    std::map<int, double> byCategory;
    const double all = agreement(keep, z, cols, cols, category, k, &byCategory);
    std::printf("images with mass > 0: %zu of %d\n", keep.size(), rows);
    std::printf("agreement at k=%d: axes 1-2 %.3f, all %d axes %.3f, chance %.3f\n", k, a12, cols,
                all, chance);
    std::printf("per category (all axes):");
    for (const auto &c : byCategory)
        std::printf(" %d:%.2f", c.first, c.second);
    std::printf("\n");
    std::printf("per category (axes 1-2):");
    for (const auto &c : byCategory12)
        std::printf(" %d:%.2f", c.first, c.second);
    std::printf("\n");
    const double byAngle = agreement(keep, z, cols, cols, category, k, nullptr, true);
    std::printf("nearest by angle (the viewer's nearest images), all %d axes: %.3f\n", cols, byAngle);
    return 0;
}
