// The FTDI driver of the Windows build without FTDI's D2XX driver installed (as under Wine): the cable
// is reported as not available, with the reason, and nothing is called on a handle that does not exist.
#include <gtest/gtest.h>

#include <algorithm>

#include "host_recorder.h"
#include "links/ftdi_driver.h"
#include "links/port_factory.h"

namespace velmora {
namespace {

constexpr const char* Missing =
    "FTDI: the FTDI D2XX driver (ftd2xx.dll) is not installed; install it from the "
    "cable maker or use the cable's COM port";

TEST(D2xxDriver, WithoutTheDllTheCableIsNotAvailableAndSaysWhy) {
    testing::THostRecorder host;
    TFtdiDriver& driver = SystemFtdiDriver();
    ASSERT_FALSE(driver.Available()) << "this check needs a system without ftd2xx.dll";
    EXPECT_EQ(driver.OpenProblem(), Missing);

    FT_HANDLE handle = 1234;
    EXPECT_EQ(driver.FT_Open(0, &handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(handle, 0u);
    const std::vector<std::string> logs = host.Logs();
    EXPECT_NE(std::find(logs.begin(), logs.end(), Missing), logs.end());

    uint32_t got = 7;
    uint8_t byte = 0;
    EXPECT_EQ(driver.FT_Read(1, &byte, 1, &got), FT_INVALID_HANDLE);
    EXPECT_EQ(got, 0u);
}

TEST(D2xxDriver, ThePortFtdiDoesNotOpenAndTheUserLearnsWhy) {
    testing::THostRecorder host;
    EXPECT_FALSE(CreatePort(9600, "FTDI"));
    EXPECT_EQ(Port(), nullptr);
    EXPECT_EQ(LastOpenProblem(), Missing);
    for (const TPortInfo& info : EnumPortInfos(true))
        EXPECT_NE(info.Name, "FTDI") << "no FTDI entry without the driver";
}

} // namespace
} // namespace velmora
