// Columns of Q as the pair steps read them: at the active set's positions,
// side by side, so that a column used again and again (the answer's few
// support coordinates are pivots and partners over and over) is read from a
// compact copy in cache rather than gathered from all of Q in memory. The
// copies hold the same doubles as Q, so they change no result.
//
// The copies are in the run's working units (certified_parts.h): Q's
// values times scale, a power of two, exact wherever they stay normal.
//
// A copy is valid for one version of the active set; shrinking or
// restoring the set makes every copy stale, and a stale one is gathered
// afresh when next asked for.
#ifndef SIMPLEXQP_COLUMN_CACHE_H
#define SIMPLEXQP_COLUMN_CACHE_H

#include <cstdint>

#include "certified_parts.h"
#include "../common/host_scratch.h"

struct ColumnCache {
    uint32_t slots;
    uint32_t capacity;  // doubles per slot: n, the largest active set
    double* values;     // slots * capacity
    uint32_t* column;   // the column in each slot, or noColumn
    uint64_t* version;  // the active set's version it was gathered for
    bool* recent;       // used since the clock hand last passed (second chance)
    uint32_t* slotOf;   // n: the slot holding each column, or noColumn
    uint32_t hand;
    double scale;
};

constexpr uint32_t noColumn = UINT32_MAX;

// Slots for at most bytes of copies (at least two, at most n), of Q's
// columns times scale. Scratch from host.
ColumnCache takeColumnCache(uint32_t n, double bytes, double scale, const HostScratch& host);
void releaseColumnCache(ColumnCache& cache);

// Column c at the active positions: result[k] = Q(set.index[k], c) scale. Keeps
// the slot of column keep (the pivot's, while the partner's is fetched).
// Q's column is read from memory where the source holds Q there, else
// asked for at the active rows alone.
const double* cachedColumn(ColumnCache& cache, const QSource& q, const ActiveSet& set, uint32_t c, uint32_t keep);

#endif
