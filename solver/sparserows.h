#ifndef SPARSEROWS_H
#define SPARSEROWS_H

#include <Eigen/SparseCore>

#include <cstddef>
#include <cstdint>
#include <vector>

// The non-zero cells of a block of table rows, row by row (compressed sparse
// rows): 8 bytes of value and 4 of column index per cell, plus one row start
// per row. The cell arrays grow with realloc, which the C library serves for
// large blocks by remapping pages rather than copying them, so a table read
// cell by cell never needs its cells twice in memory, and capacity not yet
// written to costs no physical memory.
class SparseRows
{
public:
    using Matrix = Eigen::SparseMatrix<double, Eigen::RowMajor, int>;
    using View = Eigen::Map<const Matrix>;
    using MutableView = Eigen::Map<Matrix>;

    SparseRows() = default;
    // An empty block of `cols` columns; rows are added with startRow().
    explicit SparseRows(int cols) : m_cols(cols) { m_outer.push_back(0); }
    ~SparseRows();
    SparseRows(SparseRows &&other) noexcept;
    SparseRows &operator=(SparseRows &&other) noexcept;
    SparseRows(const SparseRows &) = delete;
    SparseRows &operator=(const SparseRows &) = delete;

    // Building: rows are started in order and cells appended to the last
    // started row in increasing column order.
    void reserveRows(std::size_t rows) { m_outer.reserve(rows + 1); }
    void startRow() { m_outer.push_back(m_outer.back()); }
    // False when the memory for one more cell cannot be had.
    bool append(int col, double value)
    {
        if (m_size == m_capacity && !grow(m_size + 1))
            return false;
        m_inner[m_size] = col;
        m_values[m_size] = value;
        ++m_size;
        ++m_outer.back();
        return true;
    }
    // Gives back the capacity beyond the cells held.
    void squeeze();
    // Removes the cells that hold 0, keeping rows and their order (cells a
    // rescaling took below the smallest double).
    void dropZeros();

    int rows() const { return m_outer.empty() ? 0 : int(m_outer.size() - 1); }
    int cols() const { return m_cols; }
    std::int64_t nonZeros() const { return std::int64_t(m_size); }
    // Bytes held for the cells and row starts.
    std::size_t bytes() const { return m_capacity * (sizeof(int) + sizeof(double)) + m_outer.capacity() * sizeof(int); }

    const int *outer() const { return m_outer.data(); }
    int *outer() { return m_outer.data(); }
    const int *inner() const { return m_inner; }
    int *inner() { return m_inner; }
    const double *values() const { return m_values; }
    double *values() { return m_values; }

    View view() const;

    // A copy of an Eigen matrix (tests, small tables).
    static SparseRows copyOf(const Matrix &m);

private:
    bool grow(std::size_t needed);
    void release();

    int m_cols = 0;
    std::vector<int> m_outer;
    int *m_inner = nullptr;
    double *m_values = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

#endif // SPARSEROWS_H
