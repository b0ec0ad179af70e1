#include <gtest/gtest.h>

#include "platform/text_encoding.h"
#include "temp_folder.h"

namespace velmora {
namespace {

// "Привет, Ёж №1" in Windows-1251.
const std::string HelloCp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6 \xB9"
                                "1";
const std::string HelloUtf8 = "Привет, Ёж №1";

TEST(TextEncoding, Cp1251RoundTripsThroughUtf8) {
    EXPECT_EQ(Cp1251ToUtf8(HelloCp1251), HelloUtf8);
    EXPECT_EQ(Utf8ToCp1251(HelloUtf8), HelloCp1251);
    EXPECT_EQ(Cp1251ToUtf8("\x88"), "€");
    EXPECT_EQ(EncodeText(HelloUtf8, TTextEncoding::Cp1251), HelloCp1251);
    EXPECT_EQ(EncodeText(HelloUtf8, TTextEncoding::Utf8Bom), "\xEF\xBB\xBF" + HelloUtf8);
    // 0x98 is the one byte 1251 leaves undefined.
    EXPECT_EQ(Cp1251ToUtf8("a\x98z"), "a\xEF\xBF\xBDz");
}

TEST(TextEncoding, Utf8ThatCp1251CannotHoldBecomesQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("x日本y"), "x??y");
    // A broken byte counts as one character, the text after it survives.
    EXPECT_EQ(Utf8ToCp1251("\xD0\xB0\xFF\xD0\xB1"), "\xE0?\xE1");
    // A sequence cut at the very end.
    EXPECT_EQ(Utf8ToCp1251("ok\xD0"), "ok?");
}

TEST(TextEncoding, ValidUtf8IsStrict) {
    struct TCase {
        std::string Bytes;
        bool Valid;
    };
    const TCase cases[] = {
        {"", true},
        {"plain", true},
        {HelloUtf8, true},
        {"\xF0\x9F\x98\x80", true},  // U+1F600
        {HelloCp1251, false},        // 1251 Cyrillic
        {"\xC0\x80", false},         // overlong NUL
        {"\xE0\x80\xAF", false},     // overlong '/'
        {"\xED\xA0\x80", false},     // surrogate
        {"\xF4\x90\x80\x80", false}, // beyond U+10FFFF
        {"\xD0", false},             // cut sequence
    };
    for (const TCase& c : cases)
        EXPECT_EQ(IsValidUtf8(c.Bytes), c.Valid) << ::testing::PrintToString(c.Bytes);
}

TEST(TextEncoding, DecodeTextDetectsTheFilesEncoding) {
    struct TCase {
        std::string Bytes;
        std::string Text;
        TTextEncoding Encoding;
    };
    const TCase cases[] = {
        {"ascii only", "ascii only", TTextEncoding::Utf8},
        {HelloUtf8, HelloUtf8, TTextEncoding::Utf8},
        {"\xEF\xBB\xBF" + HelloUtf8, HelloUtf8, TTextEncoding::Utf8Bom},
        {HelloCp1251, HelloUtf8, TTextEncoding::Cp1251},
        // Mostly UTF-8 with one 1251 byte: the whole file is 1251, never a mixture.
        {"\xD0\xB0\xE0", "Р°а", TTextEncoding::Cp1251},
        // A marked file with a bad byte stays UTF-8, the byte shown as U+FFFD.
        {"\xEF\xBB\xBFok\xFF", "ok\xEF\xBF\xBD", TTextEncoding::Utf8Bom},
    };
    for (const TCase& c : cases) {
        TTextEncoding detected{};
        EXPECT_EQ(DecodeText(c.Bytes, &detected), c.Text);
        EXPECT_EQ(detected, c.Encoding);
    }
}

TEST(TextEncoding, FilesAreReadWholeOrNotAtAll) {
    testing::TTempFolder folder;
    std::string binary("a\0b\r\n\xFF", 6);
    folder.WriteFile("bytes.bin", binary);
    folder.WriteFile("text.txt", HelloCp1251);
    EXPECT_EQ(ReadFileBytes(folder.Path() / "bytes.bin"), binary);
    TTextEncoding detected{};
    EXPECT_EQ(ReadTextFile(folder.Path() / "text.txt", &detected), HelloUtf8);
    EXPECT_EQ(detected, TTextEncoding::Cp1251);
    EXPECT_EQ(ReadFileBytes(folder.Path() / "missing.txt"), std::nullopt);
    EXPECT_EQ(ReadFileBytes(folder.Path()), std::nullopt) << "a folder is not a file";
}

} // namespace
} // namespace velmora
