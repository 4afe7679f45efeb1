// What simplexQP(Q, b[, method]) accepts, checked before anything is
// created: each check either passes or raises one error that names the
// argument, what it must be and what was given, e.g.
//
//   Q must be a real, full, double n-by-n matrix; got a 3-by-4 single matrix
//
// Everything the solvers will read is checked here: without these checks a
// single-precision, sparse or too small argument would be read past its end.
// Messages are formatted into stack buffers: nothing is allocated, and the
// host's error operation copies the text before it leaves the call.
//
// Header-only, and included by simplexQP.cpp alone, so that every build of
// the gateway (each host and platform) gets it without listing a new source.
#ifndef SIMPLEXQP_ARGUMENT_CHECKS_H
#define SIMPLEXQP_ARGUMENT_CHECKS_H

#include <cmath>
#include <cstddef>
#include <cstdio>

#include "mex_host.h"

namespace argumentChecks {

// Every flat index r + c*n into Q must fit in 32 bits on every platform, and
// n must fit the result's 32-bit dimension: n*n - 1 < 2^32.
constexpr size_t largestN = 65536;

// ---- Describing what was given ---------------------------------------------

// Whether a count, read out in English, starts with a vowel sound: eight,
// eleven, eighteen, eighty, eight hundred, eleven thousand...
inline bool spokenWithVowel(size_t count)
{
    size_t digits = 1;
    size_t leadingTwo = count;
    while (leadingTwo >= 100) {
        leadingTwo /= 10;
        ++digits;
    }
    if (leadingTwo >= 10)
        ++digits;
    const size_t leading = leadingTwo >= 10 ? leadingTwo / 10 : leadingTwo;
    return leading == 8 || (digits % 3 == 2 && (leadingTwo == 11 || leadingTwo == 18));
}

// "a 3-by-4 single matrix", "an 8-by-8 sparse double matrix",
// "a 1-by-2 cell array": numeric classes are matrices, the rest arrays.
inline void describeArray(const mxArray* array, char* text, size_t capacity)
{
    const size_t rows = mxGetM(array);
    const char* className = mxGetClassName(array);
    std::snprintf(text, capacity, "%s %zu-by-%zu %s%s%.40s %s", spokenWithVowel(rows) ? "an" : "a", rows,
                  mxGetN(array), mxIsSparse(array) ? "sparse " : "", mxIsComplex(array) ? "complex " : "",
                  className ? className : "unknown", mxIsNumeric(array) ? "matrix" : "array");
}

inline const char* nonFiniteName(double value)
{
    if (std::isnan(value))
        return "NaN";
    return value > 0 ? "Inf" : "-Inf";
}

// ---- What each argument must be --------------------------------------------

inline bool isRealFullDouble(const mxArray* array)
{
    return mxIsDouble(array) && !mxIsComplex(array) && !mxIsSparse(array);
}

inline bool isRealFullDoubleSquareMatrix(const mxArray* array)
{
    return isRealFullDouble(array) && mxGetM(array) == mxGetN(array);
}

// A row or a column of n elements; with n = 0 any empty array will do.
inline bool isRealFullDoubleVectorOf(const mxArray* array, size_t n)
{
    return isRealFullDouble(array) && mxGetNumberOfElements(array) == n &&
           (n == 0 || mxGetM(array) == 1 || mxGetN(array) == 1);
}

inline bool isRealNumericScalar(const mxArray* array)
{
    return mxIsNumeric(array) && !mxIsComplex(array) && mxGetNumberOfElements(array) == 1;
}

// ---- Raising ---------------------------------------------------------------

[[noreturn]] inline void rejectArgument(const char* name, const char* expected, const mxArray* given)
{
    char description[128];
    describeArray(given, description, sizeof description);
    char message[256];
    std::snprintf(message, sizeof message, "%s must be %s; got %s", name, expected, description);
    mexErrMsgTxt(message);
}

// ---- The checks, in the order they are made --------------------------------

// Returns n, the order of Q.
inline size_t checkQShape(const mxArray* Q)
{
    if (!isRealFullDoubleSquareMatrix(Q))
        rejectArgument("Q", "a real, full, double n-by-n matrix", Q);
    const size_t n = mxGetN(Q);
    if (n > largestN)
        rejectArgument("Q", "at most 65536-by-65536", Q);
    return n;
}

inline void checkBShape(const mxArray* b, size_t n)
{
    if (isRealFullDoubleVectorOf(b, n))
        return;
    char expected[96];
    std::snprintf(expected, sizeof expected, "a real, full, double vector of %zu element%s", n, n == 1 ? "" : "s");
    rejectArgument("b", expected, b);
}

inline void checkMethod(const mxArray* method)
{
    if (!isRealNumericScalar(method))
        rejectArgument("method", "a real numeric scalar", method);
}

// NaN or Inf anywhere leaves no sound answer: the objective and the weights
// would be undefined. Reports the first one in column-major order.
inline void checkQValues(const double* Q, size_t n)
{
    for (size_t c = 0; c < n; ++c) {
        for (size_t r = 0; r < n; ++r) {
            const double value = Q[r + c * n];
            if (!std::isfinite(value)) {
                char message[128];
                std::snprintf(message, sizeof message, "Q must be finite; got %s at Q(%zu,%zu)", nonFiniteName(value),
                              r + 1, c + 1);
                mexErrMsgTxt(message);
            }
        }
    }
}

// The solvers start from b / sum(b), the sum taken in ascending order from
// +0.0 as they take it: it must be a finite number other than zero.
inline void checkBValues(const double* b, size_t n)
{
    char message[128];
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i) {
        if (!std::isfinite(b[i])) {
            std::snprintf(message, sizeof message, "b must be finite; got %s at b(%zu)", nonFiniteName(b[i]), i + 1);
            mexErrMsgTxt(message);
        }
        sum += b[i];
    }
    if (n > 0 && (sum == 0.0 || !std::isfinite(sum))) {
        std::snprintf(message, sizeof message, "b must have a finite, non-zero sum; got sum(b) = %s",
                      sum == 0.0 ? "0" : nonFiniteName(sum));
        mexErrMsgTxt(message);
    }
}

// Checks all three arguments (the counts have been checked): first each
// argument's class and shape, Q, then b, then method, so that nothing is
// read that is not there; then the values of Q and b.
inline void checkArguments(int nrhs, const mxArray* prhs[])
{
    const size_t n = checkQShape(prhs[0]);
    checkBShape(prhs[1], n);
    if (nrhs == 3)
        checkMethod(prhs[2]);
    checkQValues(mxGetPr(prhs[0]), n);
    checkBValues(mxGetPr(prhs[1]), n);
}

}  // namespace argumentChecks

#endif
