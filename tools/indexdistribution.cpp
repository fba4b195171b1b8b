#include "tools/indexdistribution.h"

#include "data/communicator/cacommunicator.h"

#include <QDataStream>
#include <QIODevice>

#include <algorithm>
#include <climits>
#include <cstring>
#include <numeric>

namespace {

// Bytes of every process, cut back into the processes' pieces.
std::vector<QByteArray> gatherBytes(const CACommunicator &comm, const QByteArray &mine)
{
    std::vector<std::int64_t> sizes;
    const std::int64_t size = mine.size();
    comm.gather(&size, 1, sizes);
    std::vector<char> all;
    comm.gather(mine.constData(), std::size_t(mine.size()), all);
    std::vector<QByteArray> pieces;
    std::size_t at = 0;
    for (std::int64_t s : sizes) {
        pieces.emplace_back(all.data() + at, qsizetype(s));
        at += std::size_t(s);
    }
    return pieces;
}

} // namespace

bool IndexDistribution::lead() const
{
    return m_comm.rank() == 0;
}

int IndexDistribution::processes() const
{
    return m_comm.size();
}

bool IndexDistribution::owns(int image) const
{
    return image % m_comm.size() == m_comm.rank();
}

bool IndexDistribution::agree(bool ok, QString *error) const
{
    std::int64_t first = ok ? INT64_MAX : m_comm.rank();
    m_comm.min(&first, 1);
    if (first == INT64_MAX)
        return true;
    const std::string text = m_comm.broadcast(error ? error->toStdString() : std::string(), int(first));
    if (error)
        *error = QString::fromStdString(text);
    return false;
}

QString IndexDistribution::broadcast(const QString &text) const
{
    return QString::fromStdString(m_comm.broadcast(text.toStdString(), 0));
}

QStringList IndexDistribution::broadcast(const QStringList &list) const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << list;
    const std::string shared = m_comm.broadcast(bytes.toStdString(), 0);
    QStringList list2;
    QDataStream in(QByteArray::fromStdString(shared));
    in >> list2;
    return list2;
}

void IndexDistribution::broadcast(std::vector<int> &values) const
{
    const std::string bytes = m_comm.broadcast(
        std::string(reinterpret_cast<const char *>(values.data()), values.size() * sizeof(int)), 0);
    values.resize(bytes.size() / sizeof(int));
    std::memcpy(values.data(), bytes.data(), bytes.size());
}

void IndexDistribution::shareOwned(std::vector<int> &values) const
{
    std::vector<std::int64_t> wide(values.size(), 0);
    for (std::size_t i = 0; i < values.size(); ++i)
        if (owns(int(i)))
            wide[i] = values[i];
    m_comm.sum(wide.data(), wide.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = int(wide[i]);
}

void IndexDistribution::shareOwned(std::vector<cv::Mat> &mats) const
{
    QByteArray mine;
    QDataStream out(&mine, QIODevice::WriteOnly);
    for (std::size_t i = 0; i < mats.size(); ++i) {
        if (!owns(int(i)))
            continue;
        const cv::Mat m = mats[i].isContinuous() ? mats[i] : mats[i].clone();
        out << qint32(m.rows) << qint32(m.cols) << qint32(m.type());
        out.writeRawData(reinterpret_cast<const char *>(m.data), int(m.total() * m.elemSize()));
    }
    const std::vector<QByteArray> pieces = gatherBytes(m_comm, mine);
    for (int r = 0; r < int(pieces.size()); ++r) {
        QDataStream in(pieces[std::size_t(r)]);
        for (std::size_t i = std::size_t(r); i < mats.size(); i += std::size_t(m_comm.size())) {
            qint32 rows = 0, cols = 0, type = 0;
            in >> rows >> cols >> type;
            cv::Mat m(rows, cols, type);
            in.readRawData(reinterpret_cast<char *>(m.data), int(m.total() * m.elemSize()));
            mats[i] = m;
        }
    }
}

void IndexDistribution::shareOwned(std::vector<std::vector<int>> &lists) const
{
    std::vector<int> mine;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        if (!owns(int(i)))
            continue;
        mine.push_back(int(lists[i].size()));
        mine.insert(mine.end(), lists[i].begin(), lists[i].end());
    }
    const QByteArray bytes(reinterpret_cast<const char *>(mine.data()), qsizetype(mine.size() * sizeof(int)));
    mine = std::vector<int>();
    const std::vector<QByteArray> pieces = gatherBytes(m_comm, bytes);
    for (int r = 0; r < int(pieces.size()); ++r) {
        const int *p = reinterpret_cast<const int *>(pieces[std::size_t(r)].constData());
        for (std::size_t i = std::size_t(r); i < lists.size(); i += std::size_t(m_comm.size())) {
            const int count = *p++;
            lists[i].assign(p, p + count);
            p += count;
        }
    }
}

void IndexDistribution::shareLines(QStringList &lines, std::vector<int> &images) const
{
    QByteArray mine;
    QDataStream out(&mine, QIODevice::WriteOnly);
    out << lines << QVector<int>(images.begin(), images.end());
    const std::vector<QByteArray> pieces = gatherBytes(m_comm, mine);
    std::vector<std::pair<int, QString>> all;
    for (const QByteArray &piece : pieces) {
        QStringList l;
        QVector<int> im;
        QDataStream in(piece);
        in >> l >> im;
        for (int k = 0; k < l.size(); ++k)
            all.emplace_back(im[k], l[k]);
    }
    std::stable_sort(all.begin(), all.end(),
                     [](const std::pair<int, QString> &a, const std::pair<int, QString> &b) { return a.first < b.first; });
    lines.clear();
    images.clear();
    for (const auto &p : all) {
        images.push_back(p.first);
        lines << p.second;
    }
}

std::int64_t IndexDistribution::sum(std::int64_t value) const
{
    m_comm.sum(&value, 1);
    return value;
}
