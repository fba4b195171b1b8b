// Word identities read from a file: what lets a saved extracted analysis keep
// the vocabulary numbers of the project it was extracted from (keypoint
// colours and filters go by these numbers). Its images' numbers in the whole
// collection are kept the same way.
#include "data/model/cadata.h"

#include "data/model/console.h"
#include "data/formats/numberscanner.h"

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

void CAData::readCollectionNumbers()
{
    collectionNumbers.clear();
    fileCollection = resolve(fileCollection);
    const QString &path = fileCollection;
    auto refuse = [&path](const QString &why) {
        Console::err(QStringLiteral("Error: %1: %2; the images are numbered as the rows of this analysis.")
                         .arg(path, why));
    };
    NumberScanner in;
    if (!in.open(QFile::encodeName(path).toStdString()))
        return refuse(QStringLiteral("cannot be opened (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
    long long count = 0;
    if (in.nextInt(count) != NumberScanner::Ok)
        return refuse(QStringLiteral("the image count is not a whole number"));
    if (count != nbImages)
        return refuse(QStringLiteral("%1 collection numbers for %2 images").arg(count).arg(nbImages));
    std::vector<qint32> numbers(static_cast<std::size_t>(count));
    for (long long i = 0; i < count; ++i) {
        long long v = 0;
        const NumberScanner::Result r = in.nextInt(v);
        if (r == NumberScanner::End)
            return refuse(QStringLiteral("the file ends after %1 of %2 numbers").arg(i).arg(count));
        if (r != NumberScanner::Ok || v < 0 || v > INT_MAX)
            return refuse(QStringLiteral("number %1 is not a whole number from 0 to %2").arg(i + 1).arg(INT_MAX));
        numbers[std::size_t(i)] = qint32(v);
    }
    collectionNumbers = std::move(numbers);
}
