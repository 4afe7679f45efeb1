// The problems given by data, timed: certifiedSMO on a Gaussian kernel of
// points (the one-class SVM's dual), and the least-squares solver on the
// convex hull of images and on many small unmixing problems. Each command
// runs one case in its own process, so that its peak RSS is its own, and
// writes one CSV record (bench/forms.sh runs them beside the peers of
// bench/forms_peers.py, which prints the tables).
//
// Usage:
//   forms_bench one-class POINTS ROWS D N NU OUT_X RECORD
//       the first N of the ROWS points in POINTS (ROWS-by-D, column-major,
//       a point per row); width from gamma = 1 / (D var), var over every
//       coordinate of the N points; upper bound 1/(NU N), none at NU N <= 1
//   forms_bench evaluate POINTS ROWS D N NU ALPHA RECORD
//       f, the gap and the sum of the weights ALPHA (N doubles) on that
//       same kernel, from Q's columns at ALPHA's support
//   forms_bench hull POINTS ROWS D N IMAGES K OUT_X RECORD
//       the projections of the first K images in IMAGES (a point per row
//       as in POINTS, K rows or more: the file's count is read from its
//       size) onto the convex hull of the first N points, in one call
//   forms_bench unmix P PEER_P OUT_DIR RECORD
//       lsq_bench's unmixing problems, m = 200, n = 20, P columns in one
//       call; C, the first PEER_P columns of D and of X into OUT_DIR as
//       C.raw, D.raw, X.raw for the peer
//   forms_bench smoke
//       every case above at tiny sizes on synthetic data, checking only
//       that each run converges and its answer lies on the simplex
// Times are CPU seconds of the solve call alone.
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "certified/certified_smo.h"
#include "cpu_time.h"
#include "least_squares/simplex_lsq.h"
#include "raw_doubles.h"
#include "sources/vector_kernel.h"
#include "unmixing_problems.h"

namespace {

double peakMegabytes()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The first n of the rows points of a rows-by-d file, a coordinate at a
// time, so that only the n points are ever in memory; transposed, each
// point's d coordinates together (as the columns of C).
bool readPoints(const char* path, uint32_t rows, uint32_t d, uint32_t n, bool transposed, std::vector<double>& out)
{
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        std::fprintf(stderr, "forms_bench: cannot open %s\n", path);
        return false;
    }
    out.assign(static_cast<size_t>(n) * d, 0.0);
    std::vector<double> coordinate(n);
    bool ok = n <= rows;
    for (uint32_t t = 0; ok && t < d; ++t) {
        ok = std::fseek(f, static_cast<long>(sizeof(double) * rows * t), SEEK_SET) == 0 &&
             std::fread(coordinate.data(), sizeof(double), n, f) == n;
        for (uint32_t i = 0; ok && i < n; ++i)
            out[transposed ? t + static_cast<size_t>(i) * d : i + static_cast<size_t>(t) * n] = coordinate[i];
    }
    std::fclose(f);
    if (!ok)
        std::fprintf(stderr, "forms_bench: %s does not hold %u points of %u coordinates\n", path, rows, d);
    return ok;
}

// scikit-learn's gamma = 'scale', 1 / (d var(X)) over every coordinate,
// as the width w of e^(-D / (2 w^2)): 1 / (2 w^2) = gamma.
double scaleWidth(const std::vector<double>& points, uint32_t d)
{
    double mean = 0.0, squares = 0.0;
    for (double v : points)
        mean += v;
    mean /= static_cast<double>(points.size());
    for (double v : points)
        squares += (v - mean) * (v - mean);
    const double gamma = 1.0 / (d * (squares / static_cast<double>(points.size())));
    return std::sqrt(1.0 / (2.0 * gamma));
}

// Each weight's bound 1/(nu n), or none (empty) where it could not bind.
std::vector<double> oneClassBounds(uint32_t n, double nu)
{
    if (!(nu * n > 1.0))
        return {};
    return std::vector<double>(n, 1.0 / (nu * n));
}

struct Run {
    double seconds;
    CertifiedReport report;
    double tol;
};

