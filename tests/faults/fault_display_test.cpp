#include <gtest/gtest.h>

#include "faults/fault_display.h"
#include "host_recorder.h"
#include "lang/dictionary.h"
#include "platform/text_encoding.h"
#include "temp_folder.h"

namespace velmora {
namespace {

using TLines = std::vector<std::string>;

const TFaultContext HfmBosch{UnitHfm, SupplierBosch, 45, 0, false};
const TFaultContext PmsVdo{UnitPms, SupplierVdo, 45, 0, false};

class FaultDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder.WriteFile("DATA/ru/HFM.DAT", "$F2\r\nДатчик оборотов\r\n$F118\r\nКонтакт холостого хода\r\n");
        Texts = LoadFaultTexts(UnitHfm, true, 'R');
    }

    testing::TTempFolder Folder;
    testing::THostRecorder Host;
    TFaultTexts Texts;
};

TEST_F(FaultDisplayTest, OneLinePerStateWithTheCodesText) {
    TFaultBuf buffer{};
    buffer[0] = 0x01;  // bit 1 (code 2) stored
    buffer[1] = 0x01;  // bit 9 (code 118) stored ...
    buffer[17] = 0x01; // ... and current
    buffer[18] = 0x02; // bit 18 (code 22) current, no text in the file
    struct TCase {
        bool StoredOnly;
        TLines Expected;
    };
    const TCase cases[] = {
        {false,
         {"002,  Сохраненный,  Датчик оборотов", "118,  Сохраненный,  Контакт холостого хода",
          "118,  АКТУАЛЬНЫЙ,  Контакт холостого хода", "022,  АКТУАЛЬНЫЙ"}},
        {true, {"002,  Сохраненный,  Датчик оборотов", "118,  Сохраненный,  Контакт холостого хода"}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FaultDisplayLines(buffer, HfmBosch, Texts, c.StoredOnly), c.Expected);
}

TEST_F(FaultDisplayTest, UnknownCodeShowsItsBit) {
    TFaultBuf buffer{};
    buffer[17] = 0x02; // PMS bit 10 current: no code in the table
    EXPECT_EQ(FaultDisplayLines(buffer, PmsVdo, Texts, false),
              TLines{"010,  АКТУАЛЬНЫЙ,  ? ячейка 10 КОД ошибки по классификации мерседес неизвестен!"});
}

TEST_F(FaultDisplayTest, NoFaultLine) {
    TFaultBuf onlyCurrent{};
    onlyCurrent[16] = 0x01;
    struct TCase {
        TFaultBuf Buffer;
        bool StoredOnly;
        std::string Line;
    };
    const TCase cases[] = {
        {TFaultBuf{}, false, "ОШИБОК НЕТ!"},
        {TFaultBuf{}, true, "СОХРАНЕННЫХ ОШИБОК НЕТ!"},
        {onlyCurrent, true, "СОХРАНЕННЫХ ОШИБОК НЕТ!"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FaultDisplayLines(c.Buffer, HfmBosch, Texts, c.StoredOnly), TLines{c.Line});
}

TEST_F(FaultDisplayTest, AtMostOneHundredFaults) {
    TFaultBuf full;
    full.fill(0xFF);
    const TLines lines = FaultDisplayLines(full, HfmBosch, Texts, false);
    EXPECT_EQ(lines.size(), 200u); // 100 faults, stored and current each
    EXPECT_EQ(FaultDisplayLines(full, HfmBosch, Texts, true).size(), 100u);
}

TEST_F(FaultDisplayTest, ProgramTextsAreTranslatedAndABadTranslationIsNotUsed) {
    Folder.WriteFile("DATA/english.txt", Utf8ToCp1251("Сохраненный\r\nStored\r\nАКТУАЛЬНЫЙ\r\nACTIVE\r\n"
                                                      "? ячейка %d\r\n? cell %s\r\n"
                                                      " КОД ошибки по классификации мерседес неизвестен!\r\n"
                                                      " code unknown\r\n"));
    ResetDictionary();
    SetLanguage('E');
    TFaultBuf buffer{};
    buffer[1] = 0x03; // PMS bit 9 (code 68) and bit 10 (unknown), stored
    buffer[17] = 0x01;
    const TLines lines = FaultDisplayLines(buffer, PmsVdo, Texts, false);
    SetLanguage('R');
    ResetDictionary();
    // "%s" in the translation of "? ячейка %d" would read a number as a string: the Russian pattern is
    // filled instead. Fault texts come from the file as they are.
    EXPECT_EQ(lines, (TLines{"068,  Stored", "068,  ACTIVE", "010,  Stored,  ? ячейка 10 code unknown"}));
}

} // namespace
} // namespace velmora
