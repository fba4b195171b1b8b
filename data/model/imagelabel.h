#ifndef IMAGELABEL_H
#define IMAGELABEL_H

#include <QString>

// One entry of the image list: the image's class number and its file name,
// relative to the analysis's base folder unless absolute.
struct ImageLabel
{
    qint32 category = 0;
    QString imageFile;
};

#endif // IMAGELABEL_H
