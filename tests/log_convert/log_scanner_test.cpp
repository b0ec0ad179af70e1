// The exchange-log scanner on byte arrays: where it finds pairs, how it re-synchronises, and that the
// text does not depend on where the blocks of a file end (random bytes included, under the sanitizers).
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "log_convert/log_converter.h"
#include "log_convert/log_scanner.h"
#include "log_convert/request_index.h"
#include "params/ecu_param.h"
#include "params/param_list.h"
#include "params/unit_codes.h"

namespace velmora {
namespace {

using TBytes = std::vector<uint8_t>;

// Records as short texts: "55 00 7E" a pair, "(10) B7 20" a pair whose command 0x10 the unit supplied,
// "?77 01 02" a pair of an unknown word, "wake", "raw 01 48" bytes that fit nowhere.
class TRecordList : public TLogSink {
public:
    void OnRecord(const TLogRecord& record) override {
        char text[32];
        switch (record.Kind) {
        case TLogRecord::TKind::WakeUp:
            Items.push_back("wake");
            break;
        case TLogRecord::TKind::Unplaced: {
            std::string raw = "raw";
            for (uint8_t byte : record.Bytes) {
                std::snprintf(text, sizeof text, " %.2X", byte);
                raw += text;
            }
            Items.push_back(raw);
            break;
        }
        case TLogRecord::TKind::Pair:
            if (record.CmdInLog)
                std::snprintf(text, sizeof text, "%s%.2X %.2X %.2X", record.Known ? "" : "?", record.Cmd,
                              record.Param, record.Value);
            else
                std::snprintf(text, sizeof text, "(%.2X) %.2X %.2X", record.Cmd, record.Param, record.Value);
            Items.push_back(text);
            break;
        }
    }
    std::vector<std::string> Items;
};

TListParams HfmSet() {
    TListParams set;
    set.LoadBuiltinSet(UnitHfm, 0);
    return set;
}

enum class TSetKind { Hfm, BoschAddresses, Lh, Ez };

TListParams SetOf(TSetKind kind) {
    TListParams set;
    switch (kind) {
    case TSetKind::Hfm:
        set.LoadBuiltinSet(UnitHfm, 0);
        break;
    case TSetKind::BoschAddresses:
        set.LoadAddressSet(UnitHfm, SupplierBosch, 40);
        break;
    case TSetKind::Lh:
        set.LoadBuiltinSet(UnitLh, 0);
        break;
    case TSetKind::Ez:
        set.LoadBuiltinSet(UnitEz, 0);
        break;
    }
    return set;
}

struct TScanCase {
    const char* What;
    TBytes Bytes;
    std::vector<std::string> Records;
    TSetKind Set = TSetKind::Hfm;
    TLogUnit Unit = {};
};

TEST(LogScanner, FindsPairsAndResynchronises) {
    const TScanCase cases[] = {
        {"a stream that starts in the middle of a pair",
         {0x7E, 0x55, 0xAA, 0x01, 0x48, 0x55, 0xAA, 0x02, 0x0B},
         {"raw 7E", "55 01 48", "55 02 0B"}},
        {"a start on a value that looks like a command is no pair without its complement",
         {0x55, 0x00, 0x7E, 0x55, 0xAA, 0x00, 0x7E},
         {"raw 55 00 7E", "55 00 7E"}},
        {"the wake-up pattern before the identification",
         {0xAA, 0x55, 0xF0, 0x0F, 0x00, 0x27},
         {"wake", "F0 00 27"}},
        {"a command answered by its complement but of no known word",
         {0x55, 0xAA, 0x00, 0x10, 0x77, 0x88, 0x01, 0x02},
         {"55 00 10", "?77 01 02"}},
        {"line garbage between pairs",
         {0x55, 0xAA, 0x00, 0x7E, 0x13, 0x37, 0x42, 0x55, 0xAA, 0x00, 0x7F},
         {"55 00 7E", "raw 13 37 42", "55 00 7F"}},
        {"an adapter's text line between pairs",
         {0x55, 0xAA, 0x00, 0x7E, 'O', 'K', '\r', '\n', 0x55, 0xAA, 0x00, 0x7F},
         {"55 00 7E", "raw 4F 4B 0D 0A", "55 00 7F"}},
        {"reads of a Bosch unit by address: 0x10 is left out above 0x40",
         {0x10, 0xEF, 0x00, 0x00, 0xB7, 0x20, 0x10, 0xEF, 0xAA, 0x00, 0xB7, 0x21},
         {"10 00 00", "(10) B7 20", "10 AA 00", "(10) B7 21"},
         TSetKind::BoschAddresses},
        {"LH values of 0x0A after printable addresses are values; a text line ends in CR LF",
         {0x10, 0xEF, 0x40, 0x3D, 0x4C, 0x0A, 0x4D, 0x20, 0x4B, 0x0A, 'O', 'K', '\r', '\n', 0x4B, 0x0D},
         {"10 40 3D", "(00) 4C 0A", "(00) 4D 20", "(00) 4B 0A", "raw 4F 4B 0D 0A", "(00) 4B 0D"},
         TSetKind::Lh,
         {UnitLh, SupplierBosch}},
        {"an identified LH unit supplies 0x00, though the set also reads 0x10 at that address",
         {0x10, 0xEF, 0x40, 0x3D, 0x4B, 0x11, 0x10, 0xEF, 0x4B, 0x01},
         {"10 40 3D", "(00) 4B 11", "10 4B 01"},
         TSetKind::Lh,
         {UnitLh, SupplierBosch}},
        {"an EZ unit's command 0 travels with its complement, known word or not",
         {0x00, 0xFF, 0x80, 0x05, 0x00, 0xFF, 0x00, 0x00, 0x41, 0x18},
         {"00 80 05", "?00 00 00", "(FF) 41 18"},
         TSetKind::Ez,
         {UnitEz, SupplierBosch}},
        {"an ELM327's table reads: one byte at its address, two bytes at twice the address",
         {0x11, 0xEE, 0x00, 0x7F, 0x12, 0xED, 0x02, 0x38, 0x12, 0xED, 0x03, 0x0B},
         {"11 00 7F", "12 02 38", "12 03 0B"}},
        {"a truncated pair at the end of the log",
         {0x55, 0xAA, 0x00, 0x7E, 0x55, 0xAA, 0x01},
         {"55 00 7E", "raw 55 AA 01"}},
    };
    for (const TScanCase& c : cases) {
        const TListParams set = SetOf(c.Set);
        const TRequestIndex index(set);
        TLogScanner scanner(index);
        scanner.SetUnit(c.Unit);
        TRecordList records;
        EXPECT_EQ(scanner.Scan(c.Bytes, true, records), c.Bytes.size()) << c.What;
        EXPECT_EQ(records.Items, c.Records) << c.What;
    }
}

TEST(LogScanner, LeavesARecordThatMayGoOnForTheNextBlock) {
    const TListParams set = HfmSet();
    const TRequestIndex index(set);
    TLogScanner scanner(index);
    TRecordList records;
    const TBytes bytes = {0x55, 0xAA, 0x00, 0x7E, 0x55, 0xAA, 0x01};
    EXPECT_EQ(scanner.Scan(bytes, false, records), 4u);
    EXPECT_EQ(records.Items, std::vector<std::string>{"55 00 7E"});
    const TBytes rest = {0x55, 0xAA, 0x01, 0x48};
    EXPECT_EQ(scanner.Scan(rest, true, records), 4u);
    EXPECT_EQ(records.Items, (std::vector<std::string>{"55 00 7E", "55 01 48"}));
    EXPECT_EQ(scanner.Consumed(), 8u);
}

TEST(LogScanner, HandsOnLongGarbageInBoundedPieces) {
    const TRequestIndex index;
    TLogScanner scanner(index);
    TRecordList records;
    const TBytes noise(TLogScanner::MaxUnplacedRun * 2 + 5, 0x01);
    scanner.Scan(noise, true, records);
    ASSERT_EQ(records.Items.size(), 3u);
    EXPECT_EQ(records.Items[2], "raw 01 01 01 01 01");
}

// An HFM set with a four-byte parameter at 0x55 0x60: its value "Long", counted from the first byte up.
TListParams HfmSetWithLong() {
    TListParams set = HfmSet();
    auto param = std::make_unique<TECUparam>(uint16_t(150));
    param->Name = "Long";
    param->SetType('L');
    param->SetCmdWord(0x5560);
    set.Add(std::move(param));
    return set;
}

TEST(LogText, LinesOfEachKindOfRecord) {
    struct TCase {
        const char* What;
        TBytes Bytes;
        std::string Text;
        bool Begins = false; // the text begins so (an identification report follows)
    };
    const TCase cases[] = {
        {"a one-byte parameter and a pair of no known word",
         {0x55, 0xAA, 0x00, 0x7E, 0x77, 0x88, 0x01, 0x02},
         "00000000  55 00 7E  #0 Температура ОЖ = 86°\r\n00000004  77 01 02 - ???\r\n"},
        {"the second byte of a value whose first byte is missing: one line",
         {0x55, 0xAA, 0x59, 0x0B},
         "00000000  55 59 0B  #88 Время работы мотора (2/2) - ???\r\n"},
        {"a bit-field value",
         {0x55, 0xAA, 0x19, 0x03},
         "00000000  55 19 03  #25 bits = Активация Обогащение после пуска\r\n"},
        {"the wake-up, then garbage that is shown as it is",
         {0xAA, 0x55, 0xF0, 0x0F, 0x13, 0x37},
         "\r\n00000000  AA 55     wake-up\r\n00000002  F0 13 37  ecu info\r\n"
         "Тип системы не определен (HFM/PMS), предполагаем что это HFM!\r\n",
         true},
        {"an adapter's text line and a few bytes that fit nowhere",
         {'O', 'K', '\r', '\n', 0x01, 0x02},
         "00000000  > OK\r\n00000004  01 02 - ???\r\n"},
        {"an adapter's text that ends in an empty line keeps it",
         {'O', 'K', '\r', '\n', '\n'},
         "00000000  > OK\r\n          > \r\n"},
        {"a four-byte value: each byte its line, values differing in the top byte alone differ",
         {0x55, 0xAA, 0x60, 0x01, 0x55, 0xAA, 0x61, 0x00, 0x55, 0xAA, 0x62, 0x00, 0x55, 0xAA, 0x63, 0x00,
          0x55, 0xAA, 0x60, 0x01, 0x55, 0xAA, 0x61, 0x00, 0x55, 0xAA, 0x62, 0x00, 0x55, 0xAA, 0x63, 0x01},
         "00000000  55 60 01  #150 Long (1/4)\r\n00000004  55 61 00  #150 Long (2/4)\r\n"
         "00000008  55 62 00  #150 Long (3/4)\r\n0000000C  55 63 00  #150 Long = 1\r\n"
         "00000010  55 60 01  #150 Long (1/4)\r\n00000014  55 61 00  #150 Long (2/4)\r\n"
         "00000018  55 62 00  #150 Long (3/4)\r\n0000001C  55 63 01  #150 Long = 16777217\r\n"},
    };
    for (const TCase& c : cases) {
        TListParams set = HfmSetWithLong();
        const std::string text = ConvertLogBytes(c.Bytes, &set);
        EXPECT_EQ(c.Begins ? text.substr(0, c.Text.size()) : text, c.Text) << c.What;
    }
}

// Bytes that look like the protocol: pairs of known and unknown words, lone parameter bytes, text
// lines, wake-up patterns and noise, cut at random places.
TBytes ProtocolLikeBytes(std::mt19937& random, size_t length) {
    static const TBytes pieces[] = {{0x55, 0xAA, 0x00, 0x7E},
                                    {0x55, 0xAA, 0x01, 0x48},
                                    {0x55, 0xAA, 0x02, 0x0B},
                                    {0xF0, 0x0F, 0x00, 0x27},
                                    {0xF0, 0x0F, 0x1A, 0x52},
                                    {0xF1, 0x0E, 0x01, 0x08},
                                    {0x30, 0xCF, 0x03, 0x01},
                                    {0xD2, 0x2D, 0x04, 0x04},
                                    {0x10, 0xEF, 0x00, 0x00},
                                    {0xB7, 0x20},
                                    {0x89, 0x40},
                                    {0xAA, 0x55, 0xF0, 0x0F},
                                    {'O', 'K', '\r', '\n'},
                                    {0x0D, 0x0A},
                                    {0x40, 0xBF, 0xF7, 0x64}};
    TBytes bytes;
    std::uniform_int_distribution<int> kind(0, 3), piece(0, int(std::size(pieces)) - 1), byte(0, 255);
    while (bytes.size() < length) {
        if (kind(random) == 0)
            bytes.push_back(uint8_t(byte(random)));
        else
            for (uint8_t b : pieces[piece(random)])
                bytes.push_back(b);
    }
    bytes.resize(length);
    return bytes;
}

TEST(LogScanner, RandomBytesConvertAlikeWhateverTheBlockSize) {
    std::mt19937 random(20261210);
    std::uniform_int_distribution<size_t> length(0, 2000), block(4, 40);
    std::uniform_int_distribution<int> byte(0, 255);
    TListParams hfm = HfmSet();
    for (int round = 0; round < 150; ++round) {
        TBytes bytes;
        if (round % 2 == 0) {
            bytes.resize(length(random));
            for (uint8_t& b : bytes)
                b = uint8_t(byte(random));
        } else {
            bytes = ProtocolLikeBytes(random, length(random));
        }
        TListParams* set = round % 3 == 0 ? &hfm : nullptr;
        const std::string whole = ConvertLogBytes(bytes, set);
        const std::string blocks = ConvertLogBytes(bytes, set, block(random));
        ASSERT_EQ(whole, blocks) << "round " << round;
        ASSERT_TRUE(whole.empty() || whole.ends_with("\r\n")) << "round " << round;
    }
}

} // namespace
} // namespace velmora
