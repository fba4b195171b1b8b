#include "solver/mpi/campiresultwriter.h"

#include "data/formats/caresultwriter.h"
#include "data/communicator/mpi/campicommunicator.h"

#include <mpi.h>

#include <climits>
#include <cstdio>
#include <unistd.h>

namespace {

std::string mpiError(int code)
{
    char text[MPI_MAX_ERROR_STRING];
    int length = 0;
    MPI_Error_string(code, text, &length);
    return std::string(text, std::size_t(length));
}

} // namespace

bool CAMpiResultWriter::writeShared(const std::string &tempPath, const std::string &text,
                                    const CAMpiCommunicator &comm, std::string &problem)
{
    // Each process's text goes right after the texts of the processes before it.
    unsigned long long length = text.size(), offset = 0;
    MPI_Exscan(&length, &offset, 1, MPI_UNSIGNED_LONG_LONG, MPI_SUM, comm.comm());
    if (comm.rank() == 0)
        offset = 0;

    MPI_File file;
    int rc = MPI_File_open(comm.comm(), tempPath.c_str(), MPI_MODE_WRONLY, MPI_INFO_NULL, &file);
    if (rc != MPI_SUCCESS) {
        problem = "cannot open " + tempPath + ": " + mpiError(rc);
        return false;
    }
    MPI_File_set_errhandler(file, MPI_ERRORS_RETURN);
    // Every process takes part in each collective write, with an empty
    // piece once its text is out.
    const std::size_t piece = std::size_t(1) << 30;
    unsigned long long rounds = (text.size() + piece - 1) / piece;
    MPI_Allreduce(MPI_IN_PLACE, &rounds, 1, MPI_UNSIGNED_LONG_LONG, MPI_MAX, comm.comm());
    bool ok = true;
    for (unsigned long long r = 0; r < rounds; ++r) {
        const std::size_t from = std::min<std::size_t>(text.size(), r * piece);
        const int n = int(std::min(piece, text.size() - from));
        MPI_Status status;
        rc = MPI_File_write_at_all(file, MPI_Offset(offset + from), text.data() + from, n, MPI_CHAR, &status);
        if (rc != MPI_SUCCESS && ok) {
            problem = "cannot write " + tempPath + ": " + mpiError(rc);
            ok = false;
        }
    }
    rc = MPI_File_close(&file);
    if (rc != MPI_SUCCESS && ok) {
        problem = "cannot write " + tempPath + ": " + mpiError(rc);
        ok = false;
    }
    return ok;
}

bool CAMpiResultWriter::write(const std::string &table, const CASolution &s, const CAMpiCommunicator &comm)
{
    m_error.clear();
    const int Z = ResultFiles::Z, P = ResultFiles::P;
    CAResultWriter::Temporaries temps;
    std::string problem;
    CAResultWriter single;
    // The whole set as the first process sees it: the word side and the
    // supplementary rows whole, the image side's counts for the manifest.
    CAResultArrays whole = s.arrays();
    whole.rows = std::size_t(s.rows);

    // The first process writes the word side whole and makes the empty
    // temporaries of the image side.
    if (comm.rank() == 0) {
        bool ok = true;
        for (int f = 0; f < ResultFiles::KindCount && ok; ++f) {
            const auto kind = ResultFiles::Kind(f);
            if (kind == ResultFiles::Inertia || (kind == ResultFiles::ZSup && !whole.ZSup))
                continue;
            const std::string path = ResultFiles::path(table, kind);
            if (f == Z || f == P) {
                const int fd = single.createTemporary(path, temps[f]);
                ok = fd >= 0 && ::close(fd) == 0;
            } else {
                ok = single.writeFile(path, whole, kind, temps[f]);
            }
        }
        if (!ok)
            problem = single.error();
    }
    problem = comm.firstProblem(problem.empty(), 0, problem);
    bool ok = problem.empty();
    temps[Z] = comm.broadcast(temps[Z], 0);
    temps[P] = comm.broadcast(temps[P], 0);

    // The image side, each process its rows, in row order.
    if (ok) {
        std::string text;
        if (comm.rank() == 0)
            CAResultWriter::appendMatrixHeader(text, std::size_t(s.rows), s.axes);
        CAResultWriter::appendMatrixRows(text, s.Z.data(), std::size_t(s.localRows), s.axes);
        std::string mine;
        bool wrote = writeShared(temps[Z], text, comm, mine);
        text.clear();
        text.shrink_to_fit();
        if (wrote) {
            if (comm.rank() == 0)
                CAResultWriter::appendVectorHeader(text, std::size_t(s.rows));
            CAResultWriter::appendVectorValues(text, s.P.data(), std::size_t(s.localRows));
            wrote = writeShared(temps[P], text, comm, mine);
        }
        problem = comm.firstProblem(wrote, 0, mine);
        ok = problem.empty();
    }

    // All complete: the first process writes the manifest and renames them
    // into place.
    if (comm.rank() == 0) {
        if (!single.commit(table, temps, whole, ok) && ok)
            problem = single.error();
    }
    problem = comm.firstProblem(problem.empty(), 0, problem);
    m_error = problem;
    return problem.empty();
}
