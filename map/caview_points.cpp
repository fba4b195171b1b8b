#include "map/caview.h"

void CAView::drawBackground() {}
void CAView::createColor() {}
void CAView::changeThreshold(int) {}
void CAView::showHideImagePoint(bool) {}
void CAView::showHideWordPoint(bool) {}
