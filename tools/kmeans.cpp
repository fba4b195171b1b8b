#include "tools/kmeans.h"

#include "data/communicator/cacommunicator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

// Squared distance with eight running sums in a fixed order: the same
// bits on every process, and a loop the compiler can keep in vector
// registers.
inline float distance2(const float *a, const float *b, int d)
{
    float s[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    int j = 0;
    for (; j + 8 <= d; j += 8)
        for (int l = 0; l < 8; ++l) {
            const float t = a[j + l] - b[j + l];
            s[l] += t * t;
        }
    float total = ((s[0] + s[1]) + (s[2] + s[3])) + ((s[4] + s[5]) + (s[6] + s[7]));
    for (; j < d; ++j) {
        const float t = a[j] - b[j];
        total += t * t;
    }
    return total;
}

// A uniform index below `span` from the generator, without the library's
// distributions, whose results differ between implementations.
std::size_t draw(std::mt19937 &rng, std::size_t span)
{
    const std::uint64_t wide = (std::uint64_t(rng()) << 32) | rng();
    return std::size_t(wide % std::uint64_t(span));
}

} // namespace

bool KMeans::run(const cv::Mat &sample, int words, quint32 seed, int rounds, const CACommunicator &comm,
                 cv::Mat &centres, QString *error)
{
    const int n = sample.rows, d = sample.cols;
    if (words < 1 || n < words || sample.type() != CV_32F) {
        *error = QStringLiteral("k-means needs at least as many descriptors as words (%1 for %2)").arg(n).arg(words);
        return false;
    }
    centres.create(words, d, CV_32F);

    // k-means++: each next centre drawn with probability proportional to
    // the squared distance to the nearest centre so far.
    std::mt19937 rng(seed);
    std::vector<double> nearest(std::size_t(n), std::numeric_limits<double>::infinity());
    std::size_t pick = draw(rng, std::size_t(n));
    for (int c = 0; c < words; ++c) {
        sample.row(int(pick)).copyTo(centres.row(c));
        const float *centre = centres.ptr<float>(c);
        cv::parallel_for_(cv::Range(0, n), [&](const cv::Range &range) {
            for (int i = range.start; i < range.end; ++i) {
                const double dist = distance2(sample.ptr<float>(i), centre, d);
                if (dist < nearest[std::size_t(i)])
                    nearest[std::size_t(i)] = dist;
            }
        });
        double total = 0;
        for (int i = 0; i < n; ++i)
            total += nearest[std::size_t(i)];
        if (c + 1 == words)
            break;
        if (total <= 0) { // fewer distinct descriptors than words
            pick = draw(rng, std::size_t(n));
            continue;
        }
        const double target = (double(rng()) + 0.5) / 4294967296.0 * total;
        double run = 0;
        pick = std::size_t(n - 1);
        for (int i = 0; i < n; ++i) {
            run += nearest[std::size_t(i)];
            if (run >= target && nearest[std::size_t(i)] > 0) {
                pick = std::size_t(i);
                break;
            }
        }
    }
    nearest = std::vector<double>();

    // Fixed point for the sums: as fine as the largest value and the row
    // count allow within 62 bits.
    double largest = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < d; ++j)
            largest = std::max(largest, double(std::abs(sample.at<float>(i, j))));
    double scale = 1.0;
    if (largest > 0)
        scale = std::ldexp(1.0, std::min(40, int(std::floor(std::log2(std::ldexp(1.0, 62) / (largest * n))))));

    // Lloyd rounds over this process's rows.
    const int first = int(std::int64_t(n) * comm.rank() / comm.size());
    const int last = int(std::int64_t(n) * (comm.rank() + 1) / comm.size());
    std::vector<int> label(std::size_t(last - first), -1), next(label.size());
    std::vector<std::int64_t> sums(std::size_t(words) * std::size_t(d + 1) + 1);
    for (int round = 0; round < rounds; ++round) {
        std::fill(sums.begin(), sums.end(), 0);
        std::int64_t *counts = sums.data() + std::size_t(words) * std::size_t(d);
        std::int64_t &changed = sums.back();
        // The nearest centres on the threads OpenCV is given; the sums after,
        // in row order (exact either way).
        cv::parallel_for_(cv::Range(first, last), [&](const cv::Range &range) {
            for (int i = range.start; i < range.end; ++i) {
                const float *row = sample.ptr<float>(i);
                int best = 0;
                float bestDist = std::numeric_limits<float>::infinity();
                for (int c = 0; c < words; ++c) {
                    const float dist = distance2(row, centres.ptr<float>(c), d);
                    if (dist < bestDist) {
                        bestDist = dist;
                        best = c;
                    }
                }
                next[std::size_t(i - first)] = best;
            }
        });
        for (int i = first; i < last; ++i) {
            const float *row = sample.ptr<float>(i);
            const int best = next[std::size_t(i - first)];
            int &l = label[std::size_t(i - first)];
            changed += l != best;
            l = best;
            ++counts[best];
            std::int64_t *sum = sums.data() + std::size_t(best) * std::size_t(d);
            for (int j = 0; j < d; ++j)
                sum[j] += std::llround(double(row[j]) * scale);
        }
        comm.sum(sums.data(), sums.size());
        for (int c = 0; c < words; ++c) {
            if (counts[c] == 0)
                continue; // an empty word keeps its centre
            float *centre = centres.ptr<float>(c);
            const std::int64_t *sum = sums.data() + std::size_t(c) * std::size_t(d);
            for (int j = 0; j < d; ++j)
                centre[j] = float(double(sum[j]) / scale / double(counts[c]));
        }
        if (changed == 0)
            break;
    }
    return true;
}
