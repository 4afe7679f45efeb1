// Running a test once for every vector path: a test suite derived from
// OnEveryVectorPath, instantiated with INSTANTIATE_ON_EVERY_VECTOR_PATH,
// runs its tests with GetParam() = each path, and skips (reported as
// skipped, with the reason) the paths this processor cannot run.
#ifndef SIMPLEXQP_TESTS_VECTOR_PATHS_H
#define SIMPLEXQP_TESTS_VECTOR_PATHS_H

#include <string>

#include <gtest/gtest.h>

#include "common/solver_settings.h"
#include "common/vector_path.h"

class OnEveryVectorPath : public ::testing::TestWithParam<VectorPath> {
protected:
    void SetUp() override
    {
        if (GetParam() == VectorPath::avx2 && defaultSettings().path != VectorPath::avx2)
            GTEST_SKIP() << "this processor (or its operating system) does not run AVX2";
    }
    // Settings with this test's path and optional scratch from the system.
    SolverSettings settings() const
    {
        SolverSettings s = defaultSettings();
        s.path = GetParam();
        return s;
    }
};

inline std::string vectorPathTestName(const ::testing::TestParamInfo<VectorPath>& info)
{
    return vectorPathName(info.param);
}

#define INSTANTIATE_ON_EVERY_VECTOR_PATH(suite)                                                        \
    INSTANTIATE_TEST_SUITE_P(Path, suite, ::testing::Values(VectorPath::baseline, VectorPath::avx2), \
                             vectorPathTestName)

#endif
