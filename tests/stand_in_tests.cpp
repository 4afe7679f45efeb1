// The stand-in host catches what a misbehaving plug-in does: writing to its
// arguments, reading past an array's storage, leaving scratch or arrays
// behind. The plug-in's own tests rely on this to prove it does none of it.
#include <vector>

#include <gtest/gtest.h>

#include "stand_in.h"

namespace {

class StandIn : public ::testing::Test {
protected:
    static int callWith(MexEntry entry, const std::vector<const mxArray*>& args)
    {
        mxArray* results[1];
        char message[256];
        return standInCall(entry, 1, results, static_cast<int>(args.size()),
                           const_cast<const mxArray**>(args.data()), message, sizeof message);
    }
};

double sink(const double* data, size_t index)
{
    return static_cast<const volatile double*>(data)[index];
}

void readsItsArgument(int, mxArray*[], int, const mxArray* prhs[])
{
    sink(mxGetPr(prhs[0]), 0);
}

void writesItsArgument(int, mxArray*[], int, const mxArray* prhs[])
{
    mxGetPr(prhs[0])[0] = 1.0;
}

void raisesAfterTakingScratch(int, mxArray* plhs[], int, const mxArray*[])
{
    mxMalloc(64);
    plhs[0] = mxCreateDoubleMatrix(1, 3, mxREAL);
    mexErrMsgTxt("failed");
}

mxArray* stray = nullptr;  // kept only so that the test can clean up

void leavesAStrayArray(int, mxArray* plhs[], int, const mxArray*[])
{
    plhs[0] = mxCreateDoubleMatrix(1, 1, mxREAL);
    stray = mxCreateDoubleMatrix(2, 2, mxREAL);
}

TEST_F(StandIn, ArgumentsAreReadOnlyDuringACallOnly)
{
    mxArray* a = standInCreateDouble(2, 2, nullptr);
    EXPECT_EQ(callWith(readsItsArgument, {a}), 0);
    EXPECT_DEATH(callWith(writesItsArgument, {a}), "");
    // Writable again afterwards, whether the call returned or raised.
    mxGetPr(a)[0] = 2.0;
    EXPECT_EQ(callWith(raisesAfterTakingScratch, {a}), 1);
    mxGetPr(a)[3] = 3.0;
    EXPECT_EQ(mxGetPr(a)[0] + mxGetPr(a)[3], 5.0);
    mxDestroyArray(a);
}

TEST_F(StandIn, ReadingPastWhatAnArrayStoresFaults)
{
    mxArray* column = standInCreateDouble(3, 1, nullptr);
    EXPECT_EQ(sink(mxGetPr(column), 2), 0.0);
    EXPECT_DEATH(sink(mxGetPr(column), 3), "");

    // A sparse array stores its capacity, at least one element, not m*n.
    mxArray* sparse = standInCreateArray(standInDouble, 3, 3, false, true, 2);
    EXPECT_EQ(standInStoredBytes(sparse), 2 * sizeof(double));
    EXPECT_DEATH(sink(mxGetPr(sparse), 2), "");
    mxArray* emptySparse = standInCreateArray(standInDouble, 4, 4, false, true, 0);
    EXPECT_EQ(sink(mxGetPr(emptySparse), 0), 0.0);
    EXPECT_DEATH(sink(mxGetPr(emptySparse), 1), "");

    // A single array read as doubles runs out at half the elements.
    mxArray* single = standInCreateArray(standInSingle, 2, 2, false, false, 0);
    EXPECT_DEATH(sink(mxGetPr(single), 2), "");

    mxArray* hollow = standInCreateHollow(standInDouble, 50000, 50000);
    EXPECT_EQ(mxGetNumberOfElements(hollow), 2500000000u);
    EXPECT_DEATH(sink(mxGetPr(hollow), 0), "");

    for (mxArray* array : {column, sparse, emptySparse, single, hollow})
        mxDestroyArray(array);
}

// Arrays of more than two dimensions report them as a host does: all of
// them, mxGetN the product of all but the first, trailing singletons beyond
// the second dropped, and storage for every element.
TEST_F(StandIn, ArraysOfMoreDimensions)
{
    const size_t shape[] = {3, 3, 2};
    mxArray* cube = standInCreateNumericArray(standInDouble, 3, shape, false);
    ASSERT_EQ(mxGetNumberOfDimensions(cube), 3u);
    EXPECT_EQ(mxGetDimensions(cube)[0], 3u);
    EXPECT_EQ(mxGetDimensions(cube)[1], 3u);
    EXPECT_EQ(mxGetDimensions(cube)[2], 2u);
    EXPECT_EQ(mxGetM(cube), 3u);
    EXPECT_EQ(mxGetN(cube), 6u);
    EXPECT_EQ(mxGetNumberOfElements(cube), 18u);
    EXPECT_EQ(sink(mxGetPr(cube), 17), 0.0);
    EXPECT_DEATH(sink(mxGetPr(cube), 18), "");

    const size_t trailingOnes[] = {2, 4, 1, 1};
    mxArray* matrix = standInCreateNumericArray(standInInt8, 4, trailingOnes, false);
    EXPECT_EQ(mxGetNumberOfDimensions(matrix), 2u);
    EXPECT_EQ(mxGetN(matrix), 4u);

    const size_t one[] = {5};
    mxArray* column = standInCreateNumericArray(standInDouble, 1, one, true);
    EXPECT_EQ(mxGetNumberOfDimensions(column), 2u);
    EXPECT_EQ(mxGetDimensions(column)[1], 1u);
    EXPECT_TRUE(mxIsComplex(column));

    // Ordinary arrays are two-dimensional.
    mxArray* plain = standInCreateDouble(2, 7, nullptr);
    EXPECT_EQ(mxGetNumberOfDimensions(plain), 2u);
    EXPECT_EQ(mxGetDimensions(plain)[1], 7u);

    for (mxArray* array : {cube, matrix, column, plain})
        mxDestroyArray(array);
}

TEST_F(StandIn, CountsWhatACallLeavesBehind)
{
    const size_t blocks = standInLiveBlocks();
    const size_t arrays = standInLiveArrays();
    // An error releases the call's scratch and its results, as a host does.
    EXPECT_EQ(callWith(raisesAfterTakingScratch, {}), 1);
    EXPECT_EQ(standInLiveBlocks(), blocks);
    EXPECT_EQ(standInLiveArrays(), arrays);
    // An array neither returned nor destroyed shows in the count.
    mxArray* results[1];
    char message[64];
    ASSERT_EQ(standInCall(leavesAStrayArray, 1, results, 0, nullptr, message, sizeof message), 0);
    EXPECT_EQ(standInLiveArrays(), arrays + 2);
    mxDestroyArray(results[0]);
    mxDestroyArray(stray);
    EXPECT_EQ(standInLiveArrays(), arrays);
}

}  // namespace
