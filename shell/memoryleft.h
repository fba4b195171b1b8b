#ifndef MEMORYLEFT_H
#define MEMORYLEFT_H

#include <QtGlobal>

// The memory this process can still be given without swapping, in bytes:
// what the system has available (MemAvailable of /proc/meminfo), or less
// when the process's own limits leave less (an address-space limit set by
// `ulimit -v` or a batch system, a data limit); -1 when nothing says.
// Opening many windows in a row checks it before each, so that it stops
// while the interface can still say so, not when an allocation fails half
// way through building a window.
qint64 memoryLeft();

#endif // MEMORYLEFT_H
