#include "data/formats/caresultwriter.h"

#include "data/formats/resultmanifest.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>
#include <cctype>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

const char *const CAResultWriter::kSuffixes[kFileCount] = {
    ResultFiles::suffix(ResultFiles::Z), ResultFiles::suffix(ResultFiles::W), ResultFiles::suffix(ResultFiles::P),
    ResultFiles::suffix(ResultFiles::Q), ResultFiles::suffix(ResultFiles::Lambda)};

namespace {

void appendNumber(std::string &text, double v)
{
    // Never "-0".
    if (v == 0)
        v = 0;
    char tmp[32];
    auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
    text.append(tmp, r.ptr);
}

// Output through a fixed buffer straight to a file descriptor, so that the
// text of a large result is never held in memory whole.
class FdSink
{
public:
    explicit FdSink(int fd) : m_fd(fd) { m_buf.reserve(kSize + 64); }

    std::string &text() { return m_buf; }
    void maybeFlush()
    {
        if (m_buf.size() >= kSize)
            flush();
    }

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

// Rows a few at a time, so the buffer stays near its size.
void matrixText(FdSink &out, std::size_t rows, int cols, const double *values)
{
    CAResultWriter::appendMatrixHeader(out.text(), rows, cols);
    const std::size_t step = std::size_t(4096 / (cols > 0 ? cols : 1) + 1);
    for (std::size_t i = 0; i < rows; i += step) {
        const std::size_t n = std::min(step, rows - i);
        CAResultWriter::appendMatrixRows(out.text(), values + i * std::size_t(cols), n, cols);
        out.maybeFlush();
    }
}

void vectorText(FdSink &out, std::size_t count, const double *values)
{
    CAResultWriter::appendVectorHeader(out.text(), count);
    for (std::size_t i = 0; i < count; i += 4096) {
        CAResultWriter::appendVectorValues(out.text(), values + i, std::min<std::size_t>(4096, count - i));
        out.maybeFlush();
    }
}

// Flushes what is left and closes; a failure of either is the file's error.
bool closeTemporary(FdSink &out, int fd, const std::string &path, std::string &error)
{
    bool ok = out.flush();
    if (::close(fd) != 0 && ok)
        ok = false;
    if (!ok)
        error = "cannot write " + path + ": " + std::strerror(errno);
    return ok;
}

} // namespace

void CAResultWriter::appendMatrixHeader(std::string &text, std::size_t rows, int cols)
{
    text += std::to_string(rows);
    text += ' ';
    text += std::to_string(cols);
    text += '\n';
}

void CAResultWriter::appendMatrixRows(std::string &text, const double *values, std::size_t rows, int cols)
{
    for (std::size_t i = 0; i < rows; ++i) {
        for (int a = 0; a < cols; ++a) {
            if (a)
                text += ' ';
            appendNumber(text, values[i * std::size_t(cols) + std::size_t(a)]);
        }
        text += '\n';
    }
}

void CAResultWriter::appendVectorHeader(std::string &text, std::size_t n)
{
    text += std::to_string(n);
    text += '\n';
}

void CAResultWriter::appendVectorValues(std::string &text, const double *values, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        appendNumber(text, values[i]);
        text += '\n';
    }
}

int CAResultWriter::createTemporary(const std::string &path, std::string &tempPath)
{
    std::string name = path + ".XXXXXX";
    int fd = ::mkstemp(name.data());
    if (fd < 0) {
        m_error = "cannot create a file beside " + path + ": " + std::strerror(errno);
        return -1;
    }
    tempPath = name;
    // Locked until the file has its final name (commit): a later run of the
    // same table removes only temporaries nobody holds, those of a run that
    // was killed (removeStaleTemporaries).
    const int lock = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (lock >= 0) {
        ::flock(lock, LOCK_EX | LOCK_NB);
        m_locks.push_back(lock);
    }
    // mkstemp creates the file private; give it the permissions of a plain new file.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    return fd;
}

bool CAResultWriter::writeFile(const std::string &path, const CAResultArrays &a, ResultFiles::Kind kind,
                               std::string &tempPath)
{
    const int fd = createTemporary(path, tempPath);
    if (fd < 0)
        return false;

    FdSink out(fd);
    switch (kind) {
    case ResultFiles::Z: matrixText(out, a.rows, a.zCols, a.Z); break;
    case ResultFiles::W: matrixText(out, a.cols, a.wCols, a.W); break;
    case ResultFiles::P: vectorText(out, a.rows, a.P); break;
    case ResultFiles::Q: vectorText(out, a.cols, a.Q); break;
    case ResultFiles::ZSup: matrixText(out, a.supRows, a.zCols, a.ZSup); break;
    default: vectorText(out, a.lambdaCount, a.lambda); break;
    }
    return closeTemporary(out, fd, path, m_error);
}

