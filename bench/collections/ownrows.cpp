// Places the rows of a solved project's own table as supplementary images,
// with the indexer's placing code (ortelis-index --add-to), and reports how
// far they land from their own coordinates in Z: the transition formula on
// a real table, the largest relative difference over every value.
//
//   bench_own_rows PROJECT.xml
#include "data/model/cadata.h"
#include "tools/projectaddition.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_own_rows PROJECT.xml\n");
        return 2;
    }
    ProjectAddition project;
    QString error;
    if (!project.load(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const CAData &d = project.data();
    QElapsedTimer clock;
    clock.start();
    std::vector<double> placed;
    int rows = 0;
    if (!project.place(d.resolve(d.fileF), placed, &rows, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    if (rows != d.nbImages) {
        std::fprintf(stderr, "%d rows placed, %d images in Z\n", rows, d.nbImages);
        return 1;
    }
    // Relative to the largest coordinate of the row, as the solver's own
    // check measures it; per value too, which near-zero values inflate.
    double largest = 0, largestValue = 0, largestAbsolute = 0;
    for (int r = 0; r < rows; ++r) {
        double diff = 0, size = 0;
        for (int a = 0; a < d.zCols; ++a) {
            const double z = d.Z[qint64(r) * d.zCols + a], p = placed[size_t(r) * size_t(d.zCols) + size_t(a)];
            diff = std::max(diff, std::abs(p - z));
            size = std::max(size, std::abs(z));
            largestValue = std::max(largestValue, std::abs(p - z) / std::max(1e-300, std::abs(z)));
        }
        largestAbsolute = std::max(largestAbsolute, diff);
        largest = std::max(largest, diff / std::max(1e-300, size));
    }
    std::printf("%d rows x %d axes placed in %.2f s; largest difference from Z: %.3g relative to the row, "
                "%.3g relative to the value, %.3g absolute\n",
                rows, d.zCols, clock.elapsed() / 1000.0, largest, largestValue, largestAbsolute);
    return largest < 1e-9 ? 0 : 1;
}
