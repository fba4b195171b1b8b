#ifndef SPARSEROWS_H
#define SPARSEROWS_H

#include <Eigen/SparseCore>

#include <cstddef>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

// The non-zero cells of a block of table rows, row by row (compressed sparse
// rows): 4 bytes of column index per cell, plus one row start per row, and
// the values in single precision (4 bytes) as long as every value is exactly
// a float - counts are whole numbers - otherwise in double precision (8
// bytes). Large tables are count tables, and the cells are most of the
// solver's memory. The cell arrays grow with realloc, which the C library serves for
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
        if (m_floats && exactFloat(value))
            m_floats[m_size] = float(value);
        else if (m_floats && !widen())
            return false;
        if (!m_floats)
            m_values[m_size] = value;
        ++m_size;
        ++m_outer.back();
        return true;
    }
    // Whether `value` is held exactly in single precision (a normal float or 0).
    static bool exactFloat(double value)
    {
        const float f = float(value);
        return double(f) == value && (f == 0 || std::fabs(f) >= std::numeric_limits<float>::min());
    }
    // Moves the values to double precision; false when the memory cannot be had.
    bool widen();
    // Values are held as floats (floats()) rather than doubles (values()).
    bool single() const { return m_floats != nullptr || (m_values == nullptr && m_single); }
    // Gives back the capacity beyond the cells held.
    void squeeze();
    // Removes the cells that hold 0, keeping rows and their order (cells a
    // rescaling took below the smallest double).
    void dropZeros();

    int rows() const { return m_outer.empty() ? 0 : int(m_outer.size() - 1); }
    int cols() const { return m_cols; }
    std::int64_t nonZeros() const { return std::int64_t(m_size); }
    // Bytes held for the cells and row starts.
    std::size_t bytes() const
    {
        return m_capacity * (sizeof(int) + (m_values ? sizeof(double) : sizeof(float)))
               + m_outer.capacity() * sizeof(int);
    }

    const int *outer() const { return m_outer.data(); }
    int *outer() { return m_outer.data(); }
    const int *inner() const { return m_inner; }
    int *inner() { return m_inner; }
    // The values, in whichever precision holds them (the other is null).
    const double *values() const { return m_values; }
    double *values() { return m_values; }
    const float *floats() const { return m_floats; }
    float *floats() { return m_floats; }
    double value(std::size_t cell) const { return m_floats ? double(m_floats[cell]) : m_values[cell]; }

    // A copy in double precision (tests, small tables).
    Matrix view() const;

    // A copy of an Eigen matrix (tests, small tables).
    static SparseRows copyOf(const Matrix &m);

private:
    bool grow(std::size_t needed);
    void release();
    void take(SparseRows &other) noexcept;

    int m_cols = 0;
    std::vector<int> m_outer;
    int *m_inner = nullptr;
    float *m_floats = nullptr; // the values while all are exact floats
    double *m_values = nullptr; // otherwise
    bool m_single = true;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

#endif // SPARSEROWS_H
