#ifndef WORKSPACEFITTER_H
#define WORKSPACEFITTER_H

#include <QObject>
#include <QPointer>
#include <QRect>

#include <vector>

class QMdiArea;
class QMdiSubWindow;

// Sizes new document windows to the workspace (cascaded from its top-left
// corner) and keeps them fitted when the workspace changes size: a dock
// shown or hidden beside it, the main window resized. A window the user has
// moved or resized by hand, or that Tile, Cascade or a session placed, is
// left where it is.
class WorkspaceFitter : public QObject
{
    Q_OBJECT

public:
    explicit WorkspaceFitter(QMdiArea *area);

    // Gives `frame`, the newest window of the workspace, the room left by the
    // windows opened before it, and follows the workspace with it from now on.
    void fit(QMdiSubWindow *frame);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Fitted
    {
        QPointer<QMdiSubWindow> frame;
        int offset = 0;
        QRect geometry; // as last set here: anything else was done by hand
    };

    QSize room() const;
    void place(Fitted &fitted);
    void follow();
    void stateChanged(QMdiSubWindow *frame);

    QMdiArea *m_area;
    std::vector<Fitted> m_fitted;
};

#endif // WORKSPACEFITTER_H
