// What the module's answers mean: identification lines, fault records with their limits, refusals and
// their repeat count.
#include <gtest/gtest.h>

#include "adapters/module_info.h"
#include "host_recorder.h"

namespace velmora {
namespace {

TEST(ModuleInfo, IdentificationShowsModuleSupplierPartNumberAndVersions) {
    testing::THostRecorder host;
    TModuleInfo info;
    bool more = true, failed = true;
    // 8F, part 01 25 45 28 32, byte 7, index 03, supplier 11h (VDO), hardware 12 03, software 21 04, 01 02
    info.Show("8F01254528320003111203210401"
              "02",
              "", 0x18, more, failed);
    EXPECT_FALSE(more);
    EXPECT_FALSE(failed);
    const std::vector<std::string> expected = {
        "",
        std::string(49, '*'),
        "          Module: E-GAS",
        "        Supplier: VDO",
        "          ECU Nr: 012 545 28 32",
        "Hardware version: 12/03",
        "Software version: 21/04",
        "Diagnosis  index: 03/0102",
        std::string(49, '*'),
    };
    EXPECT_EQ(host.Logs(), expected);
    EXPECT_EQ(info.PartNumber(), "0125452832");
    EXPECT_EQ(info.Supplier(), 0x11);
}

TEST(ModuleInfo, SupplierAndModuleNamesByTable) {
    struct TCase {
        uint8_t Code;
        const char* Name;
    };
    const TCase suppliers[] = {{1, "Becker"},
                               {3, "Bosch"},
                               {24, "MBB"},
                               {33, "Temic"},
                               {67, "Marquardt"},
                               {2, "not known (02h)"},
                               {0xFF, "not known (FFh)"}};
    for (const TCase& c : suppliers)
        EXPECT_EQ(ModuleSupplierName(c.Code), c.Name);
    EXPECT_EQ(ModuleName(0x20), "          Module: EGS");
    EXPECT_EQ(ModuleName(0x41), "          Module: SRS");
    EXPECT_EQ(ModuleName(0x33), "          Module: 33");
}

TEST(ModuleInfo, FaultRecordsAskForMoreUntilSixteenAndKeepAtMostTwenty) {
    testing::THostRecorder host;
    TModuleInfo info;
    bool more = false, failed = false;
    for (int code = 1; code <= 22; ++code) {
        char payload[16];
        std::snprintf(payload, sizeof payload, "9001%.4X", code);
        info.Show(payload, "1000", 0x41, more, failed);
        EXPECT_EQ(more, code < 16) << code;
        EXPECT_FALSE(failed);
    }
    EXPECT_EQ(info.FaultCount(), 22u);
    ASSERT_EQ(info.Faults().size(), 20u);
    EXPECT_EQ(info.Faults().front(), 1);
    EXPECT_EQ(info.Faults().back(), 20);
    EXPECT_EQ(host.Logs().front(), "Чтение памяти неисправностей");
    EXPECT_EQ(host.Logs()[1], "   1");
    // A code is two bytes, high byte first.
    info.ClearFaults();
    info.Show("90010123", "1000", 0x41, more, failed);
    EXPECT_EQ(info.Faults(), std::vector<uint16_t>{0x0123});
}

TEST(ModuleInfo, EndOfFaultMemoryAndUnknownFormats) {
    struct TCase {
        const char* Payload;
        const char* Logged; // "" for nothing
    };
    const TCase cases[] = {
        {"902800", "Память неисправностей пуста!"},
        {"9028", "1000=9028 - формат ответа не распознан"},
        {"900500", "1000=900500 - формат ответа не распознан"},
        {"F0", "Коннект закрыт"},
        {"7F1000", ""}, // other codes only with the raw display on
    };
    for (const TCase& c : cases) {
        testing::THostRecorder host;
        TModuleInfo info;
        bool more = true, failed = true;
        info.Show(c.Payload, "1000", 0x41, more, failed);
        EXPECT_FALSE(more) << c.Payload;
        EXPECT_NE(host.LogText().find(c.Logged), std::string::npos) << c.Payload << ": " << host.LogText();
        if (std::string(c.Logged).empty()) {
            EXPECT_TRUE(host.Logs().empty()) << c.Payload;
        }
    }
}

TEST(ModuleInfo, RefusalsNameTheirCauseAndAreRepeatedAtMostFiveTimesInARow) {
    testing::THostRecorder host;
    TModuleInfo info;
    bool more = false, failed = false;
    info.Show("D00001", "5001", 0x41, more, failed);
    EXPECT_FALSE(failed);
    EXPECT_FALSE(more);

    const std::pair<const char*, const char*> texts[] = {
        {"D00072", "Ошибка контрольной суммы запроса. D00072"},
        {"D00074", "Неправильный таймаут между байтами запроса. D00074"},
        {"D00011", "Ошибка обмена по протоколу. D00011"},
    };
    for (const auto& [payload, text] : texts) {
        host.Clear();
        info.Show(payload, "5001", 0x41, more, failed);
        EXPECT_TRUE(failed);
        EXPECT_EQ(host.Logs(), std::vector<std::string>{text});
    }
    // Five refusals in a row, the same or taking turns: more four times, then no more; a success restarts
    // the count.
    info.Show("D00001", "5001", 0x41, more, failed);
    for (const char* other : {"D00074", "D00072"}) {
        for (int i = 1; i <= 5; ++i) {
            info.Show(i % 2 == 1 ? "D00074" : other, "5001", 0x41, more, failed);
            EXPECT_EQ(more, i < 5) << other << " " << i;
        }
        info.Show("D00001", "5001", 0x41, more, failed);
    }
}

} // namespace
} // namespace velmora
