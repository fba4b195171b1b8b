#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

// Shared by the fuzz targets: a private scratch folder for the files a
// reader must find on disk, and the split of one input into several files.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Fuzz {

// A folder of this process, made on first use and removed at exit.
const std::string &scratch();

// Writes `text` to scratch()/name and returns the full path.
std::string put(const std::string &name, const std::string &text);

// The input cut at every "%%" line: the parts of a multi-file input.
std::vector<std::string> parts(const std::uint8_t *data, std::size_t size);

// Stops the process as a finding when `condition` is false.
void require(bool condition, const char *what);

} // namespace Fuzz

#endif // FUZZSUPPORT_H