Run oneClass(const std::vector<double>& points, uint32_t n, uint32_t d, double nu, std::vector<double>& x)
{
    const VectorKernel kernel = gaussianOfPoints(points.data(), n, d, scaleWidth(points, d));
    const QSource q = kernelSource(kernel);
    const std::vector<double> b(n, 0.0), upper = oneClassBounds(n, nu);
    const SolverSettings solver = defaultSettings();
    Run run{0.0, CertifiedReport{}, defaultToleranceAtScale(kernelLargestEntry(kernel), b.data(), n, solver.path)};
    const CertifiedSettings settings{run.tol,   100000000ull, nullptr, nullptr, nullptr, &solver,
                                     upper.empty() ? nullptr : upper.data()};
    x.assign(n, 0.0);
    const double start = cpuSeconds();
    certifiedSMO(q, b.data(), settings, x.data(), run.report);
    run.seconds = cpuSeconds() - start;
    return run;
}

// f(alpha) = ½ alpha'Q alpha and the gap of alpha (as certifiedSMO measures
// it, without its rounding allowance) on the kernel of the points.
struct Evaluation {
    double objective;
    double gap;
    double sum;
    uint32_t support;
};

Evaluation evaluate(const std::vector<double>& points, uint32_t n, uint32_t d, double nu,
                    const std::vector<double>& alpha)
{
    const VectorKernel kernel = gaussianOfPoints(points.data(), n, d, scaleWidth(points, d));
    const std::vector<double> upper = oneClassBounds(n, nu);
    std::vector<double> g(n, 0.0), column(n);
    Evaluation e{0.0, 0.0, 0.0, 0};
    for (uint32_t j = 0; j < n; ++j) {
        e.sum += alpha[j];
        if (alpha[j] <= 0.0)
            continue;
        ++e.support;
        kernelColumn(kernel, j, nullptr, n, column.data());
        for (uint32_t i = 0; i < n; ++i)
            g[i] += column[i] * alpha[j];
    }
    double highest = -INFINITY, lowest = INFINITY;
    for (uint32_t i = 0; i < n; ++i) {
        e.objective += 0.5 * alpha[i] * g[i];
        if (alpha[i] > 0.0 && g[i] > highest)
            highest = g[i];
        if ((upper.empty() || alpha[i] < upper[i]) && g[i] < lowest)
            lowest = g[i];
    }
    e.gap = highest > lowest ? highest - lowest : 0.0;
    return e;
}

Run projections(const std::vector<double>& C, uint32_t m, uint32_t n, const std::vector<double>& D, uint32_t p,
                std::vector<double>& X, std::vector<CertifiedReport>& reports)
{
    const SolverSettings solver = defaultSettings();
    const LeastSquaresSettings settings{
        CertifiedSettings{0.0, 100000000ull, nullptr, nullptr, nullptr, &solver, nullptr}, true};
    X.assign(static_cast<size_t>(n) * p, 0.0);
    reports.assign(p, CertifiedReport{});
    Run run{0.0, CertifiedReport{}, 0.0};
    const double start = cpuSeconds();
    leastSquaresOnSimplex(C.data(), m, n, D.data(), p, settings, X.data(), reports.data());
    run.seconds = cpuSeconds() - start;
    return run;
}

// The figures of a call over many right-hand sides: how many converged,
// the largest gap and |sum x - 1|, the mean support and objective.
struct Columns {
    uint32_t converged;
    double largestGap;
    double largestSumError;
    double meanSupport;
    double meanObjective;
};

Columns columnFigures(const std::vector<double>& X, uint32_t n, const std::vector<CertifiedReport>& reports)
{
    Columns c{0, 0.0, 0.0, 0.0, 0.0};
    for (size_t j = 0; j < reports.size(); ++j) {
        c.converged += reports[j].converged;
        c.largestGap = std::fmax(c.largestGap, reports[j].gap);
        c.meanSupport += reports[j].support;
        c.meanObjective += reports[j].objective;
        double sum = 0.0;
        for (uint32_t i = 0; i < n; ++i)
            sum += X[i + j * n];
        c.largestSumError = std::fmax(c.largestSumError, std::fabs(sum - 1.0));
    }
    if (!reports.empty()) {
        c.meanSupport /= static_cast<double>(reports.size());
        c.meanObjective /= static_cast<double>(reports.size());
    }
    return c;
}

