// Pictures of the Axes dock for notes and reviews, without a display:
//   axes_screenshot PROJECT.xml PREFIX [CATEGORY]
// opens the project in the main window (offscreen platform), shows the Axes
// dock for axes 1-2 and writes PREFIX_axes.png; with a category name, also
// its group test as PREFIX_group.png. A project without a word atlas gets
// one built first (PREFIX_words.atlas), with its size and time printed.
#include "data/model/cadata.h"
#include "data/statistics/groupdescription.h"
#include "data/formats/wordatlas.h"
#include "data/model/wordatlasbuilder.h"
#include "document/camdichild.h"
#include "map/caview.h"
#include "shell/axespanel.h"
#include "shell/camainwindow.h"
#include "shell/categorylegend.h"
#include "shell/grouppanel.h"
#include "shell/mappanels.h"

#include <QApplication>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTabWidget>
#include <QThread>

#include <cstdio>

static void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
}

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PROJECT.xml PREFIX [CATEGORY]\n", argv[0]);
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CAData::casolver = QCoreApplication::applicationDirPath() + QStringLiteral("/ca.exe");
    CAMainWindow w;
    w.resize(1800, 1100);
    w.show();
    if (!w.open(QString::fromLocal8Bit(argv[1])))
        return 1;
    settle(1500);
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    CAData *loaded = w.activeMdiChild()->caView->data;
    if (loaded->fileWordAtlas.isEmpty()) {
        QElapsedTimer clock;
        clock.start();
        QMap<int, QImage> mosaics;
        QString error;
        const QString atlas = QFileInfo(prefix + QStringLiteral("_words.atlas")).absoluteFilePath();
        if (!WordAtlasBuilder().build(*loaded, mosaics, &error) || !WordAtlas::write(atlas, mosaics, &error)) {
            std::fprintf(stderr, "word atlas: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("word atlas: %d words, %lld bytes (%.1f KB per word), %.1f s\n", int(mosaics.size()),
                    QFileInfo(atlas).size(), QFileInfo(atlas).size() / 1024.0 / std::max<qsizetype>(1, mosaics.size()),
                    clock.elapsed() / 1000.0);
        loaded->fileWordAtlas = atlas;
    }
    w.mapPanels->screeDock->hide();
    w.mapPanels->axesDock->show();
    w.resizeDocks({w.mapPanels->axesDock}, {760}, Qt::Horizontal);
    settle(3000);
    w.grab().save(prefix + QStringLiteral("_axes.png"));
    if (argc > 3) {
        CAData *data = w.activeMdiChild()->caView->data;
        std::vector<int> images;
        QString error;
        if (!GroupDescription::categoryImages(*data, QString::fromLocal8Bit(argv[3]), images, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        emit w.mapPanels->legend->describeRequested(data->labels[std::size_t(images.front())].category);
        settle(1500);
        w.grab().save(prefix + QStringLiteral("_group.png"));
    }
    return 0;
}
