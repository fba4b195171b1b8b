#include "map/caview.h"

#include "data/model/cadata.h"
#include "data/statistics/contributions.h"

#include <QPainter>
#include <QPolygon>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

constexpr int CardWidth = 300;
constexpr int CardHeight = 350;
// Chart height: a third and a bit of the 310-pixel inner area.
constexpr int ChartHeight = int(310 / 3.5);
// Top of the contribution scale.
constexpr int ContributionTop = ChartHeight + 125;

QChar microSign()
{
    return QChar(0x00B5);
}

// Axes ordered by decreasing value, equal values in increasing axis order.
std::vector<int> rankAxes(const std::vector<double> &values)
{
    std::vector<int> order(values.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&values](int a, int b) { return values[a] > values[b]; });
    return order;
}

// One bar with its outline and axis number; j is the bar's rank.
void drawBar(QPainter *painter, int j, int top, int height, bool positive, int labelY, int axis)
{
    const QRect bar(20 + 20 * j, top, 18, height);
    painter->fillRect(bar, positive ? Qt::green : Qt::red);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(bar);
    painter->drawText(26 + 20 * j, labelY, QString::number(axis + 1));
}

void drawTickLabel(QPainter *painter, int y0, const QString &text)
{
    painter->drawText(QRect(QPoint(-10, y0), QPoint(14, y0 + 9)), Qt::AlignRight | Qt::AlignVCenter,
                      text);
}

void drawQualityChart(QPainter *painter, const PointCard &s)
{
    const int H = ChartHeight;
    painter->drawLine(20, 55 + H, 260, 55 + H);
    painter->drawLine(20, 45, 20, 55 + H);
    painter->drawLine(18, 48, 20, 45);
    painter->drawLine(22, 48, 20, 45);

    // A NaN coordinate carries no information: it is ranked as zero. A
    // point at the origin has no direction (0/0): every share is shown as an
    // empty bar rather than a NaN one.
    const int axes = int(s.coords.size());
    std::vector<double> squares(s.coords.size());
    for (int a = 0; a < axes; ++a)
        squares[std::size_t(a)] = std::isnan(s.coords[std::size_t(a)])
                                      ? 0.0
                                      : s.coords[std::size_t(a)] * s.coords[std::size_t(a)];
    const std::vector<int> order = rankAxes(squares);
    for (size_t j = 0; j < order.size() && j < 10; ++j) {
        const int a = order[j];
        double q = Contributions::quality(s.coords.data(), axes, a);
        if (!std::isfinite(q))
            q = 0.0;
        const int top = int((1 - q) * H + 55);
        const int height = int(q * H);
        drawBar(painter, int(j), top, height, s.coords[a] > 0, H + 70, a);
    }

    painter->drawText(70, 55, QStringLiteral("Representation quality"));
    painter->drawLine(18, 55, 22, 55);
    painter->drawLine(18, 55 + H / 2, 22, 55 + H / 2);
    drawTickLabel(painter, 55 - 5, QString::number(1));
    drawTickLabel(painter, 55 + H / 2 - 5, QString::number(0.5, 'g', 6));
}

