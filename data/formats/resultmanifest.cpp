#include "data/formats/resultmanifest.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string hex64(std::uint64_t v)
{
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", (unsigned long long)v);
    return buf;
}

bool parseHex64(const std::string &s, std::uint64_t &v)
{
    if (s.empty() || s.size() > 16)
        return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool parseWhole(const std::string &s, long long &v)
{
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && v >= 0;
}

constexpr std::uint64_t kPrime = 0x100000001b3ULL;

} // namespace

ResultManifest::ResultManifest() : inertia(std::numeric_limits<double>::quiet_NaN()) {}

// FNV-1a over 8-byte little-endian words (one multiply per word rather than
// per byte: result files run to hundreds of megabytes and are digested at
// every load), the bytes of a short tail one by one, then the length mixed
// in by the caller through the tail. Not cryptographic: it tells apart the
// files of two runs, not an attacker's.
std::uint64_t ResultManifest::digestStart()
{
    return 0xcbf29ce484222325ULL;
}

std::uint64_t ResultManifest::digestAdd(std::uint64_t h, const unsigned char *p, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w = 0;
        for (int b = 7; b >= 0; --b)
            w = (w << 8) | p[i + std::size_t(b)];
        h = (h ^ w) * kPrime;
        h ^= h >> 29;
    }
    for (; i < n; ++i)
        h = (h ^ p[i]) * kPrime;
    return h;
}

bool ResultManifest::digestFile(const std::string &path, Entry &entry, std::string &error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "it is not a regular file";
        ::close(fd);
        return false;
    }
    std::vector<unsigned char> buf(std::size_t(1) << 20);
    std::uint64_t h = digestStart(), total = 0;
    for (;;) {
        // Whole blocks of the buffer's size: a multiple of 8 except the last.
        std::size_t got = 0;
        while (got < buf.size()) {
            const ssize_t n = ::read(fd, buf.data() + got, buf.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = std::strerror(errno);
                ::close(fd);
                return false;
            }
            if (n == 0)
                break;
            got += std::size_t(n);
        }
        h = digestAdd(h, buf.data(), got);
        total += got;
        if (got < buf.size())
            break;
    }
    ::close(fd);
    entry.bytes = total;
    entry.digest = h;
    return true;
}

std::string ResultManifest::newRunStamp()
{
    std::random_device device;
    std::uint64_t v = (std::uint64_t(device()) << 32) ^ device();
    v ^= std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) * kPrime;
    v ^= std::uint64_t(::getpid()) << 17;
    return hex64(v);
}

std::string ResultManifest::text() const
{
    std::string t = std::string(kMagic) + " 1\n";
    if (std::isfinite(inertia)) {
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, inertia);
        t += "inertia " + std::string(buf, r.ptr) + "\n";
    }
    t += "run " + run + "\n";
    auto count = [&t](const char *key, long long v) {
        if (v >= 0)
            t += std::string(key) + " " + std::to_string(v) + "\n";
    };
    count("rows", rows);
    count("columns", columns);
    count("axes", axes);
    count("suprows", supRows);
    for (const Entry &e : files)
        t += "file " + e.suffix + " " + std::to_string(e.bytes) + " " + hex64(e.digest) + "\n";
    return t;
}

const ResultManifest::Entry *ResultManifest::entry(const std::string &suffix) const
{
    for (const Entry &e : files)
        if (e.suffix == suffix)
            return &e;
    return nullptr;
}

bool ResultManifest::holdsAxes(const double *lambda, long long n, double *sum) const
{
    double axes = 0;
    for (long long a = 0; a < n; ++a)
        axes += lambda[a];
    if (sum)
        *sum = axes;
    if (!std::isfinite(inertia))
        return true;
    // The same allowance as for a total worked out from the table: the
    // solver's rounding, and a table of no inertia at all.
    return !(axes > inertia * (1 + 1e-6) + 1e-12);
}

bool ResultManifest::parse(const std::string &text, std::string &error)
{
    *this = ResultManifest();
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::istringstream words(line);
        std::string key;
        if (!(words >> key))
            continue;
        auto bad = [&](const char *what) {
            error = "line " + std::to_string(number) + ": " + what;
            return false;
        };
        if (number == 1) {
            if (key != kMagic)
                return bad("it does not start with 'ortelis-results'");
            continue;
        }
        std::string a, b, c;
        words >> a >> b >> c;
        if (key == "inertia") {
            double v = 0;
            auto r = std::from_chars(a.data(), a.data() + a.size(), v);
            if (r.ec != std::errc() || r.ptr != a.data() + a.size() || !std::isfinite(v) || v < 0)
                return bad("the inertia is not a non-negative number");
            inertia = v;
        } else if (key == "run") {
            if (a.empty())
                return bad("the run stamp is missing");
            run = a;
        } else if (key == "rows" || key == "columns" || key == "axes" || key == "suprows") {
            long long v = 0;
            if (!parseWhole(a, v))
                return bad("a count is not a whole number");
            (key == "rows" ? rows : key == "columns" ? columns : key == "axes" ? axes : supRows) = v;
        } else if (key == "file") {
            Entry e;
            long long bytes = 0;
            e.suffix = a;
            if (a.empty() || !parseWhole(b, bytes) || !parseHex64(c, e.digest))
                return bad("a file line is not 'file SUFFIX BYTES DIGEST'");
            e.bytes = std::uint64_t(bytes);
            files.push_back(e);
        }
    }
    if (number == 0) {
        error = "it is empty";
        return false;
    }
    return true;
}
