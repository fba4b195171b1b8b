#ifndef INDEXATLAS_H
#define INDEXATLAS_H

#include <QString>
#include <QStringList>

#include <vector>

class Vocabulary;

// The word atlas of an index being written: for each word, the mosaic of
// patches the viewer shows as what the word looks like, cut from the staged
// keypoint files and the images themselves, so that an index opens with its
// pictures of the words without a second pass over the collection.
class IndexAtlas
{
public:
    // Writes `path` from the keypoint files `keypointFiles` (one per image,
    // empty for an image without one) and the pictures `images`. Colour
    // words (numbered from `greyWords`) get their colour as a swatch in the
    // last cell of their mosaic.
    static bool write(const QString &path, const QStringList &keypointFiles, const QStringList &images,
                      int greyWords, const Vocabulary &colour, QString *error);

    // The colours (RGB) a colour word stands for: its four quarters, from
    // a centre of the colour vocabulary (CIE L*a*b* bytes, quarter by quarter).
    static std::vector<unsigned> swatchColours(const Vocabulary &colour, int word);
};

#endif // INDEXATLAS_H
