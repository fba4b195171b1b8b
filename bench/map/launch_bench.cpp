// Launch to the first painted map: a project of a million images (their
// coordinates, masses and eigenvalues as the solver writes them, the image
// list with categories, the categories file) read from disk, shown in a map
// as a document window shows it (category colours, axis titles, fitted on
// first paint), until its first paint event has been handled. Beside it, the
// bare QPainter loop of bench_map_render (a cross per drawn image, a circle
// per drawn word into a canvas of the map's size), so that the ratio says
// something on a machine whatever its speed.
//
//   QT_QPA_PLATFORM=offscreen bench_map_launch [images] [--reps N]
//
// The project is written once into a temporary folder; the launches and the
// bare loops then alternate, repetition by repetition, in this one process.

#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/model/xmlparser.h"
#include "map/caview.h"

#include "mapbench.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace MapBench;

void writeMatrix(const QString &path, const double *m, int rows, int cols)
{
    FILE *f = std::fopen(QFile::encodeName(path).constData(), "w");
    std::fprintf(f, "%d %d\n", rows, cols);
    for (int i = 0; i < rows; ++i) {
        for (int a = 0; a < cols; ++a)
            std::fprintf(f, a ? " %.17g" : "%.17g", m[std::size_t(i) * cols + a]);
        std::fputc('\n', f);
    }
    std::fclose(f);
}

void writeVector(const QString &path, const double *v, int n)
{
    FILE *f = std::fopen(QFile::encodeName(path).constData(), "w");
    std::fprintf(f, "%d\n", n);
    for (int i = 0; i < n; ++i)
        std::fprintf(f, "%.17g\n", v[i]);
    std::fclose(f);
}

// The project of the generated analysis, as the indexer and the solver lay
// it out: result files, image list "category path", categories, project.xml.
QString writeProject(const QString &folder, const CAData &d, int categories)
{
    writeMatrix(folder + "/table.txt_Z.txt", d.Z.get(), d.nbImages, d.zCols);
    writeMatrix(folder + "/table.txt_W.txt", d.W.get(), d.nbWords, d.wCols);
    writeVector(folder + "/table.txt_P.txt", d.P.get(), d.nbImages);
    writeVector(folder + "/table.txt_Q.txt", d.Q.get(), d.nbWords);
    writeVector(folder + "/table.txt_Lambda.txt", d.lambda.get(), d.nbLambda);
    FILE *f = std::fopen(QFile::encodeName(folder + "/images.txt").constData(), "w");
    for (int i = 0; i < d.nbImages; ++i)
        std::fprintf(f, "%d ../pictures/category_%02d/picture_%07d.png\n", d.labels[i].category,
                     d.labels[i].category, i);
    std::fclose(f);
    f = std::fopen(QFile::encodeName(folder + "/categories.txt").constData(), "w");
    for (int c = 0; c < categories; ++c)
        std::fprintf(f, "%d category_%02d\n", c, c);
    std::fclose(f);
    const QString project = folder + "/project.xml";
    f = std::fopen(QFile::encodeName(project).constData(), "w");
    std::fprintf(f,
                 "<XML>\n  <BASE href='.'/>\n  <AXIS number='%d'/>\n"
                 "  <FILE name='Z' path='table.txt_Z.txt'/>\n"
                 "  <FILE name='W' path='table.txt_W.txt'/>\n"
                 "  <FILE name='P' path='table.txt_P.txt'/>\n"
                 "  <FILE name='Q' path='table.txt_Q.txt'/>\n"
                 "  <FILE name='LAMBDA' path='table.txt_Lambda.txt'/>\n"
                 "  <FILE name='LABEL' path='images.txt'/>\n"
                 "  <FILE name='CATEGORIES' path='categories.txt'/>\n</XML>\n",
                 d.nbAxis);
    std::fclose(f);
    return project;
}

// The map of a document window, telling when its first paint is done.
class TimedView : public CAView
{
public:
    TimedView() : CAView(0, 1, 2) {}
    qint64 paintedAt = -1;
    const QElapsedTimer *clock = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        CAView::paintEvent(event);
        if (paintedAt < 0 && data)
            paintedAt = clock->nsecsElapsed();
    }
};

