#ifndef INDEXSUMMARY_H
#define INDEXSUMMARY_H

#include <QStringList>

// What one indexing run did.
struct IndexSummary
{
    int found = 0;        // images in the input
    int indexed = 0;      // rows of the table
    int renamed = 0;      // listed under a link, their names having blanks
    int skipped = 0;      // unreadable images and refused names, not in the table
    int withoutKeypoints = 0; // indexed with an empty keypoint file and a zero row
    qint64 keypoints = 0;
    int words = 0;        // vocabulary size (columns of the table)
    int wordsUsed = 0;    // columns with at least one keypoint
    double seconds = 0;
    bool solved = false;  // the solver's results are part of the project
    QStringList problems; // one line per reported image
};

#endif // INDEXSUMMARY_H
