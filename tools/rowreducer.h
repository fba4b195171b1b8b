#ifndef ROWREDUCER_H
#define ROWREDUCER_H

#include <QSize>

#include <opencv2/core.hpp>

#include <vector>

// Shrinks a colour image that arrives one row at a time, so that it never
// exists at full size: rows are averaged in boxes of b x b pixels as they
// come (b the largest whole factor that keeps at least the target size), and
// the small result is brought to the exact target size at the end.
class RowReducer
{
public:
    // `width` x `height` BGR rows will come; `target` is the size wanted.
    void start(int width, int height, const QSize &target);
    void addRow(const unsigned char *bgr);
    // The image at the target size (CV_8UC3).
    cv::Mat finish();

    int factor() const { return m_box; }

private:
    void emitRow();

    int m_width = 0, m_height = 0, m_box = 1;
    QSize m_target;
    int m_rowsIn = 0;     // rows of the current box so far
    int m_rowsOut = 0;
    std::vector<unsigned> m_sum; // per reduced column and channel
    cv::Mat m_reduced;
};

#endif // ROWREDUCER_H
