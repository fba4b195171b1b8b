#include "tools/indexoptionsrecord.h"

#include "tools/indexcommandline.h"

#include "data/formats/regularfile.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>

namespace {

const char header[] = "# ortelis-index options 1: how this index's images were described.\n"
                      "# ortelis-index --add-to describes added images with them; keep it.\n";

QByteArray countsName(TableCounts counts)
{
    switch (counts) {
    case TableCounts::Raw: return "raw";
    case TableCounts::Presence: return "presence";
    case TableCounts::Sqrt: break;
    }
    return "sqrt";
}

// The largest record read: a few dozen short lines.
constexpr qint64 kMaxBytes = 64 * 1024;

// Every option with a value that shapes an image's row: a record without
// one of them would leave it at today's default, which need not be what
// the index was made with. (--rootsift is a switch: its absence says it
// was off.)
const char *const describing[] = {"words",       "max-keypoints", "max-side",     "work-side",
                                  "max-megapixels", "grid",        "grid-scales",  "colour-words",
                                  "colour-layout", "soft-words",   "search-checks", "counts"};

} // namespace

QByteArray IndexOptionsRecord::text(const IndexOptions &o, const FeatureOptions &f, int greyWords,
                                    int colourWords)
{
    QByteArray t = header;
    auto line = [&t](const char *name, qint64 value) {
        t += QByteArray("--") + name + ' ' + QByteArray::number(value) + '\n';
    };
    line("words", greyWords);
    line("max-keypoints", f.maxKeypoints);
    line("max-side", f.limits.maxSide);
    line("work-side", f.workSide);
    line("max-megapixels", o.maxMegapixels);
    line("grid", f.gridStep);
    line("grid-scales", f.gridScales);
    line("colour-words", f.colour ? colourWords : 0);
    line("colour-layout", f.colourLayout);
    line("soft-words", o.softWords);
    line("search-checks", o.searchChecks);
    t += "--counts " + countsName(o.counts) + '\n';
    if (f.rootSift)
        t += "--rootsift\n";
    return t;
}

bool IndexOptionsRecord::read(const QString &path, IndexOptions &options, QString *error)
{
    QFile file(path);
    QString why;
    if (!RegularFile::open(file, &why)) {
        *error = QStringLiteral("cannot open '%1': %2").arg(path, why);
        return false;
    }
    const QByteArray bytes = file.read(kMaxBytes + 1);
    if (bytes.size() > kMaxBytes) {
        *error = QStringLiteral("'%1' is larger than any record of indexing options").arg(path);
        return false;
    }
    QStringList arguments = {QStringLiteral("ortelis-index")};
    QHash<QString, int> named; // option -> the line naming it
    QString twice;
    const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (!line.startsWith(QLatin1String("--"))) {
            *error = QStringLiteral("%1:%2: expected an option such as \"--grid 16\", found \"%3\"")
                         .arg(path).arg(i + 1).arg(line);
            return false;
        }
        const QStringList words = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        for (const QString &word : words) {
            if (!word.startsWith(QLatin1String("--")))
                continue;
            const QString option = word.mid(2).section(QLatin1Char('='), 0, 0);
            if (named.contains(option) && twice.isEmpty())
                twice = QStringLiteral("%1:%2: --%3 is named a second time (first on line %4)")
                            .arg(path).arg(i + 1).arg(option).arg(named.value(option));
            named.insert(option, i + 1);
        }
        arguments << words;
    }
    // The command line wants an input and an output; the record names
    // neither, so two stand-ins complete it.
    arguments << QStringLiteral("IMAGES") << QStringLiteral("OUTPUT");
    IndexOptions read = options;
    QString message;
    if (IndexCommandLine::parse(arguments, read, message) != IndexCommandLine::Run) {
        *error = QStringLiteral("%1: %2").arg(path, message);
        return false;
    }
    if (!read.addTo.isEmpty() || !read.passive.isEmpty() || read.solve || !read.vocabulary.isEmpty()) {
        *error = QStringLiteral("%1: only options that describe images belong in it").arg(path);
        return false;
    }
    // Which of two values was meant cannot be told.
    if (!twice.isEmpty()) {
        *error = twice;
        return false;
    }
    QStringList missing;
    for (const char *option : describing)
        if (!named.contains(QLatin1String(option)))
            missing << QStringLiteral("--") + QLatin1String(option);
    if (!missing.isEmpty()) {
        *error = QStringLiteral("%1: it does not name %2; every option that describes images must be in it, "
                                "or added images would be described with today's defaults instead of the "
                                "index's own")
                     .arg(path, missing.join(QStringLiteral(", ")));
        return false;
    }
    read.input = options.input;
    read.output = options.output;
    read.jobs = options.jobs;
    read.quiet = options.quiet;
    read.vocabulary = options.vocabulary;
    read.addTo = options.addTo;
    options = read;
    return true;
}
