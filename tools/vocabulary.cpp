#include "tools/vocabulary.h"

#include "tools/indexwriter.h"

#include "data/formats/regularfile.h"

#include "data/communicator/calocalcommunicator.h"
#include "tools/kmeans.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <opencv2/core.hpp>
#include <opencv2/flann.hpp>

#include <algorithm>
#include <cmath>
#include <random>

namespace {
const char magic[] = "ortelis-vocabulary 1";
}

bool Vocabulary::build(const std::vector<cv::Mat> &descriptors, int words, quint32 seed,
                       int sampleSize, QString *error, const CACommunicator *comm)
{
    // Flat index (image, row) of every descriptor.
    std::vector<std::pair<int, int>> all;
    int dimension = 0;
    for (size_t i = 0; i < descriptors.size(); ++i) {
        if (descriptors[i].empty())
            continue;
        dimension = descriptors[i].cols;
        for (int r = 0; r < descriptors[i].rows; ++r)
            all.emplace_back(int(i), r);
    }
    if (words < 1) {
        *error = QStringLiteral("the vocabulary needs at least one word");
        return false;
    }
    if (int(all.size()) < words) {
        *error = QStringLiteral("only %1 keypoints were found, fewer than the %2 words asked for; "
                                "choose fewer words (--words)")
                     .arg(all.size()).arg(words);
        return false;
    }

    // A seeded partial Fisher-Yates shuffle picks the sample; mt19937 is the
    // same everywhere, and the draw below avoids the library's distributions,
    // whose results differ between implementations.
    if (sampleSize <= 0)
        sampleSize = words * samplesPerWord;
    sampleSize = std::max(sampleSize, words);
    std::mt19937 rng(seed);
    const size_t n = std::min(all.size(), size_t(sampleSize));
    for (size_t i = 0; i < n && n < all.size(); ++i) {
        const size_t span = all.size() - i;
        const size_t j = i + size_t((quint64(rng()) * span) >> 32);
        std::swap(all[i], all[j]);
    }
    // Sampled rows in collection order, so that only the choice is random.
    std::sort(all.begin(), all.begin() + long(n));

    cv::Mat sample(int(n), dimension, CV_32F);
    for (size_t i = 0; i < n; ++i)
        descriptors[size_t(all[i].first)].row(all[i].second).convertTo(sample.row(int(i)), CV_32F);

    // Twenty rounds place the centres well; more rarely change a word.
    cv::Mat centres;
    const CALocalCommunicator alone;
    if (!KMeans::run(sample, words, seed, 20, comm ? *comm : static_cast<const CACommunicator &>(alone), centres,
                     error))
        return false;
    m_centres = centres;
    return true;
}

cv::Mat Vocabulary::sampleRows(const cv::Mat &descriptors, int image, int keep, quint32 seed)
{
    if (descriptors.rows <= keep)
        return descriptors.clone();
    std::mt19937 rng(seed * 2654435761u + quint32(image) * 40503u + 1u);
    std::vector<int> rows(size_t(descriptors.rows));
    for (int i = 0; i < descriptors.rows; ++i)
        rows[size_t(i)] = i;
    for (int i = 0; i < keep; ++i) {
        const size_t span = rows.size() - size_t(i);
        const size_t j = size_t(i) + size_t((quint64(rng()) * span) >> 32);
        std::swap(rows[size_t(i)], rows[j]);
    }
    std::sort(rows.begin(), rows.begin() + keep);
    cv::Mat out(keep, descriptors.cols, descriptors.type());
    for (int i = 0; i < keep; ++i)
        descriptors.row(rows[size_t(i)]).copyTo(out.row(i));
    return out;
}

void Vocabulary::prepareSearch(int checks)
{
    m_search.reset();
    m_checks = checks;
    if (checks <= 0 || m_centres.rows < 64)
        return;
    // The trees' random splits come from the C library's generator.
    cvflann::seed_random(12345);
    m_search = std::make_shared<cv::flann::Index>(m_centres, cv::flann::KDTreeIndexParams(4),
                                                  cvflann::FLANN_DIST_L2);
}

void Vocabulary::assign(const cv::Mat &descriptors, std::vector<int> &words) const
{
    words.assign(size_t(descriptors.rows), -1);
    if (descriptors.empty() || m_centres.empty())
        return;
    cv::Mat query;
    descriptors.convertTo(query, CV_32F);
    if (m_search) {
        cv::Mat indices, dists;
        m_search->knnSearch(query, indices, dists, 1, cv::flann::SearchParams(m_checks));
        for (int i = 0; i < descriptors.rows; ++i)
            words[size_t(i)] = indices.at<int>(i, 0);
        return;
    }
    cv::Mat dist, nearest;
    cv::batchDistance(query, m_centres, dist, CV_32F, nearest, cv::NORM_L2SQR, 1);
    for (int i = 0; i < descriptors.rows; ++i)
        words[size_t(i)] = nearest.at<int>(i, 0);
}

void Vocabulary::assignNearest(const cv::Mat &descriptors, int k, std::vector<int> &words,
                               std::vector<float> &distances) const
{
    k = std::max(1, std::min(k, m_centres.rows));
    words.assign(size_t(descriptors.rows) * size_t(k), -1);
    distances.assign(words.size(), 0.0f);
    if (descriptors.empty() || m_centres.empty())
        return;
    cv::Mat query;
    descriptors.convertTo(query, CV_32F);
    if (m_search) {
        cv::Mat indices, dists;
        m_search->knnSearch(query, indices, dists, k, cv::flann::SearchParams(m_checks));
        for (int i = 0; i < descriptors.rows; ++i)
            for (int j = 0; j < k; ++j) {
                words[size_t(i) * size_t(k) + size_t(j)] = indices.at<int>(i, j);
                distances[size_t(i) * size_t(k) + size_t(j)] = dists.at<float>(i, j);
            }
        return;
    }
    cv::Mat dist, nearest;
    cv::batchDistance(query, m_centres, dist, CV_32F, nearest, cv::NORM_L2SQR, k);
    for (int i = 0; i < descriptors.rows; ++i)
        for (int j = 0; j < k; ++j) {
            words[size_t(i) * size_t(k) + size_t(j)] = nearest.at<int>(i, j);
            distances[size_t(i) * size_t(k) + size_t(j)] = dist.at<float>(i, j);
        }
}

