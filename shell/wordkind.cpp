#include "shell/wordkind.h"

#include "data/model/cadata.h"
#include "data/formats/regularfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>

namespace {

// A record is a few dozen short lines; anything far larger is not one.
constexpr qint64 kMaxRecord = 64 * 1024;

} // namespace

WordKind::Counts WordKind::parse(const QByteArray &record)
{
    Counts c;
    int words = -1, colours = -1;
    for (const QByteArray &raw : record.split('\n')) {
        const QList<QByteArray> parts = raw.simplified().split(' ');
        if (parts.size() != 2)
            continue;
        bool ok = false;
        const int value = parts.at(1).toInt(&ok);
        if (!ok || value < 0)
            continue;
        if (parts.at(0) == "--words")
            words = value;
        else if (parts.at(0) == "--colour-words")
            colours = value;
    }
    if (words >= 0) {
        c.shapeWords = words;
        c.colourWords = std::max(0, colours);
    }
    return c;
}

WordKind::Counts WordKind::of(const CAData &data)
{
    if (data.baseDir.isEmpty())
        return {};
    QFile file(QDir(data.baseDir).filePath(QLatin1String(RecordName)));
    QString why;
    if (!file.exists() || !RegularFile::open(file, &why))
        return {};
    const QByteArray bytes = file.read(kMaxRecord + 1);
    if (bytes.size() > kMaxRecord)
        return {};
    return parse(bytes);
}

WordKind::Kind WordKind::kind(const Counts &counts, int label)
{
    if (counts.shapeWords < 0 || label < 0)
        return Unknown;
    if (label < counts.shapeWords)
        return Shape;
    if (label < counts.shapeWords + counts.colourWords)
        return Colour;
    return Unknown;
}

QString WordKind::name(const Counts &counts, int label)
{
    switch (kind(counts, label)) {
    case Shape:
        return QCoreApplication::translate("WordKind", "Shape word #%1").arg(label);
    case Colour:
        return QCoreApplication::translate("WordKind", "Colour word #%1").arg(label);
    case Unknown:
        break;
    }
    return QCoreApplication::translate("WordKind", "Word #%1").arg(label);
}
