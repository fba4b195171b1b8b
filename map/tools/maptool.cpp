#include "map/tools/maptool.h"

#include "map/caview.h"

MapTool::MapTool(CAView *view) : QObject(view), m_host(*view) {}

MapTool::~MapTool() = default;
