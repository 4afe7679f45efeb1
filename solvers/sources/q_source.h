// Q as the solvers read it, wherever its values come from: a stored
// matrix, a kernel of points, the Gram matrix of a matrix C. A source is a
// table of procedures and the context they read (no objects: the solvers
// stay plain procedures over arrays), with the few operations certifiedSMO's
// parts need: a column (for the pair steps and their cache), the diagonal
// (the pairs' curvatures, the start), a block Q_SS (the polish's factor),
// and the products Qx with their rounding bound (the exact check).
//
// Q is, by definition, the matrix of the values a source computes: every
// operation gives each entry the same bits, so a column, a block and the
// diagonal agree with one another to the last bit, and a solver's answers
// are the same on every platform and vector path.
//
// Sizes: n fits 32 bits (up to 10^7 points and more); flat indices into
// the data (n d, m n entries) are size_t, which on a 32-bit platform can
// address every array that fits in its memory.
#ifndef SIMPLEXQP_Q_SOURCE_H
#define SIMPLEXQP_Q_SOURCE_H

#include <cstdint>

#include "../common/vector_path.h"

// How far the computed products p~ may be from (Qx)_i, the exact sum of Q's
// entries times x: for every row i,
//     |p~_i - (Qx)_i| <= units 2^-52 A~_i + absolute,
// with A~_i the computed magnitudes that came with them: sum_k |Q(i,k)| x_k
// or a quantity above it (|V||V|'x for a linear kernel), their own
// rounding counted in the bound. The exact check adds
// two units and 4 2^-1074 for subtracting b and scaling: for a stored Q,
// units is the count of terms c and absolute 2c 2^-1074, so the check's
// bound is (c + 2) 2^-52 A~_i + (2c + 4) 2^-1074, as it has always been.
struct ProductBound {
    double units;
    double absolute;
};

struct QSource {
    const void* context;
    uint32_t n;
    // Q(i, j) == Q(j, i) to the bit by construction: the exact check then
    // has no asymmetry to count.
    bool symmetric;
    // Doubles of scratch that products needs.
    uint32_t productScratch;

    // Q(:, c) where the source holds it in memory (n doubles), or null:
    // the caller then asks for the values it needs with column.
    const double* (*held)(const void* context, uint32_t c);
    // out[r] = Q(rows[r], c) for r < rowCount; every row (rowCount = n) when
    // rows is null.
    void (*column)(const void* context, uint32_t c, const uint32_t* rows, uint32_t rowCount, double* out);
    // out[j][i] = Q(i, columns[j]) for every row i and j < count (at most
    // fewestStoredColumns), as column computes them, or null: one column
    // at a time then. (Several at once share the reads of the data.)
    void (*wholeColumns)(const void* context, const uint32_t* columns, uint32_t count, double* const* out);
    // out[i] = Q(i, i) for i < n.
    void (*diagonal)(const void* context, double* out);
    // Q's scale for the default tolerance and the working units: the
    // largest |Q(i, j)|, or infinity where an entry is not a finite number,
    // wherever the source can tell it without computing all of Q; a linear
    // kernel's largest diagonal entry, which bounds every entry up to
    // rounding (Cauchy-Schwarz) and is 0 only where Q is.
    double (*largestEntry)(const void* context, VectorPath path);
    // out[r + s count] = Q(indices[r], indices[s]) for r, s < count: the
    // block, column-major.
    void (*block)(const void* context, const uint32_t* indices, uint32_t count, double* out);
    // p[i] ~ (Qx)_i for every row i < n, for x >= 0 whose terms are those of
    // the count columns listed in ascending order (the others' x_k are
    // zeros, left out: see common/products.h); with magnitudes not null,
    // also A~ into it. Each source says how it sums; path chooses the
    // vector loops where it has them (the same bits on every path).
    ProductBound (*products)(const void* context, VectorPath path, const double* x, const uint32_t* columns,
                             uint32_t count, double* p, double* magnitudes, double* scratch);

    // Null for a source whose problem is Q and b alone: the exact check
    // then subtracts b from the products. A source whose problem is given
    // by data computes f's gradient itself, more accurately than Qx - b
    // (least squares: C'(Cx - d), from the residual, rather than
    // fl(C'C)x - C'd, which squares C's condition number): into gradient[i]
    // scale times it, rounded, and into error[i] a bound on how far that is
    // from scale times the exact gradient of the source's f at x (its
    // rounding counted); it returns f(x) in the data's units, plus the
    // source's constant (least squares: the residual's ½|Cx - d|², f +
    // ½|d|²). x is the point (n weights; columns lists its count positive
    // ones, ascending), scale the run's working units, a power of two.
    // error may be null where no bound is wanted (the polish's steps): the
    // gradients and f are then the same numbers, at less cost.
    // Scratch: gradientScratch doubles.
    double (*gradients)(const void* context, VectorPath path, const double* x, const uint32_t* columns,
                        uint32_t count, double scale, double* gradient, double* error, double* scratch);
    uint32_t gradientScratch;

    // held never returns null: every column is in memory (a stored Q, or
    // a store of computed columns, column_store.h). A pointer held gives
    // stays valid for the next fewestStoredColumns - 1 calls at least.
    bool holds = false;
    // products sums whole columns, (Qx)_i = sum over the listed k,
    // ascending, of Q(i,k) x_k from +0.0 with the bound of a stored Q
    // (dense_source.cpp): the same bits from any copy of the columns.
    bool columnProducts = false;
    // Q is in memory as it is: held costs nothing but the reads (a stored
    // Q), where a store computes what it does not hold yet (so that column
    // is then the cheaper way to ask for a few rows).
    bool inMemory = false;
};

// How many columns a pointer from held stays valid for (above).
constexpr uint32_t fewestStoredColumns = 16;

#endif
