#include "shell/commandlineexport.h"

#include "data/formats/atomicfile.h"
#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/formats/regularfile.h"
#include "data/model/xmlparser.h"
#include "map/caview.h"
#include "map/mapexporter.h"
#include "map/pointexporter.h"

#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QRegularExpression>
#include <QSize>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct Request
{
    QString map;
    QString points;
    QString project;
    QSize size{CommandLineExport::DefaultWidth, CommandLineExport::DefaultHeight};
    int axis1 = -1;
    int axis2 = -1;
};

bool parseArguments(const QStringList &args, Request &r, QString &error)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        const auto value = [&](QString &out) {
            if (i + 1 >= args.size()) {
                error = QStringLiteral("%1 needs a value").arg(a);
                return false;
            }
            out = args.at(++i);
            return true;
        };
        QString v;
        if (a == QLatin1String("--export-map")) {
            if (!value(r.map))
                return false;
            const QString suffix = QFileInfo(r.map).suffix().toLower();
            if (suffix != QLatin1String("svg") && suffix != QLatin1String("png")) {
                error = QStringLiteral("--export-map writes a .svg or a .png file, not '%1'").arg(r.map);
                return false;
            }
        } else if (a == QLatin1String("--export-points")) {
            if (!value(r.points))
                return false;
        } else if (a == QLatin1String("--size")) {
            if (!value(v))
                return false;
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^(\\d{1,5})[xX\u00d7](\\d{1,5})$")).match(v);
            const int w = m.hasMatch() ? m.captured(1).toInt() : 0;
            const int h = m.hasMatch() ? m.captured(2).toInt() : 0;
            if (w < 200 || h < 150 || w > 16000 || h > 16000) {
                error = QStringLiteral("--size takes WIDTHxHEIGHT in pixels, from 200x150 to 16000x16000, not '%1'").arg(v);
                return false;
            }
            r.size = QSize(w, h);
        } else if (a == QLatin1String("--axes")) {
            if (!value(v))
                return false;
            const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^(\\d{1,4}),(\\d{1,4})$")).match(v);
            r.axis1 = m.hasMatch() ? m.captured(1).toInt() : 0;
            r.axis2 = m.hasMatch() ? m.captured(2).toInt() : 0;
            if (r.axis1 < 1 || r.axis2 < 1 || r.axis1 == r.axis2) {
                error = QStringLiteral("--axes takes two different axis numbers from 1, as in 1,2, not '%1'").arg(v);
                return false;
            }
        } else if (a.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unknown option '%1'").arg(a);
            return false;
        } else if (r.project.isEmpty()) {
            r.project = a;
        } else {
            error = QStringLiteral("one project at a time: '%1' and '%2'").arg(r.project, a);
            return false;
        }
    }
    if (r.map.isEmpty() && r.points.isEmpty()) {
        error = QStringLiteral("nothing to export: give --export-map FILE or --export-points FILE");
        return false;
    }
    if (r.project.isEmpty()) {
        error = QStringLiteral("no project file given");
        return false;
    }
    return true;
}

// The analysis as a document window loads it, without its message box: the
// reason goes on the one error line instead.
std::unique_ptr<CAData> load(const QString &project, QString &error)
{
    Console::Capture quiet;
    QFile file(project);
    QString why;
    if (!RegularFile::open(file, &why)) {
        error = QStringLiteral("cannot open the project '%1': %2").arg(project, why);
        return nullptr;
    }
    XMLParser handler(QFileInfo(project).absoluteDir().absolutePath());
    const bool parsed = handler.parse(&file);
    std::unique_ptr<CAData> data(handler.data);
    if (!data || !data->read()) {
        QString reason = quiet.err().isEmpty() ? QString() : quiet.err().first();
        if (reason.isEmpty() && !parsed)
            reason = handler.error;
        error = QStringLiteral("cannot read the project '%1'%2").arg(project, reason.isEmpty() ? QString() : QStringLiteral(": ") + reason);
        return nullptr;
    }
    return data;
}

} // namespace

bool CommandLineExport::wanted(int argc, char **argv)
{
    bool asked = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--export-map") == 0 || std::strcmp(argv[i], "--export-points") == 0)
            asked = true;
    if (asked && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A script reads one line on failure: the toolkit's own notes (a
    // missing runtime folder, the platform's limits) are not for it.
    if (asked)
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
            if (type == QtFatalMsg) {
                const QByteArray line = message.toLocal8Bit() + '\n';
                std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
            }
        });
    return asked;
}

int CommandLineExport::run(const QStringList &arguments, QString *error)
{
    QString why;
    const auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        return 1;
    };
    Request r;
    if (!parseArguments(arguments, r, why))
        return fail(why);
    std::unique_ptr<CAData> data = load(r.project, why);
    if (!data)
        return fail(why);
    if (r.axis1 > data->nbAxis || r.axis2 > data->nbAxis)
        return fail(QStringLiteral("--axes: '%1' has axes 1 to %2").arg(r.project).arg(data->nbAxis));

    // Set up as a document window sets up its map, then shown once at the
    // size asked for: the first paint makes the window's first fit.
    Console::Capture quiet;
    CAView view(0, 1, 2);
    view.setCategoryColours(true);
    view.setAxisTitles(true);
    view.setData(data.get());
    view.requestFit();
    if (r.axis1 > 0)
        view.changeAxis(r.axis1 - 1, r.axis2 - 1, 0);
    view.resize(r.size);
    view.grab();

    if (!r.map.isEmpty()) {
        const MapExporter exporter(view);
        const bool svg = QFileInfo(r.map).suffix().toLower() == QLatin1String("svg");
        if (!(svg ? exporter.writeSvg(r.map, true, &why) : exporter.writePng(r.map, 1, true, &why)))
            return fail(why);
    }
    if (!r.points.isEmpty() && !AtomicFile::write(r.points, PointExporter::csv(view), AtomicFile::ReplaceExisting, &why))
        return fail(why);
    return 0;
}

int CommandLineExport::main(const QStringList &arguments)
{
    QString error;
    const int status = run(arguments, &error);
    if (status != 0) {
        const QByteArray line = QStringLiteral("ortelis: %1\n").arg(error).toLocal8Bit();
        std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
        std::fflush(stderr);
    }
    return status;
}
