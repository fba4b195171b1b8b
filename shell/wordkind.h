#ifndef WORDKIND_H
#define WORDKIND_H

#include <QString>

class CAData;

// What a visual word describes. The indexer numbers its shape words (local
// descriptors of the image's lines and textures) from 0 and appends its
// colour words after them; the record of its options kept beside the project
// (index-options.txt) says how many of each there are.
class WordKind
{
public:
    enum Kind { Unknown, Shape, Colour };

    // How many shape and colour words the index of `data` has; shapeWords
    // is -1 when no readable record says.
    struct Counts
    {
        int shapeWords = -1;
        int colourWords = 0;
    };
    static Counts of(const CAData &data);
    // The same from a record's text.
    static Counts parse(const QByteArray &record);

    // The kind of the word with vocabulary number `label`.
    static Kind kind(const Counts &counts, int label);
    // "Shape word #12", "Colour word #1034", or "Word #12" when unknown.
    static QString name(const Counts &counts, int label);

    static constexpr const char *RecordName = "index-options.txt";
};

#endif // WORDKIND_H
