#include "solver/contingencytable.h"

#include "data/numberscanner.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

std::string position(long long row, long long col)
{
    return "at row " + std::to_string(row + 1) + ", column " + std::to_string(col + 1);
}

std::string shortNumber(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

} // namespace

bool ContingencyTable::read(const std::string &path)
{
    NumberScanner scanner;
    if (!scanner.open(path))
        return fail(std::string("cannot open the table: ") + std::strerror(errno));
    return load(scanner);
}

bool ContingencyTable::parse(std::string text)
{
    NumberScanner scanner;
    scanner.openText(std::move(text));
    return load(scanner);
}

bool ContingencyTable::fail(std::string message)
{
    m_error = std::move(message);
    m_counts = Matrix();
    return false;
}

bool ContingencyTable::load(NumberScanner &scanner)
{
    m_error.clear();
    m_counts = Matrix();

    long long dims[2] = {0, 0};
    const char *names[2] = {"row", "column"};
    for (int d = 0; d < 2; ++d) {
        NumberScanner::Result r = scanner.nextInt(dims[d]);
        if (r == NumberScanner::End)
            return fail(std::string("the file ends before the ") + names[d] + " count of its header");
        if (r == NumberScanner::Bad)
            return fail(std::string("the ") + names[d] + " count of the header is not a whole number: '"
                        + scanner.badToken() + "'");
        if (dims[d] < 0)
            return fail(std::string("the ") + names[d] + " count of the header is negative ("
                        + std::to_string(dims[d]) + ")");
        if (dims[d] > INT_MAX)
            return fail(std::string("the ") + names[d] + " count of the header is too large ("
                        + std::to_string(dims[d]) + ")");
    }
    const long long rows = dims[0], cols = dims[1];
    const std::uint64_t cells = std::uint64_t(rows) * std::uint64_t(cols);
    const std::string shape = std::to_string(rows) + " x " + std::to_string(cols);

    // Refuse a header that announces no values, or more than the file can
    // hold, before allocating anything for it.
    if (cells == 0)
        return fail("the table has no cells (" + shape + ")");
    if (cells > scanner.maxRemainingValues())
        return fail("the file is too short for the " + shape + " values its header announces");

    // Count tables hold whole numbers; the scanner's integer path is about
    // twice as fast as its real path on them. The first token that is not
    // a whole number switches the rest of the file to the real path.
    Matrix counts(rows, cols);
    bool integers = true;
    for (long long i = 0; i < rows; ++i) {
        counts.startVec(Eigen::Index(i));
        for (long long j = 0; j < cols; ++j) {
            double v;
            NumberScanner::Result r = NumberScanner::Bad;
            if (integers) {
                long long n;
                r = scanner.nextInt(n);
                if (r == NumberScanner::Ok)
                    v = double(n);
                else if (r == NumberScanner::Bad)
                    integers = false;
            }
            if (!integers)
                r = scanner.nextDouble(v);
            if (r == NumberScanner::End)
                return fail("the file ends after " + std::to_string(std::uint64_t(i) * cols + j) + " of the "
                            + std::to_string(cells) + " values its header announces (" + shape + ")");
            if (r == NumberScanner::Bad)
                return fail("not a number " + position(i, j) + ": '" + scanner.badToken() + "'");
            if (v == 0)
                continue;
            if (!std::isfinite(v))
                return fail("not a finite count " + position(i, j) + ": " + shortNumber(v));
            if (v < 0)
                return fail("negative count " + position(i, j) + ": " + shortNumber(v));
            if (counts.data().size() == INT_MAX)
                return fail("the table has too many non-zero cells (more than " + std::to_string(INT_MAX) + ")");
            counts.insertBack(Eigen::Index(i), Eigen::Index(j)) = v;
        }
    }
    counts.finalize();
    m_counts = std::move(counts);
    return true;
}
