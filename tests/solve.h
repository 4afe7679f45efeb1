// Small helpers shared by the solver tests.
#ifndef SIMPLEXQP_TESTS_SOLVE_H
#define SIMPLEXQP_TESTS_SOLVE_H

#include <cstdint>
#include <cstring>
#include <vector>

using Solver = void (*)(const double*, const double*, uint32_t, double*);

// Runs a solver on copies of Q and b and returns x. x starts out filled with
// a marker, so that an element the solver fails to write shows.
inline std::vector<double> solve(Solver solver, const std::vector<double>& Q, const std::vector<double>& b)
{
    const uint32_t n = static_cast<uint32_t>(b.size());
    std::vector<double> x(n, -12345.0);
    solver(Q.data(), b.data(), n, x.data());
    return x;
}

inline uint64_t bitsOf(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Bit patterns, so that a mismatch prints exactly and NaNs compare.
inline std::vector<uint64_t> bitsOf(const std::vector<double>& values)
{
    std::vector<uint64_t> bits;
    for (double v : values)
        bits.push_back(bitsOf(v));
    return bits;
}

// (Qx)_i and (Q'x)_i as defined: the plain sequential sums over ascending k
// from +0.0, against which faster products are checked.
inline double plainRowProduct(const std::vector<double>& Q, const std::vector<double>& x, uint32_t i)
{
    const uint32_t n = static_cast<uint32_t>(x.size());
    double sum = 0.0;
    for (uint32_t k = 0; k < n; ++k)
        sum = sum + Q[i + static_cast<size_t>(k) * n] * x[k];
    return sum;
}

inline double plainColumnProduct(const std::vector<double>& Q, const std::vector<double>& x, uint32_t i)
{
    const uint32_t n = static_cast<uint32_t>(x.size());
    double sum = 0.0;
    for (uint32_t k = 0; k < n; ++k)
        sum = sum + Q[k + static_cast<size_t>(i) * n] * x[k];
    return sum;
}

#endif
