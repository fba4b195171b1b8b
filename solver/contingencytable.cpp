#include "solver/contingencytable.h"

#include "data/formats/numberscanner.h"
#include "data/formats/regularfile.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <unistd.h>
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
    // The scanner says what the path is (a FIFO, a device, a folder) where
    // errno would only say "Invalid argument".
    if (!scanner.open(path))
        return fail(openError(scanner));
    m_path = path;
    const bool ok = load(scanner);
    m_path.clear();
    return ok;
}

bool ContingencyTable::parse(std::string text)
{
    NumberScanner scanner;
    scanner.openText(std::move(text));
    return load(scanner);
}

std::string ContingencyTable::openError(const NumberScanner &scanner)
{
    const std::string why = scanner.openError().empty() ? std::strerror(errno) : scanner.openError();
    return "cannot open the table: " + why;
}

long long ContingencyTable::lineOf(const std::string &path, std::uint64_t offset)
{
    std::string why;
    const int fd = RegularFile::open(path, why);
    if (fd < 0)
        return 0;
    std::vector<char> buf(std::size_t(1) << 20);
    long long line = 1;
    for (std::uint64_t pos = 0; pos < offset;) {
        const ssize_t n = ::read(fd, buf.data(), std::size_t(std::min<std::uint64_t>(buf.size(), offset - pos)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i)
            line += buf[std::size_t(i)] == '\n';
        pos += std::uint64_t(n);
    }
    ::close(fd);
    return line;
}

std::string ContingencyTable::extraValuesError(int rows, int cols, long long line)
{
    std::string where = line > 0 ? "line " + std::to_string(line) : std::string("the text");
    return where + " holds values beyond the " + std::to_string(std::uint64_t(rows) * std::uint64_t(cols))
           + " its header announces (" + std::to_string(rows) + " x " + std::to_string(cols)
           + "); a table ends with its last row";
}

bool ContingencyTable::fail(std::string message)
{
    m_error = std::move(message);
    m_counts = Matrix();
    return false;
}

bool ContingencyTable::readHeader(NumberScanner &scanner, int &rows, int &cols, std::string &error)
{
    long long dims[2] = {0, 0};
    const char *names[2] = {"row", "column"};
    for (int d = 0; d < 2; ++d) {
        NumberScanner::Result r = scanner.nextInt(dims[d]);
        if (r == NumberScanner::End)
            error = std::string("the file ends before the ") + names[d] + " count of its header";
        else if (r == NumberScanner::Bad)
            error = std::string("the ") + names[d] + " count of the header is not a whole number: '"
                    + scanner.badToken() + "'";
        else if (dims[d] < 0)
            error = std::string("the ") + names[d] + " count of the header is negative (" + std::to_string(dims[d])
                    + ")";
        else if (dims[d] > INT_MAX)
            error = std::string("the ") + names[d] + " count of the header is too large ("
                    + std::to_string(dims[d]) + ")";
        else
            continue;
        return false;
    }
    rows = int(dims[0]);
    cols = int(dims[1]);
    const std::uint64_t cells = std::uint64_t(rows) * std::uint64_t(cols);
    const std::string shape = std::to_string(rows) + " x " + std::to_string(cols);

    // Refuse a header that announces no values, or more than the file can
    // hold, before allocating anything for it.
    if (cells == 0) {
        error = "the table has no cells (" + shape + ")";
        return false;
    }
    if (cells > scanner.maxRemainingValues()) {
        error = "the file is too short for the " + shape + " values its header announces";
        return false;
    }
    return true;
}

int ContingencyTable::nextCell(NumberScanner &scanner, bool &integers, long long row, long long col, double &v,
                               std::string &error)
{
    // Count tables hold whole numbers; the scanner's integer path is about
    // twice as fast as its real path on them. The first token that is not
    // a whole number switches the rest of the text to the real path.
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
        return r;
    if (r == NumberScanner::Bad) {
        error = "not a number " + position(row, col) + ": '" + scanner.badToken() + "'";
        return r;
    }
    if (v == 0)
        return r;
    if (!std::isfinite(v)) {
        error = "not a finite count " + position(row, col) + ": " + shortNumber(v);
        return NumberScanner::Bad;
    }
    if (v < 0) {
        error = "negative count " + position(row, col) + ": " + shortNumber(v);
        return NumberScanner::Bad;
    }
    return r;
}

std::string ContingencyTable::shortTextError(std::uint64_t read, int rows, int cols)
{
    return "the file ends after " + std::to_string(read) + " of the "
           + std::to_string(std::uint64_t(rows) * std::uint64_t(cols)) + " values its header announces ("
           + std::to_string(rows) + " x " + std::to_string(cols) + ")";
}

std::string ContingencyTable::tooManyCellsError()
{
    return "the table has too many non-zero cells (more than " + std::to_string(INT_MAX) + ")";
}

std::string ContingencyTable::outOfMemoryError()
{
    return "there is not enough memory for the non-zero cells of the table";
}

bool ContingencyTable::load(NumberScanner &scanner)
{
    m_error.clear();
    m_counts = Matrix();

    int rows = 0, cols = 0;
    std::string error;
    if (!readHeader(scanner, rows, cols, error))
        return fail(error);

    Matrix counts(cols);
    counts.reserveRows(std::size_t(rows));
    bool integers = true;
    for (long long i = 0; i < rows; ++i) {
        counts.startRow();
        for (long long j = 0; j < cols; ++j) {
            double v = 0;
            const int r = nextCell(scanner, integers, i, j, v, error);
            if (r == NumberScanner::End)
                return fail(shortTextError(std::uint64_t(i) * cols + j, rows, cols));
            if (r == NumberScanner::Bad)
                return fail(error);
            if (v == 0)
                continue;
            if (counts.nonZeros() == INT_MAX)
                return fail(tooManyCellsError());
            if (!counts.append(int(j), v))
                return fail(outOfMemoryError());
        }
    }
    // A header that undercounts would otherwise analyse part of the table
    // without a word.
    if (!scanner.atEnd())
        return fail(extraValuesError(rows, cols, m_path.empty() ? 0 : lineOf(m_path, scanner.consumed())));
    counts.squeeze();
    m_counts = std::move(counts);
    return true;
}
