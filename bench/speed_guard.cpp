// A guard against a loss of speed that no answer shows: SMO, multUpdate
// and certifiedSMO (at its default tolerance, as simplexQPopt runs it) on
// the benchmark's problems, each timed as a multiple of one read of Q in
// the same process, compared with the multiples recorded in FIGURES.
//
// Usage: speed_guard FIGURES
// FIGURES has one line per run, "family solver multiple" ('#' starts a
// comment), for n = 4000. A multiple above three times its figure fails:
// far beyond what a busy machine does to a ratio of two CPU times, each
// the best of three, yet far below the twentyfold loss that a helper
// asking the processor on every call once cost SMO. This is no goal of
// speed (those stay in the benchmark): a run faster than its figure passes.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_problems.h"
#include "certified/certified_smo.h"
#include "common/matrix_facts.h"
#include "cpu_time.h"
#include "simplex_qp.h"

namespace {

constexpr uint32_t guardN = 4000;
constexpr int repeats = 3;
constexpr double allowedFactor = 3.0;

struct Figure {
    std::string family, solver;
    double multiple;
};

bool readFigures(const char* path, std::vector<Figure>& figures)
{
    std::ifstream file(path);
    if (!file)
        return false;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        Figure figure;
        if (!(fields >> figure.family >> figure.solver >> figure.multiple) || !(figure.multiple > 0.0))
            return false;
        figures.push_back(figure);
    }
    return !figures.empty();
}

// Pair steps before certifiedSMO ends unconverged, as simplexQPopt caps them.
uint64_t iterationCap(uint32_t n)
{
    const uint64_t perCoordinate = 100ull * n;
    return perCoordinate > 10000000ull ? perCoordinate : 10000000ull;
}

// CPU seconds of one solve, best of the repeats; false for an unknown solver.
bool timeSolver(const std::string& solver, const BenchProblem& p, double& seconds)
{
    std::vector<double> x(p.n);
    const double* Q = p.Q.data();
    const double* b = p.b.data();
    if (solver == "SMO") {
        seconds = bestTime(repeats, [&] { SMO(Q, b, p.n, x.data()); });
    } else if (solver == "multUpdate") {
        seconds = bestTime(repeats, [&] { multUpdate(Q, b, p.n, x.data()); });
    } else if (solver == "certifiedSMO") {
        CertifiedReport report{};
        // The default tolerance read from Q is part of a call's cost.
        seconds = bestTime(repeats, [&] {
            certifiedSMO(Q, b, p.n, defaultTolerance(Q, b, p.n), iterationCap(p.n), x.data(), report);
        });
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<Figure> figures;
    if (argc != 2 || !readFigures(argv[1], figures)) {
        std::fprintf(stderr, "usage: speed_guard FIGURES (lines \"family solver multiple\"); cannot read %s\n",
                     argc == 2 ? argv[1] : "it");
        return 2;
    }
    std::printf("n = %u; CPU time, best of %d, as a multiple of one read of Q; fails above %.0fx the figure\n",
                guardN, repeats, allowedFactor);
    int failures = 0;
    std::string family;
    BenchProblem p;
    double readQ = 0.0;
    for (const Figure& figure : figures) {
        if (figure.family != family) {
            if (!benchProblem(figure.family, guardN, p)) {
                std::fprintf(stderr, "speed_guard: unknown family %s\n", figure.family.c_str());
                return 2;
            }
            family = figure.family;
            const size_t entries = static_cast<size_t>(guardN) * guardN;
            readQ = bestTime(repeats, [&] { allFinite(defaultSettings().path, p.Q.data(), entries); });
        }
        double seconds = 0.0;
        if (!timeSolver(figure.solver, p, seconds)) {
            std::fprintf(stderr, "speed_guard: unknown solver %s\n", figure.solver.c_str());
            return 2;
        }
        const double multiple = seconds / readQ;
        const bool slow = multiple > allowedFactor * figure.multiple;
        failures += slow;
        std::printf("%-8s %-13s %8.4f s  %7.1fx read (%.4f s)  figure %6.1fx  %s\n", family.c_str(),
                    figure.solver.c_str(), seconds, multiple, readQ, figure.multiple, slow ? "FAIL: too slow" : "ok");
    }
    if (failures > 0) {
        std::printf("FAIL: %d of %zu runs above %.0fx their recorded multiple\n", failures, figures.size(),
                    allowedFactor);
        return 1;
    }
    std::printf("every run within %.0fx its recorded multiple\n", allowedFactor);
    return 0;
}
