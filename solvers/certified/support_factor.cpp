// Rows of the support's Cholesky factor, by the Cholesky–Crout formula
//     L(i,j) = (A(i,j) - sum_{k<j} L(i,k) L(j,k)) / L(j,j),
//     L(i,i) = sqrt(A(i,i) - sum_{k<i} L(i,k)^2),
// A = Q_SS + ones 11ᵀ + shift I, each entry (Q(r,c) + ones) + [r == c] shift.
// New rows are computed eight at a time against the rows above them, two
// of those at a time: the group's entries so far are kept interleaved, so
// that the eight sums run in the lanes of vector registers
// (interleavedDots, vector_loops.h) and share each read. Each sum keeps its
// own order, and so its bits, whatever the grouping or the path. Measured
// on a full factorisation of 3000 rows: about 3 times the speed of four
// rows at a time in scalar code.
#include "support_factor.h"

#include <cmath>
#include <cstring>

#include "../common/problem.h"
#include "../common/vector_loops.h"

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
constexpr uint32_t groupRows = 8;

// L(i, j) for the rows i of one group (count of them, from row first) and
// every j below first, two j at a time: each row's sums for j and j+1 in
// one pass over the group's entries so far, held interleaved. A(i, j) is
// read as Q(members[j], members[i]) wherever row i is computed.
void groupBelow(const double* const* columns, const uint32_t* members, uint32_t first, uint32_t count,
                SupportFactor& f)
{
    double* const T = f.interleaved;
    double* rows[groupRows];
    for (uint32_t r = 0; r < count; ++r)
        rows[r] = f.lower + rowStart(first + r);
    double sa[groupRows], sb[groupRows];
    uint32_t j = 0;
    for (; j < first; j += 2) {
        const double* const Lj = f.lower + rowStart(j);
        const bool pair = j + 1 < first;
        const double* const Lnext = pair ? f.lower + rowStart(j + 1) : Lj;
        interleavedDots(f.path, T, Lj, Lnext, j, sa, sb);
        const uint32_t rowJ = members[j];
        for (uint32_t r = 0; r < count; ++r) {
            const double entry = ((columns[r][rowJ] + f.ones) - sa[r]) / Lj[j];
            rows[r][j] = entry;
            T[static_cast<size_t>(j) * groupRows + r] = entry;
        }
        if (!pair)
            break;
        // j+1's sums take row j's term last, now that it is known.
        const uint32_t rowNext = members[j + 1];
        for (uint32_t r = 0; r < count; ++r) {
            const double sum = sb[r] + rows[r][j] * Lnext[j];
            const double entry = ((columns[r][rowNext] + f.ones) - sum) / Lnext[j + 1];
            rows[r][j + 1] = entry;
            T[static_cast<size_t>(j + 1) * groupRows + r] = entry;
        }
    }
}

// Column c of Q where row i of the factor reads it, at members[j] for
// j <= i: the source's own, or computed at those rows and scattered to
// them (into out, n doubles).
const double* columnForRow(const QSource& q, const uint32_t* members, uint32_t i, SupportFactor& f, double* out)
{
    const double* const held = q.held(q.context, members[i]);
    if (held)
        return held;
    q.column(q.context, members[i], members, i + 1, f.compact);
    for (uint32_t j = 0; j <= i; ++j)
        out[members[j]] = f.compact[j];
    return out;
}

}  // namespace

