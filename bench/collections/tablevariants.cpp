// Rebuilds the images x words table of an index from its keypoint files, in
// another form, so that ways of weighing the words can be compared without
// describing the images again:
//
//   bench_table_variants INDEX_FOLDER OUTPUT_FOLDER [options]
//
//   --counts raw|sqrt|log|presence   what a count becomes (default sqrt)
//   --colour-weight F                colour columns times F (default 1)
//   --shape-layout F                 shape words also counted per quarter of
//                                    the image, those columns times F
//   --colour-quarters F              colour words too, per quarter, times F
//   --common P                       words in more than P % of the images
//                                    left out (0: none)
//   --rare P                         words in fewer than P % of the images
//                                    left out
//   --global F                       ten columns of the image as a whole (shape
//                                    of the picture, share of it drawn), F of
//                                    the row's total each
//   --global-parts a|d|ad            which of them: a the shape, d the drawn share
//   --idf                            each column times log(images / images with it)
//   --grid-weight F                  records of grid patches (upright, so with
//                                    no turn in their shape) times F
//   --joint S C F                    each keypoint's shape and colour words
//                                    together: the shape words in S groups,
//                                    the colour words in C (k-means of their
//                                    centres), S x C columns times F
//   --picture-layout F               128 columns of the picture as a whole: its
//                                    gradients in 4 x 4 cells x 8 directions,
//                                    at 64 px a side over white, F times the
//                                    row's total in all
//
// OUTPUT_FOLDER receives table.txt and a copy of images.txt, ready for
// ca.exe and bench_agreement:
//
//   build/bin/ca.exe -k 10 OUT/table.txt OUT/table.txt
//   build/bin/bench_agreement OUT 10
//
// With no option the index's own table comes back (square-root counts), so
// that the figures of a variant compare with the index's. Quarters and the
// picture's shape are read from the image files the index lists.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTextStream>

