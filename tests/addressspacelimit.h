#ifndef ADDRESSSPACELIMIT_H
#define ADDRESSSPACELIMIT_H

#include <functional>

// Runs `body` in a child process whose address space is limited to `bytes`
// (RLIMIT_AS), as `ulimit -v` or prlimit would: a buffer reserved up front
// fails there even when the machine has the memory. Returns the child's
// exit status (body's return value), 128 + the signal that ended it, or -1
// when it could not be started. The child never returns into the test.
namespace AddressSpaceLimit {

int run(long long bytes, const std::function<int()> &body);

} // namespace AddressSpaceLimit

#endif // ADDRESSSPACELIMIT_H
