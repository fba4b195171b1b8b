#include "solver/casolver.h"

#include "data/communicator/cacommunicator.h"
#include "data/communicator/calocalcommunicator.h"

#include <Eigen/Dense>
#include <Spectra/SymEigsSolver.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using SpMat = SparseRows::Matrix;
using SpView = SparseRows::View;
using Vec = Eigen::VectorXd;
using Mat = Eigen::MatrixXd;
using Index = Eigen::Index;

// Principal inertias never exceed 1; below this they are rounding noise
// whatever the table's total inertia.
constexpr double kNoiseInertia = 1e-13;

// The live rows and columns of B = Dr^-1/2 F Dc^-1/2, applied without being
// formed: the table's own cells (counts in single or double precision, their
// columns renumbered to the live ones) scaled on the fly by 1/sqrt of their
// row and column sums. The table is never held twice, nor widened.
class ScaledBlock
{
public:
    ScaledBlock(Index rows, Index cols, const int *outer, const int *inner, const float *floats,
                const double *doubles, Vec rowScale, Vec colScale)
        : m_rows(rows), m_cols(cols), m_outer(outer), m_inner(inner), m_floats(floats), m_doubles(doubles),
          m_rowScale(std::move(rowScale)), m_colScale(std::move(colScale))
    {
    }

    Index rows() const { return m_rows; }
    Index cols() const { return m_cols; }
    Index nonZeros() const { return m_outer[m_rows]; }

    // y = B x.
    void mul(const double *x, double *y) const
    {
        if (m_floats)
            mulT_<float>(m_floats, x, y);
        else
            mulT_<double>(m_doubles, x, y);
    }
    // y = B^T t.
    void mulTransposed(const double *t, double *y) const
    {
        if (m_floats)
            transposedT_<float>(m_floats, t, y);
        else
            transposedT_<double>(m_doubles, t, y);
    }
    // out = B m (rows x m.cols()).
    Mat mul(const Mat &m) const
    {
        Mat out = Mat::Zero(m_rows, m.cols());
        for (Index r = 0; r < m_rows; ++r)
            for (int p = m_outer[r]; p < m_outer[r + 1]; ++p)
                out.row(r) += entry(r, p) * m.row(m_inner[p]);
        return out;
    }
    // out = B^T m (cols x m.cols()).
    Mat mulTransposed(const Mat &m) const
    {
        Mat out = Mat::Zero(m_cols, m.cols());
        for (Index r = 0; r < m_rows; ++r)
            for (int p = m_outer[r]; p < m_outer[r + 1]; ++p)
                out.row(m_inner[p]) += entry(r, p) * m.row(r);
        return out;
    }
    double entry(Index row, int cell) const
    {
        const double n = m_floats ? double(m_floats[cell]) : m_doubles[cell];
        return n * m_rowScale[row] * m_colScale[m_inner[cell]];
    }
    // B as a matrix of its own (the dense row-side decomposition).
    SpMat matrix() const
    {
        SpMat b(m_rows, m_cols);
        std::vector<Eigen::Triplet<double, int>> cells;
        cells.reserve(std::size_t(nonZeros()));
        for (Index r = 0; r < m_rows; ++r)
            for (int p = m_outer[r]; p < m_outer[r + 1]; ++p)
                cells.emplace_back(int(r), m_inner[p], entry(r, p));
        b.setFromTriplets(cells.begin(), cells.end());
        return b;
    }
    // The lower triangle of g += B^T B (cost: the sum of the squared row counts).
    void addRowProducts(Mat &g) const
    {
        std::vector<double> row;
        for (Index r = 0; r < m_rows; ++r) {
            const int begin = m_outer[r], end = m_outer[r + 1];
            row.resize(std::size_t(end - begin));
            for (int p = begin; p < end; ++p)
                row[std::size_t(p - begin)] = entry(r, p);
            for (int q = begin; q < end; ++q) {
                double *col = g.col(m_inner[q]).data();
                const double aq = row[std::size_t(q - begin)];
                for (int p = q; p < end; ++p)
                    col[m_inner[p]] += row[std::size_t(p - begin)] * aq;
            }
        }
    }

private:
    template<typename T>
    void mulT_(const T *value, const double *x, double *y) const
    {
        for (Index r = 0; r < m_rows; ++r) {
            double sum = 0;
            for (int p = m_outer[r]; p < m_outer[r + 1]; ++p)
                sum += double(value[p]) * m_colScale[m_inner[p]] * x[m_inner[p]];
            y[r] = sum * m_rowScale[r];
        }
    }
    template<typename T>
    void transposedT_(const T *value, const double *t, double *y) const
    {
        std::fill(y, y + m_cols, 0.0);
        for (Index r = 0; r < m_rows; ++r) {
            const double tr = t[r] * m_rowScale[r];
            for (int p = m_outer[r]; p < m_outer[r + 1]; ++p)
                y[m_inner[p]] += double(value[p]) * tr;
        }
        for (Index c = 0; c < m_cols; ++c)
            y[c] *= m_colScale[c];
    }

