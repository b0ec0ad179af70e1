#include <gtest/gtest.h>

#include "firmware_rig.h"
#include "sim/adapters/carsoft_firmware.h"

namespace velmora {
namespace {

using testing::TFirmwareRig;

// The tester's identification exchange: one byte at a time at 19200 baud with RTS off.
TEST(CarSoftFirmware, IdentifiesItselfToTheByteTable) {
    TFirmwareRig rig(TSimAdapterKind::CarSoft);
    rig.Adapter->HostRts(false, rig.Now);
    const std::pair<uint8_t, const char*> steps[] = {
        {0xFF, ""}, {0x00, ""}, {0x63, "V9.9  16/99"}, {0xFE, "R"}, {0xFF, ""}, {0x04, "K4"}, {0x31, "?"},
    };
    for (auto [sent, answer] : steps) {
        double start = rig.Now;
        EXPECT_EQ(rig.Send(std::string(1, char(sent))), answer) << int(sent);
        // Well inside the 300 ms the tester waits after each byte.
        EXPECT_LT(rig.Now - start, 10);
    }
}

// Outside its command mode the interface is a plain cable: bytes come back as their echo, also at 19200
// baud once RTS is on.
TEST(CarSoftFirmware, IsAPlainCableOutsideItsCommandMode) {
    TFirmwareRig rig(TSimAdapterKind::CarSoft);
    rig.Adapter->HostRts(true, rig.Now);
    EXPECT_EQ(rig.Send("\x63"), "\x63");
    rig.Adapter->HostRts(false, rig.Now);
    rig.Adapter->HostLine(9600, 0, OneStopBit, rig.Now);
    EXPECT_EQ(rig.Send("\x63"), "\x63");
    EXPECT_TRUE(rig.Adapter->PassThrough());
}

} // namespace
} // namespace velmora
