#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "host_recorder.h"
#include "lang/dictionary.h"
#include "lang/dictionary_appender.h"
#include "platform/text_encoding.h"
#include "temp_folder.h"

namespace velmora {
namespace {

// Joins UTF-8 lines as a dictionary file holds them: Windows-1251, CR LF after every line.
std::string Cp1251Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return Utf8ToCp1251(text);
}

class DictionaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDictionary();
        SetLanguage('E');
    }
    void TearDown() override {
        SetLanguage('R');
        ResetDictionary();
    }
    void WriteDictionary(const std::string& bytes, const char* name = "english.txt") {
        Folder.WriteFile(std::string("DATA/") + name, bytes);
    }
    std::string Dictionary(const char* name = "english.txt") const {
        FlushDictionaryAppends(); // the unknown texts are written on the appender's thread
        return Folder.ReadFile(std::string("DATA/") + name);
    }

    testing::TTempFolder Folder;
    testing::THostRecorder Host;
};

TEST_F(DictionaryTest, LooksUpKeysExactly) {
    std::string longGerman(300, 'x');
    WriteDictionary(Cp1251Lines({"Подключение", "Connection", "подключение", "connection (lower case)",
                                 "Ошибки", "", "Подключение", "second copy is never read", "Длинный",
                                 "Ж" + std::string(260, 'y'), "Последний ключ"}));
    const std::string before = Dictionary();
    struct TCase {
        std::string Text, Expected;
    };
    const TCase cases[] = {
        {"Подключение", "Connection"},
        {"подключение", "connection (lower case)"}, // keys differing in case are different keys
        {"Подключение ", "Подключение "},           // no trimming: unknown, so appended below
        {"Ошибки", "Ошибки"},                       // known, not translated yet
        {"Последний ключ", "Последний ключ"},       // key on the last line, no translation line
        {"Connect", "Connect"},                     // Latin only: not looked for further
        {"Длинный", "Ж" + std::string(254, 'y')},   // cut to 255 characters, not bytes
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Translate(c.Text), c.Expected) << c.Text;
    // The last key gets its empty translation line before the appended pair.
    EXPECT_EQ(Dictionary(), before + Cp1251Lines({"", "Подключение ", ""}));
    EXPECT_TRUE(Host.Boxes().empty());
}

TEST_F(DictionaryTest, AppendsAnUnknownRussianTextOncePerRun) {
    WriteDictionary(Cp1251Lines({"Да", "Yes"}));
    EXPECT_EQ(Translate("Новый текст"), "Новый текст");
    EXPECT_EQ(Translate("Новый текст"), "Новый текст");
    EXPECT_EQ(Translate("Ещё один"), "Ещё один");
    const std::string expected = Cp1251Lines({"Да", "Yes", "Новый текст", "", "Ещё один", ""});
    EXPECT_EQ(Dictionary(), expected);

    // The next run knows them from the file and appends nothing.
    ResetDictionary();
    EXPECT_EQ(Translate("Новый текст"), "Новый текст");
    EXPECT_EQ(Dictionary(), expected);
}