    Index m_rows, m_cols;
    const int *m_outer;
    const int *m_inner;
    const float *m_floats;
    const double *m_doubles;
    Vec m_rowScale, m_colScale;
};

// Both Gram operators below add shift x: the shift lifts the zero
// eigenvalues of a low-rank table to the scale of the others, so the
// stopping test, relative to each eigenvalue, can accept them too; it
// changes neither the eigenvectors nor the Lanczos convergence rate.

// x -> (S^T S + shift I) x on the live columns, S = B - u v^T with B held
// as blocks of rows: t = S x stays with its rows, S^T t is summed over the
// blocks together with u^T t in one reduction of the word-side vector.
class ColumnGramOp
{
public:
    using Scalar = double;

    ColumnGramOp(const ScaledBlock &b, const Vec &u, const Vec &v, double shift, const CACommunicator &comm)
        : m_b(b), m_u(u), m_v(v), m_shift(shift), m_comm(comm), m_t(b.rows()), m_sum(b.cols() + 1)
    {
    }

    Index rows() const { return m_b.cols(); }
    Index cols() const { return m_b.cols(); }

    void perform_op(const double *xIn, double *yOut) const
    {
        const Index m = m_b.cols();
        Eigen::Map<const Vec> x(xIn, m);
        Eigen::Map<Vec> y(yOut, m);
        m_b.mul(xIn, m_t.data());
        m_t -= m_u * m_v.dot(x);
        m_b.mulTransposed(m_t.data(), m_sum.data());
        m_sum[m] = m_u.dot(m_t);
        m_comm.sum(m_sum.data(), std::size_t(m + 1));
        y = m_sum.head(m) - m_v * m_sum[m];
        y += m_shift * x;
    }

private:
    const ScaledBlock &m_b;
    const Vec &m_u;
    const Vec &m_v;
    double m_shift;
    const CACommunicator &m_comm;
    mutable Vec m_t;
    mutable Vec m_sum;
};

// x -> (S S^T + shift I) x on all live rows (the vector is whole on every
// process): t = S^T x is summed over the blocks, then each block computes
// its rows of S t and the pieces are put together in row order.
class RowGramOp
{
public:
    using Scalar = double;

    RowGramOp(const ScaledBlock &b, const Vec &u, const Vec &v, Index liveBegin, Index liveRows, double shift,
              const CACommunicator &comm)
        : m_b(b), m_u(u), m_v(v), m_begin(liveBegin), m_m(liveRows), m_shift(shift), m_comm(comm),
          m_sum(b.cols() + 1), m_t(b.cols()), m_local(b.rows())
    {
    }

    Index rows() const { return m_m; }
    Index cols() const { return m_m; }

    void perform_op(const double *xIn, double *yOut) const
    {
        const Index nc = m_b.cols();
        Eigen::Map<const Vec> x(xIn, m_m);
        Eigen::Map<Vec> y(yOut, m_m);
        const auto xl = x.segment(m_begin, m_b.rows());
        m_b.mulTransposed(xIn + m_begin, m_sum.data());
        m_sum[nc] = m_u.dot(xl);
        m_comm.sum(m_sum.data(), std::size_t(nc + 1));
        m_t = m_sum.head(nc) - m_v * m_sum[nc];
        m_b.mul(m_t.data(), m_local.data());
        m_local -= m_u * m_v.dot(m_t);
        m_comm.gather(m_local.data(), std::size_t(m_local.size()), m_all);
        y = Eigen::Map<const Vec>(m_all.data(), m_m) + m_shift * x;
    }

private:
    const ScaledBlock &m_b;
    const Vec &m_u;
    const Vec &m_v;
    Index m_begin;
    Index m_m;
    double m_shift;
    const CACommunicator &m_comm;
    mutable Vec m_sum;
    mutable Vec m_t;
    mutable Vec m_local;
    mutable std::vector<double> m_all;
};

