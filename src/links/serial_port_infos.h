// The serial ports of this machine for the port list, each with why it does not open where that is
// so; one implementation per system. Window thread; it may take a moment (it opens each port).
#pragma once

#include <vector>

#include "links/port_factory.h"

namespace velmora {

// The ports that open now, with `withUnusable` also those that are there but refuse for lack of
// permission or because another program holds them. `portOpen`: the COM port of this program is open,
// so its device is listed without trying to open it again.
std::vector<TPortInfo> SerialPortInfos(bool withUnusable, bool portOpen);

} // namespace velmora
