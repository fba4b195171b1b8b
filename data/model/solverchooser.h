#ifndef SOLVERCHOOSER_H
#define SOLVERCHOOSER_H

#include <QString>

#include <functional>

// Who is asked for the solver when the one configured cannot be run. The
// data model has no user interface of its own: the viewer installs a file
// dialog (SolverDialog); a program without one is never asked, and the
// missing solver is reported instead.
class SolverChooser
{
public:
    using Ask = std::function<QString()>;
    static void setAsk(Ask ask);
    // The path chosen, or empty when nobody can be asked or nothing was chosen.
    static QString ask();
};

#endif // SOLVERCHOOSER_H
