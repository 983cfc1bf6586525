#include "Library.h"
#include "TestFonts.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using testfonts::Quote;
using testfonts::TempDir;

namespace {

// The probe program, started from a folder where a library was planted, with the real
// library beside the probe or not.
class PlantedLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_dir.File("bin"));
        std::filesystem::create_directories(m_dir.File("work"));
        std::filesystem::copy_file(LIBRARY_PROBE, m_dir.File("bin/probe"));
        std::filesystem::copy_file(PLANTED_LIBRARY, m_dir.File("work/libT2embed.so"));
    }
    std::string Start(const std::string& wrapper = "")
    {
        const std::string line = "cd " + Quote(m_dir.File("work")) + " && " + wrapper + Quote(m_dir.File("bin/probe"));
        return testfonts::Run(line).output;
    }
    bool PlantedRan() const { return testfonts::Exists(m_dir.File("work/planted-library-ran")); }

    TempDir m_dir;
};

TEST_F(PlantedLibrary, IsNeverLoadedFromTheCurrentFolder)
{
    EXPECT_EQ(Start(), "nothing loaded\n");
    EXPECT_FALSE(PlantedRan());
    std::filesystem::copy_file(REAL_LIBRARY, m_dir.File("bin/libT2embed.so"));
    EXPECT_EQ(Start(), "loaded\n") << "the library beside the program is the one loaded";
    EXPECT_FALSE(PlantedRan());
}

TEST_F(PlantedLibrary, NothingIsLoadedWhenTheProgramsFolderCannotBeKnown)
{
    if (::geteuid() != 0) GTEST_SKIP() << "hiding /proc needs a mount namespace of our own";
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's run-time cannot start without /proc";
#endif
    std::filesystem::copy_file(REAL_LIBRARY, m_dir.File("bin/libT2embed.so"));
    // Without /proc the executable's path cannot be read at all.
    const std::string hidden = "unshare -m --propagation private sh -c 'mount -t tmpfs none /proc && exec \"$0\"' ";
    EXPECT_EQ(Start(hidden), "nothing loaded\n");
    EXPECT_FALSE(PlantedRan());
    EXPECT_TRUE(LibraryFilePath(u"T2embed.dll").find("/libT2embed.so") != std::string::npos) << "here it can";
}

} // namespace
