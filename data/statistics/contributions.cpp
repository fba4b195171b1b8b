#include "data/statistics/contributions.h"

#include <cmath>

double Contributions::squaredDistance(const double *coords, int axes)
{
    double sum = 0;
    for (int a = 0; a < axes; ++a)
        if (!std::isnan(coords[a]))
            sum += coords[a] * coords[a];
    return sum;
}

double Contributions::quality(const double *coords, int axes, int axis)
{
    if (axis < 0 || axis >= axes)
        return 0.0;
    return quality(coords[axis], squaredDistance(coords, axes));
}

double Contributions::quality(double c, double sum)
{
    if (!(sum > 0) || !std::isfinite(sum) || std::isnan(c))
        return 0.0;
    return c * c / sum;
}
