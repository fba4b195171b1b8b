#ifndef MEMORYLEFT_H
#define MEMORYLEFT_H

#include <QtGlobal>

// The memory the system can still give this process without swapping, in
// bytes (MemAvailable of /proc/meminfo); -1 when the system does not say.
// Opening many windows in a row checks it before each, so that it stops
// while the interface can still say so, not when an allocation fails half
// way through building a window.
qint64 memoryLeft();

#endif // MEMORYLEFT_H
