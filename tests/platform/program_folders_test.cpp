#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/program_folders.h"
#include "temp_folder.h"

namespace velmora {
namespace {

TEST(ProgramFolders, ShippedFilesFillOnlyWhatIsMissing) {
    testing::TTempFolder folder;
    folder.WriteFile("shipped/options.ini", "[Screen1]\n");
    folder.WriteFile("shipped/de/HFM.DAT", "$F001\nText\n");
    folder.WriteFile("home/DATA/options.ini", "[MyScreen]\n");

    EXPECT_TRUE(CopyMissingFiles(folder.Path() / "shipped", folder.Path() / "home/DATA"));

    EXPECT_EQ(folder.ReadFile("home/DATA/options.ini"), "[MyScreen]\n"); // the user's own file stays
    EXPECT_EQ(folder.ReadFile("home/DATA/de/HFM.DAT"), "$F001\nText\n");
}

TEST(ProgramFolders, ShippedDataBesideTheProgramOrUnderTheInstalledShareFolder) {
    testing::TTempFolder folder;
    folder.WriteFile("build/DATA/options.ini", "");
    folder.WriteFile("usr/share/velmora/DATA/options.ini", "");
    folder.WriteFile("both/bin/DATA/options.ini", "");
    folder.WriteFile("both/share/velmora/DATA/options.ini", "");
    folder.WriteFile("bare/bin/velmora", "");
    const std::pair<std::string, std::string> cases[] = {
        {"build", "build/DATA"},
        {"usr/bin", "usr/share/velmora/DATA"},
        {"both/bin", "both/bin/DATA"}, // a copy of its own beside the program comes first
        {"bare/bin", ""},
    };
    for (const auto& [exeFolder, shipped] : cases) {
        const std::filesystem::path expected =
            shipped.empty() ? std::filesystem::path() : folder.Path() / shipped;
        EXPECT_EQ(ShippedDataFolder(folder.Path() / exeFolder), expected) << exeFolder;
    }
}

TEST(ProgramFolders, HomeOptionIsTakenOutOfTheArguments) {
    testing::TTempFolder folder;
    std::string home = (folder.Path() / "elsewhere").string();
    std::string program = "velmora", command = "ident", option = "--home";
    std::vector<char*> argv = {program.data(), option.data(), home.data(), command.data(), nullptr};
    int argc = 4;

    EXPECT_EQ(InitProgramFolder(argc, argv.data()), "");

    EXPECT_EQ(argc, 2);
    EXPECT_STREQ(argv[1], "ident");
    EXPECT_EQ(ProgramFolder(), std::filesystem::path(home));
    EXPECT_TRUE(std::filesystem::is_directory(home));
}

// An empty folder name is refused in both spellings: it would silently mean the executable's folder.
TEST(ProgramFolders, EmptyHomeIsRefused) {
    testing::TTempFolder folder;
    for (std::vector<std::string> words : {std::vector<std::string>{"velmora", "--home", "", "ident"},
                                           std::vector<std::string>{"velmora", "--home=", "ident"}}) {
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        int argc = int(words.size());
        EXPECT_NE(InitProgramFolder(argc, argv.data()), "") << words[1];
        EXPECT_EQ(ProgramFolder(), folder.Path()) << "the folder stays as it was";
    }
}

TEST(ProgramFolders, EnvironmentChoosesTheFolderWhenTheCommandLineDoesNot) {
    testing::TTempFolder folder;
    std::string home = (folder.Path() / "from-env").string();
    setenv("VELMORA_HOME", home.c_str(), 1);
    std::string program = "velmora";
    std::vector<char*> argv = {program.data(), nullptr};
    int argc = 1;

    InitProgramFolder(argc, argv.data());
    unsetenv("VELMORA_HOME");

    EXPECT_EQ(ProgramFolder(), std::filesystem::path(home));
    EXPECT_EQ(SettingsFile().parent_path(), std::filesystem::path(home));
}

} // namespace
} // namespace velmora
