#ifndef RESULTFILES_H
#define RESULTFILES_H

#include <string>

// The files of one result set, named by appending a fixed suffix to the
// analysed table's full path (t.txt gives t.txt_Z.txt and so on), and the
// FILE names a project uses for them. Every writer and reader of result
// sets takes the names from here.
//
// The first five are the solver's own output. Inertia is the set's
// manifest (total inertia, run stamp, size and digest of each file of the
// set); ZSup the coordinates of supplementary rows, written only when some
// were given.
class ResultFiles
{
public:
    enum Kind { Z, W, P, Q, Lambda, Inertia, ZSup, KindCount };
    // The five result files come first, in this order.
    static constexpr int kFiveFileCount = 5;

    static const char *suffix(Kind kind);
    // FILE name in project.xml: "Z", "W", "P", "Q", "LAMBDA", "INERTIA", "ZSUP".
    static const char *projectKey(Kind kind);
    static std::string path(const std::string &table, Kind kind) { return table + suffix(kind); }

    // The kind whose suffix ends `name`, or KindCount.
    static Kind kindOf(const std::string &name);
};

#endif // RESULTFILES_H
