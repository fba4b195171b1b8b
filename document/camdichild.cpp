#include "document/camdichild.h"

#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/formats/regularfile.h"
#include "data/model/xmlparser.h"
#include "detail/imageview.h"
#include "document/analysissaver.h"
#include "detail/panearea.h"
#include "document/errorbox.h"
#include "detail/wordview.h"
#include "document/qprocessthread.h"
#include "document/solverdialog.h"
#include "map/caview.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMessageBox>
#include <QMetaType>
#include <QScrollArea>

CAMdiChild::CAMdiChild()
    : QSplitter(nullptr)
{
    // createChildView crosses from a worker thread to the main window, so
    // both argument types travel through queued connections.
    static const bool registered = [] {
        qRegisterMetaType<CAData *>();
        qRegisterMetaType<CAMdiChild *>();
        return true;
    }();
    Q_UNUSED(registered);

    setAttribute(Qt::WA_DeleteOnClose);
    setOrientation(Qt::Horizontal);
    resize(800, 600);

    // Reading an analysis may have to ask for the solver.
    SolverDialog::install();
    createCAView();
    createWordImageView();
    // The panes draw keypoints in the colours of this window's map.
    wordView->keypointPalette = &caView->colors;
    imageView->keypointPalette = &caView->colors;

    connect(caView, &CAView::imagesChanged, wordView, &WordView::changeImages);
    connect(caView, &CAView::wordsChanged, wordView, &WordView::changeWords);
    connect(caView, &CAView::wordsChanged, imageView, &ImageView::changeWords);
    connect(wordView, &WordView::focusChanged, caView, &CAView::changeFocus);
    connect(imageView, &ImageView::focusChanged, caView, &CAView::changeFocus);
    connect(caView, &CAView::selectionFinished, this, &CAMdiChild::finishSelection);
    connect(caView, &CAView::openImageRequested, imageView, &ThumbnailPane::openImage);
    // One switch for the keypoints of both panes.
    connect(wordView, &ThumbnailPane::keypointsShownChanged, imageView, &ThumbnailPane::setKeypointsShown);
    connect(imageView, &ThumbnailPane::keypointsShownChanged, wordView, &ThumbnailPane::setKeypointsShown);
}

CAMdiChild::~CAMdiChild()
{
    Console::out(QStringLiteral("MDI Child dies"));
    // Workers are stopped cooperatively: a forced stop could leave one inside
    // the allocator or in the middle of a file write. Each checks the request
    // between rows and leaves without emitting anything.
    for (int i = 0; i < threads.size(); ++i) {
        Console::out(QStringLiteral("terminate thread %1").arg(i));
        QProcessThread *thread = threads.at(i);
        thread->requestInterruption();
        thread->wait();
        delete thread;
    }
    threads.clear();
    // The map's search may still be building its copy of the rows in the
    // background; the view itself goes only after this body.
    if (caView)
        caView->releaseData();
    delete data;
    data = nullptr;
}

void CAMdiChild::createCAView()
{
    caView = new CAView(0, 1, 2);
    // A document window colours images by category and titles the axes.
    caView->setCategoryColours(true);
    caView->setAxisTitles(true);
    addWidget(caView);
    connect(this, &CAMdiChild::contentsChanged, caView, &CAView::setData);
}

void CAMdiChild::createWordImageView()
{
    auto *wordArea = new PaneArea(
        tr("Around the cursor — one square per map cell"),
        tr("The images near the map cursor, grouped by map cell.\n"
           "Green badge: the number of images in the cell; yellow badge: the number of the image shown.\n"
           "Coloured marks: keypoints of the words near the cursor, one colour per word.\n"
           "Click a square to focus its image on the map; double-click to open it at full size."));
    wordView = new WordView(wordArea, this);
    wordArea->setWidget(wordView);

    auto *column = new QSplitter(Qt::Vertical);
    column->addWidget(wordArea);

    auto *imageArea = new PaneArea(
        tr("Images of the highlighted cell"),
        tr("Every image of the square outlined in red above, with the keypoints of the words near the cursor.\n"
           "Click to focus an image on the map; double-click to open it at full size."));
    imageView = new ImageView(imageArea, this);
    imageArea->setWidget(imageView);
    column->addWidget(imageArea);

    const int h = height();
    column->setSizes({int(0.7 * h), int(0.3 * h)});

    connect(wordView, &WordView::cellChanged, imageView, &ImageView::changeCell);

    addWidget(column);
    const int w = width();
    setSizes({int(0.6 * w), int(0.4 * w)});
}

