#ifndef IMAGEENTRY_H
#define IMAGEENTRY_H

#include <QString>

// One image of the collection to index.
struct ImageEntry
{
    int category = 0;
    QString path;  // absolute path of the image file, used to read it
};

#endif // IMAGEENTRY_H
