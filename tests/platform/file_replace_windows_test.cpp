// The Windows half of the INI saves: a file replaced whole over an existing one (MoveFileExW), its stamp
// changing with it, and the copies of interrupted saves cleared when their process no longer runs.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/file_replace.h"
#include "platform/ini_file.h"
#include "temp_folder.h"

namespace velmora {
namespace {

TEST(FileReplaceWindows, ReplacesAnExistingFileAndItsStampFollows) {
    testing::TTempFolder folder;
    const auto file = folder.WriteFile("velmora.ini", "[S]\r\nk=1\r\n");
    const TFileStamp before = FileStamp(file);
    ASSERT_TRUE(before.Exists);

    ASSERT_TRUE(ReplaceFileContents(file, "[S]\r\nk=22\r\n"));
    EXPECT_EQ(folder.ReadFile("velmora.ini"), "[S]\r\nk=22\r\n") << "bytes as given, no line ends added";
    const TFileStamp after = FileStamp(file);
    EXPECT_TRUE(after.Exists);
    EXPECT_NE(after, before);
    EXPECT_FALSE(FileStamp(folder.Path() / "missing.ini").Exists);
}

TEST(FileReplaceWindows, ReplacingIntoAMissingFolderFailsAndLeavesNothing) {
    testing::TTempFolder folder;
    EXPECT_FALSE(ReplaceFileContents(folder.Path() / "no" / "x.ini", "k=1"));
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "no"));
}

TEST(FileReplaceWindows, SaveRemovesTheCopiesOfProcessesThatNoLongerRun) {
    testing::TTempFolder folder;
    auto file = folder.WriteFile("velmora.ini", "[S]\nk=1\n");
    const std::string stale = ".velmora.ini.999999999.0.tmp";
    const std::string own = ".velmora.ini." + std::to_string(GetCurrentProcessId()) + ".7.tmp";
    for (const std::string& name : {stale, own})
        folder.WriteFile(name, "[S]\nk=0\n");
    TIniFile ini(file);
    ASSERT_TRUE(ini.WriteString("S", "k", "2"));
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / stale));
    EXPECT_TRUE(std::filesystem::exists(folder.Path() / own));
    EXPECT_EQ(ini.ReadString("S", "k", ""), "2");
}

} // namespace
} // namespace velmora