struct Launch
{
    double parsed = 0, read = 0, attached = 0, painted = 0; // ms since the start
    int shownImages = 0;
};

// The project's analysis as a document window reads it; `parsed` (when
// given) receives the milliseconds the project file took. Exits on failure.
std::unique_ptr<CAData> readProject(const QString &project, double *parsed = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    QFile file(project);
    file.open(QIODevice::ReadOnly);
    XMLParser handler(QFileInfo(project).absoluteDir().absolutePath());
    handler.parse(&file);
    std::unique_ptr<CAData> data(handler.data);
    if (parsed)
        *parsed = clock.nsecsElapsed() / 1e6;
    if (!data || !data->read()) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(project));
        std::exit(1);
    }
    return data;
}

// One launch, the way a document window opens a project: parse, read, hand
// the data to the map, ask for the fit, show, and wait for the first paint.
Launch launch(const QString &project)
{
    Launch l;
    QElapsedTimer clock;
    clock.start();
    Console::Capture quiet;
    std::unique_ptr<CAData> data = readProject(project, &l.parsed);
    l.read = clock.nsecsElapsed() / 1e6;
    auto view = std::make_unique<TimedView>();
    view->clock = &clock;
    view->setCategoryColours(true);
    view->setAxisTitles(true);
    view->resize(kWidth, kHeight);
    view->setData(data.get());
    view->requestFit();
    l.attached = clock.nsecsElapsed() / 1e6;
    view->show();
    while (view->paintedAt < 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    l.painted = view->paintedAt / 1e6;
    l.shownImages = view->shownImages();
    // Whatever is still building for the hover is not part of the launch,
    // but must not run into the next measure.
    std::vector<int> probe;
    view->findImages(probe, 0, 0, 1);
    view->findWords(probe, 0, 0, 1);
    return l;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int images = 1000000;
    int reps = 5;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--reps" && k + 1 < argc)
            reps = std::max(1, std::atoi(argv[++k]));
        else
            images = std::max(1, std::atoi(arg.c_str()));
    }
    const int words = images / 10;
    const int categories = 9;

    QTemporaryDir folder;
    QString project;
    {
        QElapsedTimer t;
        t.start();
        const auto generated = generate(images, words, unsigned(images), categories);
        project = writeProject(folder.path(), *generated, categories);
        qint64 bytes = 0;
        for (const QFileInfo &f : QDir(folder.path()).entryInfoList(QDir::Files))
            bytes += f.size();
        std::printf("project of %d images, %d words, %d axes, %d categories: %.0f MB written in %.1f s\n",
                    images, words, generated->nbAxis, categories, bytes / 1e6, t.elapsed() / 1e3);
    }
    std::printf("start: %s\n", loadAverage().c_str());

    // The marks the bare loop draws: those of a launched map.
    Marks marks;
    {
        Console::Capture quiet;
        const std::unique_ptr<CAData> data = readProject(project);
        CAView view(0, 1, 2);
        view.resize(kWidth, kHeight);
        view.setData(data.get());
        view.fitAll();
        marks = marksOf(view);
    }

    std::vector<double> bare, parsed, read, attached, painted;
    int shown = 0;
    launch(project); // warm-up: the files in the page cache, fonts loaded
    for (int r = 0; r < reps; ++r) {
        bare.push_back(bareLoop(marks) / 1e6);
        const Launch l = launch(project);
        parsed.push_back(l.parsed);
        read.push_back(l.read);
        attached.push_back(l.attached);
        painted.push_back(l.painted);
        shown = l.shownImages;
    }
    const double b = median(bare), p = median(painted);
    std::printf("\nmedian of %d runs, milliseconds since the launch began (%d images drawn)\n", reps,
                shown);
    std::printf("%10s %10s %10s %14s %10s %10s\n", "parsed", "read", "setData", "first paint",
                "bare loop", "ratio");
    std::printf("%10.1f %10.1f %10.1f %14.1f %10.1f %10.2f\n", median(parsed), median(read),
                median(attached), p, b, p / b);
    std::printf("end: %s\n", loadAverage().c_str());
    return 0;
}
