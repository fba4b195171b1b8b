#ifndef GROUPDESCRIPTION_H
#define GROUPDESCRIPTION_H

#include "data/statistics/grouptest.h"

#include <QByteArray>
#include <QString>

#include <vector>

class CAData;
class CountTable;

// The group test applied to the images of an analysis: a group is a list of
// table rows (a category, a selection, a neighbourhood), tested against the
// whole table or against the union of itself and a second group.
class GroupDescription
{
public:
    // The images of the category called `name` (its name in the categories
    // file, or its number). False with `error` set when there is none.
    static bool categoryImages(const CAData &data, const QString &name, std::vector<int> &images, QString *error);

    // `group` against every image of `table`, or against the union of
    // `group` and `other` when `other` is given (A against A and B).
    static std::vector<GroupTest::Word> describe(const CountTable &table, const std::vector<int> &group,
                                                 const std::vector<int> *other = nullptr);

    // What the counts tested are when the table does not hold plain counts;
    // empty when it does.
    static QString countNote(const CountTable &table);

    // word,count_in,count_all,v_test,p_value; words by vocabulary number.
    static QByteArray csv(const CAData &data, const std::vector<GroupTest::Word> &words);
};

#endif // GROUPDESCRIPTION_H
