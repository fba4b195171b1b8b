#ifndef REGULARFILE_H
#define REGULARFILE_H

#include <string>

#include <sys/types.h>

class QFile;
class QString;

// Every reader of the viewer and the solver opens its input through here.
// The open never blocks (a FIFO without a writer would hang an ordinary
// open, and with it the whole user interface), and anything that is not a
// regular file is refused: a FIFO, a device such as /dev/zero or a folder
// has no size to check a header against and may never end.
namespace RegularFile {

// A descriptor open for reading, or -1 with `why` saying what the path is
// or why it could not be opened ("No such file or directory", "a FIFO, not
// a regular file").
int open(const std::string &path, std::string &why);

// The same for a QFile (opened read-only, in binary mode); the file is left
// closed and `why` set on failure.
bool open(QFile &file, QString *why);

// Whether `path` names a regular file (or a link to one), without opening
// it: for readers that open by name themselves (image decoders).
bool isRegular(const QString &path);

// What `path` is when it exists and is not a regular file (or a link to
// one): "a FIFO", "a character device", ...; empty otherwise. Writers check
// it before replacing a file, so that a device or a FIFO is never renamed
// over.
QString kindOf(const QString &path);
// The same from a stat() mode.
const char *kindOfMode(mode_t mode);

} // namespace RegularFile

#endif // REGULARFILE_H
