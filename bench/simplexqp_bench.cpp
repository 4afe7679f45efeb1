// Times SMO and multUpdate against the literal transcription on Gaussian
// kernel problems, checks that both give the same bits, and prints a table.
//
// Usage: simplexqp_bench [--sizes 500,1000,2000,4000] [--families density,mixture]
//                        [--literal-smo-up-to 2000] [--literal-mult-up-to 4000]
//                        [--repeats 3] [--csv FILE] [--dump DIR]
// --dump writes each problem (DIR/FAMILY-N.Q, .b: raw doubles) and the
// answers (.smo, .mult) for the Octave comparison. Times are CPU seconds of
// this process, the best of the repeats. Exits with 1 when any answer
// differs from the literal one in any bit.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_problems.h"
#include "cpu_time.h"
#include "option_lists.h"
#include "oracle/literal.h"
#include "raw_doubles.h"
#include "simplex_qp.h"
#include "solver_counts.h"

namespace {

struct Options {
    std::vector<uint32_t> sizes{500, 1000, 2000, 4000};
    std::vector<std::string> families{"density", "mixture"};
    uint32_t literalSmoUpTo = 2000;
    uint32_t literalMultUpTo = 4000;
    int repeats = 3;
    std::string csv, dump;
};

bool parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "simplexqp_bench: %s needs a value\n", flag.c_str());
            return false;
        }
        const char* value = argv[++i];
        if (flag == "--sizes")
            options.sizes = sizeList(value);
        else if (flag == "--families")
            options.families = nameList(value);
        else if (flag == "--literal-smo-up-to")
            options.literalSmoUpTo = toCount(value);
        else if (flag == "--literal-mult-up-to")
            options.literalMultUpTo = toCount(value);
        else if (flag == "--repeats")
            options.repeats = static_cast<int>(toCount(value));
        else if (flag == "--csv")
            options.csv = value;
        else if (flag == "--dump")
            options.dump = value;
        else {
            std::fprintf(stderr, "simplexqp_bench: unknown option %s\n", flag.c_str());
            return false;
        }
    }
    for (const std::string& family : options.families)
        if (family != "density" && family != "mixture") {
            std::fprintf(stderr, "simplexqp_bench: unknown family %s (density, mixture)\n", family.c_str());
            return false;
        }
    return !options.sizes.empty() && options.repeats > 0;
}

struct Row {
    std::string family, method;
    uint32_t n;
    double literal;  // negative: not run
    double fast;
    uint64_t passes;
    double exactRowsPerStep;  // negative: not applicable
    bool checked, same;
};

// Times one method on one problem; the literal one only when asked.
Row measure(const BenchProblem& p, const char* method, bool withLiteral, int repeats, std::vector<double>& x)
{
    const bool smo = std::strcmp(method, "SMO") == 0;
    Row row{p.name, method, p.n, -1.0, 0.0, 0, -1.0, false, false};
    x.assign(p.n, 0.0);
    SolverCounts counts{};
    row.fast = bestTime(repeats, [&] {
        (smo ? smoCounted : multUpdateCounted)(p.Q.data(), p.b.data(), p.n, x.data(), counts);
    });
    row.passes = counts.passes;
    if (smo && counts.steps > 0)
        row.exactRowsPerStep = static_cast<double>(counts.exactRows) / static_cast<double>(counts.steps);
    if (withLiteral) {
        std::vector<double> reference(p.n);
        row.literal = bestTime(repeats, [&] {
            (smo ? literal::SMO : literal::multUpdateMended)(p.Q.data(), p.b.data(), p.n, reference.data());
        });
        row.checked = true;
        row.same = std::memcmp(reference.data(), x.data(), sizeof(double) * p.n) == 0;
    }
    return row;
}

void printRow(const Row& r, FILE* csv)
{
    char literal[32] = "-", speedUp[32] = "-", exact[32] = "-";
    if (r.literal >= 0) {
        std::snprintf(literal, sizeof literal, "%.3f", r.literal);
        std::snprintf(speedUp, sizeof speedUp, "%.0f", r.literal / r.fast);
    }
    if (r.exactRowsPerStep >= 0)
        std::snprintf(exact, sizeof exact, "%.2f", r.exactRowsPerStep);
    std::printf("| %5u | %-8s | %-10s | %9s | %8.4f | %8s | %6llu | %19s | %-13s |\n", r.n, r.family.c_str(),
                r.method.c_str(), literal, r.fast, speedUp, static_cast<unsigned long long>(r.passes), exact,
                !r.checked ? "not compared" : r.same ? "same bits" : "DIFFERENT");
    std::fflush(stdout);
    if (csv)
        std::fprintf(csv, "%u,%s,%s,%.6f,%.6f,%llu,%.4f,%d\n", r.n, r.family.c_str(), r.method.c_str(), r.literal,
                     r.fast, static_cast<unsigned long long>(r.passes), r.exactRowsPerStep, r.checked ? r.same : -1);
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: simplexqp_bench [--sizes N,...] [--families density,mixture] "
                             "[--literal-smo-up-to N] [--literal-mult-up-to N] [--repeats R] [--csv FILE] "
                             "[--dump DIR]\n");
        return 2;
    }
    FILE* csv = nullptr;
    if (!options.csv.empty()) {
        csv = std::fopen(options.csv.c_str(), "w");
        if (!csv) {
            std::fprintf(stderr, "simplexqp_bench: cannot write %s\n", options.csv.c_str());
            return 2;
        }
        std::fprintf(csv, "n,family,method,literal_s,fast_s,passes,exact_rows_per_step,same_bits\n");
    }

    std::printf("CPU seconds, best of %d; passes for SMO, iterations for multUpdate.\n\n", options.repeats);
    std::printf("|     n | problem  | method     | literal s |   fast s | speed-up | passes | exact rows per step | answer        |\n");
    std::printf("|------:|----------|------------|----------:|---------:|---------:|-------:|--------------------:|---------------|\n");
    bool allSame = true;
    for (uint32_t n : options.sizes)
        for (const std::string& family : options.families) {
            const BenchProblem p = family == "density" ? densityProblem(n) : mixtureProblem(n);
            std::vector<double> smoAnswer, multAnswer;
            const Row smo = measure(p, "SMO", n <= options.literalSmoUpTo, options.repeats, smoAnswer);
            printRow(smo, csv);
            const Row mult = measure(p, "multUpdate", n <= options.literalMultUpTo, options.repeats, multAnswer);
            printRow(mult, csv);
            allSame = allSame && (!smo.checked || smo.same) && (!mult.checked || mult.same);
            if (!options.dump.empty()) {
                const std::string stem = options.dump + "/" + family + "-" + std::to_string(n);
                if (!writeDoubles(stem + ".Q", p.Q) || !writeDoubles(stem + ".b", p.b) ||
                    !writeDoubles(stem + ".smo", smoAnswer) || !writeDoubles(stem + ".mult", multAnswer))
                    return 2;
            }
        }
    if (csv && std::fclose(csv) != 0) {
        std::fprintf(stderr, "simplexqp_bench: cannot write %s\n", options.csv.c_str());
        return 2;
    }
    if (!allSame) {
        std::fprintf(stderr, "simplexqp_bench: an answer differs from the literal one\n");
        return 1;
    }
    return 0;
}
