#include "solver/sparserows.h"

#include <cstdlib>
#include <cstring>
#include <vector>
#include <utility>

namespace {

// Shrinks or grows a malloc'd array; on failure the old block stays valid.
template<typename T>
bool resize(T *&p, std::size_t count)
{
    void *q = std::realloc(p, count ? count * sizeof(T) : 1);
    if (!q)
        return false;
    p = static_cast<T *>(q);
    return true;
}

} // namespace

SparseRows::~SparseRows()
{
    release();
}

void SparseRows::release()
{
    std::free(m_inner);
    std::free(m_floats);
    std::free(m_values);
    m_inner = nullptr;
    m_floats = nullptr;
    m_values = nullptr;
    m_single = true;
    m_size = m_capacity = 0;
}

SparseRows::SparseRows(SparseRows &&other) noexcept
{
    take(other);
}

SparseRows &SparseRows::operator=(SparseRows &&other) noexcept
{
    if (this != &other) {
        release();
        take(other);
    }
    return *this;
}

// Takes over other's storage and leaves it empty, owning nothing.
void SparseRows::take(SparseRows &other) noexcept
{
    m_cols = other.m_cols;
    m_outer = std::move(other.m_outer);
    m_inner = other.m_inner;
    m_floats = other.m_floats;
    m_values = other.m_values;
    m_single = other.m_single;
    m_size = other.m_size;
    m_capacity = other.m_capacity;
    other.m_inner = nullptr;
    other.m_floats = nullptr;
    other.m_values = nullptr;
    other.m_single = true;
    other.m_size = other.m_capacity = 0;
    other.m_cols = 0;
    other.m_outer.clear();
}

bool SparseRows::grow(std::size_t needed)
{
    // Half again each time: large blocks are remapped, not copied, so the
    // factor only sets how often that happens.
    std::size_t capacity = m_capacity < 4096 ? 4096 : m_capacity + m_capacity / 2;
    if (capacity < needed)
        capacity = needed;
    if (!resize(m_inner, capacity))
        return false;
    if (m_single ? !resize(m_floats, capacity) : !resize(m_values, capacity))
        return false;
    m_capacity = capacity;
    return true;
}

bool SparseRows::widen()
{
    if (!m_single)
        return true;
    // In place: the block grows to doubles and the values move from the
    // last down, each double written over floats already moved.
    unsigned char *bytes = reinterpret_cast<unsigned char *>(m_floats);
    void *q = std::realloc(bytes, m_capacity ? m_capacity * sizeof(double) : 1);
    if (!q)
        return false;
    bytes = static_cast<unsigned char *>(q);
    for (std::size_t i = m_size; i-- > 0;) {
        float f;
        std::memcpy(&f, bytes + i * sizeof(float), sizeof f);
        const double d = f;
        std::memcpy(bytes + i * sizeof(double), &d, sizeof d);
    }
    m_floats = nullptr;
    m_values = reinterpret_cast<double *>(bytes);
    m_single = false;
    return true;
}

void SparseRows::squeeze()
{
    if (m_capacity > m_size && m_inner) {
        // A shrinking realloc that fails leaves the larger block: either
        // way both arrays still hold at least m_size cells.
        resize(m_inner, m_size);
        if (m_single)
            resize(m_floats, m_size);
        else
            resize(m_values, m_size);
        m_capacity = m_size;
    }
    m_outer.shrink_to_fit();
}

SparseRows::Matrix SparseRows::view() const
{
    std::vector<double> values(m_size);
    for (std::size_t p = 0; p < m_size; ++p)
        values[p] = value(p);
    static const int empty = 0;
    return Matrix(View(rows(), m_cols, Eigen::Index(m_size), m_outer.empty() ? &empty : m_outer.data(), m_inner,
                       values.data()));
}

SparseRows SparseRows::copyOf(const Matrix &m)
{
    Matrix c = m;
    c.makeCompressed();
    SparseRows s(int(c.cols()));
    s.reserveRows(std::size_t(c.rows()));
    for (Eigen::Index i = 0; i < c.rows(); ++i) {
        s.startRow();
        for (Matrix::InnerIterator it(c, i); it; ++it)
            s.append(int(it.index()), it.value());
    }
    return s;
}

void SparseRows::dropZeros()
{
    std::size_t to = 0, from = 0;
    for (std::size_t r = 1; r < m_outer.size(); ++r) {
        const std::size_t end = std::size_t(m_outer[r]);
        for (; from < end; ++from)
            if (value(from) != 0) {
                m_inner[to] = m_inner[from];
                if (m_floats)
                    m_floats[to] = m_floats[from];
                else
                    m_values[to] = m_values[from];
                ++to;
            }
        m_outer[r] = int(to);
    }
    m_size = to;
}
