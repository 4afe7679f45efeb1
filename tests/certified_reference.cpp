#include "certified_reference.h"

#include <cmath>
#include <limits>

#include "draw.h"

namespace {

using Wide = long double;

Wide entry(const std::vector<double>& Q, size_t n, size_t r, size_t c)
{
    return Q[r + c * n];
}

// Solves A y = rhs (m-by-m, row-major) by elimination with partial
// pivoting; false when A is singular to working precision.
bool solveSystem(std::vector<Wide>& A, std::vector<Wide>& rhs, size_t m)
{
    for (size_t col = 0; col < m; ++col) {
        size_t pivot = col;
        for (size_t r = col + 1; r < m; ++r)
            if (std::fabs(A[r * m + col]) > std::fabs(A[pivot * m + col]))
                pivot = r;
        if (std::fabs(A[pivot * m + col]) < 1e-14L)
            return false;
        if (pivot != col) {
            for (size_t c = 0; c < m; ++c)
                std::swap(A[col * m + c], A[pivot * m + c]);
            std::swap(rhs[col], rhs[pivot]);
        }
        for (size_t r = col + 1; r < m; ++r) {
            const Wide factor = A[r * m + col] / A[col * m + col];
            for (size_t c = col; c < m; ++c)
                A[r * m + c] -= factor * A[col * m + c];
            rhs[r] -= factor * rhs[col];
        }
    }
    for (size_t r = m; r-- > 0;) {
        Wide sum = rhs[r];
        for (size_t c = r + 1; c < m; ++c)
            sum -= A[r * m + c] * rhs[c];
        rhs[r] = sum / A[r * m + r];
    }
    return true;
}

// The stationary point of f on a face: the free coordinates F, the others
// fixed at x (x_F is 0 on entry). Solves
//     [Q_FF -1; 1' 0] [x_F; lambda] = [b_F - Q_F x; 1 - sum x]
// into x_F; returns lambda in lambda, false when the system is singular.
bool solveOnFace(const std::vector<double>& Q, const std::vector<double>& b, const std::vector<size_t>& free,
                 std::vector<Wide>& x, Wide& lambda)
{
    const size_t n = b.size(), s = free.size(), m = s + 1;
    std::vector<Wide> A(m * m, 0), y(m, 0);
    Wide fixedSum = 0;
    for (Wide xi : x)
        fixedSum += xi;
    for (size_t r = 0; r < s; ++r) {
        for (size_t c = 0; c < s; ++c)
            A[r * m + c] = entry(Q, n, free[r], free[c]);
        A[r * m + s] = -1;
        A[s * m + r] = 1;
        y[r] = b[free[r]];
        for (size_t k = 0; k < n; ++k)
            y[r] -= entry(Q, n, free[r], k) * x[k];
    }
    y[s] = 1 - fixedSum;
    if (!solveSystem(A, y, m))
        return false;
    for (size_t r = 0; r < s; ++r)
        x[free[r]] = y[r];
    lambda = y[s];
    return true;
}

}  // namespace

long double violationInLongDouble(const std::vector<double>& Q, const std::vector<double>& b,
                                  const std::vector<double>& x, long double& error, const std::vector<double>& upper)
{
    const size_t n = b.size();
    const Wide unit = std::numeric_limits<Wide>::epsilon() / 2;
    Wide largest = -INFINITY, smallest = INFINITY, largestError = 0;
    for (size_t i = 0; i < n; ++i) {
        Wide g = 0, magnitude = 0;
        for (size_t k = 0; k < n; ++k) {
            g += entry(Q, n, i, k) * x[k];
            magnitude += std::fabs(entry(Q, n, i, k) * x[k]);
        }
        g -= b[i];
        // Each of the 2n operations rounds by at most unit; a generous factor.
        const Wide e = 4 * (n + 2) * unit * (magnitude + std::fabs(b[i]));
        largestError = e > largestError ? e : largestError;
        if (x[i] > 0)
            largest = g > largest ? g : largest;
        if (upper.empty() || x[i] < upper[i])
            smallest = g < smallest ? g : smallest;
    }
    error = 2 * largestError;
    return smallest == INFINITY ? 0 : largest - smallest;
}

namespace {

// f(x) for weights in double or in long double.
template <typename Weight>
Wide objectiveOf(const std::vector<double>& Q, const std::vector<double>& b, const std::vector<Weight>& x)
{
    const size_t n = b.size();
    Wide f = 0;
    for (size_t i = 0; i < n; ++i) {
        Wide p = 0;
        for (size_t k = 0; k < n; ++k)
            p += entry(Q, n, i, k) * x[k];
        f += 0.5L * x[i] * p - x[i] * b[i];
    }
    return f;
}

}  // namespace

long double objectiveInLongDouble(const std::vector<double>& Q, const std::vector<double>& b,
                                  const std::vector<double>& x)
{
    return objectiveOf(Q, b, x);
}

