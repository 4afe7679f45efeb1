// The host operations the plug-in uses, declared here rather than taken from
// any host's own headers, so that one source builds against every host (and
// against the stand-in host in host/, which provides these symbols). C++ only.
//
// Only the gateway calls the array and error operations; the solvers use
// nothing but mxMalloc and mxFree and declare just those two
// (solvers/common/host_scratch.h).
#ifndef SIMPLEXQP_MEX_HOST_H
#define SIMPLEXQP_MEX_HOST_H

#include <cstddef>

extern "C" {

// Opaque handle for one of the host's arrays.
typedef struct mxArray_tag mxArray;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

// Array queries. Dimensions are size_t in every host we build for; on the
// 32-bit platforms that is the same width as the old int dimensions, and
// GNU Octave's (built with 64-bit indices, as Debian's 7.3 is) are 64-bit.
size_t mxGetM(const mxArray* array);
size_t mxGetN(const mxArray* array);
size_t mxGetNumberOfElements(const mxArray* array);
// At least 2; mxGetN is the product of every dimension after the first.
// The 64-bit MATLAB builds, which use the interface with 32-bit dimensions
// (as their creation call shows), bind the compatibility entry points,
// whose dimensions are int; every other build binds the plain ones.
size_t mxGetNumberOfDimensions(const mxArray* array);
const size_t* mxGetDimensions(const mxArray* array);
int mxGetNumberOfDimensions_700(const mxArray* array);
const int* mxGetDimensions_700(const mxArray* array);
double* mxGetPr(const mxArray* array);
double mxGetScalar(const mxArray* array);
bool mxIsDouble(const mxArray* array);
bool mxIsComplex(const mxArray* array);
bool mxIsSparse(const mxArray* array);
bool mxIsNumeric(const mxArray* array);
const char* mxGetClassName(const mxArray* array);

// Result creation. The 64-bit MATLAB builds bind the compatibility entry
// point, which takes 32-bit dimensions; every other build binds the plain one.
mxArray* mxCreateDoubleMatrix(size_t m, size_t n, mxComplexity complexity);
mxArray* mxCreateDoubleMatrix_700(int m, int n, mxComplexity complexity);

// A second result (simplexQPopt's info): a struct of scalars. As for the
// creation above, the 64-bit MATLAB builds bind the compatibility entry
// points of the calls that take dimensions or indices (32-bit int); Octave
// has none and takes 64-bit ones, as size_t is there. The struct owns the
// values set into it.
mxArray* mxCreateStructMatrix(size_t m, size_t n, int fieldCount, const char** fieldNames);
mxArray* mxCreateStructMatrix_700(int m, int n, int fieldCount, const char** fieldNames);
void mxSetField(mxArray* structArray, size_t index, const char* fieldName, mxArray* value);
void mxSetField_700(mxArray* structArray, int index, const char* fieldName, mxArray* value);
mxArray* mxCreateDoubleScalar(double value);
mxArray* mxCreateLogicalScalar(bool value);

// simplexQPopt's options: a struct's fields, by number, and a char array's
// text. As above, the 64-bit MATLAB builds bind the compatibility entry
// points of the calls that take an index or a length (32-bit int). The
// text comes back with a terminating zero, cut short to length - 1
// characters (and 1 returned) when it is longer.
bool mxIsStruct(const mxArray* array);
bool mxIsChar(const mxArray* array);
int mxGetNumberOfFields(const mxArray* structArray);
const char* mxGetFieldNameByNumber(const mxArray* structArray, int field);
mxArray* mxGetFieldByNumber(const mxArray* structArray, size_t index, int field);
mxArray* mxGetFieldByNumber_700(const mxArray* structArray, int index, int field);
int mxGetString(const mxArray* array, char* text, size_t length);
int mxGetString_700(const mxArray* array, char* text, int length);

// Raises an error in the host. Control never comes back to the caller.
[[noreturn]] void mexErrMsgTxt(const char* message);

// Shows a warning in the host, under an identifier the user can turn off,
// and returns. The text is a printf-style format.
void mexWarnMsgIdAndTxt(const char* identifier, const char* format, ...);

// Progress shown while a plug-in runs: text printed in the host's command
// window (a printf-style format), and a command the host evaluates, which
// is how a plug-in gets that text shown before it returns.
int mexPrintf(const char* format, ...);
int mexEvalString(const char* command);

// Scratch memory, released by the host if a call ends in an error.
void* mxMalloc(size_t bytes);
void mxFree(void* block);

}

#endif
