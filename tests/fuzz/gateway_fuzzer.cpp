// libFuzzer target: calls mexFunction through the stand-in host with
// whatever a fuzz input describes, any counts, classes, shapes and values.
// Built once for each plug-in's gateway: gateway_fuzzer (simplexQP),
// with SIMPLEXQP_FUZZ_OPT, opt_gateway_fuzzer (simplexQPopt) and, with
// SIMPLEXQP_FUZZ_LSQ too, lsq_gateway_fuzzer (simplexLSQ(C, D, ...)).
// The host makes the arguments read-only during the call and faults on any
// read past an array's storage; after the call nothing may be left behind,
// the processor's floating-point mode must be the caller's again, and a
// call that returns must return a 1-by-n row (simplexQP: exactly one
// result; simplexQPopt: also a 1-by-1 info struct when two were asked for;
// simplexLSQ: an n-by-p X, C being m-by-n and D m-by-p, and an info struct
// of 1-by-p rows).
//
// Input layout, read front to back (past the end every byte reads as 0):
//   nlhs byte (% 4), nrhs byte (% 5), then for each argument:
//   class byte (% 14, in StandInClass order), flags byte (bit 0 complex,
//   bit 1 sparse, bit 2 a third dimension), rows, columns (see dimension),
//   for sparse arrays the capacity byte, for full ones with a third
//   dimension its size byte (% 4), then the stored elements: for double
//   arrays one value each (see value), for other classes their raw bytes;
//   after the last argument, the floating-point mode the caller leaves set
//   (0, as past the end: the standard one; else one of hostFloatModes()).
//   For opt_gateway_fuzzer and lsq_gateway_fuzzer a full 1-by-1 struct argument is an options
//   struct, or as simplexQPopt's first argument a struct K that describes
//   Q: a field count byte (% 6), then for each field a name byte (% 10:
//   Tolerance, MaxIterations, Display, InitialPoint, UpperBound, CacheSize,
//   Points, Kernel, Width, or a name it does not know; a name already given
//   is skipped) and its value, an argument as above (one that is itself a
//   struct has no fields, and none is larger than 24 by 24); Kernel's is
//   led by a byte (% 3): 'gaussian', 'linear', or an argument.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "float_modes.h"
#include "stand_in.h"

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at;
};

uint8_t byte(Input& in)
{
    return in.at < in.size ? in.data[in.at++] : 0;
}

