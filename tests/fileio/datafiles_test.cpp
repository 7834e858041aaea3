#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../support/testfiles.h"
#include "fileio/datafiles.h"

namespace {

TEST(DataFiles, TheFirstFolderHoldingTheFileWinsAndTheWorkingDirectoryGivesTheBareName) {
    const std::string base = scratchFolder() + "/datafiles";
    const std::string a = base + "/a", b = base + "/b", c = base + "/c";
    for (const std::string& folder : {base, a, b, c})
        mkdir(folder.c_str(), 0700);
    mkdir((a + "/Texture.png").c_str(), 0700); // a folder of that name is no file
    std::ofstream(b + "/Texture.png") << "b";
    std::ofstream(c + "/Texture.png") << "c";

    EXPECT_EQ(findDataFile("Texture.png", {a, b, c}), b + "/Texture.png");
    EXPECT_EQ(findDataFile("Texture.png", {a}), "");
    EXPECT_EQ(findDataFile("Texture.png", {}), "");

    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(c.c_str()), 0);
    EXPECT_EQ(findDataFile("Texture.png", {"", b}), "Texture.png");
    ASSERT_EQ(chdir(a.c_str()), 0);
    EXPECT_EQ(findDataFile("Texture.png", {"", b}), b + "/Texture.png");
    ASSERT_EQ(chdir(previous), 0);
}

TEST(DataFiles, TheWorkingDirectoryComesFirstAndTheShippedImageIsFoundFromAnywhere) {
    const std::vector<std::string> folders = dataFolders();
    ASSERT_GE(folders.size(), 2u);
    EXPECT_EQ(folders[0], "");
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(scratchFolder().c_str()), 0);
    EXPECT_EQ(folders.back(), MONDREL_SOURCE_DIR "/data");
    // Installed or from the source tree, whichever this machine has first.
    const std::string found = findDataFile("Texture.png", folders);
    EXPECT_FALSE(found.empty());
    EXPECT_NE(found, "Texture.png");
    ASSERT_EQ(chdir(previous), 0);
}

} // namespace
