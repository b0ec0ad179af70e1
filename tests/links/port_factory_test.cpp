#include <gtest/gtest.h>

#include "fake_ftdi_driver.h"
#include "host_recorder.h"
#include "links/com_low_level.h"
#include "links/port_factory.h"
#include "temp_folder.h"

namespace velmora {
namespace {

TEST(PortNames, NameToNumber) {
    const std::pair<const char*, int> cases[] = {
        {"COM1", 1},    {"COM12", 12}, {"COM999", 999}, {"COM0", 0},  {"COM1234", 0},
        {"COM", 0},     {"COM3x", 0},  {"com3", 0},     {"FTDI", 99}, {"WIFI", 98},
        {"garbage", 0}, {"", 0},       {"FTDI2", 0},    {"/", 0},
    };
    for (auto [name, number] : cases)
        EXPECT_EQ(PortNameToNumber(name), number) << name;
}

TEST(PortNames, NumberToName) {
    const std::pair<int, const char*> cases[] = {
        {0, ""}, {-1, ""}, {1, "COM1"}, {12, "COM12"}, {98, "WIFI"}, {99, "FTDI"},
    };
    for (auto [number, name] : cases)
        EXPECT_EQ(PortNumberToName(number), name) << number;
}

TEST(PortNames, DevicePathsGetANumberOfTheirOwn) {
    int usb = PortNameToNumber("/dev/ttyUSB0");
    int bluetooth = PortNameToNumber("/dev/rfcomm0");
    EXPECT_GE(usb, 1000);
    EXPECT_GE(bluetooth, 1000);
    EXPECT_NE(usb, bluetooth);
    EXPECT_EQ(PortNameToNumber("/dev/ttyUSB0"), usb);
    EXPECT_EQ(PortNumberToName(usb), "/dev/ttyUSB0");
    EXPECT_EQ(PortNumberToName(bluetooth), "/dev/rfcomm0");
}

TEST(FormatPortSettings, BaudParityLetterStopBits) {
    const std::tuple<int, int, int, const char*> cases[] = {
        {9600, 4, 0, "9600S0"}, {10400, 0, 1, "10400N1"}, {10400, 2, 2, "10400E2"}, {4800, 1, 0, "4800O0"},
        {9600, 3, 0, "9600M0"}, {9600, 5, 0, "9600?0"},   {9600, -1, 0, "9600?0"},
    };
    for (auto [baud, parity, stopBits, text] : cases)
        EXPECT_EQ(FormatPortSettings(baud, parity, stopBits), text);
}

// A port of a registered kind, recording what happens to it.
struct TPortLog {
    std::string CreatedFor;
    int OpenedAt = 0;
    bool Closed = false;
};

class TRecordingPort : public TBasePort {
public:
    TRecordingPort(TPortLog& log, bool opens) : Log(log), Opens(opens) {}

    bool Open(bool, int baud) override {
        Log.OpenedAt = baud;
        return IsOpenNow = Opens;
    }
    bool IsOpen() override { return IsOpenNow; }
    void Close() override {
        Log.Closed = true;
        IsOpenNow = false;
    }
    int InQueue() override { return 0; }
    void SetParams(int, uint8_t, uint8_t) override {}
    void SetRTS(bool) override {}
    void SetParity(uint8_t) override {}
    bool ReadByte(uint8_t&) override { return false; }
    int ReadBuf(TPortBuffer&) override { return 0; }
    int ReadBufEx(TPortBuffer&, int) override { return 0; }
    bool WriteBuf(TPortBuffer) override { return true; }
    bool WriteByte(uint8_t) override { return true; }
    bool WritePortEx(const uint8_t*, int) override { return true; }
    void SetCommBreak() override {}
    void ClearCommBreak() override {}
    void SetTimeouts(int, int, int, int, int) override {}

private:
    TPortLog& Log;
    bool Opens;
    bool IsOpenNow = false;
};

TEST(CreatePort, RegisteredKindsAreCreatedByTheirNameAndFreedClosed) {
    // The registry lives as long as the process; so do the logs its creators write.
    static TPortLog good, bad;
    good = bad = {};
    RegisterPortKind("TESTCAR", 91, "Test car", [](std::string_view name) {
        good.CreatedFor = name;
        return std::make_unique<TRecordingPort>(good, true);
    });
    RegisterPortKind("DEADCAR", 90, "Dead car", [](std::string_view name) {
        bad.CreatedFor = name;
        return std::make_unique<TRecordingPort>(bad, false);
    });

    EXPECT_EQ(PortNameToNumber("TESTCAR:hfm"), 91);
    EXPECT_EQ(PortNameToNumber("TESTCARS"), 0);
    EXPECT_EQ(PortNumberToName(91), "TESTCAR");

    ASSERT_TRUE(CreatePort(10400, "TESTCAR:hfm"));
    EXPECT_EQ(good.CreatedFor, "TESTCAR:hfm");
    EXPECT_EQ(good.OpenedAt, 10400);
    EXPECT_EQ(CurrentPortNumber(), 91);
    EXPECT_TRUE(Port()->IsOpen());

    // An empty name opens the current port again; the old object is closed first.
    good = {};
    ASSERT_TRUE(CreatePort(9600));
    EXPECT_TRUE(good.Closed);
    EXPECT_EQ(good.CreatedFor, "TESTCAR:hfm");

    EXPECT_FALSE(CreatePort(9600, "DEADCAR"));
    EXPECT_TRUE(good.Closed);
    EXPECT_EQ(bad.OpenedAt, 9600);
    EXPECT_EQ(Port(), nullptr);

    ASSERT_TRUE(CreatePort(9600, "TESTCAR"));
    good.Closed = false;
    FreePort();
    EXPECT_TRUE(good.Closed);
    EXPECT_EQ(Port(), nullptr);
}

TEST(EnumPorts, ListsAFtdiCableFirstAndRegisteredKindsLast) {
    RegisterPortKind("TESTCAR", 91, "Test car", [](std::string_view) { return nullptr; });
    testing::TFakeFtdiDriver ftdi;
    std::vector<std::string> names;
    EnumPorts(names);
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names.front(), "FTDI");
    EXPECT_EQ(ftdi.Calls,
              (std::vector<std::string>{"FT_Open 0", "FT_SetFlowControl 0 17 19", "FT_SetBaudRate 9600",
                                        "FT_SetDataCharacteristics 8 0 0", "FT_SetTimeouts 50 1000",
                                        "FT_SetLatencyTimer 1", "FT_Close"}))
        << "the probe gives the cable back";

    ftdi.Present = false;
    std::vector<TPortInfo> infos = EnumPortInfos();
    auto isFtdi = [](const TPortInfo& info) { return info.Name == "FTDI"; };
    EXPECT_TRUE(std::none_of(infos.begin(), infos.end(), isFtdi));
    auto testCar = std::find_if(infos.begin(), infos.end(),
                                [](const TPortInfo& info) { return info.Name == "TESTCAR"; });
    ASSERT_NE(testCar, infos.end());
    EXPECT_EQ(testCar->Description, "Test car");
    EXPECT_TRUE(std::all_of(testCar, infos.end(), [](const TPortInfo& info) {
        return PortNameToNumber(info.Name) < 98;
    })) << "registered kinds come after the serial devices";
}

} // namespace
} // namespace velmora
