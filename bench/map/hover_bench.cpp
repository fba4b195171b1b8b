// Cost of one hover step of the map (point-index queries, the nearest-images
// scan when it applies, the synchronous repaint at 1280 x 800) against the
// repaint alone, on generated analyses of growing size.
//
//   QT_QPA_PLATFORM=offscreen bench_map_hover [sizes...] [--reps N] [--only WORD]
//
// --only keeps the configurations whose name holds WORD (circle, lens,
// nearest).
//
// All sizes are loaded at once and measured interleaved, repetition by
// repetition, so that the ratios between sizes come from the same run and
// share the machine's ups and downs. Each figure is the median over the
// repetitions of the mean time per movement along a fixed path.

#include "data/model/cadata.h"
#include "map/caview.h"

#include "mapbench.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace MapBench;

struct Subject
{
    int images = 0;
    std::unique_ptr<CAData> data;
    std::unique_ptr<CAView> view;
};

// A fixed path over the whole widget: a jittered grid, the same for every
// size, so that each analysis is hovered at the same screen positions.
std::vector<QPoint> gridPath()
{
    std::vector<QPoint> path;
    QRandomGenerator random(7);
    for (int gy = 0; gy < 10; ++gy)
        for (int gx = 0; gx < 16; ++gx)
            path.emplace_back(gx * kWidth / 16 + random.bounded(kWidth / 16),
                              gy * kHeight / 10 + random.bounded(kHeight / 10));
    return path;
}

struct Timing
{
    double step = 0;    // mean microseconds per movement
    double repaint = 0; // mean microseconds per repaint in the state it left
    double neighbours = 0;
};

Timing measure(CAView &view, const std::vector<QPoint> &path)
{
    QElapsedTimer timer;
    qint64 stepNs = 0, repaintNs = 0;
    qint64 neighbours = 0;
    for (const QPoint &p : path) {
        timer.start();
        moveTo(view, p);
        stepNs += timer.nsecsElapsed();
        neighbours += view.imageList.size();
        timer.start();
        view.repaint();
        repaintNs += timer.nsecsElapsed();
    }
    const double n = double(path.size());
    return {stepNs / n / 1000.0, repaintNs / n / 1000.0, neighbours / n};
}

// The step without its repaint: with updates disabled repaint() returns at
// once, so what is left is the hover itself (index queries, neighbourhood
// sets, the scan, the signal).
double measureHover(CAView &view, const std::vector<QPoint> &path)
{
    view.setUpdatesEnabled(false);
    QElapsedTimer timer;
    timer.start();
    for (const QPoint &p : path)
        moveTo(view, p);
    const double us = timer.nsecsElapsed() / double(path.size()) / 1000.0;
    view.setUpdatesEnabled(true);
    QCoreApplication::processEvents();
    return us;
}

struct Series
{
    std::vector<double> step, repaint, hover;
    double neighbours = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // Each table as soon as it is measured, also into a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string only;
    std::vector<char *> args;
    for (int k = 0; k < argc; ++k) {
        if (std::string(argv[k]) == "--only" && k + 1 < argc)
            only = argv[++k];
        else
            args.push_back(argv[k]);
    }
    std::vector<int> sizes;
    int reps = 7;
    MapBench::readArguments(int(args.size()), args.data(), sizes, reps);

    std::vector<Subject> subjects;
    for (int n : sizes) {
        Subject s;
        s.images = n;
        s.data = generate(n, n / 10, unsigned(n));
        s.view = std::make_unique<CAView>(0, 1, 2);
        s.view->resize(kWidth, kHeight);
        s.view->show();
        s.view->setData(s.data.get());
        std::printf("%8d images: %d images and %d words drawn\n", n, s.view->shownImages(),
                    s.view->shownWords());
        subjects.push_back(std::move(s));
    }
    QCoreApplication::processEvents();

    const std::vector<QPoint> grid = gridPath();
    struct Config
    {
        const char *name;
        bool circle;
        bool lens;
    };
    const Config configs[] = {{"circle, lens off", true, false},
                              {"circle, lens on", true, true},
                              {"nearest, lens off", false, false}};

    for (const Config &c : configs) {
        if (!only.empty() && std::string(c.name).find(only) == std::string::npos)
            continue;
        std::vector<Series> series(subjects.size());
        std::vector<std::vector<QPoint>> paths;
        for (Subject &s : subjects) {
            s.view->circleNeighbour = c.circle;
            s.view->showLens = c.lens;
            paths.push_back(c.circle ? grid : imagePath(*s.view, 40));
            if (!c.circle) {
                // The first search starts the images' direction tree (in the
                // background from NearestImages::kBackgroundFrom images on,
                // answering by the exact scan meanwhile); the steps measured
                // below use the tree.
                QElapsedTimer first;
                first.start();
                measure(*s.view, {paths.back().front()});
                const double step = first.nsecsElapsed() / 1e6;
                s.view->waitForNearestImages();
                std::printf("%8d images: first nearest step %.1f ms, direction tree ready after %.1f ms\n",
                            s.images, step, first.nsecsElapsed() / 1e6);
            }
            measure(*s.view, paths.back()); // warm-up
        }
        for (int r = 0; r < reps; ++r)
            for (std::size_t k = 0; k < subjects.size(); ++k) {
                const Timing t = measure(*subjects[k].view, paths[k]);
                series[k].step.push_back(t.step);
                series[k].repaint.push_back(t.repaint);
                series[k].neighbours = t.neighbours;
                series[k].hover.push_back(measureHover(*subjects[k].view, paths[k]));
            }
        std::printf("\n%s (median of %d runs, per movement)\n", c.name, reps);
        std::printf("%9s %12s %12s %10s %12s %12s %12s\n", "images", "step us", "repaint us",
                    "step/rep", "step/step0", "hover us", "neighbours");
        const double base = median(series[0].step);
        for (std::size_t k = 0; k < subjects.size(); ++k) {
            const double step = median(series[k].step);
            const double repaint = median(series[k].repaint);
            std::printf("%9d %12.1f %12.1f %10.2f %12.2f %12.1f %12.1f\n", subjects[k].images,
                        step, repaint, step / repaint, step / base, median(series[k].hover),
                        series[k].neighbours);
        }
    }
    return 0;
}
