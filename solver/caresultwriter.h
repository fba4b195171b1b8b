#ifndef CARESULTWRITER_H
#define CARESULTWRITER_H

#include "solver/casolution.h"

#include <string>

// Writes the five result files of a table (its path followed by "_Z.txt",
// "_W.txt", "_P.txt", "_Q.txt", "_Lambda.txt"). Each file is written under a
// temporary name in the same folder and renamed into place only when all
// five are complete, so a reader never sees a half-written result.
class CAResultWriter
{
public:
    static constexpr int kFileCount = 5;
    static const char *const kSuffixes[kFileCount];

    // False when a file cannot be written; error() says which and why, and
    // no result file of the table is left behind.
    bool write(const std::string &table, const CASolution &solution);
    const std::string &error() const { return m_error; }

    // Removes the result files of a table (after a failed solve, so that an
    // older analysis is not taken for the result of this one).
    static void removeResults(const std::string &table);

private:
    // File `which` (index into kSuffixes) of the solution, under a temporary name.
    bool writeFile(const std::string &path, const CASolution &s, int which, std::string &tempPath);

    std::string m_error;
};

#endif // CARESULTWRITER_H
