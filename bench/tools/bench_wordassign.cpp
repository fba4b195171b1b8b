// Word assignment of one image's descriptors: exact search over every word
// against the seeded k-d trees, for a vocabulary of 1000 words and 500 to
// 4000 descriptors (dense sampling gives thousands). Descriptors are drawn
// near the words, as real ones fall near the centres k-means put among them.
// Also reports how often the trees' word is the exact nearest one.
#include "tools/vocabulary.h"

#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

namespace {

struct Data
{
    Vocabulary exact, fast;
    cv::Mat queries;
    Data(int words, int count, int checks)
    {
        cv::RNG rng(7);
        cv::Mat centres(words, 128, CV_32F);
        rng.fill(centres, cv::RNG::UNIFORM, 0, 60);
        exact.setCentres(centres);
        fast.setCentres(centres);
        fast.prepareSearch(checks);
        queries.create(count, 128, CV_8U);
        for (int i = 0; i < count; ++i) {
            cv::Mat noise(1, 128, CV_32F);
            rng.fill(noise, cv::RNG::NORMAL, 0, 12);
            cv::Mat row = centres.row(rng.uniform(0, words)) + noise;
            row.convertTo(queries.row(i), CV_8U);
        }
    }
};

void exactSearch(benchmark::State &state)
{
    Data d(1000, int(state.range(0)), 0);
    std::vector<int> words;
    for (auto _ : state) {
        d.exact.assign(d.queries, words);
        benchmark::DoNotOptimize(words.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void treeSearch(benchmark::State &state)
{
    Data d(1000, int(state.range(0)), int(state.range(1)));
    std::vector<int> words, truth;
    d.exact.assign(d.queries, truth);
    for (auto _ : state) {
        d.fast.assign(d.queries, words);
        benchmark::DoNotOptimize(words.data());
    }
    int same = 0;
    for (size_t i = 0; i < words.size(); ++i)
        same += words[i] == truth[i];
    state.counters["exact share"] = double(same) / double(words.size());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

// The indexer assigns words on its own worker threads with OpenCV's pool
// off; so do the figures here.
static const int singleThreaded = (cv::setNumThreads(0), 0);

BENCHMARK(exactSearch)->Arg(500)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(treeSearch)->Args({500, 32})->Args({4000, 32})->Args({4000, 64})->Args({4000, 128})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
