#include "shell/commandlineusage.h"

#include <QFile>

#include <cstdio>

namespace {

// The options that choose a command-line mode; each mode checks its own
// further options.
const char *const ModeOptions[] = {
    "--export-map", "--export-points", "--describe-axes", "--describe-category",
    "--clusters",   "--describe-clusters",
};

// The toolkit's own options, which QApplication takes out of the arguments;
// the first group is followed by a value.
const char *const ToolkitOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle", "session", "style", "stylesheet", "display",
    "geometry", "title", "name", "visual", "fn", "font", "bg", "background", "fg",
    "foreground", "btn", "button", "ncols", "cmap",
};
const char *const ToolkitFlags[] = {
    "reverse", "widgetcount", "nograb", "dograb", "sync", "im",
};

// "-style", "--style" and "-style=fusion" name the same option.
QString toolkitName(const QString &argument)
{
    QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    const int eq = int(name.indexOf(QLatin1Char('=')));
    return eq >= 0 ? name.left(eq) : name;
}

bool isOneOf(const QString &name, const char *const *list, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (name == QLatin1String(list[i]))
            return true;
    return false;
}

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

QStringList argumentList(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    return arguments;
}

} // namespace

QString CommandLineUsage::text()
{
    return QStringLiteral(
        "Usage:\n"
        "  ortelis [PROJECT.xml ...]\n"
        "      Opens the viewer on each analysis named (the project.xml of an indexed\n"
        "      collection, or of a saved analysis); with none, an empty window.\n"
        "\n"
        "  ortelis --export-map FILE.svg|FILE.png [--size WxH] [--axes I,J] PROJECT.xml\n"
        "      Draws the map as a new window shows it: --size in pixels (default 1200x900,\n"
        "      from 200x150 to 16000x16000), --axes the two axes from 1 (default 1,2).\n"
        "  ortelis --export-points FILE.csv [--axes I,J] PROJECT.xml\n"
        "      Writes every point of the map with its coordinates on the two axes.\n"
        "      --export-map and --export-points may be given together.\n"
        "\n"
        "  ortelis --describe-axes FILE.csv [--top N] PROJECT.xml\n"
        "      For each axis and pole, the N words and images that contribute most\n"
        "      (default 10): axis,pole,kind,index,label,coordinate,contribution,cos2.\n"
        "  ortelis --describe-category NAME FILE.csv PROJECT.xml\n"
        "      The group test of category NAME against the whole collection:\n"
        "      word,count_in,count_all,v_test,p_value.\n"
        "\n"
        "  ortelis --clusters OUT.csv [--count K] [--dims D] [--consolidate] PROJECT.xml\n"
        "      Clusters the images on the first D axes into K clusters (by default the\n"
        "      suggested cut; --consolidate refines the cut by k-means) and writes\n"
        "      image,cluster.\n"
        "  ortelis --describe-clusters OUT.csv [--count K] [--dims D] [--consolidate] PROJECT.xml\n"
        "      Writes each cluster's words, with the group test's columns, and its\n"
        "      paragons.\n"
        "\n"
        "  ortelis --help\n"
        "      Prints this text.\n"
        "\n"
        "The command-line modes need no display. On failure they print one line on\n"
        "standard error and exit with status 1. Collections are indexed with\n"
        "ortelis-index (see ortelis-index --help).\n");
}

bool CommandLineUsage::helpWanted(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h") || a == QLatin1String("-?"))
            return true;
    }
    return false;
}

QString CommandLineUsage::unknownOption(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (isOneOf(a, ModeOptions, std::size(ModeOptions)))
            return {};
    }
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (!a.startsWith(QLatin1Char('-')) || a == QLatin1String("-"))
            continue;
        const QString name = toolkitName(a);
        if (isOneOf(name, ToolkitFlags, std::size(ToolkitFlags)))
            continue;
        if (isOneOf(name, ToolkitOptionsWithValue, std::size(ToolkitOptionsWithValue))) {
            if (!a.contains(QLatin1Char('=')))
                ++i;
            continue;
        }
        return a;
    }
    return {};
}

int CommandLineUsage::help(int argc, char **argv)
{
    if (!helpWanted(argumentList(argc, argv)))
        return -1;
    print(stdout, text());
    return 0;
}

int CommandLineUsage::refuseUnknown(int argc, char **argv)
{
    const QString unknown = unknownOption(argumentList(argc, argv));
    if (!unknown.isEmpty()) {
        print(stderr, QStringLiteral("ortelis: unknown option '%1' (ortelis --help lists the options)\n")
                          .arg(unknown));
        return 1;
    }
    return -1;
}
