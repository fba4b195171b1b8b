#ifndef IMAGELOCATOR_H
#define IMAGELOCATOR_H

#include <QString>

class CAData;

// Where the image files of an analysis are, and where they went. A
// collection moved after it was indexed leaves every thumbnail blank; the
// viewer says so when the project opens, and the user points to the folder
// that now holds the images. The images keep their places relative to the
// folder that holds them all (their common folder), which is moved as one.
class ImageLocator
{
public:
    struct Census
    {
        int total = 0;   // images with a file name
        int missing = 0; // of those, files not there
        QString root;    // the folder that holds them all
    };

    // Looks for every image file (one status call each).
    static Census census(const CAData &data);
    // The folder that holds every image file (their deepest common folder),
    // empty without an image list.
    static QString root(const CAData &data);
    // How many images would be found if `root`'s contents were under `to`.
    static int foundUnder(const CAData &data, const QString &root, const QString &to);
    // Gives every image under `root` its path under `to` instead (absolute
    // from then on, so that every view and a save find them).
    static void relocate(CAData &data, const QString &root, const QString &to);
    // "3156 of 3156 images not found under /old/folder", or empty when none
    // is missing.
    static QString notFoundMessage(const Census &census);
};

#endif // IMAGELOCATOR_H
