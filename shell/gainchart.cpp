#include "shell/gainchart.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int Margin = 6;
constexpr int LabelHeight = 14;
} // namespace

GainChart::GainChart(QWidget *parent)
    : QWidget(parent)
{
    setMinimumHeight(90);
    setToolTip(tr("Gain in between-cluster inertia at each cut, as a share of the inertia on the axes used; "
                  "click a bar to cut the tree there"));
}

void GainChart::setGains(const std::vector<double> &shares, int cut, int suggested)
{
    m_shares.assign(shares.begin(), shares.begin() + std::ptrdiff_t(std::min<std::size_t>(shares.size(), MaxBars)));
    m_cut = cut;
    m_suggested = suggested;
    update();
}

QSize GainChart::sizeHint() const
{
    return QSize(260, 120);
}

QRect GainChart::barRect(int bar) const
{
    const int n = int(m_shares.size());
    if (bar < 0 || bar >= n)
        return QRect();
    const int plotHeight = height() - 2 * Margin - LabelHeight;
    const double slot = double(width() - 2 * Margin) / n;
    const double top = *std::max_element(m_shares.begin(), m_shares.end());
    const int h = top > 0 ? int(plotHeight * m_shares[std::size_t(bar)] / top + 0.5) : 0;
    const int x = Margin + int(bar * slot + slot * 0.15);
    return QRect(x, Margin + plotHeight - h, std::max(1, int(slot * 0.7)), std::max(1, h));
}

int GainChart::clustersAt(const QPoint &pos) const
{
    const int n = int(m_shares.size());
    if (n == 0 || pos.x() < Margin || pos.x() >= width() - Margin)
        return 0;
    const int bar = int((pos.x() - Margin) * double(n) / (width() - 2 * Margin));
    return bar >= 0 && bar < n ? bar + 2 : 0;
}

void GainChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    if (m_shares.empty())
        return;
    const QColor kept = palette().color(QPalette::Highlight);
    const QColor rest = palette().color(QPalette::Mid);
    for (int bar = 0; bar < int(m_shares.size()); ++bar) {
        const QRect r = barRect(bar);
        // Bar k separates k + 1 clusters from k + 2: kept by a cut into more.
        p.fillRect(r, bar + 2 <= m_cut ? kept : rest);
        p.setPen(palette().color(QPalette::Text));
        const QRect label(r.center().x() - 12, height() - Margin - LabelHeight, 24, LabelHeight);
        QFont f = font();
        f.setBold(bar + 2 == m_suggested);
        p.setFont(f);
        p.drawText(label, Qt::AlignCenter, QString::number(bar + 2));
    }
}

void GainChart::mousePressEvent(QMouseEvent *event)
{
    const int clusters = clustersAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && clusters > 0)
        emit cutChosen(clusters);
}