// Returns the number of topics: drawn bars strictly above the threshold.
int drawContributionChart(QPainter *painter, const PointCard &s)
{
    const int H = ChartHeight;
    const int B = ContributionTop;
    painter->drawLine(20, B + H, 240, B + H);
    painter->drawLine(20, B - 10, 20, B + H);
    painter->drawLine(18, B - 7, 20, B - 10);
    painter->drawLine(22, B - 7, 20, B - 10);

    // An axis without inertia (eigenvalue 0) cannot be contributed to; its
    // contribution is 0 instead of an infinite or NaN bar.
    std::vector<double> ctr(s.coords.size());
    for (size_t a = 0; a < s.coords.size(); ++a)
        ctr[a] = Contributions::shown(Contributions::contribution(s.mass, s.coords[a], s.lambda[a]));
    const double top = 10 * s.mean;
    const double perUnit = H / top;
    const double threshold = s.thresholdFactor * s.mean;
    int topics = 0;
    const std::vector<int> order = rankAxes(ctr);
    for (size_t j = 0; j < order.size() && j < 10; ++j) {
        const int a = order[j];
        const double v = std::clamp(ctr[a], 0.0, top);
        const int barTop = int(B + (top - v) * perUnit);
        const int height = int(v * perUnit);
        drawBar(painter, int(j), barTop, height, s.coords[a] > 0, B + H + 15, a);
        if (v > threshold)
            ++topics;
    }

    painter->drawText(70, B - 10, QStringLiteral("Contribution (") + microSign()
                                      + QStringLiteral(": mean)"));
    const int twoMu = int(B + H - H / 5.0);
    painter->drawLine(18, B, 22, B);
    painter->drawLine(18, B + H / 2, 22, B + H / 2);
    painter->drawLine(18, twoMu, 22, twoMu);
    drawTickLabel(painter, B - 5, QString::number(10) + microSign());
    drawTickLabel(painter, B + H / 2 - 5, QString::number(5) + microSign());
    drawTickLabel(painter, int(B + H - H / 5.0 - 5), QString::number(2) + microSign());
    return topics;
}

// The note-like card at the cursor, opening away from the nearest edges.
void paintCard(QPainter *painter, int cursorX, int cursorY, int viewWidth, int viewHeight,
               const PointCard &s)
{
    const bool flipX = cursorX + CardWidth > viewWidth && cursorX > viewWidth / 2;
    const bool flipY = cursorY + CardHeight > viewHeight && cursorY > viewHeight / 2;

    painter->save();
    painter->setWorldTransform(
        QTransform(flipX ? -1 : 1, 0, 0, flipY ? -1 : 1, cursorX, cursorY), true);
    const QColor paper(255, 255, 0, 204);
    const QPolygon fold({QPoint(0, 20), QPoint(20, 20), QPoint(20, 0)});
    const QPolygon outline({QPoint(0, 20), QPoint(20, 20), QPoint(20, 0), QPoint(300, 0),
                            QPoint(300, 350), QPoint(0, 350)});
    painter->setPen(Qt::NoPen);
    painter->setBrush(QBrush(paper.darker(200)));
    painter->drawPolygon(fold);
    painter->setBrush(QBrush(paper));
    painter->drawPolygon(outline);
    painter->setPen(Qt::red);
    painter->setBrush(Qt::NoBrush);
    painter->drawPolygon(outline);
    painter->restore();

    const int left = flipX ? cursorX - CardWidth : cursorX;
    const int top = flipY ? cursorY - CardHeight : cursorY;
    painter->save();
    painter->translate(left + 20, top + 20);
    painter->setPen(Qt::black);
    painter->drawText(20, 5, s.title);
    painter->setPen(Qt::blue);
    drawQualityChart(painter, s);
    const int topics = drawContributionChart(painter, s);
    painter->setPen(Qt::black);
    painter->drawText(20, 25, s.contributes ? s.topicsPrefix + QString::number(topics) : s.topicsPrefix);
    painter->restore();
}

} // namespace

void CAView::showHideInformation(bool show)
{
    showInfo = show;
    repaint();
}

void CAView::showInformation(QPainter *painter)
{
    if (!data || focusImage < 0 || focusImage >= data->imageCount())
        return;
    // A supplementary image is focused under its number after the images.
    const bool sup = data->isSupplementary(focusImage);
    PointCard card = sup ? layer(SupImageLayer).card(*data, focusImage - data->nbImages)
                         : layer(ImageLayer).card(*data, focusImage);
    card.thresholdFactor = imageThreshold; // the field as it is now, rebuilt or not
    paintCard(painter, cursorX, cursorY, width(), height(), card);
}

void CAView::showWordInformation(QPainter *painter)
{
    if (!data || focusWord < 0 || focusWord >= data->nbWords)
        return;
    PointCard card = layer(WordLayer).card(*data, focusWord);
    card.thresholdFactor = wordThreshold;
    paintCard(painter, cursorX, cursorY, width(), height(), card);
}
