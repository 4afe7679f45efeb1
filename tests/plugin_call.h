// The built plug-in file, loaded by path and called through the stand-in
// host as a host calls it. Every call also checks that nothing outlived it:
// no scratch block, no array but the result.
#ifndef SIMPLEXQP_TESTS_PLUGIN_CALL_H
#define SIMPLEXQP_TESTS_PLUGIN_CALL_H

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "float_modes.h"
#include "plugin_loader.h"

#ifndef SIMPLEXQP_PLUGIN_VARIABLE
#define SIMPLEXQP_PLUGIN_VARIABLE "SIMPLEXQP_PLUGIN"
#endif

class PluginCall : public ::testing::Test {
protected:
    // The plug-in built beside the tests, or the one the environment
    // variable SIMPLEXQP_PLUGIN_VARIABLE names (the i386 build runs the
    // Windows plug-ins this way).
    static void SetUpTestSuite()
    {
        const char* path = std::getenv(SIMPLEXQP_PLUGIN_VARIABLE);
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

    // Linux hosts ask for the interface version; the Windows plug-ins
    // export mexFunction alone.
    static void expectInterfaceVersion()
    {
        if (isWindowsPlugin()) {
            EXPECT_EQ(plugin.version, nullptr);
            return;
        }
        ASSERT_NE(plugin.version, nullptr);
        EXPECT_STREQ(plugin.version(), "MATLAB R14 native");
    }

    // One field of a struct result: its name, class and first value, and
    // for a double field its shape and every value.
    struct Field {
        std::string name, className;
        double value;
        size_t rows, columns;
        std::vector<double> values;
    };

    // What one call gave: the error text, or the result's shape and data,
    // and the second result's shape and fields when there was one.
    struct Outcome {
        bool raised;
        std::string message;
        size_t rows, columns;
        std::vector<double> x;
        bool second;
        size_t secondRows, secondColumns;
        std::vector<Field> fields;
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
        } else if (results[0]) {  // with nlhs = 0 a host still takes the first result
            outcome.rows = mxGetM(results[0]);
            outcome.columns = mxGetN(results[0]);
            const double* x = mxGetPr(results[0]);
            outcome.x.assign(x, x + outcome.columns * outcome.rows);
            mxDestroyArray(results[0]);
        }
        if (!outcome.raised && nlhs >= 2 && results[1]) {
            outcome.second = true;
            outcome.secondRows = mxGetM(results[1]);
            outcome.secondColumns = mxGetN(results[1]);
            for (int f = 0; f < standInFieldCount(results[1]); ++f) {
                const char* name = standInFieldName(results[1], f);
                const mxArray* value = standInGetField(results[1], 0, name);
                Field field{name, value ? mxGetClassName(value) : "unset", 0.0, 0, 0, {}};
                if (value) {
                    field.rows = mxGetM(value);
                    field.columns = mxGetN(value);
                    field.value = field.rows && field.columns ? mxGetScalar(value) : 0.0;
                    if (mxIsDouble(value))
                        field.values.assign(mxGetPr(value), mxGetPr(value) + field.rows * field.columns);
                }
                outcome.fields.push_back(field);
            }
            mxDestroyArray(results[1]);
        }
        EXPECT_EQ(standInLiveBlocks(), blocksBefore) << "scratch left behind";
        EXPECT_EQ(standInLiveArrays(), arraysBefore) << "arrays left behind";
        return outcome;
    }

    // What the plug-ins printed since the stand-in host's last clear, by line.
    static std::vector<std::string> printedLines()
    {
        std::vector<std::string> lines;
        std::istringstream text(standInPrinted());
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }

    // A real host raises an error when its memory runs out (in mxMalloc or
    // in creating an array), and the call never comes back. Runs solve with
    // the host refusing the plug-in's first request for memory, then its
    // second, and so on until a run gets all it asks for, in each
    // floating-point mode a host may have set: each refusal must reach the
    // caller as the host's error, in the caller's mode. Returns how many
    // requests were refused.
    template <typename Solve>
    static size_t expectTheModeBackWhenMemoryRunsOut(Solve solve)
    {
        const ControlWords standard = readControlWords();
        size_t refused = 0;
        for (size_t given = 0; given < 100; ++given) {
            bool ranOut = false;
            for (const FloatMode& mode : hostFloatModes()) {
                writeControlWords(mode.words);
                standInRunOutOfMemoryAfter(given, mexErrMsgTxt);
                const Outcome outcome = solve();
                standInRunOutOfMemoryAfter(0, nullptr);
                const ControlWords after = readControlWords();
                writeControlWords(standard);
                ranOut = outcome.raised;
                if (outcome.raised) {
                    EXPECT_EQ(outcome.message, "stand-in host: out of memory") << "at request " << given + 1;
                }
                EXPECT_TRUE(after == mode.words) << mode.name << " not restored when request " << given + 1
                                                 << (outcome.raised ? " was refused" : " was the last");
            }
            if (!ranOut)
                return refused;
            ++refused;
        }
        ADD_FAILURE() << "still asking for memory after 100 requests";
        return refused;
    }

    static inline LoadedPlugin plugin;
};

#endif
