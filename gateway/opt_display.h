// What simplexQPopt (and simplexLSQ, per column) shows while it runs and when it ends (options.Display
// 'iter' and 'final'): lines printed through the host, each followed by a
// command that has the host show them at once, so that a long run's
// progress appears as it is made rather than when the call returns.
//
// Numbers are written as "%g" writes them, by decimal_text.h, so that every
// platform prints the same text; the host's print call only copies it.
#ifndef SIMPLEXQP_OPT_DISPLAY_H
#define SIMPLEXQP_OPT_DISPLAY_H

#include <cstdint>

#include "../solvers/certified/certified_smo.h"
#include "argument_checks.h"
#include "mex_host.h"

namespace optDisplay {

using argumentChecks::append;
using argumentChecks::emptyMessage;
using argumentChecks::Message;

// Octave buffers what a plug-in prints until its stdout is flushed; MATLAB
// shows it at the next drawnow. The one command serves both hosts.
constexpr const char* showNowCommand = "if exist('OCTAVE_VERSION', 'builtin'), fflush(stdout); else, drawnow; end";

inline void show(const Message& line)
{
    mexPrintf("%s\n", line.text);
    mexEvalString(showNowCommand);
}

// As "%g" writes it, or with ten significant digits as "%.10g" (the
// objective, whose later digits are what changes late in a run).
template <int digits = decimalText::significantDigits>
inline void appendValue(Message& message, double value)
{
    if (value == value && value <= largestDouble && value >= -largestDouble) {
        char text[decimalText::capacityFor<digits>()];
        decimalText::writeDigits<digits>(value, text);
        append(message, text);
    } else {
        append(message, argumentChecks::nonFiniteName(value));
    }
}

// text right-aligned in a column of width characters.
inline void appendColumn(Message& message, const char* text, size_t width)
{
    size_t length = 0;
    while (text[length])
        ++length;
    for (; length < width; ++length)
        append(message, " ");
    append(message, text);
}

inline void appendCountColumn(Message& message, uint64_t count, size_t width)
{
    Message digits = emptyMessage();
    argumentChecks::appendCount(digits, count);
    appendColumn(message, digits.text, width);
}

template <int digits = decimalText::significantDigits>
inline void appendValueColumn(Message& message, double value, size_t width)
{
    Message text = emptyMessage();
    appendValue<digits>(text, value);
    appendColumn(message, text.text, width);
}

inline const char* phaseName(CertifiedPhase phase)
{
    switch (phase) {
    case CertifiedPhase::start: return "start";
    case CertifiedPhase::pairSteps: return "pair steps";
    case CertifiedPhase::polish: return "polish";
    }
    return "";
}

// Each line about a run starts with who is speaking: "simplexQPopt: ", or
// for one of several runs, e.g. "simplexLSQ: column 2 of 5, ".
// 'iter': the heading, before the run.
inline void showHeading(uint32_t n, double tol, const char* speaker = "simplexQPopt: ")
{
    Message line = emptyMessage();
    append(line, speaker);
    append(line, "n = ");
    argumentChecks::appendCount(line, n);
    append(line, ", tol = ");
    appendValue(line, tol);
    show(line);
    line = emptyMessage();
    append(line, "      steps          gap         objective  support  since the last check");
    show(line);
}

// 'iter': one line per exact check (the solver's progress call).
inline void showCheck(void*, const CertifiedProgress& progress)
{
    Message line = emptyMessage();
    appendCountColumn(line, progress.iterations, 11);
    appendValueColumn(line, progress.gap, 13);
    appendValueColumn<10>(line, progress.objective, 18);
    appendCountColumn(line, progress.support, 9);
    append(line, "  ");
    append(line, phaseName(progress.phase));
    show(line);
}

// 'final' and 'iter': how the run ended.
inline void showEnd(const CertifiedReport& report, double tol, const char* speaker = "simplexQPopt: ")
{
    Message line = emptyMessage();
    append(line, speaker);
    append(line, report.converged ? "converged, gap " : "not converged, gap ");
    appendValue(line, report.gap);
    append(line, report.converged ? " <= tol " : " > tol ");
    appendValue(line, tol);
    append(line, " after ");
    argumentChecks::appendCount(line, report.iterations);
    append(line, report.iterations == 1 ? " pair step; objective " : " pair steps; objective ");
    appendValue<10>(line, report.objective);
    append(line, ", support ");
    argumentChecks::appendCount(line, report.support);
    show(line);
}

}  // namespace optDisplay

#endif
