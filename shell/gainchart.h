#ifndef GAINCHART_H
#define GAINCHART_H

#include <QWidget>

#include <vector>

// The gains of between-cluster inertia of a hierarchy as bars: bar k is what
// cutting into k + 2 clusters instead of k + 1 adds, as a share of the
// inertia clustered. The bars the cut keeps are drawn dark, the suggested
// cut is marked, and a click on a bar asks to cut there.
class GainChart : public QWidget
{
    Q_OBJECT

public:
    explicit GainChart(QWidget *parent = nullptr);

    // At most MaxBars of `shares` are drawn.
    void setGains(const std::vector<double> &shares, int cut, int suggested);
    int cut() const { return m_cut; }
    // The number of clusters a click at `pos` asks for; 0 off the bars.
    int clustersAt(const QPoint &pos) const;
    QRect barRect(int bar) const;

    static constexpr int MaxBars = 15;

signals:
    void cutChosen(int clusters);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    QSize sizeHint() const override;

private:
    std::vector<double> m_shares;
    int m_cut = 0;
    int m_suggested = 0;
};

#endif // GAINCHART_H
