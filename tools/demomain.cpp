#include "tools/democollection.h"
#include "tools/imagecollection.h"
#include "tools/indexer.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <thread>

// Draws the demo collection into OUTPUT_FOLDER/images and indexes it there.
// The project names the table only, so the viewer runs the solver on opening.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 || args[1].startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "Usage: ortelis-demo OUTPUT_FOLDER\n");
        return args.size() == 2 && (args[1] == "--help" || args[1] == "-h") ? 0 : 2;
    }
    const QString output = QDir(args[1]).absolutePath();
    const int jobs = std::max(1, int(std::thread::hardware_concurrency()));

    DemoCollection demo;
    std::printf("Drawing %d demo images into %s/images...\n", demo.count(), qPrintable(output));
    std::fflush(stdout);
    QString error;
    const QString images = QDir(output).filePath(QStringLiteral("images"));
    ImageCollection collection;
    // The drawn images exactly: files left in the folder by anything else
    // are not part of the demo.
    collection.setEntries(demo.entries(images), demo.categoryNames());
    if (!demo.write(images, jobs, &error)) {
        std::fprintf(stderr, "ortelis-demo: error: %s\n", qPrintable(error));
        return 1;
    }

    IndexOptions options;
    options.output = output;
    options.words = 250;
    options.maxKeypoints = 300;
    options.jobs = jobs;
    Indexer indexer(options);
    const bool ok = indexer.run(collection, &error);
    std::printf("%s\n", qPrintable(indexer.summaryText()));
    if (!ok) {
        std::fprintf(stderr, "ortelis-demo: error: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("Project: %s/project.xml\n", qPrintable(output));
    return 0;
}
