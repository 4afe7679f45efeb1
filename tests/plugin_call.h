// The built plug-in file, loaded by path and called through the stand-in
// host as a host calls it. Every call also checks that nothing outlived it:
// no scratch block, no array but the result.
#ifndef SIMPLEXQP_TESTS_PLUGIN_CALL_H
#define SIMPLEXQP_TESTS_PLUGIN_CALL_H

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin_loader.h"

class PluginCall : public ::testing::Test {
protected:
    // The plug-in built beside the tests, or the one SIMPLEXQP_PLUGIN names
    // (the i386 build runs the Windows plug-in this way).
    static void SetUpTestSuite()
    {
        const char* path = std::getenv("SIMPLEXQP_PLUGIN");
        char error[512];
        ASSERT_TRUE(loadPlugin(path ? path : SIMPLEXQP_PLUGIN_PATH, plugin, error, sizeof error)) << error;
    }
    static void TearDownTestSuite() { unloadPlugin(plugin); }

    static bool isWindowsPlugin()
    {
#ifdef _WIN32
        return true;
#else
        return plugin.windowsImage;
#endif
    }

    // What one call gave: the error text, or the result's shape and data.
    struct Outcome {
        bool raised;
        std::string message;
        size_t rows, columns;
        std::vector<double> x;
    };

    static Outcome call(int nlhs, std::vector<const mxArray*> args)
    {
        const size_t blocksBefore = standInLiveBlocks();
        const size_t arraysBefore = standInLiveArrays();
        mxArray* results[4];
        char message[512];
        Outcome outcome{};
        outcome.raised = standInCall(plugin.entry, nlhs, results, static_cast<int>(args.size()), args.data(),
                                     message, sizeof message) != 0;
        if (outcome.raised) {
            outcome.message = message;
        } else if (nlhs >= 1 && results[0]) {
            outcome.rows = mxGetM(results[0]);
            outcome.columns = mxGetN(results[0]);
            const double* x = mxGetPr(results[0]);
            outcome.x.assign(x, x + outcome.columns * outcome.rows);
            mxDestroyArray(results[0]);
        }
        EXPECT_EQ(standInLiveBlocks(), blocksBefore) << "scratch left behind";
        EXPECT_EQ(standInLiveArrays(), arraysBefore) << "arrays left behind";
        return outcome;
    }

    static inline LoadedPlugin plugin;
};

#endif
