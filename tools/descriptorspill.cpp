#include "tools/descriptorspill.h"

#include "tools/indexwriter.h"

#include <QFile>

namespace {

bool writeMat(QFile &file, const cv::Mat &m)
{
    const qint32 header[2] = {m.rows, m.cols};
    if (file.write(reinterpret_cast<const char *>(header), sizeof header) != qint64(sizeof header))
        return false;
    for (int r = 0; r < m.rows; ++r) {
        const qint64 bytes = qint64(m.cols);
        if (file.write(reinterpret_cast<const char *>(m.ptr<uchar>(r)), bytes) != bytes)
            return false;
    }
    return true;
}

bool readMat(QFile &file, cv::Mat &m)
{
    qint32 header[2] = {0, 0};
    if (file.read(reinterpret_cast<char *>(header), sizeof header) != qint64(sizeof header)
        || header[0] < 0 || header[1] < 0)
        return false;
    m.create(header[0], header[1], CV_8U);
    const qint64 bytes = qint64(header[0]) * header[1];
    return m.empty() || file.read(reinterpret_cast<char *>(m.data), bytes) == bytes;
}

} // namespace

QString DescriptorSpill::path(int image) const
{
    return QStringLiteral("%1/%2.bin").arg(m_folder).arg(image, 6, 10, QLatin1Char('0'));
}

bool DescriptorSpill::write(int image, const std::vector<Sift> &keypoints, const cv::Mat &grey,
                            const cv::Mat &colour, QString *error) const
{
    cv::Mat records(int(keypoints.size()), 32, CV_8U);
    for (size_t i = 0; i < keypoints.size(); ++i)
        keypoints[i].toLittleEndian(records.ptr<uchar>(int(i)));
    QFile file(path(image));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !writeMat(file, records)
        || !writeMat(file, grey)
        || !writeMat(file, colour) || !file.flush()) {
        *error = QStringLiteral("cannot write '%1': %2")
                     .arg(file.fileName(), IndexWriter::writeFailure(m_folder, file.errorString()));
        return false;
    }
    return true;
}

bool DescriptorSpill::take(int image, std::vector<Sift> &keypoints, cv::Mat &grey,
                           cv::Mat &colour, QString *error) const
{
    QFile file(path(image));
    cv::Mat records;
    if (!file.open(QIODevice::ReadOnly) || !readMat(file, records) || !readMat(file, grey)
        || !readMat(file, colour) || (records.rows && records.cols != 32)) {
        *error = QStringLiteral("cannot read back '%1': %2").arg(file.fileName(), file.errorString());
        return false;
    }
    keypoints.resize(size_t(records.rows));
    for (int i = 0; i < records.rows; ++i)
        keypoints[size_t(i)] = Sift::fromLittleEndian(records.ptr<uchar>(i));
    file.remove();
    return true;
}
