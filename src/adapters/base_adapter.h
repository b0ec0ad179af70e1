// The module adapters: the common base TBaseAdapter with the settings, the frame parsing and the answer
// interpretation every adapter shares, the protocol log a module dialogue keeps, and CreateAdapter, which
// picks the adapter class for the adapter kind. Used by one module dialogue at a time, on its thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "adapters/module_info.h"
#include "links/base_port.h"

namespace velmora {

// A programming error around the adapters (no instance, no port, a wrong connect type); the text is
// the one the user sees.
class AdapterException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The code the SRS erase request carries, the same for both adapter kinds: 0x3F01, sent as the request
// bytes 3F 01. The real modules' codes are not known to us; the simulated SRS module takes this one
// (three times in a row), docs/sim-profiles.md.
constexpr uint16_t SrsEraseAccessCode = 0x3F01;

// The lines of the protocol log of one module dialogue, saved by the dialogue at its end.
class TProtocolLog {
public:
    void Add(std::string line) { Lines.push_back(std::move(line)); }
    void Clear() { Lines.clear(); }
    const std::vector<std::string>& Items() const { return Lines; }
    // All lines joined with '\n'.
    std::string Text() const;

private:
    std::vector<std::string> Lines;
};

class TBaseAdapter {
public:
    virtual ~TBaseAdapter() = default;

    // Slot 0: stores the settings and sets the frame address. A connect type other than 'F' or 'S'
    // raises "ISO: Тип коннекта указан неверно!".
    virtual void Init(uint8_t address, char connectType, int baud, int parity);
    // Slot 1: wakes the module and reads its first message; true when it answered.
    virtual bool Connect() = 0;
    // Slot 2: one request (hex text: command and data) and its answer frame text, cut to maxLength.
    virtual bool Exchange(std::string_view request, std::string& answer, int maxLength) = 0;
    // Slot 3: receives one answer frame (hex text) within timeoutMs (at most 3000 ms).
    virtual bool ReceivePacket(std::string& packet, int maxLength, int timeoutMs, bool showLog) = 0;
    // Slot 4: frames and sends one request (hex text: command and data).
    virtual void SendPacket(std::string_view request, bool noDelay) = 0;
    // Slot 5: the code of the SRS erase request.
    virtual uint16_t GetAccessCode() = 0;

    // A missing port raises "Port не задан!".
    void SetPort(TBasePort* port);
    void SetTimings(int interByteTime, int requestDelay, int answerTimeout);
    // The protocol log the adapter writes to (not owned); without one the lines are kept in its own.
    void SetProtocolLog(TProtocolLog& log) { Protocol = &log; }
    TProtocolLog& ProtocolLog() { return *Protocol; }
    // Writes the protocol header of the slow wake-up (settings, timings, bit period) to the protocol log.
    void PrintProtocol();

    // The payload (answer code and data) of a received frame text; errors go to the protocol log. A frame
    // that fails its checksum gives no payload: its bytes may say anything (a fault list that is not
    // there, an end of list, an acknowledgement); LastFrameBadSum tells it from no frame at all.
    std::string ParsePacket(std::string_view packet);
    // The last ParsePacket found a frame whose checksum was wrong.
    bool LastFrameBadSum() const { return BadSum; }
    // Frames that failed their checksum since the adapter was made.
    int BadSumFrames() const { return BadSumCount; }
    // Interprets an answer payload (identification, faults, acknowledgements, close).
    void ShowModuleInfo(std::string_view payload, bool& more, bool& failed);

    bool Silent = false;                      // false: connection progress also goes to the log window
    const std::atomic<bool>* Abort = nullptr; // the user's Stop: ends the waits early; not owned
    TBasePort* Port = nullptr;
    uint8_t Address = 0;
    char ConnectType = 'S';
    int32_t Baud = 9600;
    int32_t Parity = 0;
    int32_t InterByteTime = 0; // ms between request bytes; 0 writes the frame in one piece
    int32_t RequestDelay = 0;  // ms of silence before each request
    int32_t AnswerTimeout = 0; // ms allowed for an answer

    // The address every frame starts with (set by Init).
    uint8_t KLineAddress = 0x41;
    // The 5-baud bit period, ms.
    static constexpr int BitPeriod = 200;
    // The largest length byte accepted in an answer.
    static constexpr int MaxPacketLength = 128;
    // The request text of the latest SendPacket or Exchange.
    std::string LastRequest;
    // The module's answers as far as they were interpreted: identification, fault list.
    TModuleInfo Info;

protected:
    void Log(std::string line) { Protocol->Add(std::move(line)); }
    TBasePort& RequirePort();

private:
    bool BadSum = false;
    int BadSumCount = 0;
    TProtocolLog OwnLog;
    TProtocolLog* Protocol = &OwnLog;
};

// 'E' a TELM327myAdapter, 'C' none (raises "Экземпляр класса TAdapter не создан!"), any other kind a
// TKLineAdapter.
std::unique_ptr<TBaseAdapter> CreateAdapter(char kind);

} // namespace velmora
