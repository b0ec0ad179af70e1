#include <gtest/gtest.h>

#include "host_recorder.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/text_encoding.h"
#include "temp_folder.h"

namespace velmora {
namespace {

class LogTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDictionary();
        SetLanguage('E');
    }
    void TearDown() override {
        SetLanguage('R');
        ResetDictionary();
    }

    testing::TTempFolder Folder;
    testing::THostRecorder Host;
};

TEST_F(LogTextTest, UsesATranslationOnlyWithTheSameConversions) {
    Folder.WriteFile(
        "DATA/english.txt",
        Utf8ToCp1251("Сбой связи %d\r\nLink failure %d\r\n"
                     "Порт открыл. Время выполнения %d мс\r\nPort opened in %s ms\r\n"
                     "Нет ответа от ELM327 в течении %d sec\r\nNo answer, 100%% sure, %d s\r\n"));
    EXPECT_EQ(TranslateFormat("Сбой связи %d", 2), "Link failure 2");
    // A %s where the program passes a number would read memory it does not own.
    EXPECT_EQ(TranslateFormat("Порт открыл. Время выполнения %d мс", 15),
              "Порт открыл. Время выполнения 15 мс");
    EXPECT_EQ(TranslateFormat("Нет ответа от ELM327 в течении %d sec", 3), "No answer, 100% sure, 3 s");
    LogT("Сбой связи %d", 4);
    EXPECT_EQ(Host.Logs(), std::vector<std::string>{"Link failure 4"});
}

TEST_F(LogTextTest, APatternWithoutArgumentsIsNeverReadAsAFormat) {
    Folder.WriteFile("DATA/english.txt", Utf8ToCp1251("Заряд 100%%\r\nCharge 100%% full\r\n"));
    EXPECT_EQ(TranslateFormat("Заряд 100%%"), "Charge 100% full");
    // A stray conversion in a text without arguments is shown as written, not filled from the stack.
    EXPECT_EQ(FormatText("%s and %d%%"), "%s and %d%");
}

} // namespace
} // namespace velmora
