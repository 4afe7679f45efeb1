// Rows of the support's Cholesky factor, by the Cholesky–Crout formula
//     L(i,j) = (A(i,j) - sum_{k<j} L(i,k) L(j,k)) / L(j,j),
//     L(i,i) = sqrt(A(i,i) - sum_{k<i} L(i,k)^2),   A = Q_SS + shift I.
// New rows are computed four at a time against the rows above them: the
// four sums share each read of row j and do not wait for one another, so
// a full factorisation runs at several times the speed of one row at a
// time, while each sum keeps its own order and so its bits.
#include "support_factor.h"

#include <cmath>
#include <cstring>

#include "../common/problem.h"

namespace {

// sum_{k<j} a(k) b(k), ascending from +0.0.
inline double dot(const double* a, const double* b, uint32_t j)
{
    double sum = 0.0;
    for (uint32_t k = 0; k < j; ++k)
        sum = sum + a[k] * b[k];
    return sum;
}

// L(i, j) for the rows i of one group and every j below the group's first
// row: the four sums against row j side by side.
// A(i, j) is read as Q(members[j], members[i]) wherever row i is computed.
void groupBelow(const uint32_t* members, double* const* rows, const double* const* columns, uint32_t rowCount,
                uint32_t first, const double* lower)
{
    for (uint32_t j = 0; j < first; ++j) {
        const double* const Lj = lower + rowStart(j);
        const double pivot = Lj[j];
        const uint32_t row = members[j];
        if (rowCount == 4) {
            double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
            const double *r0 = rows[0], *r1 = rows[1], *r2 = rows[2], *r3 = rows[3];
            for (uint32_t k = 0; k < j; ++k) {
                const double l = Lj[k];
                s0 = s0 + r0[k] * l;
                s1 = s1 + r1[k] * l;
                s2 = s2 + r2[k] * l;
                s3 = s3 + r3[k] * l;
            }
            rows[0][j] = (columns[0][row] - s0) / pivot;
            rows[1][j] = (columns[1][row] - s1) / pivot;
            rows[2][j] = (columns[2][row] - s2) / pivot;
            rows[3][j] = (columns[3][row] - s3) / pivot;
        } else {
            for (uint32_t r = 0; r < rowCount; ++r)
                rows[r][j] = (columns[r][row] - dot(rows[r], Lj, j)) / pivot;
        }
    }
}

}  // namespace

bool appendRows(const double* Q, uint32_t n, const uint32_t* members, uint32_t count, SupportFactor& f)
{
    const uint32_t end = f.size + count;
    while (f.size < end) {
        const uint32_t first = f.size;
        const uint32_t rowCount = end - first < 4 ? end - first : 4;
        double* rows[4];
        const double* columns[4];
        for (uint32_t r = 0; r < rowCount; ++r) {
            rows[r] = f.lower + rowStart(first + r);
            columns[r] = Q + at(0, members[first + r], n);
        }
        groupBelow(members, rows, columns, rowCount, first, f.lower);
        // Within the group, each row needs the ones before it.
        for (uint32_t r = 0; r < rowCount; ++r) {
            const uint32_t i = first + r;
            const double* const column = columns[r];
            for (uint32_t j = first; j < i; ++j) {
                const double* const Lj = f.lower + rowStart(j);
                rows[r][j] = (column[members[j]] - dot(rows[r], Lj, j)) / Lj[j];
            }
            const double pivot = (column[members[i]] + f.shift) - dot(rows[r], rows[r], i);
            if (!(pivot > 0.0) || !(pivot < infinity()))
                return false;
            rows[r][i] = std::sqrt(pivot);
            f.size = i + 1;
        }
    }
    return true;
}

void removeRow(SupportFactor& f, uint32_t r, double* spare)
{
    const uint32_t m = f.size;
    double* const L = f.lower;
    // spare[i] = L(i, r) for the rows below r, at their new positions.
    for (uint32_t i = r + 1; i < m; ++i)
        spare[i - 1] = L[rowStart(i) + r];
    for (uint32_t i = r + 1; i < m; ++i) {
        double* const to = L + rowStart(i - 1);
        const double* const from = L + rowStart(i);
        std::memmove(to, from, sizeof(double) * r);
        std::memmove(to + r, from + r + 1, sizeof(double) * (i - r));
    }
    // The rows from r on now miss the term spare spareᵀ; a rank-one update
    // by rotations puts it back.
    const uint32_t size = m - 1;
    for (uint32_t t = r; t < size; ++t) {
        double* const Lt = L + rowStart(t);
        const double diagonal = Lt[t];
        const double radius = std::sqrt(diagonal * diagonal + spare[t] * spare[t]);
        const double c = radius / diagonal;
        const double s = spare[t] / diagonal;
        Lt[t] = radius;
        for (uint32_t i = t + 1; i < size; ++i) {
            double& entry = L[rowStart(i) + t];
            entry = (entry + s * spare[i]) / c;
            spare[i] = c * spare[i] - s * entry;
        }
    }
    f.size = size;
}

void solveWithFactor(const SupportFactor& f, double* v)
{
    const uint32_t m = f.size;
    const double* const L = f.lower;
    for (uint32_t i = 0; i < m; ++i) {
        const double* const Li = L + rowStart(i);
        v[i] = (v[i] - dot(Li, v, i)) / Li[i];
    }
    // Lᵀ z = y by columns of Lᵀ (rows of L): each v[k] takes its terms in
    // descending i, and the updates of different k are independent.
    for (uint32_t i = m; i-- > 0;) {
        const double* const Li = L + rowStart(i);
        const double z = v[i] / Li[i];
        v[i] = z;
        for (uint32_t k = 0; k < i; ++k)
            v[k] = v[k] - Li[k] * z;
    }
}