// Leading nev eigenpairs of the operator's Gram matrix, largest first, by
// restarted Lanczos. Every process runs the same iteration on the same
// vectors, so they all stop together.
template<typename Op>
bool truncatedEigen(Op &op, double shift, Index nev, Vec &values, Mat &vectors)
{
    const Index m = op.rows();
    const Index ncv = std::min(m, std::max(2 * nev + 1, nev + 20));
    Spectra::SymEigsSolver<Op> eigs(op, nev, ncv);
    eigs.init(); // fixed-seed start vector: the same table gives the same result
    eigs.compute(Spectra::SortRule::LargestAlge, 1000, 1e-12, Spectra::SortRule::LargestAlge);
    if (eigs.info() != Spectra::CompInfo::Successful)
        return false;
    values = eigs.eigenvalues().array() - shift;
    vectors = eigs.eigenvectors();
    return true;
}

// Adds to the lower triangle of g the products of each row's entries of a
// row-major a: g += a^T a (cost: the sum of the squared row counts).
void addRowProducts(const SpView &a, Mat &g)
{
    const int *outer = a.outerIndexPtr();
    const int *idx = a.innerIndexPtr();
    const double *val = a.valuePtr();
    for (Index r = 0; r < a.rows(); ++r) {
        const int begin = outer[r], end = outer[r + 1];
        for (int q = begin; q < end; ++q) {
            double *col = g.col(idx[q]).data();
            const double aq = val[q];
            for (int p = q; p < end; ++p)
                col[idx[p]] += val[p] * aq;
        }
    }
}

// Lower triangle of the word-side Gram matrix S^T S = B^T B - v v^T,
// summed over the blocks of rows.
Mat columnGram(const ScaledBlock &b, const Vec &v, const CACommunicator &comm)
{
    const Index m = b.cols();
    Mat g = Mat::Zero(m, m);
    b.addRowProducts(g);
    comm.sum(g.data(), std::size_t(m) * std::size_t(m));
    for (Index c = 0; c < m; ++c)
        g.col(c).tail(m - c) -= v.tail(m - c) * v[c];
    return g;
}

// Lower triangle of the image-side Gram matrix S S^T = B B^T - u u^T. It
// pairs rows of different blocks, so the live rows are first put together
// on every process (this side is decomposed only when rows are the fewer).
Mat rowGram(const ScaledBlock &scaled, const Vec &uAll, const CACommunicator &comm)
{
    const SpMat own = scaled.matrix();
    const SpView b(own.rows(), own.cols(), own.nonZeros(), own.outerIndexPtr(), own.innerIndexPtr(),
                   own.valuePtr());
    const Index m = uAll.size();
    Mat g = Mat::Zero(m, m);
    SpMat byColumn; // row j: the non-zeros of column j of B
    if (comm.size() == 1) {
        byColumn = b.transpose();
    } else {
        std::vector<int> lengths(std::size_t(b.rows())), allLengths, allInner;
        for (Index r = 0; r < b.rows(); ++r)
            lengths[std::size_t(r)] = b.outerIndexPtr()[r + 1] - b.outerIndexPtr()[r];
        std::vector<double> allValues;
        comm.gather(lengths.data(), lengths.size(), allLengths);
        comm.gather(b.innerIndexPtr(), std::size_t(b.nonZeros()), allInner);
        comm.gather(b.valuePtr(), std::size_t(b.nonZeros()), allValues);
        std::vector<int> outer(allLengths.size() + 1, 0);
        for (std::size_t r = 0; r < allLengths.size(); ++r)
            outer[r + 1] = outer[r] + allLengths[r];
        const SpView all(Index(allLengths.size()), b.cols(), Index(allValues.size()), outer.data(),
                         allInner.data(), allValues.data());
        byColumn = all.transpose();
    }
    addRowProducts(SpView(byColumn.rows(), byColumn.cols(), byColumn.nonZeros(), byColumn.outerIndexPtr(),
                          byColumn.innerIndexPtr(), byColumn.valuePtr()),
                   g);
    for (Index c = 0; c < m; ++c)
        g.col(c).tail(m - c) -= uAll.tail(m - c) * uAll[c];
    return g;
}

