// What the plug-in accepts, and the exact error every other call gives. Each
// bad call must raise its message, leave its arguments as they were (they
// are also read-only during the call, so a write would fault) and leave
// nothing behind.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "oracle/literal.h"
#include "plugin_call.h"
#include "solve.h"

namespace {

// How to make one argument.
struct ArrayRecipe {
    StandInClass arrayClass;
    size_t m, n;
    std::vector<double> values;  // column-major, doubles only; zeros if empty
    bool complex = false;
    bool sparse = false;
    bool hollow = false;  // claims m-by-n, stores nothing
    std::vector<size_t> dimensions = {};  // all of them, when there are more than m and n
};

ArrayRecipe doubles(size_t m, size_t n, std::vector<double> values = {})
{
    return {standInDouble, m, n, std::move(values)};
}

ArrayRecipe ofClass(StandInClass arrayClass, size_t m, size_t n)
{
    return {arrayClass, m, n, {}};
}

// An array of any number of dimensions; m and n as the host reports them.
ArrayRecipe ofShape(StandInClass arrayClass, std::vector<size_t> dimensions, std::vector<double> values = {})
{
    ArrayRecipe recipe{arrayClass, dimensions[0], 1, std::move(values)};
    for (size_t k = 1; k < dimensions.size(); ++k)
        recipe.n *= dimensions[k];
    recipe.dimensions = std::move(dimensions);
    return recipe;
}

ArrayRecipe complexDoubles(size_t m, size_t n)
{
    ArrayRecipe recipe = doubles(m, n);
    recipe.complex = true;
    return recipe;
}

ArrayRecipe sparseDoubles(size_t m, size_t n, bool complex = false)
{
    ArrayRecipe recipe = doubles(m, n);
    recipe.sparse = true;
    recipe.complex = complex;
    return recipe;
}

ArrayRecipe hollowDoubles(size_t m, size_t n)
{
    ArrayRecipe recipe = doubles(m, n);
    recipe.hollow = true;
    return recipe;
}

// Whether the host can have such an array: its element count must fit in
// size_t (Q beyond 65536-by-65536 cannot exist in a 32-bit host).
bool representable(const ArrayRecipe& recipe)
{
    return recipe.m == 0 || recipe.n <= SIZE_MAX / recipe.m;
}

mxArray* make(const ArrayRecipe& recipe)
{
    if (recipe.hollow)
        return standInCreateHollow(recipe.arrayClass, recipe.m, recipe.n);
    mxArray* array =
        recipe.dimensions.empty()
            ? standInCreateArray(recipe.arrayClass, recipe.m, recipe.n, recipe.complex, recipe.sparse, 2)
            : standInCreateNumericArray(recipe.arrayClass, recipe.dimensions.size(), recipe.dimensions.data(),
                                        recipe.complex);
    if (!recipe.values.empty())
        std::memcpy(standInRealData(array), recipe.values.data(), recipe.values.size() * sizeof(double));
    return array;
}

// The bytes an argument stores, to show that a call left them as they were.
std::vector<unsigned char> storedBytes(const mxArray* array)
{
    const unsigned char* data = static_cast<const unsigned char*>(standInRealData(array));
    return std::vector<unsigned char>(data, data + standInStoredBytes(array));
}

// A 1-by-1 array of a numeric class holding value.
mxArray* numericScalar(StandInClass arrayClass, double value)
{
    mxArray* array = standInCreateArray(arrayClass, 1, 1, false, false, 0);
    void* data = standInRealData(array);
    switch (arrayClass) {
    case standInSingle: *static_cast<float*>(data) = static_cast<float>(value); break;
    case standInInt32: *static_cast<int32_t*>(data) = static_cast<int32_t>(value); break;
    case standInUint8: *static_cast<uint8_t*>(data) = static_cast<uint8_t>(value); break;
    default: *static_cast<double*>(data) = value; break;
    }
    return array;
}

struct BadCall {
    const char* what;
    std::vector<ArrayRecipe> arguments;
    const char* message;
};

const ArrayRecipe goodQ = doubles(3, 3, {2, 0, 0, 0, 2, 0, 0, 0, 2});
const ArrayRecipe goodB = doubles(3, 1, {1, 2, 3});
constexpr double nan = NAN;
constexpr double inf = INFINITY;

const std::vector<BadCall> badCalls = {
    // Q: class, complexity, storage, shape, size.
    {"single Q", {ofClass(standInSingle, 3, 4), goodB},
     "Q must be a real, full, double n-by-n matrix; got a 3-by-4 single matrix"},
    {"more columns than rows", {doubles(3, 4), goodB},
     "Q must be a real, full, double n-by-n matrix; got a 3-by-4 double matrix"},
    {"more rows than columns", {doubles(4, 3), goodB},
     "Q must be a real, full, double n-by-n matrix; got a 4-by-3 double matrix"},
    {"sparse Q", {sparseDoubles(3, 3), goodB},
     "Q must be a real, full, double n-by-n matrix; got a 3-by-3 sparse double matrix"},
    {"complex Q", {complexDoubles(2, 2), doubles(2, 1, {1, 1})},
     "Q must be a real, full, double n-by-n matrix; got a 2-by-2 complex double matrix"},
    {"sparse complex Q", {sparseDoubles(3, 3, true), goodB},
     "Q must be a real, full, double n-by-n matrix; got a 3-by-3 sparse complex double matrix"},
    {"logical Q", {ofClass(standInLogical, 2, 2), goodB},
     "Q must be a real, full, double n-by-n matrix; got a 2-by-2 logical array"},
    {"char Q", {ofClass(standInChar, 1, 5), goodB},
     "Q must be a real, full, double n-by-n matrix; got a 1-by-5 char array"},
    {"int8 Q", {ofClass(standInInt8, 8, 8), goodB},
     "Q must be a real, full, double n-by-n matrix; got an 8-by-8 int8 matrix"},
    {"uint16 Q", {ofClass(standInUint16, 11, 11), goodB},
     "Q must be a real, full, double n-by-n matrix; got an 11-by-11 uint16 matrix"},
    {"int64 Q", {ofClass(standInInt64, 18, 18), goodB},
     "Q must be a real, full, double n-by-n matrix; got an 18-by-18 int64 matrix"},
    {"cell Q", {ofClass(standInCell, 1, 2), goodB},
     "Q must be a real, full, double n-by-n matrix; got a 1-by-2 cell array"},
    {"struct Q", {ofClass(standInStruct, 1, 1), goodB},
     "Q must be a real, full, double n-by-n matrix; got a 1-by-1 struct array"},
    {"Q beyond 32-bit flat indices", {hollowDoubles(65537, 65537), goodB},
     "Q must be at most 65536-by-65536; got a 65537-by-65537 double matrix"},
    {"Q far too large", {hollowDoubles(80000, 80000), goodB},
     "Q must be at most 65536-by-65536; got an 80000-by-80000 double matrix"},
    // Arrays of more dimensions are not matrices, even where the host's
    // column count (the product of all but the first) would make them look
    // square: they are described by every dimension.
    {"Q in three dimensions", {ofShape(standInDouble, {3, 3, 2}), goodB},
     "Q must be a real, full, double n-by-n matrix; got a 3-by-3-by-2 double array"},
    {"Q of 2-by-1-by-2, square by its column count", {ofShape(standInDouble, {2, 1, 2}), doubles(2, 1, {1, 1})},
     "Q must be a real, full, double n-by-n matrix; got a 2-by-1-by-2 double array"},
    {"int8 Q in four dimensions", {ofShape(standInInt8, {8, 2, 2, 2}), goodB},
     "Q must be a real, full, double n-by-n matrix; got an 8-by-2-by-2-by-2 int8 array"},

    // b: class, shape, number of elements.
    {"b too short", {goodQ, doubles(2, 1)},
     "b must be a real, full, double vector of 3 elements; got a 2-by-1 double matrix"},
    {"b too long", {goodQ, doubles(1, 4)},
     "b must be a real, full, double vector of 3 elements; got a 1-by-4 double matrix"},
    {"b claims a million elements", {goodQ, hollowDoubles(1000000, 1)},
     "b must be a real, full, double vector of 3 elements; got a 1000000-by-1 double matrix"},
    {"b a matrix of n elements", {doubles(4, 4), doubles(2, 2)},
     "b must be a real, full, double vector of 4 elements; got a 2-by-2 double matrix"},
    {"single b", {goodQ, ofClass(standInSingle, 3, 1)},
     "b must be a real, full, double vector of 3 elements; got a 3-by-1 single matrix"},
    {"int32 b", {goodQ, ofClass(standInInt32, 1, 3)},
     "b must be a real, full, double vector of 3 elements; got a 1-by-3 int32 matrix"},
    {"sparse b", {goodQ, sparseDoubles(3, 1)},
     "b must be a real, full, double vector of 3 elements; got a 3-by-1 sparse double matrix"},
    {"complex b", {goodQ, complexDoubles(1, 3)},
     "b must be a real, full, double vector of 3 elements; got a 1-by-3 complex double matrix"},
    {"empty b for one unknown", {doubles(1, 1, {2}), doubles(0, 0)},
     "b must be a real, full, double vector of 1 element; got a 0-by-0 double matrix"},
    {"b for an empty Q", {doubles(0, 0), doubles(1, 1, {1})},
     "b must be a real, full, double vector of 0 elements; got a 1-by-1 double matrix"},
    {"b of 1-by-1-by-3", {goodQ, ofShape(standInDouble, {1, 1, 3}, {1, 2, 3})},
     "b must be a real, full, double vector of 3 elements; got a 1-by-1-by-3 double array"},
    {"b of 3-by-1-by-1-by-2", {doubles(6, 6), ofShape(standInDouble, {3, 1, 1, 2})},
     "b must be a real, full, double vector of 6 elements; got a 3-by-1-by-1-by-2 double array"},
    {"empty b in three dimensions for an empty Q", {doubles(0, 0), ofShape(standInDouble, {0, 0, 2})},
     "b must be a real, full, double vector of 0 elements; got a 0-by-0-by-2 double array"},

    // method: a real numeric scalar.
    {"two methods", {goodQ, goodB, doubles(1, 2, {2, 3})},
     "method must be a real numeric scalar; got a 1-by-2 double matrix"},
    {"empty method", {goodQ, goodB, doubles(0, 0)},
     "method must be a real numeric scalar; got a 0-by-0 double matrix"},
    {"logical method", {goodQ, goodB, ofClass(standInLogical, 1, 1)},
     "method must be a real numeric scalar; got a 1-by-1 logical array"},
    {"char method", {goodQ, goodB, ofClass(standInChar, 1, 1)},
     "method must be a real numeric scalar; got a 1-by-1 char array"},
    {"complex method", {goodQ, goodB, complexDoubles(1, 1)},
     "method must be a real numeric scalar; got a 1-by-1 complex double matrix"},
    {"cell method", {goodQ, goodB, ofClass(standInCell, 1, 1)},
     "method must be a real numeric scalar; got a 1-by-1 cell array"},
    {"empty method in three dimensions", {goodQ, goodB, ofShape(standInDouble, {1, 1, 0})},
     "method must be a real numeric scalar; got a 1-by-1-by-0 double array"},

    // Values without a sound answer. The first non-finite entry of Q is
    // named in column-major order, 1-based.
    {"NaN in Q", {doubles(3, 3, {2, nan, 0, 0, 2, 0, 0, 0, 2}), goodB}, "Q must be finite; got NaN at Q(2,1)"},
    {"Inf in Q", {doubles(3, 3, {2, 0, 0, 0, 2, 0, 0, 0, inf}), goodB}, "Q must be finite; got Inf at Q(3,3)"},
    {"-Inf before NaN in Q", {doubles(3, 3, {2, 0, 0, -inf, 2, 0, 0, 0, nan}), goodB},
     "Q must be finite; got -Inf at Q(1,2)"},
    // The one pass over Q takes eight entries at a time: a culprit in the
    // tail after them, and one behind a larger finite magnitude.
    {"-Inf last in Q", {doubles(5, 5, {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, -inf}), doubles(5, 1, {1, 1, 1, 1, 1})},
     "Q must be finite; got -Inf at Q(5,5)"},
    {"NaN after a huge entry in Q", {doubles(5, 5, {1e300, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, nan, 1, 1, 1, 1, 1, 1, 1, 1, inf, 1, 1, 1, 1}), doubles(5, 1, {1, 1, 1, 1, 1})},
     "Q must be finite; got NaN at Q(2,3)"},
    {"NaN in b", {goodQ, doubles(3, 1, {1, nan, 1})}, "b must be finite; got NaN at b(2)"},
    {"-Inf in b", {goodQ, doubles(1, 3, {1, 1, -inf})}, "b must be finite; got -Inf at b(3)"},
    {"b summing to zero", {goodQ, doubles(3, 1, {1, -1, 0})},
     "b must have a finite, non-zero sum; got sum(b) = 0"},
    {"b of zeros", {goodQ, doubles(3, 1)}, "b must have a finite, non-zero sum; got sum(b) = 0"},
    // 0.1 + 0.2 rounds to the double nearest 0.30000000000000004, and the
    // sum is taken in that order, as the solvers take it.
    {"b summing to zero after rounding", {goodQ, doubles(3, 1, {0.1, 0.2, -0.30000000000000004})},
     "b must have a finite, non-zero sum; got sum(b) = 0"},
    {"b whose sum overflows", {goodQ, doubles(3, 1, {1e308, 1e308, 1})},
     "b must have a finite, non-zero sum; got sum(b) = Inf"},
    {"b whose sum overflows below", {goodQ, doubles(3, 1, {-1e308, -1e308, 1})},
     "b must have a finite, non-zero sum; got sum(b) = -Inf"},
    // A finite, non-zero sum far smaller than the entries: the starting
    // weights b_i / sum(b) overflow. The sum runs in order, so the large
    // entries cancel first and leave the small one.
    {"starting weight overflows", {goodQ, doubles(3, 1, {1e300, -1e300, 1e-300})},
     "b / sum(b) must be finite; got b(1) / sum(b) = 1e+300 / 1e-300 = Inf"},
    {"starting weight overflows below", {goodQ, doubles(3, 1, {1e300, -1e300, -1e-300})},
     "b / sum(b) must be finite; got b(1) / sum(b) = 1e+300 / -1e-300 = -Inf"},
    {"first overflowing weight named", {doubles(4, 4), doubles(4, 1, {2, 1e300, -1e300, 1e-300})},
     "b / sum(b) must be finite; got b(2) / sum(b) = 1e+300 / 1e-300 = Inf"},
    {"subnormal sum", {goodQ, doubles(1, 3, {1, -1, 4.9406564584124654e-324})},
     "b / sum(b) must be finite; got b(1) / sum(b) = 1 / 4.94066e-324 = Inf"},
    // 4 / 2^-1022 = 2^1024, just past the largest double (2 / 2^-1022 is
    // accepted, below).
    {"weight just past the largest double", {goodQ, doubles(3, 1, {4, -4, 0x1p-1022})},
     "b / sum(b) must be finite; got b(1) / sum(b) = 4 / 2.22507e-308 = Inf"},

    // Which check speaks first: counts, then Q, b and method by class and
    // shape, then the values; all before the method code is acted on.
    {"bad count and bad Q", {ofClass(standInSingle, 3, 4)}, "Takes 2-3 input arguments"},
    {"bad Q and bad b", {ofClass(standInSingle, 3, 3), doubles(2, 1)},
     "Q must be a real, full, double n-by-n matrix; got a 3-by-3 single matrix"},
    {"bad b and bad method", {goodQ, doubles(2, 1), doubles(1, 2)},
     "b must be a real, full, double vector of 3 elements; got a 2-by-1 double matrix"},
    {"bad method and NaN in Q", {doubles(3, 3, {nan, 0, 0, 0, 2, 0, 0, 0, 2}), goodB, ofClass(standInChar, 1, 3)},
     "method must be a real numeric scalar; got a 1-by-3 char array"},
    {"NaN in Q and in b", {doubles(3, 3, {nan, 0, 0, 0, 2, 0, 0, 0, 2}), doubles(3, 1, {nan, 1, 1})},
     "Q must be finite; got NaN at Q(1,1)"},
    {"method 1 and NaN in b", {goodQ, doubles(3, 1, {1, 1, nan}), doubles(1, 1, {1})},
     "b must be finite; got NaN at b(3)"},
    {"N-D b and NaN in Q", {doubles(3, 3, {nan, 0, 0, 0, 2, 0, 0, 0, 2}), ofShape(standInDouble, {1, 1, 3})},
     "b must be a real, full, double vector of 3 elements; got a 1-by-1-by-3 double array"},
    {"NaN in Q and overflowing start", {doubles(3, 3, {nan, 0, 0, 0, 2, 0, 0, 0, 2}), doubles(3, 1, {1e300, -1e300, 1e-300})},
     "Q must be finite; got NaN at Q(1,1)"},
    {"method 1 and overflowing start", {goodQ, doubles(3, 1, {1e300, -1e300, 1e-300}), doubles(1, 1, {1})},
     "b / sum(b) must be finite; got b(1) / sum(b) = 1e+300 / 1e-300 = Inf"},
};

class Arguments : public PluginCall {
protected:
    // Runs simplexQP on arguments made as given (and destroyed afterwards).
    static Outcome callWith(const std::vector<ArrayRecipe>& recipes, mxArray* extra = nullptr)
    {
        std::vector<mxArray*> arrays;
        for (const ArrayRecipe& recipe : recipes)
            arrays.push_back(make(recipe));
        if (extra)
            arrays.push_back(extra);
        const Outcome outcome = call(1, std::vector<const mxArray*>(arrays.begin(), arrays.end()));
        for (mxArray* array : arrays)
            mxDestroyArray(array);
        return outcome;
    }