TEST_F(DictionaryTest, AppendCompletesAFileThatEndsInsideAPair) {
    struct TCase {
        std::string Before, After;
    };
    const TCase cases[] = {
        {"", Cp1251Lines({"Новое", ""})},
        {Cp1251Lines({"Ключ", "Key"}), Cp1251Lines({"Ключ", "Key", "Новое", ""})},
        // The translation line lacks its line end.
        {Utf8ToCp1251("Ключ\r\nKey"), Cp1251Lines({"Ключ", "Key", "Новое", ""})},
        // A key on the last line, with and without its line end: its empty translation line comes first.
        {Cp1251Lines({"Ключ"}), Cp1251Lines({"Ключ", "", "Новое", ""})},
        {Utf8ToCp1251("Ключ"), Cp1251Lines({"Ключ", "", "Новое", ""})},
        // A byte-order mark alone is an empty file: no blank key line before the new text.
        {"\xEF\xBB\xBF", "\xEF\xBB\xBFНовое\r\n\r\n"}, // and UTF-8 is appended in UTF-8
        // A last line ended by a lone CR keeps its text: only the LF is added.
        {Utf8ToCp1251("Ключ\r\nKey\r"), Cp1251Lines({"Ключ", "Key", "Новое", ""})},
    };
    for (const TCase& c : cases) {
        ResetDictionary();
        WriteDictionary(c.Before);
        EXPECT_EQ(Translate("Новое"), "Новое");
        EXPECT_EQ(Dictionary(), c.After) << ::testing::PrintToString(c.Before);
        // Read again, the appended text is a key, so it is not appended a second time.
        ResetDictionary();
        EXPECT_EQ(Translate("Новое"), "Новое");
        EXPECT_EQ(Dictionary(), c.After);
        EXPECT_TRUE(Host.Logs().empty()) << Host.LogText();
        if (c.Before.find("Key") != std::string::npos) {
            EXPECT_EQ(Translate("Ключ"), "Key");
        }
    }
}

TEST_F(DictionaryTest, TextWithALineBreakIsNotAppended) {
    // Written, its lines would become a pair of their own and shift every pair after them.
    const std::string before = Cp1251Lines({"Да", "Yes"});
    WriteDictionary(before);
    for (const char* text : {"Первая\nвторая", "Первая\r\nвторая", "Строка\r"})
        EXPECT_EQ(Translate(text), text);
    EXPECT_EQ(Dictionary(), before);
}

TEST_F(DictionaryTest, RussianNeverOpensTheFile) {
    SetLanguage('R');
    // This file would throw on loading and would collect the unknown text.
    WriteDictionary(Cp1251Lines({"Да", "Yes", ""}));
    const std::string before = Dictionary();
    EXPECT_NO_THROW(LoadDictionary());
    EXPECT_EQ(Translate("Да"), "Да");
    EXPECT_EQ(Translate("Неизвестно"), "Неизвестно");
    EXPECT_EQ(Dictionary(), before);
}

TEST_F(DictionaryTest, MissingFileSwitchesTranslationOffForTheRun) {
    EXPECT_NO_THROW(LoadDictionary());
    EXPECT_EQ(Translate("Да"), "Да");
    // A file that appears later is not read in this run, and nothing is created.
    WriteDictionary(Cp1251Lines({"Да", "Yes"}));
    EXPECT_EQ(Translate("Да"), "Да");
    EXPECT_EQ(Translate("Неизвестно"), "Неизвестно");
    EXPECT_EQ(Dictionary(), Cp1251Lines({"Да", "Yes"}));
    EXPECT_TRUE(Host.Boxes().empty());
    EXPECT_TRUE(Host.Logs().empty());
}

// A dictionary that is there but cannot be read (here a folder) leaves the texts Russian and says so
// once, and it is never an error that stops the program.
TEST_F(DictionaryTest, UnreadableFileIsSaidOnce) {
    std::filesystem::create_directories(Folder.Path() / "DATA" / "english.txt");
    EXPECT_NO_THROW(LoadDictionary());
    EXPECT_EQ(Translate("Да"), "Да");
    EXPECT_EQ(Translate("Неизвестно"), "Неизвестно");
    ASSERT_EQ(Host.Logs().size(), 1u) << Host.LogText();
    EXPECT_NE(Host.Logs()[0].find("Не удалось прочитать файл словаря"), std::string::npos) << Host.Logs()[0];
    EXPECT_NE(Host.Logs()[0].find("english.txt"), std::string::npos) << Host.Logs()[0];
}

