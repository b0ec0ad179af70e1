// The parts of the socket layer that are the same on both systems; the system calls are in
// tcp_socket_posix.cpp and tcp_socket_windows.cpp.
#include "platform/tcp_socket.h"

#include <algorithm>

#include "platform/clock.h"

namespace velmora {

std::optional<TIPv4Address> ParseIPv4Address(std::string_view text) {
    TIPv4Address address{};
    size_t at = 0;
    for (size_t part = 0; part < address.size(); ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.')
                return std::nullopt;
            ++at;
        }
        const size_t first = at;
        int value = 0;
        // Three digits at most: 255 is the largest part, and no run of digits can overflow.
        while (at < text.size() && at - first < 3 && text[at] >= '0' && text[at] <= '9')
            value = value * 10 + (text[at++] - '0');
        const size_t digits = at - first;
        if (digits == 0 || value > 255 || (digits > 1 && text[first] == '0'))
            return std::nullopt;
        address[part] = uint8_t(value);
    }
    if (at != text.size())
        return std::nullopt;
    return address;
}

bool IsIPv4Address(std::string_view text) {
    return ParseIPv4Address(text).has_value();
}

TSendEnd SocketSendAll(TSocketHandle socket, const uint8_t* data, int length, int timeoutMs,
                       const std::function<bool()>& stopped) {
    uint32_t lastProgress = Clock().TickCount();
    int sent = 0;
    while (sent < length) {
        const int now = SocketSend(socket, data + sent, length - sent);
        if (now < 0)
            return TSendEnd::Failed;
        if (now > 0) {
            sent += now;
            lastProgress = Clock().TickCount();
            continue;
        }
        // The peer takes no bytes: wait for it, but not past the deadline or the caller's stop.
        if (stopped && stopped())
            return TSendEnd::Stopped;
        if (TicksSince(lastProgress, Clock().TickCount()) >= uint32_t(std::max(timeoutMs, 0)))
            return TSendEnd::TimedOut;
        Clock().Sleep(SendWaitStepMs);
    }
    return TSendEnd::Sent;
}

} // namespace velmora
