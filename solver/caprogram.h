#ifndef CAPROGRAM_H
#define CAPROGRAM_H

#include <cstdio>

// The command line of the solver executable:
//   ca.exe -k K TABLE TABLE   analyse TABLE, write its five result files
//   ca.exe --help | --version
// Progress goes to `out`, errors to `err`, each naming the table.
class CAProgram
{
public:
    CAProgram(std::FILE *out, std::FILE *err) : m_out(out), m_err(err) {}

    // Returns the exit status: 0 success, 1 failed analysis, 2 usage error.
    int run(int argc, const char *const *argv);

private:
    int usage(const char *problem);
    int analyse(const char *table, int k);

    std::FILE *m_out;
    std::FILE *m_err;
};

#endif // CAPROGRAM_H