// Each unknown text is one short append to the end the file had at its load: a file of 600 KB of
// blank lines is not read again per text, and a run writes at most 1000 of them.
TEST_F(DictionaryTest, UnknownTextsAreAppendedWithoutRereadingAndBounded) {
    const std::string blank(600000, '\n');
    WriteDictionary(Cp1251Lines({"Да", "Yes"}) + blank);
    EXPECT_EQ(Translate("Да"), "Yes");
    // Changed behind the program's back: the appends follow the end known from the load.
    WriteDictionary(Cp1251Lines({"Да", "Yes"}));
    for (int i = 0; i < 1005; ++i)
        EXPECT_EQ(Translate("Неизвестно " + std::to_string(i)), "Неизвестно " + std::to_string(i));
    std::string expected = Cp1251Lines({"Да", "Yes"});
    for (int i = 0; i < 1000; ++i)
        expected += Cp1251Lines({"Неизвестно " + std::to_string(i), ""});
    EXPECT_EQ(Dictionary(), expected);
}

// A file layer for the appender: each write waits until the test opens the gate (or fails, when told
// to), and the calls are kept.
class TGatedFile {
public:
    TGatedFile() {
        ResetDictionaryAppends();
        SetDictionaryFileLayer([this](const std::string&, std::string_view bytes) { return Write(bytes); });
    }
    ~TGatedFile() {
        Open();
        ResetDictionaryAppends();
        SetDictionaryFileLayer({});
    }
    TGatedFile(const TGatedFile&) = delete;
    TGatedFile& operator=(const TGatedFile&) = delete;

    void Open() {
        std::lock_guard lock(Mutex);
        Gate = true;
        Changed.notify_all();
    }
    std::vector<std::string> Written() {
        std::lock_guard lock(Mutex);
        return Calls;
    }
    std::atomic<bool> Fail{false};
    std::atomic<bool> Blocked{false}; // a write is waiting at the gate
    std::atomic<std::thread::id> Writer{};

private:
    bool Write(std::string_view bytes) {
        std::unique_lock lock(Mutex);
        Writer = std::this_thread::get_id();
        Calls.emplace_back(bytes);
        Blocked = true;
        // A safety net only: a test whose gate stays shut must not hang (later writes pass at once).
        Changed.wait_for(lock, std::chrono::seconds(5), [this] { return Gate; });
        Gate = true;
        Blocked = false;
        return !Fail;
    }
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Gate = false;
    std::vector<std::string> Calls;
};

