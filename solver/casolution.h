#ifndef CASOLUTION_H
#define CASOLUTION_H

#include "data/formats/caresultarrays.h"

#include <vector>

// The result of a Correspondence Analysis of one table, in the layout of the
// result files: row-major coordinate matrices, one mass per row and column,
// one principal inertia per axis (largest first). A process that holds only
// a block of the table's rows has Z and P for those rows alone.
class CASolution
{
public:
    int rows = 0;    // table rows (images)
    int firstRow = 0;   // the first row of Z and P
    int localRows = 0;  // rows held in Z and P (all of them in a single process)
    int cols = 0;    // table columns (words)
    int axes = 0;    // axes kept; Z, W and lambda all have this many
    std::vector<double> Z;       // localRows x axes: principal coordinates of the rows
    std::vector<double> W;       // cols x axes: principal coordinates of the columns
    std::vector<double> P;       // localRows row masses (row sums / grand total)
    std::vector<double> Q;       // column masses
    std::vector<double> lambda;  // principal inertias, largest first
    double totalInertia = 0;     // chi-square / grand total: the sum of every axis's inertia
    double grandTotal = 0;       // sum of all counts
    // Supplementary rows placed by the transition formula (supRows x axes,
    // principal coordinates like Z); empty when none were given.
    int supRows = 0;
    std::vector<double> ZSup;

    // The arrays as the result writer takes them (this process's rows of Z
    // and P).
    CAResultArrays arrays() const
    {
        CAResultArrays a;
        a.rows = std::size_t(localRows);
        a.zCols = axes;
        a.Z = Z.data();
        a.cols = std::size_t(cols);
        a.wCols = axes;
        a.W = W.data();
        a.P = P.data();
        a.Q = Q.data();
        a.lambdaCount = lambda.size();
        a.lambda = lambda.data();
        a.totalInertia = totalInertia;
        if (supRows > 0) {
            a.supRows = std::size_t(supRows);
            a.ZSup = ZSup.data();
        }
        return a;
    }
};

#endif // CASOLUTION_H
