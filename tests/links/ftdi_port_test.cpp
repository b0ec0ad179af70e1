#include <functional>
#include <gtest/gtest.h>

#include "fake_ftdi_driver.h"
#include "host_recorder.h"
#include "links/ftdi_port.h"
#include "platform/clock.h"

namespace velmora {
namespace {

using Strings = std::vector<std::string>;

class FtdiPortTest : public ::testing::Test {
protected:
    void TearDown() override {
        Driver.Fail.clear();
        if (Port.IsOpen())
            Port.Close(); // the device state is process-wide
    }

    void OpenPort() {
        ASSERT_TRUE(Port.Open(false, 9600));
        Driver.Calls.clear();
    }

    testing::THostRecorder Host;
    testing::TFakeFtdiDriver Driver;
    TFTDIPort Port;
};

TEST_F(FtdiPortTest, OpenProgramsTheCableForSingleBytes) {
    ASSERT_TRUE(Port.Open(false, 10400));
    EXPECT_TRUE(Port.IsOpen());
    EXPECT_EQ(Port.Baud, 10400);
    EXPECT_EQ(Driver.Calls,
              (Strings{"FT_Open 0", "FT_SetFlowControl 0 17 19", "FT_SetBaudRate 10400",
                       "FT_SetDataCharacteristics 8 0 0", "FT_SetTimeouts 50 1000", "FT_SetLatencyTimer 1"}));
    Port.Close();
    EXPECT_FALSE(Port.IsOpen());
    EXPECT_EQ(Driver.Calls.back(), "FT_Close");
}

TEST_F(FtdiPortTest, MissingCableFailsQuietlyOrRaisesWhenErrorsAreShown) {
    Driver.Present = false;
    EXPECT_FALSE(Port.Open(false, 9600));
    EXPECT_FALSE(Port.IsOpen());
    try {
        Port.Open(true, 9600);
        ADD_FAILURE() << "no exception";
    } catch (const PortException& e) {
        EXPECT_STREQ(e.what(), "FT_Open - Device Not Found....");
    }
}

TEST_F(FtdiPortTest, AFailingSetupStepGivesTheCableBack) {
    Driver.Fail["FT_SetLatencyTimer"] = {FT_IO_ERROR};
    EXPECT_FALSE(Port.Open(false, 9600));
    EXPECT_FALSE(Port.IsOpen());
    EXPECT_EQ(Driver.Calls.back(), "FT_Close");
    EXPECT_EQ(Host.Logs(), Strings{"FT_SetLatencyTimer - General IO Error..."});
    EXPECT_TRUE(Port.Open(false, 9600)) << "the device is free again";
}

TEST_F(FtdiPortTest, StopBitsAndParity) {
    OpenPort();
    const std::tuple<int, uint8_t, uint8_t, const char*> cases[] = {
        {10400, 0, 2, "FT_SetDataCharacteristics 8 2 0"},
        {10400, 0, 1, "FT_SetDataCharacteristics 8 0 0"},
        {9600, 4, 0, "FT_SetDataCharacteristics 8 0 4"},
        {9600, 1, 7, "FT_SetDataCharacteristics 8 0 1"},
    };
    for (auto [baud, parity, stopBits, expected] : cases) {
        Driver.Calls.clear();
        Port.SetParams(baud, parity, stopBits);
        EXPECT_EQ(Driver.Calls, (Strings{"FT_SetBaudRate " + std::to_string(baud), expected}));
        EXPECT_EQ(Port.Baud, baud);
    }
    Port.SetParams(10400, 0, 2);
    Driver.Calls.clear();
    Port.SetParity(3);
    EXPECT_EQ(Driver.Calls, Strings{"FT_SetDataCharacteristics 8 2 3"})
        << "a parity change keeps two stop bits";
}

TEST_F(FtdiPortTest, QueueStatusIsAskedTwiceBeforeAFailureCounts) {
    TManualClock clock;
    TScopedClock installed(clock);
    OpenPort();
    Driver.Incoming = {1, 2, 3};
    Driver.Fail["FT_GetStatus"] = {FT_IO_ERROR};
    uint32_t before = clock.TickCount();
    EXPECT_EQ(Port.InQueue(), 3);
    EXPECT_EQ(clock.TickCount() - before, 10u);
    EXPECT_EQ(Driver.Calls, (Strings{"FT_GetStatus", "FT_GetStatus"}));

    Driver.Fail["FT_GetStatus"] = {FT_IO_ERROR, FT_IO_ERROR};
    EXPECT_THROW(
        try { Port.InQueue(); } catch (const PortException& e) {
            EXPECT_STREQ(e.what(), "FT_GetStatus - General IO Error...");
            throw;
        },
        PortException);
}

TEST_F(FtdiPortTest, DriverFailuresRaiseTheFunctionNameAndStatusText) {
    const std::pair<FT_STATUS, const char*> statuses[] = {
        {FT_INVALID_HANDLE, "FT_SetRTS - Invalid Handle..."},
        {FT_DEVICE_NOT_FOUND, "FT_SetRTS - Device Not Found...."},
        {FT_DEVICE_NOT_OPENED, "FT_SetRTS - Device Not Opened..."},
        {FT_IO_ERROR, "FT_SetRTS - General IO Error..."},
        {FT_INSUFFICIENT_RESOURCES, "FT_SetRTS - Insufficient Resources..."},
        {FT_INVALID_PARAMETER, "FT_SetRTS - Invalid Parameter ..."},
        {17, "FT_SetRTS"},
    };
    OpenPort();
    for (auto [status, text] : statuses) {
        Driver.Fail["FT_SetRts"] = {status};
        try {
            Port.SetRTS(true);
            ADD_FAILURE() << "no exception for status " << status;
        } catch (const PortException& e) {
            EXPECT_STREQ(e.what(), text);
        }
    }

    uint8_t byte = 0;
    TPortBuffer buffer{&byte, 0, 1, 1};
    const std::tuple<const char*, const char*, std::function<void()>> operations[] = {
        {"FT_ClrRts", "FT_ClrRTS", [&] { Port.SetRTS(false); }},
        {"FT_SetBreakOn", "FT_SetBreakOn", [&] { Port.SetCommBreak(); }},
        {"FT_SetBreakOff", "FT_SetBreakOff", [&] { Port.ClearCommBreak(); }},
        {"FT_SetDataCharacteristics", "FT_SetDataCharacteristics", [&] { Port.SetParity(4); }},
        {"FT_SetBaudRate", "FT_SetBaudRate", [&] { Port.SetParams(9600, 0, 0); }},
        {"FT_SetTimeouts", "FT_SetTimeouts", [&] { Port.SetTimeouts(0, 1, 300, 0, 0); }},
        {"FT_Read", "FT_Read", [&] { Port.ReadBufEx(buffer, 1); }},
        {"FT_Write", "FT_Write", [&] { Port.WriteByte(0x55); }},
        {"FT_Close", "FT_Close", [&] { Port.Close(); }},
    };
    for (const auto& [call, name, operation] : operations) {
        Driver.Fail[call] = {FT_IO_ERROR};
        try {
            operation();
            ADD_FAILURE() << "no exception from " << call;
        } catch (const PortException& e) {
            EXPECT_EQ(e.what(), std::string(name) + " - General IO Error...");
        }
    }
}

TEST_F(FtdiPortTest, ShortWrites) {
    OpenPort();
    uint8_t data[5] = {1, 2, 3, 4, 5};
    Driver.WriteLimit = 3;
    try {
        Port.WriteBuf({data, 0, 5, 0});
        ADD_FAILURE() << "no exception";
    } catch (const PortException& e) {
        EXPECT_STREQ(e.what(), "Write_USB_Device_Buffer( 5 bytes) result 3. Bug!");
    }
    EXPECT_FALSE(Port.WritePortEx(data, 5));
    EXPECT_TRUE(Port.WriteByte(0x33));

    Driver.WriteLimit = UINT32_MAX;
    Driver.Written.clear();
    EXPECT_TRUE(Port.WriteBuf({data, 0, 5, 0}));
    EXPECT_EQ(Driver.Written, std::vector<uint8_t>(data, data + 5));
}

TEST_F(FtdiPortTest, ReadsTakeWhatIsWaitingUpToTheBufferSize) {
    OpenPort();
    uint8_t data[4] = {};
    TPortBuffer buffer{data, 0, 99, 4};
    EXPECT_EQ(Port.ReadBuf(buffer), 0);
    EXPECT_EQ(buffer.Count, 0);
    EXPECT_EQ(Driver.Calls, Strings{"FT_GetStatus"}) << "nothing to read, no read";

    Driver.Incoming = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(Port.ReadBuf(buffer), 4);
    EXPECT_EQ(buffer.Count, 4);
    EXPECT_EQ(data[3], 3);
    EXPECT_EQ(Port.InQueue(), 6);

    Driver.Calls.clear();
    EXPECT_EQ(Port.ReadBufEx(buffer, 8), 4);
    EXPECT_EQ(Driver.Calls, Strings{"FT_Read 4"});
    uint8_t value = 0;
    EXPECT_TRUE(Port.ReadByte(value));
    EXPECT_EQ(value, 8);
}

TEST_F(FtdiPortTest, TimeoutsUseTheTotalConstants) {
    OpenPort();
    Port.SetTimeouts(0, 1, 300, 0, 0);
    Port.SetTimeouts(-1, 5, 20, 7, 400);
    EXPECT_EQ(Driver.Calls, (Strings{"FT_SetTimeouts 300 0", "FT_SetTimeouts 20 400"}));
    EXPECT_THROW(Port.SetTimeouts(0, 0, -5, 0, 0), std::invalid_argument);
}

} // namespace
} // namespace velmora
