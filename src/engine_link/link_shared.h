// What the engine link shares across the process: its exception, the progress mark printed when a
// failure ends a connection, the wake-up break length, the user-stop flag and the port lock.
// Any thread: the window writes the break length and the stop flag, the worker everything else.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string>

namespace velmora {

// A failure of the engine link; the text is the translated message the user sees.
class LinkException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Wake-up break length (ms): 165 at start; the window's "Подключение к LH" sets 130 or 160.
extern std::atomic<int> KLineBreakMs;

// Raised by "Stop" on the window thread; the wake-up loop and the ELM327 waits end on it.
std::atomic<bool>& UserStop();

// Held for the whole of a request pair on a KKL cable, so that no other caller of the port can put a
// byte between ours.
std::mutex& PortLock();

// Where the link is: written at each step, printed in hexadecimal when a failure ends the connection.
// It carries no logic.
enum : uint16_t {
    MarkOpenPort = 0x0100,
    MarkWakeUp = 0x0200,
    MarkReadEcho = 0x0300,
    MarkElmWakeUp = 0x0400,
    MarkConnectionStart = 0x0500,
    MarkKeepAlive = 0x0600,
    MarkReadParameter = 0x0700,
    MarkElmRequest = 0x0800,
    MarkIdentify = 0x0900,
    MarkRequest = 0x0A00,
    MarkSendByte = 0x0B00,
    MarkReadAnswer = 0x0C00,
};
void SetProgressMark(uint16_t mark);
uint16_t ProgressMark();

// The stop reason of a failure that ended the link: "0x" and the progress mark, then the failure's own
// text, translated ("0x0C00 Попытки восстановить связь истекли!"); a failure without a text says so in
// words, so that no stop ends in an empty reason.
std::string FailureReason(const std::exception& failure);

// The local date and time as the link's log lines show it: "dd.mm.yyyy hh:mm:ss".
std::string DateTimeText();

} // namespace velmora
