#ifndef VOCABULARY_H
#define VOCABULARY_H

#include <QString>

#include <opencv2/core.hpp>

#include <memory>
#include <vector>

namespace cv { namespace flann { class Index; } }

class CACommunicator;

// The visual words: k-means centres of SIFT descriptors, one row per word.
// Word j of the vocabulary is column j of the contingency table.
class Vocabulary
{
public:
    // Runs seeded k-means++ and Lloyd rounds (KMeans) on at most
    // `sampleSize` descriptors drawn from the rows of `descriptors`. Same
    // input and seed, same words. With `comm`, every process of it holds
    // the same `descriptors` and shares the rounds, and the words are still
    // those of a single process.
    bool build(const std::vector<cv::Mat> &descriptors, int words, quint32 seed,
               int sampleSize, QString *error, const CACommunicator *comm = nullptr);

    // Text file: the line "ortelis-vocabulary 1", then "words dimension",
    // then one centre per line. Saved through a temporary name.
    bool load(const QString &path, QString *error);
    bool save(const QString &path, QString *error) const;

    // Nearest word (Euclidean) of each descriptor row. Exact unless
    // prepareSearch() was called; either way the same descriptors always
    // get the same words. Thread-safe once prepared.
    void assign(const cv::Mat &descriptors, std::vector<int> &words) const;
    // The `k` nearest words of each descriptor row (exact search), nearest
    // first: row i's are words[k i .. k i + k - 1], with their squared
    // distances.
    void assignNearest(const cv::Mat &descriptors, int k, std::vector<int> &words,
                       std::vector<float> &distances) const;

    // Builds a search tree over the words (randomised k-d trees, seeded,
    // so the same words give the same tree) for assign(): a few hundred
    // distance computations per descriptor instead of one per word. Call
    // before assigning from several threads. `checks` bounds the leaves
    // looked at; 0 keeps the exact search.
    void prepareSearch(int checks);

    // At most `keep` rows of one image's descriptors, chosen by a generator
    // seeded from `seed` and the image's number, in their own order: the
    // vocabulary's sample is the same whichever worker described the image.
    static cv::Mat sampleRows(const cv::Mat &descriptors, int image, int keep, quint32 seed);

    // Default sample: k-means costs samples x words x iterations, and 25
    // descriptors per word already place the centres well.
    static constexpr int samplesPerWord = 25;
    // The largest vocabulary read: the indexer's most words, and values per
    // word well beyond its descriptors (128 for SIFT, fewer for colour).
    static constexpr int maxWords = 65536;
    static constexpr int maxValues = 1024;

    int size() const { return m_centres.rows; }
    int dimension() const { return m_centres.cols; }
    const cv::Mat &centres() const { return m_centres; }
    void setCentres(const cv::Mat &centres) { m_centres = centres; m_search.reset(); }

private:
    cv::Mat m_centres; // CV_32F, words x dimension
    std::shared_ptr<cv::flann::Index> m_search;
    int m_checks = 0;
};

#endif // VOCABULARY_H
