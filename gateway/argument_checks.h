// What simplexQP(Q, b[, method]) and simplexQPopt(Q, b[, tol]) accept,
// checked before the result is created or anything computed: each check
// either passes or raises one error that names the argument, what it must
// be and what was given, e.g.
//
//   Q must be a real, full, double n-by-n matrix; got a 3-by-4 single matrix
//
// Everything the solvers will read is checked here: without these checks a
// single-precision, sparse or too small argument would be read past its end.
//
// Messages are assembled in a fixed buffer on the stack (the host's error
// operation copies the text before it leaves the call): nothing is
// allocated, and no formatting routine of the C library is used, whose
// Windows versions differ (no %zu in the system's) or pull in locale and
// wide-character machinery the plug-in otherwise does without.
//
// Header-only, and included by the gateways alone, so that every build
// of them (each host and platform) gets it without listing a new source.
#ifndef SIMPLEXQP_ARGUMENT_CHECKS_H
#define SIMPLEXQP_ARGUMENT_CHECKS_H

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "../solvers/common/problem.h"
#include "../solvers/common/vector_loops.h"
#include "decimal_text.h"
#include "mex_host.h"

namespace argumentChecks {

// Every flat index r + c*n into Q must fit in 32 bits on every platform, and
// n must fit the result's 32-bit dimension: n*n - 1 < 2^32.
constexpr size_t largestN = 65536;

// ---- Assembling a message --------------------------------------------------

// Text cut short at the buffer's end rather than written past it.
struct Message {
    char text[256];
    size_t length;
};

inline Message emptyMessage()
{
    Message message;
    message.text[0] = '\0';
    message.length = 0;
    return message;
}

inline void append(Message& message, const char* text)
{
    while (*text && message.length + 1 < sizeof message.text)
        message.text[message.length++] = *text++;
    message.text[message.length] = '\0';
}

// Counts in 64 bits: sizes, and the solvers' step counts, which size_t
// does not hold everywhere.
inline void appendCount(Message& message, uint64_t count)
{
    char digits[24];
    char* first = digits + sizeof digits;
    *--first = '\0';
    do {
        *--first = static_cast<char>('0' + count % 10);
        count /= 10;
    } while (count);
    append(message, first);
}

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

inline void appendNumber(Message& message, double value)
{
    char text[decimalText::capacity];
    decimalText::write(value, text);
    append(message, text);
}

// An array's number of dimensions and its k-th dimension, through the
// entry points this build binds (int-sized in the 64-bit MATLAB builds).
inline size_t dimensionCount(const mxArray* array)
{
#ifdef SIMPLEXQP_CREATE_700
    return static_cast<size_t>(mxGetNumberOfDimensions_700(array));
#else
    return mxGetNumberOfDimensions(array);
#endif
}

inline size_t dimension(const mxArray* array, size_t k)
{
#ifdef SIMPLEXQP_CREATE_700
    return static_cast<size_t>(static_cast<unsigned>(mxGetDimensions_700(array)[k]));
#else
    return mxGetDimensions(array)[k];
#endif
}

inline bool isMatrixShaped(const mxArray* array)
{
    return dimensionCount(array) == 2;
}

// "; got a 3-by-4 single matrix", "; got an 8-by-8 sparse double matrix",
// "; got a 1-by-2 cell array", "; got a 3-by-3-by-2 double array": numeric
// classes in two dimensions are matrices, everything else arrays. Every
// dimension is named (mxGetN alone would give 3-by-6 for the last).
inline void appendWhatWasGiven(Message& message, const mxArray* array)
{
    const size_t count = dimensionCount(array);
    const char* className = mxGetClassName(array);
    append(message, spokenWithVowel(dimension(array, 0)) ? "; got an " : "; got a ");
    appendCount(message, dimension(array, 0));
    for (size_t k = 1; k < count; ++k) {
        append(message, "-by-");
        appendCount(message, dimension(array, k));
    }
    append(message, mxIsSparse(array) ? " sparse " : " ");
    append(message, mxIsComplex(array) ? "complex " : "");
    append(message, className ? className : "unknown");
    append(message, mxIsNumeric(array) && count == 2 ? " matrix" : " array");
}

inline const char* nonFiniteName(double value)
{
    if (std::isnan(value))
        return "NaN";
    return value > 0 ? "Inf" : "-Inf";
}

// A value as given: its digits, or NaN, Inf or -Inf.
inline void appendValue(Message& message, double value)
{
    if (std::isfinite(value))
        appendNumber(message, value);
    else
        append(message, nonFiniteName(value));
}

// ---- What each argument must be --------------------------------------------

inline bool isRealFullDouble(const mxArray* array)
{
    return mxIsDouble(array) && !mxIsComplex(array) && !mxIsSparse(array);
}

inline bool isRealFullDoubleSquareMatrix(const mxArray* array)
{
    return isRealFullDouble(array) && isMatrixShaped(array) && mxGetM(array) == mxGetN(array);
}

// A row or a column of n elements; with n = 0 any empty two-dimensional
// array will do.
inline bool isRealFullDoubleVectorOf(const mxArray* array, size_t n)
{
    return isRealFullDouble(array) && isMatrixShaped(array) && mxGetNumberOfElements(array) == n &&
           (n == 0 || mxGetM(array) == 1 || mxGetN(array) == 1);
}

inline bool isRealFullDoubleMatrix(const mxArray* array)
{
    return isRealFullDouble(array) && isMatrixShaped(array);
}

inline bool isRealNumericScalar(const mxArray* array)
{
    return mxIsNumeric(array) && !mxIsComplex(array) && mxGetNumberOfElements(array) == 1;
}

// ---- Raising ---------------------------------------------------------------

// "<name> must be <expected>; got <what was given>".
[[noreturn]] inline void rejectArgument(const char* name, const char* expected, const mxArray* given)
{
    Message message = emptyMessage();
    append(message, name);
    append(message, " must be ");
    append(message, expected);
    appendWhatWasGiven(message, given);
    mexErrMsgTxt(message.text);
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
    Message message = emptyMessage();
    append(message, "b must be a real, full, double vector of ");
    appendCount(message, n);
    append(message, n == 1 ? " element" : " elements");
    appendWhatWasGiven(message, b);
    mexErrMsgTxt(message.text);
}

inline void checkMethod(const mxArray* method)
{
    if (!isRealNumericScalar(method))
        rejectArgument("method", "a real numeric scalar", method);
}

// NaN or Inf anywhere leaves no sound answer: the objective and the weights
// would be undefined. One vectorised pass answers for a finite matrix, and
// gives its largest magnitude (returned); only a matrix that is not finite
// is read again, to name the first culprit in column-major order, 1-based:
// "<name> must be finite; got NaN at <name>(2,1)". A is rows-by-columns,
// read on path.
inline double checkMatrixFinite(const char* name, const double* A, size_t rows, size_t columns, VectorPath path)
{
    const double largest = largestMagnitudeOf(path, A, rows * columns);
    if (largest <= largestDouble)
        return largest;
    for (size_t c = 0; c < columns; ++c) {
        for (size_t r = 0; r < rows; ++r) {
            const double value = A[r + c * rows];
            if (!std::isfinite(value)) {
                Message message = emptyMessage();
                append(message, name);
                append(message, " must be finite; got ");
                append(message, nonFiniteName(value));
                append(message, " at ");
                append(message, name);
                append(message, "(");
                appendCount(message, r + 1);
                append(message, ",");
                appendCount(message, c + 1);
                append(message, ")");
                mexErrMsgTxt(message.text);
            }
        }
    }
    return largest;
}

// Q's values; the largest magnitude is the scale of simplexQPopt's default
// tolerance. path: the one the call's settings give the solvers.
inline double checkQValues(const double* Q, size_t n, VectorPath path)
{
    return checkMatrixFinite("Q", Q, n, n, path);
}

inline void checkBFinite(const double* b, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (!std::isfinite(b[i])) {
            Message message = emptyMessage();
            append(message, "b must be finite; got ");
            append(message, nonFiniteName(b[i]));
            append(message, " at b(");
            appendCount(message, i + 1);
            append(message, ")");
            mexErrMsgTxt(message.text);
        }
    }
}

