#ifndef TITLETIPS_H
#define TITLETIPS_H

#include <QHash>
#include <QObject>
#include <QString>

class QWidget;

// A tooltip over the title bar of a document window's frame only: a tooltip
// set on the frame itself would also show over the map and the panes, which
// have their own.
class TitleTips : public QObject
{
public:
    explicit TitleTips(QObject *parent);
    void watch(QWidget *frame, const QString &text);
    QString textOf(QObject *frame) const { return m_texts.value(frame); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QHash<QObject *, QString> m_texts;
};

#endif // TITLETIPS_H
