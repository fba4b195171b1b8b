#include "document/tableextraction.h"

#include "data/formats/folderowner.h"
#include "data/formats/numberscanner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <numeric>

namespace {

QString missing(const QString &problem)
{
    return QStringLiteral("Original data is missing: ") + problem;
}

using Wide = unsigned __int128;

QString decimal(Wide v)
{
    char digits[40];
    int n = 0;
    do {
        digits[n++] = char('0' + int(v % 10));
        v /= 10;
    } while (v);
    QString text;
    while (n)
        text += QLatin1Char(digits[--n]);
    return text;
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

} // namespace

bool TableExtraction::read(QString &error)
{
    const QProcessThread::Selection &s = m_selection;
    const QString &path = s.table;

    NumberScanner scanner;
    if (!scanner.open(QFile::encodeName(path).toStdString())) {
        error = missing(QStringLiteral("cannot open '%1': %2.")
                            .arg(path, QString::fromLocal8Bit(scanner.openError().c_str())));
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
    rows = n;
    cols = m;
    values.assign(std::size_t(n) * std::size_t(m), 0.0);

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
    // memory than a narrow one, and never more than the file can hold.
    const long long chunkSize = std::max<long long>(
        1, std::min<long long>({K, 1 << 16, static_cast<long long>(std::min<std::uint64_t>(
                                               scanner.maxRemainingValues(), 1 << 16))}));
    std::vector<double> chunk(std::size_t(chunkSize), 0.0);
    std::size_t nextRow = 0;
    for (long long r = 0; r <= lastRow; ++r) {
        if (beforeRow)
            beforeRow(r);
        if (m_worker.isInterruptionRequested())
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
                // A header may announce up to 2^63 rows and columns: the
                // position is counted in 128 bits.
                const Wide index = Wide(r) * Wide(K) + Wide(done) + Wide(got);
                if (result == NumberScanner::Bad)
                    error = missing(QStringLiteral("'%1': value %2 ('%3') is not a number.")
                                        .arg(path, decimal(index + 1))
                                        .arg(QString::fromStdString(scanner.badToken())));
                else
                    error = missing(QStringLiteral("'%1' ends after %2 of the %3 values it "
                                                   "announces.")
                                        .arg(path, decimal(index), decimal(Wide(R) * Wide(K))));
                return false;
            }
            if (wanted) {
                while (nextCol < colOrder.size() && s.words[colOrder[nextCol]] < done + want) {
                    const int l = colOrder[nextCol];
                    const double v = chunk[std::size_t(s.words[l] - done)];
                    for (std::size_t t = firstTarget; t < nextRow; ++t)
                        values[std::size_t(rowOrder[t]) * std::size_t(m) + std::size_t(l)] = v;
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

void TableExtraction::setAside(int count)
{
    count = std::clamp(count, 0, rows);
    const int active = rows - count;
    std::vector<double> sums(std::size_t(cols), 0.0);
    for (int k = 0; k < active; ++k)
        for (int l = 0; l < cols; ++l)
            sums[std::size_t(l)] += values[std::size_t(k) * std::size_t(cols) + std::size_t(l)];
    keptColumns.clear();
    for (int l = 0; l < cols; ++l)
        if (sums[std::size_t(l)] > 0)
            keptColumns.push_back(l);
    const int kept = int(keptColumns.size());
    auto cell = [this](int k, int l) { return values[std::size_t(k) * std::size_t(cols) + std::size_t(l)]; };

    auto sourceSup = [this](int k, int l) {
        return sourceSupValues[std::size_t(k) * std::size_t(cols) + std::size_t(l)];
    };

    placed.clear();
    unplaced.clear();
    supValues.clear();
    for (int t = 0; t < count + sourceSupRows; ++t) {
        const bool taken = t < count;
        auto value = [&](int l) { return taken ? cell(active + t, l) : sourceSup(t - count, l); };
        bool any = false;
        for (const int l : keptColumns)
            any = any || value(l) != 0;
        if (!any) {
            unplaced.push_back(t);
            continue;
        }
        placed.push_back(t);
        for (const int l : keptColumns)
            supValues.push_back(value(l));
    }
    supRows = int(placed.size());

    std::vector<double> analysed;
    analysed.reserve(std::size_t(active) * std::size_t(kept));
    for (int k = 0; k < active; ++k)
        for (const int l : keptColumns)
            analysed.push_back(cell(k, l));
    values = std::move(analysed);
    rows = active;
    cols = kept;
}

bool TableExtraction::readSupplementary(QString &error)
{
    const QProcessThread::Selection &s = m_selection;
    const QString &path = s.supTable;
    sourceSupRows = 0;
    sourceSupValues.clear();
    NumberScanner scanner;
    if (!scanner.open(QFile::encodeName(path).toStdString())) {
        error = QStringLiteral("Cannot open the supplementary images' table '%1': %2.")
                    .arg(path, QString::fromLocal8Bit(scanner.openError().c_str()));
        return false;
    }
    long long R = 0, K = 0;
    if (scanner.nextInt(R) != NumberScanner::Ok || scanner.nextInt(K) != NumberScanner::Ok || R != s.supRows
        || K != tableCols) {
        error = QStringLiteral("'%1' is not a table of the %2 supplementary images over the %3 columns of '%4'.")
                    .arg(path).arg(s.supRows).arg(tableCols).arg(s.table);
        return false;
    }
    // Bounded by the file itself before anything is allocated.
    if (std::uint64_t(R) * std::uint64_t(K) > scanner.maxRemainingValues()) {
        error = QStringLiteral("'%1': the header announces more values than the file holds.").arg(path);
        return false;
    }
    const int m = s.words.size();
    std::vector<double> row(std::size_t(K), 0.0);
    std::vector<double> kept;
    kept.reserve(std::size_t(R) * std::size_t(m));
    for (long long r = 0; r < R; ++r) {
        if (m_worker.isInterruptionRequested())
            return false;
        NumberScanner::Result result = NumberScanner::Ok;
        if (scanner.readDoubles(row.data(), std::size_t(K), result) != std::size_t(K)) {
            error = QStringLiteral("'%1': row %2 is incomplete or holds something that is not a number.")
                        .arg(path).arg(r + 1);
            return false;
        }
        for (const int word : s.words)
            kept.push_back(row[std::size_t(word)]);
    }
    sourceSupValues = std::move(kept);
    sourceSupRows = int(R);
    return true;
}

QString TableExtraction::write(QString &error)
{
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/ortelis-XXXXXX"));
    if (!dir.isValid()) {
        error = QStringLiteral("Cannot create the extracted table in '%1': %2.")
                    .arg(QDir::tempPath(), dir.errorString());
        return QString();
    }
    // Marked as this process's for as long as it runs, so that a viewer
    // starting after a crash can tell this folder from a live one.
    QString why;
    if (!FolderOwner::claim(dir.path(), &why)) {
        error = QStringLiteral("Cannot create the extracted table in '%1': %2.").arg(dir.path(), why);
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

    QByteArray line = QByteArray::number(rows) + ' ' + QByteArray::number(cols) + '\n';
    errno = 0;
    if (file.write(line) != line.size() || !file.flush())
        return failed(errno);
    for (int k = 0; k < rows; ++k) {
        if (m_worker.isInterruptionRequested())
            return QString();
        line.clear();
        const double *row = values.data() + std::size_t(k) * std::size_t(cols);
        for (int l = 0; l < cols; ++l) {
            appendNumber(line, row[l]);
            line.append(' ');
        }
        line.append('\n');
        errno = 0;
        if (file.write(line) != line.size() || !file.flush())
            return failed(errno);
    }
    if (m_worker.isInterruptionRequested())
        return QString();
    errno = 0;
    file.close();
    if (file.error() != QFileDevice::NoError)
        return failed(errno);
    if (supRows > 0) {
        // The rows set aside, in the same format over the same columns.
        const QString supPath = QDir().absoluteFilePath(dir.filePath(QStringLiteral("supplementary.txt")));
        QFile sup(supPath);
        if (!sup.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            error = QStringLiteral("Cannot write the supplementary rows '%1': %2.").arg(supPath, sup.errorString());
            return QString();
        }
        QByteArray text = QByteArray::number(supRows) + ' ' + QByteArray::number(cols) + '\n';
        for (int k = 0; k < supRows; ++k) {
            const double *row = supValues.data() + std::size_t(k) * std::size_t(cols);
            for (int l = 0; l < cols; ++l) {
                appendNumber(text, row[l]);
                text.append(' ');
            }
            text.append('\n');
        }
        errno = 0;
        if (sup.write(text) != text.size() || !sup.flush()) {
            const int code = errno;
            error = QStringLiteral("Cannot write the supplementary rows '%1': %2.")
                        .arg(supPath, code ? QString::fromLocal8Bit(std::strerror(code)) : sup.errorString());
            return QString();
        }
        sup.close();
        supplementaryPath = supPath;
    }
    dir.setAutoRemove(false);
    folder = QDir().absoluteFilePath(dir.path());
    return path;
}
