// TWiFiPort: the port over a TCP connection to a WiFi ELM327. Only the byte stream exists: line
// settings do nothing, break and timed reads are not available, reads never wait. The adapter's
// address is a process-wide setting. One thread at a time; the settings may be changed from any thread.
#pragma once

#include <atomic>
#include <string>

#include "links/base_port.h"
#include "platform/tcp_socket.h"

namespace velmora {

struct TWiFiSettings {
    std::string WiFiAddress = "192.168.0.10"; // IPv4
    int WiFiPortNumber = 35000;               // TCP port
    int ConnectTimeout = 5000;                // ms without an answer before a connect gives up
    int SendTimeout = 5000;                   // ms the adapter may take no byte before a send gives up
};

TWiFiSettings WiFiSettings();
void SetWiFiSettings(const TWiFiSettings& settings);
// The flag whose raising ends a send that waits for the adapter to take bytes (the user's Stop);
// nullptr: none. Any thread; the flag must outlive the ports.
void SetWiFiSendAbort(const std::atomic<bool>* flag);

class TWiFiPort : public TBasePort {
public:
    ~TWiFiPort() override;

    // Connects to the adapter of WiFiSettings(), logging "WIFI connect to a:p" and then "connected" or
    // "connect error" (with the reason on a line of its own). Both arguments are unused.
    bool Open(bool ShowErrors, int Baud) override;
    bool IsOpen() override;
    // Bytes readable now; 0 when not connected. The adapter closing the connection or resetting it
    // raises PortException ("Port lost: ..."), so that readers do not poll a dead link forever.
    int InQueue() override;
    void Close() override;
    void SetParams(int Baud, uint8_t Parity, uint8_t StopBits) override;
    void SetRTS(bool On) override;
    void SetParity(uint8_t Parity) override;
    bool ReadByte(uint8_t& Value) override;
    int ReadBuf(TPortBuffer& Buffer) override;
    int ReadBufEx(TPortBuffer& Buffer, int Count) override;
    // Sends wait while the adapter takes no bytes, at most SendTimeout ms and only until the abort flag
    // rises; either ends the send with PortException.
    bool WriteBuf(TPortBuffer Buffer) override;
    bool WriteByte(uint8_t Value) override;
    bool WritePortEx(const uint8_t* Data, int Length) override;
    void SetCommBreak() override;
    void ClearCommBreak() override;
    void SetTimeouts(int ReadInterval, int ReadTotalMultiplier, int ReadTotalConstant,
                     int WriteTotalMultiplier, int WriteTotalConstant) override;
    // Wakes on the first byte (poll on the socket); a connection the adapter ended counts as input, so
    // that the read after it reports the lost port.
    bool WaitInput(uint32_t maxMs) override;

private:
    [[noreturn]] void ThrowLost() const;
    void SendAll(const uint8_t* data, int length, const char* errorText);

    std::atomic<TSocketHandle> Socket{NoSocket};
    std::atomic<bool> Connected{false};
    std::string Peer; // "address:port" of the connection
};

} // namespace velmora
