#ifndef CARESULTWRITER_H
#define CARESULTWRITER_H

#include "solver/casolution.h"

#include <string>
#include <vector>

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

    // Removes the temporaries a killed run on the same table left behind
    // (a kill between creating them and renaming them into place). Those
    // of a run still writing are locked and stay. Returns how many went.
    static int removeStaleTemporaries(const std::string &table);
    // Whether `name` (a file name without folder) is one of this writer's
    // temporaries for `table`.
    static bool isTemporaryOf(const std::string &table, const std::string &name);

    CAResultWriter() = default;
    CAResultWriter(const CAResultWriter &) = delete;
    CAResultWriter &operator=(const CAResultWriter &) = delete;
    ~CAResultWriter();

    // File `which` (index into kSuffixes) of the solution, complete, under a
    // temporary name beside its final path.
    bool writeFile(const std::string &path, const CASolution &s, int which, std::string &tempPath);
    // An empty file under a temporary name beside `path`, with the
    // permissions of a plain new file; -1 with error() set when it cannot
    // be made.
    int createTemporary(const std::string &path, std::string &tempPath);
    // With `ok`, renames the five complete temporaries into place; otherwise,
    // or when a rename fails, removes them and every result file of the table.
    bool commit(const std::string &table, std::string (&temps)[kFileCount], bool ok);

    // The text of the files, in pieces: "rows cols" and "n" headers, one
    // line per matrix row, one line per vector value. Numbers are the
    // shortest text that reads back as the same double.
    static void appendMatrixHeader(std::string &text, std::size_t rows, int cols);
    static void appendMatrixRows(std::string &text, const double *values, std::size_t rows, int cols);
    static void appendVectorHeader(std::string &text, std::size_t n);
    static void appendVectorValues(std::string &text, const double *values, std::size_t n);

private:
    // Locks held on this writer's temporaries until commit() is done with
    // them, so that removeStaleTemporaries leaves a live run alone.
    std::vector<int> m_locks;
    void releaseLocks();

    std::string m_error;
};

#endif // CARESULTWRITER_H
