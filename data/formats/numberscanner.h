#ifndef NUMBERSCANNER_H
#define NUMBERSCANNER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads white-space separated numbers from a text file in large blocks,
// parsing each token in place (std::from_chars for integers, fast_float for
// reals). Memory use is one block, whatever the file size. No Qt: the solver
// uses it too.
class NumberScanner
{
public:
    enum Result { Ok, End, Bad };

    explicit NumberScanner(std::size_t blockSize = std::size_t(1) << 20);
    ~NumberScanner();
    NumberScanner(const NumberScanner &) = delete;
    NumberScanner &operator=(const NumberScanner &) = delete;

    // Opens a regular file without blocking; false when it cannot be opened
    // or is not a regular file (a FIFO, a device, a folder), with
    // openError() saying which.
    bool open(const std::string &path);
    // Opens the bytes [begin, end) of a file, as if they were the whole of
    // it (a process reading its share of a large text). false as open().
    bool openRange(const std::string &path, std::uint64_t begin, std::uint64_t end);
    const std::string &openError() const { return m_openError; }
    // Scans an in-memory text instead of a file (tests, small inputs).
    void openText(std::string text);
    void close();
    bool isOpen() const { return m_fd >= 0 || m_memory; }

    // Size of the opened file in bytes (of the text for openText).
    std::uint64_t size() const { return m_size; }
    // Bytes consumed so far.
    std::uint64_t consumed() const { return m_consumed + m_pos; }

    // A token must be a whole number (optionally signed) for nextInt.
    Result nextInt(long long &value);
    // Reals: decimal point, optional exponent, optional sign, inf and nan.
    Result nextDouble(double &value);
    // Reads up to n reals; returns how many were read. `result` is Ok when
    // all n were read, otherwise End or Bad for the value that stopped it.
    std::size_t readDoubles(double *out, std::size_t n, Result &result);

    // The token that made the last call return Bad (shortened for messages).
    const std::string &badToken() const { return m_badToken; }

    // True when nothing but white space is left.
    bool atEnd();

    // Upper bound on how many more numbers the rest of the input can hold:
    // every number takes at least one character and one separator.
    std::uint64_t maxRemainingValues() const;

private:
    bool fill();
    bool skipSpace();
    const char *tokenEnd(const char *p) const;
    bool tokenComplete(const char *p, const char *end, const char *e) const;
    Result badAt(const char *p, const char *e);

    int m_fd = -1;
    bool m_memory = false;
    bool m_eof = false;
    std::vector<char> m_buf;
    std::size_t m_block;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::uint64_t m_consumed = 0;
    std::uint64_t m_size = 0;
    std::uint64_t m_unread = UINT64_MAX; // bytes of the range not yet read
    std::string m_badToken;
    std::string m_openError;
};

#endif // NUMBERSCANNER_H
