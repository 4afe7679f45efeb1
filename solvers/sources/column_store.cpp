#include "column_store.h"

#include <cmath>
#include <cstddef>

namespace {

// The store changes as columns are asked for: the context of its table
// is the caller's (non-constant) store.
ColumnStore& storeOf(const void* context)
{
    return *static_cast<ColumnStore*>(const_cast<void*>(context));
}

uint32_t leastRecentSlot(const ColumnStore& store)
{
    uint32_t least = 0;
    for (uint32_t s = 1; s < store.slots; ++s)
        least = store.lastUse[s] < store.lastUse[least] ? s : least;
    return least;
}

double* slotValues(const ColumnStore& store, uint32_t s)
{
    return store.values + static_cast<size_t>(s) * store.inner.n;
}

// The slot that makes room (column_store.h).
uint32_t roomSlot(const ColumnStore& store)
{
    const uint32_t least = leastRecentSlot(store);
    if (store.passFrom == 0 || store.lastUse[least] < store.passFrom || store.clock < fewestStoredColumns)
        return least;
    const uint64_t lastKept = store.clock - fewestStoredColumns;
    uint32_t chosen = least;
    for (uint32_t s = 0; s < store.slots; ++s)
        chosen = store.lastUse[s] <= lastKept && store.lastUse[s] > store.lastUse[chosen] ? s : chosen;
    return chosen;
}

// The slot that makes room, given to column c (not yet computed).
uint32_t newSlot(ColumnStore& store, uint32_t c)
{
    const uint32_t s = roomSlot(store);
    if (store.column[s] != storeEmpty)
        store.slotOf[store.column[s]] = storeEmpty;
    store.column[s] = c;
    store.slotOf[c] = s;
    store.lastUse[s] = ++store.clock;
    return s;
}

const double* held(const void* context, uint32_t c)
{
    ColumnStore& store = storeOf(context);
    uint32_t s = store.slotOf[c];
    if (s == storeEmpty) {
        s = newSlot(store, c);
        store.inner.column(store.inner.context, c, nullptr, store.inner.n, slotValues(store, s));
    }
    store.lastUse[s] = ++store.clock;
    return slotValues(store, s);
}

// Columns to be read together: those not in the store computed at once,
// where the source can (sharing its reads of the data), into new slots.
// The columns already there are marked used first, so that none of the
// group makes room for another (the store has twice the group's slots).
constexpr uint32_t groupColumns = fewestStoredColumns / 2;

void storeGroup(ColumnStore& store, const uint32_t* columns, uint32_t count)
{
    for (uint32_t j = 0; j < count; ++j)
        if (store.slotOf[columns[j]] != storeEmpty)
            store.lastUse[store.slotOf[columns[j]]] = ++store.clock;
    uint32_t missing[groupColumns];
    double* out[groupColumns];
    uint32_t m = 0;
    for (uint32_t j = 0; j < count; ++j)
        if (store.slotOf[columns[j]] == storeEmpty) {
            missing[m] = columns[j];
            out[m++] = slotValues(store, newSlot(store, columns[j]));
        }
    if (m > 0 && store.inner.wholeColumns)
        store.inner.wholeColumns(store.inner.context, missing, m, out);
    else
        for (uint32_t j = 0; j < m; ++j)
            store.inner.column(store.inner.context, missing[j], nullptr, store.inner.n, out[j]);
}

// A column in the store, or asked for at half the rows or more, is read
// from the store (computed whole into it first if need be); one asked for
// at fewer rows (the pair steps' active set, shrunk) is computed at those
// rows alone, as it costs, and not kept.
void column(const void* context, uint32_t c, const uint32_t* rows, uint32_t rowCount, double* out)
{
    ColumnStore& store = storeOf(context);
    if (rows && store.slotOf[c] == storeEmpty && rowCount < store.inner.n / 2) {
        store.inner.column(store.inner.context, c, rows, rowCount, out);
        return;
    }
    const double* const full = held(context, c);
    for (uint32_t r = 0; r < rowCount; ++r)
        out[r] = full[rows ? rows[r] : r];
}

void diagonal(const void* context, double* out)
{
    const QSource& inner = storeOf(context).inner;
    inner.diagonal(inner.context, out);
}

double largestEntry(const void* context, VectorPath path)
{
    const QSource& inner = storeOf(context).inner;
    return inner.largestEntry(inner.context, path);
}

void block(const void* context, const uint32_t* indices, uint32_t count, double* out)
{
    for (uint32_t s = 0; s < count; ++s)
        column(context, indices[s], indices, count, out + static_cast<size_t>(s) * count);
}

// A stored Q's sums (dense_source.cpp), column by column from the store.
ProductBound products(const void* context, VectorPath path, const double* x, const uint32_t* columns,
                      uint32_t count, double* p, double* magnitudes, double* scratch)
{
    const QSource& inner = storeOf(context).inner;
    if (!inner.columnProducts)
        return inner.products(inner.context, path, x, columns, count, p, magnitudes, scratch);
    const uint32_t n = inner.n;
    for (uint32_t i = 0; i < n; ++i)
        p[i] = 0.0;
    if (magnitudes)
        for (uint32_t i = 0; i < n; ++i)
            magnitudes[i] = 0.0;
    ColumnStore& store = storeOf(context);
    store.passFrom = count > store.slots - fewestStoredColumns ? store.clock + 1 : 0;
    for (uint32_t j = 0; j < count; ++j) {
        if (j % groupColumns == 0)
            storeGroup(store, columns + j, count - j < groupColumns ? count - j : groupColumns);
        const double* __restrict full = held(context, columns[j]);
        const double weight = x[columns[j]];
        for (uint32_t i = 0; i < n; ++i)
            p[i] = p[i] + full[i] * weight;
        if (magnitudes)
            for (uint32_t i = 0; i < n; ++i)
                magnitudes[i] = magnitudes[i] + std::fabs(full[i]) * weight;
    }
    store.passFrom = 0;
    return ProductBound{static_cast<double>(count), 2.0 * count * 0x1p-1074};
}

double gradients(const void* context, VectorPath path, const double* x, const uint32_t* columns, uint32_t count,
                 double scale, double* gradient, double* error, double* scratch)
{
    const QSource& inner = storeOf(context).inner;
    return inner.gradients(inner.context, path, x, columns, count, scale, gradient, error, scratch);
}

}  // namespace

