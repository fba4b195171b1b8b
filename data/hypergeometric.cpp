#include "data/hypergeometric.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

double logChoose(double n, double k)
{
    return std::lgamma(n + 1) - std::lgamma(k + 1) - std::lgamma(n - k + 1);
}

const double Inf = std::numeric_limits<double>::infinity();

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
    m_logDenominator = logChoose(marked + unmarked, draws);
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
    return logChoose(m_marked, x) + logChoose(m_unmarked, m_draws - x) - m_logDenominator;
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