bool minimumBySupports(const std::vector<double>& Q, const std::vector<double>& b, long double& minimum,
                       std::vector<long double>& minimiser)
{
    const size_t n = b.size();
    bool found = false;
    for (uint32_t mask = 1; mask < (1u << n); ++mask) {
        std::vector<size_t> support;
        for (size_t i = 0; i < n; ++i)
            if (mask & (1u << i))
                support.push_back(i);
        std::vector<Wide> x(n, 0);
        Wide lambda;
        if (!solveOnFace(Q, b, support, x, lambda))
            continue;
        bool feasible = true;
        for (size_t i : support) {
            feasible = feasible && x[i] >= -1e-15L;
            x[i] = x[i] > 0 ? x[i] : 0;
        }
        Wide f = 0;
        for (size_t i = 0; i < n && feasible; ++i) {
            Wide g = -static_cast<Wide>(b[i]);
            for (size_t k = 0; k < n; ++k)
                g += entry(Q, n, i, k) * x[k];
            feasible = g >= lambda - 1e-12L * (1 + std::fabs(lambda));
            f += 0.5L * x[i] * (g + b[i]) - x[i] * b[i];
        }
        if (feasible && (!found || f < minimum)) {
            found = true;
            minimum = f;
            minimiser = x;
        }
    }
    return found;
}

bool minimumWithinBounds(const std::vector<double>& Q, const std::vector<double>& b,
                         const std::vector<double>& upper, long double& minimum)
{
    const size_t n = b.size();
    size_t splits = 1;
    for (size_t i = 0; i < n; ++i)
        splits *= 3;
    bool found = false;
    for (size_t code = 0; code < splits; ++code) {
        // Each coordinate's place, a digit of code: 0 at zero, 1 at its
        // bound, 2 free.
        std::vector<Wide> x(n, 0);
        std::vector<size_t> free;
        bool possible = true;
        Wide fixedSum = 0;
        for (size_t i = 0, c = code; i < n; ++i, c /= 3) {
            if (c % 3 == 1) {
                possible = possible && std::isfinite(upper[i]);
                x[i] = upper[i];
                fixedSum += x[i];
            } else if (c % 3 == 2) {
                free.push_back(i);
            }
        }
        if (!possible)
            continue;
        Wide lambda;
        if (free.empty()) {
            possible = std::fabs(fixedSum - 1) <= 1e-15L;
        } else {
            possible = solveOnFace(Q, b, free, x, lambda);
            for (size_t i : free)
                possible = possible && x[i] >= -1e-15L && x[i] <= upper[i] + 1e-15L;
        }
        if (!possible)
            continue;
        const Wide f = objectiveOf(Q, b, x);
        if (!found || f < minimum) {
            found = true;
            minimum = f;
        }
    }
    return found;
}

namespace {

double kernelOfPoints(double ax, double ay, double bx, double by)
{
    const double dx = ax - bx, dy = ay - by;
    return std::exp(-(dx * dx + dy * dy) / 0.02);
}

// The kernel over n points drawn uniformly in the unit square (into px,
// py), b = 1.
CorpusProblem kernelProblem(const char* name, uint32_t n, Draw& draw, std::vector<double>& px,
                            std::vector<double>& py)
{
    px.resize(n);
    py.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        px[i] = unit(draw);
        py[i] = unit(draw);
    }
    CorpusProblem p{name, n, std::vector<double>(static_cast<size_t>(n) * n), std::vector<double>(n, 1.0)};
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = 0; r < n; ++r)
            p.Q[r + static_cast<size_t>(c) * n] = kernelOfPoints(px[r], py[r], px[c], py[c]);
    return p;
}

}  // namespace

CorpusProblem oneClassProblem(uint32_t n, uint64_t seed)
{
    Draw draw{seed};
    std::vector<double> px, py;
    return kernelProblem("one-class", n, draw, px, py);
}

CorpusProblem mixtureProblem(uint32_t n, uint64_t seed)
{
    Draw draw{seed};
    std::vector<double> px, py;
    CorpusProblem p = kernelProblem("mixture", n, draw, px, py);
    const int samples = 150;
    const double clusters[3][2] = {{0.2, 0.3}, {0.7, 0.8}, {0.8, 0.2}};
    std::vector<double> sx(samples), sy(samples);
    for (int j = 0; j < samples; ++j) {
        sx[j] = clusters[j % 3][0] + 0.15 * (unit(draw) - 0.5);
        sy[j] = clusters[j % 3][1] + 0.15 * (unit(draw) - 0.5);
    }
    for (uint32_t i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int j = 0; j < samples; ++j)
            sum += kernelOfPoints(px[i], py[i], sx[j], sy[j]);
        p.b[i] = sum / samples;
    }
    return p;
}