    static std::vector<uint64_t> answerBits(const std::vector<ArrayRecipe>& recipes, mxArray* extra = nullptr)
    {
        const Outcome outcome = callWith(recipes, extra);
        EXPECT_FALSE(outcome.raised) << outcome.message;
        return bitsOf(outcome.x);
    }
};

TEST_F(Arguments, EveryBadCallGivesItsMessageAndChangesNothing)
{
    for (const BadCall& bad : badCalls) {
        bool possible = true;
        for (const ArrayRecipe& recipe : bad.arguments)
            possible = possible && representable(recipe);
        if (!possible)
            continue;
        std::vector<mxArray*> arrays;
        std::vector<std::vector<unsigned char>> before;
        for (const ArrayRecipe& recipe : bad.arguments) {
            arrays.push_back(make(recipe));
            before.push_back(storedBytes(arrays.back()));
        }
        const Outcome outcome = call(1, std::vector<const mxArray*>(arrays.begin(), arrays.end()));
        EXPECT_TRUE(outcome.raised) << bad.what;
        EXPECT_EQ(outcome.message, bad.message) << bad.what;
        for (size_t i = 0; i < arrays.size(); ++i) {
            EXPECT_EQ(storedBytes(arrays[i]), before[i]) << bad.what << ": argument " << i + 1 << " was written";
            mxDestroyArray(arrays[i]);
        }
    }
}

TEST_F(Arguments, WellFormedCallsInEveryAcceptedForm)
{
    const std::vector<double> Q = {4, 1, 1, 3};
    const std::vector<double> b = {1, 2};
    const std::vector<uint64_t> bySMO = bitsOf(solve(literal::SMO, Q, b));
    const std::vector<uint64_t> byMult = bitsOf(solve(literal::multUpdate, Q, b));
    // b as a column or as a row.
    EXPECT_EQ(answerBits({doubles(2, 2, Q), doubles(2, 1, b)}), bySMO);
    EXPECT_EQ(answerBits({doubles(2, 2, Q), doubles(1, 2, b)}), bySMO);
    // The method in any real numeric class, truncated as ever.
    EXPECT_EQ(answerBits({doubles(2, 2, Q), doubles(2, 1, b)}, numericScalar(standInInt32, 3)), byMult);
    EXPECT_EQ(answerBits({doubles(2, 2, Q), doubles(2, 1, b)}, numericScalar(standInUint8, 3)), byMult);
    EXPECT_EQ(answerBits({doubles(2, 2, Q), doubles(2, 1, b)}, numericScalar(standInSingle, 2.5)), bySMO);
    // Negative entries of b are allowed as long as the sum is not zero.
    const std::vector<double> signedB = {2, -0.5};
    EXPECT_EQ(answerBits({doubles(2, 2, Q), doubles(2, 1, signedB)}), bitsOf(solve(literal::SMO, Q, signedB)));
    // A Q or b made with a trailing singleton dimension is two-dimensional.
    EXPECT_EQ(answerBits({ofShape(standInDouble, {2, 2, 1}, Q), ofShape(standInDouble, {2, 1, 1}, b)}), bySMO);
}

TEST_F(Arguments, StartingPointsThatAreFiniteAreSolvedAsEver)
{
    const std::vector<double> Q = {2, 0.5, 0.1, 0.5, 1, 0.2, 0.1, 0.2, 3};
    // Weights of 1e300 and -1e300 are huge but finite: accepted.
    const std::vector<double> hugeStart = {1, -1, 1e-300};
    // The largest finite quotients: DBL_MAX / 1, and 2 / 2^-1022 = 2^1023.
    const std::vector<double> largestStart = {1.7976931348623157e308, -1.7976931348623157e308, 1};
    const std::vector<double> smallestSum = {2, -2, 0x1p-1022};
    for (const std::vector<double>& b : {hugeStart, largestStart, smallestSum}) {
        EXPECT_EQ(answerBits({doubles(3, 3, Q), doubles(3, 1, b)}), bitsOf(solve(literal::SMO, Q, b)));
        EXPECT_EQ(answerBits({doubles(3, 3, Q), doubles(3, 1, b)}, numericScalar(standInDouble, 3)),
                  bitsOf(solve(literal::multUpdate, Q, b)));
    }
}

// SMO leaves a weight that starts below 1e-6 where it is, so a b with
// negative entries can give negative weights; multUpdate zeroes weights at
// or below 1e-6 and rescales. The answers the documentation quotes.
TEST_F(Arguments, NegativeEntriesOfBGiveTheDocumentedAnswers)
{
    const std::vector<double> Q = {1, 0, 0, 1};
    const std::vector<double> b = {2, -1};
    EXPECT_EQ(answerBits({doubles(2, 2, Q), doubles(2, 1, b)}), bitsOf({2, -1}));
    EXPECT_EQ(answerBits({doubles(2, 2, Q), doubles(2, 1, b)}, numericScalar(standInDouble, 3)), bitsOf({1, 0}));

    const std::vector<double> Q3 = {2, 0.5, 0.1, 0.5, 1, 0.2, 0.1, 0.2, 3};
    const std::vector<double> b3 = {1, -0.5, 0.8};
    const Outcome bySMO = callWith({doubles(3, 3, Q3), doubles(3, 1, b3)});
    ASSERT_EQ(bySMO.x.size(), 3u);
    EXPECT_NEAR(bySMO.x[0], 0.9022, 5e-5);
    EXPECT_NEAR(bySMO.x[1], -0.3846, 5e-5);
    EXPECT_NEAR(bySMO.x[2], 0.4824, 5e-5);
    const Outcome byMult = callWith({doubles(3, 3, Q3), doubles(3, 1, b3)}, numericScalar(standInDouble, 3));
    ASSERT_EQ(byMult.x.size(), 3u);
    EXPECT_NEAR(byMult.x[0], 0.6459, 5e-5);
    EXPECT_EQ(byMult.x[1], 0.0);
    EXPECT_NEAR(byMult.x[2], 0.3541, 5e-5);
}

TEST_F(Arguments, EmptyProblemInAnyEmptyShape)
{
    for (const ArrayRecipe& b : {doubles(0, 0), doubles(1, 0), doubles(0, 1), doubles(0, 5)}) {
        for (double method : {2.0, 3.0}) {
            const Outcome outcome = callWith({doubles(0, 0), b, doubles(1, 1, {method})});
            EXPECT_FALSE(outcome.raised) << outcome.message;
            EXPECT_EQ(outcome.rows, 1u);
            EXPECT_EQ(outcome.columns, 0u);
        }
    }
}

}  // namespace