// simplexQP's solvers start from b / sum(b), the sum taken in ascending
// order from +0.0 as they take it: it must be a finite number other than
// zero, and so must every starting weight b_i / sum(b), which can overflow
// when the sum is far smaller than the entries (1e300 - 1e300 + 1e-300).
// They are computed here as the solvers compute them, so that exactly the
// starting points the solvers could not use are rejected.
inline void checkBValues(const double* b, size_t n)
{
    checkBFinite(b, n);
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i)
        sum += b[i];
    if (n > 0 && (sum == 0.0 || !std::isfinite(sum))) {
        Message message = emptyMessage();
        append(message, "b must have a finite, non-zero sum; got sum(b) = ");
        append(message, sum == 0.0 ? "0" : nonFiniteName(sum));
        mexErrMsgTxt(message.text);
    }
    for (size_t i = 0; i < n; ++i) {
        const double weight = b[i] / sum;
        if (!std::isfinite(weight)) {
            Message message = emptyMessage();
            append(message, "b / sum(b) must be finite; got b(");
            appendCount(message, i + 1);
            append(message, ") / sum(b) = ");
            appendNumber(message, b[i]);
            append(message, " / ");
            appendNumber(message, sum);
            append(message, " = ");
            append(message, nonFiniteName(weight));
            mexErrMsgTxt(message.text);
        }
    }
}

// simplexQPopt's tolerance: a real number, at least 0 (Inf accepts any
// answer). NaN would make every comparison with the gap false.
// name is what the messages call it: tol, or options.Tolerance.
inline void checkToleranceNamed(const mxArray* tol, const char* name)
{
    if (!isRealNumericScalar(tol))
        rejectArgument(name, "a real numeric scalar", tol);
    const double value = mxGetScalar(tol);
    if (value >= 0.0)
        return;
    Message message = emptyMessage();
    append(message, name);
    append(message, " must be a non-negative number; got ");
    append(message, std::isnan(value) ? "NaN" : std::isinf(value) ? "-Inf" : "a negative number");
    mexErrMsgTxt(message.text);
}

inline void checkTolerance(const mxArray* tol)
{
    checkToleranceNamed(tol, "tol");
}

// Checks all three arguments (the counts have been checked): first each
// argument's class and shape, Q, then b, then the third (simplexQP's method
// or simplexQPopt's tol), so that nothing is read that is not there; then
// the values of Q and b. The sum of b is checked only for simplexQP, whose
// solvers start from b / sum(b). Q is read on path.
inline void checkArguments(int nrhs, const mxArray* prhs[], VectorPath path,
                           void (*checkThird)(const mxArray*) = checkMethod, bool startsFromB = true)
{
    const size_t n = checkQShape(prhs[0]);
    checkBShape(prhs[1], n);
    if (nrhs == 3)
        checkThird(prhs[2]);
    checkQValues(mxGetPr(prhs[0]), n, path);
    if (startsFromB)
        checkBValues(mxGetPr(prhs[1]), n);
    else
        checkBFinite(mxGetPr(prhs[1]), n);
}

}  // namespace argumentChecks

#endif
