#ifndef COMMANDLINEUSAGE_H
#define COMMANDLINEUSAGE_H

#include <QString>
#include <QStringList>

// What `ortelis --help` prints, and the check of the options the window
// mode does not know. Both run before any application object exists, so
// they need no display.
class CommandLineUsage
{
public:
    // The usage: every mode of the program with its options.
    static QString text();

    // Whether the arguments (program name first) ask for the usage: --help,
    // -h or -? anywhere.
    static bool helpWanted(const QStringList &arguments);

    // The first argument the window mode cannot take: an option that is
    // neither the toolkit's own (-style, -platform, ...) nor a command-line
    // mode; empty when there is none.
    static QString unknownOption(const QStringList &arguments);

    // Prints the usage and returns 0 when it is asked for; -1 otherwise.
    static int help(int argc, char **argv);
    // Prints one line about an unknown option and returns 1 when there is
    // one; -1 otherwise. Called once every command-line mode had its turn.
    static int refuseUnknown(int argc, char **argv);
};

#endif // COMMANDLINEUSAGE_H
