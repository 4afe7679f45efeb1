// What the stand-in's libmex needs from its libmx to end a call as a host
// does. Not part of the host's interface.
#ifndef SIMPLEXQP_STAND_IN_INTERNAL_H
#define SIMPLEXQP_STAND_IN_INTERNAL_H

#include <cstddef>

#include "../gateway/mex_host.h"

extern "C" {
// A number that every later mxMalloc block exceeds.
unsigned long long standInBlockMark(void);
// Releases every live block taken after mark.
void standInReleaseBlocksAfter(unsigned long long mark);
// A plug-in's request for memory (a block or an array): raises the error
// that standInRunOutOfMemoryAfter made due, when it is due.
void standInMemoryRequested(void);
// Makes an array's element storage read-only, or writable again.
void standInSetArgumentReadOnly(const mxArray* array, bool readOnly);
}

#endif
