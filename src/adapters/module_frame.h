// The framed K-line protocol of the E-GAS, EGS and SRS modules as bytes and hex text, with no port:
// building a request frame (address, command, length, data, 16-bit sum low byte first), finding a frame
// header in a received byte stream, and checking and stripping a received frame. Any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Two upper-case hex digits per byte, no separators.
std::string HexText(std::span<const uint8_t> bytes);
std::string HexByte(uint8_t value);
// The bytes of a hex text; false when its length is odd or a character is not a hex digit.
bool ParseHexText(std::string_view text, std::vector<uint8_t>& bytes);

// The frame of a request text (command byte, then data): address, command, n + 4, data, sum low, sum
// high, where n is the request's length in bytes. Empty for an empty or malformed text.
std::vector<uint8_t> BuildModuleFrame(uint8_t address, std::string_view requestHex);

// Where a received frame text leads: the payload (answer code and data) and what to report.
struct TParsedFrame {
    std::string Payload;     // empty when no frame was found or its length is wrong
    bool ChecksumOk = false; // only meaningful with a payload
};
// Checks and strips a received frame text (see the protocol's rules): finds the header by the
// address's hex digits, checks the length byte against the text and the sum against the last two bytes.
// `report` gets the texts to write: the missing header, the length error, the checksum error (Russian,
// translated by the caller). A text that is just the address is returned as it is.
TParsedFrame ParseModuleFrame(std::string_view packet, uint8_t address,
                              const std::function<void(const std::string&)>& report);

// Header tracking over received bytes, one byte at a time, on the packet's hex text: a header is the
// address, a command byte 1-254 and a length byte 5..maxLength; the frame is complete when `length`
// bytes have come. Text before a header is handed back as garbage; a long run without a header is
// handed back to be logged.
class TFrameScanner {
public:
    TFrameScanner(uint8_t address, int maxLength) : Address(address), MaxLength(maxLength) {}

    struct TStep {
        bool FrameStarted = false; // this byte began a header
        bool Complete = false;
        std::string Garbage; // text that came before the header (to report as garbage)
        std::string Flushed; // more than 79 characters without a header (to log and forget)
    };
    TStep Feed(uint8_t value);
    const std::string& Text() const { return Packet; }
    bool Started() const { return !Packet.empty(); }

private:
    uint8_t Address;
    int MaxLength;
    std::string Packet;
    int Position = 0; // bytes of the header seen (0 = none)
    int Expected = 0; // the frame's length byte
};

} // namespace velmora
