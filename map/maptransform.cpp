#include "map/maptransform.h"

#include "data/model/cadata.h"

#include <cmath>

int MapTransform::truncate(double v)
{
    constexpr double limit = 1 << 28;
    if (std::isnan(v))
        return -int(limit);
    if (v > limit)
        return int(limit);
    if (v < -limit)
        return -int(limit);
    return int(v);
}

double MapTransform::projectionFactor(const CAData &data, int axis, int rescaledInMode) const
{
    return projectionMode == rescaledInMode ? std::sqrt(data.lambda[axis]) : 1.0;
}
