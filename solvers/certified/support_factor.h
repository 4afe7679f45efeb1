// The Cholesky factor of Q_SS + ones 11ᵀ + shift I on the polish's support S
// (polish.cpp), held so that a coordinate can join or leave S without
// factoring again.
//
// L is lower triangular and packed by rows: row i holds L(i, 0..i) from
// offset i(i+1)/2, so a joining coordinate is one more row at the end, and
// the block for capacity rows is capacity(capacity+1)/2 doubles. Every
// entry is the same to the last bit however the rows came in: a row is
// computed by one formula, each of its sums over ascending k from +0.0.
#ifndef SIMPLEXQP_SUPPORT_FACTOR_H
#define SIMPLEXQP_SUPPORT_FACTOR_H

#include <cstddef>
#include <cstdint>

#include "../common/vector_path.h"
#include "../sources/q_source.h"

struct SupportFactor {
    uint32_t size;      // rows held: the members of S, in the order they joined
    uint32_t capacity;  // rows the block has room for
    double ones;        // added to every entry of Q_SS (polish.cpp: why)
    double shift;       // added to each diagonal entry after that
    double* lower;      // capacity(capacity+1)/2 doubles
    double* interleaved;  // 8 capacity doubles: the rows being computed, side by side
    VectorPath path;      // of their sums (the same bits on every path)
    // Where the source computes its columns rather than holding them:
    // the group's columns at S's rows, scattered to their coordinates (8 n
    // doubles), and room for one computed compactly (capacity doubles).
    double* scattered = nullptr;
    double* compact = nullptr;
};

inline size_t rowStart(uint32_t i)
{
    return static_cast<size_t>(i) * (i + 1) / 2;
}

// Appends the rows of the coordinates members[f.size .. f.size+count) (f
// already holds the rows of members[0 .. f.size)). Returns false, leaving
// f.size at the rows that were completed, when a pivot is not positive or
// not finite: the block is then not numerically positive definite.
bool appendRows(const QSource& q, const uint32_t* members, uint32_t count, SupportFactor& f);

// Removes row r: the factor becomes that of the block without the member
// (the rows after r move up one, and a rank-one update of them restores
// L Lᵀ). spare holds f.size doubles.
void removeRow(SupportFactor& f, uint32_t r, double* spare);

// u <- (L Lᵀ)^-1 u and v <- (L Lᵀ)^-1 v for f.size entries each, the two
// solves side by side (each with the bits it would have alone).
void solveWithFactor(const SupportFactor& f, double* u, double* v);

#endif
