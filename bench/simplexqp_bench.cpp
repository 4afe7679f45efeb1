// Times SMO and multUpdate against the literal transcription on Gaussian
// kernel problems, on every vector path the processor runs, checks that all
// give the same bits, and prints a table.
//
// Usage: simplexqp_bench [--sizes 500,1000,2000,4000] [--families density,mixture]
//                        [--literal-smo-up-to 2000] [--literal-mult-up-to 4000]
//                        [--repeats 3] [--csv FILE] [--dump DIR] [--dump-up-to 4000]
// --dump writes each problem up to the given n (DIR/FAMILY-N.Q, .b: raw
// doubles) and the answers (.smo, .mult) for the Octave comparison. Times
// are CPU seconds of this process, the best of the repeats. Each is also
// given as a multiple of the time to read Q once, measured on the same
// problem in the same run: the solvers' own finiteness scan, which streams
// Q at the speed of memory. Extra memory is counted in a run of its own:
// the most scratch the stand-in host's mxMalloc had out at once plus the
// most optional scratch held (an upper bound on their sum at any moment),
// beside the bound the README gives. Exits with 1 when
// any answer differs from the literal one, or between paths, in any bit.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_problems.h"
#include "cpu_time.h"
#include "common/matrix_facts.h"
#include "option_lists.h"
#include "oracle/literal.h"
#include "raw_doubles.h"
#include "simplex_qp.h"
#include "common/solver_counts.h"
#include "stand_in.h"

namespace {

struct Options {
    std::vector<uint32_t> sizes{500, 1000, 2000, 4000};
    std::vector<std::string> families{"density", "mixture"};
    uint32_t literalSmoUpTo = 2000;
    uint32_t literalMultUpTo = 4000;
    int repeats = 3;
    std::string csv, dump;
    uint32_t dumpUpTo = 4000;
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
        else if (flag == "--dump-up-to")
            options.dumpUpTo = toCount(value);
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

// The README's bound on the solvers' extra memory: SMO 25 n + 12 bytes;
// multUpdate 56 n bytes and the packed block, at most Q's size / 16.
long long memoryBound(bool smo, uint32_t n)
{
    const long long n64 = n;
    return smo ? 25 * n64 + 12 : 56 * n64 + n64 * n64 / 2;
}

struct Row {
    std::string family, method, path;
    uint32_t n;
    double literal;  // negative: not run
    double fast;
    double readQ;
    uint64_t passes;
    double exactRowsPerStep;  // negative: not applicable
    size_t extraBytes;
    bool chosen;              // the path the solvers take on this processor
    const char* answer;
};

const char* compare(const std::vector<double>& x, const std::vector<double>& reference, const char* sameText)
{
    return std::memcmp(reference.data(), x.data(), sizeof(double) * x.size()) == 0 ? sameText : "DIFFERENT";
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
    std::printf("| %5u | %-8s | %-10s | %-8s | %9s | %8.4f | %8s | %8.5f | %6.1f | %6llu | %10s | %8.3f | %8.3f | %-18s |\n",
                r.n, r.family.c_str(), r.method.c_str(), r.path.c_str(), literal, r.fast, speedUp, r.readQ,
                r.fast / r.readQ, static_cast<unsigned long long>(r.passes), exact, r.extraBytes / 1048576.0,
                memoryBound(r.method == "SMO", r.n) / 1048576.0, r.answer);
    std::fflush(stdout);
    if (csv)
        std::fprintf(csv, "%u,%s,%s,%.6f,%.6f,%s,%.6f,%.3f,%llu,%.4f,%zu,%lld,%s,%d\n", r.n, r.family.c_str(),
                     r.method.c_str(), r.literal, r.fast, r.path.c_str(), r.readQ, r.fast / r.readQ,
                     static_cast<unsigned long long>(r.passes), r.exactRowsPerStep, r.extraBytes,
                     memoryBound(r.method == "SMO", r.n), r.answer, r.chosen ? 1 : 0);
}

// Times one method on one problem on every path; the literal one only when
// asked. The answers of every path must have the literal's bits, or (when
// it is not run) the first path's. Returns false on a difference.
bool measure(const BenchProblem& p, const char* method, bool withLiteral, double readQ, int repeats, FILE* csv,
             std::vector<double>& answer)
{
    const bool smo = std::strcmp(method, "SMO") == 0;
    const auto solver = smo ? smoCounted : multUpdateCounted;
    double literalTime = -1.0;
    std::vector<double> reference;
    if (withLiteral) {
        reference.assign(p.n, 0.0);
        literalTime = bestTime(repeats, [&] {
            (smo ? literal::SMO : literal::multUpdateMended)(p.Q.data(), p.b.data(), p.n, reference.data());
        });
    }
    const VectorPath chosen = defaultSettings().path;
    bool same = true;
    for (VectorPath path : {VectorPath::baseline, VectorPath::avx2}) {
        if (path == VectorPath::avx2 && chosen != VectorPath::avx2)
            continue;  // this processor does not run it
        SolverSettings settings = defaultSettings();
        settings.path = path;
        std::vector<double> x(p.n, 0.0);
        SolverCounts counts{};
        Row row{p.name, method, vectorPathName(path), p.n, literalTime, 0.0, readQ, 0, -1.0, 0, path == chosen, ""};
        row.fast = bestTime(repeats, [&] { solver(p.Q.data(), p.b.data(), p.n, x.data(), settings, counts); });
        row.passes = counts.passes;
        standInResetScratchPeak();
        const size_t liveBefore = standInScratchPeak();
        solver(p.Q.data(), p.b.data(), p.n, x.data(), settings, counts);
        row.extraBytes = standInScratchPeak() - liveBefore + counts.optionalBytes;
        if (smo && counts.steps > 0)
            row.exactRowsPerStep = static_cast<double>(counts.exactRows) / static_cast<double>(counts.steps);
        if (withLiteral) {
            row.answer = compare(x, reference, "same bits");
        } else if (answer.empty()) {
            row.answer = "not compared";
        } else {
            row.answer = compare(x, answer, "same as baseline");
        }
        same = same && std::strcmp(row.answer, "DIFFERENT") != 0;
        if (answer.empty())
            answer = x;
        printRow(row, csv);
    }
    return same;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: simplexqp_bench [--sizes N,...] [--families density,mixture] "
                             "[--literal-smo-up-to N] [--literal-mult-up-to N] [--repeats R] [--csv FILE] "
                             "[--dump DIR] [--dump-up-to N]\n");
        return 2;
    }
    FILE* csv = nullptr;
    if (!options.csv.empty()) {
        csv = std::fopen(options.csv.c_str(), "w");
        if (!csv) {
            std::fprintf(stderr, "simplexqp_bench: cannot write %s\n", options.csv.c_str());
            return 2;
        }
        std::fprintf(csv, "n,family,method,literal_s,fast_s,path,read_q_s,times_read,passes,exact_rows_per_step,"
                          "extra_bytes,bound_bytes,answer,chosen_path\n");
    }

