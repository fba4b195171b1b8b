#include "tools/indexcommandline.h"
#include "tools/imagecollection.h"
#include "tools/indexer.h"

#include <QCoreApplication>

#include <csignal>
#include <signal.h>
#include <cstdio>

namespace {

// Ctrl-C or a termination request: the run stops at the next image, removes
// its unfinished files and leaves an earlier index as it was. A second
// request ends the program at once.
void onSignal(int signal)
{
    if (Indexer::interrupted()) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    Indexer::interrupt();
}

} // namespace

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
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    if (!options.addTo.isEmpty()) {
        Indexer indexer(options);
        const bool ok = indexer.addTo(&error);
        if (indexer.summary().supplementary > 0 && indexer.summary().seconds > 0)
            std::printf("%s\n", qPrintable(indexer.summaryText()));
        if (!ok) {
            std::fprintf(stderr, "ortelis-index: %s%s\n", indexer.summary().interrupted ? "" : "error: ",
                         qPrintable(error));
            return indexer.summary().interrupted ? 130 : 1;
        }
        std::printf("Project: %s\n", qPrintable(options.addTo));
        return 0;
    }
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
        std::fprintf(stderr, "ortelis-index: %s%s\n",
                     indexer.summary().interrupted ? "" : "error: ", qPrintable(error));
        return indexer.summary().interrupted ? 130 : 1;
    }
    std::printf("Project: %s/project.xml\n", qPrintable(options.output));
    return 0;
}
