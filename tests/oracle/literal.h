// A literal, deliberately plain transcription of the two solvers, kept only
// as the reference that every faster or safer version must match bit for bit.
// It takes no scratch from the host, uses 32-bit flat indices as the original
// algorithms do, and assumes well-formed input (finite Q and b, a non-zero
// sum of b, n <= 65536).
#ifndef SIMPLEXQP_TESTS_LITERAL_H
#define SIMPLEXQP_TESTS_LITERAL_H

#include <cstdint>

namespace literal {

void SMO(const double* Q, const double* b, uint32_t n, double* x);

// Exactly as first written: 0 / (Qx)_i is computed even for a zero weight,
// so a zero row product gives NaN.
void multUpdate(const double* Q, const double* b, uint32_t n, double* x);

// The same with one line changed: a weight that is exactly zero keeps ratio
// 0, so that 0/0 cannot turn a converged answer into NaN.
void multUpdateMended(const double* Q, const double* b, uint32_t n, double* x);

}  // namespace literal

#endif
