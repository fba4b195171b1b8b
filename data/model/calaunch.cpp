#include "data/model/cadata.h"

#include "data/model/console.h"
#include "data/model/solverchooser.h"

#include <QFileInfo>
#include <QProcess>

namespace {

bool usable(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && info.isExecutable();
}

// Only the end of the solver's error output is kept: its reason is its last
// line, and a solver that writes without end must not fill the viewer.
constexpr qsizetype kErrorTail = 4096;

QString lastLine(const QByteArray &tail)
{
    const QList<QByteArray> lines = tail.trimmed().split('\n');
    return lines.isEmpty() ? QString() : QString::fromLocal8Bit(lines.last().trimmed());
}

} // namespace

void CAData::launchCA(const QString &table, int k, QString *reason, const QString &supplementary)
{
    if (reason)
        reason->clear();
    // Checked on every call, so a solver that disappears is asked for again.
    if (!usable(casolver)) {
        const QString chosen = SolverChooser::ask();
        if (chosen.isEmpty() || !usable(chosen))
            return;
        casolver = chosen;
    }

    QStringList arguments{QStringLiteral("-k"), QString::number(k)};
    if (!supplementary.isEmpty())
        arguments << QStringLiteral("--supplementary") << supplementary;
    arguments << table << table;
    QProcess process;
    // The solver's progress is not shown; discarding it also keeps a chatty
    // solver from filling a pipe nobody reads. Its error output is read as
    // it comes, keeping only the tail.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setReadChannel(QProcess::StandardError);
    process.start(casolver, arguments);
    Console::out(casolver);
    QByteArray tail;
    auto drain = [&] {
        tail += process.readAllStandardError();
        if (tail.size() > kErrorTail)
            tail = tail.right(kErrorTail);
    };
    if (process.waitForStarted(-1)) {
        while (process.state() != QProcess::NotRunning) {
            if (!process.waitForReadyRead(-1))
                break;
            drain();
        }
        process.waitForFinished(-1);
        drain();
    }

    QString why;
    if (process.error() == QProcess::FailedToStart)
        why = QStringLiteral("Error: cannot start the solver '%1': %2.").arg(casolver, process.errorString());
    else if (process.exitStatus() == QProcess::CrashExit)
        why = QStringLiteral("Error: the solver '%1' stopped before finishing (crashed or killed).").arg(casolver);
    else if (process.exitCode() != 0) {
        why = lastLine(tail);
        if (why.isEmpty())
            why = QStringLiteral("Error: the solver '%1' failed with exit code %2.").arg(casolver).arg(process.exitCode());
    }
    if (reason)
        *reason = why;
}
