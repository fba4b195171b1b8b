#include "document/solverdialog.h"

#include "data/model/solverchooser.h"

#include <QCoreApplication>
#include <QFileDialog>

QString SolverDialog::ask()
{
    return QFileDialog::getOpenFileName(nullptr, QStringLiteral("Choose CA application file"),
                                        QCoreApplication::applicationDirPath());
}

void SolverDialog::install()
{
    SolverChooser::setAsk(&SolverDialog::ask);
}
