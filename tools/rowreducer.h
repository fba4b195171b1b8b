#ifndef ROWREDUCER_H
#define ROWREDUCER_H

#include <QSize>

#include <opencv2/core.hpp>

#include <vector>

// Shrinks an image that arrives one row at a time, so that it never exists
// at full size: rows are averaged in boxes of b x b pixels as they come (b
// the largest whole factor that keeps at least the target size), and the
// small result is brought to the exact target size at the end. Rows are BGR
// (3 channels) or BGR with premultiplied alpha (4), averaged alike.
class RowReducer
{
public:
    // `width` x `height` rows of `channels` bytes a pixel will come;
    // `target` is the size wanted.
    void start(int width, int height, const QSize &target, int channels = 3);
    void addRow(const unsigned char *pixels);
    // The image at the target size (CV_8UC3, or CV_8UC4).
    cv::Mat finish();

    int factor() const { return m_box; }

private:
    void emitRow();

    int m_width = 0, m_height = 0, m_box = 1, m_channels = 3;
    QSize m_target;
    int m_rowsIn = 0;     // rows of the current box so far
    int m_rowsOut = 0;
    std::vector<unsigned> m_sum; // per reduced column and channel
    cv::Mat m_reduced;
};

#endif // ROWREDUCER_H
