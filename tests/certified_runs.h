// What certifiedSMO's tests share: a run that checks it left no scratch
// behind and wrote nothing it was only to read, the checks every answer
// must pass, and the problems they draw.
#ifndef SIMPLEXQP_TESTS_CERTIFIED_RUNS_H
#define SIMPLEXQP_TESTS_CERTIFIED_RUNS_H

#include <cstdint>
#include <vector>

#include "certified/certified_smo.h"
#include "corpus/corpus.h"

struct CertifiedRun {
    std::vector<double> x;
    CertifiedReport report;
    double tol;
};

constexpr uint64_t generousCap = 100000000;

CertifiedRun runCertified(const std::vector<double>& Q, const std::vector<double>& b, double tol,
                          uint64_t cap = generousCap);
CertifiedRun runCertified(const std::vector<double>& Q, const std::vector<double>& b, double tol, uint64_t cap,
                          const SolverSettings& settings);

CertifiedRun runWithDefault(const std::vector<double>& Q, const std::vector<double>& b);

// x on the simplex (as far as rounding lets a sum of n weights be 1), the
// reported objective that of x, and the reported gap no smaller than the
// violation summed afresh in long double. Returns that violation.
long double checkAnswer(const std::vector<double>& Q, const std::vector<double>& b, const CertifiedRun& run,
                        const char* label);

// The default settings, but every block of optional scratch refused (a
// block given back fails the test).
SolverSettings refusing();

// A A' + delta I for an n-by-rank A of both signs: positive definite.
CorpusProblem positiveDefinite(uint32_t n, uint32_t rank, double delta, uint64_t seed);

// A symmetric matrix of both signs: indefinite for n > 1 almost surely.
CorpusProblem indefinite(uint32_t n, uint64_t seed);

#endif
