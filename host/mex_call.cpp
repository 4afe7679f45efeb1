// The stand-in's libmex: raising an error from a plug-in, and calling a
// plug-in the way a host does so that such an error comes back to the host.
//
// mexErrMsgTxt long-jumps back into standInCall. That is sound here because
// the plug-in's frames it leaves hold no objects with destructors; it is also
// what lets the same stand-in serve builds whose runtimes cannot pass
// exceptions between modules.
#include <cstdarg>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "stand_in.h"
#include "stand_in_internal.h"

namespace {

struct CallFrame {
    std::jmp_buf resume;
    char message[1024];
};

CallFrame*& currentFrame()
{
    static CallFrame* frame = nullptr;
    return frame;
}

void setArgumentsReadOnly(int nrhs, const mxArray* prhs[], bool readOnly)
{
    for (int i = 0; i < nrhs; ++i)
        if (prhs[i])
            standInSetArgumentReadOnly(prhs[i], readOnly);
}

// What the last warning said. A host shows it to the user; the stand-in
// keeps it for the tests to read.
struct Warnings {
    size_t count = 0;
    char id[256] = "";
    char text[1024] = "";
};

Warnings& warnings()
{
    static Warnings state;
    return state;
}

}  // namespace

extern "C" void mexWarnMsgIdAndTxt(const char* identifier, const char* format, ...)
{
    Warnings& w = warnings();
    ++w.count;
    std::snprintf(w.id, sizeof w.id, "%s", identifier ? identifier : "");
    std::va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(w.text, sizeof w.text, format ? format : "", arguments);
    va_end(arguments);
}

extern "C" size_t standInWarningCount(void)
{
    return warnings().count;
}

extern "C" const char* standInLastWarningId(void)
{
    return warnings().id;
}

extern "C" const char* standInLastWarningText(void)
{
    return warnings().text;
}

namespace {

// What plug-ins printed, and the commands they asked the host to evaluate
// (the stand-in evaluates none: it keeps them for the tests to read). Plain
// C buffers: a C++ container would pull the unwinder into this library,
// whose Windows DLL exports every symbol it holds.
struct Printed {
    char* text = nullptr;
    size_t length = 0;
    size_t capacity = 0;
    size_t evaluations = 0;
    char lastEvaluated[1024] = "";
};

Printed& printed()
{
    static Printed state;
    return state;
}

void keepPrinted(const char* format, std::va_list arguments, size_t length)
{
    Printed& p = printed();
    if (p.length + length + 1 > p.capacity) {
        const size_t capacity = 2 * (p.length + length + 1);
        char* text = static_cast<char*>(std::realloc(p.text, capacity));
        if (!text) {
            std::fprintf(stderr, "stand-in host: out of memory for printed text\n");
            std::abort();
        }
        p.text = text;
        p.capacity = capacity;
    }
    std::vsnprintf(p.text + p.length, length + 1, format, arguments);
    p.length += length;
}

}  // namespace

extern "C" int mexPrintf(const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    std::va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format ? format : "", arguments);
    va_end(arguments);
    if (length > 0)
        keepPrinted(format, again, static_cast<size_t>(length));
    va_end(again);
    return length;
}

extern "C" int mexEvalString(const char* command)
{
    Printed& p = printed();
    ++p.evaluations;
    std::snprintf(p.lastEvaluated, sizeof p.lastEvaluated, "%s", command ? command : "");
    return 0;
}

extern "C" const char* standInPrinted(void)
{
    return printed().text ? printed().text : "";
}

extern "C" void standInClearPrinted(void)
{
    Printed& p = printed();
    p.length = 0;
    if (p.text)
        p.text[0] = '\0';
    p.evaluations = 0;
    p.lastEvaluated[0] = '\0';
}

extern "C" size_t standInEvaluationCount(void)
{
    return printed().evaluations;
}

extern "C" const char* standInLastEvaluated(void)
{
    return printed().lastEvaluated;
}

extern "C" void mexErrMsgTxt(const char* message)
{
    CallFrame* frame = currentFrame();
    if (!frame) {
        std::fprintf(stderr, "stand-in host: mexErrMsgTxt outside a call: %s\n", message ? message : "");
        std::abort();
    }
    std::snprintf(frame->message, sizeof frame->message, "%s", message ? message : "");
    std::longjmp(frame->resume, 1);
}

extern "C" int standInCall(MexEntry entry, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[],
                           char* message, size_t capacity)
{
    const int slots = nlhs > 1 ? nlhs : 1;
    for (int i = 0; i < slots; ++i)
        plhs[i] = nullptr;
    if (message && capacity)
        message[0] = '\0';

    CallFrame frame;
    frame.message[0] = '\0';
    CallFrame* const outer = currentFrame();
    const unsigned long long mark = standInBlockMark();
    setArgumentsReadOnly(nrhs, prhs, true);
    currentFrame() = &frame;
    if (setjmp(frame.resume) == 0) {
        entry(nlhs, plhs, nrhs, prhs);
        currentFrame() = outer;
        setArgumentsReadOnly(nrhs, prhs, false);
        return 0;
    }
    currentFrame() = outer;
    setArgumentsReadOnly(nrhs, prhs, false);
    for (int i = 0; i < slots; ++i) {
        mxDestroyArray(plhs[i]);
        plhs[i] = nullptr;
    }
    standInReleaseBlocksAfter(mark);
    if (message && capacity)
        std::snprintf(message, capacity, "%s", frame.message);
    return 1;
}
