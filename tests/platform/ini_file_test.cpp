#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

#include "platform/ini_file.h"
#include "platform/text_encoding.h"
#include "temp_folder.h"

namespace velmora {
namespace {

const std::string ReadingFixture = "orphan=before any section\n"
                                   "[Options]\n"
                                   "Port = COM3  \n"
                                   "port=COM9\n"
                                   "this line means nothing\n"
                                   ";Baud=1\n"
                                   "Quoted=\"  spaced  \"\n"
                                   "Single='x'\n"
                                   "Lone=\"x\n"
                                   "Empty=\n"
                                   "=no name\n"
                                   "[Опции]\n"
                                   "Ключ=значение\n"
                                   "[OPTIONS]\n"
                                   "Late=second section of the same name is not read\n";

TEST(IniFile, ReadsLikeTheProfileApi) {
    testing::TTempFolder folder;
    TIniFile ini(folder.WriteFile("read.ini", ReadingFixture));
    struct TCase {
        std::string Section, Key, Expected;
    };
    const TCase cases[] = {
        {"Options", "Port", "COM3"},     // trimmed; the first of two spellings wins
        {"OPTIONS", "PORT", "COM3"},     // names match in any case
        {" options ", " port ", "COM3"}, // and the caller's blanks do not matter
        {"Options", "Quoted", "  spaced  "},
        {"Options", "Single", "x"},
        {"Options", "Lone", "\"x"},
        {"Options", "Empty", ""},
        {"Options", ";Baud", "-"}, // a comment is not a key
        {"Options", "Late", "-"},  // only the first section of a name counts
        {"Options", "orphan", "-"},
        {"оПЦИИ", "КЛЮЧ", "значение"}, // Cyrillic names match in any case too
        {"Missing", "Port", "-"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ini.ReadString(c.Section, c.Key, "-"), c.Expected) << c.Section << "/" << c.Key;

    EXPECT_TRUE(ini.KeyExists("options", "EMPTY"));
    EXPECT_FALSE(ini.KeyExists("Options", "this line means nothing"));
    EXPECT_TRUE(ini.SectionExists("опции"));
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Options", "Опции"}));
    EXPECT_EQ(ini.ReadSection("options"),
              (std::vector<std::string>{"Port", "Quoted", "Single", "Lone", "Empty"}));
    EXPECT_EQ(ini.ReadSectionValues("Опции"), (std::vector<std::string>{"Ключ=значение"}));
}

TEST(IniFile, ReadsNumbersAndFlags) {
    testing::TTempFolder folder;
    constexpr int Default = -1; // for Flag: ReadBool gives its default
    struct TCase {
        std::string Value;
        int Integer; // default 77
        int Flag;
        double Float; // default 0.5
    };
    const TCase cases[] = {
        {"12", 12, 1, 12.0},
        {"-7", -7, 1, -7.0},
        {"+3", 3, 1, 3.0},
        {"0", 0, 0, 0.0},
        {"12 ms", 12, 1, 0.5},
        {"0x1F", 31, 1, 0.5},
        {"0XFFFFFFFF", -1, 1, 0.5},
        {"-0x10", -16, 1, 0.5},
        {"0x", 0, 0, 0.5},
        {"2147483647", INT_MAX, 1, 2147483647.0},
        {"-2147483648", INT_MIN, 1, -2147483648.0},
        {"2147483648", 77, Default, 2147483648.0},
        {"0x100000000", 77, Default, 0.5},
        {"--5", 77, Default, 0.5},
        {"1,25", 1, 1, 1.25},
        {"1.25", 1, 1, 1.25},
        {"abc", 77, Default, 0.5},
        {"", 77, Default, 0.5},
        {"No", 77, 0, 0.5},
        {"off", 77, 0, 0.5},
        {"TRUE", 77, 1, 0.5},
        {"nan", 77, Default, 0.5},
    };
    TIniFile ini(folder.Path() / "numbers.ini");
    for (const TCase& c : cases) {
        ASSERT_TRUE(ini.WriteString("N", "V", c.Value));
        EXPECT_EQ(ini.ReadInteger("N", "V", 77), c.Integer) << c.Value;
        EXPECT_EQ(ini.ReadBool("N", "V", true), c.Flag == Default || c.Flag == 1) << c.Value;
        EXPECT_EQ(ini.ReadBool("N", "V", false), c.Flag == 1) << c.Value;
        EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "V", 0.5), c.Float) << c.Value;
    }
    EXPECT_EQ(ini.ReadInteger("N", "Missing", 77), 77);
    EXPECT_TRUE(ini.ReadBool("N", "Missing", true));
}

TEST(IniFile, WriteChangesOnlyItsLineAndKeepsCrLf) {
    testing::TTempFolder folder;
    const std::string before = "; settings\r\n"
                               "[OPTIONS]\r\n"
                               "  Port = COM3 ; old\r\n"
                               "garbage without equals\r\n"
                               "PORT=COM9\r\n"
                               "Blank=\r\n"
                               "\r\n"
                               "[GRAPH]\r\n"
                               "Color=1\r\n"
                               "\r\n";
    auto file = folder.WriteFile("set.ini", before);
    TIniFile ini(file);
    ASSERT_TRUE(ini.WriteString("options", "port", "COM12"));
    ASSERT_TRUE(ini.WriteString("Options", "Blank", "filled"));
    ASSERT_TRUE(ini.WriteInteger("OPTIONS", "CONNECTLOST_TIME", 3000));
    ASSERT_TRUE(ini.WriteBool("graph", "Visible", true));
    EXPECT_EQ(folder.ReadFile("set.ini"), "; settings\r\n"
                                          "[OPTIONS]\r\n"
                                          "  Port = COM12\r\n"
                                          "garbage without equals\r\n"
                                          "PORT=COM9\r\n"
                                          "Blank=filled\r\n"
                                          "CONNECTLOST_TIME=3000\r\n"
                                          "\r\n"
                                          "[GRAPH]\r\n"
                                          "Color=1\r\n"
                                          "Visible=1\r\n"
                                          "\r\n");
    EXPECT_EQ(ini.ReadString("OPTIONS", "Port", ""), "COM12");
}

TEST(IniFile, CreatesMissingFileAndSections) {
    testing::TTempFolder folder;
    TIniFile fresh(folder.Path() / "DATA" / "new.ini");
    ASSERT_TRUE(fresh.WriteString("A", "x", "1"));
    ASSERT_TRUE(fresh.WriteString("B", "y", "Привет"));
    EXPECT_EQ(folder.ReadFile("DATA/new.ini"), "[A]\nx=1\n\n[B]\ny=Привет\n");

    // A last line without its line end gets one before the new section.
    auto file = folder.WriteFile("tail.ini", "[A]\r\nx=1");
    TIniFile tail(file);
    ASSERT_TRUE(tail.WriteString("A", "y", "2"));
    ASSERT_TRUE(tail.WriteString("B", "z", "3"));
    EXPECT_EQ(folder.ReadFile("tail.ini"), "[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nz=3\r\n");
}

TEST(IniFile, Cp1251FileStaysCp1251) {
    testing::TTempFolder folder;
    // "[Экран]\r\nИмя=Обороты\r\n" in Windows-1251.
    const std::string before = "[\xDD\xEA\xF0\xE0\xED]\r\n\xC8\xEC\xFF=\xCE\xE1\xEE\xF0\xEE\xF2\xFB\r\n";
    auto file = folder.WriteFile("screens.ini", before);
    TIniFile ini(file);
    EXPECT_EQ(ini.ReadString("экран", "ИМЯ", ""), "Обороты");
    ASSERT_TRUE(ini.WriteString("Экран", "Цвет", "Жёлтый"));
    EXPECT_EQ(folder.ReadFile("screens.ini"), before + Utf8ToCp1251("Цвет=Жёлтый") + "\r\n");
    EXPECT_EQ(ini.ReadString("Экран", "Цвет", ""), "Жёлтый");
}

TEST(IniFile, MarkedUtf8FileKeepsItsMark) {
    testing::TTempFolder folder;
    auto file = folder.WriteFile("bom.ini", "\xEF\xBB\xBF[S]\nk = 1\n");
    TIniFile ini(file);
    EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{"S"});
    ASSERT_TRUE(ini.WriteString("S", "k", "Да"));
    EXPECT_EQ(folder.ReadFile("bom.ini"), "\xEF\xBB\xBF[S]\nk = Да\n");
}

