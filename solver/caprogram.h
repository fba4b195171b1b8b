#ifndef CAPROGRAM_H
#define CAPROGRAM_H

#include <cstdint>
#include <cstdio>
#include <string>

class CASolution;

// The command line of the solver executable:
//   ca.exe -k K [--supplementary ROWS] TABLE TABLE
//                              analyse TABLE, write its result files (and
//                              the coordinates of the rows of ROWS)
//   ca.exe --help | --version
// Progress goes to `out`, errors to `err`, each naming the table. The
// distributed solver shares the command line and the messages under its own
// program name.
class CAProgram
{
public:
    CAProgram(std::FILE *out, std::FILE *err, const char *name = "ca.exe") : m_out(out), m_err(err), m_name(name) {}
    virtual ~CAProgram() = default;

    // Returns the exit status: 0 success, 1 failed analysis, 2 usage error.
    int run(int argc, const char *const *argv);

protected:
    virtual int analyse(const char *table, int k);

    // The refusal line "NAME: TABLE: problem"; returns 1.
    int failure(const char *table, const std::string &problem);
    // The closing summary line of a successful analysis.
    void summary(const char *table, const CASolution &solution, std::int64_t nonZeros, bool iterative,
                 double readTime, double solveTime, double writeTime);

    std::FILE *m_out;
    std::FILE *m_err;
    const char *m_name;
    // The table of supplementary rows; null when none was given.
    const char *m_supplementary = nullptr;

private:
    int usage(const char *problem);
};

#endif // CAPROGRAM_H
