#include "data/formats/numberscanner.h"

#include "data/formats/regularfile.h"

#include <fast_float/fast_float.h>

#include <algorithm>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Longest token we accept. A block always holds at least this many bytes past
// the read position (or the end of input), so a token never straddles a refill.
constexpr std::size_t kMaxToken = 512;

inline bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// A leading '+' is allowed before a number but not before another sign.
inline const char *skipPlus(const char *p, const char *e)
{
    if (*p == '+' && p + 1 < e && p[1] != '-' && p[1] != '+')
        return p + 1;
    return p;
}

} // namespace

NumberScanner::NumberScanner(std::size_t blockSize)
    : m_block(blockSize < 4 * kMaxToken ? 4 * kMaxToken : blockSize)
{
}

NumberScanner::~NumberScanner()
{
    close();
}

bool NumberScanner::open(const std::string &path)
{
    close();
    int fd = RegularFile::open(path, m_openError);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int saved = errno;
        m_openError = std::strerror(saved);
        ::close(fd);
        errno = saved;
        return false;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    m_fd = fd;
    m_size = std::uint64_t(st.st_size);
    // A small file gets a block of its own size, not a whole block: a
    // header-only file costs a few kilobytes. Never below 4 tokens, so a
    // file that grows while it is read is still read right.
    m_buf.resize(std::size_t(std::min<std::uint64_t>(m_block, std::max<std::uint64_t>(4 * kMaxToken, m_size + 1))));
    return true;
}

bool NumberScanner::openRange(const std::string &path, std::uint64_t begin, std::uint64_t end)
{
    if (!open(path))
        return false;
    if (end > m_size)
        end = m_size;
    if (begin > end)
        begin = end;
    if (::lseek(m_fd, off_t(begin), SEEK_SET) < 0) {
        const int saved = errno;
        close();
        errno = saved;
        return false;
    }
    m_size = end - begin;
    m_unread = m_size;
    return true;
}

void NumberScanner::openText(std::string text)
{
    close();
    m_memory = true;
    m_eof = true;
    m_size = text.size();
    m_buf.assign(text.begin(), text.end());
    m_end = m_buf.size();
}

void NumberScanner::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_memory = false;
    m_eof = false;
    m_pos = m_end = 0;
    m_consumed = 0;
    m_size = 0;
    m_unread = UINT64_MAX;
    m_badToken.clear();
    m_openError.clear();
    std::vector<char>().swap(m_buf);
}

// Moves the unread tail to the front and reads until the block is full or the
// file ends. Returns false when nothing more could be added.
bool NumberScanner::fill()
{
    if (m_eof || m_fd < 0)
        return false;
    if (m_pos > 0) {
        std::memmove(m_buf.data(), m_buf.data() + m_pos, m_end - m_pos);
        m_consumed += m_pos;
        m_end -= m_pos;
        m_pos = 0;
    }
    bool added = false;
    while (m_end < m_buf.size()) {
        std::size_t want = m_buf.size() - m_end;
        if (want > m_unread)
            want = std::size_t(m_unread);
        if (want == 0) {
            m_eof = true;
            break;
        }
        ssize_t n = ::read(m_fd, m_buf.data() + m_end, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_eof = true; // a read error ends the input like end of file
            break;
        }
        m_end += std::size_t(n);
        if (m_unread != UINT64_MAX)
            m_unread -= std::uint64_t(n);
        added = true;
    }
    return added;
}

bool NumberScanner::skipSpace()
{
    for (;;) {
        while (m_pos < m_end && isSpace(m_buf[m_pos]))
            ++m_pos;
        if (m_pos < m_end) {
            if (m_end - m_pos < kMaxToken && !m_eof)
                fill();
            return true;
        }
        if (!fill())
            return false;
    }
}

const char *NumberScanner::tokenEnd(const char *p) const
{
    const char *e = m_buf.data() + m_end;
    while (p < e && !isSpace(*p))
        ++p;
    return p;
}