bool onSimplex(const std::vector<double>& x, double slack)
{
    double sum = 0.0;
    for (double v : x) {
        if (!(v >= 0.0))
            return false;
        sum += v;
    }
    return std::fabs(sum - 1.0) <= slack;
}

// Appends one record to the file (a header first where it is new).
bool record(const char* path, const char* header, const std::string& line)
{
    FILE* probe = std::fopen(path, "rb");
    const bool fresh = !probe;
    if (probe)
        std::fclose(probe);
    FILE* f = std::fopen(path, "ab");
    if (!f) {
        std::fprintf(stderr, "forms_bench: cannot write %s\n", path);
        return false;
    }
    if (fresh)
        std::fprintf(f, "%s\n", header);
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
    std::printf("%s\n%s\n", header, line.c_str());
    return true;
}

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...)
{
    char text[1024];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(text, sizeof text, pattern, arguments);
    va_end(arguments);
    return text;
}

uint32_t count(const char* text)
{
    return static_cast<uint32_t>(std::strtoul(text, nullptr, 10));
}

int oneClassCommand(char** a)
{
    const uint32_t rows = count(a[1]), d = count(a[2]), n = count(a[3]);
    const double nu = std::atof(a[4]);
    std::vector<double> points, x;
    if (!readPoints(a[0], rows, d, n, false, points))
        return 2;
    const Run run = oneClass(points, n, d, nu, x);
    if (!writeDoubles(a[5], x))
        return 2;
    const CertifiedReport& r = run.report;
    return record(a[6], "n,nu,seconds,objective,gap,tol,converged,support,at_bound,iterations,rss_mb",
                  format("%u,%.17g,%.6f,%.17g,%.3e,%.3e,%d,%u,%u,%llu,%.1f", n, nu, run.seconds, r.objective, r.gap,
                         run.tol, r.converged ? 1 : 0, r.support, r.atUpperBound,
                         static_cast<unsigned long long>(r.iterations), peakMegabytes()))
               ? 0
               : 2;
}

int evaluateCommand(char** a)
{
    const uint32_t rows = count(a[1]), d = count(a[2]), n = count(a[3]);
    const double nu = std::atof(a[4]);
    std::vector<double> points, alpha;
    if (!readPoints(a[0], rows, d, n, false, points) || !readDoubles(a[5], n, alpha))
        return 2;
    const Evaluation e = evaluate(points, n, d, nu, alpha);
    return record(a[6], "n,nu,objective,gap,sum,support",
                  format("%u,%.17g,%.17g,%.3e,%.17g,%u", n, nu, e.objective, e.gap, e.sum, e.support))
               ? 0
               : 2;
}

int hullCommand(char** a)
{
    const uint32_t rows = count(a[1]), d = count(a[2]), n = count(a[3]), p = count(a[5]);
    FILE* f = std::fopen(a[4], "rb");
    long bytes = -1;
    if (f && std::fseek(f, 0, SEEK_END) == 0)
        bytes = std::ftell(f);
    if (f)
        std::fclose(f);
    const uint32_t imageRows = bytes > 0 ? static_cast<uint32_t>(bytes / sizeof(double) / d) : 0;
    std::vector<double> C, D, X;
    std::vector<CertifiedReport> reports;
    if (!readPoints(a[0], rows, d, n, true, C) || !readPoints(a[4], imageRows, d, p, true, D))
        return 2;
    const Run run = projections(C, d, n, D, p, X, reports);
    if (!writeDoubles(a[6], X))
        return 2;
    const Columns c = columnFigures(X, n, reports);
    return record(a[7], "n,images,seconds_per_image,mean_objective,largest_gap,converged,mean_support,sum_error,rss_mb",
                  format("%u,%u,%.6f,%.17g,%.3e,%u,%.1f,%.3e,%.1f", n, p, run.seconds / p, c.meanObjective,
                         c.largestGap, c.converged, c.meanSupport, c.largestSumError, peakMegabytes()))
               ? 0
               : 2;
}

