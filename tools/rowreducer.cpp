#include "tools/rowreducer.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

void RowReducer::start(int width, int height, const QSize &target, int channels)
{
    m_channels = channels;
    m_width = width;
    m_height = height;
    m_target = target;
    m_box = std::max(1, std::min(width / std::max(1, target.width()),
                                 height / std::max(1, target.height())));
    const int rw = (width + m_box - 1) / m_box, rh = (height + m_box - 1) / m_box;
    m_reduced.create(rh, rw, CV_8UC(channels));
    m_sum.assign(size_t(rw) * size_t(channels), 0);
    m_rowsIn = 0;
    m_rowsOut = 0;
}

void RowReducer::addRow(const unsigned char *bgr)
{
    if (m_rowsOut >= m_reduced.rows)
        return;
    const int ch = m_channels;
    if (m_box == 1) {
        std::copy(bgr, bgr + size_t(m_width) * size_t(ch), m_reduced.ptr<unsigned char>(m_rowsOut++));
        return;
    }
    unsigned *sum = m_sum.data();
    for (int x = 0; x < m_width; ++x) {
        unsigned *s = sum + size_t(x / m_box) * size_t(ch);
        const unsigned char *p = bgr + size_t(x) * size_t(ch);
        for (int k = 0; k < ch; ++k)
            s[k] += p[k];
    }
    if (++m_rowsIn == m_box)
        emitRow();
}

void RowReducer::emitRow()
{
    unsigned char *out = m_reduced.ptr<unsigned char>(m_rowsOut++);
    for (int c = 0; c < m_reduced.cols; ++c) {
        // The last box of a row or column may be cut short by the border.
        const unsigned cols = unsigned(std::min(m_box, m_width - c * m_box));
        const unsigned n = cols * unsigned(m_rowsIn);
        for (int k = 0; k < m_channels; ++k) {
            const size_t i = size_t(c) * size_t(m_channels) + size_t(k);
            out[i] = (unsigned char)((m_sum[i] + n / 2) / n);
            m_sum[i] = 0;
        }
    }
    m_rowsIn = 0;
}

cv::Mat RowReducer::finish()
{
    if (m_box > 1 && m_rowsIn > 0)
        emitRow();
    // Rows the source failed to deliver stay white rather than undefined.
    for (int y = m_rowsOut; y < m_reduced.rows; ++y)
        m_reduced.row(y).setTo(cv::Scalar::all(255));
    cv::Mat out;
    if (m_reduced.cols == m_target.width() && m_reduced.rows == m_target.height())
        out = m_reduced;
    else
        cv::resize(m_reduced, out, cv::Size(m_target.width(), m_target.height()), 0, 0,
                   cv::INTER_AREA);
    m_reduced.release();
    m_sum.clear();
    return out;
}
