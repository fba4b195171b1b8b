#include "shell/workspacefitter.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

namespace {

// Each new window opens this far right of and below the one before it, so
// the title bars of earlier windows still show.
constexpr int kCascadeStep = 24;

} // namespace

WorkspaceFitter::WorkspaceFitter(QMdiArea *area) : QObject(area), m_area(area)
{
    area->viewport()->installEventFilter(this);
}

QSize WorkspaceFitter::room() const
{
    QSize room = m_area->viewport()->size();
    // Before the workspace is laid out its viewport has no size yet.
    if (room.width() < 200 || room.height() < 150)
        room = m_area->size();
    return room;
}

void WorkspaceFitter::fit(QMdiSubWindow *frame)
{
    const QSize space = room();
    const int n = int(m_area->subWindowList().size()) - 1;
    int offset = kCascadeStep * std::max(0, n);
    if (offset > space.height() / 3 || offset > space.width() / 3)
        offset = 0;
    m_fitted.push_back({frame, offset, QRect()});
    place(m_fitted.back());
    connect(frame, &QMdiSubWindow::windowStateChanged, this,
            [this, frame](Qt::WindowStates, Qt::WindowStates) { stateChanged(frame); });
}

void WorkspaceFitter::place(Fitted &fitted)
{
    const QSize space = room();
    const QSize size(std::max(320, space.width() - fitted.offset),
                     std::max(240, space.height() - fitted.offset));
    fitted.frame->resize(size.boundedTo(space));
    fitted.frame->move(fitted.offset, fitted.offset);
    // What the frame really took (its minimum size may exceed the room).
    fitted.geometry = fitted.frame->geometry();
}

void WorkspaceFitter::follow()
{
    m_fitted.erase(std::remove_if(m_fitted.begin(), m_fitted.end(),
                                  [](const Fitted &f) { return f.frame.isNull(); }),
                   m_fitted.end());
    for (auto it = m_fitted.begin(); it != m_fitted.end();) {
        QMdiSubWindow *frame = it->frame;
        // Maximised and minimised windows are the workspace's to place; a
        // restored one is fitted again when it comes back (stateChanged).
        if (frame->isMaximized() || frame->isMinimized()) {
            ++it;
            continue;
        }
        if (frame->geometry() != it->geometry) {
            it = m_fitted.erase(it); // placed by hand: left alone from now on
            continue;
        }
        place(*it);
        ++it;
    }
}

void WorkspaceFitter::stateChanged(QMdiSubWindow *frame)
{
    // After the workspace has given the restored window its old geometry
    // back: the room may have changed meanwhile.
    QMetaObject::invokeMethod(
        this,
        [this, guarded = QPointer<QMdiSubWindow>(frame)] {
            if (!guarded || guarded->isMaximized() || guarded->isMinimized())
                return;
            for (Fitted &f : m_fitted)
                if (f.frame == guarded && guarded->geometry() == f.geometry)
                    place(f);
        },
        Qt::QueuedConnection);
}

bool WorkspaceFitter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_area->viewport() && event->type() == QEvent::Resize)
        follow();
    return QObject::eventFilter(watched, event);
}
