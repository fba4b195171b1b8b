// The number scanner, reading a file block by block (the smallest block, so
// inputs cross many refills) and the same text from memory: every call must
// give the same answer both ways, and never read outside its buffer.
#include "data/formats/numberscanner.h"
#include "fuzzsupport.h"

#include <cmath>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte seeds the sequence of calls; the rest is the text.
    unsigned state = data[0];
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::string path = Fuzz::put("numbers.txt", text);

    NumberScanner file(0); // the smallest block the scanner allows
    NumberScanner memory;
    Fuzz::require(file.open(path), "a regular file opens");
    memory.openText(text);
    Fuzz::require(file.size() == memory.size(), "same size");

    double a[64], b[64];
    for (int step = 0; step < 100000; ++step) {
        state = state * 1103515245u + 12345u;
        const unsigned op = (state >> 16) % 5;
        NumberScanner::Result ra = NumberScanner::Ok, rb = NumberScanner::Ok;
        if (op == 0) {
            long long va = 0, vb = 0;
            ra = file.nextInt(va);
            rb = memory.nextInt(vb);
            Fuzz::require(ra == rb, "nextInt: same result");
            Fuzz::require(ra != NumberScanner::Ok || va == vb, "nextInt: same value");
        } else if (op == 1) {
            double va = 0, vb = 0;
            ra = file.nextDouble(va);
            rb = memory.nextDouble(vb);
            Fuzz::require(ra == rb, "nextDouble: same result");
            Fuzz::require(ra != NumberScanner::Ok || std::memcmp(&va, &vb, sizeof va) == 0,
                          "nextDouble: same value");
        } else if (op == 2) {
            const std::size_t n = (state >> 8) % 64;
            const std::size_t ga = file.readDoubles(a, n, ra);
            const std::size_t gb = memory.readDoubles(b, n, rb);
            Fuzz::require(ga == gb && ra == rb, "readDoubles: same count and result");
            Fuzz::require(std::memcmp(a, b, ga * sizeof(double)) == 0, "readDoubles: same values");
        } else if (op == 3) {
            Fuzz::require(file.atEnd() == memory.atEnd(), "atEnd agrees");
        } else {
            Fuzz::require(file.maxRemainingValues() == memory.maxRemainingValues(),
                          "maxRemainingValues agrees");
        }
        if (ra == NumberScanner::Bad || rb == NumberScanner::Bad)
            Fuzz::require(file.badToken() == memory.badToken(), "same bad token");
        Fuzz::require(file.consumed() <= file.size(), "consumed within the file");
        Fuzz::require(file.consumed() == memory.consumed() || ra == NumberScanner::Bad,
                      "same position");
        if (ra == NumberScanner::End && rb == NumberScanner::End)
            break;
        if (ra == NumberScanner::Bad)
            break; // a bad token is not consumed: every later call stops on it
    }
    return 0;
}
