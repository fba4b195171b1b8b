#include "detail/imageview.h"

ImageView::ImageView(QScrollArea *area, QWidget *parent) : QWidget(parent), scrollArea(area) {}
ImageView::~ImageView() {}
void ImageView::map2view(double, double, double, double, double &ox, double &oy, double &s)
{
    ox = oy = 0;
    s = 1;
}
void ImageView::changeCell(WordView::CellType *, QSet<int> *, CAData *, int) {}
void ImageView::changeWords(QSet<int> *) {}
void ImageView::paintEvent(QPaintEvent *) {}
void ImageView::mousePressEvent(QMouseEvent *) {}
void ImageView::drawImages(int) {}
void ImageView::drawWords() {}
