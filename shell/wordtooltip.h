#ifndef WORDTOOLTIP_H
#define WORDTOOLTIP_H

#include <QObject>
#include <QPointer>

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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<CAView> m_view;
    AtlasStore *m_atlases;
};

#endif // WORDTOOLTIP_H
