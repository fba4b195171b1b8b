// Sub-analysis of a finished selection: the checks in the GUI thread, the
// extraction of the selected rows and columns on a worker thread.
#include "document/camdichild.h"

#include "data/model/cadata.h"
#include "data/model/console.h"
#include "document/qprocessthread.h"
#include "document/tableextraction.h"
#include "map/caview.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

#include <QMap>

#include <algorithm>
#include <vector>

namespace {

bool usableSolver(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && info.isExecutable();
}

// The solver the extraction runs, asked for once when the one beside the
// viewer is missing; false when none was chosen.
bool solverChosen(QWidget *parent)
{
    if (usableSolver(CAData::casolver))
        return true;
    const QString chosen = QFileDialog::getOpenFileName(parent, QStringLiteral("Choose CA application file"),
                                                        QCoreApplication::applicationDirPath());
    if (chosen.isEmpty() || !QFileInfo(chosen).isExecutable())
        return false;
    CAData::casolver = chosen;
    return true;
}

// What the new analysis carries over of `data` for the rows and words of
// `s` (already chosen): the table, categories, word identities, collection
// numbers, the word atlas, keypoints.
void describeRows(QProcessThread::Selection &s, const CAData &data)
{
    s.table = QDir(data.baseDir).absoluteFilePath(data.fileF);
    s.baseDir = data.baseDir;
    s.nbAxis = data.nbAxis;
    s.categoriesPath = data.categoriesPath;
    s.categoryNames = data.categoryNames;
    s.supCategoryNames = data.supCategoryNames;
    s.wordLabels.reserve(s.words.size());
    for (const int word : std::as_const(s.words))
        s.wordLabels.append(data.wordLabel(word));
    s.collectionNumbers.reserve(s.images.size());
    for (const int image : std::as_const(s.images))
        s.collectionNumbers.append(data.collectionNumber(image));
    s.wordAtlas = data.existingWordAtlas();
    if (data.labels) {
        s.hasLabels = true;
        s.labels.reserve(s.images.size());
        for (const int image : std::as_const(s.images))
            s.labels.append(data.labels[image]);
    }
    if (data.descriptors) {
        s.hasDescriptors = true;
        s.descriptors.reserve(s.images.size());
        for (const int image : std::as_const(s.images))
            s.descriptors.append(data.descriptors[image]);
    }
}

bool inRange(const QVector<int> &indices, int count)
{
    return std::all_of(indices.cbegin(), indices.cend(),
                       [count](int i) { return i >= 0 && i < count; });
}

} // namespace

void CAMdiChild::finishSelection()
{
    const QVector<int> images = caView->selectedImages;
    const QVector<int> words = caView->selectedWords;
    // What the outline took and what the threshold left in it.
    const QString summary = caView->selectionSummary();
    if (auto *main = qobject_cast<QMainWindow *>(window()))
        main->statusBar()->showMessage(summary);
    if (outlineSetsAside) {
        outlineSetsAside = false;
        setSelectionAside();
        return;
    }
    if (images.size() < 10 || words.size() < 10) {
        Console::err(QStringLiteral("Try to select more datapoints"));
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Ortelis"),
                        QStringLiteral("Try to select more datapoints"), QMessageBox::Ok, this);
        // The status bar's own words, so that the two counts agree.
        box.setInformativeText(tr("%1. An analysis of a selection needs at least 10 images and 10 words "
                                  "that the map draws. To make a few images supplementary instead, "
                                  "choose View > Selection > Make selected images supplementary.")
                                   .arg(summary));
        box.exec();
        return;
    }
    if (!data || data->fileF.isEmpty()) {
        Console::err(QStringLiteral("Original data is missing"));
        QMessageBox::critical(this, QStringLiteral("Ortelis"),
                              QStringLiteral("Original data is missing"), QMessageBox::Ok);
        return;
    }
    // The map only selects what it shows, so an index outside the model means
    // the selection belongs to another model: refuse rather than read wild.
    if (!inRange(images, data->nbImages) || !inRange(words, data->nbWords)) {
        Console::err(QStringLiteral("Error: the selection does not match the analysis shown."));
        return;
    }
    if (!solverChosen(this))
        return;

    QProcessThread::Selection s;
    s.images = images;
    s.words = words;
    describeRows(s, *data);

    auto *thread = new QProcessThread(this, s);
    connect(thread, &QProcessThread::extractionFailed, this, &CAMdiChild::showExtractionFailure);
    thread->start(QThread::InheritPriority);
    threads.append(thread);
}

