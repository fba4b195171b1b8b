#ifndef SOLVERDIALOG_H
#define SOLVERDIALOG_H

#include <QString>

// The file dialog that asks for the CA solver when the configured one cannot
// be run, installed as the data model's SolverChooser.
class SolverDialog
{
public:
    static QString ask();
    // Makes ask() the data model's way of choosing a solver (idempotent).
    static void install();
};

#endif // SOLVERDIALOG_H
