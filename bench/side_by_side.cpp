// The side-by-side benchmark's C++ half (bench/side_by_side.sh runs it all):
//
// side_by_side solve --dir DIR --sizes 500,1000 [--families density,mixture,one-class] [--repeats 3]
//                    [--certified-only yes] [--from-files yes]
//     writes each problem (DIR/problems/FAMILY-N.Q, .b), runs the project's
//     own solvers on it (certifiedSMO alone with --certified-only, for n
//     where simplexQP's take minutes), and writes their answers
//     (DIR/answers) and records (DIR/runs-own.csv). Families: density,
//     mixture, one-class, wide-density, realizable, all-positive,
//     portfolio, and any of them bounded, as one-class-nu0.1 or
//     portfolio-cap0.02 (bench_problems.h; the bounds go to
//     DIR/problems/FAMILY-N.u, and simplexQP's solvers, which take none,
//     are not run); with --from-files, any name whose problem files some
//     other program wrote into DIR/problems (bench/digits_problem.py,
//     bench/one_class_data.py), with bounds where a .u file is there.
// side_by_side evaluate --dir DIR [--check] RUNS.csv...
//     measures every recorded answer the same way, prints the tables as
//     Markdown (also to DIR/side_by_side.md) and writes DIR/side_by_side.csv
//     for the plot. --check: exits with 1 when a solver failed, when an
//     answer as given is not on the simplex, or when an answer asked for a
//     gap of 1e-6 or less ends more than 1e-6 above the best.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "answer_metrics.h"
#include "bench_problems.h"
#include "option_lists.h"
#include "own_solvers.h"
#include "raw_doubles.h"
#include "run_records.h"
#include "side_by_side_report.h"

