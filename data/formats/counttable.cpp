#include "data/formats/counttable.h"

#include "data/formats/numberscanner.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

bool CountTable::fail(std::string message)
{
    // Nothing half-read stays behind a failure.
    *this = CountTable();
    m_error = std::move(message);
    return false;
}

bool CountTable::read(const std::string &path)
{
    NumberScanner scanner;
    if (!scanner.open(path))
        return fail(scanner.openError());
    return load(scanner);
}

bool CountTable::parse(std::string text)
{
    NumberScanner scanner;
    scanner.openText(std::move(text));
    return load(scanner);
}

bool CountTable::load(NumberScanner &scanner)
{
    m_error.clear();
    long long rows = 0;
    long long cols = 0;
    if (scanner.nextInt(rows) != NumberScanner::Ok || scanner.nextInt(cols) != NumberScanner::Ok)
        return fail("the header is not two whole numbers (rows, columns)");
    if (rows < 0 || cols < 0 || rows > std::numeric_limits<int>::max() || cols > std::numeric_limits<int>::max())
        return fail("the header announces " + std::to_string(rows) + " x " + std::to_string(cols)
                    + " cells, which is not a table");
    // Every value takes at least two characters: a header announcing more
    // than the text can hold is refused before anything is allocated.
    if (double(rows) * double(cols) > double(scanner.maxRemainingValues()))
        return fail("the header announces " + std::to_string(rows) + " x " + std::to_string(cols)
                    + " values, more than the file holds");
    m_rows = int(rows);
    m_cols = int(cols);
    bool integers = true;
    bool squares = true;
    try {
        m_start.assign(1, 0);
        m_start.reserve(std::size_t(rows) + 1);
        m_colSum.assign(std::size_t(cols), 0.0);
        m_rowSum.assign(std::size_t(rows), 0.0);
        std::vector<double> row(static_cast<std::size_t>(cols));
        for (long long i = 0; i < rows; ++i) {
            if (progress && i % 64 == 0 && !progress(i, rows))
                return fail("stopped");
            NumberScanner::Result result = NumberScanner::Ok;
            const std::size_t got = scanner.readDoubles(row.data(), row.size(), result);
            if (got != row.size()) {
                if (result == NumberScanner::Bad)
                    return fail("row " + std::to_string(i + 1) + " holds \"" + scanner.badToken()
                                + "\", which is not a number");
                return fail("the text ends in row " + std::to_string(i + 1) + " of " + std::to_string(rows));
            }
            double sum = 0;
            for (int j = 0; j < m_cols; ++j) {
                const double v = row[std::size_t(j)];
                if (!(v >= 0) || !std::isfinite(v))
                    return fail("row " + std::to_string(i + 1) + ", column " + std::to_string(j + 1)
                                + " is not a count (negative or not finite)");
                if (v == 0)
                    continue;
                if (integers && v != std::floor(v))
                    integers = false;
                // Square roots written with 7 significant digits square back
                // to within a few 1e-7 of a whole number.
                if (squares) {
                    const double sq = v * v;
                    squares = std::fabs(sq - std::round(sq)) <= 1e-5 * std::max(1.0, sq);
                }
                if (m_value.size() >= MaxCells)
                    return fail("more than " + std::to_string(MaxCells) + " non-zero cells, too large to hold");
                m_col.push_back(j);
                m_value.push_back(v);
                sum += v;
                m_colSum[std::size_t(j)] += v;
            }
            m_rowSum[std::size_t(i)] = sum;
            m_start.push_back(m_value.size());
        }
    } catch (const std::bad_alloc &) {
        return fail("not enough memory to hold the table");
    }
    m_scale = integers ? Counts : (squares ? SquareRoots : Weighted);
    finish();
    return true;
}

double CountTable::count(double v) const
{
    return m_scale == SquareRoots ? std::round(v * v) : (m_scale == Weighted ? std::round(v) : v);
}

void CountTable::finish()
{
    m_total = 0;
    for (double s : m_rowSum)
        m_total += s;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    m_rowD2.assign(std::size_t(m_rows), nan);
    m_colD2.assign(std::size_t(m_cols), nan);
    std::vector<double> colAcc(std::size_t(m_cols), 0.0);
    m_colCount.assign(std::size_t(m_cols), 0.0);
    // d2(row i) = sum_j (x_ij / r_i - c_j / N)^2 / (c_j / N)
    //           = N / r_i^2 * sum_j x_ij^2 / c_j - 1, over the non-zero cells;
    // the same with rows and columns exchanged.
    for (int i = 0; i < m_rows; ++i) {
        const double r = m_rowSum[std::size_t(i)];
        double acc = 0;
        for (std::uint64_t p = m_start[std::size_t(i)]; p < m_start[std::size_t(i) + 1]; ++p) {
            const double x = m_value[p];
            const int j = m_col[p];
            acc += x * x / m_colSum[std::size_t(j)];
            m_colCount[std::size_t(j)] += count(x);
            colAcc[std::size_t(j)] += x * x / r;
        }
        if (r > 0)
            m_rowD2[std::size_t(i)] = std::max(0.0, m_total / (r * r) * acc - 1.0);
    }
    m_inertia = 0;
    for (int j = 0; j < m_cols; ++j) {
        const double c = m_colSum[std::size_t(j)];
        if (c > 0)
            m_colD2[std::size_t(j)] = std::max(0.0, m_total / (c * c) * colAcc[std::size_t(j)] - 1.0);
    }
    // Total inertia = sum_i (r_i / N) d2(row i).
    if (m_total > 0)
        for (int i = 0; i < m_rows; ++i)
            if (m_rowSum[std::size_t(i)] > 0)
                m_inertia += m_rowSum[std::size_t(i)] / m_total * m_rowD2[std::size_t(i)];
}

std::vector<double> CountTable::columnCounts(const std::vector<int> &rows) const
{
    std::vector<double> out(std::size_t(m_cols), 0.0);
    for (int i : rows)
        for (std::uint64_t p = m_start[std::size_t(i)]; p < m_start[std::size_t(i) + 1]; ++p)
            out[std::size_t(m_col[p])] += count(m_value[p]);
    return out;
}

std::vector<double> CountTable::column(int j, bool counts) const
{
    std::vector<double> out(std::size_t(m_rows), 0.0);
    if (j < 0 || j >= m_cols)
        return out;
    // A row's cells are in column order: each row is one binary search.
    for (int i = 0; i < m_rows; ++i) {
        const auto first = m_col.begin() + std::ptrdiff_t(m_start[std::size_t(i)]);
        const auto last = m_col.begin() + std::ptrdiff_t(m_start[std::size_t(i) + 1]);
        const auto it = std::lower_bound(first, last, j);
        if (it != last && *it == j) {
            const double v = m_value[std::size_t(it - m_col.begin())];
            out[std::size_t(i)] = counts ? count(v) : v;
        }
    }
    return out;
}
