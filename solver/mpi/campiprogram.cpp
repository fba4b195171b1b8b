#include "solver/mpi/campiprogram.h"

#include "data/formats/caresultwriter.h"
#include "solver/casolver.h"
#include "solver/casupplementary.h"
#include "data/communicator/mpi/campicommunicator.h"
#include "solver/mpi/campiresultwriter.h"
#include "solver/mpi/campitablereader.h"

#include <mpi.h>

#include <cstdlib>
#include <ctime>
#include <sys/resource.h>

namespace {

// Processor time of this process: on a machine shared with other work, the
// measure of what a process has to do, which wall time is not.
double cpuSeconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

} // namespace

int CAMpiProgram::analyse(const char *table, int k)
{
    const bool first = m_comm.rank() == 0;
    // Results left by an earlier run are stale from now on.
    if (first) {
        CAResultWriter::removeResults(table);
        // So are the temporaries of a run that was killed while writing.
        CAResultWriter::removeStaleTemporaries(table);
    }

    auto fail = [&](const std::string &problem) {
        if (first) {
            CAResultWriter::removeResults(table);
            failure(table, problem);
        }
        return 1;
    };

    MPI_Barrier(m_comm.comm());
    double start = MPI_Wtime();
    double cpu[3];
    double cpuStart = cpuSeconds();
    CAMpiTableReader reader;
    if (!reader.read(table, m_comm))
        return fail(reader.error());
    // The supplementary rows, read and later placed by the first process,
    // which holds the words' coordinates whole.
    CASupplementary supplementary;
    std::string supplementaryProblem;
    if (m_supplementary && first && !supplementary.read(m_supplementary, reader.cols()))
        supplementaryProblem = supplementary.error();
    supplementaryProblem = m_comm.firstProblem(supplementaryProblem.empty(), 0, supplementaryProblem);
    if (!supplementaryProblem.empty()) {
        if (first) {
            CAResultWriter::removeResults(table);
            failure(m_supplementary, supplementaryProblem);
        }
        return 1;
    }
    const double readTime = MPI_Wtime() - start;
    cpu[0] = cpuSeconds() - cpuStart;

    start = MPI_Wtime();
    cpuStart = cpuSeconds();
    std::int64_t nonZeros = reader.block().nonZeros();
    m_comm.sum(&nonZeros, 1);
    CASolver solver;
    CASolution solution;
    const std::uint64_t sentBefore = m_comm.bytesSent(), operationsBefore = m_comm.operations();
    if (!solver.solve(reader.takeBlock(), reader.firstRow(), reader.rows(), k, solution, m_comm))
        return fail(solver.error());
    if (m_supplementary && first)
        supplementary.place(solution);
    const double solveTime = MPI_Wtime() - start;
    cpu[1] = cpuSeconds() - cpuStart;
    const std::uint64_t sentSolving = m_comm.bytesSent() - sentBefore;
    const std::uint64_t operationsSolving = m_comm.operations() - operationsBefore;

    start = MPI_Wtime();
    cpuStart = cpuSeconds();
    CAMpiResultWriter writer;
    if (!writer.write(table, solution, m_comm))
        return fail(writer.error());
    const double writeTime = MPI_Wtime() - start;
    cpu[2] = cpuSeconds() - cpuStart;

    // For the benchmarks: the largest peak memory of a process, and what
    // one process handed to the collective operations while solving.
    const bool stats = std::getenv("ORTELIS_MPI_STATS") != nullptr;
    double peakMB = 0;
    if (stats) {
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        peakMB = double(usage.ru_maxrss) / 1024.0;
        m_comm.max(&peakMB, 1);
        m_comm.max(cpu, 3);
    }
    if (first) {
        summary(table, solution, nonZeros, solver.usedMethod() == CASolver::Truncated, readTime, solveTime,
                writeTime);
        if (stats) {
            std::fprintf(m_out,
                         "ca-mpi: %d processes; peak memory of the largest %.1f MB; while solving the first "
                         "sent %llu bytes in %llu collective operations; processor time of the busiest: "
                         "read %.2f s, solve %.2f s, write %.2f s\n",
                         m_comm.size(), peakMB, (unsigned long long)sentSolving,
                         (unsigned long long)operationsSolving, cpu[0], cpu[1], cpu[2]);
            std::fflush(m_out);
        }
    }
    return 0;
}