// Every eigenpair of a Gram matrix (lower triangle), largest first.
void denseEigen(Mat g, Vec &values, Mat &vectors)
{
    Eigen::SelfAdjointEigenSolver<Mat> es;
    es.compute(g, Eigen::ComputeEigenvectors);
    g = Mat();
    values = es.eigenvalues().reverse();
    vectors = es.eigenvectors().rowwise().reverse();
}

// Scales the counts by the power of two that brings the largest of all
// blocks into [0.5, 1). Margins, their products and square roots then stay
// far from overflow (counts near the largest double) and underflow (counts
// near the smallest), and since the factor is a power of two an ordinary
// table gives bit for bit the result it gave unscaled. False for a count
// that is not finite. `exponent` receives the power of two divided out.
// Counts more than 2^1074 times smaller than the largest fall to 0, as they
// would in any sum with it; their cells are dropped.
bool scaleToUnit(SparseRows &block, const CACommunicator &comm, int &exponent, bool &memory)
{
    exponent = 0;
    memory = true;
    const std::int64_t n = block.nonZeros();
    double largest = 0, smallest = std::numeric_limits<double>::infinity();
    for (std::int64_t p = 0; p < n; ++p) {
        const double v = std::abs(block.value(std::size_t(p)));
        largest = std::max(largest, v);
        if (v > 0)
            smallest = std::min(smallest, v);
    }
    comm.max(&largest, 1);
    if (!std::isfinite(largest))
        return false;
    int e = 0;
    std::frexp(largest, &e);
    exponent = e;
    if (e == 0)
        return true;
    // Counts held in single precision stay there when every one of them
    // still is an exact float once scaled (the smallest decides).
    if (block.single() && n > 0 && !SparseRows::exactFloat(std::ldexp(smallest, -e)) && !block.widen()) {
        memory = false;
        return false;
    }
    if (block.single()) {
        float *value = block.floats();
        for (std::int64_t p = 0; p < n; ++p)
            value[p] = float(std::ldexp(double(value[p]), -e));
    } else if (e > -1022 && e < 1022) {
        double *value = block.values();
        const double factor = std::ldexp(1.0, -e); // exact, and exact products
        for (std::int64_t p = 0; p < n; ++p)
            value[p] *= factor;
    } else {
        double *value = block.values();
        for (std::int64_t p = 0; p < n; ++p)
            value[p] = std::ldexp(value[p], -e);
    }
    bool zeroed = false;
    for (std::int64_t p = 0; p < n && !zeroed; ++p)
        zeroed = block.value(std::size_t(p)) == 0;
    if (zeroed)
        block.dropZeros();
    return true;
}

} // namespace

bool CASolver::fail(std::string message)
{
    m_error = std::move(message);
    return false;
}

std::uint64_t CASolver::memoryLimit() const
{
    if (m_memoryLimit)
        return m_memoryLimit;
    std::uint64_t available = 0;
    {
        std::ifstream meminfo("/proc/meminfo");
        std::string key, unit;
        std::uint64_t kb;
        while (meminfo >> key >> kb >> unit)
            if (key == "MemAvailable:") {
                available = kb * 1024;
                break;
            }
    }
    if (!available) {
        long pages = sysconf(_SC_AVPHYS_PAGES);
        long pageSize = sysconf(_SC_PAGESIZE);
        if (pages > 0 && pageSize > 0)
            available = std::uint64_t(pages) * std::uint64_t(pageSize);
    }
    // A container's memory limit, and the process's address-space limit,
    // bind before the machine's free memory.
    {
        std::ifstream maxFile("/sys/fs/cgroup/memory.max"), currentFile("/sys/fs/cgroup/memory.current");
        std::uint64_t max = 0, current = 0;
        if ((maxFile >> max) && (currentFile >> current) && max > current)
            available = std::min(available, max - current);
    }
    struct rlimit limit;
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        available = std::min<std::uint64_t>(available, limit.rlim_cur);
    return available / 5 * 4;
}


