// Loaded into ortelis-index by the addition tests (LD_PRELOAD), as a slow
// or failing file system would be: watches the renames into a project's
// folder (those inside a staging folder aside) and, at the first whose
// target is named ORTELIS_TEST_KILL_AT (a file name, or a folder name and
// a slash for any file in it), kills the process before it is made; with
// ORTELIS_TEST_SLOW_RENAME (milliseconds) every one waits first.
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

bool named(const char *target, const char *name)
{
    const std::size_t n = std::strlen(name), t = std::strlen(target);
    if (n > 0 && name[n - 1] == '/') {
        // Any file of that folder.
        const char *at = std::strstr(target, name);
        return at && (at == target || at[-1] == '/');
    }
    return t > n && std::strcmp(target + t - n, name) == 0 && target[t - n - 1] == '/';
}

void before(const char *target)
{
    if (!target || std::strstr(target, "/.ortelis-index-"))
        return;
    if (const char *at = std::getenv("ORTELIS_TEST_KILL_AT"))
        if (named(target, at))
            ::kill(::getpid(), SIGKILL);
    if (const char *slow = std::getenv("ORTELIS_TEST_SLOW_RENAME"))
        ::usleep(useconds_t(std::atoi(slow)) * 1000);
}

template <typename F>
F real(const char *name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

int rename(const char *from, const char *to)
{
    before(to);
    static auto next = real<int (*)(const char *, const char *)>("rename");
    return next(from, to);
}

int renameat(int fromDir, const char *from, int toDir, const char *to)
{
    before(to);
    static auto next = real<int (*)(int, const char *, int, const char *)>("renameat");
    return next(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned int flags)
{
    before(to);
    static auto next = real<int (*)(int, const char *, int, const char *, unsigned int)>("renameat2");
    return next(fromDir, from, toDir, to, flags);
}

} // extern "C"
