#include "data/statistics/tableinertia.h"

#include "data/formats/numberscanner.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Opens a fresh scanner over the same input for each pass.
using Opener = std::function<bool(NumberScanner &, std::string &)>;

bool header(NumberScanner &s, long long &rows, long long &cols, std::string &error)
{
    if (s.nextInt(rows) != NumberScanner::Ok || s.nextInt(cols) != NumberScanner::Ok || rows <= 0
        || cols <= 0) {
        error = "the first line is not the row and column counts";
        return false;
    }
    // Every cell takes at least two characters: a count beyond what the
    // text can hold is refused before a column sum is allocated.
    if (std::uint64_t(rows) * std::uint64_t(cols) > s.maxRemainingValues()) {
        error = "the text holds fewer cells than its header announces";
        return false;
    }
    return true;
}

bool cell(NumberScanner &s, double &v, std::string &error)
{
    if (s.nextDouble(v) != NumberScanner::Ok) {
        error = s.badToken().empty() ? "the text ends before its last cell"
                                     : "'" + s.badToken() + "' is not a count";
        return false;
    }
    if (!std::isfinite(v) || v < 0) {
        error = "a cell is negative or not finite";
        return false;
    }
    return true;
}

double compute(const Opener &open, std::string &error)
{
    NumberScanner s;
    long long rows = 0, cols = 0;
    if (!open(s, error) || !header(s, rows, cols, error))
        return kNaN;
    std::vector<double> colSum(std::size_t(cols), 0.0);
    double grand = 0;
    for (long long i = 0; i < rows; ++i) {
        for (long long j = 0; j < cols; ++j) {
            double v;
            if (!cell(s, v, error))
                return kNaN;
            colSum[std::size_t(j)] += v;
            grand += v;
        }
    }
    if (!(grand > 0)) {
        error = "every cell is zero";
        return kNaN;
    }

    NumberScanner again;
    if (!open(again, error) || !header(again, rows, cols, error))
        return kNaN;
    std::vector<double> row(static_cast<std::size_t>(cols));
    double sum = 0;
    for (long long i = 0; i < rows; ++i) {
        double rowSum = 0;
        for (long long j = 0; j < cols; ++j) {
            if (!cell(again, row[std::size_t(j)], error))
                return kNaN;
            rowSum += row[std::size_t(j)];
        }
        if (rowSum <= 0)
            continue;
        for (long long j = 0; j < cols; ++j) {
            const double v = row[std::size_t(j)];
            if (v > 0)
                sum += v * v / (rowSum * colSum[std::size_t(j)]);
        }
    }
    // Rounding can leave a table of one profile a hair below zero.
    return std::max(0.0, sum - 1.0);
}

} // namespace

double TableInertia::ofFile(const std::string &path, std::string &error)
{
    return compute(
        [&path](NumberScanner &s, std::string &why) {
            if (s.open(path))
                return true;
            why = s.openError();
            return false;
        },
        error);
}

double TableInertia::ofText(const std::string &text, std::string &error)
{
    return compute(
        [&text](NumberScanner &s, std::string &) {
            s.openText(text);
            return true;
        },
        error);
}
