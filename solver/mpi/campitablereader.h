#ifndef CAMPITABLEREADER_H
#define CAMPITABLEREADER_H

#include "solver/sparserows.h"

#include <cstdint>
#include <string>

class CAMpiCommunicator;

// Reads a contingency table on several processes at once, each reading its
// own byte range of the text and keeping a block of consecutive rows.
//
// The text after the header is cut into equal byte ranges moved forward to
// the next line end, so no number is cut. A first pass counts the numbers
// of each range; their running sum tells every process which cells its
// numbers are. A row belongs to the process holding its first cell; cells
// of a row that runs on into later ranges are sent back to it, so the line
// structure of the text is as free as for a single reader. Errors are the
// single reader's, found in the same order: the first bad cell of the text
// wins, whichever process meets it.
class CAMpiTableReader
{
public:
    // Collective. False on every process with the same error() when the
    // table cannot be read (the message names no path).
    bool read(const std::string &path, const CAMpiCommunicator &comm);

    int rows() const { return m_rows; }
    int cols() const { return m_cols; }
    // This process's rows: [firstRow(), firstRow() + block().rows()).
    int firstRow() const { return m_firstRow; }
    const SparseRows &block() const { return m_block; }
    SparseRows takeBlock() { return std::move(m_block); }
    const std::string &error() const { return m_error; }

    // This process's byte range of the text.
    std::uint64_t rangeBegin() const { return m_begin; }
    std::uint64_t rangeEnd() const { return m_end; }

private:
    bool fail(std::string message);

    int m_rows = 0;
    int m_cols = 0;
    int m_firstRow = 0;
    std::uint64_t m_begin = 0;
    std::uint64_t m_end = 0;
    SparseRows m_block;
    std::string m_error;
};

#endif // CAMPITABLEREADER_H