#include "data/model/sift.h"
#include "tools/imagereader.h"
#include "tools/vocabulary.h"

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Gradient histograms of the whole picture, brought to `side` pixels on
// its longer side and centred on a white square: where its strokes lie
// and which way they run. Normalised as SIFT is (unit length, values
// clipped at 0.2, unit length again), then to a sum of one.
std::vector<double> pictureLayout(const cv::Mat &grey, int side = 64, int cells = 4, int bins = 8)
{
    std::vector<double> v(size_t(cells * cells * bins), 0.0);
    if (grey.empty())
        return v;
    const double s = double(side) / std::max(grey.cols, grey.rows);
    const int w = std::max(1, int(std::lround(grey.cols * s)));
    const int h = std::max(1, int(std::lround(grey.rows * s)));
    cv::Mat small, gx, gy;
    cv::resize(grey, small, cv::Size(w, h), 0, 0, cv::INTER_AREA);
    cv::Mat canvas(side, side, CV_32F, cv::Scalar(255));
    small.convertTo(canvas(cv::Rect((side - w) / 2, (side - h) / 2, w, h)), CV_32F);
    cv::Sobel(canvas, gx, CV_32F, 1, 0, 3);
    cv::Sobel(canvas, gy, CV_32F, 0, 1, 3);
    const double cell = double(side) / cells;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const double dx = gx.at<float>(y, x), dy = gy.at<float>(y, x);
            const double m = std::hypot(dx, dy);
            if (m <= 0)
                continue;
            double t = std::atan2(dy, dx);
            if (t < 0)
                t += 2 * M_PI;
            const double b = t / (2 * M_PI) * bins, f = b - std::floor(b);
            const int b0 = int(b) % bins, b1 = (b0 + 1) % bins;
            const int cx = std::min(cells - 1, int(x / cell)), cy = std::min(cells - 1, int(y / cell));
            double *c = &v[size_t((cy * cells + cx) * bins)];
            c[b0] += m * (1 - f);
            c[b1] += m * f;
        }
    auto scale = [&v](bool clip) {
        double n = 0;
        for (double x : v)
            n += x * x;
        if (n > 0)
            for (double &x : v)
                x = clip ? std::min(x / std::sqrt(n), 0.2) : x / std::sqrt(n);
    };
    scale(true);
    scale(false);
    double sum = 0;
    for (double x : v)
        sum += x;
    if (sum > 0)
        for (double &x : v)
            x /= sum;
    return v;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QImageReader::setAllocationLimit(1024); // large clip art, read once each
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: %s INDEX_FOLDER OUTPUT_FOLDER [options]\n", argv[0]);
        return 2;
    }
    const QString in = args[1], out = args[2];
    QString counts = QStringLiteral("sqrt");
    double colourWeight = 1, shapeLayout = 0, colourQuarters = 0, common = 0, rare = 0, global = 0;
    bool idf = false;
    QString parts = QStringLiteral("ad");
    double gridWeight = 1, pictureWeight = 0, jointWeight = 0;
    int jointShape = 0, jointColour = 0;
    for (int i = 3; i < args.size(); ++i) {
        const QString a = args[i];
        const QString v = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == QLatin1String("--counts")) { counts = v; ++i; }
        else if (a == QLatin1String("--colour-weight")) { colourWeight = v.toDouble(); ++i; }
        else if (a == QLatin1String("--shape-layout")) { shapeLayout = v.toDouble(); ++i; }
        else if (a == QLatin1String("--colour-quarters")) { colourQuarters = v.toDouble(); ++i; }
        else if (a == QLatin1String("--common")) { common = v.toDouble(); ++i; }
        else if (a == QLatin1String("--idf")) idf = true;
        else if (a == QLatin1String("--global")) { global = v.toDouble(); ++i; }
        else if (a == QLatin1String("--global-parts")) { parts = v; ++i; }
        else if (a == QLatin1String("--rare")) { rare = v.toDouble(); ++i; }
        else if (a == QLatin1String("--grid-weight")) { gridWeight = v.toDouble(); ++i; }
        else if (a == QLatin1String("--picture-layout")) { pictureWeight = v.toDouble(); ++i; }
        else if (a == QLatin1String("--joint") && i + 3 < args.size()) {
            jointShape = v.toInt();
            jointColour = args[i + 2].toInt();
            jointWeight = args[i + 3].toDouble();
            i += 3;
        }
        else { std::fprintf(stderr, "unknown option %s\n", qPrintable(a)); return 2; }
    }
    auto words = [](const QString &path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        QTextStream s(&f);
        QString magic, version;
        int n = 0, d = 0;
        s >> magic >> version >> n >> d;
        return n;
    };
    const int grey = words(in + QStringLiteral("/vocabulary.txt"));
    const int colour = words(in + QStringLiteral("/vocabulary-colour.txt"));
    const int base = grey + colour;
    QFile list(in + QStringLiteral("/images.txt"));
    QFile kps(in + QStringLiteral("/keypoints.txt"));
    if (grey <= 0 || !list.open(QIODevice::ReadOnly) || !kps.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read the index in %s\n", qPrintable(in));
        return 1;
    }
    QStringList images, files;
    const QByteArray listText = list.readAll();
    for (const QByteArray &line : listText.split('\n'))
        if (!line.trimmed().isEmpty())
            images << QString::fromUtf8(line.trimmed().split(' ').value(1));
    const QList<QByteArray> kpLines = kps.readAll().split('\n');
    for (int i = 1; i < kpLines.size(); ++i)
        if (!kpLines[i].trimmed().isEmpty())
            files << QString::fromUtf8(kpLines[i].trimmed());
    const int rows = int(images.size());
    // Groups of words for the joint columns: k-means of the words' centres.
    auto groups = [&in](const QString &file, int k, std::vector<int> &of) {
        Vocabulary v;
        QString error;
        if (k <= 0 || !v.load(in + file, &error))
            return;
        cv::Mat labels, centres;
        cv::kmeans(v.centres(), k, labels, cv::TermCriteria(cv::TermCriteria::COUNT, 50, 0), 3,
                   cv::KMEANS_PP_CENTERS, centres);
        of.assign(size_t(labels.rows), 0);
        for (int r = 0; r < labels.rows; ++r)
            of[size_t(r)] = labels.at<int>(r);
    };
    std::vector<int> shapeGroup, colourGroup;
    cv::setRNGSeed(1);
    groups(QStringLiteral("/vocabulary.txt"), jointShape, shapeGroup);
    groups(QStringLiteral("/vocabulary-colour.txt"), jointColour, colourGroup);
    const int jointCols = jointWeight > 0 ? jointShape * jointColour : 0;
    const int extra = base + (shapeLayout > 0 ? 4 * grey : 0) + (colourQuarters > 0 ? 4 * colour : 0) + jointCols;
    const int jointFirst = extra - jointCols;
    const int globalCols = extra + (global > 0 ? 10 : 0);
    const int layoutCols = pictureWeight > 0 ? 128 : 0;
    const int cols = globalCols + layoutCols;
    std::vector<std::vector<double>> layouts(static_cast<size_t>(rows));
    ImageReader::Limits limits; // as the indexer's defaults read images
    limits.maxSide = 1024;
    limits.workSide = 512;
    std::vector<int> aspectBin(static_cast<size_t>(rows)), drawnBin(static_cast<size_t>(rows));
    std::vector<double> table(size_t(rows) * size_t(cols), 0.0);
    for (int r = 0; r < rows; ++r) {
        QFile f(in + QLatin1Char('/') + files[r]);
        if (!f.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray bytes = f.readAll();
        const QSize size = QImageReader(QDir(in).filePath(images[r])).size();
        if (global > 0) {
            const double aspect = double(size.width()) / std::max(1, size.height());
            aspectBin[size_t(r)] = aspect < 0.6 ? 0 : aspect < 0.9 ? 1 : aspect < 1.1 ? 2 : aspect < 1.6 ? 3 : 4;
            QImage im(QDir(in).filePath(images[r]));
            im = im.scaled(128, 128, Qt::KeepAspectRatio).convertToFormat(QImage::Format_ARGB32);
            qint64 drawn = 0, all = 0;
            for (int y = 0; y < im.height(); ++y)
                for (int x = 0; x < im.width(); ++x, ++all) {
                    const QRgb p = im.pixel(x, y);
                    drawn += qAlpha(p) >= 8 && !(qRed(p) > 245 && qGreen(p) > 245 && qBlue(p) > 245);
                }
            const double share = all ? double(drawn) / all : 0;
            drawnBin[size_t(r)] = std::min(4, int(share * 5));
        }
        if (pictureWeight > 0)
            layouts[size_t(r)] = pictureLayout(ImageReader::read(QDir(in).filePath(images[r]), limits).grey);
        double *row = table.data() + size_t(r) * size_t(cols);
        if (jointCols > 0) {
            // Record k and record count + k are one region's shape and colour.
            const qsizetype records = bytes.size() / 32;
            std::vector<Sift> all;
            for (qsizetype k = 0; k < records; ++k)
                all.push_back(Sift::fromLittleEndian(reinterpret_cast<const uchar *>(bytes.constData() + 32 * k)));
            const qsizetype count = std::count_if(all.begin(), all.end(), [grey](const Sift &x) { return x.word >= 0 && x.word < grey; });
            for (qsizetype k = 0; k < count && count + k < records; ++k) {
                const Sift &g = all[size_t(k)], &c = all[size_t(count + k)];
                if (g.word < 0 || g.word >= grey || c.word < grey || c.word >= base)
                    continue;
                row[jointFirst + shapeGroup[size_t(g.word)] * jointColour + colourGroup[size_t(c.word - grey)]] += 1;
            }
        }
        for (qsizetype k = 0; k + 32 <= bytes.size(); k += 32) {
            const Sift s = Sift::fromLittleEndian(reinterpret_cast<const uchar *>(bytes.constData() + k));
            if (s.word < 0 || s.word >= base)
                continue;
            const double one = s.a12 == 0 && s.a21 == 0 ? gridWeight : 1.0;
            row[s.word] += one;
            const int q = (s.x * 2 >= size.width() ? 1 : 0) + (s.y * 2 >= size.height() ? 2 : 0);
            if (s.word < grey && shapeLayout > 0)
                row[base + 4 * s.word + q] += one;
            if (s.word >= grey && colourQuarters > 0)
                row[base + (shapeLayout > 0 ? 4 * grey : 0) + 4 * (s.word - grey) + q] += one;
        }
    }
    std::vector<double> weight(size_t(cols), 1.0);
    for (int c = grey; c < base; ++c)
        weight[size_t(c)] = colourWeight;
    for (int c = base; c < base + (shapeLayout > 0 ? 4 * grey : 0); ++c)
        weight[size_t(c)] = shapeLayout;
    for (int c = base + (shapeLayout > 0 ? 4 * grey : 0); c < jointFirst; ++c)
        weight[size_t(c)] = colourQuarters * colourWeight;
    for (int c = jointFirst; c < extra; ++c)
        weight[size_t(c)] = jointWeight;
    if (common > 0 || rare > 0 || idf) {
        for (int c = 0; c < cols; ++c) {
            int df = 0;
            for (int r = 0; r < rows; ++r)
                df += table[size_t(r) * size_t(cols) + size_t(c)] > 0;
            if (common > 0 && df > common / 100.0 * rows)
                weight[size_t(c)] = 0;
            if (rare > 0 && df < rare / 100.0 * rows)
                weight[size_t(c)] = 0;
            if (idf && df > 0)
                weight[size_t(c)] *= std::log(double(rows) / df);
        }
    }
    if (global > 0) {
        for (int r = 0; r < rows; ++r) {
            double total = 0;
            for (int c = 0; c < extra; ++c) {
                double v = table[size_t(r) * size_t(cols) + size_t(c)];
                total += (counts == QLatin1String("sqrt") ? std::sqrt(v) : v) * weight[size_t(c)];
            }
            const double g = counts == QLatin1String("sqrt") ? std::pow(global * total, 2) : global * total;
            if (parts.contains(QLatin1Char('a')))
                table[size_t(r) * size_t(cols) + size_t(extra + aspectBin[size_t(r)])] = g;
            if (parts.contains(QLatin1Char('d')))
                table[size_t(r) * size_t(cols) + size_t(extra + 5 + drawnBin[size_t(r)])] = g;
        }
    }
    // Layout columns come after every transform, as values of their own.
    std::vector<double> layoutShare(size_t(rows) * size_t(layoutCols), 0.0);
    for (int r = 0; r < rows && pictureWeight > 0; ++r) {
        double total = 0;
        for (int c = 0; c < globalCols; ++c) {
            const double v = table[size_t(r) * size_t(cols) + size_t(c)];
            total += (counts == QLatin1String("sqrt") ? std::sqrt(v) : counts == QLatin1String("log") ? std::log1p(v)
                      : counts == QLatin1String("presence") ? double(v > 0) : v) * weight[size_t(c)];
        }
        for (int c = 0; c < layoutCols; ++c)
            layoutShare[size_t(r) * size_t(layoutCols) + size_t(c)] = pictureWeight * total * layouts[size_t(r)][size_t(c)];
    }
    QDir().mkpath(out);
    QFile t(out + QStringLiteral("/table.txt"));
    if (!t.open(QIODevice::WriteOnly))
        return 1;
    QByteArray text = QByteArray::number(rows) + ' ' + QByteArray::number(cols) + '\n';
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            if (c >= globalCols) {
                const double v = layoutShare[size_t(r) * size_t(layoutCols) + size_t(c - globalCols)];
                text += v == 0 ? QByteArray(" 0") : ' ' + QByteArray::number(v, 'g', 6);
                continue;
            }
            double v = table[size_t(r) * size_t(cols) + size_t(c)];
            if (counts == QLatin1String("sqrt")) v = std::sqrt(v);
            else if (counts == QLatin1String("log")) v = std::log1p(v);
            else if (counts == QLatin1String("presence")) v = v > 0;
            v *= weight[size_t(c)];
            if (c)
                text += ' ';
            text += v == 0 ? QByteArray("0") : QByteArray::number(v, 'g', 6);
        }
        text += '\n';
    }
    t.write(text);
    t.close();
    QFile::remove(out + QStringLiteral("/images.txt"));
    QFile::copy(in + QStringLiteral("/images.txt"), out + QStringLiteral("/images.txt"));
    return 0;
}
