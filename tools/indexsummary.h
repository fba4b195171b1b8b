#ifndef INDEXSUMMARY_H
#define INDEXSUMMARY_H

#include <QStringList>

// What one indexing run did. Every image found is either indexed (a row of
// the table) or skipped with its reason.
struct IndexSummary
{
    int found = 0;        // images in the input
    int indexed = 0;      // rows of the table
    int renamed = 0;      // listed under a link, their names having blanks
    int skipped = 0;      // images not in the table, all reasons together:
    int unreadable = 0;   //   damaged, unknown format, cannot be opened
    int tooLarge = 0;     //   above the pixel or memory limits
    int tooSmall = 0;     //   below the minimum side
    int withoutKeypoints = 0; // no keypoint at all: no profile to show
    int blank = 0;        //   fully transparent or a single flat colour
    int blankWithColour = 0; // of those, the flat colour ones (colour words can place them)
    int refusedNames = 0; //   names the image list cannot hold
    int alreadyThere = 0; //   added to a project that has them already
    int passedOver = 0;   // links and folders of the scan that hold no image
    // Images placed as supplementary rows (not in the table), by reason:
    int supplementary = 0;
    int supplementaryFlat = 0;   //   blank but of one flat colour: placed by their colour words
    int supplementaryPassive = 0; //  listed with --passive, or added to a project
    int notPlaced = 0;    // supplementary images whose row is all zero: listed, not placed
    int duplicateGroups = 0; // groups of byte-identical files (all indexed)
    int duplicateFiles = 0;
    qint64 keypoints = 0;
    int words = 0;        // vocabulary size (columns of the table)
    int wordsUsed = 0;    // columns with at least one keypoint
    double seconds = 0;
    bool solved = false;  // the solver's results are part of the project
    // Words and groups of identical images that take more than a quarter of
    // one of the first three axes, one line each (solved runs only).
    QStringList axisShares;
    bool interrupted = false;
    QStringList problems; // one line per reported image
};

#endif // INDEXSUMMARY_H
