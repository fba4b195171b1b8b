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

    // Upper bounds of the options (the lower ones are in the usage text).
    static constexpr int maxWords = 65536;
    static constexpr int maxKeypointsPerImage = 100000;
    static constexpr int maxAxes = 1000;
    static constexpr int maxSample = 2000000;     // 128 floats each: 1 GB
    static constexpr int maxSide = 16384;
    static constexpr int maxWorkSide = 4096;      // 16 megapixels, ~1.6 GB per worker
    static constexpr int maxMegapixels = 100000;
    static constexpr int maxGrid = 1024;
    static constexpr int maxSearchChecks = 100000;
    static constexpr int maxJobs = 256;
};

#endif // INDEXCOMMANDLINE_H