void CAMdiChild::processSelection(QProcessThread *worker)
{
    const QProcessThread::Selection &s = worker->selection;
    auto fail = [worker](const QString &message) {
        if (message.isEmpty())
            return; // asked to stop: leave quietly
        Console::err(message);
        emit worker->extractionFailed(message);
    };

    QString error;
    QString path;
    QString folder;
    QString supPath;
    std::vector<int> keptColumns, placed;
    int unplaced = 0, unplacedSup = 0;
    {
        TableExtraction extraction(s, *worker);
        if (!extraction.read(error))
            return fail(error);
        Console::out(QStringLiteral("rows = %1 cols = %2").arg(extraction.tableRows).arg(extraction.tableCols));
        if (s.setAside > 0) {
            // The source's own supplementary images stay supplementary; a
            // table of them that cannot be read leaves them out, said once.
            if (!s.supTable.isEmpty() && !extraction.readSupplementary(error)) {
                if (worker->isInterruptionRequested())
                    return;
                Console::err(error + QStringLiteral(" The supplementary images are left out of the new analysis."));
                error.clear();
            }
            extraction.setAside(s.setAside);
            if (extraction.rows < 2 || extraction.cols < 2)
                return fail(QStringLiteral("Cannot set these images aside: the images left use %1 words "
                                           "between them, too few for an analysis.")
                                .arg(extraction.cols));
            keptColumns = extraction.keptColumns;
            placed = extraction.placed;
            for (const int t : extraction.unplaced)
                ++(t < s.setAside ? unplaced : unplacedSup);
        }

        path = extraction.write(error);
        if (path.isEmpty())
            return fail(error);
        folder = extraction.folder;
        supPath = extraction.supplementaryPath;
    }
    Console::out(QStringLiteral("temp file: ") + path);

    auto *extracted = new CAData(false);
    // From here the folder goes with the model, whatever becomes of it.
    extracted->scratchDir = folder;
    extracted->fileF = path;
    extracted->nbAxis = s.nbAxis;
    extracted->baseDir = s.baseDir;
    extracted->categoriesPath = s.categoriesPath;
    extracted->categoryNames = s.categoryNames;
    extracted->supCategoryNames = s.supCategoryNames;
    extracted->fileWordAtlas = s.wordAtlas;
    int n = s.images.size();
    if (s.setAside > 0) {
        // The words no image left uses are gone from the table; the images
        // set aside follow the analysed ones in the selection.
        QVector<int> labels;
        for (const int l : keptColumns)
            labels.append(s.wordLabels.at(l));
        extracted->setWordLabel(labels.size(), labels.constData());
        n -= s.setAside;
        extracted->fileFSup = supPath;
        extracted->setAsideImages = s.setAside;
        extracted->setAsideSummary = s.setAsideSummary;
        if (unplaced > 0)
            extracted->setAsideSummary +=
                QStringLiteral("; %1 of them use none of the words left and are not placed").arg(unplaced);
        if (unplacedSup > 0)
            extracted->setAsideSummary +=
                QStringLiteral("; %1 supplementary images use none of the words left and are not placed")
                    .arg(unplacedSup);
        // The rows set aside, then the source's supplementary images: their
        // entries follow the images' in the selection.
        if (s.hasLabels && !placed.empty()) {
            extracted->supLabels.reset(new ImageLabel[placed.size()]);
            for (std::size_t t = 0; t < placed.size(); ++t)
                extracted->supLabels[t] = s.labels.value(n + placed[t]);
        }
        if (s.hasDescriptors && !placed.empty()) {
            extracted->supDescriptors.reset(new QString[placed.size()]);
            for (std::size_t t = 0; t < placed.size(); ++t)
                extracted->supDescriptors[t] = s.descriptors.value(n + placed[t]);
        }
    } else {
        extracted->setWordLabel(s.wordLabels.size(), s.wordLabels.constData());
    }
    // Each analysed row keeps its number in the whole collection.
    extracted->collectionNumbers.assign(
        s.collectionNumbers.cbegin(),
        s.collectionNumbers.cbegin() + std::min<qsizetype>(n, s.collectionNumbers.size()));
    if (s.hasLabels) {
        extracted->labels.reset(new ImageLabel[std::size_t(n)]);
        for (int k = 0; k < n; ++k)
            extracted->labels[k] = s.labels.at(k);
    }
    if (s.hasDescriptors) {
        extracted->descriptors.reset(new QString[std::size_t(n)]);
        for (int k = 0; k < n; ++k)
            extracted->descriptors[k] = s.descriptors.at(k);
    }

    if (worker->isInterruptionRequested()) {
        delete extracted;
        return;
    }
    // The model is read and owned in the GUI thread; this thread ends soon.
    extracted->moveToThread(QCoreApplication::instance()->thread());
    emit createChildView(extracted, this);
}

