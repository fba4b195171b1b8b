#include "data/cadata.h"
#include "shell/camainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The solver and the plug-ins live beside the executable, whatever the
    // working folder.
    CAData::casolver = QCoreApplication::applicationDirPath() + QStringLiteral("/ca.exe");
    QCoreApplication::addLibraryPath(QCoreApplication::applicationDirPath() + QStringLiteral("/plugins"));
    // QApplication has taken its own options out of argv.
    CAMainWindow mainWin(argc > 1 ? argv[1] : nullptr);
    mainWin.show();
    return app.exec();
}
