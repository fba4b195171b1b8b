#include "shell/describecommand.h"

#include "data/formats/atomicfile.h"
#include "data/statistics/axisdescription.h"
#include "data/statistics/axistable.h"
#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/formats/counttable.h"
#include "data/statistics/groupdescription.h"
#include "data/formats/regularfile.h"
#include "data/model/xmlparser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char AxesOption[] = "--describe-axes";
const char CategoryOption[] = "--describe-category";

int failure(const QString &line)
{
    std::fprintf(stderr, "ortelis: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    return 1;
}

// The project parsed and its results loaded, its progress lines kept off the
// console; on failure the reason the loader gave.
std::unique_ptr<CAData> load(const QString &project, QString *why)
{
    Console::Capture capture;
    QFile file(project);
    QString openWhy;
    if (!RegularFile::open(file, &openWhy)) {
        *why = QStringLiteral("cannot open the project file '%1': %2").arg(project, openWhy);
        return nullptr;
    }
    XMLParser parser(QFileInfo(project).absoluteDir().absolutePath());
    if (!parser.parse(&file)) {
        *why = QStringLiteral("%1: %2").arg(project, parser.error);
        delete parser.data;
        return nullptr;
    }
    std::unique_ptr<CAData> data(parser.data);
    if (!data || !data->read()) {
        QStringList lines = capture.err();
        if (lines.isEmpty())
            lines = capture.out();
        *why = QStringLiteral("%1: %2").arg(project, lines.isEmpty() ? QStringLiteral("the results cannot be read")
                                                                     : lines.last());
        return nullptr;
    }
    return data;
}

// The analysed table of `data`, or null with `why` set.
std::unique_ptr<CountTable> loadTable(const CAData &data, QString *why)
{
    if (data.fileF.isEmpty()) {
        *why = QStringLiteral("the project names no table (FILE F)");
        return nullptr;
    }
    const QString path = data.resolve(data.fileF);
    auto table = std::make_unique<CountTable>();
    if (!table->read(QFile::encodeName(path).toStdString())) {
        *why = QStringLiteral("%1: %2").arg(path, QString::fromStdString(table->error()));
        return nullptr;
    }
    if (table->rows() != data.nbImages || table->cols() != data.nbWords) {
        *why = QStringLiteral("%1 is %2 x %3 but the results have %4 images and %5 words")
                   .arg(path)
                   .arg(table->rows())
                   .arg(table->cols())
                   .arg(data.nbImages)
                   .arg(data.nbWords);
        return nullptr;
    }
    return table;
}

int write(const QString &path, const QByteArray &bytes)
{
    QString error;
    if (!AtomicFile::write(path, bytes, AtomicFile::ReplaceExisting, &error))
        return failure(error);
    return 0;
}

int describeAxes(QStringList args)
{
    int top = DescribeCommand::DefaultTop;
    const int topAt = int(args.indexOf(QStringLiteral("--top")));
    if (topAt >= 0) {
        bool ok = false;
        top = topAt + 1 < args.size() ? args.at(topAt + 1).toInt(&ok) : 0;
        if (!ok || top < 1)
            return failure(QStringLiteral("--top needs a whole number of at least 1"));
        args.remove(topAt, 2);
    }
    if (args.size() != 2)
        return failure(QStringLiteral("usage: ortelis --describe-axes FILE.csv [--top N] PROJECT.xml"));
    QString why;
    const std::unique_ptr<CAData> data = load(args.at(1), &why);
    if (!data)
        return failure(why);
    // Without the table, cos2 is of the computed axes only; the line says so.
    const std::unique_ptr<CountTable> table = loadTable(*data, &why);
    const AxisDescription description(*data, table.get());
    QVector<int> axes;
    for (int a = 0; a < data->nbAxis; ++a)
        axes << a;
    const int status = write(args.at(0), AxisTable::csv(*data, AxisTable::rows(description, axes, top)));
    if (status == 0)
        std::printf("%s: %d axes; contribution: share of the axis's inertia; %s\n", qPrintable(args.at(0)),
                    data->nbAxis, qPrintable(description.cos2Basis()));
    return status;
}

int describeCategory(const QStringList &args)
{
    if (args.size() != 3)
        return failure(QStringLiteral("usage: ortelis --describe-category NAME FILE.csv PROJECT.xml"));
    QString why;
    const std::unique_ptr<CAData> data = load(args.at(2), &why);
    if (!data)
        return failure(why);
    std::vector<int> images;
    if (!GroupDescription::categoryImages(*data, args.at(0), images, &why))
        return failure(QStringLiteral("%1: %2").arg(args.at(2), why));
    const std::unique_ptr<CountTable> table = loadTable(*data, &why);
    if (!table)
        return failure(QStringLiteral("the group test needs the analysed table: %1").arg(why));
    const int status = write(args.at(1), GroupDescription::csv(*data, GroupDescription::describe(*table, images)));
    if (status == 0 && !GroupDescription::countNote(*table).isEmpty())
        std::printf("%s: %s\n", qPrintable(args.at(1)), qPrintable(GroupDescription::countNote(*table)));
    return status;
}

} // namespace

bool DescribeCommand::wanted(int argc, char **argv)
{
    return argc > 1 && (std::strcmp(argv[1], AxesOption) == 0 || std::strcmp(argv[1], CategoryOption) == 0);
}

int DescribeCommand::run(const QStringList &arguments)
{
    QStringList args = arguments.mid(1);
    if (args.isEmpty())
        return failure(QStringLiteral("no command"));
    const QString command = args.takeFirst();
    if (command == QLatin1String(AxesOption))
        return describeAxes(args);
    if (command == QLatin1String(CategoryOption))
        return describeCategory(args);
    return failure(QStringLiteral("unknown command %1").arg(command));
}

std::unique_ptr<CAData> DescribeCommand::loadProject(const QString &project, QString *why)
{
    return load(project, why);
}

std::unique_ptr<CountTable> DescribeCommand::loadAnalysedTable(const CAData &data, QString *why)
{
    return loadTable(data, why);
}
