#include "map/caview.h"

void CAView::finishSelection() {}
