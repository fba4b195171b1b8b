#ifndef CARESULTARRAYS_H
#define CARESULTARRAYS_H

#include <cstddef>
#include <limits>

// One result set as the arrays its files hold, borrowed from whoever owns
// them (the solver's solution, a loaded analysis): the solver and the
// analysis saver hand the same writer the same thing.
struct CAResultArrays
{
    std::size_t rows = 0;   // images: rows of Z, values of P
    int zCols = 0;          // values per image in Z (and per row in ZSup)
    const double *Z = nullptr;
    std::size_t cols = 0;   // words: rows of W, values of Q
    int wCols = 0;
    const double *W = nullptr;
    const double *P = nullptr;
    const double *Q = nullptr;
    std::size_t lambdaCount = 0;
    const double *lambda = nullptr;
    // Total inertia of the table; NaN when unknown (a set loaded without it).
    double totalInertia = std::numeric_limits<double>::quiet_NaN();
    // Supplementary rows (supRows x zCols); none when ZSup is null.
    std::size_t supRows = 0;
    const double *ZSup = nullptr;
};

#endif // CARESULTARRAYS_H
