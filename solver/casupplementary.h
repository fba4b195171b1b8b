#ifndef CASUPPLEMENTARY_H
#define CASUPPLEMENTARY_H

#include "solver/sparserows.h"

#include <string>
#include <vector>

class CASolution;

// Supplementary (passive) rows: further rows over the same columns as the
// analysed table, placed on its axes by the transition formula without
// taking part in them. With row profile p_sj = n_sj / n_s. and the columns'
// principal coordinates G (W), the row's principal coordinate on axis a is
//
//   f_sa = sum_j p_sj G_ja / sqrt(lambda_a)
//
// (the profile times the columns' standard coordinates), the convention of
// Z: an active row given again as supplementary lands on its own Z.
class CASupplementary
{
public:
    // Reads the rows (a table in the contingency-table format) and checks
    // them against a table of `cols` columns. False with error() set for a
    // table that cannot be read, a different column count, or a row with no
    // non-zero cell (it has no profile to place).
    bool read(const std::string &path, int cols);
    // The same on rows already in memory (tests).
    bool setRows(SparseRows rows, int cols);

    int rows() const { return m_rows.rows(); }
    // Principal coordinates of the rows on the solution's axes, rows x
    // solution.axes, row-major, into solution.ZSup (and supRows).
    void place(CASolution &solution) const;

    const std::string &error() const { return m_error; }

private:
    SparseRows m_rows;
    std::string m_error;
};

#endif // CASUPPLEMENTARY_H