namespace {

// The name of the invisible UTF-8 character starting at p, or null.
const char *invisibleAt(const char *p, const char *end)
{
    const auto at = [&](std::size_t k) { return p + k < end ? static_cast<unsigned char>(p[k]) : 0; };
    if (at(0) == 0xef && at(1) == 0xbb && at(2) == 0xbf)
        return "U+FEFF";
    if (at(0) == 0xc2 && at(1) == 0xa0)
        return "U+00A0";
    if (at(0) == 0xe2 && at(1) == 0x80) {
        switch (at(2)) {
        case 0x8b: return "U+200B";
        case 0x8c: return "U+200C";
        case 0x8d: return "U+200D";
        case 0xaf: return "U+202F";
        default: break;
        }
    }
    if (at(0) == 0xe2 && at(1) == 0x81 && at(2) == 0xa0)
        return "U+2060";
    return nullptr;
}

} // namespace

NumberScanner::Result NumberScanner::badAt(const char *p, const char *e)
{
    (void)e;
    // Quoted in messages: at most 40 bytes, control bytes (a NUL-filled
    // file, binary data) shown as \xNN so the line stays readable.
    const char *t = tokenEnd(p);
    const std::size_t len = std::size_t(t - p);
    m_badToken.clear();
    for (std::size_t i = 0; i < len && i < 40; ++i) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        // Characters that print as nothing (a byte-order mark, zero-width
        // spaces, a no-break space) are named, or the quote would look
        // like a good number.
        if (const char *name = invisibleAt(p + i, p + len)) {
            m_badToken += name;
            i += c == 0xc2 ? 1 : 2;
            continue;
        }
        if (c < 0x20 || c == 0x7f) {
            static const char hex[] = "0123456789abcdef";
            m_badToken += "\\x";
            m_badToken += hex[c >> 4];
            m_badToken += hex[c & 15];
        } else {
            m_badToken += char(c);
        }
    }
    if (len > 40)
        m_badToken += "...";
    return Bad;
}

// The number parsed from p to end is the whole token, and no longer than
// kMaxToken: a longer one is refused whether it is read from a file (where
// it could straddle a refill) or from memory, so both give the same answer.
bool NumberScanner::tokenComplete(const char *p, const char *end, const char *e) const
{
    if (std::size_t(end - p) >= kMaxToken)
        return false;
    if (end < e)
        return isSpace(*end);
    return m_eof;
}

NumberScanner::Result NumberScanner::nextInt(long long &value)
{
    if (!skipSpace())
        return End;
    const char *p = m_buf.data() + m_pos;
    const char *e = m_buf.data() + m_end;
    const char *s = skipPlus(p, e);
    auto r = std::from_chars(s, e, value);
    if (r.ec != std::errc() || !tokenComplete(p, r.ptr, e))
        return badAt(p, e);
    m_pos = std::size_t(r.ptr - m_buf.data());
    return Ok;
}

NumberScanner::Result NumberScanner::nextDouble(double &value)
{
    if (!skipSpace())
        return End;
    const char *p = m_buf.data() + m_pos;
    const char *e = m_buf.data() + m_end;
    const char *s = skipPlus(p, e);
    auto r = fast_float::from_chars(s, e, value);
    if (r.ec != std::errc() || !tokenComplete(p, r.ptr, e))
        return badAt(p, e);
    m_pos = std::size_t(r.ptr - m_buf.data());
    return Ok;
}

std::size_t NumberScanner::readDoubles(double *out, std::size_t n, Result &result)
{
    std::size_t i = 0;
    for (; i < n; ++i) {
        result = nextDouble(out[i]);
        if (result != Ok)
            return i;
    }
    result = Ok;
    return i;
}

bool NumberScanner::atEnd()
{
    return !skipSpace();
}

std::uint64_t NumberScanner::maxRemainingValues() const
{
    std::uint64_t left = m_size > consumed() ? m_size - consumed() : 0;
    return (left + 1) / 2;
}
