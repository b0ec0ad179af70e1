// The COM port's causes for the user on Linux device paths: /dev/null, a regular file, a missing device.
#include <gtest/gtest.h>

#include "fake_ftdi_driver.h"
#include "host_recorder.h"
#include "links/com_low_level.h"
#include "links/port_factory.h"
#include "temp_folder.h"

namespace velmora {
namespace {

TEST(CreatePort, NamesThatOpenNothingLeaveNoPort) {
    testing::THostRecorder host;
    testing::TTempFolder folder;
    std::string regularFile = folder.WriteFile("not_a_port", "x").string();
    const std::pair<std::string, std::string> cases[] = {
        {"COM0", "COM0: no such port"},
        {"garbage", "COM0: no such port"},
        {"/dev/null", "/dev/null: это не последовательный порт"},
        {regularFile, regularFile + ": это не последовательный порт"},
        {"/dev/no_such_device",
         "/dev/no_such_device: устройство не найдено; подключите адаптер или выберите другой порт"},
    };
    for (const auto& [name, error] : cases) {
        EXPECT_FALSE(CreatePort(9600, name)) << name;
        EXPECT_EQ(Port(), nullptr) << name;
        EXPECT_EQ(ComLastError(), error);
        EXPECT_EQ(CurrentPortName(), name);
    }
    EXPECT_TRUE(host.Boxes().empty()) << "CreatePort opens without showing errors";
}

TEST(CreatePort, APortThatDoesNotOpenLeavesItsCauseForTheUser) {
    testing::THostRecorder host;
    testing::TFakeFtdiDriver ftdi;
    ftdi.Present = false;
    ftdi.Problem = "/dev/bus/usb/001/004: no permission";
    const std::pair<std::string, std::string> cases[] = {
        {"FTDI", "/dev/bus/usb/001/004: no permission"},
        {"/dev/null", "/dev/null: это не последовательный порт"},
        {"/dev/no_such_device",
         "/dev/no_such_device: устройство не найдено; подключите адаптер или выберите другой порт"},
    };
    for (const auto& [name, cause] : cases) {
        EXPECT_FALSE(CreatePort(9600, name)) << name;
        EXPECT_EQ(LastOpenProblem(), cause) << name;
    }
    ftdi.Present = true;
    ASSERT_TRUE(CreatePort(9600, "FTDI"));
    EXPECT_EQ(LastOpenProblem(), "") << "an open port leaves no cause behind";
    FreePort();
}

TEST(CreatePort, FailureTextNamesThePortOnceWithItsCause) {
    testing::THostRecorder host;
    testing::TFakeFtdiDriver ftdi;
    ftdi.Present = false;
    ftdi.Problem = "/dev/bus/usb/001/004: no permission";
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/no_such_device", "Не могу открыть порт /dev/no_such_device: устройство не найдено; подключите "
                                "адаптер или выберите другой порт"},
        // The cause is about another device than the name the user chose: both stay.
        {"FTDI", "Не могу открыть порт FTDI: /dev/bus/usb/001/004: no permission"},
        {"COM0", "Не могу открыть порт COM0: no such port"},
    };
    for (const auto& [name, text] : cases) {
        EXPECT_FALSE(CreatePort(9600, name)) << name;
        EXPECT_EQ(OpenFailureText(name), text);
    }
}

} // namespace
} // namespace velmora
