#include "tools/indexcommandline.h"

#include <QCommandLineParser>

#include <algorithm>
#include <climits>

namespace {

bool readInt(const QCommandLineParser &parser, const QString &name, int minimum, int maximum,
             int &value, QString &message)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int v = parser.value(name).toInt(&ok);
    if (!ok || v < minimum || v > maximum) {
        message = QStringLiteral("--%1 expects a whole number from %2 to %3, not \"%4\"")
                      .arg(name).arg(minimum).arg(maximum).arg(parser.value(name));
        return false;
    }
    value = v;
    return true;
}

// A size that is 0 (off) or within [minimum, maximum].
bool readOffOrInt(const QCommandLineParser &parser, const QString &name, const char *off,
                  int minimum, int maximum, int &value, QString &message)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int v = parser.value(name).toInt(&ok);
    if (!ok || (v != 0 && (v < minimum || v > maximum))) {
        message = QStringLiteral("--%1 expects 0 (%2) or a whole number from %3 to %4, not \"%5\"")
                      .arg(name, QLatin1String(off)).arg(minimum).arg(maximum).arg(parser.value(name));
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
        "       ortelis-index --add-to PROJECT.xml [--jobs N] [--quiet] IMAGE_FOLDER\n"
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
        "  --words N          vocabulary size, 1 to 65536 (default 1000)\n"
        "  --max-keypoints N  strongest keypoints kept per image, 1 to 100000 (default 500)\n"
        "  --seed N           seed of the vocabulary's k-means (default 1)\n"
        "  --axes N           number of axes written into the project, 1 to 1000\n"
        "                     (default 10)\n"
        "  --vocabulary FILE  reuse this vocabulary instead of building one\n"
        "  --sample N         descriptors sampled for k-means, 1 to 2000000 (default 25\n"
        "                     per word)\n"
        "  --max-side N       scale larger images down to N pixels a side first, 16 to\n"
        "                     16384 (default 1024; 0 keeps full size)\n"
        "  --work-side N      then bring every image to N pixels on its longer side,\n"
        "                     enlarging small ones, 16 to 4096 (default 512; 0 keeps the\n"
        "                     size read)\n"
        "  --max-megapixels N refuse larger images without decoding them, 1 to 100000\n"
        "                     (default 1000)\n"
        "  --grid N           also describe the image every N pixels on a grid, blank\n"
        "                     and mostly transparent patches left out, 4 to 1024\n"
        "                     (default 16; 0: detected keypoints only)\n"
        "  --grid-scales N    grid patches at N sizes: the step, twice and four times\n"
        "                     it, 1 to 3 (default 1)\n"
        "  --rootsift         RootSIFT descriptors instead of plain SIFT\n"
        "  --colour-words N   N colour words appended as further columns, 0 to 65536\n"
        "                     (default 200; 0: none)\n"
        "  --colour-layout N  colour words also keep where the colour lies, the\n"
        "                     position weighing N % of a colour, 0 to 400 (default\n"
        "                     100; 0: colour alone)\n"
        "  --soft-words N     each descriptor counts for its N nearest words, shared\n"
        "                     by closeness, 1 to 3 (default 1)\n"
        "  --counts MODE      table values: sqrt (square root of each word's count,\n"
        "                     the default), raw (plain counts) or presence (0 or 1)\n"
        "  --search-checks N  find each descriptor's word with k-d trees, looking at N\n"
        "                     leaves, 0 to 100000 (default 0: exact search over every word)\n"
        "  --passive LIST     index the images LIST names (a file of image paths, or of\n"
        "                     \"category path\" lines as a list file, relative to LIST)\n"
        "                     as supplementary images: described like the others but\n"
        "                     not in the table; placed on the axes by the words'\n"
        "                     coordinates (table-sup.txt, images-sup.txt; their\n"
        "                     coordinates table.txt_ZSup.txt with --solve, otherwise\n"
        "                     when the viewer first runs the solver)\n"
        "  --flat-blanks MODE blank images of one flat colour: place (the default: placed\n"
        "                     as supplementary images by their colour words, when the\n"
        "                     index has colour words) or skip (listed in skipped.txt)\n"
        "  --add-to PROJECT   add the images to an indexed and solved project as\n"
        "                     supplementary images, without changing any of its files:\n"
        "                     described with its vocabulary and the options it was\n"
        "                     indexed with (index-options.txt beside it), placed by its\n"
        "                     results (the words' coordinates and the eigenvalues), and\n"
        "                     named in PROJECT with the earlier supplementary images\n"
        "                     (FILE FSUP, ZSUP, LABELSUP). Only --jobs and --quiet go\n"
        "                     with it; categories are matched to the project's by\n"
        "                     folder name\n"
        "  --solve            run the solver (ca.exe beside this program) at the end\n"
        "  --solver FILE      solver to run with --solve\n"
        "  --jobs N           worker threads, 1 to 256 (default: number of cores)\n"
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
                                "counts", "soft-words", "grid-scales", "colour-layout",
                                "add-to", "passive", "flat-blanks"};
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
    // Every range keeps one run within memory and time a machine has: a
    // vocabulary is k-means over samples x words, a working side costs
    // about 100 bytes a pixel per worker, and so on.
    using L = IndexCommandLine;
    if (!readInt(parser, "words", 1, L::maxWords, options.words, message)
        || !readInt(parser, "max-keypoints", 1, L::maxKeypointsPerImage, options.maxKeypoints, message)
        || !readInt(parser, "seed", 0, INT_MAX, seed, message)
        || !readInt(parser, "axes", 1, L::maxAxes, options.axes, message)
        || !readInt(parser, "sample", 1, L::maxSample, options.sampleSize, message)
        || !readOffOrInt(parser, "max-side", "full size", 16, L::maxSide, options.maxSide, message)
        || !readOffOrInt(parser, "work-side", "the size read", 16, L::maxWorkSide, options.workSide, message)
        || !readInt(parser, "max-megapixels", 1, L::maxMegapixels, megapixels, message)
        || !readOffOrInt(parser, "grid", "no grid", 4, L::maxGrid, options.gridStep, message)
        || !readInt(parser, "grid-scales", 1, 3, options.gridScales, message)
        || !readInt(parser, "colour-words", 0, L::maxWords, options.colourWords, message)
        || !readInt(parser, "colour-layout", 0, 400, options.colourLayout, message)
        || !readInt(parser, "soft-words", 1, 3, options.softWords, message)
        || !readInt(parser, "search-checks", 0, L::maxSearchChecks, options.searchChecks, message)
        || !readInt(parser, "jobs", 1, L::maxJobs, options.jobs, message))
        return Invalid;
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
    options.passive = parser.value("passive");
    options.addTo = parser.value("add-to");
    if (parser.isSet("flat-blanks")) {
        const QString mode = parser.value("flat-blanks");
        if (mode != QLatin1String("place") && mode != QLatin1String("skip")) {
            message = QStringLiteral("--flat-blanks expects place or skip, not \"%1\"").arg(mode);
            return Invalid;
        }
        options.placeFlat = mode == QLatin1String("place");
    }

    const QStringList positional = parser.positionalArguments();
    if (parser.isSet("add-to")) {
        // The added images are described as the project's own were: an
        // option that would describe them otherwise is refused, not ignored.
        for (const QString &name : parser.optionNames()) {
            if (name != QLatin1String("add-to") && name != QLatin1String("jobs")
                && name != QLatin1String("quiet")) {
                message = QStringLiteral("--%1 cannot be given with --add-to: the images are described "
                                         "with the project's own options, recorded beside it")
                              .arg(name);
                return Invalid;
            }
        }
        if (options.addTo.isEmpty()) {
            message = QStringLiteral("--add-to expects the project file (project.xml)");
            return Invalid;
        }
        if (positional.size() != 1) {
            message = QStringLiteral("with --add-to, expected IMAGE_FOLDER alone, got %1 argument(s)")
                          .arg(positional.size());
            return Invalid;
        }
        options.input = positional[0];
        options.output = QString();
        return Run;
    }
    if (positional.size() != 2) {
        message = QStringLiteral("expected IMAGE_FOLDER and OUTPUT_FOLDER, got %1 argument(s)")
                      .arg(positional.size());
        return Invalid;
    }
    options.input = positional[0];
    options.output = positional[1];
    return Run;
}
