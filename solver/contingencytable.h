#ifndef CONTINGENCYTABLE_H
#define CONTINGENCYTABLE_H

#include <Eigen/SparseCore>

#include <string>

class NumberScanner;

// A contingency table read from its text form: the row and column counts,
// then rows x cols non-negative reals, row-major, separated by any white
// space. Only the non-zero cells are kept (the tables are mostly zeros), and
// the text is scanned block by block, so the file is never held in memory
// next to the matrix.
class ContingencyTable
{
public:
    using Matrix = Eigen::SparseMatrix<double, Eigen::RowMajor, int>;

    // False when the file cannot be opened or is not a valid table; error()
    // then says why (without the path, which the caller adds).
    bool read(const std::string &path);
    // The same from a text in memory.
    bool parse(std::string text);

    const Matrix &counts() const { return m_counts; }
    // Hands the matrix over, leaving the table empty.
    Matrix takeCounts() { return std::move(m_counts); }
    int rows() const { return int(m_counts.rows()); }
    int cols() const { return int(m_counts.cols()); }
    const std::string &error() const { return m_error; }

private:
    bool load(NumberScanner &scanner);
    bool fail(std::string message);

    Matrix m_counts;
    std::string m_error;
};

#endif // CONTINGENCYTABLE_H
