#ifndef CAMPICOMMUNICATOR_H
#define CAMPICOMMUNICATOR_H

#include "data/communicator/cacommunicator.h"

#include <mpi.h>

#include <string>

// The processes of an MPI communicator (by default every process of the
// job). Reductions are MPI_Allreduce, which hands every process the same
// bits; large arrays go in pieces, as MPI counts are ints. It also counts
// the bytes it sends, for the benchmarks.
class CAMpiCommunicator : public CACommunicator
{
public:
    explicit CAMpiCommunicator(MPI_Comm comm = MPI_COMM_WORLD);

    int rank() const override { return m_rank; }
    int size() const override { return m_size; }
    MPI_Comm comm() const { return m_comm; }

    void sum(double *data, std::size_t n) const override;
    void sum(std::int64_t *data, std::size_t n) const override;
    void sum(long double &value) const override;
    void max(double *data, std::size_t n) const override;
    void min(double *data, std::size_t n) const override;
    void min(std::int64_t *data, std::size_t n) const override;

    void gather(const double *local, std::size_t n, std::vector<double> &all) const override;
    void gather(const int *local, std::size_t n, std::vector<int> &all) const override;
    void gather(const std::int64_t *local, std::size_t n, std::vector<std::int64_t> &all) const override;
    void gather(const char *local, std::size_t n, std::vector<char> &all) const override;

    // True on every process when `ok` is true on every process.
    bool all(bool ok) const;
    std::string broadcast(const std::string &text, int root) const override;
    // Agrees on the first problem: among the processes that report one
    // (ok false), the one with the lowest `position` (then the lowest rank)
    // wins, and every process returns its message. Empty when all are ok.
    std::string firstProblem(bool ok, std::uint64_t position, const std::string &message) const;

    // Payload bytes this process has handed to collective operations.
    std::uint64_t bytesSent() const { return m_bytesSent; }
    // Collective operations that carried them.
    std::uint64_t operations() const { return m_operations; }

private:
    void allreduce(void *data, std::size_t n, MPI_Datatype type, std::size_t size, MPI_Op op) const;
    template<typename T>
    void allgather(const T *local, std::size_t n, std::vector<T> &all, MPI_Datatype type) const;

    MPI_Comm m_comm;
    int m_rank = 0;
    int m_size = 1;
    mutable std::uint64_t m_bytesSent = 0;
    mutable std::uint64_t m_operations = 0;
};

#endif // CAMPICOMMUNICATOR_H
