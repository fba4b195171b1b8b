#include "shell/screepanel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kLeft = 40;   // room for the percentage scale
constexpr int kRight = 12;
constexpr int kTop = 34;    // room for the title and the share labels
constexpr int kBottom = 22; // room for the axis numbers
// More bars than this would be too thin to click: the tail is not drawn.
constexpr int kMaxBars = 40;

QString percent(double share)
{
    return QStringLiteral("%1 %").arg(100 * share, 0, 'f', 1);
}

} // namespace

ScreePanel::ScreePanel(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(false);
    setToolTip(tr("Click a bar for the horizontal axis, then another for the vertical axis."));
}

void ScreePanel::setShares(const QVector<double> &shares, int usable, int x, int y,
                           const QString &basis)
{
    if (shares != m_shares || usable != m_usable)
        m_pending = -1;
    m_shares = shares;
    m_basis = basis;
    m_usable = usable;
    m_x = x;
    m_y = y;
    update();
}

QSize ScreePanel::sizeHint() const
{
    return QSize(kLeft + kRight + 26 * std::clamp(int(m_shares.size()), 4, 12), 200);
}

QSize ScreePanel::minimumSizeHint() const
{
    return QSize(160, 120);
}

QRect ScreePanel::barRect(int axis) const
{
    const int n = std::min(int(m_shares.size()), kMaxBars);
    if (axis < 0 || axis >= n)
        return QRect();
    const int plotW = std::max(1, width() - kLeft - kRight);
    const int plotH = std::max(1, height() - kTop - kBottom);
    const double slot = double(plotW) / n;
    const double top = *std::max_element(m_shares.cbegin(), m_shares.cbegin() + n);
    const double h = top > 0 ? m_shares.at(axis) / top * plotH : 0;
    const int left = kLeft + int(axis * slot + slot * 0.15);
    const int w = std::max(2, int(slot * 0.7));
    return QRect(left, kTop + plotH - int(h), w, std::max(1, int(h)));
}

int ScreePanel::barAt(const QPoint &pos) const
{
    const int n = std::min(int(m_shares.size()), kMaxBars);
    if (n == 0 || pos.x() < kLeft || pos.y() < kTop - 16 || pos.y() > height() - 2)
        return -1;
    const int plotW = std::max(1, width() - kLeft - kRight);
    const int axis = int((pos.x() - kLeft) / (double(plotW) / n));
    return axis < n ? axis : -1;
}

void ScreePanel::mousePressEvent(QMouseEvent *event)
{
    const int axis = barAt(event->position().toPoint());
    if (axis < 0 || axis >= m_usable) {
        m_pending = -1;
        update();
        return;
    }
    if (m_pending < 0 || m_pending == axis) {
        m_pending = axis;
        update();
        return;
    }
    const int first = m_pending;
    m_pending = -1;
    update();
    emit axesPicked(first, axis);
}

void ScreePanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const int n = std::min(int(m_shares.size()), kMaxBars);
    painter.setPen(palette().text().color());
    if (n == 0) {
        painter.drawText(rect(), Qt::AlignCenter, tr("No analysis"));
        return;
    }
    painter.drawText(QRect(4, 2, width() - 8, 16), Qt::AlignLeft | Qt::AlignVCenter, title());

    const int plotH = std::max(1, height() - kTop - kBottom);
    const int bottom = kTop + plotH;
    painter.setPen(QColor(150, 150, 150));
    painter.drawLine(kLeft, bottom, width() - kRight, bottom);
    painter.drawLine(kLeft, kTop, kLeft, bottom);
    painter.setFont(smallFont());
    const double top = *std::max_element(m_shares.cbegin(), m_shares.cbegin() + n);
    painter.drawText(QRect(0, kTop - 6, kLeft - 4, 12), Qt::AlignRight | Qt::AlignVCenter,
                     percent(top));
    painter.drawText(QRect(0, bottom - 6, kLeft - 4, 12), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("0 %"));

    QPolygonF line;
    for (int a = 0; a < n; ++a) {
        const QRect bar = barRect(a);
        QColor fill(170, 190, 210);
        if (a == m_x)
            fill = QColor(0x00, 0x72, 0xB2);
        else if (a == m_y)
            fill = QColor(0xE6, 0x9F, 0x00);
        if (a >= m_usable)
            fill = QColor(225, 225, 225);
        painter.fillRect(bar, fill);
        if (a == m_pending) {
            painter.setPen(QPen(Qt::black, 2));
            painter.drawRect(bar.adjusted(-1, -1, 1, 1));
        }
        painter.setPen(palette().text().color());
        painter.drawText(QRect(bar.center().x() - 20, bottom + 2, 40, 14), Qt::AlignCenter,
                         QString::number(a + 1));
        const QRect share = shareLabelRect(a);
        if (!share.isNull())
            painter.drawText(share, Qt::AlignCenter, percent(m_shares.at(a)));
        line << cumulativePoint(a);
    }
    // The cumulative share on the same percentage scale would leave the
    // plot; it is drawn against the full height instead, labelled at its end.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0xD5, 0x5E, 0x00), 1.5));
    painter.drawPolyline(line);
    for (const QPointF &p : std::as_const(line))
        painter.drawEllipse(p, 2, 2);
    // On a light plate: where it is put, it may still cross the line.
    const QRectF box = cumulativeLabelRect();
    painter.fillRect(box, QColor(255, 255, 255, 210));
    painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, cumulativeLabel());
}

