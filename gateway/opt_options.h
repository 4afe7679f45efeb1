// simplexQPopt's third argument: tol, or an options struct (as quadprog's
// and qp's users write them) with the fields Tolerance, MaxIterations,
// Display, InitialPoint and UpperBound, each optional. Checked as the other arguments
// are, before anything is created or computed: every error names the
// field, what it must be and what was given, and a field this plug-in does
// not know is an error that lists the ones it does, so that a misspelt
// option never passes unnoticed.
//
// A field whose value is [] (0-by-0 double) takes its default, as optimset
// leaves the options it was not given.
#ifndef SIMPLEXQP_OPT_OPTIONS_H
#define SIMPLEXQP_OPT_OPTIONS_H

#include <cstdint>

#include "argument_checks.h"
#include "mex_host.h"

namespace optOptions {

enum class Display : uint8_t { off, final, iter };

struct Options {
    bool hasTolerance;
    double tolerance;
    bool hasMaxIterations;
    uint64_t maxIterations;
    Display display;
    const mxArray* initialPoint;  // null: the solver's own start
    const mxArray* upperBound;    // null: no bound
    double cacheBytes;            // room for copies of Q's columns; 0: the solver's default
};

inline Options defaults()
{
    return Options{false, 0.0, false, 0, Display::off, nullptr, nullptr, 0.0};
}

using argumentChecks::append;
using argumentChecks::appendCount;
using argumentChecks::appendNumber;
using argumentChecks::emptyMessage;
using argumentChecks::Message;

// Entries of an initial point may lie this far below 0, and its sum this
// far from 1, and still count as on the simplex: (n + 16) eps, what a sum
// of n rounded weights can be off by, with room to spare. Such entries
// below 0 become 0; nothing else is changed.
inline double startRounding(size_t n)
{
    return (static_cast<double>(n) + 16.0) * 0x1p-52;
}

// Text compared and extended here rather than by the C library, which the
// plug-ins otherwise do without (as the argument checks do).
inline bool sameText(const char* a, const char* b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

inline bool isEmptyDefault(const mxArray* value)
{
    return mxIsDouble(value) && mxGetM(value) == 0 && mxGetN(value) == 0;
}

inline const mxArray* fieldValue(const mxArray* options, int field)
{
#ifdef SIMPLEXQP_CREATE_700
    return mxGetFieldByNumber_700(options, 0, field);
#else
    return mxGetFieldByNumber(options, 0, field);
#endif
}

// The text of a char array, cut short (with "...") past what a message
// shows; false when it is not a char row. The C string ends at the first
// NUL, which a char array may hold ("iter" char(0) "zzz"): nul says that
// the array goes on past the text.
inline bool textOf(const mxArray* value, char (&text)[32], bool& nul)
{
    if (!mxIsChar(value) || !argumentChecks::isMatrixShaped(value) || mxGetM(value) > 1)
        return false;
    constexpr size_t room = sizeof text - 3;
#ifdef SIMPLEXQP_CREATE_700
    const bool cut = mxGetString_700(value, text, static_cast<int>(room)) != 0;
#else
    const bool cut = mxGetString(value, text, room) != 0;
#endif
    size_t end = 0;
    while (text[end])
        ++end;
    const size_t count = mxGetN(value);
    nul = end < (count < room - 1 ? count : room - 1);
    if (cut) {
        for (const char* dots = "..."; *dots; ++dots)
            text[end++] = *dots;
        text[end] = '\0';
    }
    return true;
}

[[noreturn]] inline void rejectUnknownField(const char* name)
{
    Message message = emptyMessage();
    append(message, "options has an unknown field '");
    append(message, name);
    append(message, "'; the known fields are Tolerance, MaxIterations, Display, InitialPoint, UpperBound "
                    "and CacheSize");
    mexErrMsgTxt(message.text);
}

inline uint64_t checkMaxIterations(const mxArray* value)
{
    if (!argumentChecks::isRealNumericScalar(value))
        argumentChecks::rejectArgument("options.MaxIterations", "a whole number >= 0", value);
    const double count = mxGetScalar(value);
    // Inf asks for no cap; beyond 2^64 steps no run goes on anyway.
    if (count >= 0x1p64)
        return UINT64_MAX;
    if (count >= 0.0 && count == static_cast<double>(static_cast<uint64_t>(count)))
        return static_cast<uint64_t>(count);
    Message message = emptyMessage();
    append(message, "options.MaxIterations must be a whole number >= 0; got ");
    argumentChecks::appendValue(message, count);
    mexErrMsgTxt(message.text);
}

// Megabytes (2^20 bytes) of copies of Q's columns: finite and > 0.
// Returns the bytes.
inline double checkCacheSize(const mxArray* value)
{
    if (!argumentChecks::isRealNumericScalar(value))
        argumentChecks::rejectArgument("options.CacheSize", "a real numeric scalar (megabytes)", value);
    const double megabytes = mxGetScalar(value);
    if (megabytes > 0.0 && megabytes <= largestDouble / 1048576.0)
        return megabytes * 1048576.0;
    Message message = emptyMessage();
    append(message, "options.CacheSize must be a finite number of megabytes > 0; got ");
    argumentChecks::appendValue(message, megabytes);
    mexErrMsgTxt(message.text);
}

inline Display checkDisplay(const mxArray* value)
{
    const char* expected = "options.Display must be 'off', 'final' or 'iter'";
    char text[32];
    bool nul = false;
    if (!textOf(value, text, nul)) {
        Message message = emptyMessage();
        append(message, expected);
        argumentChecks::appendWhatWasGiven(message, value);
        mexErrMsgTxt(message.text);
    }
    if (nul) {
        Message message = emptyMessage();
        append(message, expected);
        append(message, "; got '");
        append(message, text);
        append(message, "' followed by a NUL character");
        mexErrMsgTxt(message.text);
    }
    if (sameText(text, "off"))
        return Display::off;
    if (sameText(text, "final"))
        return Display::final;
    if (sameText(text, "iter"))
        return Display::iter;
    Message message = emptyMessage();
    append(message, expected);
    append(message, "; got '");
    append(message, text);
    append(message, "'");
    mexErrMsgTxt(message.text);
}

// "<expected> <n> element(s); got <what was given>".
[[noreturn]] inline void rejectShape(const char* expected, size_t n, const mxArray* value)
{
    Message message = emptyMessage();
    append(message, expected);
    appendCount(message, n);
    append(message, n == 1 ? " element" : " elements");
    argumentChecks::appendWhatWasGiven(message, value);
    mexErrMsgTxt(message.text);
}

// How many initial points a call takes: one (a row or a column of n), or
// one per column of a right-hand side of columns (an n-by-columns matrix,
// or one n-by-1 start that every column shares).
struct StartShape {
    bool perColumn;
    size_t columns;
};

inline StartShape onePoint()
{
    return StartShape{false, 0};
}

inline void checkInitialPointShape(const mxArray* value, size_t n, StartShape shape = onePoint())
{
    if (!shape.perColumn) {
        if (!argumentChecks::isRealFullDoubleVectorOf(value, n))
            rejectShape("options.InitialPoint must be a real, full, double vector of ", n, value);
        return;
    }
    if (argumentChecks::isRealFullDoubleMatrix(value) && mxGetM(value) == n &&
        (mxGetN(value) == shape.columns || mxGetN(value) == 1))
        return;
    Message message = emptyMessage();
    append(message, "options.InitialPoint must be a real, full, double ");
    appendCount(message, n);
    append(message, "-by-");
    appendCount(message, shape.columns);
    append(message, " or ");
    appendCount(message, n);
    append(message, "-by-1 matrix");
    argumentChecks::appendWhatWasGiven(message, value);
    mexErrMsgTxt(message.text);
}

// A scalar (every weight's bound) or a vector of n bounds.
inline void checkUpperBoundShape(const mxArray* value, size_t n)
{
    if (!(argumentChecks::isRealFullDouble(value) && argumentChecks::isMatrixShaped(value) &&
          (mxGetNumberOfElements(value) == 1 || argumentChecks::isRealFullDoubleVectorOf(value, n))))
        rejectShape("options.UpperBound must be a real, full, double scalar or vector of ", n, value);
}

// The third argument, given n weights: a struct is options, and anything
// else tol, checked as before options existed. starts: the initial points
// the call takes.
inline Options checkThird(const mxArray* third, size_t n, StartShape starts = onePoint())
{
    Options options = defaults();
    if (!mxIsStruct(third)) {
        argumentChecks::checkTolerance(third);
        options.hasTolerance = true;
        options.tolerance = mxGetScalar(third);
        return options;
    }
    if (mxGetNumberOfElements(third) != 1 || !argumentChecks::isMatrixShaped(third))
        argumentChecks::rejectArgument("options", "a 1-by-1 struct", third);
    const int fields = mxGetNumberOfFields(third);
    for (int f = 0; f < fields; ++f) {
        const char* name = mxGetFieldNameByNumber(third, f);
        const mxArray* value = fieldValue(third, f);
        const bool known = sameText(name, "Tolerance") || sameText(name, "MaxIterations") ||
                           sameText(name, "Display") || sameText(name, "InitialPoint") ||
                           sameText(name, "UpperBound") || sameText(name, "CacheSize");
        if (!known)
            rejectUnknownField(name);
        if (!value || isEmptyDefault(value))
            continue;
        if (sameText(name, "Tolerance")) {
            argumentChecks::checkToleranceNamed(value, "options.Tolerance");
            options.hasTolerance = true;
            options.tolerance = mxGetScalar(value);
        } else if (sameText(name, "MaxIterations")) {
            options.maxIterations = checkMaxIterations(value);
            options.hasMaxIterations = true;
        } else if (sameText(name, "Display")) {
            options.display = checkDisplay(value);
        } else if (sameText(name, "InitialPoint")) {
            checkInitialPointShape(value, n, starts);
            options.initialPoint = value;
        } else if (sameText(name, "UpperBound")) {
            checkUpperBoundShape(value, n);
            options.upperBound = value;
        } else {
            options.cacheBytes = checkCacheSize(value);
        }
    }
    return options;
}

// The bounds' values, after Q and b: count entries (1 for a scalar bound
// on all n weights), none NaN, none below 0 (+Inf: no bound), and their sum
// over the n weights at least 1 - startRounding(n), or no point is
// feasible. Returns whether any bound is below 1: bounds of 1 or more
// never bind, and the run takes its unbounded course.
inline bool checkUpperBoundValues(const double* u, size_t count, size_t n)
{
    bool binds = false;
    double sum = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const double value = u[i];
        if (!(value >= 0.0)) {
            Message message = emptyMessage();
            append(message, value != value ? "options.UpperBound must not be NaN; got NaN"
                                           : "options.UpperBound must be >= 0; got ");
            if (value == value) {
                if (value < -largestDouble)
                    append(message, "-Inf");
                else
                    appendNumber(message, value);
            }
            append(message, " at UpperBound(");
            appendCount(message, i + 1);
            append(message, ")");
            mexErrMsgTxt(message.text);
        }
        binds = binds || value < 1.0;
        sum += value;
    }
    if (count == 1)
        sum = sum * static_cast<double>(n);
    if (n > 0 && !(sum >= 1.0 - startRounding(n))) {
        Message message = emptyMessage();
        append(message, count == 1 ? "options.UpperBound times n must be at least 1, or no x is feasible; got "
                                     "n * UpperBound = "
                                   : "options.UpperBound must sum to at least 1, or no x is feasible; got "
                                     "sum(UpperBound) = ");
        appendNumber(message, sum);
        mexErrMsgTxt(message.text);
    }
    return binds && n > 0;
}

// After Q and b: the initial point's values. Every entry finite and at
// least -startRounding(n), and the entries' sum, those below 0 counted as
// 0, within startRounding(n) of 1 (summed in ascending order from +0.0).
// With bounds u (count entries, 1 for a scalar), no entry above
// u_i + startRounding(n) u_i.
// "(i)", or "(i,column)" for one column of several (column > 0).
inline void appendPlace(Message& message, size_t i, size_t column)
{
    append(message, "(");
    appendCount(message, i + 1);
    if (column) {
        append(message, ",");
        appendCount(message, column);
    }
    append(message, ")");
}

// column: 0 for the one point, or which column of several (1-based) x0 is,
// as the messages name it.
inline void checkInitialPointValues(const double* x0, size_t n, const double* u, size_t count, size_t column = 0)
{
    const double rounding = startRounding(n);
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double value = x0[i];
        const double bound = u ? u[count == 1 ? 0 : i] : infinity();
        if (std::isfinite(value) && value > bound + rounding * bound) {
            Message message = emptyMessage();
            append(message, "options.InitialPoint must be <= options.UpperBound; got ");
            appendNumber(message, value);
            append(message, " at InitialPoint");
            appendPlace(message, i, column);
            append(message, ", above its bound ");
            appendNumber(message, bound);
            mexErrMsgTxt(message.text);
        }
        if (!std::isfinite(value) || value < -rounding) {
            Message message = emptyMessage();
            append(message, std::isfinite(value) ? "options.InitialPoint must be >= 0; got "
                                                 : "options.InitialPoint must be finite; got ");
            if (std::isfinite(value))
                appendNumber(message, value);
            else
                append(message, argumentChecks::nonFiniteName(value));
            append(message, " at InitialPoint");
            appendPlace(message, i, column);
            mexErrMsgTxt(message.text);
        }
        sum += value > 0.0 ? value : 0.0;
    }
    if (n > 0 && !(sum - 1.0 <= rounding && 1.0 - sum <= rounding)) {
        Message message = emptyMessage();
        append(message, column ? "options.InitialPoint's columns must each sum to 1; got sum(InitialPoint(:,"
                               : "options.InitialPoint must sum to 1; got sum(InitialPoint");
        if (column)
            appendCount(message, column);
        append(message, column ? ")) - 1 = " : ") - 1 = ");
        if (sum <= largestDouble)
            appendNumber(message, sum - 1.0);
        else
            append(message, "Inf");
        mexErrMsgTxt(message.text);
    }
}

// The checked point on the simplex: entries below 0 (within rounding) set
// to +0.0, those above their bound (within rounding) to the bound, every
// other entry as given. upper: n bounds, or null.
inline void projectInitialPoint(const double* x0, size_t n, const double* upper, double* x)
{
    for (size_t i = 0; i < n; ++i)
        x[i] = x0[i] > 0.0 ? x0[i] : 0.0;
    if (upper)
        for (size_t i = 0; i < n; ++i)
            x[i] = x[i] < upper[i] ? x[i] : upper[i];
}

}  // namespace optOptions

#endif
