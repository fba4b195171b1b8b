#ifndef MAPSEARCH_H
#define MAPSEARCH_H

#include <QString>
#include <QStringList>
#include <QVector>

class CAData;

// One point Find can fly to: an image or a word of the analysis.
struct SearchHit
{
    enum Kind { Image = 0, Word = 1 };
    Kind kind = Image;
    int index = -1;

    bool operator==(const SearchHit &o) const { return kind == o.kind && index == o.index; }
};

// What the Find field of the tool bar looks for, without the field: matches
// a text against an analysis's image numbers, file names and category names,
// and words against their vocabulary numbers. Whether a point is drawn does
// not matter here; the map shows a hidden match anyway and says so.
//
//   "123", "#123"        the image numbered 123 in the whole collection
//   "w123", "word 123"   the word numbered 123 in the vocabulary
//   "star_62"            images whose file name contains it
//   "stars"              images of a category whose name contains it
//
// Matches come best first: the image of that number, then file names equal
// to the text, starting with it, containing it (folders included), then the
// images of a category named so, then of a category whose name contains it.
// Ties keep the images' order in the analysis. Letter case never matters.
class MapSearch
{
public:
    static QVector<SearchHit> find(const CAData &data, const QString &text);
    // The names completion offers as one types: each image's file name
    // without its folders, then each category name; sorted, without repeats.
    static QStringList completions(const CAData &data);
};

#endif // MAPSEARCH_H
