#ifndef CACOMMUNICATOR_H
#define CACOMMUNICATOR_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the solver needs from the processes that share a table, each holding
// a block of its rows: sums and extremes over all of them, and the
// concatenation of their pieces in process order. Every process calls each
// operation in the same order, and every process receives the same bits, so
// the replicated parts of the computation (the word-side vectors, the
// Lanczos iteration itself) stay identical everywhere.
class CACommunicator
{
public:
    virtual ~CACommunicator() = default;

    virtual int rank() const = 0;
    virtual int size() const = 0;

    // Element-wise over all processes, in place.
    virtual void sum(double *data, std::size_t n) const = 0;
    virtual void sum(std::int64_t *data, std::size_t n) const = 0;
    virtual void sum(long double &value) const = 0;
    virtual void max(double *data, std::size_t n) const = 0;
    virtual void min(double *data, std::size_t n) const = 0;
    virtual void min(std::int64_t *data, std::size_t n) const = 0;

    // Every process's `local` one after the other, in process order.
    virtual void gather(const double *local, std::size_t n, std::vector<double> &all) const = 0;
    virtual void gather(const int *local, std::size_t n, std::vector<int> &all) const = 0;
    virtual void gather(const std::int64_t *local, std::size_t n, std::vector<std::int64_t> &all) const = 0;
    virtual void gather(const char *local, std::size_t n, std::vector<char> &all) const = 0;
    // The text of process `root`, on every process.
    virtual std::string broadcast(const std::string &text, int root) const = 0;
};

#endif // CACOMMUNICATOR_H
