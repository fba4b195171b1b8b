// Word identities read from a file: what lets a saved extracted analysis keep
// the vocabulary numbers of the project it was extracted from (keypoint
// colours and filters go by these numbers).
#include "data/cadata.h"

#include "data/console.h"
#include "data/numberscanner.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

bool CAData::readWordLabels()
{
    fileWordLabel = resolve(fileWordLabel);
    const QString &path = fileWordLabel;
    NumberScanner in;
    if (!in.open(QFile::encodeName(path).toStdString())) {
        Console::err(QStringLiteral("Error: cannot open the word list '%1': %2.")
                         .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    auto next = [&](long long &v, const char *what) {
        const NumberScanner::Result r = in.nextInt(v);
        if (r == NumberScanner::Ok && v >= 0 && v <= INT_MAX)
            return true;
        if (r == NumberScanner::End)
            Console::err(QStringLiteral("Error: %1: the file ends before its %2.").arg(path, what));
        else
            Console::err(QStringLiteral("Error: %1: the %2 is not a whole number from 0 to %3.")
                             .arg(path, what).arg(INT_MAX));
        return false;
    };
    long long count = 0;
    if (!next(count, "word count"))
        return false;
    if (count != nbWords) {
        Console::err(QStringLiteral("Error: %1: %2 word identities for %3 words.")
                         .arg(path).arg(count).arg(nbWords));
        return false;
    }
    std::vector<int> values(static_cast<std::size_t>(count));
    for (long long j = 0; j < count; ++j) {
        long long v = 0;
        if (!next(v, "word identity"))
            return false;
        values[std::size_t(j)] = int(v);
    }
    setWordLabel(int(count), values.data());
    return true;
}