bool Vocabulary::save(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot write '%1': %2")
                     .arg(path, IndexWriter::writeFailure(QFileInfo(path).absolutePath(), file.errorString()));
        return false;
    }
    QByteArray text;
    text.reserve(m_centres.rows * m_centres.cols * 10 + 64);
    text += magic;
    text += '\n';
    text += QByteArray::number(m_centres.rows) + ' ' + QByteArray::number(m_centres.cols) + '\n';
    for (int r = 0; r < m_centres.rows; ++r) {
        const float *row = m_centres.ptr<float>(r);
        for (int c = 0; c < m_centres.cols; ++c) {
            if (c)
                text += ' ';
            // Nine significant digits bring a float back bit for bit.
            text += QByteArray::number(double(row[c]), 'g', 9);
        }
        text += '\n';
    }
    // QSaveFile::commit() does not see a failure of the final flush (a full
    // disk), so the flush is checked here before the file takes its name.
    if (file.write(text) != text.size() || !file.flush() || !file.commit()) {
        *error = QStringLiteral("cannot write '%1': %2")
                     .arg(path, IndexWriter::writeFailure(QFileInfo(path).absolutePath(), file.errorString()));
        return false;
    }
    return true;
}

bool Vocabulary::load(const QString &path, QString *error)
{
    QFile file(path);
    QString why;
    if (!RegularFile::open(file, &why)) {
        *error = QStringLiteral("cannot open the vocabulary '%1': %2").arg(path, why);
        return false;
    }
    // Read by its header: the words and values it announces bound what is
    // read, so a file padded or replaced by gigabytes is refused, not read
    // whole.
    const QByteArray first = file.readLine(64).trimmed();
    if (first != magic) {
        *error = QStringLiteral("'%1' is not a vocabulary file (its first line is not \"%2\")")
                     .arg(path, QLatin1String(magic));
        return false;
    }
    const QList<QByteArray> header = file.readLine(64).simplified().split(' ');
    bool okRows = false, okCols = false;
    const int rows = header.size() == 2 ? header[0].toInt(&okRows) : 0;
    const int cols = header.size() == 2 ? header[1].toInt(&okCols) : 0;
    if (!okRows || !okCols || rows < 1 || cols < 1) {
        *error = QStringLiteral("'%1': bad header, expected the word count and the descriptor size")
                     .arg(path);
        return false;
    }
    if (rows > maxWords || cols > maxValues) {
        *error = QStringLiteral("'%1': %2 words of %3 values announced, more than a vocabulary has (at most %4 "
                                "words of %5 values)")
                     .arg(path).arg(rows).arg(cols).arg(maxWords).arg(maxValues);
        return false;
    }
    // A value is written in at most 15 characters and a blank.
    const qint64 values = qint64(rows) * cols;
    if (file.size() > file.pos() + values * 32 + 1024) {
        *error = QStringLiteral("'%1': %2 bytes, more than %3 words of %4 values can take")
                     .arg(path).arg(file.size()).arg(rows).arg(cols);
        return false;
    }
    cv::Mat centres(rows, cols, CV_32F);
    float *out = centres.ptr<float>(0);
    qint64 got = 0;
    int line = 3, beyond = 0;
    QByteArray token;
    auto take = [&]() {
        if (token.isEmpty())
            return true;
        if (got >= values) {
            // Counted, not kept (the size check bounds them): the message
            // says how many there are and where they start.
            if (beyond == 0)
                beyond = line;
            ++got;
            token.clear();
            return true;
        }
        bool ok = false;
        const float v = token.toFloat(&ok);
        if (!ok || !std::isfinite(v)) {
            *error = QStringLiteral("'%1': word %2, value %3 is not a number: \"%4\"")
                         .arg(path).arg(got / cols).arg(got % cols).arg(QString::fromLatin1(token.left(64)));
            return false;
        }
        out[got++] = v;
        token.clear();
        return true;
    };
    char chunk[64 * 1024];
    for (;;) {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n < 0) {
            *error = QStringLiteral("cannot read the vocabulary '%1': %2").arg(path, file.errorString());
            return false;
        }
        if (n == 0)
            break;
        for (qint64 i = 0; i < n; ++i) {
            const char c = chunk[i];
            if (c == ' ' || c == '\n' || c == '\t' || c == '\r') {
                if (!take())
                    return false;
                if (c == '\n')
                    ++line;
            } else if (token.size() < 64) {
                token += c;
            } else {
                *error = QStringLiteral("'%1':%2: not a number of a vocabulary (longer than 64 characters)")
                             .arg(path).arg(line);
                return false;
            }
        }
    }
    if (!take())
        return false;
    if (got != values) {
        *error = QStringLiteral("'%1'%5: %2 words of %3 values announced, %4 values found")
                     .arg(path).arg(rows).arg(cols).arg(got)
                     .arg(beyond ? QStringLiteral(":%1").arg(beyond) : QString());
        return false;
    }
    m_centres = centres;
    return true;
}
