#ifndef CARESULTWRITER_H
#define CARESULTWRITER_H

#include "data/formats/caresultarrays.h"
#include "data/formats/resultfiles.h"

#include <string>
#include <vector>

class ResultManifest;

// Writes the result set of a table: the five result files (its path
// followed by "_Z.txt", "_W.txt", "_P.txt", "_Q.txt", "_Lambda.txt"), the
// supplementary rows' "_ZSup.txt" when there are any, and the manifest
// "_Inertia.txt" (see ResultManifest). Each file is written under a
// temporary name in the same folder; when all are complete the manifest is
// renamed into place first, then the others. A reader therefore never sees a
// half-written file, and a set left part old, part new by a kill between
// the renames no longer matches its manifest. Used by the solvers and by
// "Save analysis as". No Qt.
class CAResultWriter
{
public:
    static constexpr int kFileCount = ResultFiles::kFiveFileCount;
    // The five result files' suffixes.
    static const char *const kSuffixes[kFileCount];
    using Temporaries = std::string[ResultFiles::KindCount];

    // False when a file cannot be written; error() says which and why, and
    // no result file of the table is left behind.
    bool write(const std::string &table, const CAResultArrays &arrays);
    const std::string &error() const { return m_error; }

    // Removes every result file of a table (after a failed solve, so that an
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

    // File `kind` of the arrays, complete, under a temporary name beside its
    // final path (Inertia excepted: commit() writes it).
    bool writeFile(const std::string &path, const CAResultArrays &a, ResultFiles::Kind kind,
                   std::string &tempPath);
    // An empty file under a temporary name beside `path`, with the
    // permissions of a plain new file; -1 with error() set when it cannot
    // be made.
    int createTemporary(const std::string &path, std::string &tempPath);
    // With `ok`, writes the manifest of the complete temporaries (the kinds
    // whose entry is not empty) and renames them all into place, manifest
    // first; result files of kinds not written are removed. Otherwise, or
    // when a step fails, removes the temporaries and every result file.
    bool commit(const std::string &table, Temporaries &temps, const CAResultArrays &a, bool ok);

    // The text of the files, in pieces: "rows cols" and "n" headers, one
    // line per matrix row, one line per vector value. Numbers are the
    // shortest text that reads back as the same double.
    static void appendMatrixHeader(std::string &text, std::size_t rows, int cols);
    static void appendMatrixRows(std::string &text, const double *values, std::size_t rows, int cols);
    static void appendVectorHeader(std::string &text, std::size_t n);
    static void appendVectorValues(std::string &text, const double *values, std::size_t n);

private:
    bool writeManifest(const std::string &table, Temporaries &temps, const CAResultArrays &a);

    // Locks held on this writer's temporaries until commit() is done with
    // them, so that removeStaleTemporaries leaves a live run alone.
    std::vector<int> m_locks;
    void releaseLocks();

    std::string m_error;
};

#endif // CARESULTWRITER_H
