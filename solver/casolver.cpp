#include "solver/casolver.h"

#include <Eigen/Dense>
#include <Spectra/SymEigsSolver.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using SpMat = ContingencyTable::Matrix;
using SpView = Eigen::Map<const SpMat>;
using Vec = Eigen::VectorXd;
using Mat = Eigen::MatrixXd;
using Index = Eigen::Index;

// Principal inertias never exceed 1; below this they are rounding noise
// whatever the table's total inertia.
constexpr double kNoiseInertia = 1e-13;

// x -> (S S^T + shift I) x with S = B - u v^T, through two sparse products
// and the rank-one correction. The shift lifts the zero eigenvalues of a
// low-rank table to the scale of the others, so the stopping test, relative
// to each eigenvalue, can accept them too; it changes neither the
// eigenvectors nor the Lanczos convergence rate.
class ShiftedGramOp
{
public:
    using Scalar = double;

    ShiftedGramOp(const SpView &b, const Vec &u, const Vec &v, double shift)
        : m_b(b), m_u(u), m_v(v), m_shift(shift), m_t(b.cols())
    {
    }

    Index rows() const { return m_b.rows(); }
    Index cols() const { return m_b.rows(); }

    void perform_op(const double *xIn, double *yOut) const
    {
        Eigen::Map<const Vec> x(xIn, m_b.rows());
        Eigen::Map<Vec> y(yOut, m_b.rows());
        m_t.noalias() = m_b.transpose() * x;
        m_t -= m_v * m_u.dot(x);
        y.noalias() = m_b * m_t;
        y -= m_u * m_v.dot(m_t);
        y += m_shift * x;
    }

private:
    const SpView &m_b;
    const Vec &m_u;
    const Vec &m_v;
    double m_shift;
    mutable Vec m_t;
};

// Leading nev eigenpairs of S S^T, largest first, by restarted Lanczos.
bool truncatedEigen(const SpView &b, const Vec &u, const Vec &v, double inertia, Index nev,
                    Vec &values, Mat &vectors)
{
    const Index m = b.rows();
    // Principal inertias lie in [0, 1]: a shift of at most 1 keeps the
    // stopping test on the scale of the leading ones.
    const double shift = std::min(inertia, 1.0);
    ShiftedGramOp op(b, u, v, shift);
    const Index ncv = std::min(m, std::max(2 * nev + 1, nev + 20));
    Spectra::SymEigsSolver<ShiftedGramOp> eigs(op, nev, ncv);
    eigs.init(); // fixed-seed start vector: the same table gives the same result
    eigs.compute(Spectra::SortRule::LargestAlge, 1000, 1e-12, Spectra::SortRule::LargestAlge);
    if (eigs.info() != Spectra::CompInfo::Successful)
        return false;
    values = eigs.eigenvalues().array() - shift;
    vectors = eigs.eigenvectors();
    return true;
}

