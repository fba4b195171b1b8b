#ifndef TST_INTERACTION_FIXTURE_H
#define TST_INTERACTION_FIXTURE_H

// Maps built in memory for the mouse tests: every point is placed on a chosen
// canvas pixel, and mouse events are aimed at canvas pixels.

#include "data/model/cadata.h"
#include "map/caview.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPoint>

#include <memory>
#include <vector>

namespace interaction {

// Pixels per map unit used by these maps: a power of two, so that a canvas
// pixel converted to map units and back lands exactly on itself.
constexpr int kScale = 128;

struct Spot
{
    int x;              // canvas pixel
    int y;
    double mass = 1.0;
};

inline double mapX(int px) { return double(px - 1000) / kScale; }
inline double mapY(int py) { return double(750 - py) / kScale; }

// Two axes, eigenvalues 1; word j carries the label 100 + j so that labels
// and indices cannot be mixed up.
inline std::unique_ptr<CAData> makeData(const std::vector<Spot> &images,
                                        const std::vector<Spot> &words)
{
    auto d = std::make_unique<CAData>(false);
    d->nbAxis = 2;
    d->nbLambda = 2;
    d->zCols = 2;
    d->wCols = 2;
    d->nbImages = int(images.size());
    d->nbWords = int(words.size());
    d->Z.reset(new double[images.size() * 2 + 1]);
    d->P.reset(new double[images.size() + 1]);
    d->W.reset(new double[words.size() * 2 + 1]);
    d->Q.reset(new double[words.size() + 1]);
    d->lambda.reset(new double[2]{1.0, 1.0});
    for (size_t i = 0; i < images.size(); ++i) {
        d->Z[2 * i] = mapX(images[i].x);
        d->Z[2 * i + 1] = mapY(images[i].y);
        d->P[i] = images[i].mass;
    }
    for (size_t j = 0; j < words.size(); ++j) {
        d->W[2 * j] = mapX(words[j].x);
        d->W[2 * j + 1] = mapY(words[j].y);
        d->Q[j] = words[j].mass;
    }
    std::vector<int> labels;
    for (size_t j = 0; j < words.size(); ++j)
        labels.push_back(100 + int(j));
    d->setWordLabel(int(labels.size()), labels.data());
    return d;
}

// Attaches the data to a view at the test scale, with every point drawn and
// indexed (threshold 0).
inline void attach(CAView &view, CAData *data)
{
    view.scale = kScale;
    view.imageThreshold = 0;
    view.wordThreshold = 0;
    view.setData(data);
}

// Widget position of a canvas pixel as the view currently places the canvas.
inline QPoint widgetAt(const CAView &view, int cx, int cy)
{
    return QPoint(cx + view.originX + view.panX, cy + view.originY + view.panY);
}

inline void send(CAView &view, QEvent::Type type, QPoint pos,
                 Qt::MouseButton button = Qt::NoButton,
                 Qt::MouseButtons buttons = Qt::NoButton)
{
    QMouseEvent event(type, QPointF(pos), QPointF(pos), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &event);
}

inline void press(CAView &view, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    send(view, QEvent::MouseButtonPress, pos, button, button);
}

inline void release(CAView &view, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    send(view, QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
}

inline void drag(CAView &view, QPoint pos)
{
    send(view, QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton);
}

// A hover movement over canvas pixel (cx, cy).
inline void hoverAt(CAView &view, int cx, int cy)
{
    send(view, QEvent::MouseMove, widgetAt(view, cx, cy));
}

} // namespace interaction

#endif // TST_INTERACTION_FIXTURE_H
