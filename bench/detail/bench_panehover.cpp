// Hover steps with both detail panes on a real collection, the way a user
// moves the mouse: ten small movements in the densest part of the map at a
// given radius. Timed in one run, side by side:
//   - map alone (no pane connected): the floor every configuration pays;
//   - panes as they were drawn before: every square of the neighbourhood
//     drawn into one pixmap on each step, pictures decoded on the GUI thread
//     (finished squares kept), every keypoint file read on each step;
//   - the panes now: only the visible squares painted, pictures decoded on
//     worker threads behind a placeholder, keypoints kept per file.
// Each pane configuration starts with empty caches (cold) and is then run
// again over the same path (warm).
//
//   bench_panehover PROJECT.xml [radius] [steps]

#include "data/model/cadata.h"
#include "data/model/xmlparser.h"
#include "detail/imageview.h"
#include "detail/thumbnailcache.h"
#include "detail/wordview.h"
#include "map/caview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QSplitter>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <numeric>
#include <vector>

namespace {

// The panes as they were drawn before: the whole grid into one pixmap on
// every step, keypoints read from their files for every square.
class LegacyPanes : public QObject
{
public:
    QPixmap words, images;
    ThumbnailCache cache;
    int keypointReads = 0;

    void changeImages(QVector<int> *list, QSet<int> *wordList, CAData *data, int center,
                      CAView *view)
    {
        struct Cell { QVector<int> images; int center; };
        std::vector<Cell> cells;
        std::map<std::pair<int, int>, int> cellOf;
        int selected = -1;
        for (int id : std::as_const(*list)) {
            int cx, cy;
            view->id2cell(id, cx, cy);
            auto it = cellOf.find({cx, cy});
            int index;
            if (it == cellOf.end()) {
                index = int(cells.size());
                cellOf[{cx, cy}] = index;
                cells.push_back({{id}, id});
            } else {
                index = it->second;
                cells[index].images.append(id);
            }
            if (id == center) {
                selected = index;
                cells[index].center = id;
            }
        }
        drawGrid(words, 120, 4, [&](int k) { return cells[k].center; }, int(cells.size()),
                 data, wordList);
        if (selected >= 0) {
            const QVector<int> cellImages = cells[selected].images;
            drawGrid(images, 160, 3, [&](int k) { return cellImages[k]; },
                     int(cellImages.size()), data, wordList);
        } else {
            images = QPixmap();
        }
    }

private:
    template <typename ImageOf>
    void drawGrid(QPixmap &out, int edge, int columns, ImageOf imageOf, int n, CAData *data,
                  QSet<int> *wordList)
    {
        const int pitch = edge + 2;
        const int rows = n / columns + (n % columns != 0);
        if (n == 0) {
            out = QPixmap();
            return;
        }
        QPixmap thumbs(columns * pitch, rows * pitch);
        thumbs.fill(Qt::cyan);
        QPainter p(&thumbs);
        for (int k = 0; k < n; ++k)
            p.drawPixmap((k % columns) * pitch, (k / columns) * pitch,
                         cache.square(*data, imageOf(k), edge));
        p.end();
        out = QPixmap(thumbs.size());
        out.fill(Qt::cyan);
        QPainter d(&out);
        d.drawPixmap(0, 0, thumbs);
        for (int k = 0; k < n; ++k) {
            QSize size;
            cache.square(*data, imageOf(k), edge, &size);
            QList<Sift> sifts;
            data->getSifts(imageOf(k), sifts, wordList);
            ++keypointReads;
            ThumbnailGrid{edge, 2, columns}.drawKeypoints(d, k, size, sifts);
        }
    }
};

struct Stats
{
    double median, mean, worst;
};

Stats stats(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], std::accumulate(v.begin(), v.end(), 0.0) / double(v.size()),
            v.back()};
}

