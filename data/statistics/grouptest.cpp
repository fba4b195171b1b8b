#include "data/statistics/grouptest.h"

#include "data/statistics/hypergeometric.h"

#include <algorithm>
#include <cmath>

GroupTest::Word GroupTest::test(double countIn, double countAll, double groupTotal, double total)
{
    Word w;
    w.countIn = countIn;
    w.countAll = countAll;
    const Hypergeometric law(countAll, total - countAll, groupTotal);
    const bool over = countIn / countAll > groupTotal / total;
    // One tail, on the side of the deviation, kept as a logarithm: the test
    // value stays finite where the probability underflows.
    const double logTail = over ? law.logUpperTail(countIn) : law.logLowerTail(countIn);
    double p = 2 * std::exp(logTail);
    double logHalf = logTail;
    if (p > 1) {
        // A tail above one half (a count at the mean of a skewed law): the
        // probability is folded back, as a two-sided probability must be.
        p = 2 - p;
        logHalf = std::log(p / 2);
    }
    w.pValue = p;
    const double z = Hypergeometric::normalQuantileLog(logHalf);
    w.vTest = over ? -z : z;
    return w;
}

std::vector<GroupTest::Word> GroupTest::run(const std::vector<double> &countIn, const std::vector<double> &countAll)
{
    double groupTotal = 0;
    double total = 0;
    const std::size_t n = std::min(countIn.size(), countAll.size());
    for (std::size_t j = 0; j < n; ++j) {
        groupTotal += std::round(countIn[j]);
        total += std::round(countAll[j]);
    }
    std::vector<Word> out;
    if (!(groupTotal > 0) || !(total > 0))
        return out;
    for (std::size_t j = 0; j < n; ++j) {
        const double all = std::round(countAll[j]);
        if (!(all > 0))
            continue;
        Word w = test(std::round(countIn[j]), all, groupTotal, total);
        w.word = int(j);
        out.push_back(w);
    }
    std::stable_sort(out.begin(), out.end(), [](const Word &a, const Word &b) { return a.vTest > b.vTest; });
    return out;
}
