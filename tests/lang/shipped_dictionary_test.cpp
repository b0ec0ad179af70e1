// The dictionaries shipped in data/DATA: they load, every key is translated once, format patterns keep
// their conversions, and the central texts read as a workshop user expects.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "lang/dictionary.h"
#include "lang/dictionary_appender.h"
#include "lang/dictionary_table.h"
#include "lang/translated_format.h"
#include "platform/text_encoding.h"
#include "temp_folder.h"

namespace velmora {
namespace {

struct TShipped {
    const char* File;
    char Language;
    TTextEncoding Encoding; // English is plain ASCII in Windows-1251; German needs UTF-8 for its umlauts
};

std::string ShippedBytes(const char* file) {
    std::optional<std::string> bytes = ReadFileBytes(std::filesystem::path(VELMORA_DATA_DIR) / file);
    return bytes.value_or("");
}

class ShippedDictionaryTest : public ::testing::TestWithParam<TShipped> {
protected:
    void SetUp() override {
        Bytes = ShippedBytes(GetParam().File);
        ASSERT_FALSE(Bytes.empty()) << VELMORA_DATA_DIR << "/" << GetParam().File;
        Folder.WriteFile(std::string("DATA/") + GetParam().File, Bytes);
        ResetDictionary();
        SetLanguage(GetParam().Language);
    }
    void TearDown() override {
        SetLanguage('R');
        ResetDictionary();
    }

    std::string Bytes;
    testing::TTempFolder Folder;
};

TEST_P(ShippedDictionaryTest, KeepsItsEncodingWithCrLfLineEnds) {
    TTextEncoding encoding;
    DecodeText(Bytes, &encoding);
    EXPECT_EQ(encoding, GetParam().Encoding);
    ASSERT_TRUE(Bytes.ends_with("\r\n"));
    size_t lines = 0;
    for (size_t i = 0; i < Bytes.size(); ++i) {
        if (Bytes[i] == '\n') {
            EXPECT_EQ(Bytes[i - 1], '\r') << "bare LF at byte " << i;
            ++lines;
        } else if (Bytes[i] == '\r') {
            EXPECT_EQ(Bytes[i + 1], '\n') << "bare CR at byte " << i;
        }
    }
    EXPECT_EQ(lines % 2, 0u) << "a key without its translation line";
}

TEST_P(ShippedDictionaryTest, LoadsAndTranslatesEveryKeyOnce) {
    EXPECT_NO_THROW(LoadDictionary());
    const TDictionaryTable table = TDictionaryTable::Parse(DecodeText(Bytes));
    EXPECT_FALSE(table.EmptyKeyLine);
    ASSERT_FALSE(table.Entries.empty());

    std::set<std::string> keys;
    for (const TDictionaryEntry& entry : table.Entries) {
        const std::string& key = entry.Key;
        EXPECT_TRUE(keys.insert(key).second) << "key twice: " << key;
        EXPECT_TRUE(HasCyrillic(key)) << "not a Russian text: " << key;
        EXPECT_FALSE(entry.Translation.empty()) << key;
        EXPECT_FALSE(HasCyrillic(entry.Translation)) << key << " -> " << entry.Translation;
        // A letter the file's encoding could not hold would have become U+FFFD.
        EXPECT_EQ(entry.Translation.find("\xEF\xBF\xBD"), std::string::npos) << key;
        EXPECT_EQ(Translate(key), entry.Translation);
        // The program drops a translation whose conversions differ from its pattern's; the helpers
        // that fill one value want exactly as many '%' as the pattern has.
        if (key.find('%') != std::string::npos) {
            EXPECT_EQ(TranslatePattern(key), entry.Translation) << key;
            EXPECT_EQ(std::count(key.begin(), key.end(), '%'),
                      std::count(entry.Translation.begin(), entry.Translation.end(), '%'))
                << key;
        }
    }
    // Every text was known: nothing was appended to the file (nor is on its way there).
    FlushDictionaryAppends();
    EXPECT_EQ(Folder.ReadFile(std::string("DATA/") + GetParam().File), Bytes);
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedDictionaryTest,
                         ::testing::Values(TShipped{"english.txt", 'E', TTextEncoding::Cp1251},
                                           TShipped{"deutsch.txt", 'D', TTextEncoding::Utf8Bom}),
                         [](const ::testing::TestParamInfo<TShipped>& shipped) {
                             return std::string(1, shipped.param.Language);
                         });

// German is written with its own letters: none of the stand-in spellings of a code page without them.
TEST(ShippedDictionary, GermanIsWrittenWithUmlauts) {
    const TDictionaryTable table = TDictionaryTable::Parse(DecodeText(ShippedBytes("deutsch.txt")));
    ASSERT_FALSE(table.Entries.empty());
    const char* standIns[] = {"fuer",     "Fuer",    "Zuend",   "zuend",    "geraet", "waehl",    "Waehl",
                              "loesch",   "oeffn",   "Kuehl",   "ueber",    "Ueber",  "zurueck",  "Zurueck",
                              "schliess", "verfueg", "gueltig", "moeglich", "groess", "druecken", "Aender"};
    for (const TDictionaryEntry& entry : table.Entries) {
        for (const char* standIn : standIns)
            EXPECT_EQ(entry.Translation.find(standIn), std::string::npos) << entry.Translation;
    }
}

TEST(ShippedDictionary, CentralTextsReadAsExpected) {
    struct TRow {
        const char* Russian;
        const char* English;
        const char* German;
    };
    const TRow rows[] = {
        {"Ошибки", "Faults", "Fehler"},
        {"Данные", "Data", "Daten"},
        {"Попытки восстановить связь истекли!", "Reconnection attempts exhausted!",
         "Wiederverbindungsversuche erschöpft!"},
        {"Температура ОЖ", "Coolant temperature", "Kühlmitteltemperatur"},
        {"Удаление ошибок", "Erase faults", "Fehler löschen"},
        {"ОШИБОК НЕТ!", "NO FAULTS!", "KEINE FEHLER!"},
        {"Сохраненный", "Stored", "Gespeichert"},
        {"Связь прервана!!! Время простоя %d мс", "Connection lost!!! Idle time %d ms",
         "Verbindung unterbrochen!!! Ruhezeit %d ms"},
        {" Тип адаптера ", " Adapter type ", " Adaptertyp "},
        {"Порт %s: адаптер отключен", "Port %s: adapter disconnected", "Anschluss %s: Adapter getrennt"},
        {"Преобразование прервано.", "Conversion cancelled.", "Umwandlung abgebrochen."},
        {"Журнал маршрутника не записан (%s), потеряно строк: %d",
         "Trip log not written (%s), lines lost: %d",
         "Fahrtenprotokoll nicht geschrieben (%s), verlorene Zeilen: %d"},
    };
    testing::TTempFolder folder;
    folder.WriteFile("DATA/english.txt", ShippedBytes("english.txt"));
    folder.WriteFile("DATA/deutsch.txt", ShippedBytes("deutsch.txt"));
    ResetDictionary();
    for (const TRow& row : rows) {
        SetLanguage('E');
        EXPECT_EQ(Translate(row.Russian), row.English);
        SetLanguage('D');
        EXPECT_EQ(Translate(row.Russian), row.German);
        SetLanguage('R');
        EXPECT_EQ(Translate(row.Russian), row.Russian);
    }
    ResetDictionary();
}

} // namespace
} // namespace velmora
