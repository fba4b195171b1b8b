#include "solver/caresultwriter.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

const char *const CAResultWriter::kSuffixes[kFileCount] = {"_Z.txt", "_W.txt", "_P.txt", "_Q.txt",
                                                           "_Lambda.txt"};

namespace {

// Output through a fixed buffer straight to a file descriptor, so that the
// text of a large result is never held in memory whole.
class FdSink
{
public:
    explicit FdSink(int fd) : m_fd(fd) { m_buf.reserve(kSize + 64); }

    void number(double v)
    {
        // Shortest text that reads back as the same double; never "-0".
        if (v == 0)
            v = 0;
        char tmp[32];
        auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
        m_buf.append(tmp, r.ptr);
        if (m_buf.size() >= kSize)
            flush();
    }
    void count(std::size_t v) { m_buf += std::to_string(v); }
    void put(char c) { m_buf += c; }

    // False with errno set when a write failed (now or earlier).
    bool flush()
    {
        const char *p = m_buf.data();
        std::size_t left = m_buf.size();
        while (left > 0 && m_errno == 0) {
            ssize_t n = ::write(m_fd, p, left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                m_errno = n < 0 ? errno : ENOSPC;
            else {
                p += n;
                left -= std::size_t(n);
            }
        }
        m_buf.clear();
        errno = m_errno;
        return m_errno == 0;
    }

private:
    static constexpr std::size_t kSize = std::size_t(1) << 20;
    int m_fd;
    int m_errno = 0;
    std::string m_buf;
};

// Header "rows cols", then one line per row.
void matrixText(FdSink &out, int rows, int cols, const std::vector<double> &values)
{
    out.count(std::size_t(rows));
    out.put(' ');
    out.count(std::size_t(cols));
    out.put('\n');
    for (int i = 0; i < rows; ++i) {
        for (int a = 0; a < cols; ++a) {
            if (a)
                out.put(' ');
            out.number(values[std::size_t(i) * cols + a]);
        }
        out.put('\n');
    }
}

// Header n, then one value per line.
void vectorText(FdSink &out, const std::vector<double> &values)
{
    out.count(values.size());
    out.put('\n');
    for (double v : values) {
        out.number(v);
        out.put('\n');
    }
}

} // namespace

bool CAResultWriter::writeFile(const std::string &path, const CASolution &s, int which, std::string &tempPath)
{
    std::string name = path + ".XXXXXX";
    int fd = ::mkstemp(name.data());
    if (fd < 0) {
        m_error = "cannot create a file beside " + path + ": " + std::strerror(errno);
        return false;
    }
    tempPath = name;
    // mkstemp creates the file private; give it the permissions of a plain new file.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    FdSink out(fd);
    switch (which) {
    case 0: matrixText(out, s.rows, s.axes, s.Z); break;
    case 1: matrixText(out, s.cols, s.axes, s.W); break;
    case 2: vectorText(out, s.P); break;
    case 3: vectorText(out, s.Q); break;
    default: vectorText(out, s.lambda); break;
    }
    bool ok = out.flush();
    if (!ok)
        m_error = "cannot write " + path + ": " + std::strerror(errno);
    if (::close(fd) != 0 && ok) {
        m_error = "cannot write " + path + ": " + std::strerror(errno);
        ok = false;
    }
    return ok;
}

bool CAResultWriter::write(const std::string &table, const CASolution &s)
{
    m_error.clear();
    std::string temps[kFileCount];
    bool ok = true;
    for (int f = 0; f < kFileCount && ok; ++f)
        ok = writeFile(table + kSuffixes[f], s, f, temps[f]);
    for (int f = 0; f < kFileCount && ok; ++f) {
        const std::string path = table + kSuffixes[f];
        if (std::rename(temps[f].c_str(), path.c_str()) != 0) {
            m_error = "cannot rename " + temps[f] + " to " + path + ": " + std::strerror(errno);
            ok = false;
        } else {
            temps[f].clear();
        }
    }
    if (ok)
        return true;
    for (const std::string &t : temps)
        if (!t.empty())
            std::remove(t.c_str());
    removeResults(table);
    return false;
}

void CAResultWriter::removeResults(const std::string &table)
{
    for (const char *suffix : kSuffixes)
        std::remove((table + suffix).c_str());
}
