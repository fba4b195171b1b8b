#include "detail/wordview.h"

WordView::WordView(QScrollArea *area, QWidget *parent) : QWidget(parent), scrollArea(area) {}
WordView::~WordView() {}
void WordView::changeImages(QVector<int> *, QSet<int> *, CAData *, int, CAView *) {}
void WordView::changeWords(QSet<int> *) {}
void WordView::paintEvent(QPaintEvent *) {}
void WordView::mousePressEvent(QMouseEvent *) {}
void WordView::drawImages() {}
void WordView::drawWords() {}
