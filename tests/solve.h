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

#endif
