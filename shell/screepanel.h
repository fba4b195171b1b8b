#ifndef SCREEPANEL_H
#define SCREEPANEL_H

#include <QVector>
#include <QWidget>

// The scree plot of an analysis: one bar per axis with its share of the
// table's total inertia and the cumulative share, which then ends where the
// computed axes stop (below 100 %). When only the computed axes' sum is
// known, the title says the shares are of those axes. The two
// axes on the map are marked; clicking one bar and then another shows that
// pair of axes.
class ScreePanel : public QWidget
{
    Q_OBJECT

public:
    explicit ScreePanel(QWidget *parent = nullptr);

    // Shares of each axis in [0, 1]; `usable` axes can be picked (the axes
    // in use by the analysis), `x` and `y` are the map's axes (0-based).
    // `basis` is empty for shares of the total inertia, else what they are
    // of ("of the 10 axes computed").
    void setShares(const QVector<double> &shares, int usable, int x, int y,
                   const QString &basis = QString());
    QString title() const;
    QString cumulativeLabel() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The bar (axis, 0-based) at a widget position, or -1.
    int barAt(const QPoint &pos) const;
    QRect barRect(int axis) const;
    // Where a bar's share is written (null when the bar is too narrow for
    // it), where the cumulative line passes over a bar, and where its closing
    // figure goes: clear of the bars and their shares whenever the plot has
    // room for it.
    QRect shareLabelRect(int axis) const;
    QPointF cumulativePoint(int axis) const;
    QRectF cumulativeLabelRect() const;

    int pending() const { return m_pending; }

signals:
    // Two different bars were picked, the first for the horizontal axis.
    void axesPicked(int x, int y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QFont smallFont() const;

    QVector<double> m_shares;
    QString m_basis;
    int m_usable = 0;
    int m_x = 0;
    int m_y = 1;
    int m_pending = -1; // first bar of a pick in progress
};

#endif // SCREEPANEL_H
