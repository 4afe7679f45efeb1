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

const double* held(const void* context, uint32_t c)
{
    ColumnStore& store = storeOf(context);
    const uint32_t n = store.inner.n;
    uint32_t s = store.slotOf[c];
    if (s == storeEmpty) {
        s = leastRecentSlot(store);
        if (store.column[s] != storeEmpty)
            store.slotOf[store.column[s]] = storeEmpty;
        store.column[s] = c;
        store.slotOf[c] = s;
        store.inner.column(store.inner.context, c, nullptr, n, store.values + static_cast<size_t>(s) * n);
    }
    store.lastUse[s] = ++store.clock;
    return store.values + static_cast<size_t>(s) * n;
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
    for (uint32_t j = 0; j < count; ++j) {
        const double* __restrict full = held(context, columns[j]);
        const double weight = x[columns[j]];
        for (uint32_t i = 0; i < n; ++i)
            p[i] = p[i] + full[i] * weight;
        if (magnitudes)
            for (uint32_t i = 0; i < n; ++i)
                magnitudes[i] = magnitudes[i] + std::fabs(full[i]) * weight;
    }
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
                   held,          column,    diagonal,        largestEntry,
                   block,         products,  inner.gradients ? gradients : nullptr,
                   inner.gradientScratch,    true,            inner.columnProducts,
                   false};
}
