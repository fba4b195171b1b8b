#include "data/model/cadata.h"
#include "shell/camainwindow.h"
#include "shell/clustercommand.h"
#include "shell/commandlineexport.h"
#include "shell/commandlineusage.h"
#include "shell/describecommand.h"

#include <QApplication>
#include <QFile>

int main(int argc, char *argv[])
{
    // The usage needs no display either.
    if (const int status = CommandLineUsage::help(argc, argv); status >= 0)
        return status;
    if (ClusterCommand::wanted(argc, argv))
        return ClusterCommand::main(argc, argv);
    // The descriptions for scripts and reports need no display.
    if (DescribeCommand::wanted(argc, argv)) {
        QCoreApplication app(argc, argv);
        CAData::casolver = QCoreApplication::applicationDirPath() + QStringLiteral("/ca.exe");
        return DescribeCommand::run(QCoreApplication::arguments());
    }
    const bool exporting = CommandLineExport::wanted(argc, argv);
    // An option no mode takes is refused before the window needs a display.
    if (!exporting) {
        if (const int status = CommandLineUsage::refuseUnknown(argc, argv); status >= 0)
            return status;
    }
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Ortelis"));
    QCoreApplication::setApplicationName(QStringLiteral("Ortelis"));
    // The solver and the plug-ins live beside the executable, whatever the
    // working folder.
    CAData::casolver = QCoreApplication::applicationDirPath() + QStringLiteral("/ca.exe");
    QCoreApplication::addLibraryPath(QCoreApplication::applicationDirPath() + QStringLiteral("/plugins"));
    if (exporting)
        return CommandLineExport::main(QCoreApplication::arguments());
    // QApplication has taken its own options out of argv.
    CAMainWindow mainWin(argc > 1 ? argv[1] : nullptr);
    // Further projects on the command line open beside the first.
    for (int i = 2; i < argc; ++i)
        mainWin.open(QFile::decodeName(argv[i]));
    mainWin.show();
    return app.exec();
}