TEST(IniFile, TwoObjectsOnOneFileSeeEachOthersWrites) {
    testing::TTempFolder folder;
    TIniFile first(folder.Path() / "shared.ini");
    TIniFile second(folder.Path() / "shared.ini");
    ASSERT_TRUE(first.WriteString("S", "K", "1"));
    EXPECT_EQ(second.ReadString("S", "K", ""), "1");
    ASSERT_TRUE(second.WriteString("S", "K", "2"));
    EXPECT_EQ(first.ReadString("S", "K", ""), "2");

    // Writers in two threads, one object each: no write is lost.
    auto writer = [&](const std::string& prefix) {
        TIniFile own(folder.Path() / "shared.ini");
        for (int i = 0; i < 40; ++i)
            own.WriteInteger("S", prefix + std::to_string(i), i);
    };
    std::thread a(writer, "a"), b(writer, "b");
    a.join();
    b.join();
    EXPECT_EQ(first.ReadSection("S").size(), 81u);
}

TEST(IniFile, WritesThroughASymbolicLink) {
    testing::TTempFolder folder;
    auto target = folder.WriteFile("real/target.ini", "[S]\nk=1\n");
    std::filesystem::create_symlink(target, folder.Path() / "link.ini");
    TIniFile ini(folder.Path() / "link.ini");
    ASSERT_TRUE(ini.WriteString("S", "k", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(folder.Path() / "link.ini"));
    EXPECT_EQ(folder.ReadFile("real/target.ini"), "[S]\nk=2\n");
}

TEST(IniFile, EraseSectionAndDeleteKeyRemoveEveryCopy) {
    testing::TTempFolder folder;
    auto file = folder.WriteFile("erase.ini", "[A]\nk=1\nK=2\nj=3\n[B]\nk=4\n[a]\nk=5\n");
    TIniFile ini(file);
    ASSERT_TRUE(ini.DeleteKey("a", "k"));
    EXPECT_EQ(folder.ReadFile("erase.ini"), "[A]\nj=3\n[B]\nk=4\n[a]\nk=5\n");
    ASSERT_TRUE(ini.EraseSection("A"));
    EXPECT_EQ(folder.ReadFile("erase.ini"), "[B]\nk=4\n");
    EXPECT_TRUE(ini.EraseSection("missing"));
    EXPECT_EQ(folder.ReadFile("erase.ini"), "[B]\nk=4\n");
}

TEST(IniFile, RefusesEntriesThatWouldBreakTheFile) {
    testing::TTempFolder folder;
    auto file = folder.WriteFile("safe.ini", "[S]\nk=1\n");
    TIniFile ini(file);
    struct TCase {
        std::string Section, Key, Value;
    };
    const TCase cases[] = {
        {"S", "k", "two\nlines"}, {"S", "k", "cr\r"}, {"S\n[T]", "k", "1"},
        {"a]b", "k", "1"},        {"S", "a=b", "1"},  {"S", "[T]", "1"},
        {"S", ";k", "1"},         {"", "k", "1"},     {"S", " ", "1"},
    };
    for (const TCase& c : cases)
        EXPECT_FALSE(ini.WriteString(c.Section, c.Key, c.Value)) << c.Section << "/" << c.Key;
    EXPECT_EQ(folder.ReadFile("safe.ini"), "[S]\nk=1\n");
}

TEST(IniFile, FailedWriteLeavesTheFileIntact) {
    testing::TTempFolder folder;
    const std::string before = "[S]\nk=1\n; a comment that must survive\n";
    auto file = folder.WriteFile("full.ini", before);

    // The temporary copy cannot be written (the file size limit applies to root too).
    TIniFile ini(file);
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = saved;
    tiny.rlim_cur = 8;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    bool written = ini.WriteString("S", "k", "2");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(folder.ReadFile("full.ini"), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1)
        << "the temporary copy is removed";

    // The folder cannot exist: a plain file stands where it should be.
    folder.WriteFile("plain", "x");
    TIniFile nowhere(folder.Path() / "plain" / "x.ini");
    EXPECT_FALSE(nowhere.WriteString("S", "k", "1"));
}

TEST(IniFile, SaveRemovesTheCopiesOfInterruptedSaves) {
    testing::TTempFolder folder;
    auto file = folder.WriteFile("velmora.ini", "[S]\nk=1\n");
    // Left by a process that no longer runs (no process has a number this high), by this process (its
    // save may be in progress on another thread), and a file of another name.
    const std::string stale = ".velmora.ini.999999999.0.tmp";
    const std::string own = ".velmora.ini." + std::to_string(getpid()) + ".7.tmp";
    const std::string other = ".other.ini.999999999.0.tmp";
    for (const std::string& name : {stale, own, other})
        folder.WriteFile(name, "[S]\nk=0\n");
    TIniFile ini(file);
    ASSERT_TRUE(ini.WriteString("S", "k", "2"));
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / stale));
    EXPECT_TRUE(std::filesystem::exists(folder.Path() / own));
    EXPECT_TRUE(std::filesystem::exists(folder.Path() / other));
    EXPECT_EQ(ini.ReadString("S", "k", ""), "2");
}

} // namespace
} // namespace velmora
