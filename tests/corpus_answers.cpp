// Prints the answers to the shared corpus, one line per problem and method
// ("<index> <method> <hex digits of x>"), so that builds for different
// platforms and hosts can be compared to the last bit with a plain diff.
//
//   corpus_answers PLUGIN             answers of a plug-in file, loaded and
//                                     called as a host does
//   corpus_answers --reference        answers of the literal solvers
//   corpus_answers --certified PLUGIN simplexQPopt's answers: per problem
//                                     "<index> tol <hex of x, then gap>" at
//                                     tol 1e-6 and, for n <= 16, "<index>
//                                     default ..." at the default tolerance
//   corpus_answers --certified-reference  the same from certifiedSMO itself
//   corpus_answers --write-problems F the problems as a binary file for other
//                                     hosts: uint32 count, then per problem
//                                     uint32 n, n*n doubles Q (column-major),
//                                     n doubles b; all little-endian
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "certified/certified_smo.h"
#include "corpus/corpus.h"
#include "oracle/literal.h"
#include "plugin_loader.h"

namespace {

const double methods[] = {2, 3};

// simplexQPopt's corpus runs: tol 1e-6 everywhere, the default tolerance
// where n is small enough for every platform's tests to afford it.
constexpr double certifiedTolerance = 1e-6;
constexpr uint32_t largestForDefault = 16;

void printCertified(size_t index, const char* label, std::vector<double> x, double gap)
{
    x.push_back(gap);
    std::printf("%zu %s %s\n", index, label, hexLine(x.data(), static_cast<uint32_t>(x.size())).c_str());
}

void printCertifiedReference(const std::vector<CorpusProblem>& corpus)
{
    for (size_t i = 0; i < corpus.size(); ++i) {
        const CorpusProblem& p = corpus[i];
        std::vector<double> x(p.n);
        CertifiedReport report;
        const uint64_t cap = 10000000;  // the plug-in's; no corpus run comes near it
        certifiedSMO(p.Q.data(), p.b.data(), p.n, certifiedTolerance, cap, x.data(), report);
        printCertified(i, "tol", x, report.gap);
        if (p.n <= largestForDefault) {
            certifiedSMO(p.Q.data(), p.b.data(), p.n, defaultTolerance(p.Q.data(), p.b.data(), p.n), cap, x.data(),
                         report);
            printCertified(i, "default", x, report.gap);
        }
    }
}

// One call of simplexQPopt with [x, info]; false (and a message) if it
// raised an error.
bool callCertified(const LoadedPlugin& plugin, size_t index, const char* label, int nrhs, const mxArray* args[])
{
    mxArray* result[2];
    char error[512];
    if (standInCall(plugin.entry, 2, result, nrhs, args, error, sizeof error) != 0) {
        std::fprintf(stderr, "problem %zu, %s: %s\n", index, label, error);
        return false;
    }
    const double* x = mxGetPr(result[0]);
    printCertified(index, label, std::vector<double>(x, x + mxGetN(result[0])),
                   mxGetScalar(standInGetField(result[1], 0, "gap")));
    mxDestroyArray(result[0]);
    mxDestroyArray(result[1]);
    return true;
}

// Loads a plug-in and hands answer every corpus problem as host arrays Q
// and b; stops at the first problem answer fails.
template <typename Answer>
bool forEachProblem(const char* path, const std::vector<CorpusProblem>& corpus, Answer answer)
{
    LoadedPlugin plugin;
    char error[512];
    if (!loadPlugin(path, plugin, error, sizeof error)) {
        std::fprintf(stderr, "cannot load %s: %s\n", path, error);
        return false;
    }
    bool ok = true;
    for (size_t i = 0; i < corpus.size() && ok; ++i) {
        const CorpusProblem& p = corpus[i];
        mxArray* Q = standInCreateDouble(p.n, p.n, p.Q.data());
        mxArray* b = standInCreateDouble(p.n, 1, p.b.data());
        ok = answer(plugin, i, p, Q, b);
        mxDestroyArray(Q);
        mxDestroyArray(b);
    }
    unloadPlugin(plugin);
    return ok;
}

bool printCertifiedPluginAnswers(const char* path, const std::vector<CorpusProblem>& corpus)
{
    return forEachProblem(path, corpus,
                          [](const LoadedPlugin& plugin, size_t i, const CorpusProblem& p, mxArray* Q, mxArray* b) {
                              mxArray* tol = standInCreateDouble(1, 1, &certifiedTolerance);
                              const mxArray* args[] = {Q, b, tol};
                              bool ok = callCertified(plugin, i, "tol", 3, args);
                              if (ok && p.n <= largestForDefault)
                                  ok = callCertified(plugin, i, "default", 2, args);
                              mxDestroyArray(tol);
                              return ok;
                          });
}

bool writeProblems(const char* path, const std::vector<CorpusProblem>& corpus)
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    bool ok = true;
    const uint32_t count = static_cast<uint32_t>(corpus.size());
    ok = ok && std::fwrite(&count, sizeof count, 1, file) == 1;
    for (const CorpusProblem& p : corpus) {
        ok = ok && std::fwrite(&p.n, sizeof p.n, 1, file) == 1;
        ok = ok && std::fwrite(p.Q.data(), sizeof(double), p.Q.size(), file) == p.Q.size();
        ok = ok && std::fwrite(p.b.data(), sizeof(double), p.b.size(), file) == p.b.size();
    }
    return std::fclose(file) == 0 && ok;
}

