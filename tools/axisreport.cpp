#include "tools/axisreport.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>

namespace {

bool readNumbers(const QString &path, std::vector<long> &header, int headerCount,
                 std::vector<double> &values, long expected, QString *error)
{
    std::ifstream in(QFile::encodeName(path).constData());
    if (!in) {
        *error = QStringLiteral("cannot open '%1'").arg(path);
        return false;
    }
    header.assign(size_t(headerCount), 0);
    for (long &h : header)
        if (!(in >> h) || h < 0) {
            *error = QStringLiteral("'%1' has no valid header").arg(path);
            return false;
        }
    if (expected < 0) {
        expected = 1;
        for (long h : header)
            expected *= h;
    }
    values.resize(size_t(expected));
    for (double &v : values)
        if (!(in >> v)) {
            *error = QStringLiteral("'%1' holds fewer values than its header announces").arg(path);
            return false;
        }
    return true;
}

} // namespace

bool AxisReport::compute(const QString &table, int axes, double threshold, QString *error)
{
    m_shares.clear();
    std::vector<long> th, zh, wh, ph, qh, lh;
    std::vector<double> t, Z, W, P, Q, lambda;
    if (!readNumbers(table, th, 2, t, -1, error)
        || !readNumbers(table + QStringLiteral("_Z.txt"), zh, 2, Z, -1, error)
        || !readNumbers(table + QStringLiteral("_W.txt"), wh, 2, W, -1, error)
        || !readNumbers(table + QStringLiteral("_P.txt"), ph, 1, P, -1, error)
        || !readNumbers(table + QStringLiteral("_Q.txt"), qh, 1, Q, -1, error)
        || !readNumbers(table + QStringLiteral("_Lambda.txt"), lh, 1, lambda, -1, error))
        return false;
    const long rows = th[0], cols = th[1];
    if (zh[0] != rows || wh[0] != cols || ph[0] != rows || qh[0] != cols) {
        *error = QStringLiteral("the results beside '%1' do not match its %2 x %3 table")
                     .arg(table).arg(rows).arg(cols);
        return false;
    }
    const int zc = int(zh[1]), wc = int(wh[1]);
    const int n = std::min({axes, zc, wc, int(lambda.size())});

    // Identical rows have identical profiles, so identical coordinates:
    // they act on an axis as one heavy point.
    std::map<std::vector<double>, std::vector<int>> groups;
    for (long r = 0; r < rows; ++r)
        groups[std::vector<double>(t.begin() + r * cols, t.begin() + (r + 1) * cols)].push_back(int(r));

    for (int k = 0; k < n; ++k) {
        const double l = lambda[size_t(k)];
        if (!(l > 0) || !std::isfinite(l))
            continue;
        std::vector<Share> found;
        for (long j = 0; j < cols; ++j) {
            const double w = W[size_t(j) * size_t(wc) + size_t(k)];
            const double share = Q[size_t(j)] * w * w / l;
            if (share > threshold)
                found.push_back({k, share, int(j), {}});
        }
        for (const auto &g : groups) {
            if (g.second.size() < 2)
                continue;
            double share = 0;
            for (int r : g.second) {
                const double z = Z[size_t(r) * size_t(zc) + size_t(k)];
                share += P[size_t(r)] * z * z / l;
            }
            if (share > threshold)
                found.push_back({k, share, -1, g.second});
        }
        std::sort(found.begin(), found.end(),
                  [](const Share &a, const Share &b) { return a.share > b.share; });
        m_shares.insert(m_shares.end(), found.begin(), found.end());
    }
    return true;
}

QStringList AxisReport::lines(const std::function<QString(int)> &wordName,
                              const std::function<QString(int)> &rowName) const
{
    QStringList out;
    for (const Share &s : m_shares) {
        const QString what = s.word >= 0
                                 ? wordName(s.word)
                                 : QStringLiteral("%1 identical images (such as '%2')")
                                       .arg(s.rows.size()).arg(rowName(s.rows.front()));
        out << QStringLiteral("axis %1: %2 % from %3")
                   .arg(s.axis + 1).arg(qRound(100 * s.share)).arg(what);
    }
    return out;
}

QString AxisReport::colourName(double L8, double a8, double b8)
{
    // OpenCV's 8-bit Lab: L scaled to 0..255, a and b offset by 128.
    const double L = L8 * 100.0 / 255.0, a = a8 - 128.0, b = b8 - 128.0;
    const double chroma = std::hypot(a, b);
    if (chroma < 12) {
        if (L > 90) return QStringLiteral("white");
        if (L < 20) return QStringLiteral("black");
        return L > 60 ? QStringLiteral("light grey") : QStringLiteral("grey");
    }
    double hue = std::atan2(b, a) * 180.0 / M_PI;
    if (hue < 0)
        hue += 360;
    QString name;
    if (hue < 20 || hue >= 345) name = QStringLiteral("pink");
    else if (hue < 50) name = QStringLiteral("red");
    else if (hue < 75) name = QStringLiteral("orange");
    else if (hue < 105) name = QStringLiteral("yellow");
    else if (hue < 170) name = QStringLiteral("green");
    else if (hue < 230) name = QStringLiteral("cyan");
    else if (hue < 315) name = QStringLiteral("blue");
    else name = QStringLiteral("purple");
    if (name == QLatin1String("orange") && L < 50)
        name = QStringLiteral("brown");
    if (L < 25)
        return QStringLiteral("dark ") + name;
    if (L > 80)
        return QStringLiteral("light ") + name;
    return name;
}
