#include "mpilauncher.h"

#include <QProcess>

namespace MpiLauncher {

QString binDir()
{
    return qEnvironmentVariable("ORTELIS_BIN_DIR");
}

int ranks()
{
    const int n = qEnvironmentVariableIntValue("ORTELIS_MPI_RANKS");
    return n > 0 ? n : 2;
}

Run run(const QString &program, const QStringList &args, int timeoutMs)
{
    QProcess p;
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("did not finish: ") + program + QLatin1Char(' ') + args.join(QLatin1Char(' '));
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

Run runMpi(const QString &program, int np, const QStringList &args, int timeoutMs)
{
    const QStringList launch{QStringLiteral("--oversubscribe"), QStringLiteral("--allow-run-as-root"),
                             QStringLiteral("-np"), QString::number(np), binDir() + QLatin1Char('/') + program};
    return run(qEnvironmentVariable("ORTELIS_MPIEXEC", "mpirun"), launch + args, timeoutMs);
}

} // namespace MpiLauncher
