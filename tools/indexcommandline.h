#ifndef INDEXCOMMANDLINE_H
#define INDEXCOMMANDLINE_H

#include "tools/indexoptions.h"

#include <QString>
#include <QStringList>

// The command line of ortelis-index.
class IndexCommandLine
{
public:
    enum Result { Run, Help, Invalid };

    // Fills `options` from the arguments (program name first). On Help,
    // `message` is the usage text; on Invalid, the problem.
    static Result parse(const QStringList &arguments, IndexOptions &options, QString &message);
    static QString usage();
};

#endif // INDEXCOMMANDLINE_H
