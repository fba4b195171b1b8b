#include "solver/caprogram.h"

#include "data/formats/caresultwriter.h"
#include "solver/casolver.h"
#include "solver/casupplementary.h"
#include "solver/contingencytable.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>

#ifndef ORTELIS_VERSION
#define ORTELIS_VERSION "unknown"
#endif

namespace {

// A decimal count without sign or other characters.
bool parseCount(const char *text, int &value)
{
    if (!*text)
        return false;
    long long v = 0;
    for (const char *p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        v = v * 10 + (*p - '0');
        if (v > INT_MAX)
            return false;
    }
    value = int(v);
    return true;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int CAProgram::usage(const char *problem)
{
    std::fprintf(m_err, "%s: %s\nusage: %s -k K TABLE TABLE\n       %s -k K --supplementary ROWS TABLE TABLE\n",
                 m_name, problem, m_name, m_name);
    std::fflush(m_err);
    return 2;
}

int CAProgram::run(int argc, const char *const *argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(m_out,
                     "usage: %s -k K TABLE TABLE\n"
                     "       %s -k K --supplementary ROWS TABLE TABLE\n"
                     "Correspondence Analysis of the contingency table TABLE (rows, columns, then\n"
                     "rows x columns non-negative counts, row by row). Writes TABLE_Z.txt (row\n"
                     "principal coordinates), TABLE_W.txt (column principal coordinates),\n"
                     "TABLE_P.txt and TABLE_Q.txt (row and column masses) and TABLE_Lambda.txt\n"
                     "(principal inertias), then TABLE_Inertia.txt: the total inertia of the\n"
                     "table, a stamp of the run, and the size and digest of each file written,\n"
                     "so that a set mixed from two runs can be told. K >= 1 keeps at most K\n"
                     "axes, K = 0 every axis. The table path is given twice.\n"
                     "--supplementary ROWS (or -s ROWS): a table of further rows over the same\n"
                     "columns, in the same format, placed on the axes without taking part in\n"
                     "them (row profile times the columns' standard coordinates). Their\n"
                     "principal coordinates go to TABLE_ZSup.txt, in the format of TABLE_Z.txt.\n"
                     "A supplementary row without any non-zero cell is refused.\n",
                     m_name, m_name);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fprintf(m_out, "%s (Ortelis) %s\n", m_name, ORTELIS_VERSION);
        return 0;
    }
    // The supplementary rows' option comes between the axis count and the
    // table paths.
    const char *plain[5];
    if (argc == 7 && (std::strcmp(argv[3], "--supplementary") == 0 || std::strcmp(argv[3], "-s") == 0)) {
        if (!*argv[4])
            return usage("the supplementary rows' table path is empty");
        m_supplementary = argv[4];
        const char *rest[5] = {argv[0], argv[1], argv[2], argv[5], argv[6]};
        std::copy(rest, rest + 5, plain);
        argv = plain;
        argc = 5;
    }
    if (argc != 5)
        return usage("expected -k, an axis count and the table path twice");
    if (std::strcmp(argv[1], "-k") != 0)
        return usage("the first argument must be -k");
    int k = 0;
    if (!parseCount(argv[2], k))
        return usage("the axis count must be a whole number of at least 0");
    if (!*argv[3] || std::strcmp(argv[3], argv[4]) != 0)
        return usage("the table path must be given twice, the same both times");
    return analyse(argv[3], k);
}

int CAProgram::failure(const char *table, const std::string &problem)
{
    std::fprintf(m_err, "%s: %s: %s\n", m_name, table, problem.c_str());
    std::fflush(m_err);
    return 1;
}

void CAProgram::summary(const char *table, const CASolution &solution, std::int64_t nonZeros, bool iterative,
                        double readTime, double solveTime, double writeTime)
{
    const double nonZero = 100.0 * double(nonZeros) / (double(solution.rows) * double(solution.cols));
    double kept = 0;
    for (double l : solution.lambda)
        kept += l;
    std::fprintf(m_out,
                 "%s: %s: %d x %d table, %.2f %% non-zero; %d axes (%s) holding %.1f %% of the total "
                 "inertia %.6g; read %.2f s, solve %.2f s, write %.2f s\n",
                 m_name, table, solution.rows, solution.cols, nonZero, solution.axes,
                 iterative ? "iterative" : "dense", 100.0 * kept / solution.totalInertia, solution.totalInertia,
                 readTime, solveTime, writeTime);
    std::fflush(m_out);
}

int CAProgram::analyse(const char *table, int k)
{
    // Results left by an earlier run are stale from now on: if this run
    // fails or is killed, the viewer must not take them for its result.
    CAResultWriter::removeResults(table);
    // So are the temporaries of a run that was killed while writing.
    CAResultWriter::removeStaleTemporaries(table);

    auto fail = [&](const std::string &problem) {
        CAResultWriter::removeResults(table);
        return failure(table, problem);
    };

    auto start = std::chrono::steady_clock::now();
    ContingencyTable t;
    if (!t.read(table))
        return fail(t.error());
    CASupplementary supplementary;
    if (m_supplementary && !supplementary.read(m_supplementary, t.cols())) {
        CAResultWriter::removeResults(table);
        return failure(m_supplementary, supplementary.error());
    }
    const double readTime = secondsSince(start);

    start = std::chrono::steady_clock::now();
    const std::int64_t nonZeros = t.counts().nonZeros();
    CASolver solver;
    CASolution solution;
    if (!solver.solve(t.takeCounts(), k, solution))
        return fail(solver.error());
    if (m_supplementary)
        supplementary.place(solution);
    const double solveTime = secondsSince(start);

    start = std::chrono::steady_clock::now();
    CAResultWriter writer;
    if (!writer.write(table, solution.arrays()))
        return fail(writer.error());
    const double writeTime = secondsSince(start);

    summary(table, solution, nonZeros, solver.usedMethod() == CASolver::Truncated, readTime, solveTime, writeTime);
    return 0;
}
