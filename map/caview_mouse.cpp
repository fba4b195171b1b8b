#include "map/caview.h"

void CAView::setMode(int) {}
void CAView::setCursor() {}
void CAView::mousePressEvent(QMouseEvent *) {}
void CAView::mouseReleaseEvent(QMouseEvent *) {}
void CAView::mouseMoveEvent(QMouseEvent *) {}
void CAView::mouseDoubleClickEvent(QMouseEvent *) {}
void CAView::changeFocus(int) {}
void CAView::hover(int, int) {}
void CAView::nearestImages() {}
