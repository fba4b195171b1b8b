#include "data/cadata.h"

#include "data/console.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>

namespace {

bool usable(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && info.isExecutable();
}

} // namespace

void CAData::launchCA(const QString &table, int k)
{
    // Checked on every call, so a solver that disappears is asked for again.
    if (!usable(casolver)) {
        const QString chosen = QFileDialog::getOpenFileName(
            nullptr, QStringLiteral("Choose CA application file"),
            QCoreApplication::applicationDirPath());
        if (chosen.isEmpty() || !usable(chosen))
            return;
        casolver = chosen;
    }

    const QStringList arguments{QStringLiteral("-k"), QString::number(k), table, table};
    QProcess process;
    // The solver's own output is not shown; discarding it also keeps a chatty
    // solver from filling a pipe nobody reads.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(casolver, arguments);
    Console::out(casolver);
    process.waitForFinished(-1);
}