bool CAMdiChild::setAsideNextOutline()
{
    if (!data || !caView)
        return false;
    if (!caView->selectedImages.isEmpty()) {
        setSelectionAside();
        return false;
    }
    outlineSetsAside = true;
    if (auto *main = qobject_cast<QMainWindow *>(window()))
        main->statusBar()->showMessage(
            tr("Draw an outline around the images to make supplementary: they are set aside, "
               "not extracted"));
    return true;
}

bool CAMdiChild::setSelectionAside()
{
    auto refuse = [this](const QString &message) {
        Console::err(message);
        QMessageBox::critical(this, QStringLiteral("Ortelis"), message, QMessageBox::Ok);
        return false;
    };
    if (!data || !caView)
        return false;
    const QVector<int> taken = caView->selectedImages;
    if (taken.isEmpty())
        return refuse(tr("Draw an outline around the images to set aside first (selection mode): "
                         "the last outline holds no image."));
    if (data->fileF.isEmpty())
        return refuse(QStringLiteral("Original data is missing"));
    if (!inRange(taken, data->nbImages))
        return refuse(QStringLiteral("Error: the selection does not match the analysis shown."));
    // The analysis of the rest needs rows enough to have axes.
    QVector<quint8> isTaken(data->nbImages, 0);
    for (const int i : taken)
        isTaken[i] = 1;
    const int left = data->nbImages - int(std::count(isTaken.cbegin(), isTaken.cend(), quint8(1)));
    if (left < 10)
        return refuse(tr("Setting these images aside would leave %1 images; at least 10 are needed.").arg(left));
    if (!solverChosen(this))
        return false;

    // Every image but those taken, in order, then those taken; every word.
    QProcessThread::Selection s;
    for (int i = 0; i < data->nbImages; ++i)
        if (!isTaken[i])
            s.images.append(i);
    QVector<int> takenOnce;
    for (int i = 0; i < data->nbImages; ++i)
        if (isTaken[i])
            takenOnce.append(i);
    s.images += takenOnce;
    s.setAside = int(takenOnce.size());
    for (int j = 0; j < data->nbWords; ++j)
        s.words.append(j);
    describeRows(s, *data);
    // The analysis's own supplementary images go along, placed anew.
    if (data->nbSupImages > 0 && !data->fileFSup.isEmpty()) {
        s.supTable = data->resolve(data->fileFSup);
        s.supRows = data->nbSupImages;
        for (int t = 0; t < s.supRows; ++t) {
            if (s.hasLabels) {
                const ImageLabel *label = data->imageLabel(data->nbImages + t);
                s.labels.append(label ? *label : ImageLabel());
            }
            if (s.hasDescriptors)
                s.descriptors.append(data->keypointFile(data->nbImages + t));
        }
    } else if (data->nbSupImages > 0) {
        Console::err(QStringLiteral("Warning: the %1 supplementary images of this analysis have no table (FILE FSUP) "
                                    "and are left out of the new analysis.")
                         .arg(data->nbSupImages));
    }

    // What was taken, by category when the images have one.
    QString summary = s.setAside == 1 ? tr("1 image set aside") : tr("%1 images set aside").arg(s.setAside);
    if (data->labels) {
        QMap<int, int> byCategory;
        for (const int i : std::as_const(takenOnce))
            ++byCategory[data->labels[i].category];
        QStringList parts;
        for (auto it = byCategory.cbegin(); it != byCategory.cend(); ++it)
            parts << QStringLiteral("%1 %2").arg(it.value()).arg(data->categoryName(it.key()));
        summary += QStringLiteral(" (") + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    s.setAsideSummary = summary;
    Console::out(QStringLiteral("Setting aside: ") + summary);

    auto *thread = new QProcessThread(this, s);
    connect(thread, &QProcessThread::extractionFailed, this, &CAMdiChild::showExtractionFailure);
    thread->start(QThread::InheritPriority);
    threads.append(thread);
    return true;
}
