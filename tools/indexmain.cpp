#include "tools/indexcommandline.h"
#include "tools/imagecollection.h"
#include "tools/indexer.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    IndexOptions options;
    QString message;
    switch (IndexCommandLine::parse(app.arguments(), options, message)) {
    case IndexCommandLine::Help:
        std::printf("%s", qPrintable(message));
        return 0;
    case IndexCommandLine::Invalid:
        std::fprintf(stderr, "ortelis-index: %s\n\n%s", qPrintable(message),
                     qPrintable(IndexCommandLine::usage()));
        return 2;
    case IndexCommandLine::Run:
        break;
    }
    QString error;
    ImageCollection collection;
    if (!collection.load(options.input, options.output, &error)) {
        std::fprintf(stderr, "ortelis-index: error: %s\n", qPrintable(error));
        return 1;
    }
    // Folder numbering is by name: say which number each folder got.
    const QStringList categories = collection.categoryNames();
    if (!options.quiet && categories.size() > 1) {
        for (int c = 1; c < categories.size(); ++c)
            std::printf("Category %d: %s\n", c, qPrintable(categories[c]));
    }
    Indexer indexer(options);
    const bool ok = indexer.run(collection, &error);
    if (indexer.summary().indexed > 0 && indexer.summary().seconds > 0)
        std::printf("%s\n", qPrintable(indexer.summaryText()));
    if (!ok) {
        std::fprintf(stderr, "ortelis-index: error: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("Project: %s/project.xml\n", qPrintable(options.output));
    return 0;
}
