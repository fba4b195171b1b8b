#include "data/statistics/hypergeometric.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const double Inf = std::numeric_limits<double>::infinity();
const double LogSqrt2Pi = 0.918938533204672741780329736406; // log(sqrt(2 pi))

// The error of Stirling's formula for log(n!): log(n!) - log(sqrt(2 pi n)
// (n / e)^n). Series for large n; log-gamma for small n, where the values
// are small and log-gamma exact enough.
double stirlingError(double n)
{
    const double s0 = 1.0 / 12, s1 = 1.0 / 360, s2 = 1.0 / 1260, s3 = 1.0 / 1680, s4 = 1.0 / 1188;
    if (n <= 15)
        return std::lgamma(n + 1) - (n + 0.5) * std::log(n) + n - LogSqrt2Pi;
    const double nn = n * n;
    if (n > 500)
        return (s0 - s1 / nn) / n;
    if (n > 80)
        return (s0 - (s1 - s2 / nn) / nn) / n;
    if (n > 35)
        return (s0 - (s1 - (s2 - s3 / nn) / nn) / nn) / n;
    return (s0 - (s1 - (s2 - (s3 - s4 / nn) / nn) / nn) / nn) / n;
}

// x log(x / np) + np - x, without the cancellation of the direct form when
// x is close to np.
double deviance(double x, double np)
{
    if (std::fabs(x - np) < 0.1 * (x + np)) {
        double v = (x - np) / (x + np);
        double s = (x - np) * v;
        double ej = 2 * x * v;
        v *= v;
        for (int j = 1; j < 1000; ++j) {
            ej *= v;
            const double next = s + ej / (2 * j + 1);
            if (next == s)
                return next;
            s = next;
        }
    }
    return x * std::log(x / np) + np - x;
}

// log of the binomial probability of x in n at p (q = 1 - p), by Loader's
// saddle-point form: accurate to a few ulps where differences of log-gamma
// values of large counts lose digits.
double logBinomial(double x, double n, double p, double q)
{
    if (p == 0)
        return x == 0 ? 0 : -std::numeric_limits<double>::infinity();
    if (q == 0)
        return x == n ? 0 : -std::numeric_limits<double>::infinity();
    if (x == 0)
        return n == 0 ? 0 : (p < 0.1 ? -deviance(n, n * q) - n * p : n * std::log(q));
    if (x == n)
        return q < 0.1 ? -deviance(n, n * p) - n * q : n * std::log(p);
    if (x < 0 || x > n)
        return -std::numeric_limits<double>::infinity();
    const double lc = stirlingError(n) - stirlingError(x) - stirlingError(n - x) - deviance(x, n * p)
                      - deviance(n - x, n * q);
    const double lf = 2 * LogSqrt2Pi + std::log(x) + std::log1p(-x / n);
    return lc - 0.5 * lf;
}


// log(1 - exp(a)) for a <= 0.
double log1mExp(double a)
{
    return a > -0.693 ? std::log(-std::expm1(a)) : std::log1p(-std::exp(a));
}

} // namespace

Hypergeometric::Hypergeometric(double marked, double unmarked, double draws)
    : m_marked(marked), m_unmarked(unmarked), m_draws(draws)
{
    m_lo = std::max(0.0, draws - unmarked);
    m_hi = std::min(draws, marked);
}

double Hypergeometric::mean() const
{
    const double n = m_marked + m_unmarked;
    return n > 0 ? m_draws * m_marked / n : 0.0;
}

double Hypergeometric::logPmf(double x) const
{
    if (x < m_lo || x > m_hi)
        return -Inf;
    // The binomial form of the hypergeometric probability: with p the share
    // drawn, P(X = x) = b(x; marked, p) b(draws - x; unmarked, p) /
    // b(draws; marked + unmarked, p), each factor accurate on its own.
    const double all = m_marked + m_unmarked;
    const double p = m_draws / all;
    const double q = (all - m_draws) / all;
    return logBinomial(x, m_marked, p, q) + logBinomial(m_draws - x, m_unmarked, p, q)
           - logBinomial(m_draws, all, p, q);
}

double Hypergeometric::logTailSum(double x, int step) const
{
    // Terms decrease away from the mode; the tail asked for here starts at or
    // beyond the mean, so after at most one step they only shrink. The ratio
    // of successive terms avoids a log-gamma per term.
    const double first = logPmf(x);
    if (first == -Inf)
        return -Inf;
    double sum = 1.0;
    double term = 1.0;
    for (double k = x; step > 0 ? k < m_hi : k > m_lo; k += step) {
        if (step > 0)
            term *= (m_marked - k) * (m_draws - k) / ((k + 1) * (m_unmarked - m_draws + k + 1));
        else
            term *= k * (m_unmarked - m_draws + k) / ((m_marked - k + 1) * (m_draws - k + 1));
        sum += term;
        if (term < sum * 1e-17)
            break;
    }
    return first + std::log(sum);
}

double Hypergeometric::logLowerTail(double x) const
{
    x = std::floor(x);
    if (x < m_lo)
        return -Inf;
    if (x >= m_hi)
        return 0.0;
    // The side of the mean the sum runs towards is the small one; the other
    // is its complement.
    if (x <= mean())
        return logTailSum(x, -1);
    return log1mExp(logTailSum(x + 1, +1));
}

double Hypergeometric::logUpperTail(double x) const
{
    x = std::ceil(x);
    if (x > m_hi)
        return -Inf;
    if (x <= m_lo)
        return 0.0;
    if (x >= mean())
        return logTailSum(x, +1);
    return log1mExp(logTailSum(x - 1, -1));
}

double Hypergeometric::logNormalCdf(double z)
{
    if (z > -35)
        return std::log(0.5 * std::erfc(-z / std::sqrt(2.0)));
    // Far in the tail erfc underflows: the asymptotic series of Mills' ratio,
    // whose first omitted term is below 1e-12 here.
    const double z2 = z * z;
    const double series = 1 - 1 / z2 + 3 / (z2 * z2) - 15 / (z2 * z2 * z2) + 105 / (z2 * z2 * z2 * z2);
    return -z2 / 2 - std::log(-z) - 0.5 * std::log(2 * M_PI) + std::log(series);
}

double Hypergeometric::normalQuantileLog(double logP)
{
    if (std::isnan(logP) || logP > 0)
        return std::numeric_limits<double>::quiet_NaN();
    if (logP == 0)
        return Inf;
    if (logP == -Inf)
        return -Inf;
    // Upper half by symmetry: Phi(z) = p  <=>  Phi(-z) = 1 - p.
    if (logP > std::log(0.5))
        return -normalQuantileLog(log1mExp(logP));
    // Abramowitz & Stegun 26.2.23 as the start (error below 5e-4), then
    // Newton steps on log Phi, whose slope phi / Phi stays well-behaved in
    // the tail.
    const double t = std::sqrt(-2 * logP);
    double z = -(t - (2.515517 + 0.802853 * t + 0.010328 * t * t)
                         / (1 + 1.432788 * t + 0.189269 * t * t + 0.001308 * t * t * t));
    for (int i = 0; i < 50; ++i) {
        const double lc = logNormalCdf(z);
        const double logPhi = -z * z / 2 - 0.5 * std::log(2 * M_PI);
        const double step = (lc - logP) / std::exp(logPhi - lc);
        z -= step;
        if (std::fabs(step) < 1e-15 * std::max(1.0, std::fabs(z)))
            break;
    }
    return z;
}
