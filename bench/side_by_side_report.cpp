#include "side_by_side_report.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "raw_doubles.h"

namespace {

std::string gapText(long double value)
{
    char text[32];
    if (std::isnan(value))
        return "-";
    std::snprintf(text, sizeof text, value == 0.0L ? "0" : "%.1Le", value);
    return text;
}

// Seconds to three significant digits or more, without exponents.
std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, seconds >= 1 ? "%.2f" : seconds >= 0.001 ? "%.4f" : "%.6f", seconds);
    return text;
}

const EvaluatedRun* find(const std::vector<EvaluatedRun>& evaluated, const std::string& family, uint32_t n,
                         const std::string& solver)
{
    for (const EvaluatedRun& e : evaluated)
        if (e.run.family == family && e.run.n == n && e.run.solver == solver)
            return &e;
    return nullptr;
}

// Least-squares slope of log(seconds) against log(n).
bool fitExponent(const std::vector<std::pair<double, double>>& points, double& exponent)
{
    if (points.size() < 2)
        return false;
    double mx = 0, my = 0;
    for (const auto& p : points) {
        mx += std::log(p.first);
        my += std::log(p.second);
    }
    mx /= static_cast<double>(points.size());
    my /= static_cast<double>(points.size());
    double sxy = 0, sxx = 0;
    for (const auto& p : points) {
        sxy += (std::log(p.first) - mx) * (std::log(p.second) - my);
        sxx += (std::log(p.first) - mx) * (std::log(p.first) - mx);
    }
    if (!(sxx > 0))
        return false;
    exponent = sxy / sxx;
    return true;
}

template <typename T>
std::vector<T> inOrderMet(const std::vector<EvaluatedRun>& evaluated, T (*key)(const EvaluatedRun&))
{
    std::vector<T> keys;
    for (const EvaluatedRun& e : evaluated)
        if (std::find(keys.begin(), keys.end(), key(e)) == keys.end())
            keys.push_back(key(e));
    return keys;
}

std::string familyOf(const EvaluatedRun& e)
{
    return e.run.family;
}

std::string solverOf(const EvaluatedRun& e)
{
    return e.run.solver;
}

uint32_t sizeOf(const EvaluatedRun& e)
{
    return e.run.n;
}

}  // namespace

bool evaluateRuns(std::vector<RunRecord> runs, const std::string& problemDir, const std::string& answerDir,
                  std::vector<EvaluatedRun>& evaluated)
{
    std::vector<std::string> families;
    for (const RunRecord& run : runs)
        if (std::find(families.begin(), families.end(), run.family) == families.end())
            families.push_back(run.family);
    const auto rank = [&](const RunRecord& run) {
        return std::find(families.begin(), families.end(), run.family) - families.begin();
    };
    std::stable_sort(runs.begin(), runs.end(), [&](const RunRecord& a, const RunRecord& b) {
        return rank(a) != rank(b) ? rank(a) < rank(b) : a.n < b.n;
    });

    evaluated.clear();
    std::vector<double> Q, b, x, upper;
    for (size_t first = 0; first < runs.size();) {
        size_t end = first;
        while (end < runs.size() && runs[end].family == runs[first].family && runs[end].n == runs[first].n)
            ++end;
        const uint32_t n = runs[first].n;
        const std::string stem = problemStem(problemDir, runs[first].family, n);
        if (!readDoubles(stem + ".Q", static_cast<size_t>(n) * n, Q) || !readDoubles(stem + ".b", n, b))
            return false;
        const bool bounded = std::filesystem::exists(stem + ".u");
        if (bounded && !readDoubles(stem + ".u", n, upper))
            return false;
        long double best = INFINITY;
        const size_t problemStart = evaluated.size();
        for (size_t r = first; r < end; ++r) {
            EvaluatedRun e{runs[r], hasAnswer(runs[r]), {}, NAN};
            if (e.answered) {
                if (!readDoubles(answerPath(answerDir, runs[r]), n, x))
                    return false;
                e.metrics = measureAnswer(Q.data(), b.data(), n, x.data(), bounded ? upper.data() : nullptr);
                if (e.metrics.objective < best)
                    best = e.metrics.objective;
            }
            evaluated.push_back(e);
        }
        for (size_t k = problemStart; k < evaluated.size(); ++k)
            if (evaluated[k].answered)
                evaluated[k].aboveBest = evaluated[k].metrics.objective - best;
        first = end;
    }
    return true;
}

void printRunTable(FILE* out, const std::vector<EvaluatedRun>& evaluated)
{
    std::fprintf(out, "|     n | problem   | solver               |    CPU s | f                  | f - f_best | KKT gap | "
                      "FW gap  | x > 0 | x > 1e-8 max | note |\n");
    std::fprintf(out, "|------:|-----------|----------------------|---------:|--------------------|-----------:|--------:|"
                      "--------:|------:|-------------:|------|\n");
    for (const EvaluatedRun& e : evaluated) {
        const RunRecord& r = e.run;
        std::string note = r.status == "solved" ? r.note : r.status + (r.note.empty() ? "" : ": " + r.note);
        if (!e.answered) {
            std::fprintf(out, "| %5u | %-9s | %-20s | %8s | %-18s | %10s | %7s | %7s | %5s | %12s | %s |\n", r.n,
                         r.family.c_str(), r.solver.c_str(), "-", "-", "-", "-", "-", "-", "-", note.c_str());
            continue;
        }
        const AnswerMetrics& m = e.metrics;
        if (!onSimplex(m)) {
            char given[96];
            std::snprintf(given, sizeof given, "%sNOT ON THE SIMPLEX: least weight %.2g, sum - 1 = %.2g",
                          note.empty() ? "" : "; ", m.mostNegative, m.sumError);
            note += given;
        }
        std::fprintf(out, "| %5u | %-9s | %-20s | %8s | %18.14Lf | %10s | %7s | %7s | %5u | %12u | %s |\n", r.n,
                     r.family.c_str(), r.solver.c_str(), secondsText(r.seconds).c_str(), m.objective, gapText(e.aboveBest).c_str(),
                     gapText(m.kktGap).c_str(), gapText(m.frankWolfeGap).c_str(), m.positive, m.significant,
                     note.c_str());
    }
}

