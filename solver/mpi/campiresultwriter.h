#ifndef CAMPIRESULTWRITER_H
#define CAMPIRESULTWRITER_H

#include "solver/casolution.h"

#include <string>

class CAMpiCommunicator;

// Writes the result set of a table solved by several processes, in
// the same text and with the same guarantee as the single solver's writer:
// every file is written under a temporary name and all are renamed
// into place only when complete. The image-side files (Z and P) are written
// by all processes together, each at its own offset, through MPI-IO; the
// word-side files, whole on every process, by the first.
class CAMpiResultWriter
{
public:
    // Collective; false on every process with the same error() when a file
    // cannot be written, and then no result file of the table is left.
    bool write(const std::string &table, const CASolution &solution, const CAMpiCommunicator &comm);
    const std::string &error() const { return m_error; }

private:
    bool writeShared(const std::string &tempPath, const std::string &text, const CAMpiCommunicator &comm,
                     std::string &problem);

    std::string m_error;
};

#endif // CAMPIRESULTWRITER_H
