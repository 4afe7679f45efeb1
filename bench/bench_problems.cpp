#include "bench_problems.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "draw.h"

namespace {

// The all-positive family's ridge on the diagonal.
constexpr double ridge = 0.01;

double kernel(double ax, double ay, double bx, double by, double width)
{
    const double dx = ax - bx, dy = ay - by;
    return std::exp(-(dx * dx + dy * dy) / (2 * width * width));
}

BenchProblem kernelOfCentres(const char* family, uint32_t n, double width, std::vector<double>& cx,
                             std::vector<double>& cy)
{
    BenchProblem p{family, n, std::vector<double>(static_cast<size_t>(n) * n), std::vector<double>(n)};
    Draw centres{2024};
    cx.resize(n);
    cy.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        cx[i] = unit(centres);
        cy[i] = unit(centres);
    }
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = 0; r < n; ++r)
            p.Q[r + static_cast<size_t>(c) * n] = kernel(cx[r], cy[r], cx[c], cy[c], width);
    return p;
}

}  // namespace

namespace {

// A density estimate on the kernel's centres: b is each row's mean.
BenchProblem rowMeanProblem(const char* family, uint32_t n, double width)
{
    std::vector<double> cx, cy;
    BenchProblem p = kernelOfCentres(family, n, width, cx, cy);
    for (uint32_t r = 0; r < n; ++r) {
        double sum = 0.0;
        for (uint32_t c = 0; c < n; ++c)
            sum += p.Q[r + static_cast<size_t>(c) * n];
        p.b[r] = sum / n;
    }
    return p;
}

}  // namespace

BenchProblem densityProblem(uint32_t n)
{
    return rowMeanProblem("density", n, 0.2);
}

BenchProblem wideDensityProblem(uint32_t n)
{
    return rowMeanProblem("wide-density", n, 0.5);
}

namespace {

// b = Qw for the weights w scaled to sum 1 (total their sum): the target is
// itself a mixture of the candidates, so the gradient vanishes at w.
void realizeMixture(BenchProblem& p, std::vector<double>& w, double total)
{
    const uint32_t n = static_cast<uint32_t>(w.size());
    for (double& wi : w)
        wi /= total;
    for (uint32_t r = 0; r < n; ++r) {
        double sum = 0.0;
        for (uint32_t c = 0; c < n; ++c)
            sum += p.Q[r + static_cast<size_t>(c) * n] * w[c];
        p.b[r] = sum;
    }
}

}  // namespace

BenchProblem realizableProblem(uint32_t n)
{
    std::vector<double> cx, cy;
    BenchProblem p = kernelOfCentres("realizable", n, 0.1, cx, cy);
    std::vector<double> w(n, 0.0);
    Draw weights{11};
    double total = 0.0;
    for (uint32_t i = 0; i < n; i += 7) {
        w[i] = 0.5 + unit(weights);
        total += w[i];
    }
    realizeMixture(p, w, total);
    return p;
}

BenchProblem allPositiveProblem(uint32_t n)
{
    std::vector<double> cx, cy;
    BenchProblem p = kernelOfCentres("all-positive", n, 0.1, cx, cy);
    for (uint32_t i = 0; i < n; ++i)
        p.Q[i + static_cast<size_t>(i) * n] += ridge;
    std::vector<double> w(n);
    Draw weights{13};
    double total = 0.0;
    for (double& wi : w)
        total += wi = 0.5 + unit(weights);
    realizeMixture(p, w, total);
    return p;
}

BenchProblem mixtureProblem(uint32_t n, double widthFactor)
{
    const double width = 0.1 * widthFactor;
    std::vector<double> cx, cy;
    BenchProblem p = kernelOfCentres("mixture", n, width, cx, cy);
    const int samples = 300;
    const double clusters[3][2] = {{0.2, 0.3}, {0.7, 0.8}, {0.8, 0.2}};
    std::vector<double> sx(samples), sy(samples);
    Draw data{7};
    for (int j = 0; j < samples; ++j) {
        sx[j] = clusters[j % 3][0] + 0.15 * (unit(data) - 0.5);
        sy[j] = clusters[j % 3][1] + 0.15 * (unit(data) - 0.5);
    }
    for (uint32_t i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int j = 0; j < samples; ++j)
            sum += kernel(cx[i], cy[i], sx[j], sy[j], width);
        p.b[i] = sum / samples;
    }
    return p;
}

BenchProblem oneClassProblem(uint32_t n, double widthFactor)
{
    std::vector<double> cx, cy;
    BenchProblem p = kernelOfCentres("one-class", n, 0.1 * widthFactor, cx, cy);
    p.b.assign(n, 1.0);
    return p;
}

BenchProblem portfolioProblem(uint32_t n)
{
    constexpr uint32_t factors = 8;
    constexpr double lambda = 0.5;
    Draw draw{77};
    std::vector<double> B(static_cast<size_t>(n) * factors);
    for (uint32_t i = 0; i < n; ++i)
        for (uint32_t f = 0; f < factors; ++f)
            B[i + static_cast<size_t>(f) * n] = f == 0 ? 0.15 + 0.1 * unit(draw) : 0.1 * (unit(draw) - 0.5);
    BenchProblem p{"portfolio", n, std::vector<double>(static_cast<size_t>(n) * n), std::vector<double>(n)};
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = 0; r <= c; ++r) {
            double sum = 0.0;
            for (uint32_t f = 0; f < factors; ++f)
                sum += B[r + static_cast<size_t>(f) * n] * B[c + static_cast<size_t>(f) * n];
            p.Q[r + static_cast<size_t>(c) * n] = sum;
            p.Q[c + static_cast<size_t>(r) * n] = sum;
        }
    for (uint32_t i = 0; i < n; ++i) {
        const double idiosyncratic = 0.2 * (0.5 + unit(draw));
        p.Q[i + static_cast<size_t>(i) * n] += idiosyncratic * idiosyncratic;
        p.b[i] = lambda * (0.1 * unit(draw) - 0.02);  // μ in [-2%, 8%)
    }
    return p;
}

std::vector<double> familyBounds(const std::string& family, uint32_t n, std::string& base)
{
    base = family;
    for (const char* marker : {"-nu", "-cap"}) {
        const size_t at = family.rfind(marker);
        if (at == std::string::npos)
            continue;
        const double value = std::strtod(family.c_str() + at + std::strlen(marker), nullptr);
        base = family.substr(0, at);
        const double bound = marker[1] == 'n' ? 1.0 / (value * n) : value;
        return std::vector<double>(n, bound);
    }
    return {};
}

bool benchProblem(const std::string& family, uint32_t n, BenchProblem& problem, std::vector<double>& upper)
{
    std::string base;
    upper = familyBounds(family, n, base);
    if (base == "portfolio")
        problem = portfolioProblem(n);
    else if (base == "density")
        problem = densityProblem(n);
    else if (base == "mixture")
        problem = mixtureProblem(n);
    else if (base == "one-class")
        problem = oneClassProblem(n);
    else if (base == "wide-density")
        problem = wideDensityProblem(n);
    else if (base == "realizable")
        problem = realizableProblem(n);
    else if (base == "all-positive")
        problem = allPositiveProblem(n);
    else
        return false;
    problem.name = family;
    return true;
}

bool benchProblem(const std::string& family, uint32_t n, BenchProblem& problem)
{
    std::vector<double> upper;
    return benchProblem(family, n, problem, upper) && upper.empty();
}
