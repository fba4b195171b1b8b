// ortelis-index-mpi: ortelis-index as an MPI job. Every option keeps its
// meaning; the images are shared among the processes, the vocabulary's
// k-means rounds too, and the first process writes the lists, the table and
// the project. The output folder must be on a file system every process sees.
#include "data/communicator/mpi/campicommunicator.h"
#include "tools/imagecollection.h"
#include "tools/indexcommandline.h"
#include "tools/indexer.h"
#include "tools/keypointdetector.h"
#include "tools/kmeans.h"

#include <QCoreApplication>

#include <mpi.h>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

int runIndexer(QCoreApplication &app, const CAMpiCommunicator &comm)
{
    const bool first = comm.rank() == 0;
    IndexOptions options;
    QString message;
    switch (IndexCommandLine::parse(app.arguments(), options, message)) {
    case IndexCommandLine::Help:
        if (first)
            std::printf("%s", qPrintable(message));
        return 0;
    case IndexCommandLine::Invalid:
        if (first)
            std::fprintf(stderr, "ortelis-index-mpi: %s\n\n%s", qPrintable(message),
                         qPrintable(IndexCommandLine::usage()));
        return 2;
    case IndexCommandLine::Run:
        break;
    }
    if (!options.addTo.isEmpty()) {
        // A batch added to a project is small beside the project; one
        // process describes it.
        if (first)
            std::fprintf(stderr, "ortelis-index-mpi: --add-to runs in one process: use ortelis-index\n");
        return 2;
    }
    // Only the first process shows progress.
    if (!first)
        options.quiet = true;

    QString error;
    ImageCollection collection;
    const bool loaded = collection.load(options.input, options.output, &error);
    // Every process lists the same folder; if one cannot, none goes on.
    const std::string problem = comm.firstProblem(loaded, 0, error.toStdString());
    if (!problem.empty()) {
        if (first)
            std::fprintf(stderr, "ortelis-index-mpi: error: %s\n", problem.c_str());
        return 1;
    }
    const QStringList categories = collection.categoryNames();
    if (first && !options.quiet && categories.size() > 1) {
        for (int c = 1; c < categories.size(); ++c)
            std::printf("Category %d: %s\n", c, qPrintable(categories[c]));
    }
    Indexer indexer(options);
    indexer.setCommunicator(&comm);
    const bool ok = indexer.run(collection, &error);
    if (std::getenv("ORTELIS_MPI_STATS")) {
        // For the benchmarks: the busiest process's processor time and
        // peak memory, and what the first handed to collective operations.
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        double figures[2] = {double(usage.ru_utime.tv_sec) + 1e-6 * double(usage.ru_utime.tv_usec)
                                 + double(usage.ru_stime.tv_sec) + 1e-6 * double(usage.ru_stime.tv_usec),
                             double(usage.ru_maxrss) / 1024.0};
        comm.max(figures, 2);
        if (first)
            std::printf("ortelis-index-mpi: %d processes; busiest: processor %.2f s, peak memory %.1f MB; the "
                        "first sent %llu bytes in %llu collective operations; one k-means round reduces %llu "
                        "bytes\n",
                        comm.size(), figures[0], figures[1], (unsigned long long)comm.bytesSent(),
                        (unsigned long long)comm.operations(),
                        (unsigned long long)KMeans::bytesPerRound(options.words, KeypointDetector::descriptorSize));
    }
    if (!first)
        return ok ? 0 : 1;
    if (indexer.summary().indexed > 0 && indexer.summary().seconds > 0)
        std::printf("%s\n", qPrintable(indexer.summaryText()));
    if (!ok) {
        std::fprintf(stderr, "ortelis-index-mpi: error: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("Project: %s/project.xml\n", qPrintable(options.output));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    MPI_Init(&argc, &argv);
    int status = 0;
    {
        QCoreApplication app(argc, argv);
        CAMpiCommunicator comm;
        status = runIndexer(app, comm);
        std::fflush(stdout);
    }
    MPI_Finalize();
    return status;
}
