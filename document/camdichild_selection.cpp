// Sub-analysis of a finished selection: the checks in the GUI thread, the
// extraction of the selected rows and columns on a worker thread.
#include "document/camdichild.h"

#include "data/cadata.h"
#include "data/console.h"
#include "data/numberscanner.h"
#include "document/qprocessthread.h"
#include "map/caview.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <numeric>
#include <vector>

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

QString missing(const QString &problem)
{
    return QStringLiteral("Original data is missing: ") + problem;
}

// The selected cells of the source table, n rows of m values.
struct Extract
{
    int rows = 0;
    int cols = 0;
    std::vector<double> values;
};

// Reads the source table far enough to collect every selected cell. Returns
// false with `error` set when the table cannot supply them, and false with
// `error` empty when the worker was asked to stop.
bool readSelected(const QProcessThread &worker, Extract &extract, long long &tableRows,
                  long long &tableCols, QString &error)
{
    const QProcessThread::Selection &s = worker.selection;
    const QString &path = s.table;

    NumberScanner scanner;
    if (!scanner.open(QFile::encodeName(path).toStdString())) {
        error = missing(QStringLiteral("cannot open '%1': %2.")
                            .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    long long R = 0, K = 0;
    if (scanner.nextInt(R) != NumberScanner::Ok || scanner.nextInt(K) != NumberScanner::Ok
        || R < 0 || K < 0) {
        error = missing(QStringLiteral("'%1' does not start with its row and column counts.")
                            .arg(path));
        return false;
    }
    const int lastRow = *std::max_element(s.images.cbegin(), s.images.cend());
    const int lastCol = *std::max_element(s.words.cbegin(), s.words.cend());
    if (lastRow >= R || lastCol >= K) {
        error = missing(QStringLiteral("'%1' has %2 rows and %3 columns; the selection needs "
                                       "%4 rows and %5 columns.")
                            .arg(path).arg(R).arg(K).arg(lastRow + 1).arg(lastCol + 1));
        return false;
    }

    const int n = s.images.size();
    const int m = s.words.size();
    extract.rows = n;
    extract.cols = m;
    extract.values.assign(std::size_t(n) * std::size_t(m), 0.0);

    // Selected rows in table order (an image may be selected twice), and the
    // selected columns in table order with their place in the extract.
    std::vector<int> rowOrder(static_cast<std::size_t>(n));
    std::iota(rowOrder.begin(), rowOrder.end(), 0);
    std::stable_sort(rowOrder.begin(), rowOrder.end(),
                     [&s](int a, int b) { return s.images[a] < s.images[b]; });
    std::vector<int> colOrder(static_cast<std::size_t>(m));
    std::iota(colOrder.begin(), colOrder.end(), 0);
    std::stable_sort(colOrder.begin(), colOrder.end(),
                     [&s](int a, int b) { return s.words[a] < s.words[b]; });

    // Rows are read in bounded chunks: a very wide table costs no more
    // memory than a narrow one.
    const long long chunkSize = std::min<long long>(K > 0 ? K : 1, 1 << 16);
    std::vector<double> chunk(std::size_t(chunkSize), 0.0);
    std::size_t nextRow = 0;
    for (long long r = 0; r <= lastRow; ++r) {
        if (worker.isInterruptionRequested())
            return false;
        const std::size_t firstTarget = nextRow;
        while (nextRow < rowOrder.size() && s.images[rowOrder[nextRow]] == r)
            ++nextRow;
        const bool wanted = nextRow > firstTarget;

        std::size_t nextCol = 0;
        for (long long done = 0; done < K;) {
            const long long want = std::min(chunkSize, K - done);
            NumberScanner::Result result = NumberScanner::Ok;
            const std::size_t got = scanner.readDoubles(chunk.data(), std::size_t(want), result);
            if (got < std::size_t(want)) {
                const long long index = r * K + done + static_cast<long long>(got);
                if (result == NumberScanner::Bad)
                    error = missing(QStringLiteral("'%1': value %2 ('%3') is not a number.")
                                        .arg(path).arg(index + 1)
                                        .arg(QString::fromStdString(scanner.badToken())));
                else
                    error = missing(QStringLiteral("'%1' ends after %2 of the %3 values it "
                                                   "announces.")
                                        .arg(path).arg(index).arg(R * K));
                return false;
            }
            if (wanted) {
                while (nextCol < colOrder.size() && s.words[colOrder[nextCol]] < done + want) {
                    const int l = colOrder[nextCol];
                    const double v = chunk[std::size_t(s.words[l] - done)];
                    for (std::size_t t = firstTarget; t < nextRow; ++t)
                        extract.values[std::size_t(rowOrder[t]) * std::size_t(m) + std::size_t(l)] = v;
                    ++nextCol;
                }
            }
            done += want;
        }
    }
    tableRows = R;
    tableCols = K;
    return true;
}

// Appends v in the general format with 6 significant digits (3, 0.5,
// 1.23457e+06), independent of the process locale.
void appendNumber(QByteArray &line, double v)
{
    char buffer[64];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 6);
    line.append(buffer, int(r.ptr - buffer));
}

// Writes the extract as "table.txt" in a fresh folder of the temporary folder,
// where the solver then leaves its results: everything an extracted view
// needs lies in one folder, removed with its model. The table is kept only
// once it is complete; on failure or when the worker is asked to stop the
// folder goes. Returns the table's absolute path and sets `folder`, or
// returns an empty string with `error` set on failure (empty when the worker
// was asked to stop).
QString writeExtract(const QProcessThread &worker, const Extract &extract, QString &folder,
                     QString &error)
{
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/ortelis-XXXXXX"));
    if (!dir.isValid()) {
        error = QStringLiteral("Cannot create the extracted table in '%1': %2.")
                    .arg(QDir::tempPath(), dir.errorString());
        return QString();
    }
    const QString path = QDir().absoluteFilePath(dir.filePath(QStringLiteral("table.txt")));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        error = QStringLiteral("Cannot create the extracted table in '%1': %2.")
                    .arg(QDir::tempPath(), file.errorString());
        return QString();
    }
    // After a failed flush QFile only says "Unknown error"; the system's
    // reason (a full disk) is still in errno, cleared before each call.
    auto failed = [&](int code) {
        error = QStringLiteral("Cannot write the extracted table '%1': %2.")
                    .arg(path, code ? QString::fromLocal8Bit(std::strerror(code))
                                    : file.errorString());
        return QString();
    };

    QByteArray line = QByteArray::number(extract.rows) + ' ' + QByteArray::number(extract.cols) + '\n';
    errno = 0;
    if (file.write(line) != line.size() || !file.flush())
        return failed(errno);
    for (int k = 0; k < extract.rows; ++k) {
        if (worker.isInterruptionRequested())
            return QString();
        line.clear();
        const double *row = extract.values.data() + std::size_t(k) * std::size_t(extract.cols);
        for (int l = 0; l < extract.cols; ++l) {
            appendNumber(line, row[l]);
            line.append(' ');
        }
        line.append('\n');
        errno = 0;
        if (file.write(line) != line.size() || !file.flush())
            return failed(errno);
    }
    if (worker.isInterruptionRequested())
        return QString();
    errno = 0;
    file.close();
    if (file.error() != QFileDevice::NoError)
        return failed(errno);
    dir.setAutoRemove(false);
    folder = QDir().absoluteFilePath(dir.path());
    return path;
}

} // namespace

void CAMdiChild::finishSelection()
{
    const QVector<int> images = caView->selectedImages;
    const QVector<int> words = caView->selectedWords;
    if (images.size() < 10 || words.size() < 10) {
        Console::err(QStringLiteral("Try to select more datapoints"));
        QMessageBox::critical(this, QStringLiteral("Ortelis"),
                              QStringLiteral("Try to select more datapoints"), QMessageBox::Ok);
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
        Extract extract;
        long long rows = 0, cols = 0;
        if (!readSelected(*worker, extract, rows, cols, error))
            return fail(error);
        Console::out(QStringLiteral("rows = %1 cols = %2").arg(rows).arg(cols));

        path = writeExtract(*worker, extract, folder, error);
        if (path.isEmpty())
            return fail(error);
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
