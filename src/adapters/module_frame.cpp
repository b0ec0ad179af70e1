#include "adapters/module_frame.h"

#include <cctype>
#include <cstdio>

#include "lang/dictionary.h"
#include "lang/translated_format.h"

namespace velmora {

namespace {

// A run of characters without a header longer than this is logged and dropped.
constexpr size_t MaxTextWithoutHeader = 79;
constexpr int HeaderChars = 6;
constexpr int MinFrameLength = 5;

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(std::toupper(static_cast<unsigned char>(c)));
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

} // namespace

std::string HexByte(uint8_t value) {
    char text[3];
    std::snprintf(text, sizeof text, "%.2X", value);
    return text;
}

std::string HexText(std::span<const uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (uint8_t b : bytes)
        text += HexByte(b);
    return text;
}

bool ParseHexText(std::string_view text, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (text.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(uint8_t(high * 16 + low));
    }
    return true;
}

std::vector<uint8_t> BuildModuleFrame(uint8_t address, std::string_view requestHex) {
    std::vector<uint8_t> request;
    // The frame holds at most 200 bytes.
    if (!ParseHexText(requestHex, request) || request.empty() || request.size() + 4 > 200)
        return {};
    std::vector<uint8_t> frame = {address, request[0], uint8_t(request.size() + 4)};
    frame.insert(frame.end(), request.begin() + 1, request.end());
    unsigned sum = 0;
    for (uint8_t b : frame)
        sum += b;
    frame.push_back(uint8_t(sum));
    frame.push_back(uint8_t(sum >> 8));
    return frame;
}

TParsedFrame ParseModuleFrame(std::string_view packet, uint8_t address,
                              const std::function<void(const std::string&)>& report) {
    TParsedFrame parsed;
    if (packet.empty())
        return parsed;
    const std::string addressHex = HexByte(address);
    size_t offset = 0;
    if (packet.substr(0, 2) != addressHex) {
        // The header may follow garbage; the address is searched on byte boundaries.
        offset = std::string_view::npos;
        for (size_t i = 2; i + 2 <= packet.size(); i += 2)
            if (packet.substr(i, 2) == addressHex) {
                offset = i;
                break;
            }
        if (offset == std::string_view::npos) {
            report(TranslateFormat("В пакете не найден заголовок сообщения. Поиск байта %s",
                                   addressHex.c_str()));
            return parsed;
        }
    }
    std::string_view frame = packet.substr(offset);
    if (frame == addressHex) {
        parsed.Payload = std::string(frame);
        parsed.ChecksumOk = true;
        return parsed;
    }
    std::vector<uint8_t> bytes;
    if (!ParseHexText(frame, bytes) || bytes.size() < 3 || size_t(bytes[2]) * 2 + offset != packet.size() ||
        bytes[2] < MinFrameLength) {
        report(TranslateFormat("Ошибка сравнения длины пакета [%s]", std::string(packet).c_str()));
        return parsed;
    }
    const size_t length = bytes.size();
    unsigned sum = 0;
    for (size_t i = 0; i + 2 < length; ++i) {
        sum += bytes[i];
        if (i != 0 && i != 2)
            parsed.Payload += HexByte(bytes[i]);
    }
    parsed.ChecksumOk = (sum & 0xFFFF) == unsigned(bytes[length - 2] | bytes[length - 1] << 8);
    if (!parsed.ChecksumOk)
        report(Translate("Ошибка контрольной суммы пакета!"));
    return parsed;
}

TFrameScanner::TStep TFrameScanner::Feed(uint8_t value) {
    TStep step;
    Packet += HexByte(value);
    const auto restart = [&] {
        Position = 0;
        Expected = 0;
        // The byte that broke the header may itself start one.
        if (value == Address) {
            Position = 1;
            step.FrameStarted = true;
        }
    };
    if (Position == 0) {
        restart();
    } else {
        ++Position;
        if (Position == 2 && (value < 1 || value > 254))
            restart();
        else if (Position == 3 && (value < MinFrameLength || value > MaxLength))
            restart();
        else if (Position == 3)
            Expected = value;
    }
    if (Position == 3 && Packet.size() > size_t(HeaderChars)) {
        step.Garbage = Packet.substr(0, Packet.size() - HeaderChars);
        Packet.erase(0, Packet.size() - HeaderChars);
    }
    if (Expected > 0 && Position == Expected)
        step.Complete = true;
    if (Position == 0 && Packet.size() > MaxTextWithoutHeader) {
        step.Flushed = Packet;
        Packet.clear();
    }
    return step;
}

} // namespace velmora
