// Cost of redrawing the map's point layer (a zoom step, a re-centre, a
// threshold change) against a bare QPainter loop drawing the same marks at
// the same pixels into a canvas of the same size, and of the nearest-images
// hover step, on generated analyses of growing size.
//
//   QT_QPA_PLATFORM=offscreen bench_map_render [sizes...] [--reps N]
//
// All sizes are loaded at once and measured interleaved, repetition by
// repetition, so that every ratio comes from one run and shares the
// machine's ups and downs. Each figure is the median over the repetitions.

#include "data/model/cadata.h"
#include "map/caview.h"

#include "mapbench.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

volatile int g_sink = 0;

using namespace MapBench;

template <typename F>
qint64 timed(F f)
{
    QElapsedTimer timer;
    timer.start();
    f();
    return timer.nsecsElapsed();
}

// The scan without any prefilter: one exact distance per
// image into a bounded sorted list, for the images of `path`.
double exactScan(const CAView &view, const std::vector<QPoint> &path, int k)
{
    QElapsedTimer timer;
    timer.start();
    int sink = 0;
    for (const QPoint &p : path) {
        std::vector<int> found;
        view.findImages(found, p.x() - view.originX - view.panX, p.y() - view.originY - view.panY, 2);
        if (found.empty())
            continue;
        const int focus = found.front();
        std::vector<std::pair<double, int>> best;
        for (int i = 0; i < view.data->nbImages; ++i) {
            const double d = view.data->distance(focus, i);
            if (std::isnan(d) || (int(best.size()) == k && !(d < best.back().first)))
                continue;
            auto pos = std::lower_bound(best.begin(), best.end(), std::make_pair(d, -1));
            if (pos != best.end() && pos->first == d)
                continue;
            if (int(best.size()) == k)
                best.pop_back();
            best.insert(pos, {d, i});
        }
        sink += best.empty() ? 0 : best.front().second;
    }
    g_sink = sink; // so the scan cannot be optimised away
    return timer.nsecsElapsed() / 1e6 / double(path.size());
}

struct Subject
{
    int images = 0;
    std::unique_ptr<CAData> data;
    std::unique_ptr<CAView> view;
    std::vector<QPoint> path;
    std::vector<double> bare, zoom, recentre, threshold, axes, axesIndexed, nearest, exact;
    double indexBuild = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::vector<int> sizes;
    int reps = 7;
    MapBench::readArguments(argc, argv, sizes, reps);
    std::printf("start: %s\n", loadAverage().c_str());

    std::vector<Subject> subjects;
    for (int n : sizes) {
        Subject s;
        s.images = n;
        s.data = generate(n, n / 10, unsigned(n), 9); // nine categories, as in the clip-art collection
        s.view = std::make_unique<CAView>(0, 1, 2);
        s.view->resize(kWidth, kHeight);
        s.view->setCategoryColours(true);
        s.view->setData(s.data.get());
        s.view->fitAll();
        // The first layer on new axes builds the point indexes; later
        // rebuilds on the same axes do not.
        s.indexBuild = timed([&] { s.view->changeAxis(1, 2, 0); }) / 1e6;
        s.view->changeAxis(0, 1, 2);
        s.view->fitAll();
        // Without updates repaint() returns at once: what is timed is the
        // rebuild of the layer itself.
        s.view->setUpdatesEnabled(false);
        s.view->circleNeighbour = false;
        s.path = imagePath(*s.view, 40);
        // The first nearest-images step starts the scan's copy of the rows
        // (in the background for large analyses, answering by the exact scan
        // meanwhile); the steps measured below use the copy.
        QElapsedTimer sinceFirst;
        sinceFirst.start();
        const double firstNearest =
            s.path.empty() ? 0 : timed([&] { moveTo(*s.view, s.path.front()); }) / 1e6;
        s.view->waitForNearestImages();
        std::printf("%8d images, %d words: %d and %d drawn; first layer on new axes %.1f ms; "
                    "first nearest step %.1f ms, its copy of the rows ready after %.1f ms\n",
                    n, n / 10, s.view->shownImages(), s.view->shownWords(), s.indexBuild,
                    firstNearest, sinceFirst.nsecsElapsed() / 1e6);
        subjects.push_back(std::move(s));
    }

    for (int r = 0; r < reps; ++r)
        for (Subject &s : subjects) {
            CAView &v = *s.view;
            const Marks marks = marksOf(v);
            s.bare.push_back(bareLoop(marks) / 1e6);
            const QPointF middle(kWidth / 2.0, kHeight / 2.0);
            s.zoom.push_back(timed([&] { v.zoomAt(1.25, middle); }) / 1e6);
            v.zoomAt(0.8, middle);
            const QPointF centre = v.canvasCentre();
            s.recentre.push_back(
                timed([&] { v.setCanvasCentre(centre + QPointF(0.3, -0.2)); }) / 1e6);
            v.setCanvasCentre(centre);
            s.threshold.push_back(timed([&] { v.changeThreshold(3); }) / 1e6);
            v.changeThreshold(2);
            // A change of axes: until the map is drawn on the new axes, and
            // until the point indexes can answer a hover too (they are built
            // on another thread meanwhile).
            std::vector<int> probe;
            s.axes.push_back(timed([&] { v.changeAxis(1, 2, 0); }) / 1e6);
            v.changeAxis(0, 1, 2);
            // Nothing left building before the next measure.
            v.findImages(probe, 0, 0, 1);
            v.findWords(probe, 0, 0, 1);
            s.axesIndexed.push_back(timed([&] {
                                        v.changeAxis(1, 2, 0);
                                        v.findImages(probe, 0, 0, 1);
                                        v.findWords(probe, 0, 0, 1);
                                    })
                                    / 1e6);
            v.changeAxis(0, 1, 2);
            v.findImages(probe, 0, 0, 1);
            v.findWords(probe, 0, 0, 1);
            QElapsedTimer timer;
            timer.start();
            for (const QPoint &p : s.path)
                moveTo(v, p);
            s.nearest.push_back(timer.nsecsElapsed() / 1e6 / double(s.path.size()));
            s.exact.push_back(exactScan(v, s.path, v.radius));
        }

    std::printf("\nmedian of %d runs, milliseconds; ratios to the bare QPainter loop\n", reps);
    std::printf("%9s %9s %9s %7s %9s %7s %9s %7s %9s %7s %9s %7s %12s %12s %7s\n", "images",
                "bare", "zoom", "ratio", "recentre", "ratio", "thresh", "ratio", "axes", "ratio",
                "+indexes", "ratio", "nearest step", "exact scan", "ratio");
    for (const Subject &s : subjects) {
        const double bare = median(s.bare);
        std::printf("%9d %9.1f %9.1f %7.2f %9.1f %7.2f %9.1f %7.2f %9.1f %7.2f %9.1f %7.2f %12.2f "
                    "%12.2f %7.2f\n",
                    s.images, bare, median(s.zoom), median(s.zoom) / bare, median(s.recentre),
                    median(s.recentre) / bare, median(s.threshold), median(s.threshold) / bare,
                    median(s.axes), median(s.axes) / bare, median(s.axesIndexed),
                    median(s.axesIndexed) / bare, median(s.nearest), median(s.exact),
                    median(s.nearest) / median(s.exact));
    }
    std::printf("end: %s\n", loadAverage().c_str());
    return 0;
}
