// Prints the answers to the shared corpus, one line per problem and method
// ("<index> <method> <hex digits of x>"), so that builds for different
// platforms and hosts can be compared to the last bit with a plain diff.
//
//   corpus_answers PLUGIN             answers of a plug-in file, loaded and
//                                     called as a host does
//   corpus_answers --reference        answers of the literal solvers
//   corpus_answers --write-problems F the problems as a binary file for other
//                                     hosts: uint32 count, then per problem
//                                     uint32 n, n*n doubles Q (column-major),
//                                     n doubles b; all little-endian
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "corpus/corpus.h"
#include "oracle/literal.h"
#include "plugin_loader.h"

namespace {

const double methods[] = {2, 3};

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
        for (double method : methods) {
            mxArray* m = standInCreateDouble(1, 1, &method);
            const mxArray* args[] = {Q, b, m};
            mxArray* result[1];
            if (standInCall(plugin.entry, 1, result, 3, args, error, sizeof error) != 0) {
                std::fprintf(stderr, "problem %zu, method %g: %s\n", i, method, error);
                ok = false;
            } else {
                std::printf("%zu %g %s\n", i, method, hexLine(mxGetPr(result[0]), p.n).c_str());
                mxDestroyArray(result[0]);
            }
            mxDestroyArray(m);
        }
        mxDestroyArray(Q);
        mxDestroyArray(b);
    }
    unloadPlugin(plugin);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<CorpusProblem> corpus = makeCorpus();
    if (argc == 2 && std::strcmp(argv[1], "--reference") == 0) {
        printReference(corpus);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--write-problems") == 0) {
        if (writeProblems(argv[2], corpus))
            return 0;
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    if (argc == 2 && argv[1][0] != '-')
        return printPluginAnswers(argv[1], corpus) ? 0 : 1;
    std::fprintf(stderr, "usage: corpus_answers PLUGIN | --reference | --write-problems FILE\n");
    return 2;
}
