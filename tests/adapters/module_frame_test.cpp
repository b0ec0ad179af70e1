// The framed module protocol on byte arrays: frames built from request texts, received frames checked
// and stripped, headers found in a byte stream.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapters/module_frame.h"

namespace velmora {
namespace {

std::string BuiltHex(uint8_t address, std::string_view request) {
    return HexText(BuildModuleFrame(address, request));
}

TEST(ModuleFrame, RequestTextBecomesAddressCommandLengthDataAndSumLowByteFirst) {
    struct TCase {
        uint8_t Address;
        const char* Request;
        const char* Frame;
    };
    // Sums by hand: 41+01+06+20 = 68; 41+70+05 = B6; 18+30+09+08+00+00+01 = 5A; 41+28+07+22+07 = 99;
    // 18+10+06+00 = 2E; 41+FF+07+FF+FF = 345 (the carry goes into the high byte).
    const TCase cases[] = {
        {0x41, "0120", "410106206800"},
        {0x41, "70", "417005B600"},
        {0x18, "3008000001", "183009080000015A00"},
        {0x41, "282207", "41280722079900"},
        {0x18, "1000", "181006002E00"},
        {0x41, "FFFFFF", "41FF07FFFF4503"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(BuiltHex(c.Address, c.Request), c.Frame) << c.Request;
}

TEST(ModuleFrame, EmptyOrMalformedRequestBuildsNoFrame) {
    for (const char* request : {"", "1", "1G", "0x12"})
        EXPECT_TRUE(BuildModuleFrame(0x41, request).empty()) << request;
}

struct TParseCase {
    const char* Packet;
    const char* Payload;
    bool ChecksumOk;
    const char* Report; // part of the one reported text, "" for none
};

class ParseModuleFrameTest : public ::testing::TestWithParam<TParseCase> {};

TEST_P(ParseModuleFrameTest, ChecksAndStripsTheFrame) {
    const TParseCase& c = GetParam();
    std::vector<std::string> reports;
    const TParsedFrame parsed =
        ParseModuleFrame(c.Packet, 0x41, [&](const std::string& line) { reports.push_back(line); });
    EXPECT_EQ(parsed.Payload, c.Payload);
    if (!parsed.Payload.empty()) {
        EXPECT_EQ(parsed.ChecksumOk, c.ChecksumOk);
    }
    if (std::string(c.Report).empty()) {
        EXPECT_TRUE(reports.empty()) << reports.front();
    } else {
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_NE(reports[0].find(c.Report), std::string::npos) << reports[0];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ParseModuleFrameTest,
    ::testing::Values(TParseCase{"", "", true, ""},
                      // acknowledgement D0 00 01: 41+D0+07+00+01 = 119
                      TParseCase{"41D00700011901", "D00001", true, ""},
                      // the same with a wrong sum: reported, payload still returned
                      TParseCase{"41D00700011A01", "D00001", false, "Ошибка контрольной суммы пакета!"},
                      // garbage in front of the header is skipped by the address search
                      TParseCase{"0041D00700011901", "D00001", true, ""},
                      // no address at all
                      TParseCase{"D0060001", "", true, "Поиск байта 41"},
                      // the length byte does not fit the text
                      TParseCase{"41D00800011901", "", true,
                                 "Ошибка сравнения длины пакета [41D00800011901]"},
                      TParseCase{"41D007000119", "", true, "Ошибка сравнения длины пакета"},
                      // the address alone is returned as it is
                      TParseCase{"41", "41", true, ""}));

TEST(FrameScanner, FindsTheHeaderAndCompletesAtTheLengthByte) {
    struct TCase {
        std::vector<uint8_t> Bytes;
        int CompleteAt; // index of the byte that completes the frame, -1 for none
        const char* Text;
        const char* Garbage;
    };
    const TCase cases[] = {
        {{0x41, 0xD0, 0x07, 0x00, 0x01, 0x19, 0x01}, 6, "41D00700011901", ""},
        // two bytes of garbage, then the frame
        {{0x00, 0x55, 0x41, 0xF0, 0x05, 0x36, 0x01}, 6, "41F0053601", "0055"},
        // a length of 4 is no header; the next address starts one
        {{0x41, 0x01, 0x04, 0x41, 0xF0, 0x05, 0x36, 0x01}, 7, "41F0053601", "410104"},
        // a length above 128 is no header
        {{0x41, 0x01, 0x81, 0x00, 0x00}, -1, "4101810000", ""},
        // a command byte of 0 or 255 is no header
        {{0x41, 0x00, 0x05, 0x41, 0xFF, 0x05}, -1, "410005", ""},
    };
    for (const TCase& c : cases) {
        TFrameScanner scanner(0x41, 128);
        int completeAt = -1;
        std::string garbage;
        for (size_t i = 0; i < c.Bytes.size(); ++i) {
            const TFrameScanner::TStep step = scanner.Feed(c.Bytes[i]);
            garbage += step.Garbage;
            if (step.Complete && completeAt < 0)
                completeAt = int(i);
        }
        EXPECT_EQ(completeAt, c.CompleteAt) << c.Text;
        if (c.CompleteAt >= 0) {
            EXPECT_EQ(scanner.Text(), c.Text);
        }
        EXPECT_EQ(garbage, c.Garbage) << c.Text;
    }
}

TEST(FrameScanner, LongRunWithoutHeaderIsHandedBackAndForgotten) {
    TFrameScanner scanner(0x41, 128);
    std::string flushed;
    for (int i = 0; i < 40; ++i)
        flushed += scanner.Feed(0x00).Flushed;
    EXPECT_EQ(flushed, std::string(80, '0'));
    EXPECT_TRUE(scanner.Text().empty());
}

} // namespace
} // namespace velmora
