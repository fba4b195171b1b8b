#ifndef INDEXOPTIONSRECORD_H
#define INDEXOPTIONSRECORD_H

#include "tools/featureextractor.h"
#include "tools/indexoptions.h"

#include <QByteArray>
#include <QString>

// How an index's images were described, kept beside it (index-options.txt)
// so that images added to it later are described exactly the same way: one
// command-line option per line ("--grid 16"), every one that shapes an
// image's row, with the values the run used. The file is read back with the
// command line's own parser, ranges and messages included.
class IndexOptionsRecord
{
public:
    // The record of a run with `options`, whose images were described with
    // `features` (colour words and their layout as the vocabulary decided),
    // over `greyWords` and `colourWords` words.
    static QByteArray text(const IndexOptions &options, const FeatureOptions &features, int greyWords,
                           int colourWords);

    // Reads a record into `options`. A record that leaves out an option
    // that describes images (or names one twice) is refused: the image
    // would otherwise be described with a default the index need not have
    // used. False with `error` naming the file and the problem.
    static bool read(const QString &path, IndexOptions &options, QString *error);
};

#endif // INDEXOPTIONSRECORD_H
