// Names the words and groups of identical images that take more than a
// quarter of one of the first three axes of a solved index, as a solved
// indexing run reports them, and the largest word share of axis 1.
//
//   bench_axis_shares INDEX_FOLDER
#include "tools/axisreport.h"
#include "tools/featureextractor.h"
#include "tools/indexer.h"
#include "tools/indexwriter.h"
#include "tools/vocabulary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_axis_shares INDEX_FOLDER\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    QString error;
    Vocabulary grey, colour;
    if (!grey.load(dir.filePath(IndexWriter::vocabularyName), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QString colourPath = IndexWriter::colourVocabularyPath(dir.filePath(IndexWriter::vocabularyName));
    if (QFileInfo::exists(colourPath) && !colour.load(colourPath, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QStringList names;
    QFile list(dir.filePath(IndexWriter::imageListName));
    if (list.open(QIODevice::ReadOnly))
        for (const QByteArray &line : list.readAll().split('\n'))
            if (!line.isEmpty())
                names << QString::fromUtf8(line.mid(line.indexOf(' ') + 1));
    const QString table = dir.filePath(IndexWriter::tableName);
    // Every share, so that the largest on axis 1 is known even below 25 %.
    AxisReport all;
    if (!all.compute(table, Indexer::axesReported, 0.0, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    auto wordName = [&](int j) {
        if (j < grey.size())
            return QStringLiteral("word %1").arg(j);
        const cv::Mat &c = colour.centres();
        const int r = j - grey.size();
        double lab[3] = {0, 0, 0};
        for (int q = 0; q < 4 && r < c.rows; ++q)
            for (int k = 0; k < 3; ++k)
                lab[k] += c.at<float>(r, 3 * q + k) / 4;
        return QStringLiteral("colour word %1 (%2)").arg(j).arg(AxisReport::colourName(lab[0], lab[1], lab[2]));
    };
    auto rowName = [&](int r) { return r < names.size() ? names[r] : QString::number(r); };
    double top = 0;
    QString topName;
    for (const AxisReport::Share &s : all.shares())
        if (s.axis == 0 && s.word >= 0 && s.share > top) {
            top = s.share;
            topName = wordName(s.word);
        }
    std::printf("largest word share of axis 1: %.1f %% (%s)\n", 100 * top, qPrintable(topName));
    AxisReport named;
    named.compute(table, Indexer::axesReported, Indexer::shareReported, &error);
    for (const QString &line : named.lines(wordName, rowName))
        std::printf("%s\n", qPrintable(line));
    return 0;
}
