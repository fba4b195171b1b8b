// The supplementary images of an indexing run: those a passive list names,
// marked before they are described, and the rows of all of them, made once
// their words are known.
#include "tools/indexer.h"

#include "tools/imagecollection.h"
#include "tools/indexrun.h"
#include "tools/indexwriter.h"
#include "tools/supplementaryrows.h"

#include "data/formats/regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <cstdio>

void Indexer::supplementaryRows(IndexRun &r, int cols, SupplementaryRows &sup)
{
    const QVector<ImageEntry> &entries = r.collection->entries();
    sup.cols = cols;
    for (int i = 0; i < r.n; ++i) {
        if (!IndexRun::supplementary(r.status[size_t(i)]))
            continue;
        const std::vector<int> &words = r.rowWords[size_t(i)];
        if (words.empty()) {
            // No word, no profile: there is nothing to place it by.
            ++m_summary.notPlaced;
            skip(nullptr, QStringLiteral("no profile"), entries[i].path,
                 QStringLiteral("no word in its description, so nothing to place it by"), i);
            continue;
        }
        sup.counts.resize(size_t(sup.rows + 1) * size_t(cols), 0);
        int *row = sup.counts.data() + size_t(sup.rows) * size_t(cols);
        for (int word : words)
            ++row[word];
        const int category = entries[i].category;
        sup.categories.push_back(category >= 0 && size_t(category) < r.categoryNumbers.size()
                                     ? r.categoryNumbers[size_t(category)]
                                     : category);
        sup.names << r.names[i];
        sup.keypointFiles << IndexWriter::supKeypointFileName(r.fileOffset + i);
        if (r.adding) // the images added are the run's whole work
            m_summary.keypoints += qint64(words.size()) / (m_options.softWords > 1 ? softVotes : 1);
        ++sup.rows;
    }
    m_summary.supplementary = sup.rows;
}

bool Indexer::markPassive(IndexRun &r, QString *error)
{
    const QVector<ImageEntry> &entries = r.collection->entries();
    r.passive.assign(size_t(r.n), false);
    if (m_options.passive.isEmpty())
        return true;
    QFile file(m_options.passive);
    QString why;
    if (!RegularFile::open(file, &why)) {
        *error = QStringLiteral("cannot open the list of passive images '%1': %2").arg(m_options.passive, why);
        return false;
    }
    // Images are matched by the file they are, whatever path leads there.
    QHash<QString, int> byFile;
    for (int i = 0; i < r.n; ++i)
        byFile.insert(QFileInfo(entries[i].path).canonicalFilePath(), i);
    const QDir base = QFileInfo(m_options.passive).absoluteDir();
    static const QRegularExpression categoryThenPath(QStringLiteral("^-?\\d+\\s+(\\S.*)$"));
    int lineNumber = 0, marked = 0;
    QString line;
    while (ImageCollection::nextListLine(file, m_options.passive, &line, &lineNumber, error)) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        // A path alone, or "category path" as in a list file.
        QString path = line;
        const QRegularExpressionMatch m = categoryThenPath.match(line);
        if (m.hasMatch() && !QFileInfo::exists(base.absoluteFilePath(line)))
            path = m.captured(1);
        const QString canonical = QFileInfo(base.absoluteFilePath(path)).canonicalFilePath();
        const auto found = byFile.constFind(canonical);
        if (canonical.isEmpty() || found == byFile.constEnd()) {
            if (r.lead)
                report(nullptr, QStringLiteral("%1:%2: '%3' is not among the images to index; it is passed over")
                                    .arg(m_options.passive).arg(lineNumber).arg(path));
            continue;
        }
        if (!r.passive[size_t(*found)])
            ++marked;
        r.passive[size_t(*found)] = true;
    }
    if (!error->isEmpty())
        return false;
    if (!m_options.quiet && r.lead)
        std::printf("%d images of '%s' are passive: indexed as supplementary images\n", marked,
                    qPrintable(m_options.passive));
    return true;
}
