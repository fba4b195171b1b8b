// Writes a sparse, topic-structured count table in the contingency-table text
// format, for the solver benchmarks:
//   ca-gentable ROWS COLS OUT [DENSITY] [TOPICS] [SEED]
// Each row belongs to one of TOPICS topics of unequal size and strength; a
// topic draws most of its words from its own block of columns (Zipf-like
// within the block), the rest from all columns. This gives TOPICS - 1
// separated leading axes over a bulk of sampling noise. DENSITY (default
// 0.02) is the share of non-zero cells aimed at.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc < 4 || argc > 7) {
        std::fprintf(stderr, "usage: ca-gentable ROWS COLS OUT [DENSITY] [TOPICS] [SEED]\n");
        return 2;
    }
    const int rows = std::atoi(argv[1]);
    const int cols = std::atoi(argv[2]);
    const char *out = argv[3];
    const double density = argc > 4 ? std::atof(argv[4]) : 0.02;
    const int topics = argc > 5 ? std::atoi(argv[5]) : 6;
    const unsigned long seed = argc > 6 ? std::strtoul(argv[6], nullptr, 10) : 1;
    if (rows < 1 || cols < topics || topics < 1 || density <= 0 || density > 1) {
        std::fprintf(stderr, "ca-gentable: bad arguments\n");
        return 2;
    }

    // Topic t: share of the rows ~ (t + 2), block of columns ~ (topics - t + 2),
    // share of its words drawn from its block 0.45 + 0.07 t.
    std::vector<double> rowShare(topics), blockShare(topics), focus(topics);
    double rs = 0, bs = 0;
    for (int t = 0; t < topics; ++t) {
        rowShare[t] = t + 2;
        blockShare[t] = topics - t + 2;
        focus[t] = std::min(0.9, 0.45 + 0.07 * t);
        rs += rowShare[t];
        bs += blockShare[t];
    }
    std::vector<int> blockStart(topics + 1, 0);
    for (int t = 0; t < topics; ++t)
        blockStart[t + 1] = t + 1 == topics ? cols : blockStart[t] + int(cols * blockShare[t] / bs);
    std::discrete_distribution<int> pickTopic(rowShare.begin(), rowShare.end());

    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // Distinct words per row: `density` of the columns on average. Drawing
    // goes on until that many cells are hit, so repeated words add counts.
    std::poisson_distribution<int> distinct(density * cols);

    std::FILE *f = std::fopen(out, "w");
    if (!f) {
        std::perror(out);
        return 1;
    }
    std::fprintf(f, "%d %d\n", rows, cols);
    std::vector<int> counts(cols);
    std::string line;
    for (int i = 0; i < rows; ++i) {
        std::fill(counts.begin(), counts.end(), 0);
        const int t = pickTopic(rng);
        const int b0 = blockStart[t], width = blockStart[t + 1] - blockStart[t];
        const int target = std::min(cols, std::max(1, distinct(rng)));
        for (int hit = 0, d = 0; hit < target && d < 50 * cols; ++d) {
            int j;
            if (unit(rng) < focus[t]) {
                // Zipf-like within the block: index ~ width^u - 1.
                j = b0 + std::min(width - 1, int(std::pow(double(width), unit(rng))) - 1);
            } else {
                j = int(unit(rng) * cols) % cols;
            }
            hit += counts[j]++ == 0;
        }
        line.clear();
        char buf[16];
        for (int j = 0; j < cols; ++j) {
            auto r = std::to_chars(buf, buf + sizeof buf, counts[j]);
            line.append(buf, r.ptr);
            line += j + 1 < cols ? ' ' : '\n';
        }
        std::fwrite(line.data(), 1, line.size(), f);
    }
    if (std::fclose(f) != 0) {
        std::perror(out);
        return 1;
    }
    return 0;
}