namespace {

const char* const usage =
    "usage: side_by_side solve --dir DIR --sizes N,... [--families density,mixture,one-class] [--repeats R]\n"
    "                          [--certified-only yes] [--from-files yes]\n"
    "       side_by_side evaluate --dir DIR [--check] RUNS.csv...\n";

// Runs asked for a gap of 1e-6 or less: for these convex problems their f
// is within that of the optimum, so --check also holds them to it, which
// catches answers mapped back to the wrong weights.
constexpr long double tightObjective = 1e-6L;

bool isTight(const std::string& solver)
{
    for (const char* tight : {"certifiedSMO-default", "certifiedSMO-1e-6", "LIBSVM-e1e-6", "CVXOPT-tight"})
        if (solver == tight)
            return true;
    return false;
}

int solve(int argc, char** argv)
{
    std::string dir;
    std::vector<uint32_t> sizes;
    std::vector<std::string> families{"density", "mixture", "one-class"};
    int repeats = 3;
    bool certifiedOnly = false, fromFiles = false;
    for (int i = 2; i < argc; i += 2) {
        const std::string flag = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (value && flag == "--dir")
            dir = value;
        else if (value && flag == "--sizes")
            sizes = sizeList(value);
        else if (value && flag == "--families")
            families = nameList(value);
        else if (value && flag == "--certified-only")
            certifiedOnly = std::string(value) == "yes";
        else if (value && flag == "--from-files")
            fromFiles = std::string(value) == "yes";
        else if (value && flag == "--repeats")
            repeats = static_cast<int>(toCount(value));
        else {
            std::fprintf(stderr, "side_by_side: %s %s\n%s", flag.c_str(), value ? "is not an option" : "needs a value",
                         usage);
            return 2;
        }
    }
    if (dir.empty() || sizes.empty() || repeats < 1) {
        std::fputs(usage, stderr);
        return 2;
    }
    std::filesystem::create_directories(dir + "/problems");
    std::filesystem::create_directories(dir + "/answers");
    const std::string runsPath = dir + "/runs-own.csv";
    FILE* runs = std::fopen(runsPath.c_str(), "w");
    if (!runs) {
        std::fprintf(stderr, "side_by_side: cannot write %s\n", runsPath.c_str());
        return 2;
    }
    std::fprintf(runs, "%s\n", runsHeader);
    bool written = true;
    for (const std::string& family : families)
        for (uint32_t n : sizes) {
            BenchProblem p{family, n, {}, {}};
            std::vector<double> upper;
            const std::string stem = problemStem(dir + "/problems", family, n);
            if (fromFiles) {
                written = readDoubles(stem + ".Q", static_cast<size_t>(n) * n, p.Q) &&
                          readDoubles(stem + ".b", n, p.b) &&
                          (!std::filesystem::exists(stem + ".u") || readDoubles(stem + ".u", n, upper)) &&
                          runOwnSolvers(p, upper, dir + "/answers", repeats, runs, certifiedOnly);
            } else if (!benchProblem(family, n, p, upper)) {
                std::fprintf(stderr, "side_by_side: unknown family %s (density, mixture, one-class, "
                             "wide-density, realizable, all-positive, portfolio, any of them with -nu or -cap)\n",
                             family.c_str());
                std::fclose(runs);
                return 2;
            } else {
                written = written && writeDoubles(stem + ".Q", p.Q) && writeDoubles(stem + ".b", p.b) &&
                          (upper.empty() || writeDoubles(stem + ".u", upper)) &&
                          runOwnSolvers(p, upper, dir + "/answers", repeats, runs, certifiedOnly);
            }
            if (!written)
                break;
            std::fprintf(stderr, "side_by_side: own solvers done on %s n = %u\n", family.c_str(), n);
        }
    written = std::fclose(runs) == 0 && written;
    return written ? 0 : 2;
}

int evaluate(int argc, char** argv)
{
    std::string dir;
    bool check = false;
    std::vector<std::string> runFiles;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc)
            dir = argv[++i];
        else if (std::strcmp(argv[i], "--check") == 0)
            check = true;
        else
            runFiles.push_back(argv[i]);
    }
    if (dir.empty() || runFiles.empty()) {
        std::fputs(usage, stderr);
        return 2;
    }
    std::vector<RunRecord> runs;
    for (const std::string& file : runFiles)
        if (!readRuns(file, runs))
            return 2;
    std::vector<EvaluatedRun> evaluated;
    if (!evaluateRuns(runs, dir + "/problems", dir + "/answers", evaluated))
        return 2;

    const std::string csvPath = dir + "/side_by_side.csv", markdownPath = dir + "/side_by_side.md";
    FILE* csv = std::fopen(csvPath.c_str(), "w");
    FILE* markdown = std::fopen(markdownPath.c_str(), "w");
    if (!csv || !markdown) {
        std::fprintf(stderr, "side_by_side: cannot write %s\n", !csv ? csvPath.c_str() : markdownPath.c_str());
        return 2;
    }
    writeEvaluatedCsv(csv, evaluated);
    for (FILE* out : {stdout, markdown}) {
        std::fprintf(out, "Every answer measured the same way: weights below 0 set to 0, then all divided by "
                          "their sum; f and g = Qx - b in long double. KKT gap: max over x_i > 0 of g_i, minus "
                          "min g. FW gap: xᵀg - min g. CPU seconds of the solve alone, best of up to 3 runs "
                          "(1 once a run takes over a second).\n\n");
        printRunTable(out, evaluated);
        std::fprintf(out, "\nSpeed against the peers (peer seconds over certifiedSMO's: above 1, certifiedSMO "
                          "is faster):\n\n");
        printRatios(out, evaluated);
        std::fprintf(out, "\nGrowth of CPU time with n: the exponent of a least-squares fit of log(seconds) "
                          "against log(n).\n\n");
        printGrowth(out, evaluated);
    }
    const bool closed = std::fclose(csv) == 0 && std::fclose(markdown) == 0;

    int faults = 0;
    for (const EvaluatedRun& e : evaluated) {
        if (e.run.status == "failed") {
            std::fprintf(stderr, "side_by_side: %s on %s n = %u failed: %s\n", e.run.solver.c_str(),
                         e.run.family.c_str(), e.run.n, e.run.note.c_str());
            ++faults;
        }
        if (!e.answered)
            continue;
        if (!onSimplex(e.metrics)) {
            std::fprintf(stderr, "side_by_side: %s on %s n = %u is not on the simplex (least weight %g, sum - 1 = %g)\n",
                         e.run.solver.c_str(), e.run.family.c_str(), e.run.n, e.metrics.mostNegative,
                         e.metrics.sumError);
            ++faults;
        }
        if (e.run.status == "solved" && isTight(e.run.solver) && !(e.aboveBest <= tightObjective)) {
            std::fprintf(stderr, "side_by_side: %s on %s n = %u ends %Lg above the best answer\n",
                         e.run.solver.c_str(), e.run.family.c_str(), e.run.n, e.aboveBest);
            ++faults;
        }
    }
    if (!closed)
        return 2;
    return check && faults > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "solve") == 0)
        return solve(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "evaluate") == 0)
        return evaluate(argc, argv);
    std::fputs(usage, stderr);
    return 2;
}
