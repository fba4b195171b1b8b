#ifndef WORDTOOLTIP_H
#define WORDTOOLTIP_H

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>

class AtlasStore;
class CAView;

// The tooltip of a word on the map: what the word looks like, from the
// project's word atlas (exemplar patches from several images). Watches the
// active map's tooltip events; projects without an atlas keep the map as it
// is, with no tooltip.
class WordToolTip : public QObject
{
    Q_OBJECT

public:
    WordToolTip(AtlasStore *atlases, QObject *parent = nullptr);
    ~WordToolTip() override;

    void setView(CAView *view);
    // The tooltip's text (rich text with the exemplar) for a word of the
    // view's analysis; empty without an exemplar.
    QString text(int word);

    // The information card the map draws at its cursor (cursor and view
    // size in widget pixels), as the map flips it away from the edges.
    static QRect cardAt(const QPoint &cursor, const QSize &view);
    // Where a tooltip of `tip` pixels goes, its top-left corner: beside
    // `card` (right, left, below, above, the first that fits in `bounds`),
    // so that it never hides the card's title; at `cursor` when no card is
    // shown (an empty `card`) or none fits.
    static QPoint placeBeside(const QRect &card, const QSize &tip, const QPoint &cursor, const QRect &bounds);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<CAView> m_view;
    AtlasStore *m_atlases;
};

#endif // WORDTOOLTIP_H
