#ifndef KMEANS_H
#define KMEANS_H

#include <QString>

#include <opencv2/core.hpp>

#include <cstdint>

class CACommunicator;

// Seeded k-means: a k-means++ start, then Lloyd rounds. Its result does not
// depend on how many processes share the work: every process holds the
// whole sample and draws the same start; in each round every process
// assigns its share of the sample's rows, and the centre sums are kept in
// fixed point (64-bit integers), so their total is exact in any order of
// summation. One process, or any number of them, give the same words, bit
// for bit.
class KMeans
{
public:
    // `sample`: CV_32F, one descriptor per row, the same on every process.
    // Stops after `rounds` rounds or when no row changes its centre.
    // Collective when `comm` spans several processes.
    static bool run(const cv::Mat &sample, int words, quint32 seed, int rounds, const CACommunicator &comm,
                     cv::Mat &centres, QString *error);

    // Bytes one process hands to the reduction of one round.
    static std::uint64_t bytesPerRound(int words, int dimension)
    {
        return (std::uint64_t(words) * std::uint64_t(dimension + 1) + 1) * sizeof(std::int64_t);
    }
};

#endif // KMEANS_H
