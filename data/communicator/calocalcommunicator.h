#ifndef CALOCALCOMMUNICATOR_H
#define CALOCALCOMMUNICATOR_H

#include "data/communicator/cacommunicator.h"

// A single process holding the whole table: every reduction is the identity.
class CALocalCommunicator : public CACommunicator
{
public:
    int rank() const override { return 0; }
    int size() const override { return 1; }

    void sum(double *, std::size_t) const override {}
    void sum(std::int64_t *, std::size_t) const override {}
    void sum(long double &) const override {}
    void max(double *, std::size_t) const override {}
    void min(double *, std::size_t) const override {}
    void min(std::int64_t *, std::size_t) const override {}

    void gather(const double *local, std::size_t n, std::vector<double> &all) const override
    {
        all.assign(local, local + n);
    }
    void gather(const int *local, std::size_t n, std::vector<int> &all) const override
    {
        all.assign(local, local + n);
    }
    void gather(const std::int64_t *local, std::size_t n, std::vector<std::int64_t> &all) const override
    {
        all.assign(local, local + n);
    }
    void gather(const char *local, std::size_t n, std::vector<char> &all) const override
    {
        all.assign(local, local + n);
    }
    std::string broadcast(const std::string &text, int) const override { return text; }
};

#endif // CALOCALCOMMUNICATOR_H
