// The vocabulary's k-means: it finds well-separated groups, gives the same
// centres for the same sample and seed, and copes with fewer distinct rows
// than words.
#include "data/communicator/calocalcommunicator.h"
#include "tools/kmeans.h"

#include <QtTest>

#include <random>

class TestKMeans : public QObject
{
    Q_OBJECT
private slots:
    void findsSeparatedGroups();
    void repeatsItself();
    void fewDistinctRows();
};

namespace {

// `groups` blobs of `per` rows around far apart means (group g: 100 g in
// every coordinate), spread by at most 1.
cv::Mat blobs(int groups, int per, int dimension, unsigned seed)
{
    std::mt19937 rng(seed);
    cv::Mat m(groups * per, dimension, CV_32F);
    for (int g = 0; g < groups; ++g)
        for (int i = 0; i < per; ++i)
            for (int j = 0; j < dimension; ++j)
                m.at<float>(g * per + i, j) = float(100 * g) + float(rng() % 1000) / 1000.0f - 0.5f;
    return m;
}

} // namespace

void TestKMeans::findsSeparatedGroups()
{
    const cv::Mat sample = blobs(4, 50, 16, 3);
    cv::Mat centres;
    QString error;
    QVERIFY2(KMeans::run(sample, 4, 7, 20, CALocalCommunicator(), centres, &error), qPrintable(error));
    QCOMPARE(centres.rows, 4);
    QCOMPARE(centres.cols, 16);
    // Each group's mean is a centre (in some order).
    std::vector<bool> found(4, false);
    for (int c = 0; c < 4; ++c) {
        const int g = int(std::lround(centres.at<float>(c, 0) / 100.0f));
        QVERIFY(g >= 0 && g < 4);
        found[size_t(g)] = true;
        for (int j = 0; j < 16; ++j)
            QVERIFY(std::abs(centres.at<float>(c, j) - 100.0f * g) < 0.2f);
    }
    QVERIFY(std::all_of(found.begin(), found.end(), [](bool f) { return f; }));
}

void TestKMeans::repeatsItself()
{
    const cv::Mat sample = blobs(6, 40, 32, 5) + blobs(1, 240, 32, 9) * 0.3;
    cv::Mat a, b, c;
    QString error;
    QVERIFY(KMeans::run(sample, 10, 1, 20, CALocalCommunicator(), a, &error));
    QVERIFY(KMeans::run(sample, 10, 1, 20, CALocalCommunicator(), b, &error));
    QVERIFY(KMeans::run(sample, 10, 2, 20, CALocalCommunicator(), c, &error));
    QCOMPARE(cv::norm(a, b, cv::NORM_INF), 0.0);
    QVERIFY(cv::norm(a, c, cv::NORM_INF) > 0);
}

void TestKMeans::fewDistinctRows()
{
    cv::Mat sample(30, 4, CV_32F, cv::Scalar(2.0f));
    sample.rowRange(0, 10).setTo(cv::Scalar(7.0f));
    cv::Mat centres;
    QString error;
    QVERIFY(KMeans::run(sample, 5, 3, 20, CALocalCommunicator(), centres, &error));
    QCOMPARE(centres.rows, 5);
    for (int c = 0; c < 5; ++c)
        QVERIFY(centres.at<float>(c, 0) == 2.0f || centres.at<float>(c, 0) == 7.0f);
    // Fewer rows than words is refused.
    QVERIFY(!KMeans::run(sample.rowRange(0, 3), 5, 3, 20, CALocalCommunicator(), centres, &error));
    QVERIFY(error.contains("at least as many"));
}

QTEST_GUILESS_MAIN(TestKMeans)
#include "tst_kmeans.moc"
