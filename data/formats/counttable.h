#ifndef COUNTTABLE_H
#define COUNTTABLE_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The analysed contingency table (images x words) held for what the result
// files alone cannot tell: each point's full chi-square distance to the
// centroid (the denominator of its quality) and the word counts of any group
// of images (the group test). Only the non-zero cells are kept; the text is
// read in blocks, never whole. No Qt: the command line uses it too.
class CountTable
{
public:
    // Larger tables are refused rather than exhausting memory (12 bytes per
    // non-zero cell: about 1.2 GB).
    static constexpr std::uint64_t MaxCells = 100000000;

    // False when the file cannot be opened or is not a valid table; error()
    // then says why (without the path, which the caller adds).
    bool read(const std::string &path);
    // The same from a text in memory (tests, small inputs).
    bool parse(std::string text);

    // Called while reading, every few rows, with the rows read and the rows
    // announced; returning false stops the reading, which then fails with
    // error() "stopped". Lets a reader on another thread show its progress
    // and be cancelled.
    std::function<bool(long long done, long long total)> progress;

    // What the cells hold. Indexers write word counts, their square roots
    // (to damp bursty words) or presences; the group test needs the counts,
    // which square roots give back exactly.
    enum Scale {
        Counts,      // whole numbers
        SquareRoots, // non-integers whose squares are whole numbers
        Weighted     // anything else: taken rounded as counts
    };
    Scale scale() const { return m_scale; }

    int rows() const { return m_rows; }
    int cols() const { return m_cols; }
    double total() const { return m_total; }
    double rowSum(int i) const { return m_rowSum[std::size_t(i)]; }
    double colSum(int j) const { return m_colSum[std::size_t(j)]; }
    const std::string &error() const { return m_error; }

    // Squared chi-square distance of row i's profile (column j's) to the
    // average profile: the whole inertia of the point over all axes, times
    // 1 / its mass. NaN for an empty row or column.
    double rowDistance2(int i) const { return m_rowD2[std::size_t(i)]; }
    double colDistance2(int j) const { return m_colD2[std::size_t(j)]; }
    // The table's total inertia (chi-square / grand total).
    double inertia() const { return m_inertia; }

    // The count of every column summed over `rows` (indices in range, each
    // taken as often as it is listed), on the count scale: square roots are
    // squared back, weighted values rounded.
    std::vector<double> columnCounts(const std::vector<int> &rows) const;
    // Column j's count over every row, on the same scale.
    double colCount(int j) const { return m_colCount[std::size_t(j)]; }
    // Column j's value in every row (rows() values), on the count scale
    // when `counts`, else as the table holds it.
    std::vector<double> column(int j, bool counts) const;

private:
    bool load(class NumberScanner &scanner);
    bool fail(std::string message);
    void finish();
    double count(double v) const;

    int m_rows = 0;
    int m_cols = 0;
    double m_total = 0;
    double m_inertia = 0;
    std::vector<std::uint64_t> m_start; // row i's cells: [m_start[i], m_start[i + 1])
    std::vector<int> m_col;
    std::vector<double> m_value;
    std::vector<double> m_rowSum;
    std::vector<double> m_colSum;
    std::vector<double> m_rowD2;
    std::vector<double> m_colD2;
    std::vector<double> m_colCount;
    Scale m_scale = Counts;
    std::string m_error;
};

#endif // COUNTTABLE_H
