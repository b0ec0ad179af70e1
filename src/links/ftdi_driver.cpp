#include "links/ftdi_driver.h"

#include <atomic>

namespace velmora {

namespace {

std::atomic<TFtdiDriver*> installedDriver{nullptr};

} // namespace

TFtdiDriver& FtdiDriver() {
    TFtdiDriver* driver = installedDriver.load();
    return driver ? *driver : SystemFtdiDriver();
}

void SetFtdiDriver(TFtdiDriver* driver) {
    installedDriver.store(driver);
}

} // namespace velmora
