#ifndef INDEXDISTRIBUTION_H
#define INDEXDISTRIBUTION_H

#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

class CACommunicator;

// How an indexing run is shared among the processes of an MPI job: image i
// belongs to process i mod N, which describes it, writes its keypoint file
// and finds its words; what the others need of it is exchanged here. The
// first process (the lead) writes the lists, the table and the project.
// Every operation is collective.
class IndexDistribution
{
public:
    explicit IndexDistribution(const CACommunicator &comm) : m_comm(comm) {}

    bool lead() const;
    int processes() const;
    bool owns(int image) const;

    // True everywhere when `ok` everywhere; otherwise false everywhere, with
    // the error of the first process that failed.
    bool agree(bool ok, QString *error) const;
    QString broadcast(const QString &text) const;
    QStringList broadcast(const QStringList &list) const;
    // The lead's values everywhere.
    void broadcast(std::vector<int> &values) const;

    // Every image's entry from its owner (owned entries only are read).
    void shareOwned(std::vector<int> &values) const;
    void shareOwned(std::vector<cv::Mat> &mats) const;
    void shareOwned(std::vector<std::vector<int>> &lists) const;

    // Lines recorded for images, each with its image: everybody's, in image
    // order (then in the order each process recorded them).
    void shareLines(QStringList &lines, std::vector<int> &images) const;

    // The sum over the processes.
    std::int64_t sum(std::int64_t value) const;

private:
    const CACommunicator &m_comm;
};

#endif // INDEXDISTRIBUTION_H