void printRatios(FILE* out, const std::vector<EvaluatedRun>& evaluated)
{
    // Each peer against the certifiedSMO run it should be measured with, on
    // the families whose names start so (bounded ones, "one-class-nu0.1",
    // and the data sets' one-class problems, "digits-nu0.1", included).
    struct Comparison {
        const char *family, *peer, *own;
    };
    const Comparison comparisons[] = {
        {"one-class", "LIBSVM-e1e-6", "certifiedSMO-1e-6"},
        {"one-class", "LIBSVM-e1e-3", "certifiedSMO-default"},
        {"one-class", "LIBSVM-e1e-6", "certifiedSMO-default"},
        {"digits-nu", "LIBSVM-e1e-6", "certifiedSMO-1e-6"},
        {"digits-nu", "LIBSVM-e1e-6", "certifiedSMO-default"},
        {"breast-cancer-nu", "LIBSVM-e1e-6", "certifiedSMO-1e-6"},
        {"breast-cancer-nu", "LIBSVM-e1e-6", "certifiedSMO-default"},
        {"mixture", "CVXOPT-default", "certifiedSMO-default"},
        {"mixture", "CVXOPT-tight", "certifiedSMO-default"},
        {"portfolio", "CVXOPT-tight", "certifiedSMO-default"},
    };
    std::fprintf(out, "|     n | problem   | peer           | peer s   | against              | its s    | "
                      "peer s / its s | peer KKT gap | its KKT gap |\n");
    std::fprintf(out, "|------:|-----------|----------------|---------:|----------------------|---------:|"
                      "---------------:|-------------:|------------:|\n");
    const std::vector<std::string> families = inOrderMet(evaluated, familyOf);
    for (const Comparison& c : comparisons)
        for (const std::string& family : families) {
            if (family.compare(0, std::strlen(c.family), c.family) != 0)
                continue;
            for (uint32_t n : inOrderMet(evaluated, sizeOf)) {
                const EvaluatedRun* peer = find(evaluated, family, n, c.peer);
                const EvaluatedRun* own = find(evaluated, family, n, c.own);
                if (!peer || !own || !peer->answered || !own->answered)
                    continue;
                char ratio[48] = "-";
                if (own->run.seconds > 0) {
                    const double times = peer->run.seconds / own->run.seconds;
                    std::snprintf(ratio, sizeof ratio, times >= 10 ? "%.0f" : times >= 1 ? "%.1f" : "%.2g", times);
                }
                std::fprintf(out, "| %5u | %-9s | %-14s | %8s | %-20s | %8s | %14s | %12s | %11s |\n", n,
                             family.c_str(), c.peer, secondsText(peer->run.seconds).c_str(), c.own,
                             secondsText(own->run.seconds).c_str(), ratio, gapText(peer->metrics.kktGap).c_str(),
                             gapText(own->metrics.kktGap).c_str());
            }
        }
}

void printGrowth(FILE* out, const std::vector<EvaluatedRun>& evaluated)
{
    const std::vector<std::string> families = inOrderMet(evaluated, familyOf);
    std::fprintf(out, "| solver               |");
    for (const std::string& family : families)
        std::fprintf(out, " %-22s |", family.c_str());
    std::fprintf(out, "\n|----------------------|");
    for (size_t f = 0; f < families.size(); ++f)
        std::fprintf(out, "------------------------|");
    std::fprintf(out, "\n");
    for (const std::string& solver : inOrderMet(evaluated, solverOf)) {
        std::fprintf(out, "| %-20s |", solver.c_str());
        for (const std::string& family : families) {
            std::vector<std::pair<double, double>> points;
            for (const EvaluatedRun& e : evaluated)
                if (e.run.family == family && e.run.solver == solver && e.answered && e.run.seconds > 0)
                    points.emplace_back(e.run.n, e.run.seconds);
            double exponent = 0;
            char cell[48] = "-";
            if (fitExponent(points, exponent))
                std::snprintf(cell, sizeof cell, "%.2f (n %u-%u)", exponent, static_cast<unsigned>(points.front().first),
                              static_cast<unsigned>(points.back().first));
            std::fprintf(out, " %-22s |", cell);
        }
        std::fprintf(out, "\n");
    }
}

void writeEvaluatedCsv(FILE* out, const std::vector<EvaluatedRun>& evaluated)
{
    std::fprintf(out, "family,n,solver,seconds,f,f_minus_best,kkt_gap,fw_gap,positive,significant,status\n");
    for (const EvaluatedRun& e : evaluated) {
        if (!e.answered)
            continue;
        const AnswerMetrics& m = e.metrics;
        std::fprintf(out, "%s,%u,%s,%.9f,%.17Lg,%.3Le,%.3Le,%.3Le,%u,%u,%s\n", e.run.family.c_str(), e.run.n,
                     e.run.solver.c_str(), e.run.seconds, m.objective, e.aboveBest, m.kktGap, m.frankWolfeGap,
                     m.positive, m.significant, e.run.status.c_str());
    }
}