// Every eigenpair of S S^T, largest first, from the dense Gram matrix
// B B^T - u u^T accumulated column by column of B (cost: the sum of the
// squared column counts, not m x m x M).
void denseEigen(const SpView &b, const Vec &u, Vec &values, Mat &vectors)
{
    const Index m = b.rows();
    Mat g = Mat::Zero(m, m);
    {
        SpMat byColumn = b.transpose(); // row j: the non-zeros of column j of B
        for (Index j = 0; j < byColumn.outerSize(); ++j) {
            const int begin = byColumn.outerIndexPtr()[j];
            const int end = byColumn.outerIndexPtr()[j + 1];
            const int *idx = byColumn.innerIndexPtr();
            const double *val = byColumn.valuePtr();
            // Lower triangle, one column of g at a time.
            for (int q = begin; q < end; ++q) {
                double *col = g.col(idx[q]).data();
                const double bq = val[q];
                for (int p = q; p < end; ++p)
                    col[idx[p]] += val[p] * bq;
            }
        }
    }
    for (Index c = 0; c < m; ++c)
        g.col(c).tail(m - c) -= u.tail(m - c) * u[c];

    Eigen::SelfAdjointEigenSolver<Mat> es;
    es.compute(g, Eigen::ComputeEigenvectors);
    g = Mat();
    values = es.eigenvalues().reverse();
    vectors = es.eigenvectors().rowwise().reverse();
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

bool CASolver::solve(ContingencyTable::Matrix counts, int k, CASolution &out)
{
    m_error.clear();
    out = CASolution();
    const Index rows = counts.rows(), cols = counts.cols();
    if (rows == 0 || cols == 0)
        return fail("the table has no cells (" + std::to_string(rows) + " x " + std::to_string(cols) + ")");

    // Margins. Cells are non-negative (the reader refuses others).
    std::vector<double> rowSum(rows, 0.0), colSum(cols, 0.0);
    double total = 0;
    for (Index i = 0; i < rows; ++i) {
        for (SpMat::InnerIterator it(counts, i); it; ++it) {
            rowSum[i] += it.value();
            colSum[it.index()] += it.value();
        }
        total += rowSum[i];
    }
    if (total == 0)
        return fail("the table is all zeros");
    if (!std::isfinite(total))
        return fail("the counts are too large: their sum overflows");

    out.rows = int(rows);
    out.cols = int(cols);
    out.grandTotal = total;
    out.P.resize(rows);
    out.Q.resize(cols);
    for (Index i = 0; i < rows; ++i)
        out.P[i] = rowSum[i] / total;
    for (Index j = 0; j < cols; ++j)
        out.Q[j] = colSum[j] / total;

    // Empty rows and columns take no part in the decomposition.
    std::vector<int> colAt(cols, -1), rowOf, colOf;
    for (Index i = 0; i < rows; ++i)
        if (rowSum[i] > 0)
            rowOf.push_back(int(i));
    for (Index j = 0; j < cols; ++j)
        if (colSum[j] > 0) {
            colAt[j] = int(colOf.size());
            colOf.push_back(int(j));
        }
    const Index liveRows = Index(rowOf.size()), liveCols = Index(colOf.size());
    if (liveRows < 2)
        return fail("the table has a single non-empty row, so it has no axis");
    if (liveCols < 2)
        return fail("the table has a single non-empty column, so it has no axis");

    // B = Dr^-1/2 F Dc^-1/2 on the live rows and columns, b_ij = n_ij /
    // sqrt(R_i C_j), made in place in the table's own arrays: the table is
    // never held twice. Empty rows hold no entries, so dropping them only
    // shortens the row starts.
    counts.makeCompressed();
    int *inner = counts.innerIndexPtr();
    double *value = counts.valuePtr();
    const int *outer = counts.outerIndexPtr();
    long double sumSquares = 0;
    for (Index i = 0; i < rows; ++i)
        for (int p = outer[i]; p < outer[i + 1]; ++p) {
            value[p] /= std::sqrt(rowSum[i] * colSum[inner[p]]);
            inner[p] = colAt[inner[p]];
            sumSquares += (long double)value[p] * value[p];
        }
    std::vector<int> liveOuter(liveRows + 1);
    for (Index r = 0; r < liveRows; ++r)
        liveOuter[r] = outer[rowOf[r]];
    liveOuter[liveRows] = outer[rows];
    // ||S||^2 = ||B||^2 - 1, since B v = u and |u| = |v| = 1.
    const double inertia = double(sumSquares - 1.0L);
    out.totalInertia = inertia > 0 ? inertia : 0;
    if (inertia <= kNoiseInertia)
        return fail("the table has no axis: all its non-empty rows have the same profile");

    Vec u(liveRows), v(liveCols);
    for (Index r = 0; r < liveRows; ++r)
        u[r] = std::sqrt(out.P[rowOf[r]]);
    for (Index c = 0; c < liveCols; ++c)
        v[c] = std::sqrt(out.Q[colOf[c]]);

    // Decompose the smaller Gram matrix: B then has m rows.
    const bool transposed = liveCols < liveRows;
    SpMat bt;
    if (transposed) {
        bt = SpView(liveRows, liveCols, counts.nonZeros(), liveOuter.data(), inner, value).transpose();
        counts = SpMat();
        u.swap(v);
    }
    const SpView b = transposed
                         ? SpView(bt.rows(), bt.cols(), bt.nonZeros(), bt.outerIndexPtr(), bt.innerIndexPtr(),
                                  bt.valuePtr())
                         : SpView(liveRows, liveCols, counts.nonZeros(), liveOuter.data(), inner, value);
    const Index m = b.rows();
    const Index rankBound = m - 1; // S S^T u = 0: at most m - 1 axes
    const Index nev = (k >= 1 && k < rankBound) ? Index(k) : rankBound;

    Method method = m_method;
    if (method == Auto)
        method = (k >= 1 && m > 200 && nev * 5 <= m) ? Truncated : Dense;
    if (method == Truncated && (nev * 2 >= m || m < 4))
        method = Dense; // too few dimensions for a Krylov subspace

    Vec values;
    Mat vectors;
    bool solved = false;
    if (method == Truncated) {
        solved = truncatedEigen(b, u, v, inertia, nev, values, vectors);
        if (!solved)
            method = Dense; // rare; the complete decomposition is exact
    }
    if (!solved) {
        // The Gram matrix, its eigenvectors and Eigen's work space, then the
        // coordinates (computed, and in the result's layout).
        const double need = (2.0 * double(m) * double(m) + 16.0 * double(m)
                             + 2.0 * double(rows + cols) * double(nev)) * sizeof(double);
        const std::uint64_t limit = memoryLimit();
        if (need > double(limit)) {
            char buf[256];
            std::snprintf(buf, sizeof buf,
                          "computing %s needs a dense %lld x %lld matrix (%.0f MB) but only %.0f MB "
                          "of memory may be used; ask for fewer axes",
                          k == 0 ? "every axis" : "this many axes", (long long)m, (long long)m, need / 1048576.0,
                          double(limit) / 1048576.0);
            return fail(buf);
        }
        denseEigen(b, u, values, vectors);
    }
    m_used = method;

    Index axes = 0;
    while (axes < std::min<Index>(nev, values.size()) && values[axes] > kNoiseInertia
           && values[axes] > kTrivialInertia * inertia)
        ++axes;
    if (axes == 0)
        return fail("the table has no axis: all its non-empty rows have the same profile");

    // Principal coordinates: of the decomposed side Du^-1/2 U sigma, of the
    // other side Dv^-1/2 S^T U (the transition formula).
    Mat uvec = vectors.leftCols(axes);
    Vec sigma = values.head(axes).cwiseSqrt();
    Mat side = uvec * sigma.asDiagonal();
    side.array().colwise() /= u.array();
    Mat other = b.transpose() * uvec;
    other -= v * (u.transpose() * uvec);
    other.array().colwise() /= v.array();

    const Mat &rowCoord = transposed ? other : side;
    Mat &rowCoordMut = transposed ? other : side;
    Mat &colCoordMut = transposed ? side : other;

    // Sign of each axis: the image with the largest absolute coordinate lies
    // on the positive side. Coordinates within a relative 1e-9 of the largest
    // count as tied and the lowest row index among them decides, so rounding
    // differences cannot flip an axis.
    for (Index a = 0; a < axes; ++a) {
        const double largest = rowCoord.col(a).cwiseAbs().maxCoeff();
        Index pick = 0;
        while (std::abs(rowCoord(pick, a)) < largest * (1 - 1e-9))
            ++pick;
        if (rowCoord(pick, a) < 0) {
            rowCoordMut.col(a) = -rowCoordMut.col(a);
            colCoordMut.col(a) = -colCoordMut.col(a);
        }
    }

    out.axes = int(axes);
    out.lambda.assign(values.data(), values.data() + axes);
    out.Z.assign(std::size_t(rows) * axes, 0.0);
    out.W.assign(std::size_t(cols) * axes, 0.0);
    const Mat &colCoord = colCoordMut;
    for (Index r = 0; r < liveRows; ++r)
        for (Index a = 0; a < axes; ++a)
            out.Z[std::size_t(rowOf[r]) * axes + a] = rowCoord(r, a);
    for (Index c = 0; c < liveCols; ++c)
        for (Index a = 0; a < axes; ++a)
            out.W[std::size_t(colOf[c]) * axes + a] = colCoord(c, a);
    return true;
}