    std::printf("CPU seconds, best of %d; passes for SMO, iterations for multUpdate; x read: the time as a\n"
                "multiple of reading Q once.\n"
                "extra MB: the most scratch out at once (mxMalloc's and optional), and its bound.\n"
                "The solvers choose the %s path on this processor.\n\n",
                options.repeats, vectorPathName(defaultSettings().path));
    std::printf("|     n | problem  | method     | path     | literal s |   fast s | speed-up | read Q s | x read | passes | exact/step | extra MB | bound MB | answer             |\n");
    std::printf("|------:|----------|------------|----------|----------:|---------:|---------:|---------:|-------:|-------:|-----------:|---------:|---------:|--------------------|\n");
    bool allSame = true;
    for (uint32_t n : options.sizes)
        for (const std::string& family : options.families) {
            const BenchProblem p = family == "density" ? densityProblem(n) : mixtureProblem(n);
            const size_t entries = static_cast<size_t>(n) * n;
            bool finite = true;
            const VectorPath path = defaultSettings().path;
            const double readQ = bestTime(options.repeats, [&] { finite = allFinite(path, p.Q.data(), entries); });
            if (!finite)
                return 2;
            std::vector<double> smoAnswer, multAnswer;
            allSame = measure(p, "SMO", n <= options.literalSmoUpTo, readQ, options.repeats, csv, smoAnswer) && allSame;
            allSame = measure(p, "multUpdate", n <= options.literalMultUpTo, readQ, options.repeats, csv, multAnswer) &&
                      allSame;
            if (!options.dump.empty() && n <= options.dumpUpTo) {
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