// The file of a translation that is not known yet may block for as long as it likes: Translate answers
// at once, on every thread, and the texts reach the file in order once it moves again.
TEST_F(DictionaryTest, BlockedFileNeverHoldsUpTranslate) {
    WriteDictionary(Cp1251Lines({"Да", "Yes"}));
    TGatedFile file;
    for (int i = 0; i < 1005; ++i)
        EXPECT_EQ(Translate("Неизвестно " + std::to_string(i)), "Неизвестно " + std::to_string(i));
    EXPECT_EQ(Translate("Да"), "Yes");
    for (int i = 0; i < 100 && !file.Blocked; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(file.Blocked) << "the first text waits at the gate, and all of them got their answer";
    EXPECT_NE(file.Writer.load(), std::this_thread::get_id());
    file.Open();
    ASSERT_TRUE(FlushDictionaryAppends());
    const std::vector<std::string> written = file.Written();
    ASSERT_EQ(written.size(), 1000u);
    EXPECT_EQ(written.front(), Cp1251Lines({"Неизвестно 0", ""}));
    EXPECT_EQ(written.back(), Cp1251Lines({"Неизвестно 999", ""}));
}

// A write that fails is said once, by the next translation, and nothing more is written in the run.
TEST_F(DictionaryTest, FailedWriteIsSaidOnceAndEndsTheAppends) {
    WriteDictionary(Cp1251Lines({"Да", "Yes"}));
    TGatedFile file;
    file.Fail = true;
    file.Open();
    EXPECT_EQ(Translate("Неизвестно 1"), "Неизвестно 1");
    ASSERT_TRUE(FlushDictionaryAppends());
    for (int i = 2; i < 50; ++i)
        EXPECT_EQ(Translate("Неизвестно " + std::to_string(i)), "Неизвестно " + std::to_string(i));
    FlushDictionary();
    int said = 0;
    for (const std::string& line : Host.Logs())
        said += line.find("Не удалось дописать файл словаря") != std::string::npos ? 1 : 0;
    EXPECT_EQ(said, 1) << Host.LogText();
    // The failure text itself is unknown to this dictionary: it is not queued behind the failure either.
    EXPECT_EQ(file.Written().size(), 1u);
}

TEST_F(DictionaryTest, EmptyKeyLineIsReportedOnceAndSkipped) {
    const std::string file = (Folder.Path() / "DATA" / "english.txt").string();
    const std::string message = "Ошибка файла " + file + " - строка с русским текстом пуста!";
    // A stray blank line between pairs, and a second one where the next key should be.
    WriteDictionary(Cp1251Lines({"Да", "Yes", "", "", "Нет", "No"}));

    // LoadDictionary at start-up throws for the program's error box; the pairs on both sides are used.
    try {
        LoadDictionary();
        ADD_FAILURE() << "no DictionaryError";
    } catch (const DictionaryError& error) {
        EXPECT_EQ(error.what(), message);
    }
    EXPECT_EQ(Translate("Да"), "Yes");
    EXPECT_EQ(Translate("Нет"), "No");
    EXPECT_NO_THROW(LoadDictionary());
    EXPECT_TRUE(Host.Logs().empty());

    // Loaded by a translation (the worker's log lines): never thrown, logged once.
    ResetDictionary();
    EXPECT_EQ(Translate("Да"), "Yes");
    EXPECT_EQ(Translate("Нет"), "No");
    EXPECT_EQ(Host.Logs(), std::vector<std::string>{message});
}

TEST_F(DictionaryTest, LanguagePicksTheFile) {
    WriteDictionary(Cp1251Lines({"Да", "Yes"}), "english.txt");
    WriteDictionary(Cp1251Lines({"Да", "Ja"}), "deutsch.txt");
    struct TCase {
        char Language;
        std::string Translation, Code;
    };
    const TCase cases[] = {
        {'D', "Ja", "de"}, {'E', "Yes", "en"}, {'R', "Да", "ru"}, {'X', "Yes", "en"}, {'D', "Ja", "de"},
    };
    for (const TCase& c : cases) {
        SetLanguage(c.Language);
        EXPECT_EQ(Translate("Да"), c.Translation) << c.Language;
        EXPECT_EQ(LanguageCode(), c.Code) << c.Language;
    }
}

TEST_F(DictionaryTest, Utf8FileIsReadAndAppendedInUtf8) {
    WriteDictionary("\xEF\xBB\xBF"
                    "Да\r\nYes\r\n");
    EXPECT_EQ(Translate("Да"), "Yes");
    EXPECT_EQ(Translate("Новое"), "Новое");
    EXPECT_EQ(Dictionary(), "\xEF\xBB\xBF"
                            "Да\r\nYes\r\nНовое\r\n\r\n");
}

TEST_F(DictionaryTest, TableGrowsBeyondTheOldFixedSize) {
    // About 100 KB, well past the 65520 bytes the table once had.
    std::string bytes;
    for (int i = 0; i < 2000; ++i)
        bytes += Cp1251Lines({"Параметр номер " + std::to_string(i) + std::string(20, '.'),
                              "Parameter number " + std::to_string(i)});
    WriteDictionary(bytes);
    EXPECT_EQ(Translate("Параметр номер 1999" + std::string(20, '.')), "Parameter number 1999");
    EXPECT_EQ(Translate("Параметр номер 0" + std::string(20, '.')), "Parameter number 0");
}

TEST_F(DictionaryTest, ConcurrentLookupsWhileUnknownTextsAreAppended) {
    WriteDictionary(Cp1251Lines({"Да", "Yes", "Нет", "No"}));
    LoadDictionary();
    constexpr int Unknown = 200;
    std::atomic<int> wrong{0};
    auto reader = [&] {
        for (int i = 0; i < 2000; ++i) {
            if (Translate("Да") != "Yes" || Translate("Нет") != "No")
                ++wrong;
        }
    };
    // Two writers race for the same unknown texts: each must reach the file once.
    auto writer = [&] {
        for (int i = 0; i < Unknown; ++i) {
            std::string text = "Неизвестно " + std::to_string(i);
            if (Translate(text) != text)
                ++wrong;
        }
    };
    std::thread a(reader), b(reader), c(writer), d(writer);
    a.join();
    b.join();
    c.join();
    d.join();
    EXPECT_EQ(wrong, 0);

    std::string expected = Cp1251Lines({"Да", "Yes", "Нет", "No"});
    for (int i = 0; i < Unknown; ++i)
        expected += Cp1251Lines({"Неизвестно " + std::to_string(i), ""});
    EXPECT_EQ(Dictionary(), expected);
}

TEST(DictionaryNames, BuildPathJoinsTheGivenParts) {
    testing::TTempFolder folder;
    const std::string root = folder.Path().string();
    // The expected names are spelled out in UTF-8 with the system's separator, not built with
    // std::filesystem, so that a conversion that garbles Cyrillic on the way shows.
    const auto joined = [&](std::initializer_list<std::string_view> parts) {
        std::string path = root;
        for (std::string_view part : parts)
            (path += char(std::filesystem::path::preferred_separator)) += part;
        return path;
    };
    struct TCase {
        std::string File, Folder, Client, Expected;
    };
    const TCase cases[] = {
        {"english.txt", "DATA", "", joined({"DATA", "english.txt"})},
        {"log.bin", "LOGS", "Иванов", joined({"LOGS", "Иванов", "log.bin"})},
        {"", "LOGS", "", joined({"LOGS"})},
        {"", "", "", root},
        {"a.txt", "CLIENTS", "../../etc", joined({"CLIENTS", ".._.._etc", "a.txt"})},
        {"a.txt", "CLIENTS", "..", joined({"CLIENTS", "__", "a.txt"})},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(BuildPath(c.File, c.Folder, c.Client, false), c.Expected) << c.Client;
    EXPECT_FALSE(DirectoryExists(root + "/LOGS"));

    // One rule for a safe folder name on every system.
    const std::pair<std::string_view, std::string_view> names[] = {
        {"Иванов И.И", "Иванов И.И"},
        {"..\\..\\x", ".._.._x"}, // would leave LOGS on Windows
        {"C:x", "C_x"},
        {"a\x1B[31mred", "a_[31mred"}, // an escape sequence
        {std::string_view("a\0b\tc\x7F", 6), "a_b_c_"},
        {"x*?\"<>|y", "x______y"},
        {"...", "___"},
        {"Petrov. ", "Petrov__"}, // Windows would drop the end
        {"nul", "_nul"},
        {"COM1.txt", "_COM1.txt"},
        {"COM10", "COM10"},
    };
    for (const auto& [client, folderName] : names)
        EXPECT_EQ(ClientFolderName(client), folderName) << client;

    // Creating the client folder creates LOGS on the way; the file itself is not created.
    EXPECT_EQ(BuildPath("trip.txt", "LOGS", "Петров", true), joined({"LOGS", "Петров", "trip.txt"}));
    EXPECT_TRUE(DirectoryExists(root + "/LOGS/Петров"));
    EXPECT_FALSE(std::filesystem::exists(root + "/LOGS/Петров/trip.txt"));
    folder.WriteFile("plain", "x");
    EXPECT_FALSE(DirectoryExists(root + "/plain"));
}

TEST(DictionaryNames, AdapterDisplayNames) {
    const std::pair<char, std::string> cases[] = {
        {'E', "ELM327 velmora"}, {'C', "CarSoft 7.4"}, {'K', "K-Line"}, {'S', "K-Line"}, {'X', "Unknown"},
    };
    for (const auto& [kind, name] : cases)
        EXPECT_EQ(AdapterDisplayName(kind), name) << kind;
}

} // namespace
} // namespace velmora
