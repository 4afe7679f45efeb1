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
    // The 32-bit interface's view of the same shape, as the 64-bit MATLAB
    // builds read it.
    ASSERT_EQ(mxGetNumberOfDimensions_700(cube), 3);
    EXPECT_EQ(mxGetDimensions_700(cube)[0], 3);
    EXPECT_EQ(mxGetDimensions_700(cube)[2], 2);
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
    EXPECT_EQ(mxGetNumberOfDimensions_700(plain), 2);
    EXPECT_EQ(mxGetDimensions_700(plain)[1], 7);

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

namespace {

// A second result the way simplexQPopt makes it, then the error a call can
// still raise afterwards: the host must destroy the struct and every value
// set into it.
void returnsAStructThenFails(int, mxArray* plhs[], int, const mxArray*[])
{
    const char* fields[] = {"a", "b"};
    plhs[0] = mxCreateDoubleScalar(1.0);
    plhs[1] = mxCreateStructMatrix(1, 1, 2, fields);
    mxSetField(plhs[1], 0, "a", mxCreateDoubleScalar(2.5));
    mxSetField(plhs[1], 0, "b", mxCreateLogicalScalar(true));
    mxSetField(plhs[1], 0, "b", mxCreateLogicalScalar(false));  // replaces, and destroys, the first
    mexErrMsgTxt("after the struct");
}

void warnsTwice(int, mxArray*[], int, const mxArray*[])
{
    mexWarnMsgIdAndTxt("test:first", "plain");
    mexWarnMsgIdAndTxt("test:second", "gap %g above tol %g after %.0f steps", 0.5, 0.25, 7.0);
}

}  // namespace

TEST_F(StandIn, StructResultsOwnTheirFieldsAndWarningsAreKept)
{
    const size_t arrays = standInLiveArrays();
    mxArray* results[2];
    char message[64];
    ASSERT_EQ(standInCall(returnsAStructThenFails, 2, results, 0, nullptr, message, sizeof message), 1);
    EXPECT_STREQ(message, "after the struct");
    EXPECT_EQ(standInLiveArrays(), arrays);

    const char* fields[] = {"objective", "converged"};
    mxArray* info = mxCreateStructMatrix_700(1, 1, 2, fields);
    mxSetField_700(info, 0, "converged", mxCreateLogicalScalar(true));
    ASSERT_EQ(standInFieldCount(info), 2);
    EXPECT_STREQ(standInFieldName(info, 1), "converged");
    EXPECT_EQ(standInGetField(info, 0, "objective"), nullptr);
    EXPECT_STREQ(mxGetClassName(standInGetField(info, 0, "converged")), "logical");
    EXPECT_EQ(mxGetScalar(standInGetField(info, 0, "converged")), 1.0);
    EXPECT_EQ(standInGetField(info, 0, "missing"), nullptr);
    mxDestroyArray(info);
    EXPECT_EQ(standInLiveArrays(), arrays);

    const size_t warnings = standInWarningCount();
    ASSERT_EQ(standInCall(warnsTwice, 1, results, 0, nullptr, message, sizeof message), 0);
    EXPECT_EQ(standInWarningCount(), warnings + 2);
    EXPECT_STREQ(standInLastWarningId(), "test:second");
    EXPECT_STREQ(standInLastWarningText(), "gap 0.5 above tol 0.25 after 7 steps");
}