bool takeColumnStore(const QSource& inner, double bytes, const HostScratch& host, ColumnStore& store)
{
    const uint32_t n = inner.n;
    const double fit = bytes / (8.0 * n);
    const uint32_t slots = fit >= n ? n : static_cast<uint32_t>(fit);
    if (slots < fewestStoredColumns)
        return false;
    store.inner = inner;
    store.slots = slots;
    store.values = static_cast<double*>(takeFromHost(host, sizeof(double) * static_cast<size_t>(slots) * n));
    store.column = static_cast<uint32_t*>(takeFromHost(host, sizeof(uint32_t) * slots));
    store.lastUse = static_cast<uint64_t*>(takeFromHost(host, sizeof(uint64_t) * slots));
    store.slotOf = static_cast<uint32_t*>(takeFromHost(host, sizeof(uint32_t) * n));
    for (uint32_t s = 0; s < slots; ++s) {
        store.column[s] = storeEmpty;
        store.lastUse[s] = 0;
    }
    for (uint32_t c = 0; c < n; ++c)
        store.slotOf[c] = storeEmpty;
    store.clock = 0;
    store.passFrom = 0;
    return true;
}

void releaseColumnStore(ColumnStore& store)
{
    mxFree(store.slotOf);
    mxFree(store.lastUse);
    mxFree(store.column);
    mxFree(store.values);
}

QSource storedColumnsSource(ColumnStore& store)
{
    const QSource& inner = store.inner;
    return QSource{&store,        inner.n,   inner.symmetric, inner.productScratch,
                   held,          column,    nullptr,         diagonal,        largestEntry,
                   block,         products,  inner.gradients ? gradients : nullptr,
                   inner.gradientScratch,    true,            inner.columnProducts,
                   false};
}
