// The i386 stand-in host's mapping of a Windows plug-in: a damaged or
// unbindable image is refused with the reason, never run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin_loader.h"

namespace {

std::vector<unsigned char> readAll(const char* path)
{
    std::vector<unsigned char> bytes;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return bytes;
    int c;
    while ((c = std::fgetc(file)) != EOF)
        bytes.push_back(static_cast<unsigned char>(c));
    std::fclose(file);
    return bytes;
}

// Writes bytes to a file of the test's own and tries to load it.
std::string loadError(const std::vector<unsigned char>& bytes)
{
    const std::string path = ::testing::TempDir() + "windows_image_tests.dll";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return "cannot write " + path;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    LoadedPlugin plugin;
    char error[512] = "";
    if (loadPlugin(path.c_str(), plugin, error, sizeof error)) {
        unloadPlugin(plugin);
        return "";
    }
    return error;
}

class WindowsImage : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* path = std::getenv("SIMPLEXQP_PLUGIN");
        ASSERT_NE(path, nullptr) << "SIMPLEXQP_PLUGIN names the Windows plug-in";
        dll = readAll(path);
        ASSERT_GT(dll.size(), 1024u);
    }

    // Replaces the first occurrence of text in the image with another of the same length.
    bool patch(const std::string& text, const std::string& replacement)
    {
        for (size_t i = 0; i + text.size() <= dll.size(); ++i)
            if (std::equal(text.begin(), text.end(), dll.begin() + i)) {
                std::copy(replacement.begin(), replacement.end(), dll.begin() + i);
                return true;
            }
        return false;
    }

    std::vector<unsigned char> dll;
};

TEST_F(WindowsImage, TheIntactImageLoads)
{
    EXPECT_EQ(loadError(dll), "");
}

TEST_F(WindowsImage, DamagedImagesAreRefused)
{
    EXPECT_NE(loadError(std::vector<unsigned char>(dll.begin(), dll.begin() + 200)).find("not a 32-bit x86 Windows image"),
              std::string::npos);
    std::vector<unsigned char> otherMachine = dll;
    otherMachine[otherMachine[0x3c] + 4] = 0x64;  // 0x8664: x86-64
    otherMachine[otherMachine[0x3c] + 5] = 0x86;
    EXPECT_NE(loadError(otherMachine).find("not a 32-bit x86 Windows image"), std::string::npos);
    // Headers cut short; then headers whole and the sections cut off.
    uint32_t pe, headerBytes;
    std::memcpy(&pe, &dll[0x3c], sizeof pe);
    std::memcpy(&headerBytes, &dll[pe + 24 + 60], sizeof headerBytes);
    EXPECT_NE(loadError(std::vector<unsigned char>(dll.begin(), dll.begin() + headerBytes - 8)).find("malformed headers"),
              std::string::npos);
    EXPECT_NE(loadError(std::vector<unsigned char>(dll.begin(), dll.begin() + headerBytes + 16)).find("section 0"),
              std::string::npos);
}

TEST_F(WindowsImage, AnImportTheHostLacksIsNamed)
{
    ASSERT_TRUE(patch(std::string("mxGetScalar\0", 12), std::string("mxGetScalaX\0", 12)));
    EXPECT_EQ(loadError(dll), "libmx.dll has no mxGetScalaX");
}

TEST_F(WindowsImage, AnImageWithoutTheEntryPointIsRefused)
{
    ASSERT_TRUE(patch(std::string("mexFunction\0", 12), std::string("mexFunctioN\0", 12)));
    EXPECT_NE(loadError(dll).find("has no mexFunction"), std::string::npos);
}

}  // namespace