bool appendRows(const QSource& q, const uint32_t* members, uint32_t count, SupportFactor& f)
{
    const size_t n = q.n;
    const uint32_t end = f.size + count;
    // Lanes of a group shorter than eight hold zeros, whose sums are unused.
    for (size_t k = 0; k < static_cast<size_t>(f.size) * groupRows; ++k)
        f.interleaved[k] = 0.0;
    while (f.size < end) {
        const uint32_t first = f.size;
        const uint32_t rowCount = end - first < groupRows ? end - first : groupRows;
        const double* columns[groupRows];
        for (uint32_t r = 0; r < rowCount; ++r)
            // A source that holds its columns has no room to scatter into.
            columns[r] = columnForRow(q, members, first + r, f, f.scattered ? f.scattered + r * n : nullptr);
        groupBelow(columns, members, first, rowCount, f);
        // Within the group, each row needs the ones before it.
        for (uint32_t r = 0; r < rowCount; ++r) {
            const uint32_t i = first + r;
            double* const row = f.lower + rowStart(i);
            const double* const column = columns[r];
            for (uint32_t j = first; j < i; ++j) {
                const double* const Lj = f.lower + rowStart(j);
                row[j] = ((column[members[j]] + f.ones) - dot(row, Lj, j)) / Lj[j];
            }
            const double pivot = ((column[members[i]] + f.ones) + f.shift) - dot(row, row, i);
            if (!(pivot > 0.0) || !(pivot < infinity()))
                return false;
            row[i] = std::sqrt(pivot);
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

void solveWithFactor(const SupportFactor& f, double* u, double* v)
{
    const uint32_t m = f.size;
    const double* const L = f.lower;
    // Forward, L y = u and L y' = v. Each row's two sums run over ascending
    // k from +0.0 and wait for the entries before the row; four rows at a
    // time take their terms up to the group's first row in one pass, eight
    // chains of additions rather than two (whose latency bounded the loop:
    // half the polish's time on realizable mixtures), then finish in order.
    uint32_t i = 0;
    for (; i + 4 <= m; i += 4) {
        const double* const L0 = L + rowStart(i);
        const double* const L1 = L + rowStart(i + 1);
        const double* const L2 = L + rowStart(i + 2);
        const double* const L3 = L + rowStart(i + 3);
        double su0 = 0.0, su1 = 0.0, su2 = 0.0, su3 = 0.0;
        double sv0 = 0.0, sv1 = 0.0, sv2 = 0.0, sv3 = 0.0;
        for (uint32_t k = 0; k < i; ++k) {
            const double uk = u[k], vk = v[k];
            su0 = su0 + L0[k] * uk;
            sv0 = sv0 + L0[k] * vk;
            su1 = su1 + L1[k] * uk;
            sv1 = sv1 + L1[k] * vk;
            su2 = su2 + L2[k] * uk;
            sv2 = sv2 + L2[k] * vk;
            su3 = su3 + L3[k] * uk;
            sv3 = sv3 + L3[k] * vk;
        }
        u[i] = (u[i] - su0) / L0[i];
        v[i] = (v[i] - sv0) / L0[i];
        su1 = su1 + L1[i] * u[i];
        sv1 = sv1 + L1[i] * v[i];
        u[i + 1] = (u[i + 1] - su1) / L1[i + 1];
        v[i + 1] = (v[i + 1] - sv1) / L1[i + 1];
        su2 = (su2 + L2[i] * u[i]) + L2[i + 1] * u[i + 1];
        sv2 = (sv2 + L2[i] * v[i]) + L2[i + 1] * v[i + 1];
        u[i + 2] = (u[i + 2] - su2) / L2[i + 2];
        v[i + 2] = (v[i + 2] - sv2) / L2[i + 2];
        su3 = ((su3 + L3[i] * u[i]) + L3[i + 1] * u[i + 1]) + L3[i + 2] * u[i + 2];
        sv3 = ((sv3 + L3[i] * v[i]) + L3[i + 1] * v[i + 1]) + L3[i + 2] * v[i + 2];
        u[i + 3] = (u[i + 3] - su3) / L3[i + 3];
        v[i + 3] = (v[i + 3] - sv3) / L3[i + 3];
    }
    for (; i < m; ++i) {
        const double* const Li = L + rowStart(i);
        double su = 0.0, sv = 0.0;
        for (uint32_t k = 0; k < i; ++k) {
            su = su + Li[k] * u[k];
            sv = sv + Li[k] * v[k];
        }
        u[i] = (u[i] - su) / Li[i];
        v[i] = (v[i] - sv) / Li[i];
    }
    // Lᵀ z = y by columns of Lᵀ (rows of L): each entry takes its terms in
    // descending i, and the updates of different k are independent. Two
    // rows at a time, so that each u[k] and v[k] is read and written once
    // for both.
    for (i = m; i >= 2; i -= 2) {
        const double* const Li = L + rowStart(i - 1);
        const double* const Lh = L + rowStart(i - 2);
        const double zu = u[i - 1] / Li[i - 1], zv = v[i - 1] / Li[i - 1];
        u[i - 1] = zu;
        v[i - 1] = zv;
        const double zuh = (u[i - 2] - Li[i - 2] * zu) / Lh[i - 2];
        const double zvh = (v[i - 2] - Li[i - 2] * zv) / Lh[i - 2];
        u[i - 2] = zuh;
        v[i - 2] = zvh;
        for (uint32_t k = 0; k < i - 2; ++k) {
            u[k] = (u[k] - Li[k] * zu) - Lh[k] * zuh;
            v[k] = (v[k] - Li[k] * zv) - Lh[k] * zvh;
        }
    }
    if (i == 1) {
        u[0] = u[0] / L[0];
        v[0] = v[0] / L[0];
    }
}
