// Element storage of the stand-in's arrays, laid out so that a plug-in that
// misuses an array faults at once instead of reading a neighbour's data:
// each block has pages of its own, its data ends exactly where an
// inaccessible page begins, and the host can make it read-only while a
// plug-in holds it as an argument. Internal to the stand-in's libmx.
#ifndef SIMPLEXQP_GUARDED_STORAGE_H
#define SIMPLEXQP_GUARDED_STORAGE_H

#include <cstddef>

struct GuardedBlock {
    void* data;     // zero-filled; its last byte is followed by the guard page
    void* mapping;  // the whole mapping: data pages, then the guard page
    size_t mappingBytes;
    size_t dataPageBytes;  // the accessible part, a whole number of pages
};

// A block of exactly `bytes` accessible bytes (none for 0: data then points
// at the guard page itself, so that any read through it faults).
GuardedBlock guardedAllocate(size_t bytes);
void guardedRelease(GuardedBlock& block);
// Read-only while a plug-in holds the block as argument data, writable again
// afterwards.
void guardedSetReadOnly(const GuardedBlock& block, bool readOnly);

#endif
