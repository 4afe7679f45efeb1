// Solvers for the quadratic programme over the probability simplex
//
//     minimise  f(x) = 1/2 x'Qx - b'x   subject to  x >= 0,  sum(x) = 1.
//
// Inputs:  Q, n*n doubles in column-major order (Q(r, c) = Q[r + c*n]),
//          taken to be symmetric; b, n doubles.
// Output:  x, n doubles, overwritten with the answer (its incoming contents
//          are ignored). With n = 0 nothing is read or written.
//
// Both solvers assume finite Q and b with a finite, non-zero sum of b, and
// n <= 65536 (the plug-in's gateway rejects anything else); on other input
// they still end and touch nothing outside the arrays. Neither can loop for
// ever: SMO stops after a pass whose objective is not finite, multUpdate
// when its iterate repeats exactly (see each source). With a strongly
// unsymmetric Q, or entries of huge magnitude, they may still take very long
// to end, and so may SMO on an indefinite Q whose entries span a wide range
// (1e6 against 1: millions of passes, each lowering the objective by more
// than its tolerance).
#ifndef SIMPLEXQP_SIMPLEX_QP_H
#define SIMPLEXQP_SIMPLEX_QP_H

#include <cstdint>

// Sequential minimal optimisation: moves weight between two coordinates at a
// time by the exact clipped line minimum (method 2, the default).
void SMO(const double* Q, const double* b, uint32_t n, double* x);

// Multiplicative fixed-point iteration x_i <- x_i (b_i + lambda) / (Qx)_i
// (method 3).
void multUpdate(const double* Q, const double* b, uint32_t n, double* x);

#endif
