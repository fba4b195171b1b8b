#ifndef INDEXOPTIONS_H
#define INDEXOPTIONS_H

#include <QString>

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
    qint64 maxMegapixels = 1000; // larger images are refused unread
    // Dense keypoints every N working pixels besides the detected ones (0:
    // none): flat clip art has few blobs and corners, and measured on real
    // collections a grid of 16 groups the categories best.
    int gridStep = 16;
    bool rootSift = false;  // RootSIFT descriptors
    int colourWords = 0;    // colour words appended as columns; 0: none
    int searchChecks = 0;   // approximate word search (k-d trees); 0: exact
    QString vocabulary;     // existing vocabulary to reuse instead of building one
    bool solve = false;     // run the solver on the table at the end
    QString solver;         // solver executable; empty means ca.exe beside the program
    bool quiet = false;     // no progress output (summary and problems still shown)
};

#endif // INDEXOPTIONS_H
