// One evaluator for every solver's answer, so that answers from different
// codes (exact SMO weights, interior-point weights that are never exactly 0,
// LIBSVM's coefficients) are judged by the same arithmetic.
#ifndef SIMPLEXQP_BENCH_ANSWER_METRICS_H
#define SIMPLEXQP_BENCH_ANSWER_METRICS_H

#include <cstdint>

struct AnswerMetrics {
    // The answer as given.
    bool finite;              // every weight finite
    double mostNegative;      // the least weight if negative, else 0
    double sumError;          // sum of the weights - 1
    // The answer placed on the simplex: y = max(x, 0) / sum(max(x, 0)),
    // with bounds u y = min(max(x, 0), u) (not divided: that could leave
    // a bound), then everything in long double (64-bit significand on x86).
    long double objective;    // f(y) = sum_i y_i (½(Qy)_i - b_i)
    // max over y_i > 0 of g_i, minus min over y_j < u_j (1 - boundRounding)
    // of g_j (over all j without bounds), g = Qy - b
    long double kktGap;
    long double frankWolfeGap;  // yᵀg - min_j g_j: a bound on f(y) - f* for convex f that tiny weights barely move
    uint32_t positive;        // weights y_i > 0
    uint32_t significant;     // weights y_i > 1e-8 max_j y_j
};

// Q: n*n column-major, b, x and upper (null: no bounds): n. An answer with
// no positive weight, or one that is not finite, gets finite = false (or a
// zero sum) and NaN measures.
AnswerMetrics measureAnswer(const double* Q, const double* b, uint32_t n, const double* x,
                            const double* upper = nullptr);

// Tolerance of the "on the simplex" check of the answers as given: every
// weight >= -tolerance and |sum - 1| <= tolerance. Loose enough for
// interior-point answers, tight enough to catch weights mapped to the
// wrong coordinates or not normalised.
constexpr double simplexTolerance = 1e-6;

bool onSimplex(const AnswerMetrics& m);

// How far below its bound a weight may be and still count as at it in the
// KKT gap (the answers as given are not moved).
constexpr double boundRounding = 1e-9;

#endif
