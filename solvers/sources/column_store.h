// Whole columns of a source that computes them, kept in memory as they are
// asked for, behind the source's own table: the solver's parts then read a
// kernel's columns as they read a stored Q's, and each column costs its
// computation once while it stays in the store (the exact check, the
// polish and every round of pair steps ask for the support's columns again
// and again). The values are the source's, so nothing else changes.
//
// The least recently used column makes room for a new one, so the last
// fewestStoredColumns - 1 columns given stay where they are: the pointers
// a caller holds at once (a few columns for a step, eight for the polish's
// rows) remain valid. Except in a pass of the products over more columns
// than the store holds, once every slot has served it: there the most
// recently used column outside those last ones makes room, so that the
// pass's first columns stay for the next pass over the same columns (the
// exact check's, again and again), where the least recently used would be
// the very columns that pass asks for first.
#ifndef SIMPLEXQP_COLUMN_STORE_H
#define SIMPLEXQP_COLUMN_STORE_H

#include <cstdint>

#include "q_source.h"
#include "../common/host_scratch.h"

struct ColumnStore {
    QSource inner;
    uint32_t slots;
    double* values;     // slots * n
    uint32_t* column;   // the column in each slot, or storeEmpty
    uint64_t* lastUse;  // when each slot was last given
    uint32_t* slotOf;   // n: each column's slot, or storeEmpty
    uint64_t clock;
    uint64_t passFrom;  // the first use of a pass larger than the store; 0: none under way
};

constexpr uint32_t storeEmpty = UINT32_MAX;

// Slots for as many whole columns as bytes hold, at most n; false, nothing
// taken, where that is fewer than fewestStoredColumns (the caller then
// reads the source itself). Scratch from host.
bool takeColumnStore(const QSource& inner, double bytes, const HostScratch& host, ColumnStore& store);
void releaseColumnStore(ColumnStore& store);

// The source with its columns held in store, which must outlive it. Its
// products are the inner source's, from the stored columns where those are
// sums of whole columns (inner.columnProducts).
QSource storedColumnsSource(ColumnStore& store);

#endif
