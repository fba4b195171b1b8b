#ifndef GROUPTEST_H
#define GROUPTEST_H

#include <vector>

// Which words set a group of images apart from a reference (the whole
// collection, or the union of two groups compared): for each word, the
// hypergeometric test of its count in the group, given the group's total
// count and the word's count in the reference. A word is over-represented
// when its share of the group exceeds the group's share of the reference.
// The p-value is twice the tail on the side of the deviation (capped as a
// probability), and the test value the normal quantile of half of it,
// positive for an over-represented word: the conventions of the
// characterisation of frequency tables in R's FactoMineR (descfreq), so the
// figures can be checked against it.
class GroupTest
{
public:
    struct Word {
        int word = 0;
        double countIn = 0;   // the word's count in the group
        double countAll = 0;  // its count in the reference
        double vTest = 0;     // normal test value, > 0 when over-represented
        double pValue = 1;    // two-sided probability
    };

    // `countIn` and `countAll` per word (the same length), counts rounded to
    // whole numbers; words absent from the reference are left out. The
    // result is in decreasing order of test value: the most over-represented
    // first, the most under-represented last.
    static std::vector<Word> run(const std::vector<double> &countIn, const std::vector<double> &countAll);

    // The test of one word: `countIn` of the group's `groupTotal`, against
    // `countAll` of the reference's `total`.
    static Word test(double countIn, double countAll, double groupTotal, double total);
};

#endif // GROUPTEST_H
