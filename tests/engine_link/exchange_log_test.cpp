#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "engine_link/exchange_log.h"
#include "host_recorder.h"
#include "params/unit_codes.h"
#include "platform/host.h"
#include "temp_folder.h"

namespace velmora {
namespace {

std::string Bytes(std::initializer_list<uint8_t> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::vector<uint8_t> Filled(size_t count, uint8_t value) {
    return std::vector<uint8_t>(count, value);
}

class ExchangeLogTest : public ::testing::Test {
protected:
    std::string Logs(const std::string& name) const { return Folder.ReadFile("LOGS/" + name); }
    bool LogExists(const std::string& name) const {
        return std::filesystem::exists(Folder.Path() / "LOGS" / name);
    }

    testing::TTempFolder Folder;
    testing::THostRecorder Host;
};

TEST_F(ExchangeLogTest, NamesByFamilyAndSupplier) {
    struct TCase {
        uint8_t UnitType, Supplier, DiagIndex;
        const char* Expected;
    };
    const TCase cases[] = {
        {UnitHfm, SupplierBosch, 45, "B45001.bin"},   {UnitPms, SupplierVdo, 49, "V49001.bin"},
        {UnitHfm, SupplierSiemens, 61, "S61001.bin"}, {UnitUnknown, SupplierUnknown, 0, "U0001.bin"},
        {UnitLh, SupplierBosch, 13, "LH13001.bin"},   {UnitEz, SupplierBosch, 5, "EZ5001.bin"},
    };
    for (const TCase& c : cases) {
        TExchangeLog log;
        EXPECT_EQ(log.NewLogName(c.UnitType, c.Supplier, c.DiagIndex), c.Expected);
        EXPECT_EQ(log.LogName(), c.Expected);
    }
    const std::vector<testing::TPosted> notices(std::size(cases), {WM_USER + 17, 240, 0});
    EXPECT_EQ(Host.Posted(), notices);
}

TEST_F(ExchangeLogTest, SecondConnectionOfTheSameUnitGetsTheNextNumber) {
    for (uint8_t value : {0x11, 0x22}) {
        TExchangeLog log;
        log.ClearLogName();
        log.EnableLog();
        log.AppendPair(0xF0, 0x0F, 0x00, value);
        log.NewLogName(UnitHfm, SupplierBosch, 45);
        log.FlushLog();
    }
    EXPECT_EQ(Logs("B45001.bin"), Bytes({0xF0, 0x0F, 0x00, 0x11}));
    EXPECT_EQ(Logs("B45002.bin"), Bytes({0xF0, 0x0F, 0x00, 0x22}));
    EXPECT_FALSE(LogExists("tmp001.bin"));
}

TEST_F(ExchangeLogTest, ConnectionEndingBeforeIdentificationWritesTmp001) {
    {
        TExchangeLog log;
        log.ClearLogName();
        log.EnableLog();
        log.AppendReceived(std::vector<uint8_t>{0x10, 0xEF});
        log.AppendPair(0, 0xFF, 0x00, 0x7F);
        // No flush: the destructor writes what the lost link left in the buffer.
    }
    EXPECT_EQ(Logs("tmp001.bin"), Bytes({0x10, 0xEF, 0x00, 0x7F}));
}

TEST_F(ExchangeLogTest, PairLeavesOutTheCommandTheLinkDidNotSend) {
    TExchangeLog log;
    log.AppendPair(0x10, 0xEF, 0x41, 0x05); // full pair
    log.AppendPair(0x00, 0xFF, 0x22, 0x06); // LH: command 0 not sent
    log.AppendPair(0x10, 0xFF, 0x41, 0x07); // only the parameter byte went out
    log.AppendText("R10C93F");
    log.FlushLog();
    // The adapter's text goes beside the log, never into it.
    EXPECT_EQ(Logs("tmp001.bin"), Bytes({0x10, 0xEF, 0x41, 0x05, 0x22, 0x06, 0x41, 0x07}));
    EXPECT_EQ(Logs("tmp001_elm.txt"), "R10C93F\r\n");
    EXPECT_EQ(log.TracePath(), (Folder.Path() / "LOGS" / "tmp001_elm.txt").string());
}

TEST_F(ExchangeLogTest, TwoSessionsNamingTheSameUnitAtOnceGetTwoLogs) {
    TExchangeLog first, second;
    // Both name their log before either has written a byte.
    EXPECT_EQ(first.NewLogName(UnitHfm, SupplierBosch, 45), "B45001.bin");
    EXPECT_EQ(second.NewLogName(UnitHfm, SupplierBosch, 45), "B45002.bin");
    first.AppendPair(0xF0, 0x0F, 0x00, 0x11);
    second.AppendPair(0xF0, 0x0F, 0x00, 0x22);
    first.FlushLog();
    second.FlushLog();
    EXPECT_EQ(Logs("B45001.bin"), Bytes({0xF0, 0x0F, 0x00, 0x11}));
    EXPECT_EQ(Logs("B45002.bin"), Bytes({0xF0, 0x0F, 0x00, 0x22}));
}

TEST_F(ExchangeLogTest, UnwritableLogIsReportedOnceAndKeepsWhatFitsTheBuffer) {
    Folder.WriteFile("LOGS", "a file where the folder should be");
    TExchangeLog log;
    EXPECT_FALSE(log.WriteFailed());
    // Far more than the buffer holds: one report, the first 4096 bytes kept, the rest dropped.
    for (int i = 0; i < 3000; ++i)
        log.AppendPair(0x10, 0xEF, 0x00, uint8_t(i));
    log.AppendText("HFMDATA1000");
    EXPECT_TRUE(log.WriteFailed());
    EXPECT_EQ(Host.Logs().size(), 1u) << Host.LogText();

    std::filesystem::remove(Folder.Path() / "LOGS");
    EXPECT_TRUE(log.FlushLog());
    const std::string kept = Logs("tmp001.bin");
    ASSERT_EQ(kept.size(), TExchangeLog::BufferSize);
    EXPECT_EQ(kept.substr(0, 8), Bytes({0x10, 0xEF, 0x00, 0x00, 0x10, 0xEF, 0x00, 0x01}));
    // The bytes are lost for good: the log stays marked until the next connection starts one.
    EXPECT_TRUE(log.WriteFailed());
    log.EnableLog();
    EXPECT_FALSE(log.WriteFailed());
}

TEST_F(ExchangeLogTest, BuffersUntilFullAndFlushesBeforeOverflowing) {
    TExchangeLog log;
    log.AppendReceived(Filled(4000, 0x01));
    log.AppendReceived(Filled(96, 0x02)); // exactly 4096 bytes: still buffered
    EXPECT_FALSE(LogExists("tmp001.bin"));
    log.AppendReceived(Filled(4, 0x03)); // would exceed: the 4096 go out first
    EXPECT_EQ(Logs("tmp001.bin").size(), 4096u);
    log.FlushLog();
    const std::string all = Logs("tmp001.bin");
    ASSERT_EQ(all.size(), 4100u);
    EXPECT_EQ(all.substr(3999, 2), Bytes({0x01, 0x02}));
    EXPECT_EQ(all.substr(4095, 2), Bytes({0x02, 0x03}));
}

TEST_F(ExchangeLogTest, AutoFlushWritesEveryAppend) {
    TExchangeLog log;
    log.SetAutoFlush(true);
    log.AppendPair(0xF0, 0x0F, 0x01, 'B');
    EXPECT_EQ(Logs("tmp001.bin"), Bytes({0xF0, 0x0F, 0x01, 'B'}));
}

TEST_F(ExchangeLogTest, EnableLogWritesLeftoverBytesUnderTheOldName) {
    TExchangeLog log;
    log.NewLogName(UnitPms, SupplierVdo, 49);
    log.AppendPair(0x10, 0xEF, 0x00, 0x01);
    log.ClearLogName();
    log.EnableLog();
    EXPECT_EQ(log.LogName(), "tmp001.bin");
    EXPECT_EQ(Logs("V49001.bin"), Bytes({0x10, 0xEF, 0x00, 0x01}));
}

TEST_F(ExchangeLogTest, FailedWriteKeepsTheBytesForTheNextFlush) {
    Folder.WriteFile("LOGS", "a file where the folder should be");
    TExchangeLog log;
    log.AppendPair(0x10, 0xEF, 0x00, 0x01);
    EXPECT_FALSE(log.FlushLog());
    log.AppendPair(0x10, 0xEF, 0x00, 0x02);
    EXPECT_FALSE(log.FlushLog());
    EXPECT_EQ(Host.Logs().size(), 1u); // one report per run of failures
    EXPECT_NE(Host.LogText().find("tmp001.bin"), std::string::npos);

    std::filesystem::remove(Folder.Path() / "LOGS");
    EXPECT_TRUE(log.FlushLog());
    EXPECT_EQ(Logs("tmp001.bin"), Bytes({0x10, 0xEF, 0x00, 0x01, 0x10, 0xEF, 0x00, 0x02}));
}

TEST_F(ExchangeLogTest, ClientLogsGoToTheClientSubfolderAndEcuBinToBothFolders) {
    std::filesystem::create_directories(Folder.Path() / "CLIENTS" / "Ivanov");
    Folder.WriteFile("LOGS/B45001.bin", "older log outside the client folder");
    TExchangeLog log;
    log.SetClient("Ivanov");
    EXPECT_EQ(log.NewLogName(UnitHfm, SupplierBosch, 45), "B45001.bin");
    log.AppendPair(0xF0, 0x0F, 0x00, 0x27);
    ASSERT_TRUE(log.SaveEcuBin());
    const std::string expected = Bytes({0xF0, 0x0F, 0x00, 0x27});
    EXPECT_EQ(Logs("Ivanov/B45001.bin"), expected);
    EXPECT_EQ(Logs("Ivanov/ECU.bin"), expected);
    EXPECT_EQ(Folder.ReadFile("CLIENTS/Ivanov/ECU.bin"), expected);

    log.AppendPair(0xF0, 0x0F, 0x01, 'B');
    ASSERT_TRUE(log.SaveEcuBin()); // overwrites the earlier copy
    EXPECT_EQ(Folder.ReadFile("CLIENTS/Ivanov/ECU.bin"), expected + Bytes({0xF0, 0x0F, 0x01, 'B'}));
    // The times go with each copy.
    const std::string times = Logs("Ivanov/B45001.times");
    EXPECT_FALSE(times.empty());
    EXPECT_EQ(Logs("Ivanov/ECU.times"), times);
    EXPECT_EQ(Folder.ReadFile("CLIENTS/Ivanov/ECU.times"), times);
}

TEST_F(ExchangeLogTest, EcuBinWithoutALogFileIsReported) {
    TExchangeLog log;
    EXPECT_FALSE(log.SaveEcuBin());
    EXPECT_FALSE(LogExists("ECU.bin"));
    EXPECT_NE(Host.LogText().find("Файл не найден:"), std::string::npos);
}

} // namespace
} // namespace velmora
