#include "own_solvers.h"

#include <cmath>
#include <vector>

#include "certified/certified_smo.h"
#include "cpu_time.h"
#include "raw_doubles.h"
#include "run_records.h"
#include "simplex_qp.h"

namespace {

// Far beyond what these problems need (a few steps per weight); a run that
// hits it is reported as stopped, not hidden.
uint64_t stepCap(uint32_t n)
{
    return 1000ULL * n + 1000000ULL;
}

bool record(const BenchProblem& p, const char* solver, double seconds, bool satisfied, const std::string& note,
            const std::vector<double>& x, const std::string& answerDir, FILE* runs)
{
    const RunRecord run{p.name, p.n, solver, seconds, satisfied ? "solved" : "stopped", note};
    if (!writeDoubles(answerPath(answerDir, run), x))
        return false;
    writeRun(runs, run);
    return true;
}

// tol NaN: the default tolerance, passed explicitly (so that the record
// names it) and timed with the solve, as a call without a tolerance pays it.
bool runCertified(const BenchProblem& p, const std::vector<double>& upper, const char* solver, double tol,
                  const std::string& answerDir, int repeats, FILE* runs)
{
    std::vector<double> x(p.n);
    CertifiedReport report{};
    const bool useDefault = std::isnan(tol);
    const double seconds = bestTime(repeats, [&] {
        if (useDefault)
            tol = defaultTolerance(p.Q.data(), p.b.data(), p.n);
        const CertifiedSettings settings{tol, stepCap(p.n), nullptr, nullptr, nullptr, nullptr,
                                         upper.empty() ? nullptr : upper.data()};
        certifiedSMO(p.Q.data(), p.b.data(), p.n, settings, x.data(), report);
    });
    uint32_t support = 0;
    for (double xi : x)
        support += xi > 0.0;
    char note[200];
    std::snprintf(note, sizeof note, "tol %.3g; %llu steps; %llu polish steps; %u positive; %u at the bound; "
                  "reported gap %.3g", tol, static_cast<unsigned long long>(report.iterations),
                  static_cast<unsigned long long>(report.polishSteps), support, report.atUpperBound, report.gap);
    return record(p, solver, seconds, report.converged, note, x, answerDir, runs);
}

bool runSimplexQP(const BenchProblem& p, const char* solver, void (*solve)(const double*, const double*, uint32_t,
                                                                            double*),
                  const std::string& answerDir, int repeats, FILE* runs)
{
    std::vector<double> x(p.n);
    const double seconds = bestTime(repeats, [&] { solve(p.Q.data(), p.b.data(), p.n, x.data()); });
    return record(p, solver, seconds, true, "", x, answerDir, runs);
}

}  // namespace

bool runOwnSolvers(const BenchProblem& p, const std::vector<double>& upper, const std::string& answerDir, int repeats,
                   FILE* runs, bool certifiedOnly)
{
    return runCertified(p, upper, "certifiedSMO-default", NAN, answerDir, repeats, runs) &&
           runCertified(p, upper, "certifiedSMO-1e-6", 1e-6, answerDir, repeats, runs) &&
           (certifiedOnly || !upper.empty() || (runSimplexQP(p, "simplexQP-SMO", SMO, answerDir, repeats, runs) &&
                              runSimplexQP(p, "simplexQP-multUpdate", multUpdate, answerDir, repeats, runs)));
}
