// Cost of one hover step in the detail panes: the map sends a neighbourhood,
// the word view regroups and redraws it and hands its highlighted cell to the
// image view, which redraws that cell. Timed beside decoding the same picture
// files once, in one run, on two collections:
//   - 256 x 256 PNGs drawn like the demo collection;
//   - 640 x 480 JPEG photographs (scaled from the JPEGs found under
//     /usr/share/backgrounds, or from a folder given on the command line;
//     noisy pictures drawn here when there are none).
// Each pane is timed with its thumbnail squares kept (the default: files
// unchanged on disk are not decoded again) and with nothing kept (every
// picture decoded on every step).
//
//   bench_detailhover [jpeg-folder] [repeats]

#include "data/model/cadata.h"
#include "data/model/sift.h"
#include "detail/imageview.h"
#include "detail/wordview.h"
#include "map/caview.h"
#include "tools/democollection.h"

#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

const int kImages = 20;
const int kKeypoints = 300;
const int kVocabulary = 1000;

QStringList findJpegs(const QString &folder)
{
    QStringList found;
    QDirIterator it(folder, {"*.jpg", "*.jpeg", "*.JPG"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    found.sort();
    return found;
}

// A 640 x 480 photograph: a source scaled to cover the frame, cropped at a
// place that depends on i, so repeated sources still give distinct files.
QImage photo(const QStringList &sources, int i, std::mt19937 &rng)
{
    if (!sources.isEmpty()) {
        QImage src(sources[i % sources.size()]);
        if (!src.isNull()) {
            const int zoom = 1 + i / sources.size();
            const QImage big = src.scaled(640 * zoom, 480 * zoom, Qt::KeepAspectRatioByExpanding,
                                          Qt::SmoothTransformation);
            const int x = (big.width() - 640) * (i % 3) / 2;
            const int y = (big.height() - 480) * (i % 2);
            return big.copy(x, y, 640, 480);
        }
    }
    QImage noisy(640, 480, QImage::Format_RGB32);
    std::uniform_int_distribution<int> channel(0, 255);
    for (int y = 0; y < 480; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(noisy.scanLine(y));
        for (int x = 0; x < 640; ++x)
            line[x] = qRgb((x + channel(rng) / 4) & 255, (y + channel(rng) / 4) & 255,
                           (x * y / 64 + channel(rng) / 4) & 255);
    }
    return noisy;
}

void writeKeypoints(const QString &path, int width, int height, std::mt19937 &rng)
{
    std::uniform_real_distribution<float> ux(0, float(width)), uy(0, float(height)),
        ur(2, 30);
    std::uniform_int_distribution<int> word(0, kVocabulary - 1);
    QByteArray bytes(kKeypoints * int(sizeof(Sift)), 0);
    for (int k = 0; k < kKeypoints; ++k) {
        Sift s{k, word(rng), ux(rng), uy(rng), 0, 0, 0, 0};
        s.a11 = s.a22 = ur(rng);
        s.toLittleEndian(reinterpret_cast<uchar *>(bytes.data()) + k * sizeof(Sift));
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Collection
{
    QString name;
    QTemporaryDir dir;
    CAData data{true};
};

void fill(Collection &c, bool jpeg, const QStringList &sources)
{
    std::mt19937 rng(7);
    CAData &d = c.data;
    d.baseDir = c.dir.path();
    d.nbImages = kImages;
    d.nbWords = kVocabulary;
    d.zCols = 2;
    d.nbAxis = 2;
    d.Z.reset(new double[2 * kImages]);
    d.lambda.reset(new double[2]{1, 1});
    d.labels.reset(new ImageLabel[kImages]);
    d.descriptors.reset(new QString[kImages]);
    for (int w = 0; w < kVocabulary; ++w)
        d.wordSet.insert(w);
    DemoCollection demo(kImages / 6 + 1, 256);
    for (int i = 0; i < kImages; ++i) {
        const QString file = QStringLiteral("img%1.%2").arg(i).arg(jpeg ? "jpg" : "png");
        const QImage picture = jpeg ? photo(sources, i, rng) : demo.draw(i * 6 % demo.count());
        picture.save(d.resolve(file), jpeg ? "JPEG" : "PNG", jpeg ? 90 : -1);
        d.labels[i].imageFile = file;
        d.descriptors[i] = QStringLiteral("img%1.key").arg(i);
        writeKeypoints(d.resolve(d.descriptors[i]), picture.width(), picture.height(), rng);
        // Every image in a map cell of its own, 10 canvas pixels apart.
        d.Z[2 * i] = (10.0 * i + 0.5) / 200;
        d.Z[2 * i + 1] = 0.5 / 200;
    }
}

void run(Collection &c, int repeats)
{
    CAView map(0, 1, 2);
    map.data = &c.data;
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> word(0, kVocabulary - 1);
    for (int k = 0; k < 50; ++k)
        map.wordList.insert(word(rng));
    for (int i = 0; i < kImages; ++i)
        map.imageList.append(i);

    QScrollArea wordArea, imageArea;
    auto *words = new WordView(&wordArea, nullptr);
    auto *images = new ImageView(&imageArea, nullptr);
    wordArea.setWidget(words);
    imageArea.setWidget(images);
    wordArea.resize(510, 400);
    imageArea.resize(510, 200);
    wordArea.show();
    imageArea.show();
    QObject::connect(words, &WordView::cellChanged, images, &ImageView::changeCell);
    QApplication::processEvents();

    auto hover = [&] {
        // The focused image moves along the neighbourhood, as while hovering.
        static int focus = 0;
        focus = (focus + 7) % kImages;
        words->changeImages(&map.imageList, &map.wordList, &c.data, focus, &map);
    };

    // For profiling the steady state alone.
    if (qEnvironmentVariableIsSet("ORTELIS_BENCH_KEPT_ONLY")) {
        for (int r = 0; r < repeats * 20; ++r)
            hover();
        return;
    }

    std::vector<double> decode, qtCache, uncached, cached, imagePart, keypointPart, paintPart;
    QElapsedTimer t;
    for (int r = 0; r < repeats; ++r) {
        t.start();
        for (int i = 0; i < kImages; ++i) {
            const QPixmap p = QPixmap::fromImage(QImage(c.data.resolve(c.data.labels[i].imageFile)));
            if (p.isNull())
                std::fprintf(stderr, "cannot decode %s\n", qPrintable(c.data.labels[i].imageFile));
        }
        decode.push_back(t.nsecsElapsed() / 1e6);

        // CAData::getPixmap: QPixmap's file loading, which keeps whole
        // pictures in QPixmapCache (10 MB by default).
        t.start();
        for (int i = 0; i < kImages; ++i)
            c.data.getPixmap(i);
        qtCache.push_back(t.nsecsElapsed() / 1e6);

        words->thumbnailCache.setMaxBytes(0);
        images->thumbnailCache.setMaxBytes(0);
        t.start();
        hover();
        uncached.push_back(t.nsecsElapsed() / 1e6);

        words->thumbnailCache.setMaxBytes(qsizetype(48) << 20);
        images->thumbnailCache.setMaxBytes(qsizetype(48) << 20);
        hover(); // fills the squares once
        t.start();
        hover();
        cached.push_back(t.nsecsElapsed() / 1e6);

        // Where a kept-squares step goes: the image view's part, the
        // keypoint layers alone (words changed, focus frozen), a repaint.
        t.start();
        images->changeCell(images->cell, &map.wordList, &c.data, images->cell ? images->cell->center : -1);
        imagePart.push_back(t.nsecsElapsed() / 1e6);
        t.start();
        words->changeWords(&map.wordList);
        keypointPart.push_back(t.nsecsElapsed() / 1e6);
        t.start();
        words->repaint();
        images->repaint();
        paintPart.push_back(t.nsecsElapsed() / 1e6);
    }
    const double d = median(decode), q = median(qtCache), u = median(uncached),
                 k = median(cached);
    std::printf("%s\n  decode the 20 files once          %8.2f ms\n"
                "  20 x getPixmap (QPixmapCache)     %8.2f ms  (%.2fx decode)\n"
                "  hover step, every file decoded    %8.2f ms  (%.2fx decode, %.2f frames of 16.7 ms)\n"
                "  hover step, squares kept          %8.2f ms  (%.2fx decode, %.2f frames; %.1fx faster)\n",
                qPrintable(c.name), d, q, q / d, u, u / d, u / 16.7, k, k / d, k / 16.7, u / k);
    std::printf("    of which: image view %.2f ms, word view keypoint layer %.2f ms, "
                "repaint of both panes %.2f ms\n",
                median(imagePart), median(keypointPart), median(paintPart));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : QStringLiteral("/usr/share/backgrounds");
    const int repeats = argc > 2 ? std::max(1, atoi(argv[2])) : 15;
    const QStringList sources = findJpegs(folder);
    std::printf("%d JPEG sources under %s; %d images, %d keypoints each, 50 hovered words; "
                "median of %d steps\n",
                int(sources.size()), qPrintable(folder), kImages, kKeypoints, repeats);

    Collection png;
    png.name = QStringLiteral("demo-like 256x256 PNG");
    fill(png, false, sources);
    run(png, repeats);

    Collection jpeg;
    jpeg.name = sources.isEmpty() ? QStringLiteral("noisy 640x480 JPEG")
                                  : QStringLiteral("photo 640x480 JPEG");
    fill(jpeg, true, sources);
    run(jpeg, repeats);
    return 0;
}
