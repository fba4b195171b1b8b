#include "tools/indexcommandline.h"

#include <QCommandLineParser>

#include <algorithm>
#include <climits>

namespace {

bool readInt(const QCommandLineParser &parser, const QString &name, int minimum, int &value,
             QString &message)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int v = parser.value(name).toInt(&ok);
    if (!ok || v < minimum) {
        message = QStringLiteral("--%1 expects a whole number of at least %2, not \"%3\"")
                      .arg(name).arg(minimum).arg(parser.value(name));
        return false;
    }
    value = v;
    return true;
}

} // namespace

QString IndexCommandLine::usage()
{
    return QStringLiteral(
        "Usage: ortelis-index [options] IMAGE_FOLDER OUTPUT_FOLDER\n"
        "\n"
        "Indexes a collection of images for Ortelis: SIFT keypoints, a visual vocabulary,\n"
        "one keypoint file per image, the image list and the images x words table, and\n"
        "OUTPUT_FOLDER/project.xml to open in the viewer.\n"
        "\n"
        "IMAGE_FOLDER holds the images; each sub-folder is a category (1, 2, ... in name\n"
        "order), images directly in it get category 0. It may instead be a text file of\n"
        "\"category path\" lines (paths relative to that file).\n"
        "\n"
        "Options:\n"
        "  --words N          vocabulary size (default 1000)\n"
        "  --max-keypoints N  strongest keypoints kept per image (default 500)\n"
        "  --seed N           seed of the vocabulary's k-means (default 1)\n"
        "  --axes N           number of axes written into the project (default 10)\n"
        "  --vocabulary FILE  reuse this vocabulary instead of building one\n"
        "  --sample N         descriptors sampled for k-means (default 25 per word)\n"
        "  --max-side N       scale larger images down to N pixels a side first\n"
        "                     (default 1024; 0 keeps full size)\n"
        "  --work-side N      then bring every image to N pixels on its longer side,\n"
        "                     enlarging small ones (default 512; 0 keeps the size read)\n"
        "  --max-megapixels N refuse larger images without decoding them (default 1000)\n"
        "  --grid N           also describe the image every N pixels on a grid, blank\n"
        "                     patches left out (default 16; 0: detected keypoints only)\n"
        "  --rootsift         RootSIFT descriptors instead of plain SIFT\n"
        "  --colour-words N   N colour words appended as further columns (default 200;\n"
        "                     0: none)\n"
        "  --counts MODE      table values: sqrt (square root of each word's count,\n"
        "                     the default), raw (plain counts) or presence (0 or 1)\n"
        "  --search-checks N  find each descriptor's word with k-d trees, looking at N\n"
        "                     leaves (default 0: exact search over every word)\n"
        "  --solve            run the solver (ca.exe beside this program) at the end\n"
        "  --solver FILE      solver to run with --solve\n"
        "  --jobs N           worker threads (default: number of cores)\n"
        "  --quiet            no progress output\n"
        "  --help             this text\n");
}

IndexCommandLine::Result IndexCommandLine::parse(const QStringList &arguments,
                                                 IndexOptions &options, QString &message)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QStringList valued = {"words", "max-keypoints", "seed", "axes", "vocabulary",
                                "sample", "max-side", "solver", "jobs", "max-megapixels",
                                "grid", "colour-words", "search-checks", "work-side",
                                "counts"};
    for (const QString &name : valued)
        parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("value")));
    for (const QString &name : {QStringLiteral("solve"), QStringLiteral("quiet"),
                                QStringLiteral("rootsift"),
                                QStringLiteral("help"), QStringLiteral("h")})
        parser.addOption(QCommandLineOption(name));

    if (!parser.parse(arguments)) {
        message = parser.errorText();
        return Invalid;
    }
    if (parser.isSet("help") || parser.isSet("h")) {
        message = usage();
        return Help;
    }
    int seed = int(options.seed);
    int megapixels = int(std::min<qint64>(options.maxMegapixels, INT_MAX));
    if (!readInt(parser, "words", 1, options.words, message)
        || !readInt(parser, "max-keypoints", 1, options.maxKeypoints, message)
        || !readInt(parser, "seed", 0, seed, message)
        || !readInt(parser, "axes", 1, options.axes, message)
        || !readInt(parser, "sample", 1, options.sampleSize, message)
        || !readInt(parser, "max-side", 0, options.maxSide, message)
        || !readInt(parser, "work-side", 0, options.workSide, message)
        || !readInt(parser, "max-megapixels", 1, megapixels, message)
        || !readInt(parser, "grid", 0, options.gridStep, message)
        || !readInt(parser, "colour-words", 0, options.colourWords, message)
        || !readInt(parser, "search-checks", 0, options.searchChecks, message)
        || !readInt(parser, "jobs", 1, options.jobs, message))
        return Invalid;
    if (options.maxSide > 0 && options.maxSide < 16) {
        message = QStringLiteral("--max-side expects 0 (full size) or at least 16, not \"%1\"")
                      .arg(parser.value("max-side"));
        return Invalid;
    }
    if (options.workSide > 0 && options.workSide < 16) {
        message = QStringLiteral("--work-side expects 0 (the size read) or at least 16, not \"%1\"")
                      .arg(parser.value("work-side"));
        return Invalid;
    }
    if (parser.isSet("counts")) {
        const QString mode = parser.value("counts");
        if (mode == QLatin1String("raw"))
            options.counts = TableCounts::Raw;
        else if (mode == QLatin1String("sqrt"))
            options.counts = TableCounts::Sqrt;
        else if (mode == QLatin1String("presence"))
            options.counts = TableCounts::Presence;
        else {
            message = QStringLiteral("--counts expects raw, sqrt or presence, not \"%1\"").arg(mode);
            return Invalid;
        }
    }
    options.maxMegapixels = megapixels;
    options.rootSift = parser.isSet("rootsift");
    options.seed = quint32(seed);
    options.vocabulary = parser.value("vocabulary");
    options.solver = parser.value("solver");
    options.solve = parser.isSet("solve") || parser.isSet("solver");
    options.quiet = parser.isSet("quiet");

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2) {
        message = QStringLiteral("expected IMAGE_FOLDER and OUTPUT_FOLDER, got %1 argument(s)")
                      .arg(positional.size());
        return Invalid;
    }
    options.input = positional[0];
    options.output = positional[1];
    return Run;
}
