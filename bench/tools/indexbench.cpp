// Images per second of the indexer with one worker and with two, side by
// side in one run, on the demo collection and on photographs.
//
//   bench_indexer [--photos FOLDER] [--count N] [--repeat N]
//
// FOLDER holds photographs (searched recursively); N crops of 640 x 480 are
// cut from them at seeded places and sizes (default 200). Each setting is
// run `repeat` times, alternating, and the fastest run counts. Two figures:
// the whole run (vocabulary built by k-means) and a run that reuses the
// vocabulary (per-image work only: decoding, SIFT, word assignment, files).
#include "tools/democollection.h"
#include "tools/imagecollection.h"
#include "tools/indexer.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

namespace {

bool makeCrops(const QString &source, const QString &target, int count)
{
    QStringList files;
    QDirIterator it(source, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        if (f.endsWith(".jpg", Qt::CaseInsensitive) || f.endsWith(".jpeg", Qt::CaseInsensitive))
            files << f;
    }
    files.sort();
    QList<QImage> photos;
    for (const QString &f : files) {
        QImage img(f);
        if (!img.isNull() && img.width() >= 640 && img.height() >= 480)
            photos << (img.width() > 2400 ? img.scaledToWidth(2400, Qt::SmoothTransformation) : img);
    }
    if (photos.isEmpty())
        return false;
    std::mt19937 rng(7);
    auto u = [&rng] { return rng() / 4294967296.0; };
    QDir().mkpath(target);
    for (int i = 0; i < count; ++i) {
        const QImage &p = photos[i % photos.size()];
        const int maxW = std::min(p.width(), p.height() * 4 / 3);
        const int w = 640 + int(u() * (maxW - 640));
        const int h = w * 3 / 4;
        const int x = int(u() * (p.width() - w)), y = int(u() * (p.height() - h));
        const QImage crop = p.copy(x, y, w, h).scaled(640, 480, Qt::IgnoreAspectRatio,
                                                     Qt::SmoothTransformation);
        if (!crop.save(QStringLiteral("%1/photo-%2.jpg").arg(target).arg(i, 3, 10, QLatin1Char('0')),
                       "JPEG", 90))
            return false;
    }
    std::printf("%d crops of 640 x 480 from %d photographs\n", count, int(photos.size()));
    return true;
}

double timedRun(const ImageCollection &c, IndexOptions o, int jobs, const QString &out)
{
    o.jobs = jobs;
    o.output = out;
    o.quiet = true;
    Indexer indexer(o);
    QString error;
    QElapsedTimer t;
    t.start();
    if (!indexer.run(c, &error)) {
        std::fprintf(stderr, "run failed: %s\n", qPrintable(error));
        return -1;
    }
    return t.elapsed() / 1000.0;
}

void compare(const char *name, const ImageCollection &c, const IndexOptions &o, int repeat,
             const QString &work)
{
    const int n = int(c.entries().size());
    double best[3] = {1e30, 1e30, 1e30};
    for (int r = 0; r < repeat; ++r) {
        const int order[2] = {r % 2 ? 2 : 1, r % 2 ? 1 : 2};
        for (int jobs : order) {
            const double s = timedRun(c, o, jobs, work + "/out");
            if (s < 0)
                return;
            best[jobs] = std::min(best[jobs], s);
        }
    }
    std::printf("%-28s %4d images  1 worker %6.1f img/s  2 workers %6.1f img/s  ratio %.2f\n",
                name, n, n / best[1], n / best[2], best[1] / best[2]);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString photos;
    int count = 200, repeat = 2;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--photos") photos = args[i + 1];
        else if (args[i] == "--count") count = args[i + 1].toInt();
        else if (args[i] == "--repeat") repeat = std::max(1, args[i + 1].toInt());
    }
    QTemporaryDir work;
    QString error;

    DemoCollection demo;
    ImageCollection demoImages;
    if (!demo.write(work.filePath("demo"), 2, &error)
        || !demoImages.scanFolder(work.filePath("demo"), {}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    IndexOptions demoOptions;
    demoOptions.words = 250;
    demoOptions.maxKeypoints = 300;
    compare("demo, vocabulary built", demoImages, demoOptions, repeat, work.path());
    timedRun(demoImages, demoOptions, 2, work.filePath("demo-index"));
    demoOptions.vocabulary = work.filePath("demo-index/vocabulary.txt");
    compare("demo, vocabulary reused", demoImages, demoOptions, repeat, work.path());

    if (!photos.isEmpty()) {
        ImageCollection photoImages;
        if (!makeCrops(photos, work.filePath("photos"), count)
            || !photoImages.scanFolder(work.filePath("photos"), {}, &error)) {
            std::fprintf(stderr, "no usable photographs in %s\n", qPrintable(photos));
            return 1;
        }
        IndexOptions photoOptions; // the command line's defaults
        compare("photos, vocabulary built", photoImages, photoOptions, repeat, work.path());
        timedRun(photoImages, photoOptions, 2, work.filePath("photo-index"));
        photoOptions.vocabulary = work.filePath("photo-index/vocabulary.txt");
        compare("photos, vocabulary reused", photoImages, photoOptions, repeat, work.path());
    }
    return 0;
}
