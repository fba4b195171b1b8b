#ifndef RESULTMANIFEST_H
#define RESULTMANIFEST_H

#include <cstdint>
#include <string>
#include <vector>

// The sixth file of a result set (TABLE_Inertia.txt): what the five result
// files cannot say. Line-based "key value" text, readers pass over keys they
// do not know:
//
//   ortelis-results 1
//   inertia 6.8519123456789     total inertia of the table (absent when unknown)
//   run 9f3a01c2d4e5b6a7        random stamp of the run that wrote the set
//   rows 3156                   table rows (images)
//   columns 1200                table columns (words)
//   axes 10                     axes kept
//   suprows 25                  supplementary rows (only with _ZSup.txt)
//   file _Z.txt 245120 1f0c...  one line per file of the set: suffix, size
//                               in bytes, digest of its bytes (16 hex digits)
//
// It is renamed into place before the files it lists, so a set whose files
// were replaced only in part (a run killed between renames) no longer
// matches it, and the reader can tell the set is mixed.
class ResultManifest
{
public:
    struct Entry
    {
        std::string suffix;
        std::uint64_t bytes = 0;
        std::uint64_t digest = 0;
    };

    static constexpr const char *kMagic = "ortelis-results";
    // Larger than any manifest: a file beyond it is not one.
    static constexpr std::uint64_t kMaxBytes = 64 * 1024;

    double inertia;            // NaN when unknown
    std::string run;
    long long rows = -1, columns = -1, axes = -1, supRows = -1;
    std::vector<Entry> files;

    ResultManifest();

    std::string text() const;
    // False with `error` set when the text is not a manifest.
    bool parse(const std::string &text, std::string &error);
    const Entry *entry(const std::string &suffix) const;
    // Whether the total inertia (when known) can be that of a table whose
    // axes have the `n` eigenvalues `lambda`: the axes hold at most the
    // whole inertia. `sum` receives their sum. A total edited by hand (0.1,
    // 1e-300) with the digests left alone fails it.
    bool holdsAxes(const double *lambda, long long n, double *sum) const;

    // Size and digest of a file's bytes; false with `error` set when it
    // cannot be read.
    static bool digestFile(const std::string &path, Entry &entry, std::string &error);
    // Digest of bytes, in pieces: `state` starts at digestStart(), every
    // piece but the last is a multiple of 8 bytes long.
    static std::uint64_t digestStart();
    static std::uint64_t digestAdd(std::uint64_t state, const unsigned char *bytes, std::size_t n);
    // A fresh random stamp, 16 hex digits.
    static std::string newRunStamp();
};

#endif // RESULTMANIFEST_H