bool CASolver::solve(SparseRows counts, int k, CASolution &out)
{
    const int rows = counts.rows();
    return solve(std::move(counts), 0, rows, k, out, CALocalCommunicator());
}

bool CASolver::solve(SparseRows block, int firstRow, int totalRows, int k, CASolution &out,
                     const CACommunicator &comm)
{
    m_error.clear();
    out = CASolution();
    const Index localRows = block.rows(), cols = block.cols();
    if (totalRows == 0 || cols == 0)
        return fail("the table has no cells (" + std::to_string(totalRows) + " x " + std::to_string(cols) + ")");

    // Margins. Cells are non-negative (the reader refuses others). The
    // column sums and the grand total are summed over the blocks; the row
    // sums stay with their rows.
    int exponent = 0;
    bool memory = true;
    if (!scaleToUnit(block, comm, exponent, memory))
        return fail(memory ? "the table holds a count that is not a finite number"
                           : "there is not enough memory for the non-zero cells of the table");
    int *inner = block.inner();
    const int *outer = block.outer();
    std::vector<double> rowSum(std::size_t(localRows), 0.0), colSum(std::size_t(cols), 0.0);
    double total = 0;
    for (Index i = 0; i < localRows; ++i) {
        for (int p = outer[i]; p < outer[i + 1]; ++p) {
            const double v = block.value(std::size_t(p));
            rowSum[i] += v;
            colSum[inner[p]] += v;
        }
        total += rowSum[i];
    }
    comm.sum(colSum.data(), colSum.size());
    comm.sum(&total, 1);
    if (total == 0)
        return fail("the table is all zeros");
    if (!std::isfinite(total))
        return fail("the counts are too large: their sum overflows");

    out.rows = totalRows;
    out.firstRow = firstRow;
    out.localRows = int(localRows);
    out.cols = int(cols);
    out.grandTotal = std::ldexp(total, exponent);
    out.P.resize(std::size_t(localRows));
    out.Q.resize(std::size_t(cols));
    for (Index i = 0; i < localRows; ++i)
        out.P[i] = rowSum[i] / total;
    for (Index j = 0; j < cols; ++j)
        out.Q[j] = colSum[j] / total;

    // Empty rows and columns take no part in the decomposition. The live
    // rows of all blocks are numbered in row order: this block's come from
    // liveBegin on.
    std::vector<int> colAt(std::size_t(cols), -1), rowOf, colOf;
    for (Index i = 0; i < localRows; ++i)
        if (rowSum[i] > 0)
            rowOf.push_back(int(i));
    for (Index j = 0; j < cols; ++j)
        if (colSum[j] > 0) {
            colAt[j] = int(colOf.size());
            colOf.push_back(int(j));
        }
    const Index liveLocal = Index(rowOf.size()), liveCols = Index(colOf.size());
    std::vector<std::int64_t> liveCounts;
    const std::int64_t liveLocal64 = liveLocal;
    comm.gather(&liveLocal64, 1, liveCounts);
    Index liveBegin = 0, liveRows = 0;
    for (int r = 0; r < int(liveCounts.size()); ++r) {
        if (r < comm.rank())
            liveBegin += Index(liveCounts[r]);
        liveRows += Index(liveCounts[r]);
    }
    if (liveRows < 2)
        return fail("the table has a single non-empty row, so it has no axis");
    if (liveCols < 2)
        return fail("the table has a single non-empty column, so it has no axis");

    // B = Dr^-1/2 F Dc^-1/2 on the live rows and columns, b_ij = n_ij /
    // (sqrt(R_i) sqrt(C_j)), applied from the table's own cells: their
    // columns are renumbered to the live ones in place, and empty rows hold
    // no cells, so dropping them only shortens the row starts.
    Vec rowScale(liveLocal), colScale(liveCols);
    for (Index r = 0; r < liveLocal; ++r)
        rowScale[r] = 1.0 / std::sqrt(rowSum[rowOf[r]]);
    for (Index c = 0; c < liveCols; ++c)
        colScale[c] = 1.0 / std::sqrt(colSum[colOf[c]]);
    for (Index i = 0; i < localRows; ++i)
        for (int p = outer[i]; p < outer[i + 1]; ++p)
            inner[p] = colAt[inner[p]];
    std::vector<int> liveOuter(std::size_t(liveLocal) + 1);
    for (Index r = 0; r < liveLocal; ++r)
        liveOuter[r] = outer[rowOf[r]];
    liveOuter[liveLocal] = outer[localRows];
    const ScaledBlock b(liveLocal, liveCols, liveOuter.data(), inner, block.floats(), block.values(),
                        std::move(rowScale), std::move(colScale));
    long double sumSquares = 0;
    for (Index r = 0; r < liveLocal; ++r)
        for (int p = liveOuter[r]; p < liveOuter[r + 1]; ++p) {
            const double e = b.entry(r, p);
            sumSquares += (long double)e * e;
        }
    comm.sum(sumSquares);
    // ||S||^2 = ||B||^2 - 1, since B v = u and |u| = |v| = 1.
    const double inertia = double(sumSquares - 1.0L);
    out.totalInertia = inertia > 0 ? inertia : 0;
    if (inertia <= kNoiseInertia)
        return fail("the table has no axis: all its non-empty rows have the same profile");

    Vec u(liveLocal), v(liveCols);
    for (Index r = 0; r < liveLocal; ++r)
        u[r] = std::sqrt(out.P[rowOf[r]]);
    for (Index c = 0; c < liveCols; ++c)
        v[c] = std::sqrt(out.Q[colOf[c]]);

    // Decompose the smaller Gram matrix, of side m: the words' when the
    // words are the fewer (the usual case, and the one whose vectors are
    // small enough to live whole on every process), else the images'.
    const bool wordSide = liveCols < liveRows;
    const Index m = wordSide ? liveCols : liveRows;
    const Index rankBound = m - 1; // S S^T u = 0: at most m - 1 axes
    const Index nev = (k >= 1 && k < rankBound) ? Index(k) : rankBound;
    Vec uAll; // the image side's u, whole, when that side is decomposed
    if (!wordSide) {
        std::vector<double> all;
        comm.gather(u.data(), std::size_t(u.size()), all);
        uAll = Eigen::Map<const Vec>(all.data(), Index(all.size()));
    }

    Method method = m_method;
    if (method == Auto)
        method = (k >= 1 && m > 200 && nev * 5 <= m) ? Truncated : Dense;
    if (method == Truncated && (nev * 2 >= m || m < 4))
        method = Dense; // too few dimensions for a Krylov subspace

    Vec values;
    Mat vectors;
    bool solved = false;
    if (method == Truncated) {
        // Principal inertias lie in [0, 1]: a shift of at most 1 keeps the
        // stopping test on the scale of the leading ones.
        const double shift = std::min(inertia, 1.0);
        if (wordSide) {
            ColumnGramOp op(b, u, v, shift, comm);
            solved = truncatedEigen(op, shift, nev, values, vectors);
        } else {
            RowGramOp op(b, u, v, liveBegin, liveRows, shift, comm);
            solved = truncatedEigen(op, shift, nev, values, vectors);
        }
        if (!solved)
            method = Dense; // rare; the complete decomposition is exact
    }
    if (!solved) {
        // The Gram matrix, its eigenvectors and Eigen's work space, then the
        // coordinates (computed, and in the result's layout).
        const double need = (2.0 * double(m) * double(m) + 16.0 * double(m)
                             + 2.0 * double(localRows + cols) * double(nev)) * sizeof(double);
        double limit = double(memoryLimit());
        comm.min(&limit, 1); // every process must take the same road
        if (need > limit) {
            char buf[256];
            std::snprintf(buf, sizeof buf,
                          "computing %s needs a dense %lld x %lld matrix (%.0f MB) but only %.0f MB "
                          "of memory may be used; ask for fewer axes",
                          k == 0 ? "every axis" : "this many axes", (long long)m, (long long)m, need / 1048576.0,
                          limit / 1048576.0);
            return fail(buf);
        }
        denseEigen(wordSide ? columnGram(b, v, comm) : rowGram(b, uAll, comm), values, vectors);
    }
    m_used = method;

    // Principal inertias never exceed 1. Counts more than 2^1022 times
    // smaller than the largest keep fewer significant bits once scaled, and
    // the decomposition can then overshoot 1 by their rounding (a table
    // split in two blocks, one of them such counts, gave 1 + 1.2e-8): the
    // bound is restored. An ordinary table never reaches it.
    for (Index a = 0; a < values.size(); ++a)
        values[a] = std::min(values[a], 1.0);

    Index axes = 0;
    while (axes < std::min<Index>(nev, values.size()) && values[axes] > kNoiseInertia
           && values[axes] > kTrivialInertia * inertia)
        ++axes;
    if (axes == 0)
        return fail("the table has no axis: all its non-empty rows have the same profile");

    // Principal coordinates: of the decomposed side D^-1/2 U sigma, of the
    // other side by the transition formula, D^-1/2 S^T U or D^-1/2 S U.
    const Mat basis = vectors.leftCols(axes);
    const Vec sigma = values.head(axes).cwiseSqrt();
    Mat rowCoord, colCoord; // this block's live rows; all live columns
    if (wordSide) {
        colCoord = basis * sigma.asDiagonal();
        colCoord.array().colwise() /= v.array();
        rowCoord = b.mul(basis);
        rowCoord -= u * (v.transpose() * basis);
        rowCoord.array().colwise() /= u.array();
    } else {
        rowCoord = basis.middleRows(liveBegin, liveLocal) * sigma.asDiagonal();
        rowCoord.array().colwise() /= u.array();
        colCoord = b.mulTransposed(Mat(basis.middleRows(liveBegin, liveLocal)));
        colCoord -= v * (u.transpose() * basis.middleRows(liveBegin, liveLocal));
        comm.sum(colCoord.data(), std::size_t(colCoord.size()));
        colCoord.array().colwise() /= v.array();
    }

    // Sign of each axis: the image with the largest absolute coordinate lies
    // on the positive side. Coordinates within a relative 1e-9 of the largest
    // count as tied and the lowest row index among them decides, so rounding
    // differences cannot flip an axis. The pick is encoded as 2 x row + (1
    // when negative), so that one minimum over the blocks finds it.
    std::vector<double> largest(std::size_t(axes), 0.0);
    for (Index a = 0; a < axes; ++a)
        largest[a] = liveLocal ? rowCoord.col(a).cwiseAbs().maxCoeff() : 0.0;
    comm.max(largest.data(), largest.size());
    std::vector<std::int64_t> pick(std::size_t(axes), INT64_MAX);
    for (Index a = 0; a < axes; ++a)
        for (Index r = 0; r < liveLocal; ++r)
            if (std::abs(rowCoord(r, a)) >= largest[a] * (1 - 1e-9)) {
                pick[a] = 2 * (std::int64_t(firstRow) + rowOf[r]) + (rowCoord(r, a) < 0 ? 1 : 0);
                break;
            }
    comm.min(pick.data(), pick.size());
    for (Index a = 0; a < axes; ++a)
        if (pick[a] != INT64_MAX && pick[a] % 2 == 1) {
            rowCoord.col(a) = -rowCoord.col(a);
            colCoord.col(a) = -colCoord.col(a);
        }

    out.axes = int(axes);
    out.lambda.assign(values.data(), values.data() + axes);
    out.Z.assign(std::size_t(localRows) * axes, 0.0);
    out.W.assign(std::size_t(cols) * axes, 0.0);
    for (Index r = 0; r < liveLocal; ++r)
        for (Index a = 0; a < axes; ++a)
            out.Z[std::size_t(rowOf[r]) * axes + a] = rowCoord(r, a);
    for (Index c = 0; c < liveCols; ++c)
        for (Index a = 0; a < axes; ++a)
            out.W[std::size_t(colOf[c]) * axes + a] = colCoord(c, a);
    return true;
}
