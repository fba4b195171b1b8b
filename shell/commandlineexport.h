#ifndef COMMANDLINEEXPORT_H
#define COMMANDLINEEXPORT_H

#include <QString>
#include <QStringList>

// Figures for reports and scripts, without opening a window:
//   ortelis --export-map FILE.svg|FILE.png [--size WxH] [--axes I,J] PROJECT.xml
//   ortelis --export-points FILE.csv [--axes I,J] PROJECT.xml
// The map is drawn as a new document window first shows it at that size
// (1200 x 900 by default): the same fit, category colours, legend and axis
// titles. Both exports may be asked for at once.
class CommandLineExport
{
public:
    static constexpr int DefaultWidth = 1200;
    static constexpr int DefaultHeight = 900;

    // Whether the command line asks for an export. Called before the
    // application object exists: an export needs no display, so the
    // off-screen platform is chosen unless the user chose one.
    static bool wanted(int argc, char **argv);

    // Runs the export the arguments ask for (the program name first, as
    // QCoreApplication::arguments() gives them). Returns the exit status:
    // 0, or 1 with one line in `error` saying what went wrong.
    static int run(const QStringList &arguments, QString *error);

    // run(), with the error line on standard error.
    static int main(const QStringList &arguments);
};

#endif // COMMANDLINEEXPORT_H
