#include "solver/caresultwriter.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

const char *const CAResultWriter::kSuffixes[kFileCount] = {"_Z.txt", "_W.txt", "_P.txt", "_Q.txt",
                                                           "_Lambda.txt"};

namespace {

// Shortest text that reads back as the same double; never "-0".
void appendNumber(std::string &text, double v)
{
    char buf[32];
    if (v == 0)
        v = 0;
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    text.append(buf, r.ptr);
}

std::string matrixText(int rows, int cols, const std::vector<double> &values)
{
    std::string text = std::to_string(rows) + " " + std::to_string(cols) + "\n";
    text.reserve(text.size() + values.size() * 24);
    for (int i = 0; i < rows; ++i) {
        for (int a = 0; a < cols; ++a) {
            if (a)
                text += ' ';
            appendNumber(text, values[std::size_t(i) * cols + a]);
        }
        text += '\n';
    }
    return text;
}

std::string vectorText(const std::vector<double> &values)
{
    std::string text = std::to_string(values.size()) + "\n";
    text.reserve(text.size() + values.size() * 24);
    for (double v : values) {
        appendNumber(text, v);
        text += '\n';
    }
    return text;
}

} // namespace

bool CAResultWriter::writeFile(const std::string &path, const std::string &text, std::string &tempPath)
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

    const char *p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = "cannot write " + path + ": " + std::strerror(n < 0 ? errno : ENOSPC);
            ::close(fd);
            return false;
        }
        p += n;
        left -= std::size_t(n);
    }
    if (::close(fd) != 0) {
        m_error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool CAResultWriter::write(const std::string &table, const CASolution &s)
{
    m_error.clear();
    const std::string texts[kFileCount] = {
        matrixText(s.rows, s.axes, s.Z), matrixText(s.cols, s.axes, s.W), vectorText(s.P), vectorText(s.Q),
        vectorText(s.lambda)};

    std::string temps[kFileCount];
    bool ok = true;
    for (int f = 0; f < kFileCount && ok; ++f)
        ok = writeFile(table + kSuffixes[f], texts[f], temps[f]);
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
