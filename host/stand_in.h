// The stand-in host: what the host offers a plug-in (declared in
// gateway/mex_host.h and provided by the stand-in's libmx and libmex), plus
// the operations a host itself uses to build arguments, call a plug-in and
// inspect what the call left behind. Tests, examples and the loader use it;
// the plug-in never does.
#ifndef SIMPLEXQP_STAND_IN_H
#define SIMPLEXQP_STAND_IN_H

#include <cstddef>

#include "../gateway/mex_host.h"

extern "C" {

// The entry point every plug-in exports.
typedef void (*MexEntry)(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

// Classes of array the stand-in can make, named as the host names them.
typedef enum {
    standInDouble,
    standInSingle,
    standInLogical,
    standInChar,
    standInInt8,
    standInUint8,
    standInInt16,
    standInUint16,
    standInInt32,
    standInUint32,
    standInInt64,
    standInUint64,
    standInCell,
    standInStruct,
} StandInClass;

// A real, full m-by-n double array holding a copy of data (column-major;
// data may be null for an all-zero array).
mxArray* standInCreateDouble(size_t m, size_t n, const double* data);

// An m-by-n array of any class, zero-filled. Full arrays store m*n
// elements; sparse ones, as a host's do, only their capacity: nonzeros
// elements, at least one. The element storage is reachable through
// standInRealData and standInImagData (null unless complex), each
// standInStoredBytes long.
//
// Every array's storage ends where an inaccessible page begins, so reading
// even one element past what is stored (a sparse array read as if it were
// full, a vector shorter than expected) faults at once, in every build.
mxArray* standInCreateArray(StandInClass arrayClass, size_t m, size_t n, bool complex, bool sparse,
                            size_t nonzeros);
void* standInRealData(const mxArray* array);
void* standInImagData(const mxArray* array);
size_t standInStoredBytes(const mxArray* array);

// The most dimensions a stand-in array can have.
#define standInMostDimensions 8

// A full array of count dimensions (dimensions[0]-by-dimensions[1]-by-...)
// of any class, zero-filled, as standInCreateArray makes them. As a host
// does, it keeps at least two dimensions and drops trailing singletons
// beyond the second; mxGetN then gives the product of all but the first.
mxArray* standInCreateNumericArray(StandInClass arrayClass, size_t count, const size_t* dimensions,
                                   bool complex);

// A real, full array that claims to be m-by-n but stores nothing: any read
// of its data faults. For showing that a check rejects an array by its size
// alone, without reading it (a Q too large to allocate, say).
mxArray* standInCreateHollow(StandInClass arrayClass, size_t m, size_t n);

void mxDestroyArray(mxArray* array);

// A struct array's fields, in the order they were created, and the value of
// one field of one element (null if unset or no such field).
int standInFieldCount(const mxArray* array);
const char* standInFieldName(const mxArray* array, int field);
mxArray* standInGetField(const mxArray* array, size_t index, const char* fieldName);

// Warnings raised with mexWarnMsgIdAndTxt since the host started, and the
// identifier and text of the last one (empty strings before the first).
size_t standInWarningCount(void);
const char* standInLastWarningId(void);
const char* standInLastWarningText(void);

// What plug-ins printed with mexPrintf since the host started or the last
// clear; how many commands they passed to mexEvalString (which the stand-in
// only records) and the last one.
const char* standInPrinted(void);
void standInClearPrinted(void);
size_t standInEvaluationCount(void);
const char* standInLastEvaluated(void);

// A 1-by-k char array holding text (ASCII), 0-by-0 for "".
mxArray* standInCreateString(const char* text);

// Arrays made (by the host or a plug-in) and not yet destroyed.
size_t standInLiveArrays(void);

// Scratch blocks taken with mxMalloc and not yet released.
size_t standInLiveBlocks(void);

// Makes the host run out of memory as a real host does: of the plug-in's
// next requests for memory (mxMalloc's blocks and the arrays it creates)
// `given` are met, and the one after them calls raise (the host's
// mexErrMsgTxt, whose error ends the call: control never comes back to the
// plug-in) instead of returning. Once only; a null raise calls it off.
void standInRunOutOfMemoryAfter(size_t given, void (*raise)(const char* message));

// The most bytes of scratch live at once since the last reset (which sets
// it to the bytes live then).
size_t standInScratchPeak(void);
void standInResetScratchPeak(void);

// Calls a plug-in as a host does. plhs needs room for max(nlhs, 1) handles;
// they are cleared first. The arguments' element storage is read-only for
// the duration of the call, so a plug-in that writes to it faults. Returns 0
// when the call returned normally. When it raised an error, returns 1,
// copies the error text into message (truncated to capacity) and, as a host
// does, destroys the results the call had stored and releases the scratch
// blocks it had taken.
int standInCall(MexEntry entry, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[], char* message,
                size_t capacity);
}

#endif
