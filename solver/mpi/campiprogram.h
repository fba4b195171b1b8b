#ifndef CAMPIPROGRAM_H
#define CAMPIPROGRAM_H

#include "solver/caprogram.h"

class CAMpiCommunicator;

// ca-mpi: the solver's command line and messages, run by every process of
// an MPI job on its share of the table. Only the first process writes to
// the console, so a refusal is one message whatever the number of processes.
class CAMpiProgram : public CAProgram
{
public:
    CAMpiProgram(std::FILE *out, std::FILE *err, const CAMpiCommunicator &comm)
        : CAProgram(out, err, "ca-mpi"), m_comm(comm)
    {
    }

protected:
    int analyse(const char *table, int k) override;

private:
    const CAMpiCommunicator &m_comm;
};

#endif // CAMPIPROGRAM_H
