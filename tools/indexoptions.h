#ifndef INDEXOPTIONS_H
#define INDEXOPTIONS_H

#include <QString>

// What a word's occurrences in an image become in the table. A drawing
// repeats its strokes and fills: raw counts let one repeated patch outweigh
// every other word of the image, and the square root (or mere presence)
// damps those bursts.
enum class TableCounts { Raw, Sqrt, Presence };

// Everything one indexing run needs to know. The defaults are those of the
// command line.
struct IndexOptions
{
    QString input;          // image folder, or a list file of "category path" lines
    QString output;         // folder that receives the index and project.xml
    int words = 1000;       // vocabulary size when the vocabulary is built
    int maxKeypoints = 500; // strongest keypoints kept per image
    quint32 seed = 1;       // k-means seed
    int axes = 10;          // AXIS written into the project
    int jobs = 0;           // worker threads; 0 means one per core
    int sampleSize = 0;     // descriptors sampled for k-means; 0 means 25 per word
    // Longer image side is scaled down to this; 0 keeps full size. Larger
    // sizes cost time and find the same shapes on collections like clip art.
    int maxSide = 1024;
    // Every image is then brought to this longer side (small ones
    // enlarged), so that the grid and the keypoint sizes mean the same share
    // of every picture; 0 keeps the size read.
    int workSide = 512;
    qint64 maxMegapixels = 1000; // larger images are refused unread
    // Dense keypoints every N working pixels besides the detected ones (0:
    // none): flat clip art has few blobs and corners, and measured on real
    // collections a grid of 16 groups the categories best.
    int gridStep = 16;
    bool rootSift = false;  // RootSIFT descriptors
    // Colour words appended as columns (0: none): the mean colours of each
    // keypoint's patch tell food from flags where the shapes alike do not.
    int colourWords = 200;
    int searchChecks = 0;   // approximate word search (k-d trees); 0: exact
    // Each grey descriptor shared among its N nearest words by closeness
    // (1: the nearest alone): a descriptor halfway between two words no
    // longer falls wholly on either side by chance.
    int softWords = 1;
    // Grid patches at N sizes (the step, twice, four times it): strokes and
    // shapes larger than one patch get words of their own.
    int gridScales = 1;
    // Where colour lies, as a share (percent) of a colour word's weight:
    // 0 describes colour alone; more keeps a coarse layout (flags, signs).
    // Measured on a real collection, 100 groups the categories best.
    int colourLayout = 100;
    TableCounts counts = TableCounts::Sqrt;
    QString vocabulary;     // existing vocabulary to reuse instead of building one
    bool solve = false;     // run the solver on the table at the end
    QString solver;         // solver executable; empty means ca.exe beside the program
    bool quiet = false;     // no progress output (summary and problems still shown)
    // Supplementary images, placed on the axes without taking part in them.
    QString addTo;          // project the input's images are added to (nothing else changes)
    QString passive;        // list file of the input's images made supplementary
    bool placeFlat = true;  // blank images of one flat colour placed by their colour words
};

#endif // INDEXOPTIONS_H
