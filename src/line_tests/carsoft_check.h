// The check of a CarSoft 7.4 interface: six command bytes at 19200 baud with RTS off, whose answers must
// hold one of the interface's identification texts; a plain K-line cable only echoes them. One thread at
// a time, while no engine connection runs.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "links/line_lease.h"

namespace velmora {

// The answer bytes as the log shows them: printable characters as they are, others as "<XX>".
std::string CarSoftAnswerText(std::string_view bytes);

// Opens `portName` (taking the line unless `held` holds it), runs the exchange, logs each answer and the
// verdict, restores the line (9600 baud, RTS on) and frees the port. Each answer is collected for a few
// seconds at most; `stop` ends the check at its next poll. True when the interface identified itself.
bool CheckCarSoft(std::string_view portName, const TLineLease* held = nullptr,
                  const std::atomic<bool>* stop = nullptr);

} // namespace velmora
