// The least-squares solver's time per right-hand side on synthetic
// unmixing: n spectra of m bands (smooth, positive), each column of D a
// mixture of three of them plus noise, all columns in one call at the
// default tolerance, as simplexLSQ runs them.
//
// Usage: lsq_bench [--m M] [--n N] [--p P] [--noise S] [--tol T] [--route formed|computed]
// Prints the seconds of the call, the microseconds per right-hand side,
// how many converged and the mean support.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <vector>

#include "cpu_time.h"
#include "least_squares/lsq_parts.h"
#include "unmixing_problems.h"

namespace {

// Counts the exact checks (each a product of C' with the residual, once
// the checks read the source's gradients).
void countCheck(void* context, const CertifiedProgress&)
{
    ++*static_cast<uint64_t*>(context);
}

}  // namespace

int main(int argc, char** argv)
{
    uint32_t m = 200, n = 20, p = 200000;
    double noise = 1e-3;
    int route = -1;  // as leastSquaresOnSimplex chooses
    double tol = 0.0;  // 0: each column's default
    for (int a = 1; a + 1 < argc; a += 2) {
        if (!std::strcmp(argv[a], "--m"))
            m = static_cast<uint32_t>(std::atol(argv[a + 1]));
        else if (!std::strcmp(argv[a], "--n"))
            n = static_cast<uint32_t>(std::atol(argv[a + 1]));
        else if (!std::strcmp(argv[a], "--p"))
            p = static_cast<uint32_t>(std::atol(argv[a + 1]));
        else if (!std::strcmp(argv[a], "--noise"))
            noise = std::atof(argv[a + 1]);
        else if (!std::strcmp(argv[a], "--tol"))
            tol = std::atof(argv[a + 1]);
        else if (!std::strcmp(argv[a], "--route"))
            route = std::strcmp(argv[a + 1], "formed") == 0 ? 1 : 0;
        else {
            std::fprintf(stderr, "lsq_bench: unknown option %s\n", argv[a]);
            return 2;
        }
    }
    std::vector<double> C, D;
    unmixing(m, n, p, noise, C, D);
    std::vector<double> X(static_cast<size_t>(n) * p);
    std::vector<CertifiedReport> reports(p);
    const uint64_t cap = 100ull * n > 10000000ull ? 100ull * n : 10000000ull;
    uint64_t checks = 0;
    const LeastSquaresSettings settings{CertifiedSettings{tol, cap, nullptr, countCheck, &checks, nullptr, nullptr},
                                        !(tol > 0.0)};
    const bool formed = route < 0 ? formsGram(m, n, p) : route == 1;
    const double start = cpuSeconds();
    leastSquaresColumns(C.data(), m, n, D.data(), p, settings, X.data(), reports.data(), formed);
    const double seconds = cpuSeconds() - start;
    uint64_t converged = 0, support = 0, iterations = 0, most = 0, polished = 0;
    for (const CertifiedReport& r : reports) {
        most = r.iterations > most ? r.iterations : most;
        polished += r.polishSteps > 0;
        converged += r.converged;
        support += r.support;
        iterations += r.iterations;
    }
    std::vector<uint64_t> steps;
    for (const CertifiedReport& r : reports)
        steps.push_back(r.iterations);
    std::sort(steps.begin(), steps.end());
    if (p > 0)
        std::printf("checks per right-hand side: %.2f\n", static_cast<double>(checks) / p);
    if (p > 0)
        std::printf("steps: median %llu, 90th percentile %llu, 99th %llu\n",
                    static_cast<unsigned long long>(steps[p / 2]), static_cast<unsigned long long>(steps[p * 9 / 10]),
                    static_cast<unsigned long long>(steps[p * 99 / 100]));
    std::printf("m %u n %u p %u (%s): %.3f s, %.2f us per right-hand side, %llu converged, support %.2f, "
                "steps %.1f (most %llu), %llu polished\n",
                m, n, p, formed ? "Q formed" : "Q computed", seconds, 1e6 * seconds / p,
                static_cast<unsigned long long>(converged), static_cast<double>(support) / p,
                static_cast<double>(iterations) / p, static_cast<unsigned long long>(most),
                static_cast<unsigned long long>(polished));
    return converged == p ? 0 : 1;
}