QFont ScreePanel::smallFont() const
{
    QFont small = font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    return small;
}

QRect ScreePanel::shareLabelRect(int axis) const
{
    const QRect bar = barRect(axis);
    if (bar.isNull() || bar.width() < 22)
        return QRect();
    return QRect(bar.center().x() - 24, bar.top() - 14, 48, 12);
}

QPointF ScreePanel::cumulativePoint(int axis) const
{
    const int plotH = std::max(1, height() - kTop - kBottom);
    double cumulative = 0;
    for (int a = 0; a <= axis && a < m_shares.size(); ++a)
        cumulative += m_shares.at(a);
    return QPointF(barRect(axis).center().x(), kTop + plotH - cumulative * plotH);
}

QRectF ScreePanel::cumulativeLabelRect() const
{
    const int n = std::min(int(m_shares.size()), kMaxBars);
    if (n == 0)
        return QRectF();
    const QPointF end = cumulativePoint(n - 1);
    const qreal w = QFontMetrics(smallFont()).horizontalAdvance(cumulativeLabel()) + 6;
    const qreal h = 14;
    const qreal left = std::max<qreal>(kLeft + 2, end.x() - 6 - w);
    const int bottom = height() - kBottom;

    // What the label must not hide: the bars and their share labels.
    QVector<QRectF> taken;
    for (int a = 0; a < n; ++a) {
        taken.append(barRect(a));
        const QRect share = shareLabelRect(a);
        if (!share.isNull())
            taken.append(share);
    }
    const auto freeAt = [&](qreal y) {
        const QRectF box(left, y, w, h);
        if (box.top() < 18 || box.bottom() > bottom)
            return false;
        return std::none_of(taken.cbegin(), taken.cend(),
                            [&box](const QRectF &r) { return r.intersects(box); });
    };
    // Below and left of the last point first, where the line has already
    // passed; else just above it; else the free height nearest the point,
    // over the bars that are taller there.
    const qreal below = end.y() + 4;
    const qreal above = end.y() - 4 - h;
    if (freeAt(below))
        return QRectF(left, below, w, h);
    if (freeAt(above))
        return QRectF(left, above, w, h);
    qreal best = below;
    qreal bestDistance = -1;
    for (qreal y = 18; y + h <= bottom; y += 2) {
        if (!freeAt(y))
            continue;
        const qreal distance = std::abs(y + h / 2 - end.y());
        if (bestDistance < 0 || distance < bestDistance) {
            best = y;
            bestDistance = distance;
        }
    }
    return QRectF(left, best, w, h);
}

QString ScreePanel::title() const
{
    if (m_pending >= 0)
        return tr("Axis %1 picked: now click the vertical axis").arg(m_pending + 1);
    if (!m_basis.isEmpty())
        return tr("Inertia per axis (%1); line: cumulative").arg(m_basis);
    return tr("% of the total inertia; line: cumulative");
}

QString ScreePanel::cumulativeLabel() const
{
    const int n = std::min(int(m_shares.size()), kMaxBars);
    double cumulative = 0;
    for (int a = 0; a < n; ++a)
        cumulative += m_shares.at(a);
    return tr("%1 cum.").arg(percent(cumulative));
}
