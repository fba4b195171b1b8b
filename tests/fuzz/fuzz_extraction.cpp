// The extraction of a selection from a source table. The input is the
// selection (two lines of row and column indices, at least one of each),
// a "%%" line, and the source table. A successful extraction writes a table
// of exactly the selected size whose cells are those of the source.
#include "data/formats/numberscanner.h"
#include "document/tableextraction.h"
#include "fuzzsupport.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <sstream>

namespace {

QVector<int> indices(const std::string &line)
{
    QVector<int> out;
    std::istringstream in(line);
    long long v;
    while (out.size() < 64 && in >> v)
        out.append(int(v < 0 ? 0 : v > 100000 ? 100000 : v));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<std::string> part = Fuzz::parts(data, size);
    if (part.size() < 2)
        return 0;
    const std::size_t cut = part[0].find('\n');
    QProcessThread::Selection selection;
    selection.images = indices(part[0].substr(0, cut));
    selection.words = indices(cut == std::string::npos ? std::string() : part[0].substr(cut + 1));
    if (selection.images.isEmpty() || selection.words.isEmpty())
        return 0;
    selection.table = QString::fromStdString(Fuzz::put("source.txt", part[1]));

    static QThread idle; // never started: never asked to stop
    TableExtraction extraction(selection, idle);
    QString error;
    if (!extraction.read(error)) {
        Fuzz::require(!error.isEmpty(), "a failure says why");
        return 0;
    }
    const QString written = extraction.write(error);
    Fuzz::require(!written.isEmpty(), "the extract is written");

    NumberScanner in;
    Fuzz::require(in.open(QFile::encodeName(written).toStdString()), "the extract opens");
    long long n = 0, m = 0;
    Fuzz::require(in.nextInt(n) == NumberScanner::Ok && in.nextInt(m) == NumberScanner::Ok
                      && n == selection.images.size() && m == selection.words.size(),
                  "the extract has the selected size");
    double v;
    for (long long i = 0; i < n * m; ++i)
        Fuzz::require(in.nextDouble(v) == NumberScanner::Ok, "every selected cell is written");
    Fuzz::require(in.atEnd(), "nothing after them");
    in.close();
    Fuzz::require(QDir(extraction.folder).removeRecursively(), "the extract's folder goes");
    return 0;
}
