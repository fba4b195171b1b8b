#include "fuzzsupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace Fuzz {

namespace {

void removeScratch()
{
    const std::string &dir = scratch();
    if (DIR *d = ::opendir(dir.c_str())) {
        while (const dirent *e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
                ::unlink((dir + "/" + e->d_name).c_str());
        ::closedir(d);
    }
    ::rmdir(dir.c_str());
}

} // namespace

const std::string &scratch()
{
    static const std::string dir = [] {
        // Every input is written here before it is read, so the folder is
        // on the hot path: a memory-backed one keeps the disk out of it (on
        // a busy disk the writes cost ten times the reads under test).
        const char *tmp = std::getenv("TMPDIR");
        const char *base = tmp && *tmp ? tmp : ::access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/ortelis-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        return pattern;
    }();
    static const bool registered = [] { return std::atexit(removeScratch) == 0; }();
    (void)registered;
    return dir;
}

std::string put(const std::string &name, const std::string &text)
{
    const std::string path = scratch() + "/" + name;
    // A new file rather than the old one truncated: ext4 flushes a file
    // truncated and written again when it is closed.
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::perror(path.c_str());
        std::abort();
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            std::perror(path.c_str());
            std::abort();
        }
        done += std::size_t(n);
    }
    ::close(fd);
    return path;
}

std::vector<std::string> parts(const std::uint8_t *data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = input.find("%%\n", start);
        if (at == std::string::npos) {
            out.push_back(input.substr(start));
            return out;
        }
        out.push_back(input.substr(start, at - start));
        start = at + 3;
    }
}

void require(bool condition, const char *what)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

} // namespace Fuzz
