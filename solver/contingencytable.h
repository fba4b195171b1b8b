#ifndef CONTINGENCYTABLE_H
#define CONTINGENCYTABLE_H

#include "solver/sparserows.h"

#include <cstdint>
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
    using Matrix = SparseRows;

    // False when the file cannot be opened or is not a valid table; error()
    // then says why (without the path, which the caller adds).
    bool read(const std::string &path);
    // The same from a text in memory.
    bool parse(std::string text);

    const Matrix &counts() const { return m_counts; }
    // Hands the matrix over, leaving the table empty.
    Matrix takeCounts() { return std::move(m_counts); }
    int rows() const { return m_counts.rows(); }
    int cols() const { return m_counts.cols(); }
    const std::string &error() const { return m_error; }

    // The pieces of the reading that a reader of part of the text shares.
    // The header: false with `error` set when it is not two valid counts
    // announcing at least one cell and no more values than the rest of the
    // text can hold.
    static bool readHeader(NumberScanner &scanner, int &rows, int &cols, std::string &error);
    // The next cell, which lies at (row, col). `integers` starts true and
    // turns false at the first token that is not a whole number. Ok with
    // the value; End at the end of the text; Bad with `error` set.
    static int nextCell(NumberScanner &scanner, bool &integers, long long row, long long col, double &value,
                        std::string &error);
    // The text ended after `read` of the rows x cols values.
    static std::string shortTextError(std::uint64_t read, int rows, int cols);
    static std::string tooManyCellsError();
    static std::string outOfMemoryError();
    // Values after the last announced one, the first of them on `line`
    // (0 when unknown).
    static std::string extraValuesError(int rows, int cols, long long line);
    // The line (from 1) holding byte `offset` of the file.
    static long long lineOf(const std::string &path, std::uint64_t offset);
    // Why the scanner could not open the table, in the scanner's words.
    static std::string openError(const NumberScanner &scanner);

private:
    bool load(NumberScanner &scanner);
    bool fail(std::string message);

    Matrix m_counts;
    std::string m_error;
    std::string m_path; // while reading a file
};

#endif // CONTINGENCYTABLE_H
