#include "tools/indexatlas.h"

#include "data/model/imagefile.h"
#include "data/formats/regularfile.h"
#include "data/model/sift.h"
#include "data/formats/wordatlas.h"
#include "data/model/wordatlasbuilder.h"
#include "tools/vocabulary.h"

#include <QFile>
#include <QPainter>

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace {

// The records of a staged keypoint file; none when it cannot be read whole.
QList<Sift> readKeypoints(const QString &path)
{
    QList<Sift> out;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return out;
    const qint64 size = file.size();
    if (size % qint64(sizeof(Sift)) != 0 || size > kMaxKeypointFileBytes)
        return out;
    const QByteArray bytes = file.readAll();
    if (bytes.size() != size)
        return out;
    const uchar *p = reinterpret_cast<const uchar *>(bytes.constData());
    out.reserve(int(size / qint64(sizeof(Sift))));
    for (qint64 i = 0; i < size / qint64(sizeof(Sift)); ++i, p += sizeof(Sift))
        out.append(Sift::fromLittleEndian(p));
    return out;
}

} // namespace

std::vector<unsigned> IndexAtlas::swatchColours(const Vocabulary &colour, int word)
{
    std::vector<unsigned> out;
    if (word < 0 || word >= colour.size() || colour.dimension() < 3)
        return out;
    const int quarters = std::min(4, colour.dimension() / 3);
    cv::Mat lab(1, quarters, CV_8UC3);
    for (int q = 0; q < quarters; ++q)
        for (int c = 0; c < 3; ++c)
            lab.at<cv::Vec3b>(0, q)[c] = cv::saturate_cast<uchar>(colour.centres().at<float>(word, 3 * q + c));
    cv::Mat bgr;
    cv::cvtColor(lab, bgr, cv::COLOR_Lab2BGR);
    for (int q = 0; q < quarters; ++q) {
        const cv::Vec3b v = bgr.at<cv::Vec3b>(0, q);
        out.push_back(qRgb(v[2], v[1], v[0]));
    }
    return out;
}

bool IndexAtlas::write(const QString &path, const QStringList &keypointFiles, const QStringList &images,
                       int greyWords, const Vocabulary &colour, QString *error)
{
    WordAtlasBuilder builder;
    WordAtlasBuilder::Source source;
    source.images = int(std::min(keypointFiles.size(), images.size()));
    source.words = greyWords + colour.size();
    source.keypoints = [&keypointFiles](int image) { return readKeypoints(keypointFiles[image]); };
    source.picture = [&images](int image) { return ImageFile::read(images[image]); };
    QMap<int, QImage> mosaics;
    if (source.images > 0 && !builder.build(source, mosaics, error))
        return false;
    // A colour word's patches show where it was found; its swatch shows the
    // colour itself, quarter by quarter as the descriptor measures it.
    const int rows = (builder.patches + builder.columns - 1) / builder.columns;
    const int cell = builder.patchSize;
    const int x0 = (builder.columns - 1) * (cell + 1), y0 = (rows - 1) * (cell + 1);
    for (auto it = mosaics.begin(); it != mosaics.end(); ++it) {
        const std::vector<unsigned> swatch = swatchColours(colour, it.key() - greyWords);
        if (it.key() < greyWords || swatch.empty())
            continue;
        QPainter painter(&it.value());
        const int half = cell / 2;
        for (size_t q = 0; q < swatch.size(); ++q)
            painter.fillRect(x0 + int(q % 2) * half, y0 + int(q / 2) * half, q % 2 ? cell - half : half,
                             q / 2 ? cell - half : half, QColor::fromRgb(swatch[q]));
    }
    return WordAtlas::write(path, mosaics, error);
}
