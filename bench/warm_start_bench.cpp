// simplexQPopt's warm start and its passes over Q, timed through the built
// plug-in file as a host calls it (the argument checks included).
//
// Usage: warm_start_bench PLUGIN [--sizes 2000,4000,8000] [--families one-class,mixture] [--repeats 3]
//
// For each family and n: the answer x of the problem at the default
// tolerance; then two nearby problems, b changed by 1% (b_i times 1 + 0.01
// u_i, u_i uniform in [-1, 1]) and the kernel's width by 1%, each solved at
// the default tolerance cold and from x, and x alone certified
// (MaxIterations = 0). Beside them, a call with tol = Inf and one
// vectorised read of Q (a sum in independent lanes), timed in the same
// run, and on the largest problem a cold run with Display 'iter' against
// 'off'. Times are CPU seconds of this process, the best of the repeats.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_problems.h"
#include "cpu_time.h"
#include "draw.h"
#include "option_lists.h"
#include "options_struct.h"
#include "plugin_loader.h"
#include "stand_in.h"

namespace {

struct Settings {
    std::vector<uint32_t> sizes{2000, 4000, 8000};
    std::vector<std::string> families{"one-class", "mixture"};
    int repeats = 3;
};

struct Run {
    double seconds;
    double iterations, gap, support;
    bool converged;
    std::vector<double> x;
};

LoadedPlugin plugin;

double fieldOf(const mxArray* info, const char* name)
{
    const mxArray* value = standInGetField(info, 0, name);
    return value ? mxGetScalar(value) : -1.0;
}

// simplexQPopt(Q, b[, third]) with [x, info], timed; third is not destroyed.
Run solve(const mxArray* Q, const mxArray* b, const mxArray* third, int repeats)
{
    Run run{};
    const mxArray* args[] = {Q, b, third};
    run.seconds = bestTime(repeats, [&] {
        mxArray* results[2];
        char message[512];
        if (standInCall(plugin.entry, 2, results, third ? 3 : 2, args, message, sizeof message)) {
            std::fprintf(stderr, "warm_start_bench: %s\n", message);
            std::exit(1);
        }
        const double* x = mxGetPr(results[0]);
        run.x.assign(x, x + mxGetN(results[0]));
        run.iterations = fieldOf(results[1], "iterations");
        run.gap = fieldOf(results[1], "gap");
        run.support = fieldOf(results[1], "support");
        run.converged = fieldOf(results[1], "converged") != 0.0;
        mxDestroyArray(results[0]);
        mxDestroyArray(results[1]);
    });
    return run;
}

mxArray* row(const std::vector<double>& values)
{
    return standInCreateDouble(1, values.size(), values.data());
}

mxArray* scalar(double value)
{
    return standInCreateDouble(1, 1, &value);
}

mxArray* text(const char* value)
{
    return standInCreateString(value);
}

// One read of every entry, in independent lanes (the sum's order does not
// matter here: it only keeps the reads from being dropped).
double readOnce(const double* values, size_t count)
{
    typedef double Pair __attribute__((vector_size(16)));
    Pair s0 = {0, 0}, s1 = s0, s2 = s0, s3 = s0;
    size_t k = 0;
    for (; k + 8 <= count; k += 8) {
        Pair v0, v1, v2, v3;
        std::memcpy(&v0, values + k, sizeof v0);
        std::memcpy(&v1, values + k + 2, sizeof v1);
        std::memcpy(&v2, values + k + 4, sizeof v2);
        std::memcpy(&v3, values + k + 6, sizeof v3);
        s0 += v0;
        s1 += v1;
        s2 += v2;
        s3 += v3;
    }
    double sum = s0[0] + s0[1] + s1[0] + s1[1] + s2[0] + s2[1] + s3[0] + s3[1];
    for (; k < count; ++k)
        sum += values[k];
    return sum;
}

void printRow(const char* family, uint32_t n, const char* change, const Run& cold, const Run& warm,
              const Run& certify)
{
    std::printf("%-9s %5u %-6s %9.4f %9.0f %4.0f %c | %9.4f %9.0f %c | %8.4f %5.0f | %6.2f %7.2f\n", family, n,
                change, cold.seconds, cold.iterations, cold.support, cold.converged ? 'y' : 'n', warm.seconds,
                warm.iterations, warm.converged ? 'y' : 'n', certify.seconds, certify.support,
                warm.seconds / certify.seconds, cold.seconds / warm.seconds);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: warm_start_bench PLUGIN [--sizes N,...] [--families F,...] [--repeats R]\n");
        return 2;
    }
    Settings settings;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--sizes")
            settings.sizes = sizeList(argv[i + 1]);
        else if (flag == "--families")
            settings.families = nameList(argv[i + 1]);
        else if (flag == "--repeats")
            settings.repeats = static_cast<int>(toCount(argv[i + 1]));
        else {
            std::fprintf(stderr, "warm_start_bench: unknown option %s\n", flag.c_str());
            return 2;
        }
    }
    char error[512];
    if (!loadPlugin(argv[1], plugin, error, sizeof error)) {
        std::fprintf(stderr, "warm_start_bench: %s\n", error);
        return 1;
    }

    std::printf("Warm starts at the default tolerance: cold, from the previous answer, and that answer only "
                "certified (MaxIterations = 0). CPU seconds, best of %d.\n",
                settings.repeats);
    std::printf("%-9s %5s %-6s %9s %9s %4s %c | %9s %9s %c | %8s %5s | %6s %7s\n", "family", "n", "change",
                "cold s", "steps", "supp", 'c', "warm s", "steps", 'c', "cert s", "supp", "w/cert", "cold/w");
    const std::string largestFamily = settings.families.back();
    const uint32_t largestN = settings.sizes.back();
    for (const std::string& family : settings.families) {
        for (uint32_t n : settings.sizes) {
            const bool oneClass = family == "one-class";
            BenchProblem p = oneClass ? oneClassProblem(n) : mixtureProblem(n);
            mxArray* Q = standInCreateDouble(n, n, p.Q.data());
            mxArray* b = standInCreateDouble(n, 1, p.b.data());
            const Run first = solve(Q, b, nullptr, 1);
            mxArray* start = optionsOf({{"InitialPoint", row(first.x)}});
            mxArray* certifyOnly = optionsOf({{"InitialPoint", row(first.x)}, {"MaxIterations", scalar(0)}});

            // b changed by 1%.
            std::vector<double> changed = p.b;
            Draw draw{n};
            for (double& v : changed)
                v *= 1.0 + 0.01 * (2.0 * unit(draw) - 1.0);
            mxArray* b2 = standInCreateDouble(n, 1, changed.data());
            printRow(family.c_str(), n, "b", solve(Q, b2, nullptr, settings.repeats),
                     solve(Q, b2, start, settings.repeats), solve(Q, b2, certifyOnly, settings.repeats));
            mxDestroyArray(b2);

            // The kernel's width changed by 1% (b with it, for the mixture).
            {
                BenchProblem wider = oneClass ? oneClassProblem(n, 1.01) : mixtureProblem(n, 1.01);
                mxArray* Q2 = standInCreateDouble(n, n, wider.Q.data());
                mxArray* b3 = standInCreateDouble(n, 1, wider.b.data());
                wider.Q.clear();
                wider.Q.shrink_to_fit();
                printRow(family.c_str(), n, "width", solve(Q2, b3, nullptr, settings.repeats),
                         solve(Q2, b3, start, settings.repeats), solve(Q2, b3, certifyOnly, settings.repeats));
                mxDestroyArray(Q2);
                mxDestroyArray(b3);
            }

            // The passes over Q: tol = Inf against one read.
            mxArray* inf = scalar(__builtin_inf());
            const Run barely = solve(Q, b, inf, settings.repeats);
            volatile double sink = 0.0;
            const double read = bestTime(settings.repeats, [&] { sink = sink + readOnce(mxGetPr(Q), size_t{n} * n); });
            std::printf("%-9s %5u tol = Inf %.4f s, one vectorised read of Q %.4f s: %.2fx\n", family.c_str(), n,
                        barely.seconds, read, barely.seconds / read);

            if (family == largestFamily && n == largestN) {
                mxArray* quiet = optionsOf({{"Display", text("off")}});
                mxArray* loud = optionsOf({{"Display", text("iter")}});
                const Run off = solve(Q, b, quiet, settings.repeats);
                standInClearPrinted();
                const Run iter = solve(Q, b, loud, settings.repeats);
                size_t lines = 0;
                for (const char* c = standInPrinted(); *c; ++c)
                    lines += *c == '\n';
                std::printf("%-9s %5u Display 'off' %.4f s, 'iter' %.4f s (%zu lines over %d runs): %+.1f%%\n",
                            family.c_str(), n, off.seconds, iter.seconds, lines, settings.repeats,
                            100.0 * (iter.seconds / off.seconds - 1.0));
                mxDestroyArray(quiet);
                mxDestroyArray(loud);
            }
            mxDestroyArray(inf);
            mxDestroyArray(start);
            mxDestroyArray(certifyOnly);
            mxDestroyArray(Q);
            mxDestroyArray(b);
        }
    }
    unloadPlugin(plugin);
    return 0;
}
