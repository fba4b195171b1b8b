#ifndef TABLEINERTIA_H
#define TABLEINERTIA_H

#include <string>

// The total inertia of a contingency table in its text form (the row and
// column counts, then the cells row by row): chi-square over the grand total,
// sum_ij n_ij^2 / (n_i. n_.j) - 1, over the rows and columns that are not
// empty. It is what the eigenvalues of every axis add up to, so an older
// result set without its total can still show shares of the whole inertia.
// Two passes over the text keep the memory to one row and the column sums.
class TableInertia
{
public:
    // NaN when the table cannot be read, with `error` saying why.
    static double ofFile(const std::string &path, std::string &error);
    static double ofText(const std::string &text, std::string &error);
};

#endif // TABLEINERTIA_H
