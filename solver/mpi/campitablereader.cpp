#include "solver/mpi/campitablereader.h"

#include "data/formats/numberscanner.h"
#include "solver/contingencytable.h"
#include "data/communicator/mpi/campicommunicator.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

inline bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

constexpr std::size_t kBlock = std::size_t(1) << 20;

// The first position after a line end at or after `from` - 1 (a range that
// starts there starts at a line start), or `size` when no line end follows.
std::uint64_t lineStart(int fd, std::uint64_t from, std::uint64_t size)
{
    if (from == 0)
        return 0;
    std::vector<char> buf(64 * 1024);
    for (std::uint64_t pos = from - 1; pos < size;) {
        const ssize_t n = ::pread(fd, buf.data(), buf.size(), off_t(pos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        const void *nl = std::memchr(buf.data(), '\n', std::size_t(n));
        if (nl)
            return pos + std::uint64_t(static_cast<const char *>(nl) - buf.data()) + 1;
        pos += std::uint64_t(n);
    }
    return size;
}

// Numbers (white-space separated tokens) in [begin, end); -1 on a read error.
long long countTokens(int fd, std::uint64_t begin, std::uint64_t end)
{
    std::vector<char> buf(kBlock);
    long long tokens = 0;
    bool inToken = false;
    for (std::uint64_t pos = begin; pos < end;) {
        const std::size_t want = std::size_t(std::min<std::uint64_t>(kBlock, end - pos));
        const ssize_t n = ::pread(fd, buf.data(), want, off_t(pos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return -1;
        for (ssize_t i = 0; i < n; ++i) {
            const bool space = isSpace(buf[std::size_t(i)]);
            tokens += (!space && !inToken);
            inToken = !space;
        }
        pos += std::uint64_t(n);
    }
    return tokens;
}

// The byte offset of the number `n` (from 0) of [begin, end).
std::uint64_t tokenOffset(int fd, std::uint64_t begin, std::uint64_t end, long long n)
{
    std::vector<char> buf(kBlock);
    long long tokens = 0;
    bool inToken = false;
    for (std::uint64_t pos = begin; pos < end;) {
        const std::size_t want = std::size_t(std::min<std::uint64_t>(kBlock, end - pos));
        const ssize_t got = ::pread(fd, buf.data(), want, off_t(pos));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (ssize_t i = 0; i < got; ++i) {
            const bool space = isSpace(buf[std::size_t(i)]);
            if (!space && !inToken && tokens++ == n)
                return pos + std::uint64_t(i);
            inToken = !space;
        }
        pos += std::uint64_t(got);
    }
    return end;
}

// The rows whose first cell is among the values [first, first + count) of
// a rows x cols table: [begin, end).
void ownedRows(long long first, long long count, int rows, int cols, int &begin, int &end)
{
    const long long cells = (long long)rows * cols;
    const long long last = std::min(first + count, cells);
    begin = int(std::min<long long>(rows, (first + cols - 1) / cols));
    end = int(std::min<long long>(rows, (last + cols - 1) / cols));
    if (first >= cells || end < begin)
        end = begin;
}

} // namespace

bool CAMpiTableReader::fail(std::string message)
{
    m_error = std::move(message);
    m_block = SparseRows();
    return false;
}

bool CAMpiTableReader::read(const std::string &path, const CAMpiCommunicator &comm)
{
    m_error.clear();
    m_block = SparseRows();
    m_rows = m_cols = m_firstRow = 0;
    const int rank = comm.rank(), size = comm.size();

    // The header, by the first process, exactly as the single reader reads
    // it; then where the values begin and how long the file is.
    long long header[4] = {0, 0, 0, 0}; // rows, cols, values' first byte, file size
    std::string problem;
    if (rank == 0) {
        NumberScanner scanner;
        int rows = 0, cols = 0;
        if (!scanner.open(path))
            problem = ContingencyTable::openError(scanner);
        else if (ContingencyTable::readHeader(scanner, rows, cols, problem))
            header[0] = rows, header[1] = cols, header[2] = (long long)scanner.consumed(),
            header[3] = (long long)scanner.size();
    }
    problem = comm.firstProblem(problem.empty(), 0, problem);
    if (!problem.empty())
        return fail(problem);
    MPI_Bcast(header, 4, MPI_LONG_LONG, 0, comm.comm());
    m_rows = int(header[0]);
    m_cols = int(header[1]);
    const std::uint64_t valuesBegin = std::uint64_t(header[2]), fileSize = std::uint64_t(header[3]);

    // This process's byte range, and how many numbers it holds.
    long long count = 0;
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            problem = std::string("cannot open the table: ") + std::strerror(errno);
        } else {
            const std::uint64_t span = fileSize - valuesBegin;
            const auto nominal = [&](int r) { return valuesBegin + std::uint64_t((long double)span * r / size); };
            m_begin = rank == 0 ? valuesBegin : lineStart(fd, nominal(rank), fileSize);
            m_end = rank + 1 == size ? fileSize : lineStart(fd, nominal(rank + 1), fileSize);
            if (m_end < m_begin)
                m_end = m_begin;
            count = countTokens(fd, m_begin, m_end);
            if (count < 0)
                problem = std::string("cannot read the table: ") + std::strerror(errno ? errno : EIO);
            ::close(fd);
        }
    }
    problem = comm.firstProblem(problem.empty(), 0, problem);
    if (!problem.empty())
        return fail(problem);

    // Where every process's numbers fall among the table's values.
    std::vector<std::int64_t> counts;
    const std::int64_t mine = count;
    comm.gather(&mine, 1, counts);
    std::vector<long long> first(std::size_t(size) + 1, 0);
    for (int r = 0; r < size; ++r)
        first[r + 1] = first[r] + counts[r];
    const long long total = first[size];
    const long long cells = (long long)m_rows * m_cols;
    // Values beyond those the header announces: the process holding the
    // first of them names its line.
    if (total > cells) {
        if (first[rank] <= cells && cells < first[rank + 1]) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            const std::uint64_t at = fd < 0 ? 0 : tokenOffset(fd, m_begin, m_end, cells - first[rank]);
            if (fd >= 0)
                ::close(fd);
            problem = ContingencyTable::extraValuesError(m_rows, m_cols, ContingencyTable::lineOf(path, at));
        }
        problem = comm.firstProblem(problem.empty(), 0, problem);
        return fail(problem);
    }
    std::vector<int> rowBegin(static_cast<std::size_t>(size)), rowEnd(static_cast<std::size_t>(size));
    for (int r = 0; r < size; ++r)
        ownedRows(first[r], counts[r], m_rows, m_cols, rowBegin[r], rowEnd[r]);
    m_firstRow = rowBegin[rank];

    // The values: the owned rows into the block, the cells before the first
    // owned row (the tail of an earlier process's last row) aside.
    std::vector<int> leadCols;
    std::vector<double> leadValues;
    SparseRows block(m_cols);
    block.reserveRows(std::size_t(rowEnd[rank] - rowBegin[rank]));
    std::uint64_t problemAt = 0;
    {
        NumberScanner scanner;
        if (!scanner.openRange(path, m_begin, m_end)) {
            problem = ContingencyTable::openError(scanner);
        } else {
            const long long begin = first[rank];
            const long long end = std::min(first[rank] + counts[rank], cells);
            const long long ownedFrom = (long long)m_firstRow * m_cols;
            bool integers = true;
            int row = m_firstRow - 1; // the last started row of the block
            for (long long g = begin; g < end; ++g) {
                const long long i = g / m_cols, j = g % m_cols;
                double v = 0;
                const int r = ContingencyTable::nextCell(scanner, integers, i, j, v, problem);
                if (r == NumberScanner::End) {
                    // The range changed under us: the file is being written.
                    problem = "the table changed while it was read";
                    problemAt = std::uint64_t(g);
                    break;
                }
                if (r == NumberScanner::Bad) {
                    problemAt = std::uint64_t(g);
                    break;
                }
                if (g < ownedFrom) {
                    if (v != 0) {
                        leadCols.push_back(int(j));
                        leadValues.push_back(v);
                    }
                    continue;
                }
                while (row < i) {
                    block.startRow();
                    ++row;
                }
                if (v == 0)
                    continue;
                if (block.nonZeros() == INT_MAX) {
                    problem = ContingencyTable::tooManyCellsError();
                    problemAt = std::uint64_t(g);
                    break;
                }
                if (!block.append(int(j), v)) {
                    problem = ContingencyTable::outOfMemoryError();
                    problemAt = std::uint64_t(g);
                    break;
                }
            }
        }
    }
    if (problem.empty() && total < cells) {
        problem = ContingencyTable::shortTextError(std::uint64_t(total), m_rows, m_cols);
        problemAt = std::uint64_t(total);
    }
    problem = comm.firstProblem(problem.empty(), problemAt, problem);
    if (!problem.empty())
        return fail(problem);
    while (block.rows() < rowEnd[rank] - rowBegin[rank])
        block.startRow();

    // Hand the cells aside to the owner of their row, which appends them,
    // in process order, to its last row.
    std::vector<int> sendCounts(std::size_t(size), 0), recvCounts(std::size_t(size), 0);
    if (!leadCols.empty()) {
        const int row = m_firstRow - 1;
        for (int r = rank - 1; r >= 0; --r)
            if (rowBegin[r] <= row && row < rowEnd[r]) {
                sendCounts[r] = int(leadCols.size());
                break;
            }
    }
    MPI_Alltoall(sendCounts.data(), 1, MPI_INT, recvCounts.data(), 1, MPI_INT, comm.comm());
    std::vector<int> sendOffsets(std::size_t(size), 0), recvOffsets(std::size_t(size), 0);
    int received = 0;
    for (int r = 0; r < size; ++r) {
        recvOffsets[r] = received;
        received += recvCounts[r];
    }
    std::vector<int> tailCols(static_cast<std::size_t>(received));
    std::vector<double> tailValues(static_cast<std::size_t>(received));
    MPI_Alltoallv(leadCols.data(), sendCounts.data(), sendOffsets.data(), MPI_INT, tailCols.data(),
                  recvCounts.data(), recvOffsets.data(), MPI_INT, comm.comm());
    MPI_Alltoallv(leadValues.data(), sendCounts.data(), sendOffsets.data(), MPI_DOUBLE, tailValues.data(),
                  recvCounts.data(), recvOffsets.data(), MPI_DOUBLE, comm.comm());
    bool ok = true;
    for (int c = 0; c < received && ok; ++c)
        ok = block.nonZeros() < INT_MAX && block.append(tailCols[c], tailValues[c]);
    problem = comm.firstProblem(ok, 0, ContingencyTable::outOfMemoryError());
    if (!problem.empty())
        return fail(problem);
    block.squeeze();
    m_block = std::move(block);
    return true;
}
