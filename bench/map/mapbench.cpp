#include "mapbench.h"

#include "data/model/cadata.h"
#include "map/caview.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPixmap>
#include <QMouseEvent>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

namespace MapBench {

std::unique_ptr<CAData> generate(int images, int words, unsigned seed, int categories)
{
    std::mt19937_64 random(seed);
    auto d = std::make_unique<CAData>(false);
    d->nbImages = images;
    d->nbWords = words;
    d->nbAxis = kAxes;
    d->nbLambda = kAxes;
    d->zCols = kAxes;
    d->wCols = kAxes;
    d->Z.reset(new double[std::size_t(images) * kAxes]);
    d->W.reset(new double[std::size_t(words) * kAxes]);
    d->P.reset(new double[std::size_t(images)]);
    d->Q.reset(new double[std::size_t(words)]);
    d->lambda.reset(new double[kAxes]);
    for (int a = 0; a < kAxes; ++a) {
        const double sigma = 1.5 / (1.0 + 0.35 * a);
        d->lambda[a] = sigma * sigma;
    }
    auto fill = [&](double *m, double *mass, int n) {
        std::normal_distribution<double> normal(0.0, 1.0);
        for (int i = 0; i < n; ++i) {
            mass[i] = 1.0 / n;
            for (int a = 0; a < kAxes; ++a)
                m[std::size_t(i) * kAxes + a] = normal(random) * std::sqrt(d->lambda[a]);
        }
    };
    fill(d->Z.get(), d->P.get(), images);
    fill(d->W.get(), d->Q.get(), words);
    if (categories > 0) {
        d->labels.reset(new ImageLabel[std::size_t(images)]);
        for (int i = 0; i < images; ++i)
            d->labels[i].category = int(random() % unsigned(categories));
    }
    std::vector<int> labels(static_cast<std::size_t>(words));
    for (int j = 0; j < words; ++j)
        labels[std::size_t(j)] = j;
    d->setWordLabel(words, labels.data());
    return d;
}

void moveTo(CAView &view, const QPoint &p)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(p), QPointF(p), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &event);
}

std::vector<QPoint> imagePath(const CAView &view, int count)
{
    std::vector<QPoint> path;
    QRandomGenerator random(11);
    for (int tries = 0; tries < 100000 && int(path.size()) < count; ++tries) {
        const int i = random.bounded(view.data->nbImages);
        if (!view.imageDrawn(i))
            continue;
        const QPoint w = view.imagePosition(i);
        if (w.x() >= 0 && w.y() >= 0 && w.x() < kWidth && w.y() < kHeight)
            path.push_back(w);
    }
    return path;
}

Marks marksOf(const CAView &view)
{
    Marks m;
    const int ox = view.originX + view.panX, oy = view.originY + view.panY;
    for (int i = 0; i < view.data->nbImages; ++i)
        if (view.imageDrawn(i))
            m.images.push_back(view.imagePosition(i) - QPoint(ox, oy));
    for (int j = 0; j < view.data->nbWords; ++j)
        if (view.wordDrawn(j))
            m.words.push_back(view.wordPosition(j) - QPoint(ox, oy));
    return m;
}

qint64 bareLoop(const Marks &m)
{
    QElapsedTimer timer;
    timer.start();
    QPixmap canvas(2000, 1500);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.setPen(Qt::gray);
    painter.drawLine(0, 750, 2000, 750);
    painter.drawLine(1000, 0, 1000, 1500);
    painter.setPen(Qt::red);
    for (const QPoint &p : m.images) {
        painter.drawLine(p.x() - 2, p.y(), p.x() + 2, p.y());
        painter.drawLine(p.x(), p.y() - 2, p.x(), p.y() + 2);
    }
    painter.setPen(Qt::blue);
    painter.setBrush(Qt::NoBrush);
    for (const QPoint &p : m.words)
        painter.drawEllipse(p.x() - 2, p.y() - 2, 4, 4);
    painter.end();
    return timer.nsecsElapsed();
}

std::string loadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return "load average " + a + " " + b + " " + c;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void readArguments(int argc, char **argv, std::vector<int> &sizes, int &reps)
{
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--reps" && k + 1 < argc)
            reps = std::max(1, std::atoi(argv[++k]));
        else
            sizes.push_back(std::atoi(arg.c_str()));
    }
    if (sizes.empty())
        sizes = {10000, 100000, 1000000};
}

} // namespace MapBench
