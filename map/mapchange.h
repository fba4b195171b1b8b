#ifndef MAPCHANGE_H
#define MAPCHANGE_H

#include <functional>

// What a change of the map's state asks of the view: a repaint of the
// overlays, or a rebuild of the point layer (canvas, indexes, counts) and
// then a repaint. The state objects of the view (groups, labels) call one
// such step from each setter; the view decides how to carry it out.
enum class MapChange { Repaint = 1, Rebuild = 2 };

using MapInvalidate = std::function<void(MapChange)>;

#endif // MAPCHANGE_H
