#include "data/communicator/mpi/campicommunicator.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

// The largest piece handed to one MPI call (its counts are ints).
constexpr std::size_t kPiece = std::size_t(1) << 28;

} // namespace

CAMpiCommunicator::CAMpiCommunicator(MPI_Comm comm) : m_comm(comm)
{
    MPI_Comm_rank(m_comm, &m_rank);
    MPI_Comm_size(m_comm, &m_size);
}

void CAMpiCommunicator::allreduce(void *data, std::size_t n, MPI_Datatype type, std::size_t size, MPI_Op op) const
{
    char *p = static_cast<char *>(data);
    m_bytesSent += n * size;
    ++m_operations;
    while (n > 0) {
        const std::size_t piece = n < kPiece ? n : kPiece;
        MPI_Allreduce(MPI_IN_PLACE, p, int(piece), type, op, m_comm);
        p += piece * size;
        n -= piece;
    }
}

void CAMpiCommunicator::sum(double *data, std::size_t n) const
{
    allreduce(data, n, MPI_DOUBLE, sizeof(double), MPI_SUM);
}

void CAMpiCommunicator::sum(std::int64_t *data, std::size_t n) const
{
    allreduce(data, n, MPI_INT64_T, sizeof(std::int64_t), MPI_SUM);
}

void CAMpiCommunicator::sum(long double &value) const
{
    allreduce(&value, 1, MPI_LONG_DOUBLE, sizeof(long double), MPI_SUM);
}

void CAMpiCommunicator::max(double *data, std::size_t n) const
{
    allreduce(data, n, MPI_DOUBLE, sizeof(double), MPI_MAX);
}

void CAMpiCommunicator::min(double *data, std::size_t n) const
{
    allreduce(data, n, MPI_DOUBLE, sizeof(double), MPI_MIN);
}

void CAMpiCommunicator::min(std::int64_t *data, std::size_t n) const
{
    allreduce(data, n, MPI_INT64_T, sizeof(std::int64_t), MPI_MIN);
}

template<typename T>
void CAMpiCommunicator::allgather(const T *local, std::size_t n, std::vector<T> &all, MPI_Datatype type) const
{
    std::vector<long long> counts(std::size_t(m_size), 0);
    long long mine = (long long)n;
    MPI_Allgather(&mine, 1, MPI_LONG_LONG, counts.data(), 1, MPI_LONG_LONG, m_comm);
    long long total = 0;
    for (long long c : counts)
        total += c;
    if (total > INT_MAX) {
        // Only small, replicated data are gathered; a table this large
        // never takes this road.
        std::fprintf(stderr, "ca-mpi: cannot gather %lld values in one piece\n", total);
        MPI_Abort(m_comm, 3);
    }
    std::vector<int> sizes(static_cast<std::size_t>(m_size)), offsets(static_cast<std::size_t>(m_size));
    int offset = 0;
    for (int r = 0; r < m_size; ++r) {
        sizes[r] = int(counts[r]);
        offsets[r] = offset;
        offset += sizes[r];
    }
    all.resize(std::size_t(total));
    m_bytesSent += n * sizeof(T);
    ++m_operations;
    MPI_Allgatherv(local, int(n), type, all.data(), sizes.data(), offsets.data(), type, m_comm);
}

void CAMpiCommunicator::gather(const double *local, std::size_t n, std::vector<double> &all) const
{
    allgather(local, n, all, MPI_DOUBLE);
}

void CAMpiCommunicator::gather(const int *local, std::size_t n, std::vector<int> &all) const
{
    allgather(local, n, all, MPI_INT);
}

void CAMpiCommunicator::gather(const std::int64_t *local, std::size_t n, std::vector<std::int64_t> &all) const
{
    allgather(local, n, all, MPI_INT64_T);
}

void CAMpiCommunicator::gather(const char *local, std::size_t n, std::vector<char> &all) const
{
    allgather(local, n, all, MPI_CHAR);
}

bool CAMpiCommunicator::all(bool ok) const
{
    int v = ok ? 1 : 0;
    MPI_Allreduce(MPI_IN_PLACE, &v, 1, MPI_INT, MPI_MIN, m_comm);
    return v == 1;
}

std::string CAMpiCommunicator::broadcast(const std::string &text, int root) const
{
    long long length = (long long)text.size();
    MPI_Bcast(&length, 1, MPI_LONG_LONG, root, m_comm);
    std::string out = m_rank == root ? text : std::string(std::size_t(length), '\0');
    if (length > 0)
        MPI_Bcast(out.data(), int(length), MPI_CHAR, root, m_comm);
    return out;
}

std::string CAMpiCommunicator::firstProblem(bool ok, std::uint64_t position, const std::string &message) const
{
    // Positions stop short of the largest value, which stands for "no problem".
    unsigned long long first = ok ? ULLONG_MAX : (unsigned long long)std::min<std::uint64_t>(position, ULLONG_MAX - 1);
    MPI_Allreduce(MPI_IN_PLACE, &first, 1, MPI_UNSIGNED_LONG_LONG, MPI_MIN, m_comm);
    if (first == ULLONG_MAX)
        return std::string();
    int who = !ok && std::min<std::uint64_t>(position, ULLONG_MAX - 1) == first ? m_rank : INT_MAX;
    MPI_Allreduce(MPI_IN_PLACE, &who, 1, MPI_INT, MPI_MIN, m_comm);
    return broadcast(message, who);
}
