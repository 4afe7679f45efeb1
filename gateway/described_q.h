// simplexQPopt's first argument as a struct K that describes Q rather than
// holds it, Q(i,j) = k(p_i, p_j) for the rows p_i of K.Points:
//
//   K.Points  n-by-d, real, full, double, finite: a point per row
//   K.Kernel  'gaussian'  Q(i,j) = exp(-|p_i - p_j|^2 / (2 K.Width^2))
//             'linear'    Q(i,j) = p_i' p_j
//   K.Width   the Gaussian's width: finite, > 0, with 2 K.Width^2 a finite
//             double > 0 (the linear kernel takes none)
//
// Checked as the other arguments are, before anything is created or
// computed: every error names the field, what it must be and what was
// given; a missing field, and one this plug-in does not know, is an error
// that lists the fields, so that a misspelt name never passes unnoticed.
#ifndef SIMPLEXQP_DESCRIBED_Q_H
#define SIMPLEXQP_DESCRIBED_Q_H

#include <cstddef>
#include <cstdint>

#include "../solvers/sources/vector_kernel.h"
#include "argument_checks.h"
#include "mex_host.h"
#include "opt_options.h"

namespace describedQ {

using argumentChecks::append;
using argumentChecks::emptyMessage;
using argumentChecks::Message;

// n and d are handed to the solver as 32-bit counts and to the 64-bit
// MATLAB hosts' creation call as int.
constexpr size_t largestDimension = 2147483647;

constexpr const char* theFields = "a struct K has the fields Points (n-by-d, a point per row), Kernel ('gaussian' or "
                                  "'linear') and Width (for 'gaussian')";

struct Described {
    const double* points;
    size_t n, d;
    KernelKind kind;
    double width;  // the Gaussian's; 0 for the linear kernel
};

// Whether the first argument describes Q rather than holds it.
inline bool isDescribed(const mxArray* first)
{
    return mxIsStruct(first);
}

[[noreturn]] inline void rejectField(const char* opening, const char* name, const char* closing)
{
    Message message = emptyMessage();
    append(message, opening);
    append(message, name);
    append(message, closing);
    append(message, theFields);
    mexErrMsgTxt(message.text);
}

inline KernelKind checkKernel(const mxArray* value)
{
    const char* expected = "K.Kernel must be 'gaussian' or 'linear'";
    char text[32];
    bool nul = false;
    if (!optOptions::textOf(value, text, nul)) {
        Message message = emptyMessage();
        append(message, expected);
        argumentChecks::appendWhatWasGiven(message, value);
        mexErrMsgTxt(message.text);
    }
    if (!nul && optOptions::sameText(text, "gaussian"))
        return KernelKind::gaussian;
    if (!nul && optOptions::sameText(text, "linear"))
        return KernelKind::linear;
    Message message = emptyMessage();
    append(message, expected);
    append(message, "; got '");
    append(message, text);
    append(message, nul ? "' followed by a NUL character" : "'");
    mexErrMsgTxt(message.text);
}

// The width, and that 2 w^2, the one rounded denominator of every entry,
// is a finite double > 0 (w below about 1e-154 or above 1e154 is not).
inline double checkWidth(const mxArray* value)
{
    if (!argumentChecks::isRealNumericScalar(value))
        argumentChecks::rejectArgument("K.Width", "a real numeric scalar", value);
    const double width = mxGetScalar(value);
    const double denominator = 2.0 * (width * width);
    if (width > 0.0 && denominator > 0.0 && denominator <= largestDouble)
        return width;
    Message message = emptyMessage();
    append(message, "K.Width must be finite and > 0, with 2*Width^2 a finite double > 0; got ");
    argumentChecks::appendValue(message, width);
    mexErrMsgTxt(message.text);
}

inline void checkPointsShape(const mxArray* value)
{
    if (!argumentChecks::isRealFullDoubleMatrix(value))
        argumentChecks::rejectArgument("K.Points", "a real, full, double n-by-d matrix (a point per row)", value);
    if (mxGetM(value) > largestDimension || mxGetN(value) > largestDimension)
        argumentChecks::rejectArgument("K.Points", "at most 2147483647-by-2147483647", value);
}

// The struct's shape and fields; the points' values are checked after b's
// shape, with checkValues. A field whose value is [] counts as not given.
inline Described checkShape(const mxArray* K)
{
    if (mxGetNumberOfElements(K) != 1 || !argumentChecks::isMatrixShaped(K))
        argumentChecks::rejectArgument("K", "a 1-by-1 struct", K);
    const mxArray* points = nullptr;
    const mxArray* kernel = nullptr;
    const mxArray* width = nullptr;
    const int fields = mxGetNumberOfFields(K);
    for (int f = 0; f < fields; ++f) {
        const char* name = mxGetFieldNameByNumber(K, f);
        const mxArray* value = optOptions::fieldValue(K, f);
        const mxArray* given = value && !optOptions::isEmptyDefault(value) ? value : nullptr;
        if (optOptions::sameText(name, "Points"))
            points = value;  // an empty set of points is a problem of no weights
        else if (optOptions::sameText(name, "Kernel"))
            kernel = given;
        else if (optOptions::sameText(name, "Width"))
            width = given;
        else
            rejectField("K has an unknown field '", name, "'; ");
    }
    if (!points)
        rejectField("K.", "Points", " is missing; ");
    if (!kernel)
        rejectField("K.", "Kernel", " is missing; ");
    checkPointsShape(points);
    Described described{mxGetPr(points), mxGetM(points), mxGetN(points), checkKernel(kernel), 0.0};
    if (described.kind == KernelKind::gaussian) {
        if (!width)
            rejectField("K.", "Width", " is missing: the 'gaussian' kernel needs it; ");
        described.width = checkWidth(width);
    } else if (width) {
        rejectField("K.", "Width", " is given, but the 'linear' kernel takes none; ");
    }
    return described;
}

// The kernel the solver reads.
inline VectorKernel kernelOf(const Described& described)
{
    const uint32_t n = static_cast<uint32_t>(described.n);
    const uint32_t d = static_cast<uint32_t>(described.d);
    return described.kind == KernelKind::gaussian ? gaussianOfPoints(described.points, n, d, described.width)
                                                  : linearOfPoints(described.points, n, d);
}

// After b's shape: every point finite, and, for the linear kernel, every
// entry of Q too (the largest is on the diagonal, |p_i|^2, which overflows
// for points of about 1e154). Returns Q's largest magnitude, the scale of
// the default tolerance.
inline double checkValues(const Described& described, const VectorKernel& kernel, VectorPath path)
{
    argumentChecks::checkMatrixFinite("K.Points", described.points, described.n, described.d, path);
    const double largest = described.n ? kernelLargestEntry(kernel) : 0.0;
    if (!(largest <= largestDouble)) {
        Message message = emptyMessage();
        append(message, "K.Points are too large for the 'linear' kernel: the largest p_i'p_i overflows to Inf; "
                        "scale the points down");
        mexErrMsgTxt(message.text);
    }
    return largest;
}

}  // namespace describedQ

#endif
