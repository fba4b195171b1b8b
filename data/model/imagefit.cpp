#include "data/model/imagefit.h"

void ImageFit::fit(double boxW, double boxH, double imgW, double imgH, double &ox, double &oy,
                   double &s)
{
    if (imgW == 0 || imgH == 0) {
        ox = oy = 0;
        s = 1;
        return;
    }
    s = boxH / imgH > boxW / imgW ? boxW / imgW : boxH / imgH;
    ox = (boxW - imgW * s) * 0.5;
    oy = (boxH - imgH * s) * 0.5;
}
