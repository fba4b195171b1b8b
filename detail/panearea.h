#ifndef PANEAREA_H
#define PANEAREA_H

#include <QScrollArea>

class QLabel;

// A detail pane's scroll area with a title strip above the scrolled grid;
// the title's tooltip explains the pane's marks.
class PaneArea : public QScrollArea
{
    Q_OBJECT

public:
    explicit PaneArea(const QString &title, const QString &explanation = QString(),
                      QWidget *parent = nullptr);

    QString title() const;
    QLabel *titleLabel() const { return m_title; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QLabel *m_title;
};

#endif // PANEAREA_H
