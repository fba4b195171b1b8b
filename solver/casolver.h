#ifndef CASOLVER_H
#define CASOLVER_H

#include "solver/casolution.h"
#include "solver/sparserows.h"

#include <cstdint>
#include <string>

// Correspondence Analysis of a sparse contingency table.
//
// With F = counts / n, row masses r, column masses c, the standardized
// residuals are S = Dr^-1/2 (F - r c^T) Dc^-1/2 = B - u v^T with
// B = Dr^-1/2 F Dc^-1/2 (as sparse as the table), u = sqrt(r), v = sqrt(c).
// The axes are the eigenvectors of the smaller Gram matrix (S S^T or S^T S);
// their eigenvalues are the principal inertias. Empty rows and columns are
// left out of the decomposition and get mass 0 and coordinates 0.
//
// For a few axes of a large table the leading eigenpairs are found by
// Lanczos iteration on the Gram operator applied through B and the rank-one
// correction, never forming S; otherwise the Gram matrix is formed densely
// and decomposed completely.
//
// The table may be spread over several processes, each holding a block of
// consecutive rows (solve with a communicator): margins and the word-side
// vectors are summed over the processes, the row-side quantities stay where
// their rows live. A single process is the case of one block.
class CACommunicator;

class CASolver
{
public:
    enum Method { Auto, Dense, Truncated };

    // Axes whose inertia is at most this fraction of the total inertia are
    // numerically zero and are never reported.
    static constexpr double kTrivialInertia = 1e-10;

    // Auto picks the iterative method for k well below the table's size.
    void setMethod(Method method) { m_method = method; }
    // Largest dense working set allowed, in bytes; 0 means 80 % of the
    // memory the system reports available.
    void setMemoryLimit(std::uint64_t bytes) { m_memoryLimit = bytes; }

    // k >= 1: min(k, non-trivial axes) axes; k == 0: every non-trivial axis.
    // False on a table without any axis (no cells, all zeros, a single
    // non-empty row or column) or when the work does not fit in memory;
    // error() then says why. The counts are taken by value and scaled in
    // place: move a large table in rather than copying it.
    bool solve(SparseRows counts, int k, CASolution &out);
    // The same on the block of rows [firstRow, firstRow + block.rows()) of a
    // table of totalRows rows. Every process calls it together, with the
    // same k, and they all succeed or all fail with the same error(); `out`
    // then holds Z and P for the block's rows alone.
    bool solve(SparseRows block, int firstRow, int totalRows, int k, CASolution &out, const CACommunicator &comm);

    const std::string &error() const { return m_error; }
    // The method the last successful solve used.
    Method usedMethod() const { return m_used; }

private:
    bool fail(std::string message);
    std::uint64_t memoryLimit() const;

    Method m_method = Auto;
    Method m_used = Auto;
    std::uint64_t m_memoryLimit = 0;
    std::string m_error;
};

#endif // CASOLVER_H