bool CAResultWriter::write(const std::string &table, const CAResultArrays &a)
{
    m_error.clear();
    Temporaries temps;
    bool ok = true;
    for (int f = 0; f < ResultFiles::KindCount && ok; ++f) {
        const auto kind = ResultFiles::Kind(f);
        if (kind == ResultFiles::Inertia || (kind == ResultFiles::ZSup && !a.ZSup))
            continue;
        ok = writeFile(ResultFiles::path(table, kind), a, kind, temps[f]);
    }
    return commit(table, temps, a, ok);
}

bool CAResultWriter::writeManifest(const std::string &table, Temporaries &temps, const CAResultArrays &a)
{
    ResultManifest m;
    m.inertia = a.totalInertia;
    m.run = ResultManifest::newRunStamp();
    m.rows = (long long)a.rows;
    m.columns = (long long)a.cols;
    m.axes = a.zCols;
    if (a.ZSup)
        m.supRows = (long long)a.supRows;
    for (int f = 0; f < ResultFiles::KindCount; ++f) {
        if (temps[f].empty() || f == ResultFiles::Inertia)
            continue;
        ResultManifest::Entry e;
        e.suffix = ResultFiles::suffix(ResultFiles::Kind(f));
        std::string why;
        if (!ResultManifest::digestFile(temps[f], e, why)) {
            m_error = "cannot read back " + temps[f] + ": " + why;
            return false;
        }
        m.files.push_back(e);
    }
    const std::string path = ResultFiles::path(table, ResultFiles::Inertia);
    const int fd = createTemporary(path, temps[ResultFiles::Inertia]);
    if (fd < 0)
        return false;
    FdSink out(fd);
    out.text() = m.text();
    return closeTemporary(out, fd, path, m_error);
}

bool CAResultWriter::commit(const std::string &table, Temporaries &temps, const CAResultArrays &a, bool ok)
{
    if (ok)
        ok = writeManifest(table, temps, a);
    // The manifest first: from then on the files it lists either all match
    // it or the set shows as mixed.
    static const ResultFiles::Kind order[] = {ResultFiles::Inertia, ResultFiles::Z, ResultFiles::W,
                                              ResultFiles::P, ResultFiles::Q, ResultFiles::Lambda,
                                              ResultFiles::ZSup};
    for (ResultFiles::Kind f : order) {
        if (!ok)
            break;
        const std::string path = ResultFiles::path(table, f);
        if (temps[f].empty()) {
            // A file of an earlier set that this one does not have.
            std::remove(path.c_str());
            continue;
        }
        if (std::rename(temps[f].c_str(), path.c_str()) != 0) {
            m_error = "cannot rename " + temps[f] + " to " + path + ": " + std::strerror(errno);
            ok = false;
        } else {
            temps[f].clear();
        }
    }
    if (!ok) {
        for (const std::string &t : temps)
            if (!t.empty())
                std::remove(t.c_str());
        removeResults(table);
    }
    releaseLocks();
    return ok;
}

CAResultWriter::~CAResultWriter()
{
    releaseLocks();
}

void CAResultWriter::releaseLocks()
{
    for (int fd : m_locks)
        ::close(fd);
    m_locks.clear();
}

void CAResultWriter::removeResults(const std::string &table)
{
    // The manifest first: while the others go, what is left reads as an
    // older set without one, never as a set its manifest vouches for.
    std::remove(ResultFiles::path(table, ResultFiles::Inertia).c_str());
    for (int f = 0; f < ResultFiles::KindCount; ++f)
        std::remove(ResultFiles::path(table, ResultFiles::Kind(f)).c_str());
}

bool CAResultWriter::isTemporaryOf(const std::string &table, const std::string &name)
{
    const std::size_t slash = table.rfind('/');
    const std::string base = slash == std::string::npos ? table : table.substr(slash + 1);
    for (int f = 0; f < ResultFiles::KindCount; ++f) {
        const std::string prefix = base + ResultFiles::suffix(ResultFiles::Kind(f)) + ".";
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        // mkstemp fills the six places with letters and digits.
        bool random = true;
        for (std::size_t i = prefix.size(); i < name.size(); ++i)
            random = random && std::isalnum(static_cast<unsigned char>(name[i]));
        if (random)
            return true;
    }
    return false;
}

int CAResultWriter::removeStaleTemporaries(const std::string &table)
{
    const std::size_t slash = table.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : table.substr(0, slash);
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!isTemporaryOf(table, name))
            continue;
        const std::string path = folder + "/" + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
        if (fd < 0)
            continue;
        struct stat st;
        // A run that is still writing holds its lock: its files stay.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::unlink(path.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}
