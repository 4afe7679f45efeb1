// The shared corpus: seeded problems of the kinds users solve, built the
// same, bit for bit, on every platform (own generator, own exp, only IEEE
// basic operations), so that answers can be compared across builds and hosts.
#ifndef SIMPLEXQP_TESTS_CORPUS_H
#define SIMPLEXQP_TESTS_CORPUS_H

#include <cstdint>
#include <string>
#include <vector>

struct CorpusProblem {
    std::string name;
    uint32_t n;
    std::vector<double> Q;  // n*n, column-major
    std::vector<double> b;
};

std::vector<CorpusProblem> makeCorpus();

// Individual kinds, for tests that want more of one kind.
CorpusProblem gaussianKernelProblem(uint32_t n, uint64_t seed);
CorpusProblem psdProblem(uint32_t n, uint32_t rank, uint64_t seed);
CorpusProblem tiedProblem(uint32_t n, uint64_t seed);
CorpusProblem diagonalProblem(uint32_t n, uint64_t seed);
CorpusProblem signedProblem(uint32_t n, uint64_t seed);

// The answer as num2hex would print it: 16 hex digits per element, spaces
// between elements.
std::string hexLine(const double* x, uint32_t n);

#endif
