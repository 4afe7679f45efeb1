// The benchmark's problems: Gaussian kernels of n centres in the unit
// square, built deterministically (the first centres are the same for every
// n), in families that load the solvers differently.
#ifndef SIMPLEXQP_BENCH_PROBLEMS_H
#define SIMPLEXQP_BENCH_PROBLEMS_H

#include <cstdint>
#include <string>

#include "corpus/corpus.h"

// The problems are CorpusProblems named by their family.
using BenchProblem = CorpusProblem;

// Kernel density: b_i is the mean of row i (width 0.2). Every weight stays
// positive; SMO makes about n steps a pass, multUpdate few iterations.
BenchProblem densityProblem(uint32_t n);

// Kernel density with a wider kernel (width 0.5): every weight positive
// and Q far worse conditioned, where pair steps crawl and the polish
// (Newton steps on the support) finishes.
BenchProblem wideDensityProblem(uint32_t n);

// A realizable mixture: width 0.1 and b = Qw for w positive on every
// seventh centre (weights drawn in [0.5, 1.5), summing to 1), so that the
// gradient vanishes at the answer w: the hardest case for pair steps.
BenchProblem realizableProblem(uint32_t n);

// Every weight positive at the answer: width 0.1 with 0.01 added to the
// diagonal (a ridge, so that the answer is unique and well defined), and
// b = Qw for w positive on every centre (drawn in [0.5, 1.5), summing to
// 1). The polish factors all of Q here: its largest case.
BenchProblem allPositiveProblem(uint32_t n);

// Mixture fit: b_i is the mean kernel value of centre i against 300 points
// drawn within 0.075 of three cluster centres (width 0.1), as in the example
// program. Most weights go to zero; multUpdate needs tens of iterations.
// widthFactor scales the kernel's width (Q and b), for a sweep of widths.
BenchProblem mixtureProblem(uint32_t n, double widthFactor = 1.0);

// One-class SVM dual: width 0.1 and b = ones, so that bᵀx = 1 on the
// simplex and the problem is LIBSVM's one-class SVM with ν = 1/n. Few
// weights stay positive: about 100 at n = 500, 160 at n = 8000.
BenchProblem oneClassProblem(uint32_t n, double widthFactor = 1.0);

// A capped long-only minimum-variance portfolio: Q = B Bᵀ + D, the
// covariance of n assets under 8 factors (loadings B, the first a market
// factor) and idiosyncratic variances D, and b = λμ with expected returns μ,
// about a fifth of them negative. Run with a cap (bounded families below).
BenchProblem portfolioProblem(uint32_t n);

// The problem of the family named "density", "mixture", "one-class",
// "wide-density", "realizable", "all-positive" or "portfolio", or of a
// bounded family: one of them with "-nu" and ν appended (each weight at
// most 1/(νn), a one-class SVM's ν on the one-class family) or with "-cap"
// and a cap (each weight at most the cap), e.g. "one-class-nu0.1",
// "portfolio-cap0.02". upper receives the bounds (empty: none).
// Returns false for any other name.
bool benchProblem(const std::string& family, uint32_t n, BenchProblem& problem, std::vector<double>& upper);

// The same for a family without bounds (false for a bounded one).
bool benchProblem(const std::string& family, uint32_t n, BenchProblem& problem);

// The bounds a bounded family's name asks for (above), as n entries; empty
// for a family without "-nu" or "-cap". The name without them into base.
std::vector<double> familyBounds(const std::string& family, uint32_t n, std::string& base);

#endif