void move(CAView &map, QPoint p)
{
    QMouseEvent e(QEvent::MouseMove, QPointF(p), map.mapToGlobal(QPointF(p)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&map, &e);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_panehover PROJECT.xml [radius] [steps]\n");
        return 2;
    }
    const QString project = QFile::decodeName(argv[1]);
    const int radius = argc > 2 ? atoi(argv[2]) : 150;
    const int steps = argc > 3 ? atoi(argv[3]) : 10;
    CAData::casolver = QCoreApplication::applicationDirPath() + QStringLiteral("/ca.exe");

    QFile file(project);
    XMLParser parser(QFileInfo(project).absoluteDir().absolutePath());
    parser.parse(&file);
    std::unique_ptr<CAData> data(parser.data);
    if (!data || !data->read()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }

    // The window at 1600 x 1000: the map beside the two panes.
    QSplitter window;
    auto *map = new CAView(0, 1, 2);
    auto *column = new QSplitter(Qt::Vertical);
    auto *wordArea = new QScrollArea;
    auto *imageArea = new QScrollArea;
    auto *words = new WordView(wordArea, nullptr);
    auto *images = new ImageView(imageArea, nullptr);
    wordArea->setWidget(words);
    imageArea->setWidget(images);
    column->addWidget(wordArea);
    column->addWidget(imageArea);
    window.addWidget(map);
    window.addWidget(column);
    window.resize(1500, 850);
    window.setSizes({900, 600});
    column->setSizes({600, 250});
    window.show();
    map->setData(data.get());
    map->changeRadius(radius);
    QApplication::processEvents();

    // The densest spot: the image with the most images within the radius.
    int best = 0, bestCount = -1;
    std::vector<int> found;
    for (int i = 0; i < data->nbImages; i += std::max(1, data->nbImages / 2000)) {
        const QPoint p = map->imagePosition(i);
        found.clear();
        map->findImages(found, p.x() - map->originX - map->panX,
                            p.y() - map->originY - map->panY, radius);
        if (int(found.size()) > bestCount) {
            bestCount = int(found.size());
            best = i;
        }
    }
    const QPoint centre = map->imagePosition(best);
    std::vector<QPoint> path;
    for (int s = 0; s < steps; ++s)
        path.push_back(centre + QPoint(3 * s - 3 * steps / 2, (s % 3) - 1));

    std::printf("%s: %d images; radius %d; %d small steps around image %d (%d images within "
                "the radius)\n",
                qPrintable(project), data->nbImages, radius, steps, best, bestCount);

    LegacyPanes legacy;
    auto connectNew = [&] {
        QObject::connect(map, &CAView::imagesChanged, words, &WordView::changeImages);
        QObject::connect(words, &WordView::cellChanged, images, &ImageView::changeCell);
    };
    auto disconnectAll = [&] {
        QObject::disconnect(map, &CAView::imagesChanged, nullptr, nullptr);
        QObject::disconnect(words, &WordView::cellChanged, nullptr, nullptr);
    };
    auto run = [&](const char *name) {
        std::vector<double> t;
        QElapsedTimer timer;
        for (const QPoint &p : path) {
            timer.start();
            move(*map, p);
            t.push_back(timer.nsecsElapsed() / 1e6);
        }
        const Stats s = stats(t);
        std::printf("  %-44s median %8.2f ms  mean %8.2f ms  worst %8.2f ms\n", name, s.median,
                    s.mean, s.worst);
        return s;
    };

    disconnectAll();
    const Stats floor = run("map alone");

    connectNew();
    const Stats nowCold = run("panes now, cold");
    QElapsedTimer settle;
    settle.start();
    words->thumbnailCache.waitForIdle(60000);
    images->thumbnailCache.waitForIdle(60000);
    std::printf("    visible pictures all decoded %.0f ms after the last step "
                "(%d + %d decodes on workers)\n",
                settle.nsecsElapsed() / 1e6, words->thumbnailCache.decodes(),
                images->thumbnailCache.decodes());
    const Stats nowWarm = run("panes now, warm");
    disconnectAll();

    QObject::connect(map, &CAView::imagesChanged, &legacy, [&](QVector<int> *l, QSet<int> *w,
                                                               CAData *d, int c, CAView *v) {
        legacy.changeImages(l, w, d, c, v);
    });
    const Stats oldCold = run("panes before, cold");
    const Stats oldWarm = run("panes before, warm");
    disconnectAll();
    std::printf("    %d squares in the neighbourhood grid; %d keypoint files read\n",
                int(words->cells.size()), legacy.keypointReads);

    std::printf("ratio before/now per step (median): cold %.1fx, warm %.1fx; "
                "panes' share above the map alone now: %.2f ms (warm)\n",
                oldCold.median / nowCold.median, oldWarm.median / nowWarm.median,
                nowWarm.median - floor.median);
    return 0;
}