// Mostly small values on a grid of eighths, so that well-formed problems
// are easy to reach; then any bit pattern; then values at the edges.
double value(Input& in)
{
    const uint8_t tag = byte(in);
    if (tag < 200)
        return (tag - 100) / 8.0;
    if (tag < 240) {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits = bits << 8 | byte(in);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    static const double edges[16] = {0.0,     -0.0,  INFINITY, -INFINITY, NAN,     1e308,        -1e308, DBL_MIN,
                                     4.9e-324, 1e-6, 1e-5,     1e10,      65536.0, 4294967298.0, 9.3e18, DBL_MAX};
    return edges[tag - 240];
}

// Up to 24, or one of a few sizes past the largest problem accepted; arrays
// that large are hollow (they claim the size but store nothing), which is
// safe only because the plug-in must reject them without reading them.
// simplexLSQ takes any m, n and p below 2^31, so its large sizes lie at
// and past that (on a 64-bit host; 2^31 and up do not fit a 32-bit one).
size_t dimension(Input& in)
{
    const uint8_t d = byte(in);
#ifdef SIMPLEXQP_FUZZ_LSQ
    static const size_t large[6] = {size_t{1} << 31, (size_t{1} << 31) + 1, size_t{1} << 32, size_t{1} << 33,
                                    size_t{1} << 34, size_t{1} << 35};
#else
    static const size_t large[6] = {65537, 70000, 100000, size_t{1} << 20, size_t{1} << 24, size_t{1} << 30};
#endif
    return d < 250 ? d % 25 : large[d - 250];
}

mxArray* argument(Input& in, bool inStruct = false);

#ifdef SIMPLEXQP_FUZZ_OPT
mxArray* charRow(const char* text)
{
    const size_t length = std::strlen(text);
    mxArray* row = standInCreateArray(standInChar, 1, length, false, false, 0);
    uint16_t* stored = static_cast<uint16_t*>(standInRealData(row));
    for (size_t k = 0; k < length; ++k)
        stored[k] = static_cast<unsigned char>(text[k]);
    return row;
}

mxArray* optionsStruct(Input& in)
{
    static const char* const names[10] = {"Tolerance", "MaxIterations", "Display", "InitialPoint", "UpperBound",
                                          "CacheSize", "Points", "Kernel", "Width", "TolFun"};
    const int count = byte(in) % 6;
    std::vector<const char*> fields;
    std::vector<mxArray*> values;
    for (int f = 0; f < count; ++f) {
        const char* name = names[byte(in) % 10];
        const uint8_t kernel = name == names[7] ? byte(in) % 3 : 2;
        mxArray* value = kernel == 0 ? charRow("gaussian") : kernel == 1 ? charRow("linear") : argument(in, true);
        bool given = false;
        for (const char* other : fields)
            given = given || other == name;
        if (given) {
            mxDestroyArray(value);
            continue;
        }
        fields.push_back(name);
        values.push_back(value);
    }
    mxArray* options = mxCreateStructMatrix(1, 1, static_cast<int>(fields.size()), fields.data());
    for (size_t f = 0; f < fields.size(); ++f)
        mxSetField(options, 0, fields[f], values[f]);
    return options;
}
#endif

mxArray* argument(Input& in, bool inStruct)
{
    const StandInClass arrayClass = static_cast<StandInClass>(byte(in) % 14);
    const uint8_t flags = byte(in);
    const size_t m = dimension(in);
    size_t n = dimension(in);
#ifdef SIMPLEXQP_FUZZ_LSQ
    // Two of simplexLSQ's large sizes would claim more bytes than a size
    // holds: one of them at a time.
    if (m > 24 && n > 24)
        n %= 25;
#endif
    // A struct's fields hold data (a hollow K.Points could claim a size that
    // b matches, and then be read).
    if ((m > 24 || n > 24) && !inStruct)
        return standInCreateHollow(arrayClass, m, n);
    if (m > 24 || n > 24)
        return standInCreateArray(arrayClass, m % 25, n % 25, false, false, 0);
#ifdef SIMPLEXQP_FUZZ_OPT
    if (arrayClass == standInStruct && m == 1 && n == 1 && !(flags & 6) && !inStruct)
        return optionsStruct(in);
#else
    (void)inStruct;
#endif
    const bool sparse = flags & 2;
    const size_t capacity = sparse ? byte(in) % 32 : 0;
    mxArray* array;
    if (!sparse && (flags & 4)) {
        // Hosts have no sparse arrays of more than two dimensions.
        const size_t dimensions[3] = {m, n, static_cast<size_t>(byte(in) % 4)};
        array = standInCreateNumericArray(arrayClass, 3, dimensions, flags & 1);
    } else {
        array = standInCreateArray(arrayClass, m, n, flags & 1, sparse, capacity);
    }
    for (void* storage : {standInRealData(array), standInImagData(array)}) {
        if (!storage)
            continue;
        const size_t bytes = standInStoredBytes(array);
        if (arrayClass == standInDouble) {
            for (size_t i = 0; i < bytes / sizeof(double); ++i)
                static_cast<double*>(storage)[i] = value(in);
        } else if (arrayClass != standInCell && arrayClass != standInStruct) {
            for (size_t i = 0; i < bytes; ++i)
                static_cast<uint8_t*>(storage)[i] = byte(in);
        }
    }
    return array;
}

// The largest finite magnitude among an array's stored real values.
double largestFinite(const mxArray* array)
{
    const double* values = static_cast<const double*>(standInRealData(array));
    double largest = 0.0;
    for (size_t i = 0; i < standInStoredBytes(array) / sizeof(double); ++i)
        if (std::isfinite(values[i]))
            largest = std::fmax(largest, std::fabs(values[i]));
    return largest;
}

void scale(mxArray* array, int exponent)
{
    double* values = static_cast<double*>(standInRealData(array));
    for (size_t i = 0; i < standInStoredBytes(array) / sizeof(double); ++i)
        values[i] = std::ldexp(values[i], exponent);
}

// SMO starts from x = b / sum(b), the sum taken as it takes it. Weights
// below 1e-6 then never move, and a step keeps the sum of the two it moves,
// both non-negative, so sum |x_k| stays W = sum |b_i| / |sum(b)| (up to
// rounding) and |f| <= |Q|max W^2 / 2 + |b|max W. Scales Q and b until that
// is at most 1/32; underflow can change W, hence the second look. Data the
// plug-in rejects (sum(b) zero or not finite) are left as they are.
void scaleObjectiveDown(mxArray* Q, mxArray* b)
{
    if (!mxIsDouble(b) || mxGetM(b) > 24 || mxGetN(b) > 24)
        return;
    const double* values = static_cast<const double*>(standInRealData(b));
    const size_t count = standInStoredBytes(b) / sizeof(double);
    for (int look = 0; look < 4; ++look) {
        double sum = 0.0, magnitudes = 0.0;
        for (size_t i = 0; i < count; ++i) {
            sum = sum + values[i];
            magnitudes += std::fabs(values[i]);
        }
        if (sum == 0.0 || !std::isfinite(sum) || !std::isfinite(magnitudes))
            return;
        const double W = magnitudes / std::fabs(sum);
        const double bound = 0.5 * largestFinite(Q) * W * W + largestFinite(b) * W;
        if (bound <= 1.0 / 32)
            return;
        int exponent = 1100;  // past every double's: all of it underflows
        if (std::isfinite(bound))
            std::frexp(32.0 * bound, &exponent);  // 32 bound < 2^exponent
        scale(Q, -exponent);
        scale(b, -exponent);
    }
}

// Inputs on which simplexQP's solvers, as defined, end only after an
// impractically long time are kept out, since no per-input time limit can
// tell those from a hang (simplexQPopt's runs end within its step cap; its
// Q keeps whatever asymmetry the input gives it):
// - Both solvers take Q to be symmetric. With a strongly unsymmetric Q,
//   multUpdate's map can be chaotic and then ends only when x repeats
//   exactly, after hundreds of millions of iterations; so Q's upper triangle
//   is mirrored into its lower one (an exact copy).
// - Their objective tolerance is absolute (1e-5). With entries of huge
//   magnitude (1e26, say) SMO's passes can keep lowering an objective of that
//   scale by far more than 1e-5 while x moves by rounding-sized steps; so
//   finite entries of Q and b are clamped to [-1e6, 1e6]. NaN and Inf stay:
//   the plug-in must reject them.
// - Even then nothing bounds SMO's passes but the fall of its objective: a
//   pass after which the run goes on lowers it by at least 1e-5. On an
//   indefinite Q whose entries span a wide range the passes converge
//   linearly at a rate within 1e-6 of 1: the seed slow_smo_indefinite (6 by
//   6, 1e6 against 0.5) takes 15.8 million passes, and their number grows
//   with the ratio of the entries. So Q and b are scaled together by a power
//   of two until |f| <= 1/32 wherever SMO's weights can go (below), which
//   leaves it at most 2 + (1/16) / 1e-5 = 6252 passes (a few seconds at
//   n = 24 under the sanitisers). The scaling is exact (barring underflow)
//   and moves neither solver's iterates, only the objective's scale and
//   with it how soon the tolerance is met.
void keepSolvableInPractice(int nrhs, mxArray* arguments[])
{
    for (int k = 0; k < nrhs && k < 2; ++k) {
        mxArray* array = arguments[k];
        if (!mxIsDouble(array) || mxGetM(array) > 24 || mxGetN(array) > 24)
            continue;
        double* values = static_cast<double*>(standInRealData(array));
        for (size_t i = 0; i < standInStoredBytes(array) / sizeof(double); ++i)
            if (std::isfinite(values[i]))
                values[i] = std::fmax(-1e6, std::fmin(1e6, values[i]));
    }
#ifdef SIMPLEXQP_FUZZ_OPT
    return;
#endif
    mxArray* Q = nrhs > 0 ? arguments[0] : nullptr;
    if (!Q || !mxIsDouble(Q) || mxIsSparse(Q) || mxGetM(Q) != mxGetN(Q) || mxGetM(Q) > 24)
        return;
    const size_t n = mxGetN(Q);
    double* q = static_cast<double*>(standInRealData(Q));
    for (size_t c = 0; c < n; ++c)
        for (size_t r = c + 1; r < n; ++r)
            q[r + c * n] = q[c + r * n];
    if (nrhs > 1)
        scaleObjectiveDown(Q, arguments[1]);
}

void require(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in{data, size, 0};
    const int nlhs = byte(in) % 4;
    const int nrhs = byte(in) % 5;
    std::vector<mxArray*> arguments;
    for (int i = 0; i < nrhs; ++i)
        arguments.push_back(argument(in));
    keepSolvableInPractice(nrhs, arguments.data());
    const std::vector<FloatMode> modes = hostFloatModes();
    const uint8_t modeChoice = byte(in);
    const ControlWords standard = readControlWords();
    if (modeChoice != 0 && !modes.empty())
        writeControlWords(modes[(modeChoice - 1) % modes.size()].words);

    const size_t blocks = standInLiveBlocks();
    const size_t arrays = standInLiveArrays();
    const ControlWords mode = readControlWords();
    mxArray* results[4];
    char message[512];
    const int raised = standInCall(mexFunction, nlhs, results, nrhs,
                                   const_cast<const mxArray**>(arguments.data()), message, sizeof message);
    require(readControlWords() == mode);
    writeControlWords(standard);
    if (raised) {
        require(message[0] != '\0');
    } else {
#ifdef SIMPLEXQP_FUZZ_OPT
        require(nlhs <= 2 && results[0] != nullptr);  // with nlhs = 0 the host still takes the first
#ifdef SIMPLEXQP_FUZZ_LSQ
        const size_t rows = mxGetN(arguments[0]), columns = mxGetN(arguments[1]), fieldColumns = columns;
#else
        // n: Q's order, or the number of K's points.
        const mxArray* points = mxIsStruct(arguments[0]) ? standInGetField(arguments[0], 0, "Points") : nullptr;
        const size_t rows = 1, columns = points ? mxGetM(points) : mxGetN(arguments[0]), fieldColumns = 1;
#endif
        if (nlhs == 2) {
            require(results[1] != nullptr && mxGetM(results[1]) == 1 && mxGetN(results[1]) == 1);
            // objective, gap, iterations, converged, support, atUpperBound
            require(standInFieldCount(results[1]) == 6);
            for (int f = 0; f < 6; ++f) {
                const mxArray* field = standInGetField(results[1], 0, standInFieldName(results[1], f));
                require(field && mxGetM(field) == 1 && mxGetN(field) == fieldColumns);
            }
            mxDestroyArray(results[1]);
        }
#else
        require(nlhs == 1 && results[0] != nullptr);
        const size_t rows = 1, columns = mxGetN(arguments[0]);
#endif
        require(mxIsDouble(results[0]) && !mxIsComplex(results[0]));
        require(mxGetM(results[0]) == rows && mxGetN(results[0]) == columns);
        mxDestroyArray(results[0]);
    }
    require(standInLiveBlocks() == blocks);
    require(standInLiveArrays() == arrays);

    for (mxArray* array : arguments)
        mxDestroyArray(array);
    return 0;
}
