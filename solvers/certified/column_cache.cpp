#include "column_cache.h"

#include <cstddef>

#include "../common/host_scratch.h"
#include "../common/problem.h"

ColumnCache takeColumnCache(uint32_t n, double bytes, double scale, const HostScratch& host)
{
    const double fit = bytes / (8.0 * n);
    uint32_t slots = fit < 2.0 ? 2u : fit > n ? n : static_cast<uint32_t>(fit);
    if (slots < 2)
        slots = 2;
    ColumnCache cache;
    cache.slots = slots;
    cache.capacity = n;
    cache.values = static_cast<double*>(takeFromHost(host, sizeof(double) * static_cast<size_t>(slots) * n));
    cache.column = static_cast<uint32_t*>(takeFromHost(host, sizeof(uint32_t) * slots));
    cache.version = static_cast<uint64_t*>(takeFromHost(host, sizeof(uint64_t) * slots));
    cache.recent = static_cast<bool*>(takeFromHost(host, sizeof(bool) * slots));
    cache.slotOf = static_cast<uint32_t*>(takeFromHost(host, sizeof(uint32_t) * n));
    for (uint32_t s = 0; s < slots; ++s) {
        cache.column[s] = noColumn;
        cache.version[s] = 0;
        cache.recent[s] = false;
    }
    for (uint32_t c = 0; c < n; ++c)
        cache.slotOf[c] = noColumn;
    cache.hand = 0;
    cache.scale = scale;
    return cache;
}

void releaseColumnCache(ColumnCache& cache)
{
    mxFree(cache.slotOf);
    mxFree(cache.recent);
    mxFree(cache.version);
    mxFree(cache.column);
    mxFree(cache.values);
}

namespace {

// A slot to fill: the first one the clock hand reaches that was not used
// since it last passed, never keep's.
uint32_t freeSlot(ColumnCache& cache, uint32_t keep)
{
    const uint32_t kept = keep == noColumn ? noColumn : cache.slotOf[keep];
    for (;;) {
        const uint32_t s = cache.hand;
        cache.hand = cache.hand + 1 == cache.slots ? 0 : cache.hand + 1;
        if (s == kept)
            continue;
        if (cache.recent[s]) {
            cache.recent[s] = false;
            continue;
        }
        return s;
    }
}

}  // namespace

const double* cachedColumn(ColumnCache& cache, const QSource& q, const ActiveSet& set, uint32_t c, uint32_t keep)
{
    uint32_t s = cache.slotOf[c];
    if (s == noColumn) {
        s = freeSlot(cache, keep);
        if (cache.column[s] != noColumn)
            cache.slotOf[cache.column[s]] = noColumn;
        cache.column[s] = c;
        cache.slotOf[c] = s;
        cache.version[s] = set.version - 1;  // stale: gathered below
    }
    double* const values = cache.values + static_cast<size_t>(s) * cache.capacity;
    if (cache.version[s] != set.version) {
        const double* const full = q.inMemory ? q.held(q.context, c) : nullptr;
        const double scale = cache.scale;
        if (full) {
            for (uint32_t k = 0; k < set.size; ++k)
                values[k] = full[set.index[k]] * scale;
        } else {
            // The whole column where every coordinate is active (the
            // source's fastest loop), the same values either way.
            q.column(q.context, c, set.size == q.n ? nullptr : set.index, set.size, values);
            for (uint32_t k = 0; k < set.size; ++k)
                values[k] = values[k] * scale;
        }
        cache.version[s] = set.version;
    }
    cache.recent[s] = true;
    return values;
}
