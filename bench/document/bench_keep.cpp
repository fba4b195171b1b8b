// Cost of keeping and sharing the work on a large analysis, in one run:
// saving it as a project folder beside a plain copy of the same result files
// (the floor: what the disk costs), the CSV of every point, the SVG of the
// map and PNGs at 1x, 2x and 4x.
//
//   QT_QPA_PLATFORM=offscreen bench_keep [images] [words] [axes]

#include "data/model/cadata.h"
#include "document/analysissaver.h"
#include "map/caview.h"
#include "map/mapexporter.h"
#include "map/pointexporter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

namespace {

void writeMatrix(const QString &path, int rows, int cols, std::mt19937 &rng)
{
    std::normal_distribution<double> normal(0, 0.7);
    FILE *f = std::fopen(QFile::encodeName(path).constData(), "w");
    std::fprintf(f, "%d %d\n", rows, cols);
    for (int i = 0; i < rows; ++i) {
        for (int a = 0; a < cols; ++a)
            std::fprintf(f, "%.17g ", normal(rng));
        std::fputc('\n', f);
    }
    std::fclose(f);
}

void writeVector(const QString &path, int n, double value)
{
    FILE *f = std::fopen(QFile::encodeName(path).constData(), "w");
    std::fprintf(f, "%d\n", n);
    for (int i = 0; i < n; ++i)
        std::fprintf(f, "%.17g\n", value);
    std::fclose(f);
}

template <typename F>
double best(F &&f, int runs = 3)
{
    double ms = 1e300;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        f();
        ms = std::min(ms, t.nsecsElapsed() / 1e6);
    }
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int images = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int words = argc > 2 ? std::atoi(argv[2]) : 5000;
    const int axes = argc > 3 ? std::atoi(argv[3]) : 20;
    QTemporaryDir dir;
    const QString base = dir.path() + QLatin1Char('/');
    std::mt19937 rng(7);
    writeMatrix(base + QStringLiteral("Z.txt"), images, axes, rng);
    writeMatrix(base + QStringLiteral("W.txt"), words, axes, rng);
    writeVector(base + QStringLiteral("P.txt"), images, 1.0 / images);
    writeVector(base + QStringLiteral("Q.txt"), words, 1.0 / words);
    writeVector(base + QStringLiteral("L.txt"), axes, 0.05);
    {
        QFile labels(base + QStringLiteral("images.txt"));
        labels.open(QIODevice::WriteOnly);
        for (int i = 0; i < images; ++i)
            labels.write(QByteArray::number(i % 12) + " img/" + QByteArray::number(i) + ".png\n");
    }

    CAData data(true);
    data.baseDir = dir.path();
    data.fileZ = QStringLiteral("Z.txt");
    data.fileW = QStringLiteral("W.txt");
    data.fileP = QStringLiteral("P.txt");
    data.fileQ = QStringLiteral("Q.txt");
    data.fileLambda = QStringLiteral("L.txt");
    data.fileLabel = QStringLiteral("images.txt");
    std::fclose(stdout);
    if (!data.read()) {
        std::fprintf(stderr, "cannot read the generated analysis\n");
        return 1;
    }
    CAView view(0, 1, 2);
    view.resize(1200, 900);
    view.setData(&data);
    view.changeThreshold(0);

    int n = 0;
    const double save = best([&] {
        QString error;
        if (!AnalysisSaver::save(data, base + QStringLiteral("saved%1").arg(n++), false, &error))
            std::fprintf(stderr, "%s\n", qPrintable(error));
    });
    const double copy = best([&] {
        const QString to = base + QStringLiteral("copy%1/").arg(n++);
        QDir().mkpath(to);
        for (const char *f : {"Z.txt", "W.txt", "P.txt", "Q.txt", "L.txt", "images.txt"})
            QFile::copy(base + QLatin1String(f), to + QLatin1String(f));
    });
    qsizetype csvBytes = 0, svgBytes = 0;
    const double csv = best([&] { csvBytes = PointExporter::csv(view).size(); });
    const double svg = best([&] { svgBytes = MapExporter(view).svg().size(); });
    const double png1 = best([&] { MapExporter(view).image(1); });
    const double png2 = best([&] { MapExporter(view).image(2); });
    const double png4 = best([&] { MapExporter(view).image(4); });

    std::fprintf(stderr,
                 "%d images, %d words, %d axes; map %dx%d, %lld image and %lld word marks in view\n"
                 "save analysis  %8.1f ms  (plain copy of the same files %6.1f ms, ratio %.2f)\n"
                 "points CSV     %8.1f ms  (%lld bytes)\n"
                 "map SVG        %8.1f ms  (%lld bytes)\n"
                 "map PNG 1x/2x/4x %6.1f / %.1f / %.1f ms\n",
                 images, words, axes, view.width(), view.height(),
                 static_cast<long long>(view.shownImages()),
                 static_cast<long long>(view.shownWords()), save, copy, save / copy, csv,
                 static_cast<long long>(csvBytes), svg, static_cast<long long>(svgBytes), png1, png2, png4);
    return 0;
}
