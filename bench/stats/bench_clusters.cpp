// Times the clustering of many rows on the principal axes and measures the
// memory it takes beside the coordinates and masses it is given.
//
//   bench_clusters [ROWS] [AXES] [GROUPS]
//
// The cloud (default 1,000,000 rows x 10 axes around 40 groups) is drawn
// with a fixed seed: groups of unequal sizes, each axis narrower than the one
// before as the axes of an analysis are, masses spread over a factor of 20.
#include "data/statistics/clusteranalysis.h"

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

// The peak resident memory so far, in megabytes.
double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Processor time used so far (all threads), in seconds.
double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + 1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

double since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int axes = argc > 2 ? std::atoi(argv[2]) : 10;
    const int groups = argc > 3 ? std::atoi(argv[3]) : 40;
    if (rows < 2 || axes < 1 || groups < 1) {
        std::fprintf(stderr, "usage: bench_clusters [ROWS] [AXES] [GROUPS]\n");
        return 2;
    }
    std::mt19937_64 rng(20261208);
    std::normal_distribution<double> normal(0, 1);
    std::uniform_real_distribution<double> uniform(0, 1);
    std::vector<double> centre(std::size_t(groups) * std::size_t(axes));
    std::vector<double> share(static_cast<std::size_t>(groups));
    double shares = 0;
    for (int g = 0; g < groups; ++g) {
        for (int t = 0; t < axes; ++t)
            centre[std::size_t(g * axes + t)] = 2 * normal(rng) / (1 + t);
        share[std::size_t(g)] = 0.2 + uniform(rng);
        shares += share[std::size_t(g)];
    }
    std::vector<double> z(std::size_t(rows) * std::size_t(axes));
    std::vector<double> mass(static_cast<std::size_t>(rows));
    double total = 0;
    for (int i = 0; i < rows; ++i) {
        double pick = uniform(rng) * shares;
        int g = 0;
        while (g + 1 < groups && pick > share[std::size_t(g)])
            pick -= share[std::size_t(g++)];
        for (int t = 0; t < axes; ++t)
            z[std::size_t(i) * std::size_t(axes) + std::size_t(t)] =
                centre[std::size_t(g * axes + t)] + 0.5 * normal(rng) / (1 + t);
        mass[std::size_t(i)] = 0.05 + uniform(rng);
        total += mass[std::size_t(i)];
    }
    for (double &m : mass)
        m /= total;
    std::vector<double> lambda(static_cast<std::size_t>(axes));
    for (int t = 0; t < axes; ++t)
        lambda[std::size_t(t)] = 1.0 / (1 + t);

    ClusterAnalysis::Input input;
    input.coordinates = z.data();
    input.rows = rows;
    input.stride = axes;
    input.axes = axes;
    input.masses = mass.data();
    input.inertias = lambda.data();
    input.inertiaCount = axes;
    input.totalInertia = std::nan("");
    ClusterAnalysis::Options options;
    options.dims = axes;

    const double before = peakMegabytes();
    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    QString stage;
    auto stageStart = start;
    ClusterAnalysis analysis;
    const auto status = analysis.run(input, options, nullptr, [&](const QString &name, double) {
        if (name == stage)
            return;
        if (!stage.isEmpty())
            std::printf("  %-36s %7.2f s\n", qPrintable(stage), since(stageStart));
        stage = name;
        stageStart = std::chrono::steady_clock::now();
    });
    const double seconds = since(start);
    const double cpu = cpuSeconds() - cpuBefore;
    const double after = peakMegabytes();
    if (status != ClusterAnalysis::Done) {
        std::fprintf(stderr, "bench_clusters: %s\n", qPrintable(analysis.error()));
        return 1;
    }
    std::printf("rows %d, axes %d: %d clusters suggested and made, %s, between-cluster share of the inertia %.4f\n",
                rows, axes, int(analysis.clusters().size()),
                analysis.exact() ? "exact" : qPrintable(QStringLiteral("through %1 k-means centres").arg(analysis.leaves())),
                analysis.between() / analysis.inertia());
    std::printf("time %.2f s (processor time %.2f s, both threads); peak memory %.0f MB with the input, "
                "%.0f MB of it beside the input (%.0f MB)\n",
                seconds, cpu, after, after - before, before);
    return 0;
}
