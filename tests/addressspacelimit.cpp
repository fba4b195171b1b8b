#include "tests/addressspacelimit.h"

#include <cstdio>
#include <new>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace AddressSpaceLimit {

int run(long long bytes, const std::function<int()> &body)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        rlimit limit{rlim_t(bytes), rlim_t(bytes)};
        if (::setrlimit(RLIMIT_AS, &limit) != 0)
            ::_exit(125);
        int status = 124;
        try {
            status = body();
        } catch (const std::bad_alloc &) {
            status = 123;
        }
        std::fflush(nullptr);
        ::_exit(status);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

} // namespace AddressSpaceLimit
