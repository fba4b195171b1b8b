#ifndef AXISREPORT_H
#define AXISREPORT_H

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// Says when an axis of a solved table is taken by one thing: a single word
// (column), or a group of identical image rows, that carries a large share
// of the axis's inertia. Such an axis shows that thing, not how the
// collection is organised, and the user should hear it named.
//
// The share of row i in axis k is its contribution P_i Z_ik^2 / lambda_k
// (rows of a group add up); that of column j is Q_j W_jk^2 / lambda_k, from
// the solver's result files beside the table.
class AxisReport
{
public:
    struct Share
    {
        int axis = 0;       // 0-based
        double share = 0;   // of the axis's inertia, 0..1
        int word = -1;      // the column, or -1 for a group of rows
        std::vector<int> rows; // the group's rows (table order)
    };

    // Reads `table` and its result files (`table` + "_Z.txt" and so on) and
    // finds, on the first `axes` axes, every word and every group of at
    // least two identical rows whose share is above `threshold`, largest
    // first within each axis.
    bool compute(const QString &table, int axes, double threshold, QString *error);

    const std::vector<Share> &shares() const { return m_shares; }

    // One line per share, for example "axis 1: 71 % from colour word 1002
    // (white)". `wordName` names a column ("word 12", "colour word 1002
    // (white)"); `rowName` names a row by its image.
    QStringList lines(const std::function<QString(int)> &wordName,
                      const std::function<QString(int)> &rowName) const;

    // A plain name for a mean colour (CIE L*a*b*, bytes as OpenCV stores
    // them): "white", "dark red", ...
    static QString colourName(double L, double a, double b);

private:
    std::vector<Share> m_shares;
};

#endif // AXISREPORT_H
