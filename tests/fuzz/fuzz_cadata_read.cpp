// CAData::read over every file it loads. The input holds the files one
// after the other, cut by "%%" lines: axis count, Z, W, P, Q, Lambda, image
// list, keypoint-file list, categories file. A part that is absent leaves
// that file unnamed (all but Z, W and Lambda are optional). A load that
// succeeds must keep every promise the views rely on.
#include "data/model/cadata.h"
#include "data/model/console.h"
#include "fuzzsupport.h"

#include <QString>

#include <cmath>

#include <unistd.h>

namespace {

QString path(const std::string &p)
{
    return QString::fromStdString(p);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<std::string> part = Fuzz::parts(data, size);
    Console::Capture quiet;
    CAData d(true);
    d.baseDir = path(Fuzz::scratch());
    d.nbAxis = part[0].empty() ? 0 : int(std::uint8_t(part[0][0])) % 8;
    static const char *const names[] = {"z.txt", "w.txt", "p.txt", "q.txt", "lambda.txt",
                                        "labels.txt", "keys.txt", "categories.txt"};
    QString *fields[] = {&d.fileZ, &d.fileW, &d.fileP, &d.fileQ, &d.fileLambda, &d.fileLabel,
                         &d.fileDescriptor, &d.categoriesPath};
    for (int f = 0; f < 8; ++f) {
        if (std::size_t(f + 1) < part.size())
            *fields[f] = path(Fuzz::put(names[f], part[f + 1]));
        else
            ::unlink((Fuzz::scratch() + "/" + names[f]).c_str());
    }
    // Z, W and Lambda are always named: the solver is never run here.
    for (int f : {0, 1, 4})
        if (fields[f]->isEmpty())
            *fields[f] = path(Fuzz::scratch() + "/" + names[f]);

    if (!d.read())
        return 0;

    // What every view takes for granted after a successful load.
    Fuzz::require(d.nbImages >= 0 && d.nbWords >= 0, "counts are not negative");
    Fuzz::require(d.nbAxis >= 1 && d.nbAxis <= d.zCols && d.nbAxis <= d.wCols, "nbAxis within both");
    Fuzz::require(d.zCols >= 2 && d.wCols >= 2 && d.nbLambda >= 2 && d.nbLambda >= d.nbAxis,
                  "two axes and their eigenvalues");
    double sum = 0;
    for (qint64 i = 0; i < qint64(d.nbImages) * d.zCols; ++i)
        sum += d.Z[i];
    for (qint64 i = 0; i < qint64(d.nbWords) * d.wCols; ++i)
        sum += d.W[i];
    for (int i = 0; i < d.nbImages; ++i)
        sum += d.P[i];
    for (int j = 0; j < d.nbWords; ++j) {
        sum += d.Q[j];
        Fuzz::require(d.wordLabel(j) == j && d.wordSet.contains(j), "identity word labels");
    }
    for (int a = 0; a < d.nbLambda; ++a)
        sum += d.lambda[a];
    // A point counted as drawn has a place on the map and a mass.
    for (int i = 0; i < d.nbImages; ++i) {
        if (!d.drawable(i))
            continue;
        for (int a = 0; a < d.zCols; ++a)
            Fuzz::require(std::isfinite(d.Z[qint64(i) * d.zCols + a]), "drawn images have finite coordinates");
        Fuzz::require(std::isfinite(d.P[i]) && d.P[i] > 0, "drawn images have a mass");
    }
    for (int j = 0; j < d.nbWords; ++j) {
        if (!d.drawableWord(j))
            continue;
        for (int a = 0; a < d.wCols; ++a)
            Fuzz::require(std::isfinite(d.W[qint64(j) * d.wCols + a]), "drawn words have finite coordinates");
        Fuzz::require(std::isfinite(d.Q[j]) && d.Q[j] > 0, "drawn words have a mass");
    }
    for (int i = 0; i < d.nbImages; ++i) {
        if (d.labels)
            sum += d.labels[i].category + d.getImageName(i).size() + d.categoryName(d.labels[i].category).size();
        if (d.descriptors)
            sum += d.descriptors[i].size();
        sum += d.distance(i, d.nbImages - 1 - i);
    }
    // Touching every value lets the sanitizer see any read outside an array.
    static volatile double sink;
    sink = sum;
    return 0;
}