void printReference(const std::vector<CorpusProblem>& corpus)
{
    for (size_t i = 0; i < corpus.size(); ++i) {
        const CorpusProblem& p = corpus[i];
        std::vector<double> x(p.n);
        literal::SMO(p.Q.data(), p.b.data(), p.n, x.data());
        std::printf("%zu 2 %s\n", i, hexLine(x.data(), p.n).c_str());
        literal::multUpdateMended(p.Q.data(), p.b.data(), p.n, x.data());
        std::printf("%zu 3 %s\n", i, hexLine(x.data(), p.n).c_str());
    }
}

bool printPluginAnswers(const char* path, const std::vector<CorpusProblem>& corpus)
{
    return forEachProblem(path, corpus,
                          [](const LoadedPlugin& plugin, size_t i, const CorpusProblem& p, mxArray* Q, mxArray* b) {
                              bool ok = true;
                              for (double method : methods) {
                                  mxArray* m = standInCreateDouble(1, 1, &method);
                                  const mxArray* args[] = {Q, b, m};
                                  mxArray* result[1];
                                  char error[512];
                                  if (standInCall(plugin.entry, 1, result, 3, args, error, sizeof error) != 0) {
                                      std::fprintf(stderr, "problem %zu, method %g: %s\n", i, method, error);
                                      ok = false;
                                  } else {
                                      std::printf("%zu %g %s\n", i, method, hexLine(mxGetPr(result[0]), p.n).c_str());
                                      mxDestroyArray(result[0]);
                                  }
                                  mxDestroyArray(m);
                              }
                              return ok;
                          });
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<CorpusProblem> corpus = makeCorpus();
    if (argc == 2 && std::strcmp(argv[1], "--reference") == 0) {
        printReference(corpus);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--certified-reference") == 0) {
        printCertifiedReference(corpus);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--certified") == 0)
        return printCertifiedPluginAnswers(argv[2], corpus) ? 0 : 1;
    if (argc == 3 && std::strcmp(argv[1], "--write-problems") == 0) {
        if (writeProblems(argv[2], corpus))
            return 0;
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    if (argc == 2 && argv[1][0] != '-')
        return printPluginAnswers(argv[1], corpus) ? 0 : 1;
    std::fprintf(stderr,
                 "usage: corpus_answers PLUGIN | --reference | --certified PLUGIN | --certified-reference |"
                 " --write-problems FILE\n");
    return 2;
}
