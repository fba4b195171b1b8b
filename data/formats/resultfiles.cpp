#include "data/formats/resultfiles.h"

namespace {

const char *const kSuffixes[ResultFiles::KindCount] = {"_Z.txt", "_W.txt", "_P.txt", "_Q.txt",
                                                       "_Lambda.txt", "_Inertia.txt", "_ZSup.txt"};
const char *const kKeys[ResultFiles::KindCount] = {"Z", "W", "P", "Q", "LAMBDA", "INERTIA", "ZSUP"};

} // namespace

const char *ResultFiles::suffix(Kind kind)
{
    return kSuffixes[kind];
}

const char *ResultFiles::projectKey(Kind kind)
{
    return kKeys[kind];
}

ResultFiles::Kind ResultFiles::kindOf(const std::string &name)
{
    for (int k = 0; k < KindCount; ++k) {
        const std::string s = kSuffixes[k];
        if (name.size() >= s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0)
            return Kind(k);
    }
    return KindCount;
}
