// e^x from +, -, *, / and the bits of doubles alone, so that a value built
// on it (the Gaussian kernel's entries) has the same bits on every
// platform: each C library's exp rounds its last bit its own way.
//
// The reduction and the polynomial are fixed (portable_exp.cpp); the
// result is within 1 unit in the last place of e^x (measured against a
// wider exp, tests/portable_exp_tests.cpp). portableExp(0) is exactly 1;
// results below the normal range are rounded once to the subnormal
// nearest the scaled result (gradual underflow, not flushed), and
// arguments below -745.14 give +0.0; above 709.78, +Inf; NaN gives NaN.
// It relies on the build's rules only: round to nearest, no fused
// multiply-adds.
#ifndef SIMPLEXQP_PORTABLE_EXP_H
#define SIMPLEXQP_PORTABLE_EXP_H

double portableExp(double x);

#endif
