// The solver from table to result files. The first byte chooses the axis
// count, the method and whether the whole ca.exe command runs (reading,
// solving, writing, and the removal of earlier results) or the library
// calls one by one; the rest is the table. A solve that succeeds must give
// finite results of the announced shape, and leave exactly the five files.
#include "data/formats/numberscanner.h"
#include "fuzzsupport.h"
#include "solver/caprogram.h"
#include "data/formats/caresultwriter.h"
#include "solver/casolver.h"
#include "solver/contingencytable.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <sys/stat.h>

namespace {

bool exists(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The first two numbers of a result file: its header.
void header(const std::string &path, long long &a, long long &b)
{
    NumberScanner in;
    Fuzz::require(in.open(path), "a result file opens");
    Fuzz::require(in.nextInt(a) == NumberScanner::Ok, "a result file starts with its count");
    if (in.nextInt(b) != NumberScanner::Ok)
        b = -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const int k = data[0] & 7;
    const int method = (data[0] >> 3) & 3;
    const bool program = data[0] & 0x20;
    const std::string table = Fuzz::put("table.txt", std::string(reinterpret_cast<const char *>(data + 1), size - 1));

    if (program) {
        static std::FILE *null = std::fopen("/dev/null", "w");
        const std::string kText = std::to_string(k);
        const char *argv[] = {"ca.exe", "-k", kText.c_str(), table.c_str(), table.c_str()};
        const int status = CAProgram(null, null).run(5, argv);
        Fuzz::require(status == 0 || status == 1, "the command line was valid");
        for (const char *suffix : CAResultWriter::kSuffixes)
            Fuzz::require(exists(table + suffix) == (status == 0), "all five files, or none");
        if (status == 0) {
            long long rows = 0, axes = 0, cols = 0, axesW = 0;
            header(table + "_Z.txt", rows, axes);
            header(table + "_W.txt", cols, axesW);
            Fuzz::require(axes == axesW && axes >= 1 && (k == 0 || axes <= k), "axes as asked");
            // Every number of the text was part of the table: a header
            // announcing fewer values than follow it is refused.
            long long tokens = 0;
            bool inToken = false;
            for (std::size_t i = 1; i < size; ++i) {
                const bool space = std::isspace(data[i]) != 0;
                tokens += !space && !inToken;
                inToken = !space;
            }
            Fuzz::require(tokens == 2 + rows * cols, "no values beyond the header's table");
        }
        CAResultWriter::removeResults(table);
        return 0;
    }

    ContingencyTable t, again;
    if (!t.read(table))
        return 0;
    Fuzz::require(again.read(table), "the same table reads twice");
    const auto chosen = method == 1 ? CASolver::Dense : method == 2 ? CASolver::Truncated : CASolver::Auto;
    CASolver solver;
    solver.setMethod(chosen);
    CASolution s;
    const int rows = t.rows(), cols = t.cols();

    // The same table in another unit: every count times a power of two,
    // chosen so that none leaves the normal range. CA does not depend on the
    // unit, and the solver must give the same answer to the last bit.
    ContingencyTable::Matrix rescaled = again.takeCounts();
    // In double precision, where every power of two below stays exact.
    if (!rescaled.widen())
        return 0;
    double *value = rescaled.values();
    double largest = 0, smallest = 0;
    for (std::int64_t p = 0; p < rescaled.nonZeros(); ++p) {
        largest = std::max(largest, value[p]);
        smallest = smallest == 0 ? value[p] : std::min(smallest, value[p]);
    }
    int high = 0, low = 0;
    std::frexp(largest, &high);
    std::frexp(smallest, &low);
    // Every count keeps an exponent in [-1020, 1023].
    const int lo = -1020 - low, hi = 1023 - high;
    const int shift = largest == 0 || hi < lo ? 0 : lo + int(data[size - 1]) * 7919 % (hi - lo + 1);
    for (std::int64_t p = 0; p < rescaled.nonZeros(); ++p)
        value[p] = std::ldexp(value[p], shift);
    CASolver other;
    other.setMethod(chosen);
    CASolution r;
    const bool solved = solver.solve(t.takeCounts(), k, s);
    const bool solvedRescaled = other.solve(std::move(rescaled), k, r);
    Fuzz::require(solved == solvedRescaled, "the unit of the counts does not decide whether there are axes");
    if (!solved)
        return 0;
    Fuzz::require(r.lambda == s.lambda && r.Z == s.Z && r.W == s.W && r.P == s.P && r.Q == s.Q,
                  "the unit of the counts changes no result");
    Fuzz::require(s.rows == rows && s.cols == cols, "shape of the table");
    Fuzz::require(s.axes >= 1 && (k == 0 || s.axes <= k), "axes as asked");
    Fuzz::require(s.Z.size() == std::size_t(rows) * s.axes && s.W.size() == std::size_t(cols) * s.axes
                      && s.P.size() == std::size_t(rows) && s.Q.size() == std::size_t(cols)
                      && s.lambda.size() == std::size_t(s.axes),
                  "result arrays of the announced sizes");
    for (double v : s.Z)
        Fuzz::require(std::isfinite(v), "finite row coordinates");
    for (double v : s.W)
        Fuzz::require(std::isfinite(v), "finite column coordinates");
    for (std::size_t a = 0; a < s.lambda.size(); ++a)
        Fuzz::require(s.lambda[a] > 0 && s.lambda[a] <= 1 + 1e-9 && (a == 0 || s.lambda[a] <= s.lambda[a - 1] * (1 + 1e-9)),
                      "inertias in (0, 1], largest first");
    CAResultWriter writer;
    Fuzz::require(writer.write(table, s.arrays()), "the results are written");
    CAResultWriter::removeResults(table);
    return 0;
}
