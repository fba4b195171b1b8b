#ifndef IMAGEFIT_H
#define IMAGEFIT_H

// Fitting a picture into a box, shared by the map's thumbnails and the
// detail panes, so that keypoints land on the same spot of a picture
// wherever it is shown.
class ImageFit
{
public:
    // Fits an imgW x imgH image into a boxW x boxH box keeping its aspect
    // ratio, centred; enlarges as well as reduces. Zero sizes give s = 1 and
    // zero offsets.
    static void fit(double boxW, double boxH, double imgW, double imgH, double &ox, double &oy,
                    double &s);
};

#endif // IMAGEFIT_H
