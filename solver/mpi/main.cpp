#include "data/communicator/mpi/campicommunicator.h"
#include "solver/mpi/campiprogram.h"

#include <mpi.h>

#include <cstdio>

int main(int argc, char **argv)
{
    MPI_Init(&argc, &argv);
    int status = 0;
    {
        CAMpiCommunicator comm;
        // Only the first process speaks; the others' lines would repeat it.
        std::FILE *quiet = comm.rank() == 0 ? nullptr : std::fopen("/dev/null", "w");
        CAMpiProgram program(quiet ? quiet : stdout, quiet ? quiet : stderr, comm);
        status = program.run(argc, argv);
        if (quiet)
            std::fclose(quiet);
    }
    MPI_Finalize();
    return status;
}