bool CAMdiChild::fill(CAData *model)
{
    if (!model->read()) {
        ErrorBox::critical(this, QStringLiteral("Ortelis"), QStringLiteral("Error in reading data"),
                           errorMark);
        // A window that shows nothing yet keeps the failed model (it goes
        // with the window); one that already shows a model keeps showing it.
        if (data)
            delete model;
        else
            data = model;
        return false;
    }
    CAData *old = data;
    data = model;
    emit contentsChanged(data);
    // Every analysis opens with all its drawn points in view, once the map
    // has its size.
    caView->requestFit();
    delete old;
    return true;
}

void CAMdiChild::loadGroups(const QString &path)
{
    QFile file(path);
    if (!caView || !data || !file.exists())
        return;
    QString why;
    // A small file of names and row numbers: anything larger is not ours.
    if (!RegularFile::open(file, &why) || file.size() > (64 << 20)) {
        Console::err(QStringLiteral("Error: cannot read the groups file '%1': %2.")
                         .arg(path, why.isEmpty() ? QStringLiteral("too large") : why));
        return;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (!doc.isArray()) {
        Console::err(QStringLiteral("Error: the groups file '%1' is not a list of groups: %2.")
                         .arg(path, error.errorString()));
        return;
    }
    int beyond = 0;
    caView->groups().setList(NamedGroup::listFromJson(doc.array(), data->nbImages, data->nbWords, &beyond));
    if (beyond > 0)
        Console::err(QStringLiteral("Warning: the groups file '%1' holds more groups than a map may have (%2): "
                                    "the first %2 are read, %3 left out.")
                         .arg(path).arg(NamedGroup::MaxGroups).arg(beyond));
}

bool CAMdiChild::loadFile(const QString &fileName)
{
    errorMark = Console::errorMark();
    Console::out(QStringLiteral("PArsing ..."));
    QFile file(fileName);
    const QFileInfo info(fileName);
    const QString projectDir = info.absoluteDir().absolutePath();
    Console::out(QStringLiteral("path = ") + projectDir);

    XMLParser handler(projectDir);
    // The parse result is not consulted: whatever the handler collected
    // before an error is loaded, and loading reports what is missing.
    // Loading goes on whatever the outcome, but a project that cannot be
    // opened or read to its end is named here: the load itself can only
    // report the files the project failed to name.
    // Opened without blocking and only when it is a regular file: a FIFO
    // named as the project would otherwise hang the viewer.
    QString why;
    const bool opened = RegularFile::open(file, &why);
    if (!handler.parse(opened ? &file : nullptr)) {
        if (!opened)
            Console::err(QStringLiteral("Error: cannot open the project file '%1': %2.")
                             .arg(fileName, why));
        else
            Console::err(QStringLiteral("Error: %1: %2").arg(fileName, handler.error));
    }
    if (!fill(handler.data))
        return false;

    curFile = fileName;
    setCurrentFile(fileName);
    loadGroups(AnalysisSaver::groupsFile(fileName));
    Console::out(QStringLiteral("Nb_axis = %1").arg(data->nbAxis));
    return true;
}

bool CAMdiChild::setData(CAData *newData)
{
    // Numbers the extracted views of the whole process, in the order in which
    // they load successfully.
    static int view_no = 1;

    if (!newData)
        return false;
    errorMark = Console::errorMark();
    if (!fill(newData))
        return false;

    curFile = QStringLiteral("Extracted view [%1]").arg(view_no);
    ++view_no;
    setCurrentFile(curFile);
    // It lives only in the temporary folder until it is saved.
    setWindowModified(true);
    Console::out(QStringLiteral("Nb_axis = %1").arg(data->nbAxis));
    return true;
}

void CAMdiChild::setCurrentFile(const QString &fileName)
{
    curFile = fileName;
    // A project file is named with its folder: projects of different
    // collections are mostly all called project.xml.
    QString shown = curFile.isEmpty() ? QStringLiteral("untitled.xml") : strippedName(curFile);
    const QFileInfo info(curFile);
    if (!curFile.isEmpty() && info.exists() && !info.absoluteDir().isRoot())
        shown = info.absoluteDir().dirName() + QLatin1Char('/') + shown;
    setWindowTitle(tr("%1[*] - %2").arg(shown, tr("Ortelis")));
}

QString CAMdiChild::strippedName(const QString &fullFileName)
{
    return QFileInfo(fullFileName).fileName();
}

void CAMdiChild::showExtractionFailure(const QString &message)
{
    QMessageBox::critical(this, QStringLiteral("Ortelis"), message, QMessageBox::Ok);
}
