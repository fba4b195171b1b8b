#ifndef MAPBENCH_H
#define MAPBENCH_H

// Shared by the map benchmarks: a generated analysis with the shape of a
// real CA result, the view they measure it in, mouse movements over it,
// medians and the command line (sizes, --reps N).

#include <QPoint>
#include <QtGlobal>

#include <memory>
#include <string>
#include <vector>

class CAData;
class CAView;

namespace MapBench {

constexpr int kAxes = 8;
constexpr int kWidth = 1280;
constexpr int kHeight = 800;

// Coordinates drawn from centred normals whose spread shrinks axis by axis,
// unit-free masses summing to one and eigenvalues equal to the weighted
// variance of each axis: about a third of the points pass the default
// contribution threshold. With `categories` > 0, images fall at random in
// that many categories.
std::unique_ptr<CAData> generate(int images, int words, unsigned seed, int categories = 0);

// One mouse movement to widget position `p`, as the window system sends it.
void moveTo(CAView &view, const QPoint &p);

// Up to `count` widget positions right on drawn images inside the view, so
// that each movement hits one and runs the nearest-images scan.
std::vector<QPoint> imagePath(const CAView &view, int count);

double median(std::vector<double> v);

// The marks a rebuild drew, at their canvas pixels.
struct Marks
{
    std::vector<QPoint> images, words;
};
Marks marksOf(const CAView &view);
// The bare reference of the map benchmarks: a fresh canvas of the map's
// size, the axes, a cross per image and a circle per word through QPainter,
// nothing else (no threshold, no projection, no index). Nanoseconds.
qint64 bareLoop(const Marks &marks);

// "load average 1.00 0.90 0.80", to print beside the figures.
std::string loadAverage();

// Reads "[sizes...] [--reps N]"; sizes default to 10k, 100k and 1M images.
void readArguments(int argc, char **argv, std::vector<int> &sizes, int &reps);

} // namespace MapBench

#endif // MAPBENCH_H
