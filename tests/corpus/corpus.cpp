#include "corpus.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

struct Random {
    uint64_t state;
};

uint64_t next(Random& random)
{
    uint64_t z = (random.state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

// Uniform on [lo, hi).
double uniform(Random& random, double lo, double hi)
{
    const double unit = static_cast<double>(next(random) >> 11) * 0x1.0p-53;
    return lo + (hi - lo) * unit;
}

// exp(y) for y <= 0 from basic operations only, so that every platform's
// corpus is the same whatever its libm does in the last bit.
double portableExp(double y)
{
    if (y < -700.0)
        return 0.0;
    constexpr double ln2Hi = 6.93147180369123816490e-01;
    constexpr double ln2Lo = 1.90821492927058770002e-10;
    constexpr double invLn2 = 1.44269504088896338700e+00;
    const double k = std::floor(y * invLn2 + 0.5);
    const double r = (y - k * ln2Hi) - k * ln2Lo;
    double p = 1.0;
    for (int j = 20; j >= 1; --j)
        p = 1.0 + r * p / j;
    return std::ldexp(p, static_cast<int>(k));
}

CorpusProblem blank(const std::string& name, uint32_t n)
{
    CorpusProblem problem;
    problem.name = name;
    problem.n = n;
    problem.Q.assign(static_cast<size_t>(n) * n, 0.0);
    problem.b.assign(n, 0.0);
    return problem;
}

std::string label(const char* kind, uint32_t n, uint64_t seed)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s n=%u seed=%llu", kind, n, static_cast<unsigned long long>(seed));
    return text;
}

// Gaussian kernel of points in the unit square; duplicates > 0 repeats some
// points exactly, which ties rows and gradients.
void fillKernel(CorpusProblem& problem, Random& random, uint32_t duplicates)
{
    const uint32_t n = problem.n;
    std::vector<double> px(n), py(n);
    for (uint32_t i = 0; i < n; ++i) {
        if (i > 0 && i < duplicates + 1) {
            px[i] = px[0];
            py[i] = py[0];
        } else {
            px[i] = uniform(random, 0.0, 1.0);
            py[i] = uniform(random, 0.0, 1.0);
        }
    }
    const double width = uniform(random, 0.05, 0.5);
    const double scale = -1.0 / (2.0 * width * width);
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = 0; r < n; ++r) {
            const double dx = px[r] - px[c];
            const double dy = py[r] - py[c];
            problem.Q[r + static_cast<size_t>(c) * n] = portableExp((dx * dx + dy * dy) * scale);
        }
}

}  // namespace

CorpusProblem gaussianKernelProblem(uint32_t n, uint64_t seed)
{
    CorpusProblem problem = blank(label("gaussian-kernel", n, seed), n);
    Random random{seed};
    fillKernel(problem, random, 0);
    // Density-style linear term: the kernel's row means.
    for (uint32_t r = 0; r < n; ++r) {
        double sum = 0.0;
        for (uint32_t c = 0; c < n; ++c)
            sum += problem.Q[r + static_cast<size_t>(c) * n];
        problem.b[r] = sum / n;
    }
    return problem;
}

CorpusProblem psdProblem(uint32_t n, uint32_t rank, uint64_t seed)
{
    CorpusProblem problem = blank(label("psd", n, seed), n);
    Random random{seed};
    std::vector<double> A(static_cast<size_t>(n) * rank);
    for (double& a : A)
        a = uniform(random, -1.0, 1.0);
    // Q = A A' / rank, summed in the same order for (r, c) and (c, r) so
    // that Q is exactly symmetric.
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = 0; r < n; ++r) {
            double sum = 0.0;
            for (uint32_t l = 0; l < rank; ++l)
                sum += A[r + static_cast<size_t>(l) * n] * A[c + static_cast<size_t>(l) * n];
            problem.Q[r + static_cast<size_t>(c) * n] = sum / rank;
        }
    for (uint32_t i = 0; i < n; ++i)
        problem.b[i] = uniform(random, 0.05, 1.0);
    return problem;
}

// Kernel problems whose b ties: all equal, or the largest value repeated.
CorpusProblem tiedProblem(uint32_t n, uint64_t seed)
{
    CorpusProblem problem = blank(label("ties", n, seed), n);
    Random random{seed};
    fillKernel(problem, random, n / 3);
    for (uint32_t i = 0; i < n; ++i)
        problem.b[i] = (seed % 2 == 0) ? 1.0 : (i % 3 == 0 ? 0.75 : 0.25);
    return problem;
}

// Uncorrelated assets: diagonal Q, some weights starting below the zero
// threshold.
CorpusProblem diagonalProblem(uint32_t n, uint64_t seed)
{
    CorpusProblem problem = blank(label("diagonal", n, seed), n);
    Random random{seed};
    for (uint32_t i = 0; i < n; ++i) {
        problem.Q[i + static_cast<size_t>(i) * n] = uniform(random, 0.5, 4.0);
        problem.b[i] = (i % 5 == 4) ? 1e-9 : uniform(random, 0.1, 2.0);
    }
    return problem;
}

// Covariance-like Q with a linear term of both signs (its sum stays well
// away from zero), so that some starting weights are negative.
CorpusProblem signedProblem(uint32_t n, uint64_t seed)
{
    CorpusProblem problem = psdProblem(n, n / 2 + 1, seed);
    problem.name = label("signed-b", n, seed);
    Random random{seed ^ 0x5bd1e995ULL};
    for (uint32_t i = 0; i < n; ++i)
        problem.b[i] = uniform(random, -0.2, 1.0);
    problem.b[0] = 1.0;
    return problem;
}

std::vector<CorpusProblem> makeCorpus()
{
    std::vector<CorpusProblem> corpus;
    const uint32_t sizes[] = {1, 2, 3, 4, 5, 7, 10, 16, 25, 40, 64, 100, 150, 220, 300};
    uint64_t seed = 1;
    for (uint32_t n : sizes) {
        corpus.push_back(gaussianKernelProblem(n, seed++));
        corpus.push_back(psdProblem(n, n < 4 ? n : n / 2, seed++));
        if (n <= 150) {
            corpus.push_back(gaussianKernelProblem(n, seed++));
            corpus.push_back(psdProblem(n, n + 3, seed++));
            corpus.push_back(tiedProblem(n, seed++));
            corpus.push_back(tiedProblem(n, seed++));
            corpus.push_back(diagonalProblem(n, seed++));
            corpus.push_back(signedProblem(n, seed++));
        }
    }
    return corpus;
}

std::string hexLine(const double* x, uint32_t n)
{
    std::string line;
    char digits[17];
    for (uint32_t i = 0; i < n; ++i) {
        uint64_t bits;
        std::memcpy(&bits, &x[i], sizeof bits);
        std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(bits));
        if (i)
            line += ' ';
        line += digits;
    }
    return line;
}
