// Sub-analysis of a finished selection: the checks in the GUI thread, the
// extraction of the selected rows and columns on a worker thread.
#include "document/camdichild.h"

#include "data/cadata.h"
#include "data/console.h"
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

#include <algorithm>

namespace {

bool usableSolver(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && info.isExecutable();
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
    if (auto *main = qobject_cast<QMainWindow *>(window()))
        main->statusBar()->showMessage(caView->selectionSummary());
    if (images.size() < 10 || words.size() < 10) {
        Console::err(QStringLiteral("Try to select more datapoints"));
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Ortelis"),
                        QStringLiteral("Try to select more datapoints"), QMessageBox::Ok, this);
        box.setInformativeText(
            tr("The outline held %1 drawn images and %2 drawn words; at least 10 of each are "
               "needed.")
                .arg(images.size())
                .arg(words.size()));
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
    if (!usableSolver(CAData::casolver)) {
        const QString chosen = QFileDialog::getOpenFileName(
            this, QStringLiteral("Choose CA application file"),
            QCoreApplication::applicationDirPath());
        if (chosen.isEmpty() || !QFileInfo(chosen).isExecutable())
            return;
        CAData::casolver = chosen;
    }

    QProcessThread::Selection s;
    s.images = images;
    s.words = words;
    s.table = QDir(data->baseDir).absoluteFilePath(data->fileF);
    s.baseDir = data->baseDir;
    s.nbAxis = data->nbAxis;
    s.categoriesPath = data->categoriesPath;
    s.categoryNames = data->categoryNames;
    s.wordLabels.reserve(words.size());
    for (int word : words)
        s.wordLabels.append(data->wordLabel(word));
    if (data->labels) {
        s.hasLabels = true;
        s.labels.reserve(images.size());
        for (int image : images)
            s.labels.append(data->labels[image]);
    }
    if (data->descriptors) {
        s.hasDescriptors = true;
        s.descriptors.reserve(images.size());
        for (int image : images)
            s.descriptors.append(data->descriptors[image]);
    }

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
    {
        TableExtraction extraction(s, *worker);
        if (!extraction.read(error))
            return fail(error);
        Console::out(QStringLiteral("rows = %1 cols = %2").arg(extraction.tableRows).arg(extraction.tableCols));

        path = extraction.write(error);
        if (path.isEmpty())
            return fail(error);
        folder = extraction.folder;
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
    extracted->setWordLabel(s.wordLabels.size(), s.wordLabels.constData());
    const int n = s.images.size();
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