int unmixCommand(char** a)
{
    const uint32_t m = 200, n = 20, p = count(a[0]), peer = std::min(count(a[1]), count(a[0]));
    std::vector<double> C, D, X;
    std::vector<CertifiedReport> reports;
    unmixing(m, n, p, 1e-3, C, D);
    const Run run = projections(C, m, n, D, p, X, reports);
    const std::string dir = a[2];
    const Columns c = columnFigures(X, n, reports);
    D.resize(static_cast<size_t>(m) * peer);
    X.resize(static_cast<size_t>(n) * peer);
    if (!writeDoubles(dir + "/C.raw", C) || !writeDoubles(dir + "/D.raw", D) || !writeDoubles(dir + "/X.raw", X))
        return 2;
    return record(a[3], "m,n,p,seconds,us_per_problem,converged,largest_gap,mean_support,sum_error,rss_mb",
                  format("%u,%u,%u,%.6f,%.3f,%u,%.3e,%.2f,%.3e,%.1f", m, n, p, run.seconds, 1e6 * run.seconds / p,
                         c.converged, c.largestGap, c.meanSupport, c.largestSumError, peakMegabytes()))
               ? 0
               : 2;
}

// Tiny synthetic cases of every command's solve: that they run, converge
// and answer on the simplex (and within the bounds), nothing about time.
int smokeCommand()
{
    const uint32_t n = 300, d = 12;
    Draw draw{77};
    std::vector<double> points(static_cast<size_t>(n) * d), x;
    for (double& v : points)
        v = unit(draw);
    int failures = 0;
    for (double nu : {1.0 / n, 0.1}) {
        const Run run = oneClass(points, n, d, nu, x);
        const Evaluation e = evaluate(points, n, d, nu, x);
        const bool bounded = nu * n <= 1.0 || *std::max_element(x.begin(), x.end()) <= 1.0 / (nu * n);
        const bool ok = run.report.converged && onSimplex(x, 1e-12) && bounded &&
                        std::fabs(e.objective - run.report.objective) <= 1e-12 && e.gap <= run.report.gap + 1e-12;
        std::printf("one-class n %u nu %g: gap %.3e, objective %.17g (evaluated %.17g)%s\n", n, nu, run.report.gap,
                    run.report.objective, e.objective, ok ? "" : "  FAILED");
        failures += !ok;
    }
    const uint32_t m = 30, p = 5;
    std::vector<double> C(static_cast<size_t>(m) * n), D(static_cast<size_t>(m) * p), X;
    for (double& v : C)
        v = unit(draw);
    for (double& v : D)
        v = unit(draw);
    std::vector<CertifiedReport> reports;
    projections(C, m, n, D, p, X, reports);
    Columns c = columnFigures(X, n, reports);
    std::printf("hull m %u n %u p %u: %u converged, largest gap %.3e\n", m, n, p, c.converged, c.largestGap);
    failures += c.converged != p || c.largestSumError > 1e-12;
    unmixing(200, 20, 500, 1e-3, C, D);
    projections(C, 200, 20, D, 500, X, reports);
    c = columnFigures(X, 20, reports);
    std::printf("unmixing p 500: %u converged, largest gap %.3e\n", c.converged, c.largestGap);
    failures += c.converged != 500 || c.largestSumError > 1e-12;
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "one-class" && argc == 9)
        return oneClassCommand(argv + 2);
    if (command == "evaluate" && argc == 9)
        return evaluateCommand(argv + 2);
    if (command == "hull" && argc == 10)
        return hullCommand(argv + 2);
    if (command == "unmix" && argc == 6)
        return unmixCommand(argv + 2);
    if (command == "smoke" && argc == 2)
        return smokeCommand();
    std::fprintf(stderr, "usage: forms_bench one-class|evaluate|hull|unmix|smoke ... (see forms_bench.cpp)\n");
    return 2;
}
