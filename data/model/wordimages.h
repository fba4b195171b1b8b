#ifndef WORDIMAGES_H
#define WORDIMAGES_H

#include <QString>

#include <vector>

class CountTable;

// The images richest in one visual word: the word's value in each image's
// row of the analysed table, largest first. What a word stands for is read
// off the pictures that use it most.
class WordImages
{
public:
    struct Image {
        int image = 0;
        double value = 0; // the word's count (or table value) in the image
    };

    // Images where word `word` (a column of `table`) is not zero, largest
    // value first, ties by image number, at most `top` of them. Counts when
    // the table holds counts or their square roots, else the table's values.
    // `holding`, when given, receives how many images hold the word at all.
    static std::vector<Image> richest(const CountTable &table, int word, int top, int *holding = nullptr);

    // What the value per image is, for a word of vocabulary number `label`:
    // "count of word #1002", or "table value of word #1002" when the table
    // holds weights that are not counts.
    static QString valueName(const CountTable &table, int label);

    // Images listed by default: a page of thumbnails.
    static constexpr int DefaultTop = 60;
};

#endif // WORDIMAGES_H
