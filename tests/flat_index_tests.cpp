// Flat indices into Q cannot wrap: the largest problem the plug-in accepts,
// n = 65536, has n*n - 1 = 2^32 - 1 as its last index, and the index is
// computed in size_t, so on 64-bit platforms no 32-bit r, c and n wrap.
#include <cstdint>

#include <gtest/gtest.h>

#include "common/problem.h"

namespace {

TEST(FlatIndex, LargestAcceptedProblemFitsIn32Bits)
{
    EXPECT_EQ(at(65535, 65535, 65536), 4294967295u);
    EXPECT_EQ(at(65535, 0, 65536), 65535u);
    EXPECT_EQ(at(0, 65535, 65536), 4294901760u);
}

TEST(FlatIndex, WiderProblemsDoNotWrapOn64BitPlatforms)
{
    if (sizeof(size_t) < 8)
        GTEST_SKIP() << "size_t is 32 bits here; the plug-in rejects n > 65536";
    // In 32-bit arithmetic 65536 * 65537 wraps to 65536.
    EXPECT_EQ(static_cast<uint64_t>(at(0, 65536, 65537)), 4295032832u);
    EXPECT_EQ(static_cast<uint64_t>(at(UINT32_MAX, UINT32_MAX, UINT32_MAX)), 0xFFFFFFFF00000000u);
}

}  // namespace
