// Independent answers for certifiedSMO's tests, in long double and by other
// means than the solver's: the KKT violation of a point summed afresh, and
// for small n the exact minimiser found by trying every support.
#ifndef SIMPLEXQP_TESTS_CERTIFIED_REFERENCE_H
#define SIMPLEXQP_TESTS_CERTIFIED_REFERENCE_H

#include <cstdint>
#include <vector>

#include "corpus/corpus.h"

// The KKT violation max over x_i > 0 of g_i minus min over j of g_j, with
// g = Qx - b summed in long double; with bounds u (upper, n entries, +Inf
// where none; empty: no bounds), the minimum over x_j < u_j alone, and 0
// where there is no such j. error receives a bound on how far the long
// double sums can be from the exact value.
long double violationInLongDouble(const std::vector<double>& Q, const std::vector<double>& b,
                                  const std::vector<double>& x, long double& error,
                                  const std::vector<double>& upper = {});

// f(x) in long double.
long double objectiveInLongDouble(const std::vector<double>& Q, const std::vector<double>& b,
                                  const std::vector<double>& x);

// The least objective over the simplex for small n (every support S is
// tried: Q_SS x_S - b_S = lambda, sum x_S = 1 solved by elimination, kept
// when x_S >= 0 and every other g_j >= lambda). For positive definite Q
// that is the minimum. Returns false if no support gave a point.
bool minimumBySupports(const std::vector<double>& Q, const std::vector<double>& b, long double& minimum,
                       std::vector<long double>& minimiser);

// The least objective over {0 <= x <= u, sum x = 1} for small n: every
// split of the coordinates into those at 0, those at a finite bound and
// the free ones is tried (Q_FF x_F - b_F + Q_FU u_U = lambda, sum x = 1
// solved by elimination), and the least f of the feasible points kept. For
// positive definite Q the minimiser is one of them. Returns false if no
// split gave a feasible point.
bool minimumWithinBounds(const std::vector<double>& Q, const std::vector<double>& b,
                         const std::vector<double>& upper, long double& minimum);

// The one-class problem: a Gaussian kernel of width 0.1 on n points drawn
// uniformly in the unit square, b = 1. Its answers are sparse.
CorpusProblem oneClassProblem(uint32_t n, uint64_t seed);

// A mixture fit: the same kernel, and b_i the mean kernel value of point i
// against 150 samples within 0.075 of three cluster centres. Very
// ill-conditioned, with an answer of a few tens of weights, which pair
// steps reach slowly once the gap is small.
CorpusProblem mixtureProblem(uint32_t n, uint64_t seed);

#endif
