// The menu command that turns an ELM327 into a plain K-line cable ("USBKKL"), so that the K-line
// functions and the engine link work through it as through a KKL cable until the adapter loses power.
// One thread at a time, while no engine connection runs.
#pragma once

#include <atomic>
#include <string_view>

#include "line_tests/line_port.h"

namespace velmora {

// Refused while a session runs and unless the port is "FTDI" (the adapter's USB cable driven directly);
// otherwise SwitchElmToKkl. `abort` ends the adapter's waits.
bool ElmToKklCommand(const TLineRequest& request, const std::atomic<bool>& abort);

// Opens `portName`, switches the adapter and logs the outcome; always frees the port. True when the
// adapter confirmed the switch.
bool SwitchElmToKkl(std::string_view portName, const std::atomic<bool>& abort,
                    const TLineLease* held = nullptr);

} // namespace velmora
