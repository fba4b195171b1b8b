#ifndef MPILAUNCHER_H
#define MPILAUNCHER_H

#include <QString>
#include <QStringList>

// Runs the programs of the build (ORTELIS_BIN_DIR) as the MPI tests compare
// them: alone, or under mpirun (ORTELIS_MPIEXEC) on this one machine, as
// root and with more processes than cores allowed.
namespace MpiLauncher {

struct Run
{
    int exitCode = -1; // -1: it crashed or did not finish (err says which)
    QString out, err;
};

// The folder of the programs under test.
QString binDir();

// How many processes the test runs with (ORTELIS_MPI_RANKS, else 2).
int ranks();

// Runs `program` with `args` and waits at most `timeoutMs`.
Run run(const QString &program, const QStringList &args, int timeoutMs = 300000);

// Runs binDir()/`program` with `args` on `np` processes.
Run runMpi(const QString &program, int np, const QStringList &args, int timeoutMs = 300000);

} // namespace MpiLauncher

#endif // MPILAUNCHER_H
