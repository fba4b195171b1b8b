#include "map/caview.h"

void CAView::showHideInformation(bool) {}
void CAView::showInformation(QPainter *) {}
void CAView::showWordInformation(QPainter *) {}
