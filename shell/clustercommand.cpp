#include "shell/clustercommand.h"

#include "data/formats/atomicfile.h"
#include "data/model/cadata.h"
#include "data/statistics/clusteranalysis.h"
#include "data/formats/counttable.h"
#include "data/formats/csvwriter.h"
#include "data/statistics/groupdescription.h"
#include "shell/describecommand.h"

#include <QCoreApplication>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char ClustersOption[] = "--clusters";
const char DescribeOption[] = "--describe-clusters";

int failure(const QString &line)
{
    std::fprintf(stderr, "ortelis: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    return 1;
}

QString percent(double share)
{
    return QString::number(100 * share, 'f', 1) + QStringLiteral(" %");
}

// A whole number of at least 1 following `option`, taken out of `args`;
// 0 when the option is absent, -1 when its value is not one.
int takeCount(QStringList &args, const char *option)
{
    const int at = int(args.indexOf(QLatin1String(option)));
    if (at < 0)
        return 0;
    bool ok = false;
    const int value = at + 1 < args.size() ? args.at(at + 1).toInt(&ok) : 0;
    args.remove(at, std::min<qsizetype>(2, args.size() - at));
    return ok && value >= 1 ? value : -1;
}

double distance(const CAData &data, int image, const std::vector<double> &centre)
{
    const double *z = &data.Z[std::size_t(image) * std::size_t(data.zCols)];
    double s = 0;
    for (std::size_t t = 0; t < centre.size(); ++t)
        s += (z[t] - centre[t]) * (z[t] - centre[t]);
    return std::sqrt(s);
}

// What the clusters are of, in one line.
QString summary(const CAData &data, const ClusterAnalysis &a)
{
    double held = 0;
    for (int t = 0; t < a.dims() && t < data.nbLambda; ++t)
        held += data.lambda[std::size_t(t)];
    int clustered = 0;
    for (const ClusterAnalysis::Cluster &c : a.clusters())
        clustered += int(c.rows.size());
    QString line = QStringLiteral("%1 clusters (suggested: %2) of %3 images on the first %4 axes")
                       .arg(a.clusters().size())
                       .arg(a.suggested())
                       .arg(clustered)
                       .arg(a.dims());
    if (std::isfinite(data.totalInertia) && data.totalInertia > 0)
        line += QStringLiteral(", which hold %1 of the table's inertia").arg(percent(held / data.totalInertia));
    line += QStringLiteral("; between-cluster inertia %1 of %2 on those axes (%3)")
                .arg(a.between(), 0, 'g', 12)
                .arg(a.inertia(), 0, 'g', 12)
                .arg(percent(a.between() / a.inertia()));
    if (!a.exact())
        line += QStringLiteral("; the images were first gathered into %1 centres by k-means").arg(a.leaves());
    if (a.leftOut() > 0)
        line += QStringLiteral("; %1 images left out: coordinates that are not numbers").arg(a.leftOut());
    return line;
}

} // namespace

bool ClusterCommand::wanted(int argc, char **argv)
{
    return argc > 1 && (std::strcmp(argv[1], ClustersOption) == 0 || std::strcmp(argv[1], DescribeOption) == 0);
}

int ClusterCommand::main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    CAData::casolver = QCoreApplication::applicationDirPath() + QStringLiteral("/ca.exe");
    return run(QCoreApplication::arguments());
}

QString ClusterCommand::usage()
{
    return QStringLiteral(
        "  --clusters FILE.csv [--count K] [--dims D] [--consolidate] PROJECT.xml\n"
        "      Ward's clusters of the images on the first D axes (default: those holding 80 % of the inertia,\n"
        "      at most 10), cut into K (default: the suggested cut); writes image,cluster\n"
        "  --describe-clusters FILE.csv [--count K] [--dims D] [--consolidate] PROJECT.xml\n"
        "      each cluster's over- and under-represented words, paragons and specific images\n");
}

