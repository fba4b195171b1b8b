#include "map/caview.h"

void CAView::paintEvent(QPaintEvent *) {}
void CAView::draw(QPainter *) {}
void CAView::showHideLens(bool) {}
void CAView::showHideImage(bool) {}
