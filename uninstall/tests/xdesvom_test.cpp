// The clean-up program as RunOnce starts it: one path, a folder tree or a file.
#include "testing/kittest.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(Xdesvom, RemovesAFolderTreeOrAFileAndAlwaysEndsWithZero)
{
    const std::string raiz = kittest::MachineDir() + "/program_files/Nuv Dax";
    fs::create_directories(raiz + "/A/B");
    kittest::WriteHostFile(raiz + "/A/B/uno.txt", "1");
    kittest::WriteHostFile(raiz + "/A/dos.txt", "2");
    kittest::WriteHostFile(raiz + "/tres.ini", "3");
    // The folder's name has a blank: the command line brings it in quotes.
    EXPECT_EQ(kittest::Run("xdesvom", {raiz + "\\A"}), 0);
    EXPECT_FALSE(fs::exists(raiz + "/A"));
    EXPECT_TRUE(fs::exists(raiz + "/tres.ini"));
    EXPECT_EQ(kittest::Run("xdesvom", {raiz + "\\tres.ini"}), 0);
    EXPECT_FALSE(fs::exists(raiz + "/tres.ini"));
    // Nothing there, or nothing given: still 0.
    EXPECT_EQ(kittest::Run("xdesvom", {raiz + "\\tres.ini"}), 0);
    EXPECT_EQ(kittest::Run("xdesvom", {}), 0);
}