int ClusterCommand::run(const QStringList &arguments)
{
    QStringList args = arguments.mid(1);
    if (args.isEmpty())
        return failure(QStringLiteral("no command"));
    const QString command = args.takeFirst();
    const bool describe = command == QLatin1String(DescribeOption);
    if (!describe && command != QLatin1String(ClustersOption))
        return failure(QStringLiteral("unknown command %1").arg(command));
    ClusterAnalysis::Options options;
    options.count = takeCount(args, "--count");
    if (options.count < 0)
        return failure(QStringLiteral("--count needs a whole number of at least 1"));
    options.dims = takeCount(args, "--dims");
    if (options.dims < 0)
        return failure(QStringLiteral("--dims needs a whole number of at least 1"));
    const int consolidateAt = int(args.indexOf(QStringLiteral("--consolidate")));
    options.consolidate = consolidateAt >= 0;
    if (options.consolidate)
        args.removeAt(consolidateAt);
    if (args.size() != 2 || args.at(0).startsWith(QLatin1String("--")) || args.at(1).startsWith(QLatin1String("--")))
        return failure(QStringLiteral("usage: ortelis %1 FILE.csv [--count K] [--dims D] [--consolidate] PROJECT.xml")
                           .arg(command));
    const QString out = args.at(0);
    const QString project = args.at(1);

    QString why;
    const std::unique_ptr<CAData> data = DescribeCommand::loadProject(project, &why);
    if (!data)
        return failure(why);
    // The words need the table; only the description cannot do without.
    QString tableWhy;
    const std::unique_ptr<CountTable> table = DescribeCommand::loadAnalysedTable(*data, &tableWhy);
    if (describe && !table)
        return failure(QStringLiteral("the group test needs the analysed table: %1").arg(tableWhy));

    ClusterAnalysis::Input input;
    input.coordinates = data->Z.get();
    input.rows = data->nbImages;
    input.stride = data->zCols;
    input.axes = std::min(data->nbAxis, data->zCols);
    input.masses = data->P.get();
    input.inertias = data->lambda.get();
    input.inertiaCount = data->nbLambda;
    input.totalInertia = data->totalInertia;
    ClusterAnalysis analysis;
    if (analysis.run(input, options) != ClusterAnalysis::Done)
        return failure(QStringLiteral("%1: %2").arg(project, analysis.error()));

    const auto &clusters = analysis.clusters();
    std::vector<std::vector<GroupTest::Word>> words(clusters.size());
    if (table)
        for (std::size_t c = 0; c < clusters.size(); ++c)
            words[c] = GroupDescription::describe(*table, clusters[c].rows);

    CsvWriter w;
    if (!describe) {
        w.addRow({QStringLiteral("image"), QStringLiteral("cluster")});
        for (int i = 0; i < data->nbImages; ++i) {
            const int c = analysis.partition()[std::size_t(i)];
            w.addRow({QString::number(i), c >= 0 ? QString::number(c + 1) : QString()});
        }
    } else {
        w.addRow({QStringLiteral("cluster"), QStringLiteral("kind"), QStringLiteral("item"), QStringLiteral("name"),
                  QStringLiteral("count_in"), QStringLiteral("count_all"), QStringLiteral("v_test"),
                  QStringLiteral("p_value"), QStringLiteral("distance")});
        for (std::size_t c = 0; c < clusters.size(); ++c) {
            const QString number = QString::number(c + 1);
            for (const GroupTest::Word &word : words[c])
                if (word.pValue <= WordProbability)
                    w.addRow({number, QStringLiteral("word"), QString::number(data->wordLabel(word.word)), QString(),
                              CsvWriter::number(word.countIn), CsvWriter::number(word.countAll),
                              CsvWriter::number(word.vTest), CsvWriter::number(word.pValue), QString()});
            auto images = [&](const std::vector<int> &list, const QString &kind, bool own) {
                for (const int i : list) {
                    double d = distance(*data, i, clusters[c].centre);
                    if (!own) {
                        d = std::numeric_limits<double>::infinity();
                        for (std::size_t o = 0; o < clusters.size(); ++o)
                            if (o != c)
                                d = std::min(d, distance(*data, i, clusters[o].centre));
                    }
                    const ImageLabel *label = data->imageLabel(i);
                    w.addRow({number, kind, QString::number(i), label ? label->imageFile : QString(), QString(),
                              QString(), QString(), QString(), CsvWriter::number(d)});
                }
            };
            images(clusters[c].paragons, QStringLiteral("paragon"), true);
            images(clusters[c].specific, QStringLiteral("specific"), false);
        }
    }
    QString error;
    if (!AtomicFile::write(out, w.bytes(), AtomicFile::ReplaceExisting, &error))
        return failure(error);

    std::printf("%s: %s\n", qPrintable(out), qPrintable(summary(*data, analysis)));
    int clustered = 0;
    for (const ClusterAnalysis::Cluster &c : clusters)
        clustered += int(c.rows.size());
    for (std::size_t c = 0; c < clusters.size(); ++c) {
        QStringList top;
        for (const GroupTest::Word &word : words[c])
            if (top.size() < 3 && word.vTest > 0)
                top << QString::number(data->wordLabel(word.word));
        const QString wordsText = table ? QStringLiteral("most over-represented words: %1")
                                              .arg(top.isEmpty() ? QStringLiteral("none") : top.join(QStringLiteral(", ")))
                                        : QStringLiteral("words unknown: %1").arg(tableWhy);
        std::printf("cluster %d: %d images (%s of the images clustered); %s\n", int(c + 1),
                    int(clusters[c].rows.size()),
                    qPrintable(percent(double(clusters[c].rows.size()) / std::max(1, clustered))),
                    qPrintable(wordsText));
    }
    if (table && !GroupDescription::countNote(*table).isEmpty())
        std::printf("%s\n", qPrintable(GroupDescription::countNote(*table)));
    std::fflush(stdout);
    return 0;
}
