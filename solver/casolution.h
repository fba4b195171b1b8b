#ifndef CASOLUTION_H
#define CASOLUTION_H

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
};

#endif // CASOLUTION_H
