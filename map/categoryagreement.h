#ifndef CATEGORYAGREEMENT_H
#define CATEGORYAGREEMENT_H

#include <vector>

// How well the images of each category keep together on a map: of each
// image's k nearest images there (Euclidean, on the two coordinates drawn),
// the share in its own category, averaged over the category's images. The
// nearest are found in a grid of cells built once, so that a category of a
// large map is measured in milliseconds; a category of more than
// `maxMeasured` images is measured on that many of them, evenly spaced
// through its list, and a measure that has looked at too many images
// stops there (`measured` says on how many it rests).
class CategoryAgreement
{
public:
    // `category[i]`: the category entry of image i (negative: none; such an
    // image is a neighbour like any other but is never measured). Points
    // that are not finite take no part.
    CategoryAgreement(const std::vector<double> &x, const std::vector<double> &y,
                      const std::vector<int> &category);

    struct Share
    {
        double alike = 0;   // mean share of same-category images among the k nearest
        double chance = 0;  // the same share were the images placed at random
        int measured = 0;   // images it is the mean of
        int images = 0;     // images of the category on the map
    };
    Share of(int category, int k = 10, int maxMeasured = 2000) const;

private:
    // Images looked at before a measure stops, whatever the map: a dense
    // knot of images in a map of wide extent makes each search long, and
    // the measure must answer while the mouse waits (about 0.1 s).
    static constexpr long long kWorkBudget = 20000000;

    // The k nearest images of image `i` (itself excluded), nearest first,
    // the lower number first between equal distances. Returns how many
    // points it looked at (images on one point count once).
    long long nearest(int i, int k, std::vector<int> &out) const;
    // 0 .. n-1 in an order where every prefix spreads over the range.
    static std::vector<int> spreadOrder(int n);
    int cellOf(double v, double low, int cells) const;

    std::vector<int> m_category;  // per image
    std::vector<int> m_count;     // images per category entry
    int m_placed = 0;             // images with finite coordinates
    double m_x0 = 0, m_y0 = 0, m_cell = 1;
    int m_columns = 1, m_rows = 1;
    // The placed images cell after cell, their coordinates beside them so
    // that a search reads memory in order.
    std::vector<int> m_start;     // per cell: its first slot (one more at the end)
    std::vector<double> m_x, m_y; // per slot
    std::vector<int> m_image;     // per slot: the image
    std::vector<int> m_runEnd;    // per slot: one past the last slot on the same point
    std::vector<int> m_slot;      // per image: its slot, -1 when not placed
};

#endif // CATEGORYAGREEMENT_H
