#ifndef HYPERGEOMETRIC_H
#define HYPERGEOMETRIC_H

// The hypergeometric law of the count X of marked items among `draws` items
// taken without replacement from `marked` + `unmarked` items, and the normal
// quantile that turns its tail probabilities into test values. Tails are
// also given as logarithms so that a very strong effect keeps a finite test
// value where its probability underflows.
class Hypergeometric
{
public:
    Hypergeometric(double marked, double unmarked, double draws);

    double lowest() const { return m_lo; }
    double highest() const { return m_hi; }
    double mean() const;
    // log P(X = x); -inf outside the support.
    double logPmf(double x) const;
    // log P(X <= x) and log P(X >= x).
    double logLowerTail(double x) const;
    double logUpperTail(double x) const;

    // The standard normal quantile of a lower-tail probability given by its
    // logarithm: z with log Phi(z) = logP (logP <= 0).
    static double normalQuantileLog(double logP);
    // log Phi(z), accurate far into the lower tail.
    static double logNormalCdf(double z);

private:
    // Sums P(X = k) from x away from the mean (step +1 or -1), in the log.
    double logTailSum(double x, int step) const;

    double m_marked;
    double m_unmarked;
    double m_draws;
    double m_lo;
    double m_hi;
};

#endif // HYPERGEOMETRIC_H
