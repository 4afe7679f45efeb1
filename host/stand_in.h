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

// An m-by-n array of any class, zero-filled. Sparse arrays keep storage for
// nonzeros elements (row indices and column starts are all zero); full ones
// for m*n. The element storage is reachable through standInRealData and
// standInImagData.
mxArray* standInCreateArray(StandInClass arrayClass, size_t m, size_t n, bool complex, bool sparse,
                            size_t nonzeros);
void* standInRealData(const mxArray* array);
void* standInImagData(const mxArray* array);

void mxDestroyArray(mxArray* array);

// Scratch blocks taken with mxMalloc and not yet released.
size_t standInLiveBlocks(void);

// Calls a plug-in as a host does. plhs needs room for max(nlhs, 1) handles;
// they are cleared first. Returns 0 when the call returned normally. When it
// raised an error, returns 1, copies the error text into message (truncated
// to capacity) and, as a host does, destroys the results the call had stored
// and releases the scratch blocks it had taken.
int standInCall(MexEntry entry, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[], char* message,
                size_t capacity);
}

#endif
