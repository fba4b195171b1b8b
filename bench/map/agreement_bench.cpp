// Time a category's tooltip takes to measure how well the category keeps
// together on the map (CategoryAgreement): the index over every image, then
// one category's measure, at growing map sizes, against a bare pass over
// the coordinates in the same run as the unit.
//
//   bench_category_agreement [IMAGES...]   (default 10000 100000 1000000)
//
// Images lie in nine overlapping clouds, one per category, with one in a
// hundred stacked on a single point and a few far outliers, as on a real
// collection's first axes. Each figure is the median of five runs.
#include "map/categoryagreement.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {10000, 100000, 1000000};
    for (int n : sizes) {
        std::mt19937 rng(1);
        std::normal_distribution<double> g(0, 1);
        std::vector<double> x(static_cast<size_t>(n)), y(static_cast<size_t>(n));
        std::vector<int> category(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            const int k = int(rng() % 9);
            category[size_t(i)] = k;
            if (i % 100 == 0) { // a stack
                x[size_t(i)] = 0.3;
                y[size_t(i)] = -0.2;
            } else {
                x[size_t(i)] = g(rng) + 0.4 * (k % 3);
                y[size_t(i)] = g(rng) + 0.4 * (k / 3);
            }
        }
        for (int i = 0; i < 5; ++i)
            x[size_t(i)] = 200.0 * (i + 1);
        std::vector<double> bare, build, measure;
        double alike = 0;
        int measured = 0;
        for (int r = 0; r < 5; ++r) {
            QElapsedTimer t;
            t.start();
            double sum = 0;
            for (int i = 0; i < n; ++i)
                sum += x[size_t(i)] * y[size_t(i)] + category[size_t(i)];
            bare.push_back(t.nsecsElapsed() / 1e6 + (sum == 0.123 ? 1 : 0));
            t.restart();
            const CategoryAgreement a(x, y, category);
            build.push_back(t.nsecsElapsed() / 1e6);
            t.restart();
            const CategoryAgreement::Share s = a.of(4);
            measure.push_back(t.nsecsElapsed() / 1e6);
            alike = s.alike;
            measured = s.measured;
        }
        std::printf("%8d images: index %.1f ms, one category %.1f ms (%d measured, %.0f %% alike); "
                    "bare pass %.2f ms; tooltip %.0fx the bare pass\n",
                    n, median(build), median(measure), measured, 100 * alike, median(bare),
                    (median(build) + median(measure)) / median(bare));
    }
    return 0;
}
